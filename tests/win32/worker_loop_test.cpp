// The worker loop and the dialog thread of this process (the module's code linked in,
// its state at hand) against the substitute simulator on a message-pumping simulator
// thread: the dialog thread's steps, activations, readings, tuneCom1 and the heartbeat.
// Connecting and registering are tested through the loaded module (worker_module_test).
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "module/portable/SimBatch.h"
#include "module/win32/DialogThread.h"
#include "module/win32/Lifecycle.h"
#include "module/win32/ModuleThreads.h"
#include "module/win32/SimIpc.h"
#include "module/win32/WorkerLoop.h"
#include "tests/support/DatagramReceiver.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using hvtest::SubstituteSimulator;
using Batch = SubstituteSimulator::Batch;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// With an empty key table the menu entry is entry 0 and the hot key entry 1.
constexpr std::uint32_t kMenuActivation = 0x3213, kKeyActivation = 0x3217;

using hvtest::waitUntil;

bool isReading(const Batch& b) { return b.hasRead(0x034E); }
bool isDialogStart(const Batch& b) { return b.hasRead(0x0264); }
bool isDialogEnd(const Batch& b) { return b.hasWrite(0x0262); }
bool isWatching(const Batch& b) { return b.hasRead(kMenuActivation); }

// The settings dialog as the tests play it: open until released or ended for unload.
std::atomic<bool> releaseDialog{false};
std::atomic<int> dialogsShown{0};
std::atomic<bool> endedForUnload{false};
void blockingDialog() {
  ++dialogsShown;
  while (!releaseDialog && !endedForUnload) Sleep(5);
}

class WorkerTest : public ::testing::Test {
 protected:
  hv::ModuleState& state = hv::moduleState();

  void SetUp() override {
    state.workerStop = 0;
    state.dialogShowing = 0;
    state.remoteMode = 0;
    state.remoteAddress = "127.0.0.2";  // not 127.0.0.1, where other programs' tests may listen
    state.hotKeyCode = 192;
    state.hotKeyModifier = 8;
    state.active = 0;
    state.status = hv::Waiting;
    state.lastReading = {};
    releaseDialog = false;
    dialogsShown = 0;
    endedForUnload = false;
    hv::setSettingsDialogHooks({&blockingDialog, nullptr});
  }
  void TearDown() override {
    releaseDialog = true;
    state.workerStop = 1;
    EXPECT_TRUE(hv::joinModuleThreads(3000ms));
    hv::resetSimulatorLink();
  }

  void startWorker() { ASSERT_TRUE(hv::startModuleThread(&hv::WorkerLoop)); }
  // Starts the worker against the substitute simulator and waits until it reads.
  void connect() {
    ASSERT_TRUE(sim.createOn(host));
    startWorker();
    ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms));
  }
  // Opens the client for this thread's own batches, without the worker.
  void openClient() {
    ASSERT_TRUE(sim.createOn(host));
    std::uint32_t error = 0;
    ASSERT_TRUE(hv::SimIpc::open(0, error, buffer, sizeof buffer));
  }
  hv::SimReading lastReading() {
    hv::StationTableGuard guard(state.tableLock);
    return state.lastReading;
  }

  hvtest::ModuleHost host;
  SubstituteSimulator sim;
  unsigned char buffer[512];
};

// ---------------------------------------------------------------- the dialog thread

TEST_F(WorkerTest, OnlyOneDialogThreadRunsAtATime) {
  openClient();
  ASSERT_TRUE(hv::startDialogThread(state));
  EXPECT_EQ(state.dialogShowing.load(), 1u) << "marked before the thread runs";
  EXPECT_FALSE(hv::startDialogThread(state));
  ASSERT_TRUE(waitUntil([] { return dialogsShown.load() == 1; }));
  EXPECT_FALSE(hv::startDialogThread(state)) << "while the dialog shows";
  EXPECT_EQ(hv::runningModuleThreads(), 1);
  releaseDialog = true;
  ASSERT_TRUE(hv::joinModuleThreads(3000ms));
  EXPECT_EQ(state.dialogShowing.load(), 0u);
  ASSERT_TRUE(hv::startDialogThread(state)) << "a new one once the first has ended";
}

TEST_F(WorkerTest, TheControlWordIsWrittenOnlyWhenTheSavedWordWasZero) {
  openClient();
  releaseDialog = true;
  for (std::uint16_t saved : {0x0001, 0x8000, 0x0000}) {
    sim.setBytes(0x0262, {0xAA, 0xAA});
    sim.setBytes(0x0264, {static_cast<std::uint8_t>(saved), static_cast<std::uint8_t>(saved >> 8)});
    sim.clearServedBatches();
    ASSERT_TRUE(hv::startDialogThread(state));
    ASSERT_TRUE(hv::joinModuleThreads(3000ms));
    EXPECT_EQ(sim.countBatches(isDialogStart), 1) << saved;
    EXPECT_EQ(sim.countBatches(isDialogEnd), saved == 0 ? 1 : 0) << saved;
    EXPECT_EQ(sim.bytes(0x0262, 2), (saved == 0 ? Bytes{0, 0} : Bytes{0xAA, 0xAA})) << saved;
  }
}

