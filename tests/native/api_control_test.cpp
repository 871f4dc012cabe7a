// The exported control operations on a ModuleState in memory: reported status and the
// record copy, control on and off, network selection with its saved settings, and the
// copy waiting for the table lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <vector>

#include "api/portable/ControlApi.h"
#include "tests/support/StationRecords.h"

namespace hv {
namespace {

using namespace std::chrono_literals;
using hvtest::station;

StationTable tableOf(std::vector<AtcStation> stations) {
  StationTable t;
  t.count = static_cast<std::int32_t>(stations.size());
  t.records.reset(new AtcStation[stations.size()]);
  for (size_t i = 0; i < stations.size(); ++i) t.records[i] = stations[i];
  return t;
}

struct Buffer {
  unsigned char bytes[200];
  Buffer() { std::memset(bytes, 0xEE, sizeof bytes); }
  bool untouched() const { return std::all_of(bytes, bytes + 200, [](unsigned char b) { return b == 0xEE; }); }
};

// Each save with the settings it saw: network and range check.
std::vector<std::pair<std::uint32_t, std::uint32_t>> gSaved;
void recordSave(const ModuleState& state) { gSaved.emplace_back(state.network.load(), state.rangeCheck.load()); }

// VATSIM selected and loaded with one station; IVAO with two, not loaded yet.
class ControlApi : public ::testing::Test {
 protected:
  void SetUp() override {
    state.feeds[Vatsim].table = tableOf({station(11810, "EDDF_TWR", "rw.example.org/eddf_twr")});
    state.feeds[Vatsim].loaded = 1;
    state.feeds[Ivao].table = tableOf({station(11810, "EDDF_TWR", "vox.example.org/eddf_twr"),
                                       station(12180, "EDDF_APP", "vox.example.org/eddf_app")});
    selectNetwork(state, Vatsim, nullptr);
    gSaved.clear();
  }
  const AtcStation* vatsimRecord() const { return &state.feeds[Vatsim].table.records[0]; }

