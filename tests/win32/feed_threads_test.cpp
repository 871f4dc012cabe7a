// The two feed threads in this process, over the module's own state, against the
// loopback HTTP server: how often they ask for which file, what they keep when a server
// fails, what station selection gets to see, and that they never hold up unload (every
// test ends by stopping the feeds within 200 ms, whatever they are doing).
// The pauses are shortened (1000 ms once loaded, 200 ms before, 20 ms idle) except in the
// test of the shipped 5 s retry.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "feed/portable/FeedState.h"
#include "feed/portable/StationTableText.h"
#include "feed/win32/FeedThreads.h"
#include "module/win32/Lifecycle.h"
#include "module/win32/ModuleThreads.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using hv::Ivao;
using hv::Vatsim;
using hvtest::HttpBehaviour;

constexpr char kVatsimStatus[] = "/data/status.txt";
constexpr char kIvaoStatus[] = "/whazzup/status.txt";
constexpr char kVatsimData[] = "/vatsim-data.txt";
constexpr char kIvaoClients[] = "/whazzup/whazzup.txt";
constexpr char kIvaoVoice[] = "/whazzup/voice.txt";

// A file of the source tree: the bundled samples and their golden station tables.
std::string SourceFile(const std::string& path) {
  std::string text = hvtest::readFile(hvtest::windowsPath(std::string(HV_SOURCE_DIR) + path));
  EXPECT_FALSE(text.empty()) << path;
  return text;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds within) {
  for (Clock::time_point deadline = Clock::now() + within; !condition(); Sleep(5)) {
    if (Clock::now() > deadline) return false;
  }
  return true;
}

long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

class FeedThreadsTest : public ::testing::Test {
 protected:
  hv::ModuleState& state = hv::moduleState();
  hvtest::LoopbackHttpServer server;

  void SetUp() override {
    hv::resetModuleState(state);
    hv::feedTiming() = hv::FeedTiming{1000ms, 200ms, 20ms};
    state.feeds[Vatsim].statusUrl = server.url(kVatsimStatus);
    state.feeds[Ivao].statusUrl = server.url(kIvaoStatus);
  }

  void TearDown() override {
    // What unload does: stop flags, abort the downloads, join.
    Clock::time_point start = Clock::now();
    state.vatsimFeedStop = 1;
    state.ivaoFeedStop = 1;
    hv::abortFeedDownloads();
    EXPECT_TRUE(hv::joinModuleThreads(2000ms));
    EXPECT_LT(Ms(Clock::now() - start), 200) << "unload must not wait for a pause or a download";
    server.stop();
    hv::resetModuleState(state);
    hv::feedTiming() = hv::FeedTiming{};
  }

  void Start(hv::Network n) {
    ASSERT_TRUE(hv::startModuleThread(n == Vatsim ? hv::VatsimFeedThread : hv::IvaoFeedThread));
  }

  void ServeVatsim() {
    server.addFile(kVatsimStatus, "; made up\r\nmsg0=Test\r\nurl0=" + server.url(kVatsimData) + "\r\n");
    server.addFile(kVatsimData, SourceFile("/samples/networks/vatsim-data.txt"));
  }
  void ServeIvao() {
    server.addFile(kIvaoStatus, "url0=" + server.url(kIvaoClients) + "\r\nurl1=" + server.url(kIvaoVoice) + "\r\n");
    server.addFile(kIvaoClients, SourceFile("/samples/networks/ivao-whazzup.txt"));
    server.addFile(kIvaoVoice, SourceFile("/samples/networks/ivao-voice.txt"));
  }

  bool Loaded(hv::Network n, std::chrono::milliseconds within = 3000ms) {
    return WaitUntil([&] { return state.feeds[n].loaded.load() == 1; }, within);
  }
  std::string LastError(hv::Network n) { return hv::FeedError(state, n); }
  // The network's table: its records and count.
  std::pair<const hv::AtcStation*, int> Table(hv::Network n) {
    hv::StationTableGuard guard(state.tableLock);
    return {state.feeds[n].table.records.get(), state.feeds[n].table.count};
  }

  // Times between consecutive requests for the path.
  std::vector<long long> Intervals(const std::string& path) {
    std::vector<long long> gaps;
    Clock::time_point previous{};
    for (const hvtest::HttpRequest& r : server.requests()) {
      if (r.path != path) continue;
      if (previous != Clock::time_point{}) gaps.push_back(Ms(r.at - previous));
      previous = r.at;
    }
    return gaps;
  }

  // The paths of the last two requests.
  std::vector<std::string> LastTwoPaths() {
    std::vector<hvtest::HttpRequest> r = server.requests();
    return r.size() < 2 ? std::vector<std::string>{} : std::vector<std::string>{r[r.size() - 2].path, r.back().path};
  }

