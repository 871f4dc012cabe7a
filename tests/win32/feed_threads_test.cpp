// The two feed threads in this process, over the module's own state, against the
// loopback HTTP server: how often they ask for which file, what they keep when a server
// fails, what station selection gets to see, and that they never hold up unload.
// The pauses are shortened (2000 ms once loaded, 300 ms before, 20 ms idle) except in the
// test of the shipped 5 s retry.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "feed/portable/FeedState.h"
#include "feed/portable/StationTableBuilder.h"
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
using hvtest::HttpRequest;
using hvtest::LoopbackHttpServer;

constexpr char kVatsimStatus[] = "/data/status.txt";
constexpr char kIvaoStatus[] = "/whazzup/status.txt";
constexpr char kVatsimData[] = "/vatsim-data.txt";
constexpr char kIvaoClients[] = "/whazzup/whazzup.txt";
constexpr char kIvaoVoice[] = "/whazzup/voice.txt";

std::string Sample(const std::string& name) {
  std::string text = hvtest::readFile(hvtest::windowsPath(std::string(HV_SOURCE_DIR) + "/samples/networks/" + name));
  EXPECT_FALSE(text.empty()) << name;
  return text;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds within) {
  Clock::time_point deadline = Clock::now() + within;
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    Sleep(5);
  }
  return true;
}

long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

// Times between consecutive requests for the path.
std::vector<long long> Intervals(const LoopbackHttpServer& server, const std::string& path) {
  std::vector<long long> gaps;
  Clock::time_point previous{};
  bool first = true;
  for (const HttpRequest& r : server.requests()) {
    if (r.path != path) continue;
    if (!first) gaps.push_back(Ms(r.at - previous));
    previous = r.at;
    first = false;
  }
  return gaps;
}

// A clients file with the given client lines.
std::string ClientsFile(const std::vector<std::string>& lines) {
  std::string text = "!GENERAL\r\nVERSION = 8\r\nCONNECTED CLIENTS = " + std::to_string(lines.size()) + "\r\n!CLIENTS\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string AtcLine(const std::string& callsign, const std::string& frequency, const std::string& info) {
  return callsign + ":100:Made Up:ATC:" + frequency + ":50.0:8.5:0:0::::::SERVER:100:3::4:50::::::::::::::::" + info +
         ":";
}

class FeedThreadsTest : public ::testing::Test {
 protected:
  hv::ModuleState& state = hv::moduleState();
  LoopbackHttpServer server;

  void SetUp() override {
    ResetState();
    hv::feedTiming() = hv::FeedTiming{2000ms, 300ms, 20ms};
    state.feeds[Vatsim].statusUrl = server.url(kVatsimStatus);
    state.feeds[Ivao].statusUrl = server.url(kIvaoStatus);
  }

  void TearDown() override {
    EXPECT_TRUE(StopFeeds(2000ms));
    server.stop();
    ResetState();
    hv::feedTiming() = hv::FeedTiming{};
  }

  void ResetState() {
    for (hv::NetworkFeed& feed : state.feeds) {
      feed.statusUrl.clear();
      feed.dataUrl.clear();
      feed.voiceUrl.clear();
      feed.rootFetched = 0;
      feed.loaded = 0;
      feed.attempted = 0;
      feed.lastError.clear();
      feed.table = hv::StationTable{};
    }
    state.currentTable.records = nullptr;
    state.currentTable.count = 0;
    state.currentTable.loaded = 0;
    state.selectedStation = nullptr;
    state.active = 0;
    state.dialogShowing = 0;
    state.network = Vatsim;
    state.vatsimFeedStop = 0;
    state.ivaoFeedStop = 0;
  }

  // What unload does: stop flags, wake the sleepers, abort the downloads, join.
  bool StopFeeds(std::chrono::milliseconds within) {
    state.vatsimFeedStop = 1;
    state.ivaoFeedStop = 1;
    state.stopSignal.wakeAll();
    hv::abortFeedDownloads();
    return hv::joinModuleThreads(within);
  }

  void StartVatsim() { ASSERT_TRUE(hv::startModuleThread(hv::VatsimFeedThread)); }
  void StartIvao() { ASSERT_TRUE(hv::startModuleThread(hv::IvaoFeedThread)); }