  ModuleState state;
};

TEST_F(ControlApi, ReportedStatusAndTheRecordCopy) {
  const struct { const char* what; std::uint32_t status, active; bool selected; std::uint32_t reported; bool copied; } cases[] = {
      {"before start-up", Off, 1, false, Off, false},
      {"voice program missing, control on", RogerWilcoMissing, 1, true, RogerWilcoMissing, false},
      {"voice program missing, control off", RogerWilcoMissing, 0, false, RogerWilcoMissing, false},
      {"control off while joined", Joined, 0, true, Off, false},
      {"control off while waiting", Waiting, 0, false, Off, false},
      {"waiting", Waiting, 1, false, Waiting, false},
      {"no station, a station still selected", NoStation, 1, true, NoStation, false},
      {"joined", Joined, 1, true, Joined, true},
      {"out of range", OutOfRange, 1, true, OutOfRange, true},
      {"joined without a selected station", Joined, 1, false, NoStation, false},
      {"out of range without a selected station", OutOfRange, 1, false, NoStation, false},
  };
  for (const auto& c : cases) {
    state.status = c.status;
    state.active = c.active;
    state.selectedStation = c.selected ? vatsimRecord() : nullptr;
    Buffer buffer;
    EXPECT_EQ(getControlStatus(state, buffer.bytes), c.reported) << c.what;
    if (c.copied)
      EXPECT_TRUE(std::memcmp(buffer.bytes, vatsimRecord(), 192) == 0 && buffer.bytes[192] == 0xEE) << c.what;
    else
      EXPECT_TRUE(buffer.untouched()) << c.what;
  }
}

TEST_F(ControlApi, SetMode) {
  const struct { const char* what; std::uint32_t status, activeBefore, slot, result, activeAfter; } cases[] = {
      {"on while joined", Joined, 0, 1, Joined, 1},
      {"on while waiting", Waiting, 0, 1, Waiting, 1},
      {"any non-zero value is on", NoStation, 0, 0x8001, NoStation, 1},
      {"off", Joined, 1, 0, Off, 0},
      {"only bit 16 set: off", Joined, 1, 0x10000, Off, 0},
      {"upper half ignored: on", OutOfRange, 0, 0xFFFF0002, OutOfRange, 1},
      {"voice program missing: nothing changes", RogerWilcoMissing, 0, 1, RogerWilcoMissing, 0},
      {"voice program missing, off: nothing changes", RogerWilcoMissing, 1, 0, RogerWilcoMissing, 1},
  };
  for (const auto& c : cases) {
    state.status = c.status;
    state.active = c.activeBefore;
    EXPECT_EQ(setControlMode(state, c.slot), c.result) << c.what;
    EXPECT_EQ(state.active.load(), c.activeAfter) << c.what;
  }
}

TEST_F(ControlApi, SelectNetworkSwitchesTheTableForgetsTheStationSavesOrRefuses) {
  // Whatever the status and control: the switch returns the stored status.
  for (std::uint32_t status : {Joined, RogerWilcoMissing, Off}) {
    SCOPED_TRACE(status);
    SetUp();
    state.status = status;
    state.active = 0;
    state.rangeCheck = 0;
    state.selectedStation = vatsimRecord();

    EXPECT_EQ(selectNetwork(state, Ivao, &recordSave), status);
    EXPECT_EQ(getSelectedNetwork(state), 1u);
    EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
    EXPECT_EQ(state.currentTable.count, 2);
    EXPECT_EQ(state.currentTable.loaded.load(), 0u);
    EXPECT_EQ(state.selectedStation, nullptr) << "the old network's record must be forgotten";

    state.rangeCheck = 1;
    EXPECT_EQ(selectNetwork(state, 0x10000, &recordSave), status) << "upper half ignored: VATSIM";
    EXPECT_EQ(getSelectedNetwork(state), 0u);
    EXPECT_EQ(state.currentTable.records, vatsimRecord());
    EXPECT_EQ(state.currentTable.count, 1);
    EXPECT_EQ(state.currentTable.loaded.load(), 1u);

    // The dialog selects the network on every OK; that must not make selection join again.
    state.selectedStation = vatsimRecord();
    selectNetwork(state, Vatsim, &recordSave);
    EXPECT_EQ(state.selectedStation, vatsimRecord());

    // Networks other than 0 and 1 are refused: nothing switched, nothing saved.
    for (std::uint32_t slot : {2u, 0xFFFFu, 0x12345u}) {
      EXPECT_EQ(selectNetwork(state, slot, &recordSave), status) << slot;
      EXPECT_EQ(getSelectedNetwork(state), 0u) << slot;
      EXPECT_EQ(state.currentTable.records, vatsimRecord()) << slot;
      EXPECT_EQ(state.selectedStation, vatsimRecord()) << slot;
    }
    EXPECT_EQ(gSaved, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{1, 0}, {0, 1}, {0, 1}}));
  }
}

TEST_F(ControlApi, OnlyTheRecordCopyWaitsForTheTableLock) {
  state.active = 1;
  state.status = NoStation;
  state.selectedStation = vatsimRecord();
  state.tableLock.acquire();
  Buffer buffer;
  // Without a station to copy, the status comes back while the lock is held elsewhere;
  // with one, the copy waits until the table can no longer be replaced under it.
  auto quick = std::async(std::launch::async, [&] { return getControlStatus(state, buffer.bytes); });
  const bool quickDone = quick.wait_for(2s) == std::future_status::ready;
  state.status = Joined;
  auto copy = std::async(std::launch::async, [&] { return getControlStatus(state, buffer.bytes); });
  const bool copyWaited = copy.wait_for(100ms) == std::future_status::timeout;
  state.tableLock.release();
  EXPECT_TRUE(quickDone);
  EXPECT_TRUE(copyWaited);
  EXPECT_EQ(quick.get(), NoStation);
  EXPECT_EQ(copy.get(), Joined);
}

}  // namespace
}  // namespace hv
