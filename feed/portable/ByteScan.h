// Fast searches over the bytes of a network file: the end of a line (its first CR or
// LF), the colons of a line, and, for a client line, whether field 4 is "ATC", both in one
// pass. Plain integer code, the same on every build and every processor: four bytes are
// tested at a time in a 32-bit word, and only a word that may hold a wanted byte is
// looked at byte by byte. Nothing is read outside [p, end).
#pragma once

#include <cstdint>

namespace hv {

// The first CR or LF in [p, end), or end.
const char* FindLineEnd(const char* p, const char* end);

// Finds the end of the line that starts at `p` (its first CR or LF, or end) and tells
// whether it is an ATC line: its field 4, upper-cased, is "ATC".
bool ScanClientLine(const char* p, const char* end, const char*& lineEnd);

// Locates the colons of [p, end) up to the `last`-th: the k-th colon is stored in at[k]
// when bit k of `wanted` is set (bit `last` must be), and at[k] is left alone for the
// others, which are only counted. Returns the number of colons passed (at most `last`).
unsigned FindColons(const char* p, const char* end, unsigned last, std::uint64_t wanted, const char** at);

// Field 4 of a line, starting at `f`, upper-cased equals "ATC"; (c | 0x20) folds exactly
// 'A'/'a', 'T'/'t' and 'C'/'c'.
inline bool IsAtcField(const char* f, const char* lineEnd) {
  return lineEnd - f >= 3 && (f[0] | 0x20) == 'a' && (f[1] | 0x20) == 't' && (f[2] | 0x20) == 'c' &&
         (lineEnd - f == 3 || f[3] == ':');
}

}  // namespace hv
