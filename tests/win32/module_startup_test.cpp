// Start-up and shutdown of the real module, loaded the way the simulator loads it:
// the error boxes and their texts, the inert module, remote control, the threads
// started and joined, and the configuration file left alone.
#include <gtest/gtest.h>

#include <winsock.h>

#include <thread>

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

// The three threads of a running module: two feeds and the worker loop.
constexpr int kRunningThreads = 3;

// A UDP socket on port 2464, standing in for the remote launcher.
class LauncherPort {
 public:
  LauncherPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(2464);
    bound_ = bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    int timeout = 3000;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  }
  ~LauncherPort() {
    closesocket(socket_);
    WSACleanup();
  }
  bool bound() const { return bound_; }
  std::string next() {
    char buffer[1024];
    int n = recv(socket_, buffer, sizeof buffer, 0);
    return n < 0 ? "<none>" : std::string(buffer, n);
  }

 private:
  SOCKET socket_;
  bool bound_ = false;
};

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
  EXPECT_EQ(moduleThreads(), 0);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, EmptyAppPathsValueCountsAsMissing) {
  hvtest::setMachineString(kAppPathKey, nullptr, "");
  EXPECT_EQ(initialise(1), std::vector<std::string>{kRogerWilcoMissing});
  EXPECT_EQ(moduleThreads(), 0);
  expectQuickUnloadLeavingNoThread();
}

TEST_F(ModuleStartup, AppPathsNamingAMissingFileCountsAsMissing) {
  hvtest::setMachineString(kAppPathKey, nullptr, sim.simFolder() + "\\no such\\roger.exe");
  EXPECT_EQ(initialise(1), std::vector<std::string>{kRogerWilcoMissing});
  EXPECT_EQ(moduleThreads(), 0);
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
  LauncherPort launcher;
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
  EXPECT_EQ(moduleThreads(), 0);
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

TEST_F(ModuleStartup, UnloadWithoutInitialisation) {
  expectQuickUnloadLeavingNoThread();
}

}  // namespace
