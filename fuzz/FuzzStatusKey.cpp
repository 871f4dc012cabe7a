// libFuzzer target: the key search of the status file ("url0", "url1") and of the
// "!GENERAL" sections, and the line and field helpers, compared with the plain reading of
// the same rules in SlowStationTable.h.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "feed/portable/NetworkText.h"
#include "fuzz/SlowStationTable.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> lines = hv::slow::Lines(text);
  struct Search {
    const char* section;
    const char* key;
  };
  static const Search searches[] = {{nullptr, "url0"},
                                    {nullptr, "url1"},
                                    {"!GENERAL", "CONNECTED CLIENTS"},
                                    {"!GENERAL", "CONNECTED VOICE SERVERS"},
                                    {"!GENERAL", "CONNECTED VOICE CLIENTS"}};
  for (const Search& s : searches) {
    std::string fast = "-";
    std::string_view slow;
    const bool found = hv::FindKey(text, s.section, s.key, fast);
    if (found != hv::slow::Key(lines, s.section, s.key, slow)) Fail("found differs");
    if (found ? fast != slow : fast != "-") Fail("value differs");
  }

  // NextLine walks the same lines, and GetField reads the same fields.
  std::size_t pos = 0;
  for (std::string_view line : lines) {
    if (pos != static_cast<std::size_t>(line.data() - text.data())) Fail("NextLine");
    for (unsigned n = 1; n <= 4; ++n) {
      if (hv::GetField(text, pos, n) != hv::slow::Field(line, n)) Fail("GetField");
    }
    pos = hv::NextLine(text, pos);
  }
  if (pos != text.size()) Fail("NextLine past the last line");
  return 0;
}
