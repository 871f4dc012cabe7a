// The exported control operations on a ModuleState in memory: reported status and the
// record copy, control on and off, network selection with its saved settings, and the
// copy racing a feed that replaces the selected table.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "api/portable/ControlApi.h"

namespace hv {
namespace {

using namespace std::chrono_literals;

AtcStation station(std::uint16_t frequency, const char* callsign, const char* voiceChannel) {
  AtcStation s;
  std::memset(&s, 0, sizeof s);
  s.frequency = frequency;
  std::strncpy(s.callsign, callsign, sizeof s.callsign - 1);
  std::strncpy(s.voiceChannel, voiceChannel, sizeof s.voiceChannel - 1);
  s.latitude = 50.0333;
  s.longitude = 8.5706;
  s.facility = 4;
  s.range = 30;
  return s;
}

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
  bool untouched() const {
    for (unsigned char b : bytes)
      if (b != 0xEE) return false;
    return true;
  }
};

// Each save with the settings it saw.
struct Saved {
  std::uint32_t network, rangeCheck;
  bool operator==(const Saved& o) const { return network == o.network && rangeCheck == o.rangeCheck; }
};
std::vector<Saved> gSaved;
void recordSave(const ModuleState& state) { gSaved.push_back({state.network.load(), state.rangeCheck.load()}); }

class ControlApi : public ::testing::Test {
 protected:
  void SetUp() override {
    gSaved.clear();
    state.feeds[Vatsim].table = tableOf({station(11810, "EDDF_TWR", "rw.example.org/eddf_twr")});
    state.feeds[Vatsim].loaded = 1;
    state.feeds[Ivao].table = tableOf({station(11810, "EDDF_TWR", "vox.example.org/eddf_twr"),
                                       station(12180, "EDDF_APP", "vox.example.org/eddf_app")});
    state.feeds[Ivao].loaded = 0;
    selectNetwork(state, Vatsim, nullptr);
    gSaved.clear();
  }
  const AtcStation* vatsimRecord() const { return &state.feeds[Vatsim].table.records[0]; }