  void ServeVatsim() {
    server.addFile(kVatsimStatus, "; made up\r\nmsg0=Test\r\nurl0=" + server.url(kVatsimData) + "\r\n");
    server.addFile(kVatsimData, Sample("vatsim-data.txt"));
  }
  void ServeIvao() {
    server.addFile(kIvaoStatus, "; made up\r\nurl0=" + server.url(kIvaoClients) + "\r\nurl1=" + server.url(kIvaoVoice) +
                                    "\r\n");
    server.addFile(kIvaoClients, Sample("ivao-whazzup.txt"));
    server.addFile(kIvaoVoice, Sample("ivao-voice.txt"));
  }

  std::string LastError(hv::Network n) { return hv::FeedError(state, n); }
  const hv::AtcStation* TableRecords(hv::Network n) {
    hv::StationTableGuard guard(state.tableLock);
    return state.feeds[n].table.records.get();
  }
  int TableCount(hv::Network n) {
    hv::StationTableGuard guard(state.tableLock);
    return state.feeds[n].table.count;
  }
  // The network's table equals the one built from these texts, record for record.
  void ExpectTableOf(hv::Network n, const std::string& clients, const std::string* voice) {
    hv::StationTable expected;
    std::string_view voiceView = voice ? std::string_view(*voice) : std::string_view();
    ASSERT_TRUE(hv::BuildStationTable(clients, voice ? &voiceView : nullptr, expected));
    hv::StationTableGuard guard(state.tableLock);
    const hv::StationTable& table = state.feeds[n].table;
    ASSERT_EQ(table.count, expected.count);
    if (table.count > 0) {
      EXPECT_EQ(std::memcmp(table.records.get(), expected.records.get(), sizeof(hv::AtcStation) * table.count), 0);
    }
  }
};

TEST_F(FeedThreadsTest, StatusFileIsRetriedUntilItSucceedsAndTheDataFileWaitsForIt) {
  server.setBehaviour(kVatsimStatus, HttpBehaviour::Refuse);
  ServeVatsim();
  state.active = 1;
  StartVatsim();

  ASSERT_TRUE(server.waitForRequests(kVatsimStatus, 4, 3000ms));
  EXPECT_EQ(server.requestsFor(kVatsimData), 0);
  EXPECT_EQ(state.feeds[Vatsim].rootFetched.load(), 0u);
  EXPECT_EQ(state.feeds[Vatsim].loaded.load(), 0u);
  EXPECT_EQ(state.feeds[Vatsim].attempted.load(), 1u);
  EXPECT_FALSE(LastError(Vatsim).empty());
  for (long long gap : Intervals(server, kVatsimStatus)) {
    EXPECT_GE(gap, 280);
    EXPECT_LT(gap, 1300);
  }

  // The status file comes back: the data file follows in the same pass.
  server.setBehaviour(kVatsimStatus, HttpBehaviour::Serve);
  ASSERT_TRUE(WaitUntil([&] { return state.feeds[Vatsim].loaded.load() == 1; }, 3000ms));
  EXPECT_EQ(state.feeds[Vatsim].rootFetched.load(), 1u);
  EXPECT_EQ(state.feeds[Vatsim].dataUrl, server.url(kVatsimData));
  ExpectTableOf(Vatsim, Sample("vatsim-data.txt"), nullptr);
  std::vector<HttpRequest> requests = server.requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests.back().path, kVatsimData);
  EXPECT_EQ(requests[requests.size() - 2].path, kVatsimStatus);

  // Once loaded: the data file once per loaded pause, the status file never again.
  int statusRequests = server.requestsFor(kVatsimStatus);
  ASSERT_TRUE(server.waitForRequests(kVatsimData, 3, 7000ms));
  EXPECT_EQ(server.requestsFor(kVatsimStatus), statusRequests);
  for (long long gap : Intervals(server, kVatsimData)) {
    EXPECT_GE(gap, 1980);
    EXPECT_LT(gap, 3500);
  }
}

