#include "tools/StationFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "feed/portable/StationTableBuilder.h"

namespace hv {

namespace {

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

int LoadStationTable(const char* clientsPath, const char* voicePath, StationTable& table) {
  std::string clients;
  std::string voice;
  const char* paths[] = {clientsPath, voicePath};
  std::string* texts[] = {&clients, &voice};
  for (int i = 0; i < 2 && paths[i] != nullptr; ++i) {
    // A directory opens on some systems and fails only when read; errno says why either way.
    errno = 0;
    if (!ReadFile(paths[i], *texts[i])) {
      std::fprintf(stderr, "hallvoxen-stations: cannot read %s: %s\n", paths[i],
                   std::strerror(errno != 0 ? errno : EIO));
      return 2;
    }
  }
  const std::string_view voiceText(voice);
  if (!BuildStationTable(clients, voicePath != nullptr ? &voiceText : nullptr, table)) {
    std::fprintf(stderr,
                 "hallvoxen-stations: no station table: %s has no \"CONNECTED CLIENTS\" key in a "
                 "\"!GENERAL\" section (or there is not enough memory)\n",
                 clientsPath);
    return 1;
  }
  return 0;
}

}  // namespace hv
