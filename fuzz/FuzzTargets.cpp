// libFuzzer targets, one build of this file each (HV_FUZZ_TARGET), that abort on a broken
// invariant besides what the sanitizers watch:
//   vatsim_table  the input as a VATSIM clients file;
//   ivao_table    as an IVAO clients file and voice file, split at the first NUL byte (no
//                 NUL: an empty voice file);
//   status_key    the key search of the status file ("url0") and of the "!GENERAL" section,
//                 and the line and field walk: values within their limit, lines that move on.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "feed/portable/NetworkText.h"
#include "feed/portable/StationTableBuilder.h"

#define HV_FUZZ_CHECK(condition) \
  if (!(condition)) std::fprintf(stderr, "fuzz check failed: %s\n", #condition), std::abort()

namespace {

constexpr std::string_view kTarget = HV_FUZZ_TARGET;
constexpr auto npos = std::string_view::npos;

// A failed build leaves the table alone; a built one keeps the record's invariants.
void CheckTable(std::string_view clients, const std::string_view* voice) {
  hv::StationTable table;
  table.count = -7;
  if (!hv::BuildStationTable(clients, voice, table)) {
    HV_FUZZ_CHECK(table.count == -7 && !table.records);
    return;
  }
  HV_FUZZ_CHECK(table.count >= 0 && (table.count == 0) == (table.records == nullptr));
  for (int i = 0; i < table.count; ++i) {
    const hv::AtcStation& s = table.records[i];
    HV_FUZZ_CHECK(std::memchr(s.callsign, 0, sizeof s.callsign) && std::strlen(s.voiceChannel) <= 128);
    HV_FUZZ_CHECK(!s.filler[0] && !s.filler[1] && s.facility >= 0 && s.facility <= 6);
    for (const char* p = s.callsign; *p; ++p) HV_FUZZ_CHECK(*p < 'a' || *p > 'z');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (kTarget == "vatsim_table") CheckTable(input, nullptr);
  if (kTarget == "ivao_table") {
    const std::size_t nul = std::min(input.find('\0'), size);
    const std::string_view voice = input.substr(std::min(nul + 1, size));
    CheckTable(input.substr(0, nul), &voice);
  }
  if (kTarget == "status_key") {
    std::string value;
    HV_FUZZ_CHECK(!hv::FindKey(input, nullptr, "url0", value) || value.size() <= 511);
    HV_FUZZ_CHECK(!hv::FindKey(input, "!GENERAL", "CONNECTED CLIENTS", value) || value.find_first_of("\r\n") == npos);
    for (hv::LineCursor cursor(input, 0); !cursor.AtEnd();) {
      const char* line = cursor.Line();
      HV_FUZZ_CHECK(hv::GetField(input, static_cast<std::size_t>(line - hv::TextBytes(input)), 2).find_first_of("\r\n:") == npos);
      cursor.Next();
      HV_FUZZ_CHECK(cursor.Line() > line && cursor.Line() <= cursor.End());
    }
  }
  return 0;
}
