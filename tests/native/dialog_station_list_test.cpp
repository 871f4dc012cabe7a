// The settings dialog's station list where the golden lists of hallvoxen-stations and the
// Win32 scenarios (dialog_pick, dialog_choices) do not reach: the exchange sort's order
// around equal distances and NaN, and the line texts of long callsigns, wide distances, a
// distance equal to the range, NaN.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "dialog/portable/StationList.h"

namespace hv {
namespace {

using Lines = std::vector<std::string>;

StationRow row(const char* callsign, float distance, float range = 100.0f, std::uint16_t frequency = 11990) {
  StationRow r{{}, frequency, distance, range};
  std::snprintf(r.callsign, sizeof r.callsign, "%s", callsign);
  return r;
}

TEST(SortRows, NearestFirstByExchange) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct { const char* what; std::vector<StationRow> rows; Lines expected; } cases[] = {
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
    Lines callsigns;
    for (const StationRow& r : rows) callsigns.push_back(r.callsign);
    EXPECT_EQ(callsigns, c.expected) << c.what;
  }
}

TEST(FormatStationLine, Texts) {
  const struct { StationRow row; std::string line; } cases[] = {
      // Ten characters and more start the line without padding and are not cut.
      {row("EURW_FSS_LONGNAME", 1, 300, 13335), "EURW_FSS_LONGNAME  133.35      1nm "},
      // Equal to its range: not marked.
      {row("LFPG_APP", 300, 300, 12572), "  LFPG_APP  125.72    300nm "},
      // Wider than five digits, and a frequency below 100 MHz.
      {row("FAR", 123456, 300, 9999), "       FAR  99.99  123456nm N/R"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatStationLine(c.row), c.line) << c.row.callsign;
  // A distance that is not a number is printed as the C library prints it, unmarked.
  const std::string unknown = FormatStationLine(row("X", std::numeric_limits<float>::quiet_NaN(), 300));
  EXPECT_EQ(unknown.substr(unknown.size() - 3), "nm ") << unknown;
}

}  // namespace
}  // namespace hv
