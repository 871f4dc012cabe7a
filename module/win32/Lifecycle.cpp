// Start-up runs once on the simulator's thread after the module is loaded: simulator
// folder, configuration, remote control or the local voice program, then the two feed
// threads and the worker loop. Shutdown wakes and joins every thread before it returns,
// then releases the station tables.
#include "module/win32/Lifecycle.h"

#include <windows.h>

#include <vector>

#include "common/portable/ErrorMessages.h"
#include "common/portable/RemoteCommand.h"
#include "common/win32/LogWriter.h"
#include "common/win32/RogerWilco.h"
#include "common/win32/ScopedWin.h"
#include "dialog/win32/SettingsDialog.h"
#include "feed/win32/FeedThreads.h"
#include "module/win32/Configuration.h"
#include "module/win32/DialogThread.h"
#include "module/win32/LoggedErrorBox.h"
#include "module/win32/ModuleThreads.h"
#include "module/win32/SimulatorLink.h"
#include "module/win32/WorkerLoop.h"
#include "voice/win32/CommandDelivery.h"
#include "voice/win32/RemoteSender.h"

namespace hv {

namespace {

constexpr char kSimulatorKey[] = "Software\\Microsoft\\Microsoft Games\\Flight Simulator\\8.0";

// Every wait of the module's threads can be woken (sleeps by the stop signal, downloads
// by closing their handles, IPC batches by the answers the join dispatches), so they end
// within milliseconds. The bound only keeps a thread that never ends from hanging the
// simulator for good.
constexpr std::chrono::milliseconds kJoinBound{10000};
// The log writer gets what is left of unload's time: its queue holds at most a few
// hundred kilobytes, which a disk takes in milliseconds.
constexpr std::chrono::milliseconds kLogFlushBound{100};

// The simulator folder from the registry, whole (it is not cut at 255 characters, so a
// long installation path works); empty when the key or the value is missing.
std::string readSimulatorFolder() {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSimulatorKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return {};
  ScopedRegKey key(raw);
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), "EXE Path", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
  std::vector<char> value(size + 1, '\0');
  if (RegQueryValueExA(key.get(), "EXE Path", nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS)
    return {};
  return std::string(value.data());
}

std::string startupLine(const ModuleState& state) {
  std::string line = "Hallvoxen " HV_VERSION " starting: simulator folder \"" + state.simFolder + "\", network " +
                     NetworkName(state.network.load()) + ", range check " +
                     (state.rangeCheck.load() != 0 ? "on" : "off");
  line += state.remoteMode.load() != 0 ? ", remote mode to " + state.remoteAddress : std::string(", local mode");
  line += ", VATSIM status file " + state.feeds[Vatsim].statusUrl + ", IVAO status file " +
          state.feeds[Ivao].statusUrl;
  return line;
}

bool fileCanBeOpened(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ScopedKernelHandle opened(file);
  return true;
}

}  // namespace

void startModule() {
  ModuleState& state = moduleState();
  state.simFolder = readSimulatorFolder();
  readLogSetting(state, profileFiles());
  if (state.logEnabled.load() != 0) openLog(state.logPath);
  readConfiguration(state);
  logLine(startupLine(state));
  state.deliverCommand = &deliverVoiceCommand;
  allowSettingsDialog();

  if (state.remoteMode) {
    if (SendRemoteCommand(state.remoteAddress, kHeartbeatText)) {
      // The voice program runs on the other computer; it is not looked for here.
    } else {
      showLoggedErrorBox(kRemoteFailureMessage);
      state.remoteMode = 0;
    }
  }
  if (!state.remoteMode) {
    state.rogerWilcoPath = readRogerWilcoPath();
    if (state.rogerWilcoPath.empty() || !fileCanBeOpened(state.rogerWilcoPath)) {
      state.status = RogerWilcoMissing;
      logLine("RogerWilco not found at \"" + state.rogerWilcoPath + "\": the module stays idle");
      showLoggedErrorBox(kRogerWilcoMissingMessage);
      return;
    }
    logLine("RogerWilco: " + state.rogerWilcoPath);
  }

  startModuleThread(&VatsimFeedThread);
  startModuleThread(&IvaoFeedThread);
  startModuleThread(&WorkerLoop);
  state.status = Waiting;
}

void stopModule() {
  const DWORD started = GetTickCount();
  ModuleState& state = moduleState();
  logLine("shutting down");
  closeDialogForUnload();
  state.vatsimFeedStop = 1;
  state.ivaoFeedStop = 1;
  state.workerStop = 1;
  abortFeedDownloads();
  // A thread that did not end in time keeps its stop flag and the state it works on:
  // resetting them under it would let it run on for good.
  if (!joinModuleThreads(kJoinBound)) {
    logLine("shutdown gave up waiting for a thread after " + std::to_string(GetTickCount() - started) + " ms");
    closeLog(kLogFlushBound);
    return;
  }

  // No thread of the module uses the tables or the IPC client any more. The client is
  // closed without a word to the simulator, so that a new load of a module image that
  // stayed mapped connects afresh.
  resetSimulatorLink();
  releaseSettingsDialog();
  logLine("shut down in " + std::to_string(GetTickCount() - started) + " ms");
  closeLog(kLogFlushBound);
  StationTableGuard guard(state.tableLock);
  resetModuleState(state);
}

}  // namespace hv
