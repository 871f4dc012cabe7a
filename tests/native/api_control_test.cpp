// The exported control operations on a ModuleState in memory, where the Win32 scenarios
// (select_server_saves, roger_missing) and the demo do not reach: the 192-byte record copy
// and when it is made, what a network switch forgets, and the copy waiting for the table lock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>

#include "api/portable/ControlApi.h"
#include "tests/support/StationRecords.h"

namespace hv {
namespace {

using namespace std::chrono_literals;

// VATSIM selected and loaded with one station; IVAO with two, not loaded yet.
struct ControlApi : ::testing::Test {
  ControlApi() {
    state.feeds[Vatsim].table = {std::make_unique<AtcStation[]>(1), 1};
    state.feeds[Ivao].table = {std::make_unique<AtcStation[]>(2), 2};
    state.feeds[Vatsim].table.records[0] = hvtest::station(11810, "EDDF_TWR", "rw.example.org/x");
    state.feeds[Vatsim].loaded = 1;
    selectNetwork(state, Vatsim, nullptr);
  }
  const AtcStation* vatsimRecord() const { return &state.feeds[Vatsim].table.records[0]; }
  ModuleState state;
};

TEST_F(ControlApi, ReportedStatusAndTheRecordCopy) {
  const struct { const char* what; std::uint32_t status, active; bool selected; std::uint32_t reported; bool copied; } cases[] = {
      {"voice program missing, control off", RogerWilcoMissing, 0, false, RogerWilcoMissing, false},
      {"control off while joined", Joined, 0, true, Off, false},
      {"no station, a station still selected", NoStation, 1, true, NoStation, false},
      {"joined", Joined, 1, true, Joined, true},
      {"out of range", OutOfRange, 1, true, OutOfRange, true},
      {"joined without a selected station", Joined, 1, false, NoStation, false},
  };
  for (const auto& c : cases) {
    state.status = c.status;
    state.active = c.active;
    state.selectedStation = c.selected ? vatsimRecord() : nullptr;
    unsigned char buffer[200];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(getControlStatus(state, buffer), c.reported) << c.what;
    const std::size_t copied = c.copied ? 192 : 0;
    EXPECT_TRUE(std::memcmp(buffer, vatsimRecord(), copied) == 0) << c.what;
    for (std::size_t i = copied; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xEE) << c.what << ": byte " << i;
  }
}

// A switch shows the other network's table and forgets the station of the old one; the
// dialog selects the network on every OK, which must not make selection join again.
// (The saving and the refusal as seen from outside: the scenario select_server_saves.)
TEST_F(ControlApi, SelectNetworkSwitchesTheTableAndForgetsTheStation) {
  state.selectedStation = vatsimRecord();
  selectNetwork(state, Ivao, nullptr);
  EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
  EXPECT_EQ(state.currentTable.count, 2);
  EXPECT_EQ(state.currentTable.loaded.load(), 0u);
  EXPECT_EQ(state.selectedStation, nullptr);
  selectNetwork(state, 0x10000, nullptr);  // the low half: VATSIM
  EXPECT_EQ(state.currentTable.records, vatsimRecord());
  EXPECT_EQ(state.currentTable.loaded.load(), 1u);
  state.selectedStation = vatsimRecord();
  selectNetwork(state, Vatsim, nullptr);
  EXPECT_EQ(state.selectedStation, vatsimRecord());
  static int saves = 0;  // another network number changes and saves nothing
  selectNetwork(state, 2, [](const ModuleState&) { ++saves; });
  EXPECT_EQ(saves, 0);
  EXPECT_EQ(state.selectedStation, vatsimRecord());
}

TEST_F(ControlApi, OnlyTheRecordCopyWaitsForTheTableLock) {
  state.active = 1;
  state.status = NoStation;
  state.selectedStation = vatsimRecord();
  state.tableLock.acquire();
  unsigned char buffer[192];
  // Without a station to copy, the status comes back while the lock is held elsewhere;
  // with one, the copy waits until the table can no longer be replaced under it.
  auto quick = std::async(std::launch::async, [&] { return getControlStatus(state, buffer); });
  EXPECT_TRUE(quick.wait_for(2s) == std::future_status::ready);
  state.status = Joined;
  auto copy = std::async(std::launch::async, [&] { return getControlStatus(state, buffer); });
  EXPECT_TRUE(copy.wait_for(100ms) == std::future_status::timeout);
  state.tableLock.release();
  EXPECT_EQ(quick.get(), NoStation);
  EXPECT_EQ(copy.get(), Joined);
}

}  // namespace
}  // namespace hv
