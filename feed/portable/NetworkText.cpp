// Lines, sections, keys and fields of the network files (see NetworkText.h).
#include "feed/portable/NetworkText.h"

#include <algorithm>

namespace hv {

bool FindSection(std::string_view text, const char* header, std::size_t& linesStart) {
  const std::size_t headerLength = std::strlen(header);
  LineCursor cursor(text, 0);
  for (;;) {
    const char* line = cursor.Line();
    if (static_cast<std::size_t>(cursor.LineEnd() - line) >= headerLength &&
        std::memcmp(line, header, headerLength) == 0) {
      cursor.Next();
      linesStart = static_cast<std::size_t>(cursor.Line() - TextBytes(text));
      return true;
    }
    if (cursor.AtEnd()) return false;
    cursor.Next();
  }
}

bool FindKeyView(std::string_view text, const char* section, const char* key,
                 std::string_view& value) {
  std::size_t start = 0;
  if (section && !FindSection(text, section, start)) return false;
  const std::size_t keyLength = std::strlen(key);
  for (LineCursor cursor(text, start); !cursor.AtEnd(); cursor.Next()) {
    const char* line = cursor.Line();
    const char* lineEnd = cursor.LineEnd();
    if (section && line < lineEnd && *line == '!') return false;
    const char* equals =
        static_cast<const char*>(std::memchr(line, '=', static_cast<std::size_t>(lineEnd - line)));
    if (!equals) continue;
    const char* nameEnd = equals;
    while (nameEnd > line && nameEnd[-1] == ' ') --nameEnd;
    const std::size_t nameLength = static_cast<std::size_t>(nameEnd - line);
    if (nameLength > keyLength || std::memcmp(key, line, nameLength) != 0) continue;
    const char* v = equals + 1;
    while (v < lineEnd && *v == ' ') ++v;
    value = std::string_view(v, std::min<std::size_t>(static_cast<std::size_t>(lineEnd - v), kMaxKeyValue));
    return true;
  }
  return false;
}

bool FindKey(std::string_view text, const char* section, const char* key, std::string& value) {
  std::string_view found;
  if (!FindKeyView(text, section, key, found)) return false;
  value.assign(found.data(), found.size());
  return true;
}

std::string_view GetField(std::string_view text, std::size_t line, unsigned n) {
  if (n == 0 || line >= text.size()) return {};
  const char* p = text.data() + line;
  const char* end = FindLineEnd(p, text.data() + text.size());
  for (unsigned i = 1; i < n; ++i) {
    const void* colon = std::memchr(p, ':', static_cast<std::size_t>(end - p));
    if (!colon) return {};
    p = static_cast<const char*>(colon) + 1;
  }
  const void* colon = std::memchr(p, ':', static_cast<std::size_t>(end - p));
  return std::string_view(p, static_cast<std::size_t>((colon ? static_cast<const char*>(colon) : end) - p));
}

}  // namespace hv
