// The worker loop of this process (the module's code linked in, its state at hand)
// against the substitute simulator on a message-pumping simulator thread: connecting,
// registering the menu entry and hot key, readings, activations and the dialog thread,
// tuneCom1, and the heartbeat in remote mode.
#include <gtest/gtest.h>

#include <winsock.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "common/portable/RemoteCommand.h"
#include "module/portable/SimBatch.h"
#include "module/portable/SimConversions.h"
#include "module/win32/DialogThread.h"
#include "module/win32/Lifecycle.h"
#include "module/win32/ModuleThreads.h"
#include "module/win32/SimIpc.h"
#include "module/win32/WorkerLoop.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using hvtest::SubstituteSimulator;
using Batch = SubstituteSimulator::Batch;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kCom1 = 0x034E;
constexpr std::uint32_t kTable = 0x3210;
constexpr std::uint32_t kMenuRecord = 0x2FE0;
std::uint32_t entryAt(int i) { return kTable + 4 * i; }
std::uint32_t activationAt(int i) { return kTable + 4 * i + 3; }

template <typename Test>
bool waitUntil(Test test, std::chrono::milliseconds within) {
  auto deadline = Clock::now() + within;
  while (!test()) {
    if (Clock::now() >= deadline) return false;
    Sleep(10);
  }
  return true;
}

