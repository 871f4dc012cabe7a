// hallvoxen-stations: prints the station table that the module builds from a network's
// files, for pilots and support checking what the module sees.
//
//   hallvoxen-stations vatsim CLIENTS_FILE
//   hallvoxen-stations ivao CLIENTS_FILE VOICE_FILE
//
// One line per station in table order, fields separated by a TAB: frequency, callsign,
// voice channel, latitude, longitude, facility, range. Exit 0 with the table (an empty
// table prints nothing); exit 1 with a reason on standard error when no table can be
// built; exit 2 on bad arguments or a file that cannot be read.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "feed/portable/StationTableBuilder.h"
#include "feed/portable/StationTableText.h"

namespace {

const char kUsage[] =
    "usage: hallvoxen-stations vatsim CLIENTS_FILE | hallvoxen-stations ivao CLIENTS_FILE VOICE_FILE\n";

bool ReadFile(const char* path, std::string& text) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  char buffer[1 << 16];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const bool vatsim = argc == 3 && std::strcmp(argv[1], "vatsim") == 0;
  const bool ivao = argc == 4 && std::strcmp(argv[1], "ivao") == 0;
  if (!vatsim && !ivao) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string clients;
  std::string voice;
  for (int i = 2; i < argc; ++i) {
    if (!ReadFile(argv[i], i == 2 ? clients : voice)) {
      std::fprintf(stderr, "hallvoxen-stations: cannot read %s: %s\n", argv[i], std::strerror(errno));
      return 2;
    }
  }

  hv::StationTable table;
  const std::string_view voiceText(voice);
  if (!hv::BuildStationTable(clients, ivao ? &voiceText : nullptr, table)) {
    std::fprintf(stderr,
                 "hallvoxen-stations: no station table: %s has no \"CONNECTED CLIENTS\" key in a "
                 "\"!GENERAL\" section (or there is not enough memory)\n",
                 argv[2]);
    return 1;
  }

  const std::string out = hv::StationTableText(table);
  if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 2;
  return std::fflush(stdout) == 0 ? 0 : 2;
}
