// The worker loop inside the real module: Hallvoxen.dll loaded and started the way the
// simulator does it, on a message-pumping simulator thread that also owns the substitute
// simulator's window. Registration as configured in FS2002.CFG, activations, and unload
// in every state the worker and the dialog thread can be in.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/ModuleHost.h"
#include "tests/support/ModuleThreadsProbe.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using hvtest::SubstituteSimulator;
using Batch = SubstituteSimulator::Batch;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kTable = 0x3210;

bool isReading(const Batch& b) { return b.hasRead(0x034E); }
bool isOpening(const Batch& b) { return b.hasRead(0x3304); }

template <typename Test>
bool waitUntil(Test test, std::chrono::milliseconds within) {
  auto deadline = Clock::now() + within;
  while (!test()) {
    if (Clock::now() >= deadline) return false;
    Sleep(10);
  }
  return true;
}

// The feed threads, the worker loop, and a dialog thread when one runs.
constexpr int kRunningThreads = 3;

class ModuleWorker : public ::testing::Test {
 protected:
  void TearDown() override { host.run([&] { sim.destroy(); }); }

  void createServer() {
    bool created = false;
    host.run([&] { created = sim.create(); });
    ASSERT_TRUE(created);
  }
  void loadAndStart() {
    ASSERT_TRUE(host.load(hvtest::binPath("Hallvoxen.dll")));
    ASSERT_TRUE(host.initialise().wait(10s));
    ASSERT_TRUE(waitUntil([&] { return threads() == kRunningThreads; }, 3000ms));
  }
  int threads() { return hvtest::threadsStartedBy(host.module()); }
  // Runs the de-initialisation entry on the simulator thread once ready() holds there
  // (the simulator thread does not pump meanwhile); reports its time and what was left.
  struct Unload {
    bool ready = false;
    int threadsBefore = -1;
    std::chrono::milliseconds took{-1};
    int threadsAfter = -1;
  };
  Unload unload(std::function<bool()> ready = [] { return true; }) {
    Unload u;
    host.run([&] {
      u.ready = waitUntil(ready, 5000ms);
      u.threadsBefore = threads();
      u.took = host.deinitialise();
      u.threadsAfter = threads();
    });
    return u;
  }

  hvtest::SimInstallation install;
  hvtest::ModuleHost host;
  SubstituteSimulator sim;
};

bool sentMessageWaiting() { return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }

// ---------------------------------------------------------------- registration

TEST_F(ModuleWorker, ConnectsWhenTheWindowAppearsAndRegistersTheConfiguredHotKey) {
  install.installRogerWilco();
  install.writeCfg("[KEYBOARD_MAIN]\r\nATC=65,9\r\n");
  sim.setTableEntry(0, 0x00000A4B);
  sim.setTableEntry(1, 0x0000014C);
  loadAndStart();
  Sleep(700);
  createServer();
  auto appeared = Clock::now();
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  auto b = sim.servedBatches();
  ASSERT_TRUE(isOpening(b[0]));
  EXPECT_LT(b[0].at - appeared, 500ms + 250ms) << "connected in the first cycle after the window appeared";
  EXPECT_EQ(sim.tableEntry(2), 0x0000FFFFu);
  EXPECT_EQ(sim.tableEntry(3), 0x00000241u);
  EXPECT_EQ(sim.bytes(0x2FE0, 1), std::vector<std::uint8_t>{2});
  EXPECT_EQ(sim.menuItemText(), "&Hallvoxen...");
  EXPECT_EQ(sim.tableEntry(0), 0x00000A4Bu);
  EXPECT_EQ(sim.tableEntry(1), 0x0000014Cu);
  auto u = unload();
  EXPECT_LT(u.took, 200ms);
  EXPECT_EQ(u.threadsAfter, 0);
}

