// The worker loop inside the real module: Hallvoxen.dll loaded and started the way the
// simulator does it, on a message-pumping simulator thread that also owns the substitute
// simulator's window. Connecting and registering as FS2002.CFG says, unload while a
// module thread waits for the simulator, and the scripted simulator program. (Unload
// without a simulator window, in remote mode and of an inert module: module_startup_test.)
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
// The feed threads, the worker loop and the log's writer.
constexpr int kRunningThreads = 4;

bool isReading(const Batch& b) { return b.hasRead(0x034E); }
bool isOpening(const Batch& b) { return b.hasRead(0x3304); }
bool readsAnActivationByte(const Batch& b) {
  for (const auto& r : b.records)
    if (r.kind == 1 && r.offset >= kTable && r.offset < kTable + 224 && (r.offset - kTable) % 4 == 3) return true;
  return false;
}

using hvtest::waitUntil;

// A simulator installation with a RogerWilco, and the module loaded into a host.
struct LoadedModule {
  hvtest::SimInstallation install;
  hvtest::ModuleHost host;
  SubstituteSimulator sim;

  explicit LoadedModule(const std::string& cfg = "") {
    install.installRogerWilco();
    if (!cfg.empty()) install.writeCfg(cfg);
  }
  void start() {
    ASSERT_TRUE(host.load(hvtest::binPath("Hallvoxen.dll")));
    ASSERT_TRUE(host.initialise().wait(10s));
    ASSERT_TRUE(waitUntil([&] { return threads() == kRunningThreads; }));
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
  Unload unload(const std::function<bool()>& ready = [] { return true; }) {
    Unload u;
    host.run([&] {
      u.ready = waitUntil(ready, 5000ms);
      u.threadsBefore = threads();
      u.took = host.deinitialise();
      u.threadsAfter = threads();
    });
    return u;
  }
};

TEST(ModuleWorker, ConnectsInTheFirstCycleAfterTheWindowAppearsAndRegistersAsConfigured) {
  const std::uint32_t taken = 0x00000A4B;
  struct Case {
    const char* name;
    const char* cfg;
    std::uint64_t inUse;  // bit i: entry i is taken before the module starts
    int menu, key;
    std::uint32_t keyEntry;
  } cases[] = {
      {"default key, entries 0 and 1 in use", "", 0x3, 2, 3, 0x000001C0},
      {"key 65 with modifier 11", "[KEYBOARD_MAIN]\r\nATC=65,11\r\n", 0, 0, 1, 0x00000141},
      {"key 65 with modifier 9, a gap after the menu entry", "[KEYBOARD_MAIN]\r\nATC=65,9\r\n", 0x5, 1, 3, 0x00000241},
      {"only entry 55 free", "", (1ull << 55) - 1, 55, -1, 0},
      {"all entries in use", "", (1ull << 56) - 1, -1, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadedModule m(c.cfg);
    for (int i = 0; i < 56; ++i)
      if (c.inUse >> i & 1) m.sim.setTableEntry(i, taken + i);
    ASSERT_NO_FATAL_FAILURE(m.start());
    Sleep(600);  // cycles without a server
    ASSERT_TRUE(m.sim.createOn(m.host));
    const auto appeared = Clock::now();
    ASSERT_TRUE(waitUntil([&] { return m.sim.countBatches(isReading) >= 2; }));
    auto u = m.unload();
    EXPECT_LT(u.took, 200ms) << "unload while connected";
    EXPECT_EQ(u.threadsAfter, 0);

    // The opening, the table read and the registration in one cycle; the first reading in the next.
    const auto b = m.sim.servedBatches();
    const std::size_t registration = (c.menu >= 0) + (c.key >= 0);
    ASSERT_GT(b.size(), 2 + registration);
    EXPECT_TRUE(isOpening(b[0]));
    EXPECT_LT(b[0].at - appeared, 500ms + 250ms) << "connected in the first cycle after the window appeared";
    EXPECT_TRUE(b[1].records.size() == 1 && b[1].records[0].isRead(kTable) && b[1].records[0].size == 224);
    EXPECT_LT(b[1 + registration].at - b[0].at, 250ms) << "registered in the cycle that connected";
    EXPECT_TRUE(isReading(b[2 + registration])) << "the first reading follows in the next cycle";
    EXPECT_GT(b[2 + registration].at - b[0].at, 350ms);
    EXPECT_EQ(m.sim.countBatches(isOpening), 1) << "never reconnects";

    for (int i = 0; i < 56; ++i) {
      std::uint32_t expected = i == c.menu ? 0x0000FFFF : i == c.key ? c.keyEntry : (c.inUse >> i & 1) ? taken + i : 0;
      EXPECT_EQ(m.sim.tableEntry(i), expected) << "entry " << i;
    }
    const std::string text = "&Hallvoxen...";
    EXPECT_EQ(m.sim.menuItemText(), c.menu >= 0 ? text : "");
    if (c.menu >= 0) {
      std::vector<std::uint8_t> record{static_cast<std::uint8_t>(c.menu)};
      record.insert(record.end(), text.begin(), text.end());
      record.push_back(0);
      EXPECT_EQ(m.sim.bytes(0x2FE0, static_cast<std::uint32_t>(record.size())), record);
    }
    // Each connected cycle watches: FF FF into the menu entry's key bytes, then the
    // activation bytes of the registered entries.
    int watching = 0;
    for (const Batch& x : b) {
      if (!readsAnActivationByte(x)) continue;
      ++watching;
      ASSERT_EQ(x.records.size(), c.key < 0 ? 2u : 3u);
      EXPECT_TRUE(x.records[0].isWrite(kTable + 4 * c.menu));
      EXPECT_EQ(x.records[0].data, (std::vector<std::uint8_t>{0xFF, 0xFF}));
      EXPECT_TRUE(x.records[1].isRead(kTable + 4 * c.menu + 3));
      if (c.key >= 0) {
        EXPECT_TRUE(x.records[2].isRead(kTable + 4 * c.key + 3));
      }
    }
    EXPECT_EQ(watching > 0, c.menu >= 0) << "watched only when the menu entry was registered";
  }
}

bool sentMessageWaiting() { return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }

// The de-initialisation entry runs on the thread that answers the IPC message: it must
// answer a module thread's waiting batch instead of waiting for that thread.
TEST(ModuleWorker, UnloadWhileAModuleThreadWaitsForTheSimulator) {
  struct Case {
    const char* name;
    bool dialog;
    std::function<bool(SubstituteSimulator&)> ready;  // runs on the simulator thread
  } cases[] = {
      {"the simulator thread is busy for longer than a cycle", false, [](SubstituteSimulator&) {
         Sleep(700);
         return true;
       }},
      {"the simulator thread has looked at its queue since the worker's message came", false,
       [](SubstituteSimulator&) { return sentMessageWaiting(); }},
      {"a slow simulator keeps the dialog thread inside its batches", true, [](SubstituteSimulator& sim) {
         sim.setReplyDelay(0ms);
         return true;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadedModule m;
    ASSERT_TRUE(m.sim.createOn(m.host));
    ASSERT_NO_FATAL_FAILURE(m.start());
    ASSERT_TRUE(m.sim.waitForBatch(isReading, 3000ms));
    if (c.dialog) {
      m.sim.setReplyDelay(150ms);
      ASSERT_TRUE(m.sim.pickMenuItem());
      ASSERT_TRUE(waitUntil([&] { return m.threads() == kRunningThreads + 1; }, 5000ms));
    }
    std::size_t servedBefore = 0;
    auto u = m.unload([&] {
      if (!c.ready(m.sim)) return false;
      servedBefore = m.sim.servedBatches().size();
      return true;
    });
    ASSERT_TRUE(u.ready);
    EXPECT_EQ(u.threadsBefore, kRunningThreads + (c.dialog ? 1 : 0));
    EXPECT_LT(u.took, 200ms);
    EXPECT_EQ(u.threadsAfter, 0);
    if (c.dialog) {
      EXPECT_TRUE(m.sim.waitForBatch([](const Batch& b) { return b.hasWrite(0x0262); }, 0ms)) << "its last step";
    } else {
      EXPECT_GT(m.sim.servedBatches().size(), servedBefore) << "the waiting batch was answered";
    }
  }
}

TEST(SubstituteSimulatorProgram, PlaysAScriptWithTheModuleLoaded) {
  hvtest::SimInstallation install;
  install.installRogerWilco();
  hvtest::TempFolder folder;
  const std::string script = folder.path() + "\\script.txt", output = folder.path() + "\\output.txt";
  hvtest::writeFile(script, "entry 0 0x0A4B\nstart\ncom1 11810\nposition 47.26 11.34\nwait 1200\n"
                            "pick\nwait 800\nshow\nbatches\nquit\n");
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE in = CreateFileA(script.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
  HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = startup.hStdError = out;
  PROCESS_INFORMATION process = {};
  std::string line = "\"" + hvtest::binPath("substitute_simulator.exe") + "\"";
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  for (HANDLE h : {in, out, process.hProcess, process.hThread}) CloseHandle(h);
  const std::string printed = hvtest::readFile(output);
  // The pick opens the settings dialog, which is still on screen when the batches are
  // printed: its last step (the write at 0x0262) comes only when unload closes it.
  EXPECT_EQ(printed.find("write 0262"), std::string::npos) << printed;
  for (const char* expected :
       {"module started", "menu item picked", "COM1 11810, menu item \"&Hallvoxen...\"", "entry 0 = 0x00000A4B",
        "entry 1 = 0x0000FFFF", "entry 2 = 0x000001C0", "read 034E/2 read 0560/8 read 0568/8", "read 0264/2",
        "module stopped in"})
    EXPECT_NE(printed.find(expected), std::string::npos) << expected << " in:\n" << printed;
}

}  // namespace
