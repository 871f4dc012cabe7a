// A station table as text, one line per station in table order, fields separated by a
// TAB: frequency, callsign, voice channel, latitude ("%.6f"), longitude ("%.6f"),
// facility, range; LF line ends. This is what hallvoxen-stations prints.
#pragma once

#include <string>

#include "records/portable/AtcStation.h"

namespace hv {

void AppendStationLine(const AtcStation& station, std::string& out);
std::string StationTableText(const StationTable& table);

}  // namespace hv
