// What the settings dialog's station list shows for one network: a row per station that
// has a voice channel, nearest first, or the lines that say why there is nothing to show.
// The rows are copies, so the station tables are locked only while they are read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/portable/AtcStation.h"
#include "records/portable/NetworkFeed.h"
#include "records/portable/ModuleState.h"
#include "records/portable/SimReading.h"

namespace hv {

// One line of the list.
struct StationRow {
  char callsign[32];        // NUL-terminated copy of the station's callsign
  std::uint16_t frequency;  // MHz x 100
  float distance;           // from the aircraft's last reading, in the unit of range
  float range;              // the station's range
};

struct StationList {
  bool loaded = false;             // the network's table has loaded: the lines are the rows
  std::vector<StationRow> rows;    // nearest first; empty unless loaded
  std::vector<std::string> lines;  // the list's text, one entry per line
};

// The list for `network`, read from its feed and the last reading under StationTableLock.
StationList FillStationList(ModuleState& state, Network network);

// The rows of the stations with a voice channel, in table order.
std::vector<StationRow> StationRows(const AtcStation* records, std::int32_t count, const SimReading& from);

// Nearest first by an exchange sort: each position is compared with every later one and
// swapped when strictly farther. Equal distances are never swapped with each other, yet
// their order is not kept (5 B, 5 A, 3 C ends as C, A, B); a distance that is not a
// number swaps nothing.
void SortRows(std::vector<StationRow>& rows);

// "%10s  %3.2f  %5.0fnm %s": callsign, MHz, distance, and "N/R" when the distance is
// greater than the range (shown whether or not range checking is on).
std::string FormatStationLine(const StationRow& row);

}  // namespace hv
