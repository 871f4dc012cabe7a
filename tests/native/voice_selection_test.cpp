// Station selection against station tables built in memory: the range test (the distances
// themselves are seen in the golden lists of hallvoxen-stations near), and every
// transition of the control status with the command it leaves for the voice program.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/StationRecords.h"
#include "voice/portable/StationSelection.h"
#include "voice/portable/VoiceCommands.h"

namespace hv {
namespace {

using hvtest::reading;
using hvtest::station;

TEST(IsWithinRange, Table) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // 1 degree of latitude is 69.17 in the range unit (neither km nor nautical miles).
  const struct {
    const char* what; std::uint32_t rangeCheck; double aircraftLat, aircraftLon, stationLat, stationLon; std::int32_t range; bool inRange;
  } cases[] = {
      {"outside", 1, 50.0, 8.0, 51.0, 8.0, 69, false},
      {"just inside", 1, 50.0, 8.0, 51.0, 8.0, 70, true},
      {"identical position, negative range", 1, -48.9, 3.0, -48.9, 3.0, -1, false},
      {"not a number is out of range", 1, nan, 8.0, 50.0, 8.0, INT_MAX, false},
      {"range check off: not a number, far away", 0, nan, nan, -50.0, -170.0, 0, true},
  };
  for (const auto& c : cases) {
    ModuleState state;
    state.rangeCheck = c.rangeCheck;
    const AtcStation s = station(1, "X", "v", c.stationLat, c.stationLon, c.range);
    EXPECT_EQ(IsWithinRange(state, reading(1, c.aircraftLat, c.aircraftLon), s), c.inRange) << c.what;
  }
}

TEST(UpdateVoiceChannel, TransitionTable) {
  // The aircraft is at 50 N 8 E. 11810: A in range; 12100: B, C, D out of range; 12200: E
  // out of range, F in range; 12300: G in range without voice channel, H and I in range;
  // 12400: J in range without voice channel.
  const std::vector<AtcStation> table = {
      station(11810, "A_TWR", "srv/a", 50.0, 8.0, 50), station(12100, "B_APP", "srv/b", 40.0, 8.0, 10),
      station(12100, "C_APP", "srv/c", 45.0, 8.0, 10), station(12100, "D_APP", "srv/d", 30.0, 8.0, 10),
      station(12200, "E_CTR", "srv/e", 10.0, 8.0, 10), station(12200, "F_CTR", "srv/f", 50.2, 8.0, 50),
      station(12300, "G_GND", "", 50.0, 8.0, 50),      station(12300, "H_GND", "srv/h", 50.0, 8.1, 50),
      station(12300, "I_GND", "srv/i", 50.0, 8.0, 50), station(12400, "J_DEL", "", 50.0, 8.0, 50),
  };
  const std::vector<AtcStation> olderTable = table;  // equal records, other addresses
  // One cycle from a prepared state. Selected stations are indices into the table; -1 is
  // none, -2 the equal record A of an older table.
  const struct {
    const char* what; std::uint32_t active, fromStatus, joined; int selected; std::uint32_t loaded; std::uint16_t frequency;
    std::string command; std::uint32_t toStatus; int selectedAfter; std::uint32_t joinedAfter;
  } cases[] = {
      {"joined, table not loaded: leave, wait", 1, Joined, 1, 0, 0, 11810, "/leave", Waiting, 0, 0},
      {"out of range, table not loaded: unchanged", 1, OutOfRange, 0, 1, 0, 11810, "", OutOfRange, 1, 0},
      {"joined, frequency one above: leave", 1, Joined, 1, 0, 1, 11811, "/leave", NoStation, 0, 0},
      {"out of range, tuned away: no command", 1, OutOfRange, 0, 2, 1, 13000, "", NoStation, 2, 0},
      {"voiceless station only: no station, not out of range", 1, Waiting, 0, -1, 1, 12400, "", NoStation, -1, 0},
      {"waiting, station in range: join", 1, Waiting, 0, -1, 1, 11810, "/join1 srv/a", Joined, 0, 1},
      {"joined on the same record: nothing", 1, Joined, 1, 0, 1, 11810, "", Joined, 0, 1},
      {"joined on an equal record of an older table: join again", 1, Joined, 1, -2, 1, 11810, "/join1 srv/a", Joined, 0, 1},
      {"selected is the record but not joined: join", 1, OutOfRange, 0, 0, 1, 11810, "/join1 srv/a", Joined, 0, 1},
      {"joined on A, tuned to E out of range and F in: join F, no leave", 1, Joined, 1, 0, 1, 12200, "/join1 srv/f", Joined, 5, 1},
      {"voiceless skipped, two in range: the first", 1, NoStation, 0, -1, 1, 12300, "/join1 srv/h", Joined, 7, 1},
      {"joined, three out of range: leave, the third reported", 1, Joined, 1, 0, 1, 12100, "/leave", OutOfRange, 3, 0},
      {"not joined, out of range: no command", 1, NoStation, 0, -1, 1, 12100, "", OutOfRange, 3, 0},
      {"control off while joined, tuned away", 0, Joined, 1, 0, 1, 13000, "", Joined, 0, 1},
      {"voice program missing, station in range", 1, RogerWilcoMissing, 0, -1, 1, 11810, "", RogerWilcoMissing, -1, 0},
  };
  auto at = [&](int index) { return index == -2 ? &olderTable[0] : index < 0 ? nullptr : &table[index]; };
  for (const auto& c : cases) {
    ModuleState state;
    state.active = c.active;
    state.status = c.fromStatus;
    state.joined = c.joined;
    state.selectedStation = at(c.selected);
    state.currentTable.records = table.data();
    state.currentTable.count = static_cast<std::int32_t>(table.size());
    state.currentTable.loaded = c.loaded;
    UpdateVoiceChannel(state, reading(c.frequency, 50.0, 8.0));
    EXPECT_EQ(state.joined.load(), c.joinedAfter) << c.what << ": joined is set before the command goes out";
    EXPECT_EQ(DeliverPendingCommand(state), c.command) << c.what;
    EXPECT_EQ(state.status.load(), c.toStatus) << c.what;
    EXPECT_EQ(state.selectedStation, at(c.selectedAfter)) << c.what;
  }
}

}  // namespace
}  // namespace hv
