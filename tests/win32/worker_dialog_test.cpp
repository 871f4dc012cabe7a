// The dialog thread on its own: one at a time, the RogerWilco-missing box in place of the
// dialog, and ending whatever it shows when the module is unloaded.
#include <gtest/gtest.h>

#include <atomic>

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

std::atomic<bool> releaseDialog{false};
std::atomic<int> dialogsShown{0};
std::atomic<bool> endedForUnload{false};

void blockingDialog() {
  ++dialogsShown;
  while (!releaseDialog && !endedForUnload) Sleep(5);
}

class DialogThreadTest : public ::testing::Test {
 protected:
  hv::ModuleState& state = hv::moduleState();
  void SetUp() override {
    state.dialogShowing = 0;
    state.status = hv::Waiting;
    releaseDialog = false;
    dialogsShown = 0;
    endedForUnload = false;
    hv::setSettingsDialogHooks({});
    bool created = false;
    host.run([&] { created = sim.create(); });
    ASSERT_TRUE(created);
    std::uint32_t error = 0;
    ASSERT_TRUE(hv::SimIpc::open(0, error, buffer, sizeof buffer));
  }
  void TearDown() override {
    EXPECT_TRUE(hv::joinModuleThreads(3000ms));
    hv::SimIpc::close();
    host.run([&] { sim.destroy(); });
  }
  hvtest::ModuleHost host;
  SubstituteSimulator sim;
  unsigned char buffer[512];
};

TEST_F(DialogThreadTest, OnlyOneRunsAtATime) {
  hv::SettingsDialogHooks hooks;
  hooks.run = &blockingDialog;
  hv::setSettingsDialogHooks(hooks);
  ASSERT_TRUE(hv::startDialogThread(state));
  EXPECT_EQ(state.dialogShowing.load(), 1u) << "marked before the thread runs";
  EXPECT_FALSE(hv::startDialogThread(state));
  EXPECT_FALSE(hv::startDialogThread(state));
  ASSERT_TRUE(sim.waitForBatch([](const SubstituteSimulator::Batch& b) { return b.hasRead(0x0264); }));
  Sleep(200);
  EXPECT_EQ(dialogsShown.load(), 1);
  EXPECT_EQ(hv::runningModuleThreads(), 1);
  releaseDialog = true;
  ASSERT_TRUE(hv::joinModuleThreads(3000ms));
  EXPECT_EQ(state.dialogShowing.load(), 0u);
  ASSERT_TRUE(hv::startDialogThread(state)) << "a new one once the first has ended";
}

TEST_F(DialogThreadTest, WithoutRogerWilcoTheBoxIsShownInsteadOfTheDialog) {
  hv::SettingsDialogHooks hooks;
  hooks.run = &blockingDialog;
  hv::setSettingsDialogHooks(hooks);
  state.status = hv::RogerWilcoMissing;
  ASSERT_TRUE(hv::startDialogThread(state));
  auto text = hvtest::answerMessageBox(hvtest::kErrorCaption);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, "RogerWilco not found !\r\nPlease check for proper RogerWilco installation !");
  ASSERT_TRUE(hv::joinModuleThreads(3000ms));
  EXPECT_EQ(dialogsShown.load(), 0);
  EXPECT_EQ(state.dialogShowing.load(), 0u);
  EXPECT_TRUE(sim.waitForBatch([](const SubstituteSimulator::Batch& b) { return b.hasWrite(0x0262); }, 0ms));
}

// Unloading marks the dialog thread until it is reset.
TEST_F(DialogThreadTest, UnloadEndsTheBoxAndTheDialogAtOnce) {
  state.status = hv::RogerWilcoMissing;
  ASSERT_TRUE(hv::startDialogThread(state));
  for (int i = 0; i < 500 && !hvtest::messageBoxShowing(hvtest::kErrorCaption); ++i) Sleep(10);
  ASSERT_TRUE(hvtest::messageBoxShowing(hvtest::kErrorCaption));
  auto start = std::chrono::steady_clock::now();
  hv::closeDialogForUnload();
  EXPECT_TRUE(hv::joinModuleThreads(200ms)) << "the box was closed";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
  EXPECT_TRUE(sim.waitForBatch([](const SubstituteSimulator::Batch& b) { return b.hasWrite(0x0262); }, 0ms))
      << "the thread still did its last step";

  hv::SettingsDialogHooks hooks;
  hooks.run = &blockingDialog;
  hooks.endForUnload = [] { endedForUnload = true; };
  hv::setSettingsDialogHooks(hooks);
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

}  // namespace
