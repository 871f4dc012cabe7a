// How a feed puts a new station table in place: what station selection sees afterwards
// (currentTable, selectedStation), that nothing points into a released table, and that
// it happens under StationTableLock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "feed/portable/FeedState.h"

namespace {

using hv::Ivao;
using hv::ModuleState;
using hv::StationTable;
using hv::Vatsim;

StationTable MakeTable(std::initializer_list<std::uint16_t> frequencies) {
  StationTable table;
  table.count = static_cast<std::int32_t>(frequencies.size());
  if (table.count == 0) return table;
  table.records.reset(new hv::AtcStation[table.count]());
  int i = 0;
  for (std::uint16_t f : frequencies) table.records[i++].frequency = f;
  return table;
}

// Installs a first table for both networks, with VATSIM selected and its second record
// as the selected station.
void Prepare(ModuleState& state) {
  state.network = Vatsim;
  hv::InstallStationTable(state, Vatsim, MakeTable({11810, 12345, 12150}));
  hv::InstallStationTable(state, Ivao, MakeTable({11900, 12000}));
  state.selectedStation = &state.feeds[Vatsim].table.records[1];
}

TEST(InstallStationTable, SelectedNetworkIsPublishedAndItsStationCleared) {
  ModuleState state;
  Prepare(state);
  const hv::AtcStation* oldRecords = state.feeds[Vatsim].table.records.get();

  StationTable old = hv::InstallStationTable(state, Vatsim, MakeTable({13000, 13100}));
  EXPECT_EQ(old.records.get(), oldRecords);  // handed back whole, for release after the lock
  EXPECT_EQ(old.count, 3);
  EXPECT_EQ(state.feeds[Vatsim].table.count, 2);
  EXPECT_EQ(state.currentTable.records, state.feeds[Vatsim].table.records.get());
  EXPECT_EQ(state.currentTable.count, 2);
  EXPECT_EQ(state.currentTable.records[1].frequency, 13100);
  EXPECT_EQ(state.selectedStation, nullptr);
}

TEST(InstallStationTable, OtherNetworkLeavesSelectionAlone) {
  ModuleState state;
  Prepare(state);
  const hv::AtcStation* selected = state.selectedStation;
  const hv::AtcStation* current = state.currentTable.records;

  StationTable old = hv::InstallStationTable(state, Ivao, MakeTable({12500}));
  EXPECT_EQ(old.count, 2);
  EXPECT_EQ(state.feeds[Ivao].table.count, 1);
  EXPECT_EQ(state.currentTable.records, current);
  EXPECT_EQ(state.currentTable.count, 3);
  EXPECT_EQ(state.selectedStation, selected);
}

TEST(InstallStationTable, EmptyTableIsPublishedAsEmpty) {
  ModuleState state;
  Prepare(state);
  hv::InstallStationTable(state, Vatsim, StationTable{});
  EXPECT_EQ(state.currentTable.records, nullptr);
  EXPECT_EQ(state.currentTable.count, 0);
  EXPECT_EQ(state.selectedStation, nullptr);
}

TEST(InstallStationTable, NothingIsLeftPointingIntoTheReleasedTable) {
  // A network switch that left the selected station or currentTable on the other
  // network's records: replacing that table must not leave them dangling.
  ModuleState state;
  Prepare(state);
  state.network = Ivao;  // switched without touching currentTable or selectedStation
  const hv::AtcStation* oldVatsim = state.feeds[Vatsim].table.records.get();
  ASSERT_EQ(state.currentTable.records, oldVatsim);

  StationTable old = hv::InstallStationTable(state, Vatsim, MakeTable({11111}));
  EXPECT_EQ(state.selectedStation, nullptr);
  EXPECT_NE(state.currentTable.records, oldVatsim);
  EXPECT_EQ(state.currentTable.records, state.feeds[Vatsim].table.records.get());

  // A selected station of the selected network survives a replacement of the other.
  state.selectedStation = &state.feeds[Ivao].table.records[0];
  state.currentTable.records = state.feeds[Ivao].table.records.get();
  state.currentTable.count = state.feeds[Ivao].table.count;
  hv::InstallStationTable(state, Vatsim, MakeTable({22222}));
  EXPECT_EQ(state.selectedStation, &state.feeds[Ivao].table.records[0]);
  EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
}

TEST(InstallStationTable, WaitsForTheLock) {
  ModuleState state;
  Prepare(state);
  state.tableLock.acquire();
  std::atomic<bool> done{false};
  std::thread feed([&] {
    hv::InstallStationTable(state, Vatsim, MakeTable({13000}));
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_FALSE(done);
  EXPECT_EQ(state.currentTable.count, 3);  // the holder still sees the old table
  state.tableLock.release();
  feed.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(state.currentTable.count, 1);
}

TEST(InstallStationTable, ReaderUnderTheLockNeverSeesAReleasedRecord) {
  // The worker's walk of currentTable and its use of selectedStation, against a feed
  // replacing the table as fast as it can. A record read after its release is caught by
  // the address sanitizer of the native build.
  ModuleState state;
  Prepare(state);
  std::atomic<bool> stop{false};
  std::atomic<long> walks{0};
  std::thread worker([&] {
    while (!stop) {
      hv::StationTableGuard guard(state.tableLock);
      if (state.selectedStation) EXPECT_GE(state.selectedStation->frequency, 11800);
      long sum = 0;
      for (int i = 0; i < state.currentTable.count; ++i) sum += state.currentTable.records[i].frequency;
      EXPECT_GE(sum, 0);
      if (state.currentTable.count > 0) state.selectedStation = &state.currentTable.records[state.currentTable.count - 1];
      ++walks;
    }
  });
  for (int i = 0; i < 2000; ++i) {
    StationTable old = hv::InstallStationTable(state, Vatsim, MakeTable({11810, static_cast<std::uint16_t>(12000 + i % 500)}));
    // `old` is released here, after the lock.
  }
  stop = true;
  worker.join();
  EXPECT_GT(walks.load(), 0);
}

TEST(FeedError, StoredPerNetwork) {
  ModuleState state;
  hv::SetFeedError(state, Ivao, "The attempt to connect to the server failed.");
  EXPECT_EQ(hv::FeedError(state, Ivao), "The attempt to connect to the server failed.");
  EXPECT_EQ(hv::FeedError(state, Vatsim), "");
}

TEST(PublishLoaded, OnlyTheSelectedNetworkSetsCurrentTablesFlag) {
  ModuleState state;
  state.network = Ivao;
  state.feeds[Vatsim].loaded = 1;
  hv::PublishLoaded(state, Vatsim);
  EXPECT_EQ(state.currentTable.loaded.load(), 0u);
  state.feeds[Ivao].loaded = 1;
  hv::PublishLoaded(state, Ivao);
  EXPECT_EQ(state.currentTable.loaded.load(), 1u);
}

TEST(FeedsIdle, WhileControlIsOffOrTheDialogShows) {
  struct Case {
    std::uint32_t active, dialogShowing;
    bool idle;
  } cases[] = {{0, 0, true}, {0, 1, true}, {1, 1, true}, {1, 0, false}};
  for (const Case& c : cases) {
    ModuleState state;
    state.active = c.active;
    state.dialogShowing = c.dialogShowing;
    EXPECT_EQ(hv::FeedsIdle(state), c.idle) << c.active << c.dialogShowing;
  }
}

TEST(PauseAfterPass, MinuteOnceLoadedFiveSecondsBefore) {
  hv::NetworkFeed feed;
  hv::FeedTiming shipped;
  EXPECT_EQ(hv::PauseAfterPass(feed, shipped), std::chrono::milliseconds(5000));
  feed.loaded = 1;
  EXPECT_EQ(hv::PauseAfterPass(feed, shipped), std::chrono::milliseconds(60000));
  EXPECT_EQ(shipped.idlePause, std::chrono::milliseconds(100));
}

}  // namespace
