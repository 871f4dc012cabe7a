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

// Field 4 of the line, upper-cased, is "ATC".
bool PlainIsAtc(const char* p, const char* end) {
  std::string line(p, PlainLineEnd(p, end));
  for (char& c : line) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  std::size_t third = 0;
  for (int colons = 0; colons < 3; ++colons) {
    third = line.find(':', third);
    if (third++ == std::string::npos) return false;
  }
  return line.compare(third, line.find(':', third) - third, "ATC") == 0;
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
    const char* end = text.get() + size;
    const char* start = text.get() + (size ? random() % size : 0);
    const unsigned last = 1 + random() % 36;
    const std::uint64_t want = ((std::uint64_t{random()} << 32 | random()) & ((std::uint64_t{1} << 37) - 2)) |
                               (std::uint64_t{1} << last);
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
      ASSERT_EQ(scanner.findColons(start, end, last, want, at), plainColons) << where;
      for (unsigned k = 1; k <= plainColons; ++k) {
        if ((want >> k) & 1) ASSERT_EQ(at[k], plainAt[k]) << where << " colon " << k;
      }
    }
  }
}

}  // namespace
}  // namespace hv
