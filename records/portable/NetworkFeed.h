// One network's feed state: where its files are, how far loading has come, the last
// download error and the current station table.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "records/portable/AtcStation.h"

namespace hv {

enum Network : std::uint32_t { Vatsim = 0, Ivao = 1 };

// "IVAO" for 1, "VATSIM" for anything else (the module treats every other value as VATSIM).
inline const char* networkName(std::uint32_t network) { return network == Ivao ? "IVAO" : "VATSIM"; }

struct NetworkFeed {
  std::string statusUrl;                  // the status file; set at start-up from Hallvoxen.ini
  std::string dataUrl;                    // "url0" of the status file (feed thread only)
  std::string voiceUrl;                   // "url1", IVAO only (feed thread only)
  std::atomic<std::uint32_t> rootFetched{0};
  std::atomic<std::uint32_t> loaded{0};
  std::atomic<std::uint32_t> attempted{0};
  std::string lastError;                  // written and read under StationTableLock
  StationTable table;                     // replaced whole under StationTableLock
  std::chrono::steady_clock::time_point installedAt{};  // when `table` was, under StationTableLock
};

}  // namespace hv