// Without RogerWilco the box is shown in place of the dialog; unload closes it, and
// after unload has begun nothing is shown until the dialog thread is reset.
TEST_F(WorkerTest, TheBoxInPlaceOfTheDialogAndUnload) {
  openClient();
  state.status = hv::RogerWilcoMissing;
  ASSERT_TRUE(hv::startDialogThread(state));
  auto text = hvtest::answerMessageBox(hvtest::kErrorCaption);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, "RogerWilco not found !\r\nPlease check for proper RogerWilco installation !");
  ASSERT_TRUE(hv::joinModuleThreads(3000ms));
  EXPECT_EQ(dialogsShown.load(), 0);
  EXPECT_EQ(sim.countBatches(isDialogEnd), 1);

  ASSERT_TRUE(hv::startDialogThread(state));
  ASSERT_TRUE(waitUntil([] { return hvtest::messageBoxShowing(hvtest::kErrorCaption); }, 5000ms));
  auto start = Clock::now();
  hv::closeDialogForUnload();
  EXPECT_TRUE(hv::joinModuleThreads(200ms)) << "the box was closed";
  EXPECT_LT(Clock::now() - start, 200ms);
  EXPECT_EQ(sim.countBatches(isDialogEnd), 2) << "the thread still did its last step";

  hv::setSettingsDialogHooks({&blockingDialog, [] { endedForUnload = true; }});
  state.status = hv::Waiting;
  ASSERT_TRUE(hv::startDialogThread(state));
  ASSERT_TRUE(hv::joinModuleThreads(1000ms)) << "after unload began nothing is shown";
  EXPECT_EQ(dialogsShown.load(), 0);
  hv::closeDialogForUnload();
  EXPECT_TRUE(endedForUnload.load()) << "the settings dialog's own end is called";

  // Reset after shutdown: the next start of the module shows the dialog again.
  hv::resetSimulatorLink();
  EXPECT_FALSE(hv::SimIpc::isOpen());
  releaseDialog = true;
  ASSERT_TRUE(hv::startDialogThread(state));
  ASSERT_TRUE(hv::joinModuleThreads(1000ms));
  EXPECT_EQ(dialogsShown.load(), 1);
}

// A dialog that ignores the request to end outlives the bounded join of unload: its
// thread must keep the stop flags and state it sees, not find them reset under it.
TEST_F(WorkerTest, AThreadThatOutlivesUnloadKeepsItsStopFlags) {
  openClient();
  ASSERT_TRUE(hv::startDialogThread(state));
  ASSERT_TRUE(waitUntil([] { return dialogsShown.load() == 1; }));
  const auto start = Clock::now();
  hv::stopModule();
  EXPECT_GE(Clock::now() - start, 9s) << "unload waited for the thread up to its bound";
  EXPECT_EQ(hv::runningModuleThreads(), 1);
  EXPECT_EQ(state.workerStop.load(), 1u);
  EXPECT_EQ(state.vatsimFeedStop.load(), 1u);
  EXPECT_EQ(state.ivaoFeedStop.load(), 1u);
  EXPECT_EQ(state.dialogShowing.load(), 1u);
  releaseDialog = true;
  EXPECT_TRUE(hv::joinModuleThreads(3000ms));
}

// ---------------------------------------------------------------- the loop

