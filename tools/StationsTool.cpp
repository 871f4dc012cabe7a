// hallvoxen-stations: prints the station table that the module builds from a network's
// files, or the settings dialog's station list for a position, for pilots and support
// checking what the module sees.
//
//   hallvoxen-stations vatsim CLIENTS_FILE
//   hallvoxen-stations ivao CLIENTS_FILE VOICE_FILE
//   hallvoxen-stations near vatsim|ivao LAT LON [--freq MHZ] [--no-range] FILES
//
// The table: one line per station in table order, fields separated by a TAB: frequency,
// callsign, voice channel, latitude, longitude, facility, range. "near": see
// NearCommand.h. Exit 0 with the output (an empty table prints nothing); exit 1 with a
// reason on standard error when no table can be built; exit 2 on bad arguments or a file
// that cannot be read.
#include <cstdio>
#include <cstring>
#include <string>

#include "feed/portable/StationTableText.h"
#include "tools/NearCommand.h"
#include "tools/StationFiles.h"

namespace {

const char kUsage[] =
    "usage: hallvoxen-stations vatsim CLIENTS_FILE\n"
    "       hallvoxen-stations ivao CLIENTS_FILE VOICE_FILE\n"
    "       hallvoxen-stations near vatsim|ivao LAT LON [--freq MHZ] [--no-range] FILES\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "near") == 0) return hv::RunNear(argc - 2, argv + 2, kUsage);

  const bool vatsim = argc == 3 && std::strcmp(argv[1], "vatsim") == 0;
  const bool ivao = argc == 4 && std::strcmp(argv[1], "ivao") == 0;
  if (!vatsim && !ivao) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  hv::StationTable table;
  if (const int rc = hv::LoadStationTable(argv[2], ivao ? argv[3] : nullptr, table)) return rc;

  const std::string out = hv::StationTableText(table);
  if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 2;
  return std::fflush(stdout) == 0 ? 0 : 2;
}