std::vector<std::uint8_t> bytesOf(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::vector<std::uint8_t> menuRecord(int slot) {
  std::vector<std::uint8_t> record{static_cast<std::uint8_t>(slot)};
  for (const char* c = "&Hallvoxen..."; *c; ++c) record.push_back(static_cast<std::uint8_t>(*c));
  record.push_back(0);
  return record;
}

int count(const std::vector<Batch>& batches, bool (*test)(const Batch&)) {
  int n = 0;
  for (const Batch& b : batches) n += test(b) ? 1 : 0;
  return n;
}

bool isReading(const Batch& b) { return b.hasRead(kCom1); }
bool isDialogStart(const Batch& b) { return b.hasRead(0x0264); }
bool isDialogEnd(const Batch& b) { return b.hasWrite(0x0262); }
bool readsAnActivationByte(const Batch& b) {
  for (const auto& r : b.records)
    if (r.kind == 1 && r.offset >= kTable && r.offset < kTable + 224 && (r.offset - kTable) % 4 == 3) return true;
  return false;
}

class WorkerLoopTest : public ::testing::Test {
 protected:
  hv::ModuleState& state = hv::moduleState();

  void SetUp() override {
    ASSERT_EQ(FindWindowA("UIPCMAIN", nullptr), nullptr);
    state.workerStop = 0;
    state.dialogShowing = 0;
    state.remoteMode = 0;
    state.remoteAddress.clear();
    state.hotKeyCode = 192;
    state.hotKeyModifier = 8;
    state.active = 0;
    state.status = hv::Waiting;
    setLastReading({});
    hv::setSettingsDialogHooks({});
  }
  void TearDown() override {
    stopWorker();
    hv::resetSimulatorLink();
    destroyServer(sim);
  }

  void startWorker() {
    ASSERT_TRUE(hv::startModuleThread(&hv::WorkerLoop));
    running_ = true;
  }
  void stopWorker() {
    if (!running_) return;
    state.workerStop = 1;
    state.stopSignal.wakeAll();
    EXPECT_TRUE(hv::joinModuleThreads(3000ms));
    EXPECT_EQ(hv::runningModuleThreads(), 0);
    state.workerStop = 0;
    running_ = false;
  }
  void createServer(SubstituteSimulator& s) {
    bool created = false;
    host.run([&] { created = s.create(); });
    ASSERT_TRUE(created);
  }
  void destroyServer(SubstituteSimulator& s) {
    host.run([&] { s.destroy(); });
  }
  // Starts the worker against a fresh server and waits until it reads.
  void connect() {
    createServer(sim);
    startWorker();
    ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  }
  hv::SimReading lastReading() {
    hv::StationTableGuard guard(state.tableLock);
    return state.lastReading;
  }
  void setLastReading(const hv::SimReading& r) {
    hv::StationTableGuard guard(state.tableLock);
    state.lastReading = r;
  }

  hvtest::ModuleHost host;
  SubstituteSimulator sim;
  bool running_ = false;
};

// ---------------------------------------------------------------- connecting

TEST_F(WorkerLoopTest, ConnectsInTheFirstCycleAfterTheWindowAppearsAndRegistersInThatCycle) {
  startWorker();
  Sleep(800);  // a few cycles without a server
  createServer(sim);
  auto appeared = Clock::now();
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  auto b = sim.servedBatches();
  ASSERT_GE(b.size(), 5u);

  EXPECT_TRUE(b[0].hasRead(0x3304)) << "the opening batch comes first";
  EXPECT_LT(b[0].at - appeared, 500ms + 250ms) << "connected in the first cycle after the window appeared";

  ASSERT_EQ(b[1].records.size(), 1u);
  EXPECT_TRUE(b[1].records[0].isRead(kTable));
  EXPECT_EQ(b[1].records[0].size, 224u);

  ASSERT_EQ(b[2].records.size(), 2u);
  EXPECT_TRUE(b[2].records[0].isWrite(entryAt(0)));
  EXPECT_EQ(b[2].records[0].data, bytesOf(0x0000FFFF));
  EXPECT_TRUE(b[2].records[1].isWrite(kMenuRecord));
  EXPECT_EQ(b[2].records[1].data, menuRecord(0));

  ASSERT_EQ(b[3].records.size(), 1u);
  EXPECT_TRUE(b[3].records[0].isWrite(entryAt(1)));
  EXPECT_EQ(b[3].records[0].data, bytesOf(0x000001C0));
  EXPECT_LT(b[3].at - b[0].at, 250ms) << "registered in the cycle that connected";

  EXPECT_TRUE(isReading(b[4])) << "the first reading follows in the next cycle";
  EXPECT_GT(b[4].at - b[0].at, 350ms);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_FALSE(isReading(b[i]));

  EXPECT_EQ(sim.menuItemText(), "&Hallvoxen...");
  EXPECT_EQ(count(b, [](const Batch& x) { return x.hasRead(0x3304); }), 1) << "never reconnects";
}

TEST_F(WorkerLoopTest, MenuEntryAndHotKeyTakeTheLowestFreeEntries) {
  const std::uint32_t taken = 0x00000A4B;
  struct Case {
    const char* name;
    std::set<int> inUse;
    bool allButLast, all;
    std::uint32_t code, modifier;
    int menu, key;
    std::uint32_t keyEntry;
  } cases[] = {
      {"entries 0 and 1 in use", {0, 1}, false, false, 192, 8, 2, 3, 0x000001C0},
      {"a gap after the menu entry", {0, 2}, false, false, 192, 8, 1, 3, 0x000001C0},
      {"key 65 with modifier 11", {}, false, false, 65, 11, 0, 1, 0x00000141},
      {"key 65 with modifier 9", {}, false, false, 65, 9, 0, 1, 0x00000241},
      {"only entry 55 free", {}, true, false, 192, 8, 55, -1, 0},
      {"all entries in use", {}, false, true, 192, 8, -1, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SubstituteSimulator server;
    for (int i = 0; i < 56; ++i)
      if (c.inUse.count(i) || c.all || (c.allButLast && i < 55)) server.setTableEntry(i, taken + i);
    state.hotKeyCode = c.code;
    state.hotKeyModifier = c.modifier;
    createServer(server);
    startWorker();
    ASSERT_TRUE(waitUntil([&] { return count(server.servedBatches(), isReading) >= 3; }, 4000ms));
    stopWorker();
    hv::resetSimulatorLink();
    auto batches = server.servedBatches();
    std::string menuItem = server.menuItemText();
    destroyServer(server);

    for (int i = 0; i < 56; ++i) {
      std::uint32_t expected = 0;
      if (i == c.menu) {
        expected = 0x0000FFFF;
      } else if (i == c.key) {
        expected = c.keyEntry;
      } else if (c.inUse.count(i) || c.all || (c.allButLast && i < 55)) {
        expected = taken + i;
      }
      EXPECT_EQ(server.tableEntry(i), expected) << "entry " << i;
    }
    if (c.menu < 0) {
      EXPECT_EQ(count(batches, [](const Batch& b) { return b.hasWrite(kMenuRecord); }), 0);
      EXPECT_EQ(count(batches, readsAnActivationByte), 0) << "nothing is watched";
      EXPECT_EQ(menuItem, "");
      continue;
    }
    EXPECT_EQ(server.bytes(kMenuRecord, 15), menuRecord(c.menu));
    EXPECT_EQ(menuItem, "&Hallvoxen...");
    // Every connected cycle watches: FF FF into the menu entry's key bytes, then the
    // activation bytes of the registered entries.
    int watching = 0;
    for (const Batch& b : batches) {
      if (!readsAnActivationByte(b)) continue;
      ++watching;
      std::size_t expectedRecords = c.key < 0 ? 2 : 3;
      ASSERT_EQ(b.records.size(), expectedRecords);
      EXPECT_TRUE(b.records[0].isWrite(entryAt(c.menu)));
      EXPECT_EQ(b.records[0].data, (std::vector<std::uint8_t>{0xFF, 0xFF}));
      EXPECT_TRUE(b.records[1].isRead(activationAt(c.menu)));
      if (c.key >= 0) {
        EXPECT_TRUE(b.records[2].isRead(activationAt(c.key)));
      }
    }
    EXPECT_GE(watching, 3);
  }
}

// ---------------------------------------------------------------- activations

TEST_F(WorkerLoopTest, EachActivationStartsOneDialogThreadAndClearsBothBytes) {
  connect();
  const int menu = 0, key = 1;
  HWND window = sim.window();
  struct Case {
    const char* name;
    std::function<void()> activate;
  } cases[] = {
      {"menu item picked", [&] { ASSERT_TRUE(sim.pickMenuItem()); }},
      {"hot key pressed", [&] { ASSERT_EQ(sim.pressKey(192, 1), 1); }},
      {"key message to the window", [&] { PostMessageA(window, WM_KEYDOWN, 192, 0x00290001); }},
      {"both in the same cycle", [&] {
         ASSERT_TRUE(sim.pickMenuItem());
         ASSERT_EQ(sim.pressKey(192, 1), 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(waitUntil([&] { return state.dialogShowing.load() == 0; }, 3000ms));
    sim.clearServedBatches();
    c.activate();
    ASSERT_TRUE(sim.waitForBatch(isDialogStart, 3000ms));
    ASSERT_TRUE(sim.waitForBatch(isDialogEnd, 3000ms));
    ASSERT_TRUE(waitUntil([&] { return state.dialogShowing.load() == 0; }, 3000ms));
    Sleep(1100);  // two more cycles: nothing starts a second thread
    auto batches = sim.servedBatches();
    EXPECT_EQ(count(batches, isDialogStart), 1);
    EXPECT_EQ(count(batches, isDialogEnd), 1);
    EXPECT_EQ(sim.activation(menu), 0);
    EXPECT_EQ(sim.activation(key), 0);
    bool cleared = false;
    for (const Batch& b : batches)
      if (b.records.size() == 2 && b.records[0].isWrite(activationAt(menu)) && b.records[1].isWrite(activationAt(key)))
        cleared = b.records[0].data == std::vector<std::uint8_t>{0} && b.records[1].data == std::vector<std::uint8_t>{0};
    EXPECT_TRUE(cleared) << "one batch writes 0 into both activation bytes";
  }
  EXPECT_EQ(sim.pressKey(192, 2), 0) << "the hot key was registered without Shift";
}

TEST_F(WorkerLoopTest, TheControlWordIsWrittenOnlyWhenTheSavedWordWasZero) {
  connect();
  struct Case {
    std::uint16_t saved;
    int writes;
  } cases[] = {{0x0001, 0}, {0x8000, 0}, {0x0000, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.saved);
    sim.setBytes(0x0262, {0xAA, 0xAA});
    sim.setBytes(0x0264, {static_cast<std::uint8_t>(c.saved), static_cast<std::uint8_t>(c.saved >> 8)});
    sim.clearServedBatches();
    ASSERT_TRUE(sim.pickMenuItem());
    ASSERT_TRUE(sim.waitForBatch(isDialogStart, 3000ms));
    ASSERT_TRUE(waitUntil([&] { return state.dialogShowing.load() == 0; }, 3000ms));
    EXPECT_EQ(count(sim.servedBatches(), isDialogEnd), c.writes);
    const std::vector<std::uint8_t> controlWord = c.writes ? std::vector<std::uint8_t>{0, 0}
                                                           : std::vector<std::uint8_t>{0xAA, 0xAA};
    EXPECT_EQ(sim.bytes(0x0262, 2), controlWord);
  }
}

std::atomic<bool> dialogMayClose{false};
std::atomic<int> dialogsRun{0};

TEST_F(WorkerLoopTest, WhileTheDialogShowsNothingIsReadAndActivationsAreClearedWithoutEffect) {
  dialogMayClose = false;
  dialogsRun = 0;
  hv::SettingsDialogHooks hooks;
  hooks.run = [] {
    ++dialogsRun;
    while (!dialogMayClose) Sleep(10);
  };
  hv::setSettingsDialogHooks(hooks);
  connect();

  ASSERT_TRUE(sim.pickMenuItem());
  ASSERT_TRUE(waitUntil([] { return dialogsRun.load() == 1; }, 3000ms));
  EXPECT_EQ(state.dialogShowing.load(), 1u);
  Sleep(600);  // a cycle that may still have read before the dialog opened
  sim.clearServedBatches();
  ASSERT_EQ(sim.pressKey(192, 1), 1);
  ASSERT_TRUE(waitUntil([&] { return sim.activation(1) == 0; }, 3000ms)) << "cleared while the dialog shows";
  Sleep(1100);
  auto during = sim.servedBatches();
  EXPECT_EQ(count(during, isReading), 0);
  EXPECT_GE(count(during, readsAnActivationByte), 2) << "still watching";
  EXPECT_EQ(count(during, isDialogStart), 0);
  EXPECT_EQ(dialogsRun.load(), 1);
  EXPECT_FALSE(hv::startDialogThread(state)) << "at most one dialog thread";

  dialogMayClose = true;
  ASSERT_TRUE(sim.waitForBatch(isDialogEnd, 3000ms));
  ASSERT_TRUE(waitUntil([&] { return state.dialogShowing.load() == 0; }, 3000ms));
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms)) << "reading resumes";
}

// ---------------------------------------------------------------- readings

TEST_F(WorkerLoopTest, LastReadingFollowsCom1AndThePosition) {
  auto fixed = [](std::int32_t hi, std::uint32_t lo) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(hi)) << 32 | lo;
  };
  struct Case {
    std::uint16_t bcd;
    std::uint64_t latitude, longitude;
    std::uint16_t frequency;
    double lat, lon;
  } cases[] = {
      {0x1810, hv::fixedFromLatitude(47.2603), hv::fixedFromLongitude(11.3439), 11810, 47.2603, 11.3439},
      {0x1970, hv::fixedFromLatitude(-33.9461), hv::fixedFromLongitude(151.1772), 11970, -33.9461, 151.1772},
      {0x3697, fixed(-10001750, 0), fixed(INT32_MIN, 0), 13697, -90.0, -180.0},
      {0x2345, fixed(0, 0x80000000u), fixed(0x40000000, 0), 12345, 4.499212637788387e-6, 90.0},
  };
  connect();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frequency);
    sim.setCom1Bcd(c.bcd);
    sim.setPositionFixed(c.latitude, c.longitude);
    ASSERT_TRUE(waitUntil([&] { return lastReading().frequency == c.frequency; }, 3000ms));
    Sleep(50);
    hv::SimReading r = lastReading();
    EXPECT_NEAR(r.latitude, c.lat, 1e-9);
    EXPECT_NEAR(r.longitude, c.lon, 1e-9);
  }

  // A failed reading leaves the last one as it was.
  sim.setReplyFailure(true);
  sim.setCom1(11800);
  sim.setPosition(10.0, 10.0);
  sim.clearServedBatches();
  ASSERT_TRUE(waitUntil([&] { return count(sim.servedBatches(), isReading) >= 2; }, 3000ms));
  EXPECT_EQ(lastReading().frequency, 12345);
  EXPECT_NEAR(lastReading().longitude, 90.0, 1e-9);
  sim.setReplyFailure(false);
  ASSERT_TRUE(waitUntil([&] { return lastReading().frequency == 11800; }, 3000ms));
}

