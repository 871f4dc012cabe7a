// The settings dialog's station list, built from copies of one network's table so that
// the table is locked only while it is read.
#include "dialog/portable/StationList.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "voice/portable/StationSelection.h"

namespace hv {


std::vector<StationRow> StationRows(const AtcStation* records, std::int32_t count, const SimReading& from) {
  std::vector<StationRow> rows;
  if (records == nullptr || count < 1) return rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const AtcStation& station = records[i];
    if (station.voiceChannel[0] == '\0') continue;
    StationRow row{};
    std::memcpy(row.callsign, station.callsign, sizeof row.callsign);
    row.callsign[sizeof row.callsign - 1] = '\0';
    row.frequency = station.frequency;
    row.distance = static_cast<float>(StationDistance(from, station));
    row.range = static_cast<float>(station.range);
    rows.push_back(row);
  }
  return rows;
}

void SortRows(std::vector<StationRow>& rows) {
  for (std::size_t i = 0; i + 1 < rows.size(); ++i)
    for (std::size_t j = i + 1; j < rows.size(); ++j)
      if (rows[i].distance > rows[j].distance) std::swap(rows[i], rows[j]);
}

std::string FormatStationLine(const StationRow& row) {
  // A callsign of 31 characters, a frequency of 655.35 MHz and the widest float fit
  // well within this.
  char line[128];
  std::snprintf(line, sizeof line, "%10s  %3.2f  %5.0fnm %s", row.callsign, row.frequency * 0.01,
                static_cast<double>(row.distance), row.distance > row.range ? "N/R" : "");
  return line;
}

StationList FillStationList(ModuleState& state, Network network) {
  StationList list;
  const char* name = networkName(network);
  char text[64];
  StationTableGuard guard(state.tableLock);
  const NetworkFeed& feed = state.feeds[network];
  list.loaded = feed.loaded.load() != 0;
  if (!list.loaded) {
    if (feed.attempted.load() != 0) {
      list.lines.push_back("Failed to access");
      std::snprintf(text, sizeof text, "Server %s:", name);
      list.lines.push_back(text);
      list.lines.push_back(feed.lastError);
    } else {
      std::snprintf(text, sizeof text, "Server %s", name);
      list.lines.push_back(text);
      list.lines.push_back("not yet connected.");
    }
    return list;
  }
  list.rows = StationRows(feed.table.records.get(), feed.table.count, state.lastReading);
  SortRows(list.rows);
  list.lines.reserve(list.rows.size());
  for (const StationRow& row : list.rows) list.lines.push_back(FormatStationLine(row));
  return list;
}

}  // namespace hv
