// COM1 BCD both ways, fixed-point positions and the hot-key entry.
#include "module/portable/SimConversions.h"

namespace hv {

namespace {

constexpr double kLatitudeWhole = 8.998425275576774e-6;        // 90 / 10001750
constexpr double kLatitudeFraction = 2.0951091487837895e-15;   // 90 / 10001750 / 2^32
constexpr double kLongitudeWhole = 8.381903171539307e-8;       // 360 / 2^32
constexpr double kLongitudeFraction = 1.951563910473908e-17;   // 360 / 2^32 / 2^32

std::int32_t wholePart(std::uint64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value >> 32));
}
std::uint32_t fractionPart(std::uint64_t value) { return static_cast<std::uint32_t>(value); }

}  // namespace

std::uint16_t frequencyFromBcd(std::uint16_t bcd) {
  unsigned d3 = bcd >> 12 & 0xF, d2 = bcd >> 8 & 0xF, d1 = bcd >> 4 & 0xF, d0 = bcd & 0xF;
  return static_cast<std::uint16_t>(10000 + 1000 * d3 + 100 * d2 + 10 * d1 + d0);
}

bool bcdFromFrequency(std::uint16_t frequency, std::uint16_t& bcd) {
  if (frequency < 10000 || frequency > 19999) return false;
  unsigned v = frequency - 10000u;
  bcd = static_cast<std::uint16_t>((v / 1000) * 4096 + (v / 100 % 10) * 256 + (v / 10 % 10) * 16 + v % 10);
  return true;
}

double latitudeFromFixed(std::uint64_t value) {
  return wholePart(value) * kLatitudeWhole + fractionPart(value) * kLatitudeFraction;
}

double longitudeFromFixed(std::uint64_t value) {
  return wholePart(value) * kLongitudeWhole + fractionPart(value) * kLongitudeFraction;
}

std::uint32_t hotKeyEntryValue(std::uint32_t keyCode, std::uint32_t modifier) {
  std::uint32_t low = modifier & 0xFF;
  std::uint32_t flag = (low == 8 || low == 11) ? 1 : 2;
  return (keyCode & 0xFF) | flag << 8;
}

}  // namespace hv
