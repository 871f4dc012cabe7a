// Everything the module knows at run time, in one record shared by its threads.
//
// Flags and small numbers are 32-bit atomics, read and written by several threads
// without a lock; readers tolerate seeing a change one cycle late. Texts are written
// once during start-up, before any thread exists. The station tables, currentTable,
// selectedStation, lastReading and the feeds' lastError are guarded by tableLock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "records/portable/AtcStation.h"
#include "records/portable/NetworkFeed.h"
#include "records/portable/SimReading.h"
#include "records/portable/StationTableLock.h"
#include "records/portable/StopFlag.h"
#include "records/portable/ControlStatus.h"

namespace hv {

// The selected network's table as station selection sees it: the same records as the
// feed's table, not a copy.
struct CurrentTable {
  const AtcStation* records = nullptr;
  std::int32_t count = 0;
  std::atomic<std::uint32_t> loaded{0};
};

// How a voice-program command text leaves the module: started locally or sent as a
// datagram. The Win32 shell sets it at start-up; native tests record the texts.
using CommandDelivery = std::function<void(const char* text)>;

struct ModuleState {
  // Settings
  Flag active{0};
  Flag network{Vatsim};
  Flag rangeCheck{1};
  Flag remoteMode{0};
  std::string remoteAddress;
  Flag logEnabled{1};
  std::uint32_t hotKeyCode = 0;
  std::uint32_t hotKeyModifier = 0;

  // Files and programs (no length limit, so a long simulator folder works)
  std::string simFolder;
  std::string iniPath;
  std::string cfgPath;
  std::string logPath;
  std::string rogerWilcoPath;

  // Run-time state
  std::atomic<std::uint32_t> status{Off};
  CurrentTable currentTable;
  const AtcStation* selectedStation = nullptr;
  Flag joined{0};
  Flag dialogShowing{0};
  SimReading lastReading;

  // The two networks, indexed by Network.
  NetworkFeed feeds[2];

  // Threads
  Flag workerStop{0};
  Flag vatsimFeedStop{0};
  Flag ivaoFeedStop{0};
  StationTableLock tableLock;

  // The command that selection decided under tableLock, waiting for the worker to deliver
  // it once the lock is released (worker thread only).
  std::string pendingCommand;
  CommandDelivery deliverCommand;
};

}  // namespace hv
