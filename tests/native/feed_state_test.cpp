// How a feed puts a new station table in place under StationTableLock, the lock itself,
// the feed's idle rule and pauses with the sleep that a stop ends, and what matters of the
// texts of a status download.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "feed/portable/DownloadStatus.h"
#include "feed/portable/FeedState.h"
#include "records/portable/StopFlag.h"

namespace hv {
namespace {

using namespace std::chrono_literals;

StationTable Table(std::int32_t count) { return {std::make_unique<AtcStation[]>(count), count}; }

// Both networks hold a table; currentTable shows `shown`'s and the selected station is
// the second record of `stationIn`'s table.
void Prepare(ModuleState& state, Network shown, Network stationIn) {
  state.network = shown;
  InstallStationTable(state, Vatsim, Table(3));
  InstallStationTable(state, Ivao, Table(2));
  state.currentTable.records = state.feeds[shown].table.records.get();
  state.currentTable.count = state.feeds[shown].table.count;
  state.selectedStation = &state.feeds[stationIn].table.records[1];
}

TEST(InstallStationTable, WhatSelectionSeesAfterwards) {
  const struct {
    const char* name; Network shown, stationIn, selected, into; bool publishes, stationCleared;
  } cases[] = {
      {"selected network", Vatsim, Vatsim, Vatsim, Vatsim, true, true},
      {"other network", Vatsim, Vatsim, Vatsim, Ivao, false, false},
      {"switched away, currentTable still on the old records", Vatsim, Vatsim, Ivao, Vatsim, true, true},
      {"switched to, currentTable not yet on the network", Ivao, Ivao, Vatsim, Vatsim, true, true},
      {"a station left in the released table", Ivao, Vatsim, Ivao, Vatsim, false, true},
  };
  for (const auto& c : cases) {
    ModuleState state;
    Prepare(state, c.shown, c.stationIn);
    state.network = c.selected;
    const AtcStation* oldRecords = state.feeds[c.into].table.records.get();
    const AtcStation* shown = state.currentTable.records;
    const AtcStation* selected = state.selectedStation;
    const StationTable old = InstallStationTable(state, c.into, Table(2));
    EXPECT_EQ(old.records.get(), oldRecords) << c.name << ": handed back whole, for release after the lock";
    EXPECT_EQ(state.currentTable.records, c.publishes ? state.feeds[c.into].table.records.get() : shown) << c.name;
    EXPECT_EQ(state.currentTable.count, state.feeds[c.publishes ? c.into : c.shown].table.count) << c.name;
    EXPECT_EQ(state.selectedStation, c.stationCleared ? nullptr : selected) << c.name;
  }
  ModuleState state;
  state.network = Ivao;
  state.feeds[Vatsim].loaded = 1;
  PublishLoaded(state, Vatsim);
  EXPECT_EQ(state.currentTable.loaded.load(), 0u) << "only the selected network sets currentTable's flag";
}

TEST(InstallStationTable, WaitsForTheLock) {
  ModuleState state;
  Prepare(state, Vatsim, Vatsim);
  state.tableLock.acquire();
  EXPECT_FALSE(state.tableLock.tryAcquire());
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

// The progress texts of a download are replaced by its final text before anyone reads
// them; what matters of them is that a name event is read up to its first NUL and never
// past its length, and a completion's two words only when it has two. The final texts:
// error messages on one line, and the body limit.
TEST(DownloadTexts, EventsErrorsAndTheBodyLimit) {
  const char withNul[] = "host.example\0garbage";
  std::string message;
  EXPECT_TRUE(StatusMessageFor(10, withNul, sizeof withNul, message) && message == "Resolving name for host.example");
  EXPECT_TRUE(StatusMessageFor(11, "abcd", 3, message) && message == "Resolved name for abc");
  const std::uint32_t word = 12029;
  EXPECT_TRUE(StatusMessageFor(100, &word, 4, message) && message == "Request complete");
  EXPECT_EQ(PlainErrorText("First line.\r\nSecond\tline.\r\n\r\n"), "First line. Second line.");
  EXPECT_EQ(PlainErrorText(std::string(300, 'e') + "\r\n"), std::string(254, 'e'));
  const std::size_t limit = 16u * 1024u * 1024u;
  EXPECT_FALSE(BodyTooLarge(limit - 4095, 4095));
  EXPECT_TRUE(BodyTooLarge(limit, 1));
  EXPECT_TRUE(BodyTooLarge(static_cast<std::size_t>(-1), 4095)) << "no overflow near the top of size_t";
}

}  // namespace
}  // namespace hv
