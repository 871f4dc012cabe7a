// COM1 BCD, fixed-point latitude and longitude, and the hot-key entry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "module/portable/SimConversions.h"

namespace {

std::uint64_t fixed(std::int32_t hi, std::uint32_t lo) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(hi)) << 32 | lo;
}

TEST(Com1Bcd, FourDigitsAfterTheLeadingOneBothWays) {
  const std::uint16_t cases[][2] = {{0x1970, 11970}, {0x3697, 13697}, {0x1800, 11800}, {0x2345, 12345},
                                    {0x1805, 11805}, {0x0000, 10000}, {0x9999, 19999}};
  for (const auto& c : cases) {
    EXPECT_EQ(hv::frequencyFromBcd(c[0]), c[1]) << std::hex << c[0];
    std::uint16_t bcd = 0xBEEF;
    EXPECT_TRUE(hv::bcdFromFrequency(c[1], bcd)) << c[1];
    EXPECT_EQ(bcd, c[0]) << c[1];
  }
  EXPECT_EQ(hv::frequencyFromBcd(0x00FF), 10165) << "digits above 9 are taken as they are";
  EXPECT_EQ(hv::frequencyFromBcd(0xFFFF), 26665);
  for (std::uint16_t outside : {0, 9999, 20000, 65535}) {
    std::uint16_t bcd = 0xBEEF;
    EXPECT_FALSE(hv::bcdFromFrequency(outside, bcd)) << outside;
    EXPECT_EQ(bcd, 0xBEEF);
  }
}

TEST(FixedPointPosition, DecodesTheSimulatorsUnits) {
  struct Case {
    const char* name;
    bool latitude;
    std::uint64_t value;
    double degrees;
  } cases[] = {
      {"south pole", true, fixed(-10001750, 0), -90.0},
      {"north pole", true, fixed(10001750, 0), 90.0},
      {"half a unit of latitude", true, fixed(0, 0x80000000u), 4.499212637788387e-6},
      {"just south of the equator", true, fixed(-1, 0x80000000u), -4.499212637788387e-6},
      {"date line west", false, fixed(INT32_MIN, 0), -180.0},
      {"east", false, fixed(0x40000000, 0), 90.0},
      {"half a unit of longitude", false, fixed(0, 0x80000000u), 4.190951585769653e-8},
  };
  for (const Case& c : cases) {
    double got = c.latitude ? hv::latitudeFromFixed(c.value) : hv::longitudeFromFixed(c.value);
    EXPECT_NEAR(got, c.degrees, std::fabs(c.degrees) * 1e-14 + 1e-20) << c.name;
  }
}

// The substitute simulator places the aircraft with the reverse conversions.
TEST(FixedPointPosition, EncodingAndDecodingAgree) {
  const double places[][2] = {{47.2603, 11.3439}, {-33.9461, 151.1772}, {0.0, 0.0},
                              {-89.999, -179.999}, {1e-7, -1e-7},       {89.999999, 179.999999}};
  for (const auto& p : places) {
    EXPECT_NEAR(hv::latitudeFromFixed(hv::fixedFromLatitude(p[0])), p[0], 1e-12) << p[0];
    EXPECT_NEAR(hv::longitudeFromFixed(hv::fixedFromLongitude(p[1])), p[1], 1e-12) << p[1];
  }
  EXPECT_EQ(hv::fixedFromLatitude(-90.0), fixed(-10001750, 0));
  EXPECT_EQ(hv::fixedFromLongitude(180.0), fixed(INT32_MIN, 0)) << "a full turn wraps";
}

TEST(HotKeyEntry, CodeInByteZeroAndTheModifierFlagInByteOne) {
  struct Case {
    std::uint32_t code, modifier, entry;
  } cases[] = {
      {192, 8, 0x000001C0}, {65, 11, 0x00000141}, {65, 9, 0x00000241}, {65, 10, 0x00000241},
      {65, 0, 0x00000241},  {65, 0x108, 0x00000141},  // only the modifier's low byte counts
      {0x1C0, 8, 0x000001C0},                          // only the code's low byte goes in
  };
  for (const Case& c : cases)
    EXPECT_EQ(hv::hotKeyEntryValue(c.code, c.modifier), c.entry) << c.code << "," << c.modifier;
}

}  // namespace