  // The network's table as hallvoxen-stations prints it.
  std::string TableText(hv::Network n) {
    hv::StationTableGuard guard(state.tableLock);
    return hv::StationTableText(state.feeds[n].table);
  }
};

// VATSIM's feed runs while IVAO is selected, and publishes nothing.
TEST_F(FeedThreadsTest, StatusFileIsRetriedUntilItSucceedsAndTheDataFileWaitsForIt) {
  server.setBehaviour(kVatsimStatus, HttpBehaviour::Refuse);
  ServeVatsim();
  state.network = Ivao;
  state.active = 1;
  Start(Vatsim);
  ASSERT_TRUE(server.waitForRequests(kVatsimStatus, 4, 3000ms));
  EXPECT_EQ(server.requestsFor(kVatsimData), 0);
  EXPECT_EQ(state.feeds[Vatsim].rootFetched.load(), 0u);
  EXPECT_EQ(state.feeds[Vatsim].loaded.load(), 0u);
  EXPECT_EQ(state.feeds[Vatsim].attempted.load(), 1u);
  EXPECT_FALSE(LastError(Vatsim).empty());
  for (long long gap : Intervals(kVatsimStatus)) {
    EXPECT_GE(gap, 180);
    EXPECT_LT(gap, 900);
  }

  // The status file comes back: the data file follows in the same pass.
  server.setBehaviour(kVatsimStatus, HttpBehaviour::Serve);
  ASSERT_TRUE(Loaded(Vatsim));
  EXPECT_EQ(state.feeds[Vatsim].rootFetched.load(), 1u);
  EXPECT_EQ(state.feeds[Vatsim].dataUrl, server.url(kVatsimData));
  EXPECT_EQ(state.currentTable.records, nullptr);
  EXPECT_EQ(state.currentTable.loaded.load(), 0u);
  EXPECT_EQ(TableText(Vatsim), SourceFile("/tests/golden/samples/vatsim-data.tsv"));
  EXPECT_EQ(LastTwoPaths(), (std::vector<std::string>{kVatsimStatus, kVatsimData}));

  // Once loaded: the data file once per loaded pause, the status file never again.
  int statusRequests = server.requestsFor(kVatsimStatus);
  ASSERT_TRUE(server.waitForRequests(kVatsimData, 3, 4000ms));
  EXPECT_EQ(server.requestsFor(kVatsimStatus), statusRequests);
  for (long long gap : Intervals(kVatsimData)) {
    EXPECT_GE(gap, 980);
    EXPECT_LT(gap, 1800);
  }
}

// The shipped timing. Stopping afterwards finds VATSIM in its 5 s pause and IVAO blocked
// in a download that never answers.
TEST_F(FeedThreadsTest, ShippedPausesRetryAfterFiveSeconds) {
  hv::feedTiming() = hv::FeedTiming{};
  server.setBehaviour(kVatsimStatus, HttpBehaviour::Refuse);
  server.setBehaviour(kIvaoStatus, HttpBehaviour::Stall);
  state.active = 1;
  Start(Vatsim);
  Start(Ivao);
  ASSERT_TRUE(server.waitForRequests(kVatsimStatus, 2, 8000ms));
  std::vector<long long> gaps = Intervals(kVatsimStatus);
  ASSERT_EQ(gaps.size(), 1u);
  EXPECT_GE(gaps[0], 4980);
  EXPECT_LT(gaps[0], 5800);
  EXPECT_EQ(server.requestsFor(kIvaoStatus), 1);
  EXPECT_EQ(hv::runningModuleThreads(), 2);
}

