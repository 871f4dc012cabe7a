// Station selection against station tables built in memory: the great-circle distance,
// the range test, the search order and every transition of the control status, with the
// commands each transition sends to the voice program.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "voice/portable/StationSelection.h"

namespace hv {
namespace {

AtcStation makeStation(std::uint16_t frequency, const char* callsign, const char* voiceChannel,
                       double latitude, double longitude, std::int32_t range) {
  AtcStation s;
  std::memset(&s, 0, sizeof s);
  s.frequency = frequency;
  std::strncpy(s.callsign, callsign, sizeof s.callsign - 1);
  std::strncpy(s.voiceChannel, voiceChannel, sizeof s.voiceChannel - 1);
  s.latitude = latitude;
  s.longitude = longitude;
  s.range = range;
  return s;
}

SimReading reading(std::uint16_t frequency, double latitude, double longitude) {
  SimReading r;
  r.frequency = frequency;
  r.latitude = latitude;
  r.longitude = longitude;
  return r;
}

// What the voice program was told, and whether `joined` had already changed each time.
struct Delivered {
  std::string text;
  std::uint32_t joinedAtDelivery;
};
ModuleState* gState = nullptr;
std::vector<Delivered> gDelivered;

void recordDelivery(const char* text) { gDelivered.push_back({text, gState->joined.load()}); }

std::vector<std::string> texts() {
  std::vector<std::string> out;
  for (const auto& d : gDelivered) out.push_back(d.text);
  return out;
}

using Texts = std::vector<std::string>;

// A module with control on, a loaded table of the given stations, and a recording delivery.
class Selection : public ::testing::Test {
 protected:
  void SetUp() override {
    state = std::make_unique<ModuleState>();
    gState = state.get();
    gDelivered.clear();
    state->deliverCommand = &recordDelivery;
    state->active = 1;
    state->status = Waiting;
  }
  void TearDown() override { gState = nullptr; }

  // Installs a table the way a feed does (the old records stay alive in `tables`).
  const AtcStation* install(std::vector<AtcStation> stations) {
    tables.push_back(std::move(stations));
    state->currentTable.records = tables.back().empty() ? nullptr : tables.back().data();
    state->currentTable.count = static_cast<std::int32_t>(tables.back().size());
    state->currentTable.loaded = 1;
    return state->currentTable.records;
  }
  void cycle(const SimReading& r) { UpdateVoiceChannel(*state, r); }
  std::uint32_t status() const { return state->status.load(); }

