// What every fuzz target checks of a table it built, besides what the sanitizers watch:
// a failed build leaves the table alone, and every record keeps the record's invariants.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "feed/portable/StationTableBuilder.h"

namespace hv::fuzz {

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void CheckTable(std::string_view clients, const std::string_view* voice) {
  StationTable table;
  table.count = -7;
  if (!BuildStationTable(clients, voice, table)) {
    if (table.count != -7 || table.records) Fail("a failed build changed the table");
    return;
  }
  if (table.count < 0 || (table.count == 0) != (table.records == nullptr)) Fail("count or array");
  for (int i = 0; i < table.count; ++i) {
    const AtcStation& s = table.records[i];
    if (!std::memchr(s.callsign, 0, sizeof s.callsign) || std::strlen(s.voiceChannel) > 128) Fail("text not terminated");
    if (s.filler[0] || s.filler[1] || s.facility < 0 || s.facility > 6) Fail("filler or facility");
    for (const char* p = s.callsign; *p; ++p)
      if (*p >= 'a' && *p <= 'z') Fail("callsign not upper-cased");
  }
}

}  // namespace hv::fuzz
