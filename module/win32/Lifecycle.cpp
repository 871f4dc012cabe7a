// Start-up runs once on the simulator's thread after the module is loaded: simulator
// folder, configuration, remote control or the local voice program, then the two feed
// threads and the worker loop. Shutdown wakes and joins every thread, then destroys the
// module object with its station tables.
#include "module/win32/Lifecycle.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

#include "common/portable/ErrorMessages.h"
#include "common/portable/RemoteCommand.h"
#include "common/win32/RogerWilco.h"
#include "common/win32/ScopedWin.h"
#include "feed/win32/FeedThreads.h"
#include "module/win32/LoggedErrorBox.h"
#include "module/win32/Module.h"
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

// The module object of the current load, from start-up to shutdown: the one piece of
// state outside it, through which the exports find it.
std::atomic<Module*> loadedModule{nullptr};

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
                     networkName(state.network.load()) + ", range check " +
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

ExportTarget* exportTarget() {
  Module* module = loadedModule.load();
  return module ? &module->exports : nullptr;
}

void startModule() {
  Module* module = new Module;
  loadedModule = module;
  ModuleState& state = module->state;
  LogWriter& log = module->log;
  state.simFolder = readSimulatorFolder();
  readLogSetting(state, profileFiles(log));
  if (state.logEnabled.load() != 0) log.open(state.logPath);
  readConfiguration(state, log);
  log.write(startupLine(state));
  state.deliverCommand = [module](const char* text) { deliverCommandText(module->state, module->log, text); };

  if (state.remoteMode) {
    if (SendRemoteCommand(state.remoteAddress, kHeartbeatText)) {
      // The voice program runs on the other computer; it is not looked for here.
    } else {
      showLoggedErrorBox(log, kRemoteFailureMessage);
      state.remoteMode = 0;
    }
  }
  if (!state.remoteMode) {
    state.rogerWilcoPath = readRogerWilcoPath();
    if (state.rogerWilcoPath.empty() || !fileCanBeOpened(state.rogerWilcoPath)) {
      state.status = RogerWilcoMissing;
      log.write("RogerWilco not found at \"" + state.rogerWilcoPath + "\": the module stays idle");
      showLoggedErrorBox(log, kRogerWilcoMissingMessage);
      return;
    }
    log.write("RogerWilco: " + state.rogerWilcoPath);
  }

  module->threads.start([module] { VatsimFeedThread(module->state, module->vatsimDownloads, module->log); });
  module->threads.start([module] { IvaoFeedThread(module->state, module->ivaoDownloads, module->log); });
  module->threads.start([module] { WorkerLoop(*module); });
  state.status = Waiting;
}

void stopModule() {
  const DWORD started = GetTickCount();
  std::unique_ptr<Module> module(loadedModule.exchange(nullptr));
  if (!module) return;
  ModuleState& state = module->state;
  LogWriter& log = module->log;
  log.write("shutting down");
  closeDialogForUnload(*module);
  state.vatsimFeedStop = 1;
  state.ivaoFeedStop = 1;
  state.workerStop = 1;
  module->vatsimDownloads.Abort();
  module->ivaoDownloads.Abort();
  // A thread that did not end in time still works on the module object, and a batch the
  // simulator did not answer may still be written into its buffer: the object is then
  // left alive for good rather than freed under them.
  if (!module->threads.join(kJoinBound)) {
    log.write("shutdown gave up waiting for a thread after " + std::to_string(GetTickCount() - started) + " ms");
    log.close(kLogFlushBound);
    module.release();
    return;
  }
  if (!module->simulator.serverDone()) {
    log.write("the simulator still holds a batch: the module's memory is left to it");
    log.close(kLogFlushBound);
    module.release();
    return;
  }
  log.write("shut down in " + std::to_string(GetTickCount() - started) + " ms");
  log.close(kLogFlushBound);
}

}  // namespace hv
