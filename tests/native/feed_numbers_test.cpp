// Number fields of the network files: "%u", "%hu", "%lf" and the frequency field.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "feed/portable/FieldNumbers.h"

namespace hv {
namespace {

TEST(ScanNumbers, AsSscanfReadsThem) {
  const struct {
    const char* text;
    std::uint32_t u;   // "%u"
    std::uint16_t hu;  // "%hu"
    double lf;         // "%lf"
  } cases[] = {
      {"703", 703, 703, 703},
      {"", 0, 0, 0},
      {"abc", 0, 0, 0},
      {"-", 0, 0, 0},
      {"\t\r\n 9", 9, 9, 9},                 // leading white space is passed over
      {"+7", 7, 7, 7},
      {"12abc", 12, 12, 12},                 // stops at the first byte that does not fit
      {"-1", 4294967295u, 65535, -1},        // a minus sign wraps around
      {"70000", 70000, 4464, 70000},         // "%hu" keeps the low 16 bits
      {"4294967295", 4294967295u, 65535, 4294967295.0},
      {"0x1A", 0, 0, 26},                    // decimal only, but "%lf" reads hexadecimal
      {"1e3", 1, 1, 1000},
      {"50.03333", 50, 50, 50.03333},
      {"51,1480560302734", 51, 51, 51},      // a decimal comma ends the number
      {".5", 0, 0, 0.5},
      {"12.34.56", 12, 12, 12.34},
      {"834618.396088554", 834618, 48186, 834618.396088554},  // halfway after a 64-bit rounding
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanUnsigned(c.text), c.u) << '"' << c.text << '"';
    EXPECT_EQ(ScanUnsigned16(c.text), c.hu) << '"' << c.text << '"';
    EXPECT_EQ(ScanDouble(c.text), c.lf) << '"' << c.text << '"';
  }
  EXPECT_TRUE(std::signbit(ScanDouble("-0.000")));
  EXPECT_TRUE(std::isinf(ScanDouble("1e400")));
  EXPECT_TRUE(std::isnan(ScanDouble("nan")));
}

// Plain digit strings are converted without sscanf; the result must be the same for any
// text of digits, signs, dots and blanks.
TEST(ScanNumbers, AgreeWithTheCLibrary) {
  std::mt19937 random(11);
  const char alphabet[] = "0123456789000000-+. e";
  for (int round = 0; round < 20000; ++round) {
    std::string text(1 + random() % 22, '0');
    for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
    if (round % 2) {  // mostly well-formed decimals, the common case
      text = (random() % 2 ? "-" : "") + std::to_string(random() % 1000000);
      text.insert(text.size() - random() % std::min<std::size_t>(text.size(), 6), ".");
    }
    unsigned u = 0;
    unsigned short h = 0;
    double d = 0;
    if (std::sscanf(text.c_str(), "%u", &u) != 1) u = 0;
    if (std::sscanf(text.c_str(), "%hu", &h) != 1) h = 0;
    if (std::sscanf(text.c_str(), "%lf", &d) != 1) d = 0;
    ASSERT_EQ(ScanUnsigned(text), u) << text;
    ASSERT_EQ(ScanUnsigned16(text), h) << text;
    const double got = ScanDouble(text);
    ASSERT_EQ(std::memcmp(&got, &d, sizeof d), 0) << text << " gave " << got << ", sscanf " << d;
  }
}

TEST(ScanFrequency, TwoDecimalsMoveOverTheDot) {
  const struct {
    const char* field;
    std::uint16_t frequency;
  } cases[] = {
      {"118.100", 11810}, {"123.450", 12345},
      {"123.455", 12345},  // the third decimal is dropped
      {"118.1", 1181},     // only the decimals that are there
      {"118.", 118},       {"118", 118}, {"", 0}, {"abc.def", 0},
      {"1181.00", 118},    // "118" + ".0": the dot is not looked for
      {"12.345", 12},      // "12." + "45"
      {" 18.100", 1810},   // " 18" + "10"
      {"-18.100", 63726},  // "-1810" read with "%hu"
      {"999.999", 34463},  // 99999 in 16 bits
      {"655.35", 65535},   {"655.36", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ScanFrequency(c.field), c.frequency) << '"' << c.field << '"';
}

}  // namespace
}  // namespace hv
