// Builds a network's StationTable from its downloaded files: the clients file alone for
// VATSIM, where each controller's voice channel is found in its information text, or the
// clients file and the voice file for IVAO.
#pragma once

#include <string_view>

#include "records/portable/AtcStation.h"
#include "feed/portable/NetworkText.h"  // FindKey, for the status file's "url0" and "url1"

namespace hv {

// Builds a new table from `clientsText` and, for IVAO, `*voiceText` (null for VATSIM).
// False when the clients text has no "CONNECTED CLIENTS" key in its "!GENERAL" section
// (or the table's memory cannot be had); `table` is then untouched. On success `table`
// is replaced by the new one (possibly empty).
bool BuildStationTable(std::string_view clientsText, const std::string_view* voiceText,
                       StationTable& table);

}  // namespace hv