TEST_F(WorkerTest, EachActivationStartsOneDialogThreadAndClearsBothBytes) {
  releaseDialog = true;
  connect();
  const HWND window = sim.window();
  struct Case {
    const char* name;
    std::function<void()> activate;
  } cases[] = {
      {"menu item picked", [&] { ASSERT_TRUE(sim.pickMenuItem()); }},
      {"hot key pressed in the window", [&] { PostMessageA(window, WM_KEYDOWN, 192, 0x00290001); }},
      {"both in the same cycle", [&] {
         ASSERT_TRUE(sim.pickMenuItem());
         ASSERT_EQ(sim.pressKey(192), 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(waitUntil([&] { return state.dialogShowing.load() == 0; }));
    sim.clearServedBatches();
    c.activate();
    ASSERT_TRUE(sim.waitForBatch(isDialogEnd, 3000ms));
    ASSERT_TRUE(waitUntil([&] { return state.dialogShowing.load() == 0; }));
    Sleep(1100);  // two more cycles: nothing starts a second thread
    EXPECT_EQ(sim.countBatches(isDialogStart), 1);
    EXPECT_EQ(sim.countBatches(isDialogEnd), 1);
    EXPECT_EQ(sim.bytes(kMenuActivation, 5), (Bytes{0, 0xC0, 0x01, 0, 0})) << "both cleared, the key entry kept";
    EXPECT_EQ(sim.countBatches([](const Batch& b) {
      return b.records.size() == 2 && b.records[0].isWrite(kMenuActivation) && b.records[1].isWrite(kKeyActivation) &&
             b.records[0].data == Bytes{0} && b.records[1].data == Bytes{0};
    }), 1) << "one batch writes 0 into both activation bytes";
  }
}

TEST_F(WorkerTest, WhileTheDialogShowsNothingIsReadAndActivationsAreClearedWithoutEffect) {
  connect();
  ASSERT_TRUE(sim.pickMenuItem());
  ASSERT_TRUE(waitUntil([] { return dialogsShown.load() == 1; }));
  Sleep(600);  // a cycle that may still have read before the dialog opened
  sim.clearServedBatches();
  ASSERT_EQ(sim.pressKey(192), 1);
  ASSERT_TRUE(waitUntil([&] { return sim.activation(1) == 0; })) << "cleared while the dialog shows";
  Sleep(1100);
  EXPECT_EQ(sim.countBatches(isReading), 0);
  EXPECT_GE(sim.countBatches(isWatching), 2) << "still watching";
  EXPECT_EQ(sim.countBatches(isDialogStart), 0);
  EXPECT_EQ(dialogsShown.load(), 1);

  releaseDialog = true;
  ASSERT_TRUE(sim.waitForBatch(isDialogEnd, 3000ms));
  ASSERT_TRUE(sim.waitForBatch(isReading, 3000ms)) << "reading resumes";
}

TEST_F(WorkerTest, LastReadingFollowsCom1AndThePosition) {
  connect();
  // Latitude hi = -10001750 (-90 degrees), longitude hi = -2^31 (-180 degrees); COM1
  // last, since the test waits for it.
  sim.setPositionFixed(std::uint64_t{static_cast<std::uint32_t>(-10001750)} << 32, std::uint64_t{0x80000000u} << 32);
  sim.setCom1Bcd(0x1970);
  ASSERT_TRUE(waitUntil([&] { return lastReading().frequency == 11970; }));
  EXPECT_NEAR(lastReading().latitude, -90.0, 1e-12);
  EXPECT_NEAR(lastReading().longitude, -180.0, 1e-12);

  // A failed reading leaves the last one as it was.
  sim.setReplyFailure(true);
  sim.setPosition(10.0, 10.0);
  sim.setCom1(11800);
  sim.clearServedBatches();
  ASSERT_TRUE(waitUntil([&] { return sim.countBatches(isReading) >= 2; }));
  EXPECT_EQ(lastReading().frequency, 11970);
  EXPECT_NEAR(lastReading().longitude, -180.0, 1e-12);
  sim.setReplyFailure(false);
  ASSERT_TRUE(waitUntil([&] { return lastReading().frequency == 11800; }));
  EXPECT_NEAR(lastReading().latitude, 10.0, 1e-9);
}

TEST_F(WorkerTest, TuneCom1WritesStationFrequenciesOnly) {
  openClient();
  EXPECT_EQ(hv::tuneCom1(13697), hv::kSimOk);
  EXPECT_EQ(sim.com1Bcd(), 0x3697);
  EXPECT_EQ(hv::tuneCom1(9999), hv::kSimEmptyBatch);
  EXPECT_EQ(hv::tuneCom1(20000), hv::kSimEmptyBatch);
  EXPECT_EQ(sim.servedBatches().size(), 2u) << "the opening and one write";
  hv::SimIpc::close();
  EXPECT_EQ(hv::tuneCom1(11800), hv::kSimNotOpen);
}

// The times at which "{SYNC}" arrived during the time given.
std::vector<Clock::time_point> heartbeats(hvtest::DatagramReceiver& receiver, std::chrono::milliseconds during) {
  std::vector<Clock::time_point> got;
  for (auto end = Clock::now() + during; Clock::now() < end;)
    if (auto datagram = receiver.next(100ms)) {
      EXPECT_EQ(*datagram, "{SYNC}");
      got.push_back(Clock::now());
    }
  return got;
}

TEST_F(WorkerTest, InRemoteModeTheHeartbeatGoesOutEveryCycleWithoutASimulator) {
  hvtest::DatagramReceiver receiver(state.remoteAddress.c_str());
  ASSERT_TRUE(receiver.bound());
  state.remoteMode = 1;
  startWorker();
  auto got = heartbeats(receiver, 2300ms);
  ASSERT_GE(got.size(), 4u);
  EXPECT_LE(got.size(), 6u);
  for (std::size_t i = 1; i < got.size(); ++i) {
    EXPECT_GT(got[i] - got[i - 1], 350ms) << i;
    EXPECT_LT(got[i] - got[i - 1], 800ms) << i;
  }
}

TEST_F(WorkerTest, InLocalModeNoHeartbeatIsSent) {
  hvtest::DatagramReceiver receiver(state.remoteAddress.c_str());
  ASSERT_TRUE(receiver.bound());
  connect();
  EXPECT_TRUE(heartbeats(receiver, 1200ms).empty());
}

}  // namespace