TEST_F(ModuleWorker, HotKeyEntriesFromFs2002Cfg) {
  struct Case {
    const char* cfg;
    std::uint32_t entry;
  } cases[] = {
      {"", 0x000001C0},  // no ATC key: the default "192,8"
      {"[KEYBOARD_MAIN]\r\nATC=65,11\r\n", 0x00000141},
      {"[KEYBOARD_MAIN]\r\nATC=65,9\r\n", 0x00000241},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cfg);
    hvtest::SimInstallation installation;
    installation.installRogerWilco();
    if (*c.cfg) installation.writeCfg(c.cfg);
    hvtest::ModuleHost moduleHost;
    SubstituteSimulator server;
    moduleHost.run([&] { server.create(); });
    ASSERT_TRUE(moduleHost.load(hvtest::binPath("Hallvoxen.dll")));
    ASSERT_TRUE(moduleHost.initialise().wait(10s));
    ASSERT_TRUE(server.waitForBatch(isReading, 3000ms));
    EXPECT_EQ(server.tableEntry(0), 0x0000FFFFu);
    EXPECT_EQ(server.tableEntry(1), c.entry);
    EXPECT_LT(moduleHost.deinitialise(), 200ms);
    moduleHost.run([&] { server.destroy(); });
  }
}

TEST_F(ModuleWorker, MenuPickAndHotKeyEachRunTheDialogThreadsSteps) {
  install.installRogerWilco();
  createServer();
  loadAndStart();
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "menu pick" : "hot key");
    sim.clearServedBatches();
    if (round == 0) {
      ASSERT_TRUE(sim.pickMenuItem());
    } else {
      PostMessageA(sim.window(), WM_KEYDOWN, 192, 0x00290001);
    }
    ASSERT_TRUE(sim.waitForBatch([](const Batch& b) { return b.hasRead(0x0264); }, 3000ms));
    ASSERT_TRUE(sim.waitForBatch([](const Batch& b) { return b.hasWrite(0x0262); }, 3000ms));
    ASSERT_TRUE(waitUntil([&] { return sim.activation(0) == 0 && sim.activation(1) == 0; }, 3000ms));
    ASSERT_TRUE(waitUntil([&] { return threads() == kRunningThreads; }, 3000ms)) << "the dialog thread ended";
  }
  EXPECT_LT(unload().took, 200ms);
}

// ---------------------------------------------------------------- unload

TEST_F(ModuleWorker, UnloadWithoutASimulatorWindow) {
  install.installRogerWilco();
  loadAndStart();
  Sleep(1200);
  auto u = unload();
  EXPECT_LT(u.took, 200ms);
  EXPECT_EQ(u.threadsBefore, kRunningThreads);
  EXPECT_EQ(u.threadsAfter, 0);
}

TEST_F(ModuleWorker, UnloadWhileConnected) {
  install.installRogerWilco();
  createServer();
  loadAndStart();
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  auto u = unload();
  EXPECT_LT(u.took, 200ms);
  EXPECT_EQ(u.threadsAfter, 0);
}

TEST_F(ModuleWorker, UnloadWhileTheWorkerWaitsForTheSimulatorsReply) {
  install.installRogerWilco();
  createServer();
  loadAndStart();
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  // The simulator thread is busy for longer than a cycle, so the worker's next batch is
  // waiting for it when the unload begins.
  std::size_t servedBefore = 0;
  auto u = unload([&] {
    Sleep(700);
    servedBefore = sim.servedBatches().size();
    return true;
  });
  EXPECT_LT(u.took, 200ms);
  EXPECT_EQ(u.threadsAfter, 0);
  EXPECT_GT(sim.servedBatches().size(), servedBefore) << "the waiting batch was answered during unload";
}

// As above, but the simulator's own loop has looked at its queue (GetQueueStatus) since
// the worker's message arrived, so the message no longer counts as new input.
TEST_F(ModuleWorker, UnloadWhileTheWorkerWaitsAndTheSimulatorHasSeenItsMessage) {
  install.installRogerWilco();
  createServer();
  loadAndStart();
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  std::size_t servedBefore = 0;
  auto u = unload([&] {
    if (!sentMessageWaiting()) return false;
    servedBefore = sim.servedBatches().size();
    return true;
  });
  ASSERT_TRUE(u.ready) << "the worker's batch reached the simulator thread";
  EXPECT_LT(u.took, 200ms);
  EXPECT_EQ(u.threadsAfter, 0);
  EXPECT_GT(sim.servedBatches().size(), servedBefore) << "the waiting batch was answered during unload";
}

