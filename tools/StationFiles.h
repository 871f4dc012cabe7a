// Reading a network's files into the station table that the module would build from them,
// with the messages and exit codes that the stations tool gives when that fails.
#pragma once

#include "records/portable/AtcStation.h"

namespace hv {

// Builds `table` from `clientsPath` and, for IVAO, `voicePath` (null for VATSIM).
// 0 on success; otherwise the tool's exit code after a one-line reason on standard error:
// 2 for a file that cannot be read, 1 for a clients file that yields no table.
int LoadStationTable(const char* clientsPath, const char* voicePath, StationTable& table);

}  // namespace hv
