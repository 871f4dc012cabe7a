// How a feed puts a new station table in place under StationTableLock, the lock itself,
// the feed's idle rule and pauses with the sleep that a stop ends. (Which table selection
// sees after an install, and the texts of a status download, are rows of tables/, read by
// rule_tables_test.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "feed/portable/FeedState.h"
#include "records/portable/StopFlag.h"

namespace hv {
namespace {

using namespace std::chrono_literals;

StationTable Table(std::int32_t count) { return {std::make_unique<AtcStation[]>(count), count}; }

TEST(PublishLoaded, OnlyTheSelectedNetworkSetsCurrentTablesFlag) {
  ModuleState state;
  state.network = Ivao;
  state.feeds[Vatsim].loaded = 1;
  PublishLoaded(state, Vatsim);
  EXPECT_EQ(state.currentTable.loaded.load(), 0u);
}

TEST(InstallStationTable, WaitsForTheLock) {
  ModuleState state;  // VATSIM selected
  InstallStationTable(state, Vatsim, Table(3));
  state.tableLock.acquire();
  std::thread feed([&] { InstallStationTable(state, Vatsim, Table(1)); });
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(state.currentTable.count, 3);  // the holder still sees the old table
  state.tableLock.release();
  feed.join();
  EXPECT_EQ(state.currentTable.count, 1);
}

// Feeds idle while control is off or the dialog shows; they try again 5 s after a failed
// first load, refresh a minute after a load; a stop ends a pause at once.
TEST(FeedPauses, IdleRulePausesAndTheStopThatEndsThem) {
  ModuleState state;
  EXPECT_TRUE(FeedsIdle(state)) << "control off";
  state.active = 1;
  EXPECT_FALSE(FeedsIdle(state));
  state.dialogShowing = 1;
  EXPECT_TRUE(FeedsIdle(state)) << "the dialog shows";
  NetworkFeed feed;
  EXPECT_EQ(PauseAfterPass(feed, FeedTiming{}), 5000ms);
  feed.loaded = 1;
  EXPECT_EQ(PauseAfterPass(feed, FeedTiming{}), 60000ms);
  Flag stop{0};
  const auto start = std::chrono::steady_clock::now();
  auto stopper = std::async(std::launch::async, [&] { std::this_thread::sleep_for(50ms); stop = 1; });
  EXPECT_TRUE(sleepUnlessStopped(60s, stop));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms + 10 * kStopCheckSlice);
  EXPECT_TRUE(sleepUnlessStopped(60s, stop)) << "a stop already set ends the sleep too";
}

}  // namespace
}  // namespace hv