TEST_F(FeedThreadsTest, FailingServerLeavesTheLastGoodTableAndItsLoadedState) {
  ServeVatsim();
  state.active = 1;
  Start(Vatsim);
  ASSERT_TRUE(Loaded(Vatsim));
  const auto good = Table(Vatsim);
  ASSERT_GT(good.second, 0);
  EXPECT_EQ(LastError(Vatsim), "");

  const struct {
    const char* name;
    HttpBehaviour behaviour;
    bool storesError;  // a download failure does; a file the parser rejects does not
  } cases[] = {
      {"connection closed without an answer", HttpBehaviour::Refuse, true},
      {"body cut short", HttpBehaviour::Truncate, true},
      {"404 page instead of the file", HttpBehaviour::NotFound, false},
  };
  // Each case starts right after a pass (a loopback pass takes milliseconds, the next is
  // a loaded pause away) and watches the next one.
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    hv::SetFeedError(state, Vatsim, "before");
    server.setBehaviour(kVatsimData, c.behaviour);
    if (c.behaviour == HttpBehaviour::NotFound) server.removeFile(kVatsimData);  // the server's own page
    ASSERT_TRUE(server.waitForRequests(kVatsimData, server.requestsFor(kVatsimData) + 1, 2000ms));
    Sleep(300);
    EXPECT_EQ(Table(Vatsim), good);
    EXPECT_EQ(state.feeds[Vatsim].loaded.load(), 1u);
    EXPECT_EQ(state.currentTable.loaded.load(), 1u);
    if (c.storesError) {
      EXPECT_NE(LastError(Vatsim), "before");
      EXPECT_FALSE(LastError(Vatsim).empty());
    } else {
      EXPECT_EQ(LastError(Vatsim), "before");
    }
  }
  // Once loaded, a failed refresh still waits the full loaded pause.
  for (long long gap : Intervals(kVatsimData)) EXPECT_GE(gap, 980);

  // A good file again replaces the table.
  const std::string line =
      "EDDF_TWR:1:N:ATC:119.900:50.0:8.5:" + std::string(11, ':') + "4:50:" + std::string(15, ':') + "a.b.c/d:";
  server.addFile(kVatsimData, "!GENERAL\r\nCONNECTED CLIENTS = 1\r\n!CLIENTS\r\n" + line + "\r\n");
  server.setBehaviour(kVatsimData, HttpBehaviour::Serve);
  ASSERT_TRUE(WaitUntil([&] { return Table(Vatsim).second == 1; }, 2000ms));
  hv::StationTableGuard guard(state.tableLock);
  EXPECT_EQ(state.feeds[Vatsim].table.records[0].frequency, 11990);
  EXPECT_STREQ(state.feeds[Vatsim].table.records[0].voiceChannel, "A.B.C/D");
  EXPECT_EQ(state.currentTable.records, state.feeds[Vatsim].table.records.get());
}

TEST_F(FeedThreadsTest, IvaoTakesBothFilesAndItsVoiceChannelsFromTheVoiceFile) {
  // A status file without url1 fails the pass and keeps no error; url0 stays taken.
  server.addFile(kIvaoStatus, "url0=" + server.url(kIvaoClients) + "\r\n");
  state.network = Ivao;
  state.active = 1;
  Start(Ivao);
  ASSERT_TRUE(server.waitForRequests(kIvaoStatus, 2, 3000ms));
  EXPECT_EQ(state.feeds[Ivao].rootFetched.load(), 0u);
  EXPECT_EQ(state.feeds[Ivao].dataUrl, server.url(kIvaoClients));
  EXPECT_EQ(LastError(Ivao), "");
  EXPECT_EQ(server.requestsFor(kIvaoClients), 0);

  ServeIvao();
  ASSERT_TRUE(Loaded(Ivao));
  EXPECT_EQ(TableText(Ivao), SourceFile("/tests/golden/samples/ivao-whazzup.tsv"));
  EXPECT_EQ(LastTwoPaths(), (std::vector<std::string>{kIvaoClients, kIvaoVoice}));
  EXPECT_EQ(state.currentTable.records, Table(Ivao).first);
  EXPECT_EQ(state.currentTable.loaded.load(), 1u);

  // A voice file that cannot be had fails the refresh: the table stays, the error is kept.
  const auto good = Table(Ivao);
  server.setBehaviour(kIvaoVoice, HttpBehaviour::Refuse);
  ASSERT_TRUE(WaitUntil([&] { return !LastError(Ivao).empty(); }, 2000ms));
  EXPECT_EQ(Table(Ivao), good);
}

// Back from idle the feed loads a data file without stations: an empty table, loaded.
TEST_F(FeedThreadsTest, NoDownloadWhileControlIsOffOrTheDialogShows) {
  server.addFile(kVatsimStatus, "url0=" + server.url(kVatsimData) + "\r\n");
  server.addFile(kVatsimData, "!GENERAL\r\nCONNECTED CLIENTS = 1\r\n!CLIENTS\r\nDLH1:1:N:PILOT:\r\n");
  Start(Vatsim);
  Sleep(400);  // two retry pauses
  EXPECT_EQ(server.requests().size(), 0u) << "control off";
  state.dialogShowing = 1;
  state.active = 1;
  Sleep(400);
  EXPECT_EQ(server.requests().size(), 0u) << "dialog showing";
  EXPECT_EQ(state.feeds[Vatsim].attempted.load(), 0u);

  // Back from idle, the next pass follows within the idle pause.
  state.dialogShowing = 0;
  EXPECT_TRUE(server.waitForRequests(kVatsimStatus, 1, 300ms));
  ASSERT_TRUE(Loaded(Vatsim));
  EXPECT_EQ(Table(Vatsim), std::make_pair(static_cast<const hv::AtcStation*>(nullptr), 0));
  EXPECT_EQ(state.currentTable.count, 0);
  EXPECT_EQ(state.currentTable.loaded.load(), 1u);
}

}  // namespace