TEST_F(FeedThreadsTest, ShippedPausesRetryAfterFiveSeconds) {
  hv::feedTiming() = hv::FeedTiming{};
  server.setBehaviour(kVatsimStatus, HttpBehaviour::Refuse);
  ServeVatsim();
  state.active = 1;
  StartVatsim();
  ASSERT_TRUE(server.waitForRequests(kVatsimStatus, 2, 8000ms));
  std::vector<long long> gaps = Intervals(server, kVatsimStatus);
  ASSERT_EQ(gaps.size(), 1u);
  EXPECT_GE(gaps[0], 4980);
  EXPECT_LT(gaps[0], 5800);

  // Loaded: the next refresh is a minute away, so nothing more within several seconds.
  server.setBehaviour(kVatsimStatus, HttpBehaviour::Serve);
  ASSERT_TRUE(WaitUntil([&] { return state.feeds[Vatsim].loaded.load() == 1; }, 8000ms));
  int dataRequests = server.requestsFor(kVatsimData);
  Sleep(6000);
  EXPECT_EQ(server.requestsFor(kVatsimData), dataRequests);

  // And unload does not wait for the minute to pass.
  Clock::time_point start = Clock::now();
  EXPECT_TRUE(StopFeeds(200ms));
  EXPECT_LT(Ms(Clock::now() - start), 200);
}

TEST_F(FeedThreadsTest, FailingServerLeavesTheLastGoodTableAndItsLoadedState) {
  ServeVatsim();
  state.active = 1;
  StartVatsim();
  ASSERT_TRUE(WaitUntil([&] { return state.feeds[Vatsim].loaded.load() == 1; }, 3000ms));
  const hv::AtcStation* good = TableRecords(Vatsim);
  int goodCount = TableCount(Vatsim);
  ASSERT_GT(goodCount, 0);
  EXPECT_EQ(LastError(Vatsim), "");

  struct Case {
    const char* name;
    HttpBehaviour behaviour;
    bool storesError;  // a download failure does; a file the parser rejects does not
  } cases[] = {
      {"connection closed without an answer", HttpBehaviour::Refuse, true},
      {"body cut short", HttpBehaviour::Truncate, true},
      {"404 page instead of the file", HttpBehaviour::NotFound, false},
  };
  const std::string sample = Sample("vatsim-data.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.setBehaviour(kVatsimData, c.behaviour);
    if (c.behaviour == HttpBehaviour::NotFound) server.removeFile(kVatsimData);  // the server's own page
    // The first failing pass; once it is over (a loopback pass takes milliseconds, the
    // next is 2000 ms away) the error is marked, and the second failing pass is watched.
    int before = server.requestsFor(kVatsimData);
    ASSERT_TRUE(server.waitForRequests(kVatsimData, before + 1, 5000ms));
    Sleep(300);
    hv::SetFeedError(state, Vatsim, "before");
    ASSERT_TRUE(server.waitForRequests(kVatsimData, before + 2, 5000ms));
    Sleep(300);
    EXPECT_EQ(TableRecords(Vatsim), good);
    EXPECT_EQ(TableCount(Vatsim), goodCount);
    EXPECT_EQ(state.feeds[Vatsim].loaded.load(), 1u);
    EXPECT_EQ(state.currentTable.loaded.load(), 1u);
    if (c.storesError) {
      EXPECT_NE(LastError(Vatsim), "before");
      EXPECT_FALSE(LastError(Vatsim).empty());
    } else {
      EXPECT_EQ(LastError(Vatsim), "before");
    }
    // Once loaded, a failed refresh still waits the full loaded pause.
    std::vector<long long> gaps = Intervals(server, kVatsimData);
    EXPECT_GE(gaps.back(), 1980);
    server.addFile(kVatsimData, sample);
  }

  // A good file again replaces the table.
  server.addFile(kVatsimData, ClientsFile({AtcLine("EDDF_TWR", "119.900", "voice.example.net/eddf_twr")}));
  server.setBehaviour(kVatsimData, HttpBehaviour::Serve);
  ASSERT_TRUE(WaitUntil([&] { return TableCount(Vatsim) == 1; }, 4000ms));
  hv::StationTableGuard guard(state.tableLock);
  EXPECT_EQ(state.feeds[Vatsim].table.records[0].frequency, 11990);
  EXPECT_STREQ(state.feeds[Vatsim].table.records[0].voiceChannel, "VOICE.EXAMPLE.NET/EDDF_TWR");
}

