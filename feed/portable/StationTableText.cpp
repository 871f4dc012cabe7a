// Station tables as TAB-separated text (see StationTableText.h).
#include "feed/portable/StationTableText.h"

#include <cstdio>

namespace hv {
namespace {

void AppendTerminated(std::string& out, const char* text, std::size_t size) {
  std::size_t n = 0;
  while (n < size && text[n]) ++n;
  out.append(text, n);
}

}  // namespace

void AppendStationLine(const AtcStation& station, std::string& out) {
  char numbers[1024];  // "%.6f" of a huge value runs to some 320 digits
  std::snprintf(numbers, sizeof numbers, "%u\t", static_cast<unsigned>(station.frequency));
  out += numbers;
  AppendTerminated(out, station.callsign, sizeof station.callsign);
  out += '\t';
  AppendTerminated(out, station.voiceChannel, sizeof station.voiceChannel);
  std::snprintf(numbers, sizeof numbers, "\t%.6f\t%.6f\t%d\t%d\n", station.latitude, station.longitude,
                static_cast<int>(station.facility), static_cast<int>(station.range));
  out += numbers;
}

std::string StationTableText(const StationTable& table) {
  std::string out;
  for (std::int32_t i = 0; i < table.count; ++i) AppendStationLine(table.records[i], out);
  return out;
}

}  // namespace hv