TEST_F(WorkerLoopTest, TuneCom1WritesTheFrequencyAsBcd) {
  connect();
  struct Case {
    std::uint16_t frequency;
    std::uint16_t bcd;
  } cases[] = {{13697, 0x3697}, {11800, 0x1800}, {12345, 0x2345}, {19999, 0x9999}};
  for (const Case& c : cases) {
    sim.clearServedBatches();
    EXPECT_EQ(hv::tuneCom1(c.frequency), hv::kSimOk) << c.frequency;
    EXPECT_EQ(sim.com1Bcd(), c.bcd) << c.frequency;
    auto b = sim.servedBatches();
    ASSERT_FALSE(b.empty());
    bool written = false;
    const std::vector<std::uint8_t> bcdBytes{static_cast<std::uint8_t>(c.bcd), static_cast<std::uint8_t>(c.bcd >> 8)};
    for (const Batch& x : b)
      if (x.records.size() == 1 && x.records[0].isWrite(kCom1)) written = x.records[0].data == bcdBytes;
    EXPECT_TRUE(written) << c.frequency;
  }
  ASSERT_TRUE(waitUntil([&] { return lastReading().frequency == 19999; }, 3000ms)) << "the next reading sees it";

  sim.clearServedBatches();
  EXPECT_EQ(hv::tuneCom1(9999), hv::kSimEmptyBatch);
  EXPECT_EQ(hv::tuneCom1(20000), hv::kSimEmptyBatch);
  sim.setReplyFailure(true);
  EXPECT_EQ(hv::tuneCom1(11800), hv::kSimNoReply);
  sim.setReplyFailure(false);
  EXPECT_EQ(sim.com1Bcd(), 0x9999);

  stopWorker();
  hv::SimIpc::close();
  EXPECT_EQ(hv::tuneCom1(11800), hv::kSimNotOpen);
}