TEST_F(FeedThreadsTest, IvaoTakesBothFilesAndItsVoiceChannelsFromTheVoiceFile) {
  // A status file without url1 fails the pass and keeps no error; url0 stays taken.
  server.addFile(kIvaoStatus, "url0=" + server.url(kIvaoClients) + "\r\n");
  server.addFile(kIvaoClients, Sample("ivao-whazzup.txt"));
  server.addFile(kIvaoVoice, Sample("ivao-voice.txt"));
  state.network = Ivao;
  state.active = 1;
  StartIvao();
  ASSERT_TRUE(server.waitForRequests(kIvaoStatus, 2, 3000ms));
  EXPECT_EQ(state.feeds[Ivao].rootFetched.load(), 0u);
  EXPECT_EQ(state.feeds[Ivao].dataUrl, server.url(kIvaoClients));
  EXPECT_EQ(LastError(Ivao), "");
  EXPECT_EQ(server.requestsFor(kIvaoClients), 0);

  ServeIvao();
  ASSERT_TRUE(WaitUntil([&] { return state.feeds[Ivao].loaded.load() == 1; }, 3000ms));
  std::string voice = Sample("ivao-voice.txt");
  ExpectTableOf(Ivao, Sample("ivao-whazzup.txt"), &voice);
  {
    hv::StationTableGuard guard(state.tableLock);
    int withVoice = 0;
    for (int i = 0; i < state.feeds[Ivao].table.count; ++i)
      if (state.feeds[Ivao].table.records[i].voiceChannel[0] != '\0') ++withVoice;
    EXPECT_GT(withVoice, 0);
    EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
    EXPECT_EQ(state.currentTable.loaded.load(), 1u);
  }
  // Clients first, then the voice file.
  std::vector<HttpRequest> requests = server.requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[requests.size() - 2].path, kIvaoClients);
  EXPECT_EQ(requests.back().path, kIvaoVoice);

  // A voice file that cannot be had fails the refresh: the table stays, the error is kept.
  const hv::AtcStation* good = TableRecords(Ivao);
  server.setBehaviour(kIvaoVoice, HttpBehaviour::Refuse);
  int before = server.requestsFor(kIvaoVoice);
  ASSERT_TRUE(server.waitForRequests(kIvaoVoice, before + 1, 4000ms));
  ASSERT_TRUE(WaitUntil([&] { return !LastError(Ivao).empty(); }, 2000ms));
  EXPECT_EQ(TableRecords(Ivao), good);
}

TEST_F(FeedThreadsTest, NoDownloadWhileControlIsOffOrTheDialogShows) {
  ServeVatsim();
  StartVatsim();
  Sleep(500);
  EXPECT_EQ(server.requests().size(), 0u);
  EXPECT_EQ(state.feeds[Vatsim].attempted.load(), 0u);

  state.active = 1;
  ASSERT_TRUE(WaitUntil([&] { return state.feeds[Vatsim].loaded.load() == 1; }, 3000ms));

  state.dialogShowing = 1;
  Sleep(100);  // a pass already under way may finish
  size_t seen = server.requests().size();
  Sleep(2600);  // longer than the loaded pause
  EXPECT_EQ(server.requests().size(), seen);

  // Back from idle, the next pass follows within the idle pause.
  int data = server.requestsFor(kVatsimData);
  state.dialogShowing = 0;
  ASSERT_TRUE(server.waitForRequests(kVatsimData, data + 1, 1000ms));

  state.active = 0;
  Sleep(100);
  seen = server.requests().size();
  Sleep(2600);
  EXPECT_EQ(server.requests().size(), seen);
}

