// What every fuzz target checks of a table it built: the record invariants, and that it
// equals the table of the slow, obvious build.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "feed/portable/StationTableBuilder.h"
#include "fuzz/SlowStationTable.h"

namespace hv::fuzz {

[[noreturn]] inline void Fail(const char* what, int station) {
  std::fprintf(stderr, "fuzz check failed: %s (station %d)\n", what, station);
  std::abort();
}

inline bool Terminated(const char* text, std::size_t size) { return std::memchr(text, 0, size) != nullptr; }

inline void CheckTable(std::string_view clients, const std::string_view* voice) {
  StationTable table;
  table.count = -7;  // a failed build must leave this alone
  const bool built = BuildStationTable(clients, voice, table);
  std::vector<AtcStation> slow;
  if (built != slow::BuildStationTable(clients, voice, slow)) Fail("built differs from the slow build", -1);
  if (!built) {
    if (table.count != -7 || table.records) Fail("a failed build changed the table", -1);
    return;
  }
  if (table.count < 0 || static_cast<std::size_t>(table.count) != slow.size()) Fail("count", -1);
  if ((table.count == 0) != (table.records == nullptr)) Fail("an empty table has no array", -1);
  for (int i = 0; i < table.count; ++i) {
    const AtcStation& s = table.records[i];
    if (!Terminated(s.callsign, sizeof s.callsign)) Fail("callsign not terminated", i);
    if (std::strlen(s.voiceChannel) > 128) Fail("voice channel longer than 128", i);
    if (s.filler[0] || s.filler[1]) Fail("filler", i);
    if (s.facility < 0 || s.facility > 6) Fail("facility", i);
    for (const char* p = s.callsign; *p; ++p) {
      if (*p >= 'a' && *p <= 'z') Fail("callsign not upper-cased", i);
    }
    if (std::memcmp(&s, &slow[i], sizeof s) != 0) Fail("station differs from the slow build", i);
  }
}

}  // namespace hv::fuzz
