// The worker loop. Every 500 ms: the "{SYNC}" heartbeat in remote mode; until the
// simulator's IPC server answers, an attempt to connect (and, in the cycle that
// connects, the registration of the menu entry and the hot key); once connected, a
// reading of COM1 and the position handed to station selection, and a look at the
// activation bytes of the menu entry and the hot key, which start the dialog thread.
//
// The simulator is read before the station table lock is taken: the IPC server's reply
// needs the simulator's thread, which may itself be waiting for that lock.
#include "module/win32/WorkerLoop.h"

#include <chrono>
#include <cstring>
#include <optional>

#include "common/portable/RemoteCommand.h"
#include "module/portable/DecisionLog.h"
#include "module/portable/SimBatch.h"
#include "module/portable/SimConversions.h"
#include "module/win32/DialogThread.h"
#include "module/win32/Module.h"
#include "module/win32/SimulatorLink.h"
#include "voice/portable/StationSelection.h"
#include "voice/portable/VoiceCommands.h"
#include "voice/win32/RemoteSender.h"

namespace hv {

namespace {

constexpr std::uint32_t kKeyTableOffset = 0x3210;
constexpr int kKeyTableEntries = 56;
constexpr std::uint32_t kMenuRecordOffset = 0x2FE0;
constexpr char kMenuText[] = "&Hallvoxen...";
constexpr std::uint32_t kMenuEntryValue = 0x0000FFFF;
constexpr std::uint32_t kNotConnected = 0xFFFF;
constexpr std::chrono::milliseconds kPeriod{500};

std::uint32_t entryOffset(int slot) { return kKeyTableOffset + 4 * static_cast<std::uint32_t>(slot); }
std::uint32_t activationOffset(int slot) { return entryOffset(slot) + 3; }

static_assert(sizeof Module::batchBuffer >= 16 + 4 * kKeyTableEntries + 4, "the table read must fit");

struct Registration {
  int menuSlot = -1;
  int keySlot = -1;
  std::uint32_t table[kKeyTableEntries] = {};
};

// What the worker last told the log, so that it writes a line only when something changes.
struct LoggedState {
  std::optional<Decision> decision;
  bool simulatorAnswers = true;
  bool heartbeatSent = true;
};

int firstFreeEntry(const std::uint32_t (&table)[kKeyTableEntries], int from) {
  for (int i = from; i < kKeyTableEntries; ++i)
    if (table[i] == 0) return i;
  return -1;
}

// Once, in the cycle that connects. A failed table read leaves the copy all zero; a
// failed registration batch is not repeated.
void registerEntries(Module& module, Registration& reg) {
  SimIpcClient& simulator = module.simulator;
  const ModuleState& state = module.state;
  std::uint32_t error = 0;
  simulator.read(kKeyTableOffset, sizeof reg.table, reg.table, error);
  simulator.process(error);

  int menu = firstFreeEntry(reg.table, 0);
  if (menu < 0) {
    module.log.write("no free key-table entry: neither menu entry nor hot key registered");
    return;
  }
  reg.menuSlot = menu;
  unsigned char record[1 + sizeof kMenuText];  // slot, text, NUL
  record[0] = static_cast<unsigned char>(menu);
  std::memcpy(record + 1, kMenuText, sizeof kMenuText);
  simulator.write(entryOffset(menu), 4, &kMenuEntryValue, error);
  simulator.write(kMenuRecordOffset, sizeof record, record, error);
  const bool menuRegistered = simulator.process(error);
  module.log.write(std::string("menu entry ") + (menuRegistered ? "registered" : "registration failed") +
                   " in key-table entry " + std::to_string(menu));

  int key = firstFreeEntry(reg.table, menu + 1);
  if (key < 0) {
    module.log.write("no free key-table entry for the hot key");
    return;
  }
  reg.keySlot = key;
  std::uint32_t keyEntry = hotKeyEntryValue(state.hotKeyCode, state.hotKeyModifier);
  simulator.write(entryOffset(key), 4, &keyEntry, error);
  const bool keyRegistered = simulator.process(error);
  module.log.write("hot key " + std::to_string(state.hotKeyCode) + "," + std::to_string(state.hotKeyModifier) +
                   (keyRegistered ? " registered" : " registration failed") + " in key-table entry " +
                   std::to_string(key));
}

// The age of the table that selection uses, if it has one. Callers hold StationTableLock.
std::optional<std::chrono::seconds> currentTableAge(const ModuleState& state) {
  if (state.currentTable.loaded.load() == 0) return std::nullopt;
  const NetworkFeed& feed = state.feeds[state.network.load() == Ivao ? Ivao : Vatsim];
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - feed.installedAt);
}

void watchEntries(Module& module, const Registration& reg) {
  if (reg.menuSlot < 0) return;
  SimIpcClient& simulator = module.simulator;
  std::uint32_t error = 0;
  const unsigned char menuKey[2] = {0xFF, 0xFF};
  std::uint8_t menuActivation = 0, keyActivation = 0;
  simulator.write(entryOffset(reg.menuSlot), 2, menuKey, error);
  simulator.read(activationOffset(reg.menuSlot), 1, &menuActivation, error);
  if (reg.keySlot >= 0) simulator.read(activationOffset(reg.keySlot), 1, &keyActivation, error);
  simulator.process(error);
  if (menuActivation == 0 && keyActivation == 0) return;

  // An activation while the dialog is open is cleared without effect.
  if (module.state.dialogShowing.load() == 0) startDialogThread(module);
  const std::uint8_t zero = 0;
  simulator.write(activationOffset(reg.menuSlot), 1, &zero, error);
  if (reg.keySlot >= 0) simulator.write(activationOffset(reg.keySlot), 1, &zero, error);
  simulator.process(error);
}

void noteSimulatorAnswer(LogWriter& log, LoggedState& logged, bool answers) {
  if (answers == logged.simulatorAnswers) return;
  logged.simulatorAnswers = answers;
  log.write(answers ? "the simulator IPC server answers again" : "the simulator IPC server does not answer");
}

// Selection decides under the lock; its command is delivered after the lock is released, so
// that a process start or a datagram never holds up a thread that waits for the lock.
void readAndSelect(Module& module, LoggedState& logged) {
  ModuleState& state = module.state;
  if (state.dialogShowing.load() != 0) return;
  SimReading reading;
  const bool answered = readSimulator(module.simulator, reading);
  noteSimulatorAnswer(module.log, logged, answered);
  if (!answered) return;
  std::string decisionLine;
  {
    StationTableGuard guard(state.tableLock);
    state.lastReading = reading;
    UpdateVoiceChannel(state, reading);
    if (state.logEnabled.load() != 0) {
      const SelectionExplanation why = ExplainSelection(state, reading);
      const Decision decision = currentDecision(state, reading, why);
      if (!logged.decision || *logged.decision != decision || !state.pendingCommand.empty()) {
        decisionLine = decisionLineText(state, reading, why, currentTableAge(state));
        logged.decision = decision;
      }
    }
  }
  if (!decisionLine.empty()) module.log.write(decisionLine);
  DeliverPendingCommand(state);
}

void sendHeartbeat(Module& module, LoggedState& logged) {
  const std::string& address = module.state.remoteAddress;
  const bool sent = SendRemoteCommand(address, kHeartbeatText);
  if (sent == logged.heartbeatSent) return;
  logged.heartbeatSent = sent;
  module.log.write(sent ? "heartbeats reach the network again" : "heartbeat to " + address + " could not be sent");
}

}  // namespace

void WorkerLoop(Module& module) {
  std::uint32_t connection = kNotConnected;
  Registration registration;
  LoggedState logged;
  do {
    if (module.state.remoteMode.load() != 0) sendHeartbeat(module, logged);
    if (connection != 0) {
      module.simulator.open(0, connection, module.batchBuffer, sizeof module.batchBuffer);
      if (connection == 0) {
        module.log.write("connected to the simulator IPC server");
        registerEntries(module, registration);
      }
    } else {
      readAndSelect(module, logged);
      watchEntries(module, registration);
    }
  } while (!sleepUnlessStopped(kPeriod, module.state.workerStop));
}

}  // namespace hv