  ModuleState state;
};

TEST_F(ControlApi, ReportedStatusAndTheRecordCopy) {
  struct Case {
    const char* what;
    std::uint32_t status, active;
    bool selected;
    std::uint32_t reported;
    bool copied;
  } cases[] = {
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
    if (c.copied) {
      EXPECT_EQ(std::memcmp(buffer.bytes, vatsimRecord(), 192), 0) << c.what;
      EXPECT_EQ(buffer.bytes[192], 0xEE) << c.what << ": exactly 192 bytes";
      // The frequency is the first two bytes, little-endian.
      EXPECT_EQ(buffer.bytes[0] | buffer.bytes[1] << 8, 11810) << c.what;
    } else {
      EXPECT_TRUE(buffer.untouched()) << c.what;
    }
  }
}

TEST_F(ControlApi, SetMode) {
  struct Case {
    const char* what;
    std::uint32_t status, activeBefore, slot;
    std::uint32_t result, activeAfter;
  } cases[] = {
      {"on while joined", Joined, 0, 1, Joined, 1},
      {"on while waiting", Waiting, 0, 1, Waiting, 1},
      {"any non-zero value is on", NoStation, 0, 0x8001, NoStation, 1},
      {"off", Joined, 1, 0, Off, 0},
      {"only bit 16 set: off", Joined, 1, 0x10000, Off, 0},
      {"upper half ignored: on", OutOfRange, 0, 0xFFFF0002, OutOfRange, 1},
      {"stored status, not the reported one", Joined, 1, 1, Joined, 1},
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

TEST_F(ControlApi, OffWhileJoinedThenOnAgainReportsTheStation) {
  state.status = Joined;
  state.selectedStation = vatsimRecord();
  Buffer off;
  EXPECT_EQ(getControlStatus(state, off.bytes), Off);
  EXPECT_TRUE(off.untouched());
  EXPECT_EQ(setControlMode(state, 1), Joined);
  Buffer on;
  EXPECT_EQ(getControlStatus(state, on.bytes), Joined);
  EXPECT_EQ(std::memcmp(on.bytes, vatsimRecord(), 192), 0);
}

TEST_F(ControlApi, SelectNetworkSwitchesTheTableAndSaves) {
  state.status = Joined;
  state.rangeCheck = 0;
  state.selectedStation = vatsimRecord();

  EXPECT_EQ(selectNetwork(state, Ivao, &recordSave), Joined);
  EXPECT_EQ(getSelectedNetwork(state), 1u);
  EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
  EXPECT_EQ(state.currentTable.count, 2);
  EXPECT_EQ(state.currentTable.loaded.load(), 0u);
  EXPECT_EQ(state.selectedStation, nullptr) << "the old network's record must be forgotten";
  EXPECT_EQ(gSaved, std::vector<Saved>({{1, 0}}));

  // The status export now reports no station instead of copying a foreign record.
  state.active = 1;
  Buffer buffer;
  EXPECT_EQ(getControlStatus(state, buffer.bytes), NoStation);
  EXPECT_TRUE(buffer.untouched());

  state.rangeCheck = 1;
  EXPECT_EQ(selectNetwork(state, 0x10000, &recordSave), Joined) << "upper half ignored: VATSIM";
  EXPECT_EQ(getSelectedNetwork(state), 0u);
  EXPECT_EQ(state.currentTable.records, vatsimRecord());
  EXPECT_EQ(state.currentTable.count, 1);
  EXPECT_EQ(state.currentTable.loaded.load(), 1u);
  EXPECT_EQ(gSaved, std::vector<Saved>({{1, 0}, {0, 1}}));
}

TEST_F(ControlApi, SelectingTheSelectedNetworkAgainKeepsTheStation) {
  // The dialog selects the network on every OK; that must not make selection join again.
  state.status = Joined;
  state.selectedStation = vatsimRecord();
  EXPECT_EQ(selectNetwork(state, Vatsim, &recordSave), Joined);
  EXPECT_EQ(state.selectedStation, vatsimRecord());
  EXPECT_EQ(gSaved, std::vector<Saved>({{0, 1}}));
}

TEST_F(ControlApi, SelectNetworkIgnoresStatusAndControl) {
  struct Case {
    std::uint32_t status, active;
  } cases[] = {{RogerWilcoMissing, 0}, {Joined, 0}, {Waiting, 1}, {Off, 0}};
  for (const auto& c : cases) {
    gSaved.clear();
    state.status = c.status;
    state.active = c.active;
    EXPECT_EQ(selectNetwork(state, Ivao, &recordSave), c.status);
    EXPECT_EQ(getSelectedNetwork(state), 1u);
    EXPECT_EQ(state.currentTable.records, state.feeds[Ivao].table.records.get());
    EXPECT_EQ(gSaved.size(), 1u) << c.status;
    selectNetwork(state, Vatsim, nullptr);
  }
}

TEST_F(ControlApi, ANetworkOtherThanVatsimOrIvaoIsRefused) {
  state.status = Joined;
  state.selectedStation = vatsimRecord();
  for (std::uint32_t slot : {2u, 0xFFFFu, 0x12345u, 7u}) {
    EXPECT_EQ(selectNetwork(state, slot, &recordSave), Joined) << slot;
    EXPECT_EQ(getSelectedNetwork(state), 0u) << slot;
    EXPECT_EQ(state.currentTable.records, vatsimRecord()) << slot;
    EXPECT_EQ(state.selectedStation, vatsimRecord()) << slot;
  }
  EXPECT_TRUE(gSaved.empty());
}

TEST_F(ControlApi, OnlyTheRecordCopyWaitsForTheTableLock) {
  state.active = 1;
  state.status = NoStation;
  state.selectedStation = vatsimRecord();
  state.tableLock.acquire();
  Buffer buffer;
  // Without a station to copy, the status comes back while the lock is held elsewhere.
  auto quick = std::async(std::launch::async, [&] { return getControlStatus(state, buffer.bytes); });
  const bool quickDone = quick.wait_for(2s) == std::future_status::ready;

  // With one, it waits until the table can no longer be replaced under it.
  state.status = Joined;
  auto copy = std::async(std::launch::async, [&] { return getControlStatus(state, buffer.bytes); });
  const bool copyWaited = copy.wait_for(100ms) == std::future_status::timeout;
  state.tableLock.release();
  EXPECT_TRUE(quickDone);
  EXPECT_TRUE(copyWaited);
  EXPECT_EQ(quick.get(), NoStation);
  EXPECT_EQ(copy.get(), Joined);
}

TEST_F(ControlApi, RecordCopyNeverSeesATableBeingReplaced) {
  // A feed replaces the selected table again and again, the way the feed thread does:
  // under the lock, selection cleared, old records released. Selection re-selects in
  // between. Every copy must be one whole record (ASan catches a read of released ones).
  state.active = 1;
  std::atomic<bool> stop{false};
  std::thread feed([&] {
    for (std::uint16_t round = 1; !stop.load(); ++round) {
      StationTable fresh = tableOf({station(11810, "EDDF_TWR", "rw.example.org/eddf_twr")});
      std::memset(fresh.records[0].voiceChannel, 'a' + round % 26, 128);
      fresh.records[0].frequency = 10000 + round % 26;
      StationTableGuard guard(state.tableLock);
      state.feeds[Vatsim].table = std::move(fresh);  // releases the old records
      state.currentTable.records = state.feeds[Vatsim].table.records.get();
      state.selectedStation = nullptr;
    }
  });
  std::thread selection([&] {
    while (!stop.load()) {
      StationTableGuard guard(state.tableLock);
      state.selectedStation = state.currentTable.records;
      state.status = Joined;
    }
  });
  int copies = 0, torn = 0;
  const auto until = std::chrono::steady_clock::now() + 500ms;
  while (std::chrono::steady_clock::now() < until) {
    AtcStation copy;
    if (getControlStatus(state, &copy) != Joined) continue;
    ++copies;
    const char expected = static_cast<char>('a' + (copy.frequency - 10000));
    for (int i = 0; i < 128; ++i)
      if (copy.voiceChannel[i] != expected) {
        ++torn;
        break;
      }
  }
  stop = true;
  feed.join();
  selection.join();
  EXPECT_GT(copies, 0);
  EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace hv
