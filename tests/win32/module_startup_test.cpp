// Start-up and shutdown of the real module, loaded the way the simulator loads it:
// the error boxes and their texts, the inert module, remote control, the threads
// started and joined, and the configuration file left alone.
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/DatagramReceiver.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/ModuleThreadsProbe.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using hvtest::kAppPathKey;
using hvtest::kErrorCaption;

constexpr char kRogerWilcoMissing[] = "RogerWilco not found !\r\nPlease check for proper RogerWilco installation !";
constexpr char kRemoteFailure[] =
    "Error initializing Remote Control !\r\nPlease check for proper installation of TCP/IP protocol !";
constexpr char kInvalidAddress[] = "Invalid IP Address in Hallvoxen.ini !\r\nRogerWilco remote control is disabled !";

// The log's writer runs from start-up to unload, also in a module left inert; a running
// module adds two feeds and the worker loop.
constexpr int kLogWriter = 1;
constexpr int kRunningThreads = kLogWriter + 3;

class ModuleStartup : public ::testing::Test {
 protected:
  hvtest::SimInstallation sim;
  hvtest::ModuleHost host;

  void SetUp() override { ASSERT_TRUE(host.load(hvtest::binPath("Hallvoxen.dll"))); }

  // Runs the initialisation entry and answers the error boxes it shows, in order.
  // Returns the texts of the boxes that appeared.
  std::vector<std::string> initialise(size_t expectedBoxes) {
    hvtest::PendingCall call = host.initialise();
    std::vector<std::string> boxes;
    for (size_t i = 0; i < expectedBoxes; ++i) {
      auto text = hvtest::answerMessageBox(kErrorCaption);
      if (!text) break;
      boxes.push_back(*text);
    }
    EXPECT_TRUE(call.wait(5s)) << "the initialisation entry did not return";
    // No further box may follow.
    if (auto extra = hvtest::answerMessageBox(kErrorCaption, 300ms)) boxes.push_back(*extra);
    return boxes;
  }

  int moduleThreads() { return hvtest::threadsStartedBy(host.module()); }

  void expectQuickUnloadLeavingNoThread() {
    auto took = host.deinitialise();
    EXPECT_LT(took, 200ms);
    EXPECT_EQ(moduleThreads(), 0);
  }
};

TEST_F(ModuleStartup, RogerWilcoMissingShowsOneBoxAndLeavesTheModuleInert) {
  EXPECT_EQ(initialise(1), std::vector<std::string>{kRogerWilcoMissing}) << "no App Paths key";
  EXPECT_EQ(moduleThreads(), kLogWriter);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, EmptyAppPathsValueCountsAsMissing) {
  hvtest::setMachineString(kAppPathKey, nullptr, "");
  EXPECT_EQ(initialise(1), std::vector<std::string>{kRogerWilcoMissing});
  EXPECT_EQ(moduleThreads(), kLogWriter);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, AppPathsNamingAMissingFileCountsAsMissing) {
  hvtest::setMachineString(kAppPathKey, nullptr, sim.simFolder() + "\\no such\\roger.exe");
  EXPECT_EQ(initialise(1), std::vector<std::string>{kRogerWilcoMissing});
  EXPECT_EQ(moduleThreads(), kLogWriter);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, WithRogerWilcoTheThreadsStartAndUnloadJoinsThem) {
  sim.installRogerWilco();
  EXPECT_TRUE(initialise(0).empty());
  EXPECT_EQ(moduleThreads(), kRunningThreads);
  std::this_thread::sleep_for(700ms);  // let the worker and the feeds settle into their sleeps
  expectQuickUnloadLeavingNoThread();
  EXPECT_TRUE(sim.rogerWilcoStarts().empty()) << "nothing is sent to the voice program at start or stop";
}

