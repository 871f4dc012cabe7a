// The byte scanners (byte by byte, SSE2, AVX2) against the plain reading of the same
// bytes, on random texts held in buffers of exactly their size, so that AddressSanitizer
// catches any read past the end.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "feed/portable/ByteScan.h"

namespace hv {
namespace {

const char* PlainLineEnd(const char* p, const char* end) {
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}

bool PlainIsAtc(const char* p, const char* end) {
  const char* lineEnd = PlainLineEnd(p, end);
  std::string field;
  int colons = 0;
  for (; p < lineEnd; ++p) {
    if (*p == ':') {
      if (++colons == 4) break;
    } else if (colons == 3) {
      field += static_cast<char>(*p >= 'a' && *p <= 'z' ? *p - 32 : *p);
    }
  }
  return colons >= 3 && field == "ATC";
}

TEST(ByteScan, EveryScannerAgreesWithThePlainReading) {
  int count = 0;
  const ByteScanner* scanners = ByteScanners(count);
  ASSERT_GE(count, 1);
  std::mt19937 random(23);
  const char alphabet[] = {':', ':', ':', '\r', '\n', 'a', 'A', 't', 'T', 'c', 'C', 'x', '\0', '\xA7'};
  for (int round = 0; round < 20000; ++round) {
    const std::size_t size = random() % 160;
    std::unique_ptr<char[]> text(new char[size ? size : 1]);
    for (std::size_t i = 0; i < size; ++i) {
      text[i] = random() % 3 ? alphabet[5 + random() % 9] : alphabet[random() % 5];
    }
    if (size >= 8 && random() % 2) std::memcpy(text.get() + random() % (size - 7), ":x:ATC:", 7);
    const char* begin = text.get();
    const char* end = begin + size;
    const char* start = begin + (size ? random() % size : 0);
    const std::uint64_t wanted = (std::uint64_t{random()} << 32 | random()) & ((std::uint64_t{1} << 37) - 2);
    const unsigned last = 1 + random() % 36;

    // The plain colon positions.
    const char* plainAt[64] = {};
    unsigned plainColons = 0;
    for (const char* p = start; p < end && plainColons < last; ++p) {
      if (*p == ':') plainAt[++plainColons] = p;
    }
    for (int s = 0; s < count; ++s) {
      const ByteScanner& scanner = scanners[s];
      const std::string where = std::string(scanner.name) + " on " + std::string(start, end) + "|";
      ASSERT_EQ(scanner.findLineEnd(start, end), PlainLineEnd(start, end)) << where;
      const char* lineEnd = nullptr;
      ASSERT_EQ(scanner.scanClientLine(start, end, lineEnd), PlainIsAtc(start, end)) << where;
      ASSERT_EQ(lineEnd, PlainLineEnd(start, end)) << where;
      const char* at[64] = {};
      const std::uint64_t want = wanted | (std::uint64_t{1} << last);
      ASSERT_EQ(scanner.findColons(start, end, last, want, at), plainColons) << where;
      for (unsigned k = 1; k <= plainColons; ++k) {
        if ((want >> k) & 1) ASSERT_EQ(at[k], plainAt[k]) << where << " colon " << k;
      }
    }
  }
}

}  // namespace
}  // namespace hv
