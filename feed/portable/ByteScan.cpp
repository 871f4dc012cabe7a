// Line ends, colons and ATC lines found a 32-bit word at a time (see ByteScan.h).
//
// The word is 32 bits on every build, so the speed measured by the native benchmark is
// that of the code the 32-bit module runs: no SIMD, nothing chosen by processor.
#include "feed/portable/ByteScan.h"

#include <cstring>

namespace hv {
namespace {

using Word = std::uint32_t;
constexpr Word kOnes = 0x01010101u;
constexpr Word kLows = 0x7F7F7F7Fu;
constexpr Word kHighs = 0x80808080u;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte of a word is its lowest");

Word Load(const char* p) {
  Word w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// The offset in its word of the byte that the lowest bit of `hits` marks.
unsigned FirstByte(Word hits) { return static_cast<unsigned>(__builtin_ctz(hits)) >> 3; }

// 0x80 in each byte of `w` that equals `c`, 0 in the others.
Word Equal(Word w, unsigned char c) {
  const Word x = w ^ (kOnes * c);
  return ~(((x & kLows) + kLows) | x | kLows);
}

// 0x80 in each byte of `w` that is below 0x0E (so in every CR, 0x0D, and LF, 0x0A), and
// perhaps in bytes above the first such byte, through the borrow: the flagged bytes are
// looked at one by one. Cheaper than two exact tests, and a text seldom holds other bytes
// below 0x0E.
Word Low(Word w) { return (w - kOnes * 0x0E) & ~w & kHighs; }

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// The first line end among the bytes that `flagged` marks in the word at `p`, or null.
const char* LineEndIn(const char* p, Word flagged) {
  for (; flagged; flagged &= flagged - 1) {
    if (IsLineEnd(p[FirstByte(flagged)])) return p + FirstByte(flagged);
  }
  return nullptr;
}

}  // namespace

const char* FindLineEnd(const char* p, const char* end) {
  // Sixteen bytes a round; only a round with a byte below 0x0E is looked into.
  for (; end - p >= 16; p += 16) {
    const Word a = Load(p);
    const Word b = Load(p + 4);
    const Word c = Load(p + 8);
    const Word d = Load(p + 12);
    // Low() of the four words at once: a byte below 0x0E in any word is flagged, and so,
    // now and then, a byte of 0x8E or more (rare in these texts) where another word has
    // one below 0x80; the words are then looked at one by one.
    const Word k = kOnes * 0x0E;
    if (!(((a - k) | (b - k) | (c - k) | (d - k)) & ~(a & b & c & d) & kHighs)) continue;
    if (const char* found = LineEndIn(p, Low(a))) return found;
    if (const char* found = LineEndIn(p + 4, Low(b))) return found;
    if (const char* found = LineEndIn(p + 8, Low(c))) return found;
    if (const char* found = LineEndIn(p + 12, Low(d))) return found;
  }
  for (; end - p >= 4; p += 4) {
    if (const char* found = LineEndIn(p, Low(Load(p)))) return found;
  }
  while (p < end && !IsLineEnd(*p)) ++p;
  return p;
}

bool ScanClientLine(const char* p, const char* end, const char*& lineEnd) {
  // The colons and the line ends, in order, until the third colon or the line's end.
  int colons = 0;
  const char* field4 = nullptr;
  auto stop = [&](const char* q) {
    if (*q == ':') {
      if (++colons < 3) return false;
      field4 = q + 1;
      return true;
    }
    if (!IsLineEnd(*q)) return false;
    lineEnd = q;
    return true;
  };
  for (; end - p >= 4 && !field4; p += 4) {
    const Word w = Load(p);
    for (Word flagged = Equal(w, ':') | Low(w); flagged; flagged &= flagged - 1) {
      if (stop(p + FirstByte(flagged))) {
        if (!field4) return false;  // fewer than four fields
        break;
      }
    }
  }
  for (; !field4 && p < end; ++p) {
    if (stop(p) && !field4) return false;
  }
  if (!field4) {
    lineEnd = end;
    return false;
  }
  lineEnd = FindLineEnd(field4, end);
  return IsAtcField(field4, lineEnd);
}

unsigned FindColons(const char* p, const char* end, unsigned last, std::uint64_t wanted, const char** at) {
  unsigned colons = 0;
  auto take = [&](const char* colon) {
    ++colons;
    if ((wanted >> colons) & 1) at[colons] = colon;
    return colons == last;
  };
  for (; end - p >= 4; p += 4) {
    for (Word hits = Equal(Load(p), ':'); hits; hits &= hits - 1) {
      if (take(p + FirstByte(hits))) return colons;
    }
  }
  for (; p < end; ++p) {
    if (*p == ':' && take(p)) break;
  }
  return colons;
}

}  // namespace hv
