// libFuzzer target: the key search of the status file ("url0", "url1") and of the
// "!GENERAL" sections, compared with a line-by-line search written out with NextLine,
// and the field and line helpers on the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "feed/portable/NetworkText.h"

namespace {

std::string_view LineAt(std::string_view text, std::size_t pos) {
  std::size_t end = pos;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  return text.substr(pos, end - pos);
}

bool SlowFindKey(std::string_view text, const char* section, std::string_view key, std::string& value) {
  std::size_t pos = 0;
  if (section) {
    const std::string_view header(section);
    for (;; pos = hv::NextLine(text, pos)) {
      if (LineAt(text, pos).substr(0, header.size()) == header) break;
      if (pos >= text.size()) return false;
    }
    pos = hv::NextLine(text, pos);
  }
  for (; pos < text.size(); pos = hv::NextLine(text, pos)) {
    const std::string_view line = LineAt(text, pos);
    if (section && !line.empty() && line[0] == '!') return false;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = line.substr(0, equals);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (key.substr(0, name.size()) != name || name.size() > key.size()) continue;
    std::string_view v = line.substr(equals + 1);
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    value.assign(v.substr(0, 511));
    return true;
  }
  return false;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
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
    std::string slow = "-";
    const bool found = hv::FindKey(text, s.section, s.key, fast);
    if (found != SlowFindKey(text, s.section, s.key, slow)) Fail("found differs");
    if (fast != slow) Fail("value differs");
    if (found && (fast.size() > hv::kMaxKeyValue || fast.find_first_of("\r\n") != std::string::npos)) {
      Fail("value beyond its line or its limit");
    }
  }

  // Lines: NextLine always moves on inside the text; fields never cross a line end.
  std::size_t lines = 0;
  for (std::size_t pos = 0; pos < text.size(); ++lines) {
    const std::size_t next = hv::NextLine(text, pos);
    if (next <= pos || next > text.size()) Fail("NextLine");
    const std::string_view line = LineAt(text, pos);
    for (unsigned n = 1; n <= 4; ++n) {
      const std::string_view field = hv::GetField(text, pos, n);
      if (field.data() + field.size() > line.data() + line.size() && !field.empty()) Fail("field beyond its line");
      if (field.find(':') != std::string_view::npos) Fail("field holds a colon");
    }
    pos = next;
  }
  std::size_t linesStart = 0;
  if (hv::FindSection(text, "!CLIENTS", linesStart) && linesStart > text.size()) Fail("FindSection");
  (void)lines;
  return 0;
}