  std::unique_ptr<ModuleState> state;
  std::vector<std::vector<AtcStation>> tables;
};

// ---------------------------------------------------------------- distance and range

TEST(StationDistance, UsesTheModulesDegreeConstantAndEarthRadius) {
  // Along the equator the distance is the longitude difference times the constant times
  // 3963.1; pi/180 would be 3.4e-7 off at 90 degrees, far more than the tolerance.
  const double k = 0.017453292520882225;
  struct Case {
    double lon;
    double expected;
  } cases[] = {{90.0, 90.0 * k * 3963.1}, {45.0, 45.0 * k * 3963.1}, {-120.0, 120.0 * k * 3963.1}};
  for (const auto& c : cases) {
    AtcStation s = makeStation(11810, "X", "v", 0.0, c.lon, 0);
    EXPECT_NEAR(StationDistance(reading(11810, 0.0, 0.0), s), c.expected, 2e-9) << c.lon;
    EXPECT_GT(std::fabs(StationDistance(reading(11810, 0.0, 0.0), s) -
                        std::fabs(c.lon) * (std::acos(-1.0) / 180.0) * 3963.1), 1e-7) << c.lon;
  }
}

TEST(StationDistance, KnownCityPairsInTheRangeUnit) {
  // New York Kennedy to London Heathrow and Frankfurt to Munich, on a sphere of 3963.1.
  AtcStation lhr = makeStation(11810, "EGLL_TWR", "v", 51.4700, -0.4543, 0);
  EXPECT_NEAR(StationDistance(reading(11810, 40.6398, -73.7789), lhr), 3447.0, 3.0);
  AtcStation muc = makeStation(11810, "EDDM_TWR", "v", 48.3538, 11.7861, 0);
  EXPECT_NEAR(StationDistance(reading(11810, 50.0379, 8.5622), muc), 186.5, 1.0);
  // Symmetric in aircraft and station.
  AtcStation jfk = makeStation(11810, "KJFK_TWR", "v", 40.6398, -73.7789, 0);
  EXPECT_DOUBLE_EQ(StationDistance(reading(11810, 51.4700, -0.4543), jfk),
                   StationDistance(reading(11810, 40.6398, -73.7789), lhr));
}

TEST(StationDistance, IdenticalPositionsWhoseCosineExceedsOneAreClampedToZero) {
  // At these latitudes the cosine term comes out a hair above 1 at identical positions;
  // without the clamp the arc cosine is not a number.
  const double k = 0.017453292520882225;
  int clamped = 0;
  for (int i = 0; i <= 1800; ++i) {
    const double lat = -90.0 + i * 0.1;
    const double a = lat * k;
    if (std::cos(0.0) * std::cos(a) * std::cos(a) + std::sin(a) * std::sin(a) <= 1.0) continue;
    ++clamped;
    AtcStation s = makeStation(11810, "X", "v", lat, 7.25, 0);
    EXPECT_EQ(StationDistance(reading(11810, lat, 7.25), s), 0.0) << lat;
  }
  EXPECT_GT(clamped, 0) << "no latitude needs the clamp on this platform";
}

TEST(StationDistance, NoClampBelowMinusOne) {
  // At some antipodal pairs the cosine term comes out a hair below -1: the distance is
  // then not a number, and such a station is out of range whatever its range.
  const double k = 0.017453292520882225;
  ModuleState state;
  int belowMinusOne = 0;
  for (int i = 0; i < 4000; ++i) {
    const double lat = i * 0.0173 - 30.0, lon = i * 0.29 - 100.0;
    const double c = std::cos(lon * k - (lon + 180.0) * k) * std::cos(-lat * k) * std::cos(lat * k) +
                     std::sin(-lat * k) * std::sin(lat * k);
    if (!(c < -1.0)) continue;
    ++belowMinusOne;
    AtcStation s = makeStation(11810, "X", "v", -lat, lon + 180.0, INT_MAX);
    EXPECT_TRUE(std::isnan(StationDistance(reading(11810, lat, lon), s))) << lat << " " << lon;
    EXPECT_FALSE(IsWithinRange(state, reading(11810, lat, lon), s)) << lat << " " << lon;
  }
  if (belowMinusOne == 0) GTEST_SKIP() << "this platform's cosine never passes -1 here";
}

struct RangeCase {
  const char* what;
  std::uint32_t rangeCheck;
  double aircraftLat, aircraftLon;
  double stationLat, stationLon;
  std::int32_t range;
  bool inRange;
};

TEST(IsWithinRange, Table) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // 1 degree of latitude is 69.17 in the range unit.
  const RangeCase cases[] = {
      {"inside", 1, 50.0, 8.0, 50.5, 8.0, 40, true},
      {"outside", 1, 50.0, 8.0, 51.0, 8.0, 69, false},
      {"just inside", 1, 50.0, 8.0, 51.0, 8.0, 70, true},
      {"identical position, range 0", 1, -48.9, 3.0, -48.9, 3.0, 0, true},
      {"identical position, negative range", 1, -48.9, 3.0, -48.9, 3.0, -1, false},
      {"negative range near", 1, 50.0, 8.0, 50.0001, 8.0, INT_MIN, false},
      {"not a number is out of range", 1, nan, 8.0, 50.0, 8.0, INT_MAX, false},
      {"range check off: far away", 0, 50.0, 8.0, -50.0, -170.0, 0, true},
      {"range check off: negative range", 0, 50.0, 8.0, 50.0, 8.0, -5, true},
      {"range check off: not a number", 0, nan, nan, 50.0, 8.0, 0, true},
  };
  for (const auto& c : cases) {
    ModuleState state;
    state.rangeCheck = c.rangeCheck;
    AtcStation s = makeStation(11810, "X", "v", c.stationLat, c.stationLon, c.range);
    EXPECT_EQ(IsWithinRange(state, reading(11810, c.aircraftLat, c.aircraftLon), s), c.inRange) << c.what;
  }
}

TEST(IsWithinRange, RangeIsComparedWithoutUnitConversion) {
  // 0.5 degrees of latitude: 34.58 in the range unit (not km, not nautical miles).
  ModuleState state;
  AtcStation s = makeStation(11810, "X", "v", 0.5, 0.0, 35);
  EXPECT_TRUE(IsWithinRange(state, reading(11810, 0.0, 0.0), s));
  s.range = 34;
  EXPECT_FALSE(IsWithinRange(state, reading(11810, 0.0, 0.0), s));
}

// ---------------------------------------------------------------- the search

TEST_F(Selection, FindStationOutcomes) {
  const AtcStation* recs = install({
      makeStation(11810, "A_TWR", "", 50.0, 8.0, 100),          // no voice channel: never chosen
      makeStation(11810, "B_TWR", "srv/b", 60.0, 8.0, 10),      // out of range
      makeStation(11810, "C_TWR", "srv/c", 50.1, 8.0, 100),     // in range
      makeStation(11810, "D_TWR", "srv/d", 50.0, 8.0, 100),     // in range, later
      makeStation(12000, "E_TWR", "", 50.0, 8.0, 100),
      makeStation(12100, "F_TWR", "srv/f", 10.0, 8.0, 10),
      makeStation(12100, "G_TWR", "srv/g", 20.0, 8.0, 10),
      makeStation(12100, "H_TWR", "srv/h", 30.0, 8.0, 10),
  });
  const AtcStation* sentinel = reinterpret_cast<const AtcStation*>(&tables);
  struct Case {
    const char* what;
    std::uint16_t frequency;
    unsigned outcome;
    const AtcStation* station;
  } cases[] = {
      {"first in-range match wins, out-of-range and voiceless ones skipped", 11810, Joined, &recs[2]},
      {"only a voiceless station: no station", 12000, NoStation, nullptr},
      {"three out of range: the last is handed back", 12100, OutOfRange, &recs[7]},
      {"no station on the frequency", 13000, NoStation, nullptr},
      {"frequency 0", 0, NoStation, nullptr},
  };
  for (const auto& c : cases) {
    const AtcStation* found = sentinel;
    EXPECT_EQ(FindStation(*state, reading(c.frequency, 50.0, 8.0), &found), c.outcome) << c.what;
    EXPECT_EQ(found, c.station) << c.what;
  }
}

TEST_F(Selection, FindStationOnEmptyTable) {
  install({});
  const AtcStation* found = nullptr;
  EXPECT_EQ(FindStation(*state, reading(11810, 50.0, 8.0), &found), NoStation);
  EXPECT_EQ(found, nullptr);
}

TEST_F(Selection, FrequencyMustMatchExactly) {
  install({makeStation(11811, "A", "srv/a", 50.0, 8.0, 100), makeStation(11809, "B", "srv/b", 50.0, 8.0, 100)});
  const AtcStation* found = nullptr;
  EXPECT_EQ(FindStation(*state, reading(11810, 50.0, 8.0), &found), NoStation);
}

// ---------------------------------------------------------------- transitions

// One cycle from a prepared state: the commands sent, the status and the selected station.
struct Transition {
  const char* what;
  std::uint32_t fromStatus;
  std::uint32_t joined;
  int selected;             // index into the table, -1 none
  std::uint32_t loaded;
  std::uint16_t frequency;
  Texts commands;
  std::uint32_t toStatus;
  int selectedAfter;        // index, -1 none
  std::uint32_t joinedAfter;
};

TEST_F(Selection, TransitionTable) {
  // 11810: A in range; 12100: B and C out of range; 12200: D out of range, E in range;
  // 12300: F and G both in range; 12400: H without voice channel, in range.
  const std::vector<AtcStation> stations = {
      makeStation(11810, "A_TWR", "srv/a", 50.0, 8.0, 50),
      makeStation(12100, "B_APP", "srv/b", 40.0, 8.0, 10),
      makeStation(12100, "C_APP", "srv/c", 45.0, 8.0, 10),
      makeStation(12200, "D_CTR", "srv/d", 10.0, 8.0, 10),
      makeStation(12200, "E_CTR", "srv/e", 50.2, 8.0, 50),
      makeStation(12300, "F_GND", "srv/f", 50.0, 8.1, 50),
      makeStation(12300, "G_GND", "srv/g", 50.0, 8.0, 50),
      makeStation(12400, "H_DEL", "", 50.0, 8.0, 50),
  };
  const Texts none;
  const Texts leave = {"/leave"};
  const Transition cases[] = {
      // the table's not loaded
      {"joined, table not loaded: leave once, wait", Joined, 1, 0, 0, 11810, leave, Waiting, 0, 0},
      {"no station, table not loaded: unchanged", NoStation, 0, -1, 0, 11810, none, NoStation, -1, 0},
      {"out of range, table not loaded: unchanged", OutOfRange, 0, 1, 0, 11810, none, OutOfRange, 1, 0},
      {"waiting, table not loaded: unchanged", Waiting, 0, -1, 0, 11810, none, Waiting, -1, 0},
      // outcome 1
      {"joined, tuned away: leave", Joined, 1, 0, 1, 13000, leave, NoStation, 0, 0},
      {"joined, frequency 0: leave", Joined, 1, 0, 1, 0, leave, NoStation, 0, 0},
      {"out of range, tuned away: no command", OutOfRange, 0, 2, 1, 13000, none, NoStation, 2, 0},
      {"waiting, nothing on the frequency", Waiting, 0, -1, 1, 13000, none, NoStation, -1, 0},
      {"voiceless station only: no station, not out of range", Waiting, 0, -1, 1, 12400, none, NoStation, -1, 0},
      // outcome 2
      {"waiting, station in range: join", Waiting, 0, -1, 1, 11810, {"/join1 srv/a"}, Joined, 0, 1},
      {"joined on the same record: nothing", Joined, 1, 0, 1, 11810, none, Joined, 0, 1},
      {"joined on A, tuned to E: join E, no leave", Joined, 1, 0, 1, 12200, {"/join1 srv/e"}, Joined, 4, 1},
      {"selected is the record but not joined: join", OutOfRange, 0, 0, 1, 11810, {"/join1 srv/a"}, Joined, 0, 1},
      {"no station before, now in range: join", NoStation, 0, -1, 1, 11810, {"/join1 srv/a"}, Joined, 0, 1},
      {"both in range: the first", NoStation, 0, -1, 1, 12300, {"/join1 srv/f"}, Joined, 5, 1},
      {"first out of range, second in: the second", NoStation, 0, -1, 1, 12200, {"/join1 srv/e"}, Joined, 4, 1},
      // outcome 4
      {"joined, flown out of range: leave", Joined, 1, 0, 1, 12100, leave, OutOfRange, 2, 0},
      {"not joined, out of range: no command", NoStation, 0, -1, 1, 12100, none, OutOfRange, 2, 0},
      {"waiting, out of range: no command", Waiting, 0, -1, 1, 12100, none, OutOfRange, 2, 0},
  };
  for (const auto& c : cases) {
    SetUp();
    const AtcStation* recs = install(stations);
    state->status = c.fromStatus;
    state->joined = c.joined;
    state->selectedStation = c.selected < 0 ? nullptr : &recs[c.selected];
    state->currentTable.loaded = c.loaded;
    cycle(reading(c.frequency, 50.0, 8.0));
    EXPECT_EQ(texts(), c.commands) << c.what;
    EXPECT_EQ(status(), c.toStatus) << c.what;
    EXPECT_EQ(state->selectedStation, c.selectedAfter < 0 ? nullptr : &recs[c.selectedAfter]) << c.what;
    EXPECT_EQ(state->joined.load(), c.joinedAfter) << c.what;
    for (const auto& d : gDelivered)
      EXPECT_EQ(d.joinedAtDelivery, d.text == "/leave" ? 0u : 1u) << c.what << ": joined changes before delivery";
  }
}

TEST_F(Selection, NothingHappensWhileControlIsOffOrTheVoiceProgramIsMissing) {
  const AtcStation* recs = install({makeStation(11810, "A", "srv/a", 50.0, 8.0, 50)});
  struct Case {
    const char* what;
    std::uint32_t active, status, joined;
  } cases[] = {
      {"control off while joined", 0, Joined, 1},
      {"control off while waiting", 0, Waiting, 0},
      {"voice program missing", 1, RogerWilcoMissing, 0},
  };
  for (const auto& c : cases) {
    gDelivered.clear();
    state->active = c.active;
    state->status = c.status;
    state->joined = c.joined;
    state->selectedStation = nullptr;
    cycle(reading(13000, 50.0, 8.0));  // tuned away
    cycle(reading(11810, 50.0, 8.0));  // tuned in
    state->currentTable.loaded = 0;
    cycle(reading(11810, 50.0, 8.0));
    state->currentTable.loaded = 1;
    EXPECT_TRUE(gDelivered.empty()) << c.what;
    EXPECT_EQ(status(), c.status) << c.what;
    EXPECT_EQ(state->joined.load(), c.joined) << c.what;
    EXPECT_EQ(state->selectedStation, nullptr) << c.what;
  }
  (void)recs;
}

// ---------------------------------------------------------------- flights over several cycles

TEST_F(Selection, SameStationAgainSendsNothingUntilTheTableIsReplaced) {
  const AtcStation* first = install({makeStation(11810, "EDDF_TWR", "srv/eddf", 50.0, 8.0, 50)});
  for (int i = 0; i < 5; ++i) cycle(reading(11810, 50.0, 8.0));
  EXPECT_EQ(texts(), Texts({"/join1 srv/eddf"}));
  EXPECT_EQ(state->selectedStation, &first[0]);

  // A refresh: a new table with equal contents, and the feed clears the selection.
  install({makeStation(11810, "EDDF_TWR", "srv/eddf", 50.0, 8.0, 50)});
  state->selectedStation = nullptr;
  cycle(reading(11810, 50.0, 8.0));
  cycle(reading(11810, 50.0, 8.0));
  EXPECT_EQ(texts(), Texts({"/join1 srv/eddf", "/join1 srv/eddf"}));
  EXPECT_EQ(status(), Joined);
}

TEST_F(Selection, AnEqualRecordIsNotTheSameStation) {
  // Joined on a record of one table; a record with the same bytes elsewhere is another station.
  const AtcStation* first = install({makeStation(11810, "EDDF_TWR", "srv/eddf", 50.0, 8.0, 50)});
  cycle(reading(11810, 50.0, 8.0));
  const AtcStation* second = install({makeStation(11810, "EDDF_TWR", "srv/eddf", 50.0, 8.0, 50)});
  ASSERT_EQ(std::memcmp(first, second, sizeof(AtcStation)), 0);
  ASSERT_EQ(state->selectedStation, first);
  cycle(reading(11810, 50.0, 8.0));
  EXPECT_EQ(texts(), Texts({"/join1 srv/eddf", "/join1 srv/eddf"}));
  EXPECT_EQ(state->selectedStation, second);
}

TEST_F(Selection, SwitchToANetworkThatNeverLoadedLeavesOnceAndWaits) {
  install({makeStation(11810, "EDDF_TWR", "srv/eddf", 50.0, 8.0, 50)});
  cycle(reading(11810, 50.0, 8.0));
  ASSERT_EQ(status(), Joined);

  // The other network's table: empty and never loaded.
  state->currentTable.records = nullptr;
  state->currentTable.count = 0;
  state->currentTable.loaded = 0;
  state->selectedStation = nullptr;
  for (int i = 0; i < 4; ++i) cycle(reading(11810, 50.0, 8.0));
  EXPECT_EQ(texts(), Texts({"/join1 srv/eddf", "/leave"}));
  EXPECT_EQ(status(), Waiting);
  EXPECT_EQ(state->joined.load(), 0u);

  // It loads: the station there is joined.
  install({makeStation(11810, "EDDF_TWR", "vox.ivao/eddf", 50.0, 8.0, 50)});
  state->network = Ivao;
  cycle(reading(11810, 50.0, 8.0));
  EXPECT_EQ(texts().back(), "/join1 vox.ivao/eddf/EDDF_TWR");
  EXPECT_EQ(status(), Joined);
}

TEST_F(Selection, ControlOffWhileJoinedKeepsTheChannelAndOnAgainSendsNothing) {
  const AtcStation* recs = install({makeStation(11810, "EDDF_TWR", "srv/eddf", 50.0, 8.0, 50)});
  cycle(reading(11810, 50.0, 8.0));
  state->active = 0;
  cycle(reading(13000, 50.0, 8.0));
  cycle(reading(11810, 0.0, 0.0));
  EXPECT_EQ(status(), Joined);
  EXPECT_EQ(state->joined.load(), 1u);
  state->active = 1;
  cycle(reading(11810, 50.0, 8.0));
  EXPECT_EQ(texts(), Texts({"/join1 srv/eddf"}));
  EXPECT_EQ(state->selectedStation, &recs[0]);
}

}  // namespace
}  // namespace hv