TEST_F(ModuleStartup, RemoteControlNeedsNoLocalRogerWilco) {
  hvtest::DatagramReceiver launcher;
  ASSERT_TRUE(launcher.bound());
  sim.writeIni("[REMOTE]\nRemote=yes\nRemoteAddress=127.0.0.1\n");
  EXPECT_TRUE(initialise(0).empty());
  EXPECT_EQ(launcher.next(), "{SYNC}") << "start-up tests remote control with one heartbeat";
  EXPECT_EQ(moduleThreads(), kRunningThreads);
  EXPECT_EQ(launcher.next(), "{SYNC}") << "the worker loop goes on sending heartbeats";
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, RemoteFailureFallsBackToTheLocalRogerWilco) {
  // The address passes the check (parsing stops at the x) but cannot be resolved.
  sim.writeIni("[REMOTE]\nRemote=ON\nRemoteAddress=10.0.0.1x\n");
  sim.installRogerWilco();
  EXPECT_EQ(initialise(1), std::vector<std::string>{kRemoteFailure});
  EXPECT_EQ(moduleThreads(), kRunningThreads);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, RemoteFailureWithoutLocalRogerWilcoShowsBothBoxes) {
  sim.writeIni("[REMOTE]\nRemote=ON\nRemoteAddress=10.0.0.1x\n");
  EXPECT_EQ(initialise(2), (std::vector<std::string>{kRemoteFailure, kRogerWilcoMissing}));
  EXPECT_EQ(moduleThreads(), kLogWriter);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, InvalidRemoteAddressShowsItsBoxThenRunsLocally) {
  sim.writeIni("[REMOTE]\nRemote=YES\n");
  sim.installRogerWilco();
  EXPECT_EQ(initialise(1), std::vector<std::string>{kInvalidAddress});
  EXPECT_EQ(moduleThreads(), kRunningThreads);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, NoSimulatorKeyStillStarts) {
  hvtest::deleteMachineKey(hvtest::kSimulatorKey);
  sim.installRogerWilco();
  EXPECT_TRUE(initialise(0).empty());
  EXPECT_EQ(moduleThreads(), kRunningThreads);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, TheConfigurationFileIsNeverWritten) {
  sim.installRogerWilco();
  initialise(0);
  expectQuickUnloadLeavingNoThread();
  EXPECT_FALSE(sim.iniExists());
}

TEST_F(ModuleStartup, AnExistingConfigurationFileIsLeftAsItWas) {
  const std::string text = "; mine\n[general]\nserver = ivao\nRangeCheck=off\n";
  sim.writeIni(text);
  sim.installRogerWilco();
  initialise(0);
  expectQuickUnloadLeavingNoThread();
  EXPECT_EQ(hvtest::readFile(sim.iniPath()), text);
}

TEST_F(ModuleStartup, UnloadRightAfterStartReturnsQuickly) {
  sim.installRogerWilco();
  initialise(0);
  expectQuickUnloadLeavingNoThread();
}

// Unload while the feeds are busy: one blocked in a download that never answers, the
// other in its minute-long pause after a successful load. The blocked download is
// abandoned: its transfer ends when the server gives up, and keeps the module's image
// mapped until then. A new load meanwhile must start from a clean state.
TEST_F(ModuleStartup, UnloadDuringDownloadsAndPausesReturnsQuickly) {
  hvtest::LoopbackHttpServer server;
  server.addFile("/vatsim/status.txt", "url0=" + server.url("/vatsim/data.txt") + "\n");
  server.addFile("/vatsim/data.txt", "!GENERAL:\nCONNECTED CLIENTS = 0\n!CLIENTS:\n");
  server.addFile("/ivao/status.txt", "");
  server.setBehaviour("/ivao/status.txt", hvtest::HttpBehaviour::Stall);
  sim.writeIni("[NETWORK]\nVatsimStatusUrl=" + server.url("/vatsim/status.txt") +
               "\nIvaoStatusUrl=" + server.url("/ivao/status.txt") + "\n");
  sim.installRogerWilco();
  using SetMode = std::uint32_t __stdcall(std::uint32_t);
  using GetStatus = std::uint32_t __stdcall(void*);

  initialise(0);
  host.exported<SetMode>("HALLVOXEN_Set_Mode")(1);
  ASSERT_TRUE(server.waitForRequests("/vatsim/data.txt", 1, 5s));
  ASSERT_TRUE(server.waitForRequests("/ivao/status.txt", 1, 5s));
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(host.deinitialise(), 200ms);

  // Loaded again while the abandoned transfer still runs: same image, fresh state.
  HMODULE first = host.module();
  host.unload();
  ASSERT_TRUE(host.load(hvtest::binPath("Hallvoxen.dll")));
  EXPECT_EQ(host.module(), first) << "the image stays mapped while the transfer runs";
  initialise(0);
  unsigned char record[192];
  EXPECT_EQ(host.exported<GetStatus>("HALLVOXEN_Get_Status")(record), 0u) << "control is off at every load";
  host.exported<SetMode>("HALLVOXEN_Set_Mode")(1);
  EXPECT_EQ(host.exported<GetStatus>("HALLVOXEN_Get_Status")(record), 65534u);
  ASSERT_TRUE(server.waitForRequests("/vatsim/status.txt", 2, 5s)) << "the feeds start again from the status file";
  std::this_thread::sleep_for(700ms);
  EXPECT_GE(moduleThreads(), kRunningThreads) << "the threads of the new run keep running";
  EXPECT_LT(host.deinitialise(), 200ms);

  server.stop();
  for (int i = 0; i < 300 && moduleThreads() > 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(moduleThreads(), 0) << "the abandoned transfers end once the server is gone";
}

TEST_F(ModuleStartup, UnloadWithoutInitialisation) {
  expectQuickUnloadLeavingNoThread();
}

}  // namespace