// ---------------------------------------------------------------- remote mode

// Not 127.0.0.1, where other programs' tests may be sending their own commands.
constexpr char kReceiverAddress[] = "127.0.0.2";

class DatagramReceiver {
 public:
  DatagramReceiver() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(hv::kRemoteCommandPort);
    local.sin_addr.s_addr = inet_addr(kReceiverAddress);
    // The port is the machine's: another program's test may hold it for a moment.
    for (int attempt = 0; attempt < 100 && !bound_; ++attempt) {
      bound_ = bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
      if (!bound_) Sleep(100);
    }
    int timeout = 100;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  }
  ~DatagramReceiver() {
    closesocket(socket_);
    WSACleanup();
  }
  bool bound() const { return bound_; }
  struct Datagram {
    std::string text;
    Clock::time_point at;
  };
  std::vector<Datagram> collect(std::chrono::milliseconds during) {
    std::vector<Datagram> got;
    auto end = Clock::now() + during;
    while (Clock::now() < end) {
      char buffer[600];
      int n = recv(socket_, buffer, sizeof buffer, 0);
      if (n >= 0) got.push_back({std::string(buffer, n), Clock::now()});
    }
    return got;
  }

 private:
  SOCKET socket_;
  bool bound_ = false;
};

TEST_F(WorkerLoopTest, InRemoteModeTheHeartbeatGoesOutEveryCycleWithoutASimulator) {
  DatagramReceiver receiver;
  ASSERT_TRUE(receiver.bound());
  state.remoteMode = 1;
  state.remoteAddress = kReceiverAddress;
  startWorker();
  auto got = receiver.collect(2300ms);
  stopWorker();
  ASSERT_GE(got.size(), 4u);
  EXPECT_LE(got.size(), 6u);
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].text, "{SYNC}");
    if (i > 0) {
      EXPECT_GT(got[i].at - got[i - 1].at, 350ms) << i;
      EXPECT_LT(got[i].at - got[i - 1].at, 800ms) << i;
    }
  }
}

TEST_F(WorkerLoopTest, InLocalModeNoHeartbeatIsSent) {
  DatagramReceiver receiver;
  ASSERT_TRUE(receiver.bound());
  state.remoteAddress = kReceiverAddress;
  connect();
  EXPECT_TRUE(receiver.collect(1200ms).empty());
}

}  // namespace