TEST_F(FeedThreadsTest, OnlyTheSelectedNetworkIsPublishedAndItsStationCleared) {
  ServeVatsim();
  ServeIvao();
  state.network = Ivao;
  state.active = 1;
  StartVatsim();
  StartIvao();
  ASSERT_TRUE(WaitUntil([&] { return state.feeds[Vatsim].loaded.load() == 1 && state.feeds[Ivao].loaded.load() == 1; },
                        4000ms));
  {
    hv::StationTableGuard guard(state.tableLock);
    EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
    EXPECT_EQ(state.currentTable.count, state.feeds[Ivao].table.count);
    ASSERT_GT(state.currentTable.count, 0);
    state.selectedStation = &state.currentTable.records[0];
  }
  // While IVAO's refreshes fail, VATSIM's replace only VATSIM's table: the selected
  // station stays. IVAO's next good refresh clears it.
  server.setBehaviour(kIvaoVoice, HttpBehaviour::Refuse);
  int vatsimBefore = server.requestsFor(kVatsimData);
  ASSERT_TRUE(server.waitForRequests(kVatsimData, vatsimBefore + 2, 7000ms));
  {
    hv::StationTableGuard guard(state.tableLock);
    EXPECT_EQ(state.selectedStation, &state.feeds[Ivao].table.records[0]);
    EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
  }
  server.setBehaviour(kIvaoVoice, HttpBehaviour::Serve);
  ASSERT_TRUE(WaitUntil([&] {
    hv::StationTableGuard guard(state.tableLock);
    return state.selectedStation == nullptr;
  }, 4000ms));
  hv::StationTableGuard guard(state.tableLock);
  EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
}

TEST_F(FeedThreadsTest, DataFileWithoutStationsGivesAnEmptyLoadedTable) {
  server.addFile(kVatsimStatus, "url0=" + server.url(kVatsimData) + "\r\n");
  server.addFile(kVatsimData, ClientsFile({}));
  state.active = 1;
  StartVatsim();
  ASSERT_TRUE(WaitUntil([&] { return state.feeds[Vatsim].loaded.load() == 1; }, 3000ms));
  EXPECT_EQ(TableCount(Vatsim), 0);
  EXPECT_EQ(TableRecords(Vatsim), nullptr);
  EXPECT_EQ(state.currentTable.count, 0);
  EXPECT_EQ(state.currentTable.loaded.load(), 1u);
}

TEST_F(FeedThreadsTest, UnloadDuringAStalledDownloadReturnsAtOnce) {
  struct Case {
    const char* name;
    const char* stalledPath;
  } cases[] = {{"status file", kVatsimStatus}, {"data file", kVatsimData}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ServeVatsim();
    ServeIvao();
    server.setBehaviour(kIvaoStatus, HttpBehaviour::Stall);
    server.setBehaviour(c.stalledPath, HttpBehaviour::Stall);
    state.active = 1;
    StartVatsim();
    StartIvao();
    ASSERT_TRUE(server.waitForRequests(c.stalledPath, 1, 3000ms));
    ASSERT_TRUE(server.waitForRequests(kIvaoStatus, 1, 3000ms));
    Sleep(200);
    EXPECT_EQ(hv::runningModuleThreads(), 2);

    Clock::time_point start = Clock::now();
    EXPECT_TRUE(StopFeeds(200ms));
    EXPECT_LT(Ms(Clock::now() - start), 200);
    EXPECT_EQ(hv::runningModuleThreads(), 0);
    ResetState();
    state.feeds[Vatsim].statusUrl = server.url(kVatsimStatus);
    state.feeds[Ivao].statusUrl = server.url(kIvaoStatus);
    server.setBehaviour(c.stalledPath, HttpBehaviour::Serve);
  }
}

TEST_F(FeedThreadsTest, RealVatsimFile) {
  std::string path = std::string(HV_SOURCE_DIR) + "/../shared/data/networks/vatsim-data-tdawe-1.txt";
  std::string real = hvtest::readFile(hvtest::windowsPath(path));
  if (real.empty()) GTEST_SKIP() << "no real network files on this machine";
  server.addFile(kVatsimStatus, "url0=" + server.url(kVatsimData) + "\r\n");
  server.addFile(kVatsimData, real);
  state.active = 1;
  StartVatsim();
  ASSERT_TRUE(WaitUntil([&] { return state.feeds[Vatsim].loaded.load() == 1; }, 5000ms));
  EXPECT_GT(TableCount(Vatsim), 0);
  ExpectTableOf(Vatsim, real, nullptr);
}

}  // namespace