TEST_F(ModuleWorker, UnloadWhileTheDialogThreadRuns) {
  install.installRogerWilco();
  createServer();
  loadAndStart();
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  // A slow simulator keeps the dialog thread inside its batches long enough to be
  // caught there; at unload the simulator becomes quick again.
  sim.setReplyDelay(150ms);
  ASSERT_TRUE(sim.pickMenuItem());
  ASSERT_TRUE(waitUntil([&] { return threads() == kRunningThreads + 1; }, 5000ms));
  auto u = unload([&] {
    sim.setReplyDelay(0ms);
    return true;
  });
  EXPECT_EQ(u.threadsBefore, kRunningThreads + 1) << "the dialog thread was still running";
  EXPECT_LT(u.took, 200ms);
  EXPECT_EQ(u.threadsAfter, 0);
  EXPECT_TRUE(sim.waitForBatch([](const Batch& b) { return b.hasWrite(0x0262); }, 0ms))
      << "the dialog thread finished its steps";
}

TEST_F(ModuleWorker, UnloadInRemoteModeWithoutASimulatorWindow) {
  // Not 127.0.0.1, where other programs' tests may be listening.
  install.writeIni("[REMOTE]\r\nRemote=TRUE\r\nRemoteAddress=127.0.0.2\r\n");
  loadAndStart();
  Sleep(1200);
  auto u = unload();
  EXPECT_LT(u.took, 200ms);
  EXPECT_EQ(u.threadsAfter, 0);
}

TEST_F(ModuleWorker, UnloadAnInertModule) {
  createServer();
  ASSERT_TRUE(host.load(hvtest::binPath("Hallvoxen.dll")));
  auto started = host.initialise();
  ASSERT_TRUE(hvtest::answerMessageBox(hvtest::kErrorCaption).has_value());
  ASSERT_TRUE(started.wait(5s));
  Sleep(1200);
  EXPECT_EQ(threads(), 0);
  EXPECT_TRUE(sim.servedBatches().empty()) << "an inert module never talks to the simulator";
  EXPECT_EQ(sim.menuItemText(), "");
  auto u = unload();
  EXPECT_LT(u.took, 200ms);
}

// ---------------------------------------------------------------- the scripted simulator

// Runs a program with the text as its standard input; returns what it printed.
std::string runWithInput(const std::string& commandLine, const std::string& input) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite;
  CreatePipe(&inRead, &inWrite, &inherit, 0);
  CreatePipe(&outRead, &outWrite, &inherit, 0);
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = outWrite;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return "<not started>";
  CloseHandle(inRead);
  CloseHandle(outWrite);
  DWORD written = 0;
  WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  CloseHandle(inWrite);
  std::string output;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(outRead, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(outRead);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return output;
}

TEST(SubstituteSimulatorProgram, PlaysAScriptWithTheModuleLoaded) {
  hvtest::SimInstallation install;
  install.installRogerWilco();
  const std::string script =
      "entry 0 0x0A4B\n"
      "start\n"
      "com1 11810\n"
      "position 47.26 11.34\n"
      "wait 1200\n"
      "pick\n"
      "wait 800\n"
      "show\n"
      "batches\n"
      "quit\n";
  std::string output = runWithInput("\"" + hvtest::binPath("substitute_simulator.exe") + "\"", script);
  EXPECT_NE(output.find("module started"), std::string::npos) << output;
  EXPECT_NE(output.find("menu item picked"), std::string::npos) << output;
  EXPECT_NE(output.find("COM1 11810, menu item \"&Hallvoxen...\""), std::string::npos) << output;
  EXPECT_NE(output.find("entry 0 = 0x00000A4B"), std::string::npos) << output;
  EXPECT_NE(output.find("entry 1 = 0x0000FFFF"), std::string::npos) << output;
  EXPECT_NE(output.find("entry 2 = 0x000001C0"), std::string::npos) << output;
  EXPECT_NE(output.find("read 034E/2 read 0560/8 read 0568/8"), std::string::npos) << output;
  EXPECT_NE(output.find("read 0264/2"), std::string::npos) << output;
  EXPECT_NE(output.find("write 0262/2=0000"), std::string::npos) << output;
  EXPECT_NE(output.find("module stopped in"), std::string::npos) << output;
}

}  // namespace
