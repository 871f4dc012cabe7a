// The settings dialog's station list: which stations get a row, the nearest-first
// exchange sort with its odd order for equal distances, the exact line texts, and the
// lines shown while a network has not loaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "dialog/portable/StationList.h"
#include "tests/support/StationRecords.h"
#include "voice/portable/StationSelection.h"

namespace hv {
namespace {

using hvtest::station;
using Lines = std::vector<std::string>;

StationRow row(const char* callsign, float distance, float range = 100.0f, std::uint16_t frequency = 11990) {
  StationRow r{};
  std::snprintf(r.callsign, sizeof r.callsign, "%s", callsign);
  r.frequency = frequency;
  r.distance = distance;
  r.range = range;
  return r;
}

Lines callsigns(const std::vector<StationRow>& rows) {
  Lines names;
  for (const StationRow& r : rows) names.push_back(r.callsign);
  return names;
}

TEST(SortRows, NearestFirstByExchange) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct { const char* what; std::vector<StationRow> rows; Lines expected; } cases[] = {
      {"empty", {}, {}},
      {"descending", {row("C", 3), row("B", 2), row("A", 1)}, {"A", "B", "C"}},
      // Equal distances are never swapped with each other, but the swaps around them
      // do not keep their order.
      {"equal pair after a nearer one", {row("B", 5), row("A", 5), row("C", 3)}, {"C", "A", "B"}},
      // A comparison with NaN is false both ways: it swaps nothing.
      {"NaN first stays first", {row("N", nan), row("B", 2), row("A", 1)}, {"N", "A", "B"}},
      {"NaN between", {row("B", 2), row("N", nan), row("A", 1)}, {"A", "N", "B"}},
  };
  for (const auto& c : cases) {
    std::vector<StationRow> rows = c.rows;
    SortRows(rows);
    EXPECT_EQ(callsigns(rows), c.expected) << c.what;
  }
}

TEST(FormatStationLine, Texts) {
  const struct { StationRow row; std::string line; } cases[] = {
      {row("EDDF_TWR", 12.3f, 50, 11990), "  EDDF_TWR  119.90     12nm "},
      // Ten characters and more start the line without padding and are not cut.
      {row("EURW_FSS_LONGNAME", 1, 300, 13335), "EURW_FSS_LONGNAME  133.35      1nm "},
      // Beyond its range: marked. Equal to it: not.
      {row("LFPG_APP", 328.1f, 300, 12572), "  LFPG_APP  125.72    328nm N/R"},
      {row("LFPG_APP", 300, 300, 12572), "  LFPG_APP  125.72    300nm "},
      // Wider than five digits, and a frequency below 100 MHz.
      {row("FAR", 123456, 300, 9999), "       FAR  99.99  123456nm N/R"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatStationLine(c.row), c.line) << c.row.callsign;
  // A distance that is not a number is printed as the C library prints it, unmarked.
  const std::string unknown = FormatStationLine(row("X", std::numeric_limits<float>::quiet_NaN(), 300));
  EXPECT_EQ(unknown.substr(unknown.size() - 3), "nm ") << unknown;
}

TEST(FillStationList, RowsOfTheStationsWithAVoiceChannelNearestFirstOrWhyThereAreNone) {
  ModuleState state;
  state.lastReading = hvtest::reading(12200, 50.0, 8.5);
  const AtcStation stations[] = {station(12575, "FAR", "rw.example.net", 52.0, 8.5, 30),
                                 station(11990, "SILENT", "", 50.0, 8.5, 30),
                                 station(12180, "NEAR", "rw.example.net", 50.1, 8.5, 50)};
  NetworkFeed& ivao = state.feeds[Ivao];
  ivao.table.count = 3;
  ivao.table.records = std::make_unique<AtcStation[]>(3);
  std::copy(stations, stations + 3, ivao.table.records.get());
  EXPECT_EQ(FillStationList(state, Ivao).lines, (Lines{"Server IVAO", "not yet connected."}));
  ivao.attempted = 1;
  ivao.lastError = "The server name or address could not be resolved";
  const StationList failed = FillStationList(state, Ivao);
  EXPECT_FALSE(failed.loaded);
  EXPECT_TRUE(failed.rows.empty());
  EXPECT_EQ(failed.lines, (Lines{"Failed to access", "Server IVAO:", "The server name or address could not be resolved"}));

  ivao.loaded = 1;
  const StationList list = FillStationList(state, Ivao);
  EXPECT_TRUE(list.loaded);
  ASSERT_EQ(callsigns(list.rows), (Lines{"NEAR", "FAR"}));
  EXPECT_FLOAT_EQ(list.rows[0].distance, static_cast<float>(StationDistance(state.lastReading, stations[2])));
  EXPECT_EQ(list.lines, (Lines{"      NEAR  121.80      7nm ", "       FAR  125.75    138nm N/R"}));
  EXPECT_EQ(FillStationList(state, Vatsim).lines, (Lines{"Server VATSIM", "not yet connected."}))
      << "each network's own feed is read";
  EXPECT_TRUE(state.tableLock.tryAcquire()) << "the lock is released";

  // Loaded, but no station has a voice channel: an empty list that is still "loaded".
  state.tableLock.release();
  ivao.table.records[0] = stations[1];
  ivao.table.count = 1;
  const StationList empty = FillStationList(state, Ivao);
  EXPECT_TRUE(empty.loaded);
  EXPECT_TRUE(empty.lines.empty());
}

}  // namespace
}  // namespace hv
