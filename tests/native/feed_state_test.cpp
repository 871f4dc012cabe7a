// How a feed puts a new station table in place: what station selection sees afterwards
// (currentTable, selectedStation), that nothing is left pointing into the released table,
// and that it happens under StationTableLock; and the feed's idle rule and pauses.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "feed/portable/FeedState.h"

namespace hv {
namespace {

StationTable MakeTable(std::initializer_list<std::uint16_t> frequencies) {
  StationTable table;
  table.count = static_cast<std::int32_t>(frequencies.size());
  if (table.count == 0) return table;
  table.records.reset(new AtcStation[table.count]());
  int i = 0;
  for (std::uint16_t f : frequencies) table.records[i++].frequency = f;
  return table;
}

// Both networks hold a table; currentTable shows `shown`'s and the selected station is
// the second record of `stationIn`'s table.
void Prepare(ModuleState& state, Network shown, Network stationIn) {
  state.network = shown;
  InstallStationTable(state, Vatsim, MakeTable({11810, 12345, 12150}));
  InstallStationTable(state, Ivao, MakeTable({11900, 12000}));
  state.currentTable.records = state.feeds[shown].table.records.get();
  state.currentTable.count = state.feeds[shown].table.count;
  state.selectedStation = &state.feeds[stationIn].table.records[1];
}

TEST(InstallStationTable, WhatSelectionSeesAfterwards) {
  const struct {
    const char* name;
    Network shown, stationIn;  // what currentTable and selectedStation show
    Network selected;          // `network`, which a switch may have changed since
    Network into;
    bool empty;
    bool publishes;       // currentTable becomes the new table
    bool stationCleared;  // selectedStation is cleared
  } cases[] = {
      {"selected network", Vatsim, Vatsim, Vatsim, Vatsim, false, true, true},
      {"selected network, empty table", Vatsim, Vatsim, Vatsim, Vatsim, true, true, true},
      {"other network", Vatsim, Vatsim, Vatsim, Ivao, false, false, false},
      {"other network, IVAO selected", Ivao, Ivao, Ivao, Vatsim, false, false, false},
      {"switched away, currentTable still on the old records", Vatsim, Vatsim, Ivao, Vatsim, false, true, true},
      {"switched to, currentTable not yet on the network", Ivao, Ivao, Vatsim, Vatsim, false, true, true},
      {"a station left in the released table", Ivao, Vatsim, Ivao, Vatsim, false, false, true},
  };
  for (const auto& c : cases) {
    ModuleState state;
    Prepare(state, c.shown, c.stationIn);
    state.network = c.selected;
    const AtcStation* oldRecords = state.feeds[c.into].table.records.get();
    const std::int32_t oldCount = state.feeds[c.into].table.count;
    const AtcStation* shown = state.currentTable.records;
    const AtcStation* selected = state.selectedStation;

    const StationTable old = InstallStationTable(state, c.into, c.empty ? StationTable{} : MakeTable({13000, 13100}));
    EXPECT_EQ(old.records.get(), oldRecords) << c.name << ": handed back whole, for release after the lock";
    EXPECT_EQ(old.count, oldCount) << c.name;
    EXPECT_EQ(state.feeds[c.into].table.count, c.empty ? 0 : 2) << c.name;
    EXPECT_EQ(state.currentTable.records, c.publishes ? state.feeds[c.into].table.records.get() : shown) << c.name;
    EXPECT_EQ(state.currentTable.count, state.feeds[c.publishes ? c.into : c.shown].table.count) << c.name;
    EXPECT_EQ(state.selectedStation, c.stationCleared ? nullptr : selected) << c.name;
  }
}

TEST(InstallStationTable, WaitsForTheLock) {
  ModuleState state;
  Prepare(state, Vatsim, Vatsim);
  state.tableLock.acquire();
  std::atomic<bool> done{false};
  std::thread feed([&] {
    InstallStationTable(state, Vatsim, MakeTable({13000}));
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_FALSE(done);
  EXPECT_EQ(state.currentTable.count, 3);  // the holder still sees the old table
  state.tableLock.release();
  feed.join();
  EXPECT_EQ(state.currentTable.count, 1);
}

TEST(PublishLoaded, OnlyTheSelectedNetworkSetsCurrentTablesFlag) {
  ModuleState state;
  state.network = Ivao;
  state.feeds[Vatsim].loaded = 1;
  PublishLoaded(state, Vatsim);
  EXPECT_EQ(state.currentTable.loaded.load(), 0u);
  state.feeds[Ivao].loaded = 1;
  PublishLoaded(state, Ivao);
  EXPECT_EQ(state.currentTable.loaded.load(), 1u);
}

TEST(FeedsIdle, WhileControlIsOffOrTheDialogShows) {
  const struct {
    std::uint32_t active, dialogShowing;
    bool idle;
  } cases[] = {{0, 0, true}, {0, 1, true}, {1, 1, true}, {1, 0, false}};
  for (const auto& c : cases) {
    ModuleState state;
    state.active = c.active;
    state.dialogShowing = c.dialogShowing;
    EXPECT_EQ(FeedsIdle(state), c.idle) << c.active << c.dialogShowing;
  }
}

// The shipped pauses: 5 s until a network is loaded, a minute after, 100 ms while idle.
// The Win32 feed test measures the 5 s with the real thread and shortens the others.
TEST(PauseAfterPass, MinuteOnceLoadedFiveSecondsBefore) {
  NetworkFeed feed;
  EXPECT_EQ(PauseAfterPass(feed, FeedTiming{}), std::chrono::milliseconds(5000));
  feed.loaded = 1;
  EXPECT_EQ(PauseAfterPass(feed, FeedTiming{}), std::chrono::milliseconds(60000));
  EXPECT_EQ(FeedTiming{}.idlePause, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace hv
