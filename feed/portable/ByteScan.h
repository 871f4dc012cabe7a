// Fast searches over the bytes of a network file: the end of a line (its first CR or
// LF), and, for a client line, whether field 4 is "ATC", both in one pass. Sixteen bytes
// are compared at a time with SSE2 (every x86-64 build), thirty-two with AVX2 where the
// processor has it (chosen when the program runs); otherwise byte by byte. Nothing is
// read outside [p, end).
#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define HV_BYTESCAN_SSE2 1
#endif

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

// The implementations, for tests that hold them against each other: byte by byte, SSE2
// (x86-64 builds) and AVX2 (when the processor has it). The last is the one in use.
struct ByteScanner {
  const char* name;
  const char* (*findLineEnd)(const char* p, const char* end);
  bool (*scanClientLine)(const char* p, const char* end, const char*& lineEnd);
  unsigned (*findColons)(const char* p, const char* end, unsigned last, std::uint64_t wanted, const char** at);
};
const ByteScanner* ByteScanners(int& count);

// Field 4 of a line, starting at `f`, upper-cased equals "ATC"; (c | 0x20) folds exactly
// 'A'/'a', 'T'/'t' and 'C'/'c'.
inline bool IsAtcField(const char* f, const char* lineEnd) {
  return lineEnd - f >= 3 && (f[0] | 0x20) == 'a' && (f[1] | 0x20) == 't' && (f[2] | 0x20) == 'c' &&
         (lineEnd - f == 3 || f[3] == ':');
}

}  // namespace hv
