// sscanf-exact number reading for the network files (see FieldNumbers.h).
#include "feed/portable/FieldNumbers.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace hv {
namespace {

// Copies at most kMaxNumberText bytes of `text` into `buffer` with a terminating NUL.
const char* Terminated(std::string_view text, char (&buffer)[kMaxNumberText + 1]) {
  const std::size_t n = text.size() < kMaxNumberText ? text.size() : kMaxNumberText;
  if (n) std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return buffer;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Up to 9 digits and nothing else: the value cannot overflow 32 bits.
bool ShortDigits(std::string_view text, std::uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  std::uint32_t v = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    v = v * 10 + static_cast<std::uint32_t>(c - '0');
  }
  value = v;
  return true;
}

constexpr long double kPowers[] = {1e0L, 1e1L, 1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,
                                   1e8L, 1e9L, 1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L};

// `digits` over 10^decimals (both exact, digits below 10^15), rounded to a double as sscanf
// rounds it: correctly. The division is done in the x87 unit's long double, on every build,
// so the 32-bit module and the native tests run the same code: it rounds the quotient once,
// to the precision the thread has set. At 53 bits (a new Windows thread's default) that is
// the double itself. At 64 bits (Linux's default) the double rounding that follows is
// right unless the first rounding landed exactly halfway between two doubles, which the
// lowest 11 of the 64 bits tell: false then, and sscanf decides. (The simulator's thread,
// whose precision its graphics may lower to 24 bits, never reads the network files.)
bool Quotient(std::uint64_t digits, int decimals, double& value) {
  static_assert(std::numeric_limits<long double>::digits == 64, "long double is the x87 extended format");
  const long double quotient = static_cast<long double>(digits) / kPowers[decimals];
  std::uint64_t significand;
  std::memcpy(&significand, &quotient, sizeof significand);
  if ((significand & 0x7FF) == 0x400) return false;
  value = static_cast<double>(quotient);
  return true;
}

}  // namespace

std::uint32_t ScanUnsigned(std::string_view text) {
  std::uint32_t value = 0;
  if (ShortDigits(text, value)) return value;
  char buffer[kMaxNumberText + 1];
  unsigned converted = 0;
  if (std::sscanf(Terminated(text, buffer), "%u", &converted) != 1) return 0;
  return converted;
}

std::uint16_t ScanUnsigned16(std::string_view text) {
  std::uint32_t value = 0;
  if (ShortDigits(text, value)) return static_cast<std::uint16_t>(value);
  char buffer[kMaxNumberText + 1];
  unsigned short converted = 0;
  if (std::sscanf(Terminated(text, buffer), "%hu", &converted) != 1) return 0;
  return converted;
}

double ScanDouble(std::string_view text) {
  // [-]digits[.digits] with at most 15 digits: one division (see Quotient).
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  std::uint64_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  bool dot = false;
  bool plain = true;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      ++digits;
      if (dot) ++decimals;
    } else if (c == '.' && !dot && digits > 0) {
      dot = true;
    } else {
      plain = false;
      break;
    }
  }
  double value = 0;
  if (plain && digits > 0 && digits <= 15 && (!dot || decimals > 0) && Quotient(mantissa, decimals, value)) {
    return negative ? -value : value;
  }
  char buffer[kMaxNumberText + 1];
  double converted = 0;
  if (std::sscanf(Terminated(text, buffer), "%lf", &converted) != 1) return 0;
  return converted;
}

std::uint16_t ScanFrequency(std::string_view field) {
  char text[5];
  std::size_t n = 0;
  for (std::size_t i = 0; i < field.size() && i < 6; ++i) {
    if (i != 3) text[n++] = field[i];
  }
  return ScanUnsigned16(std::string_view(text, n));
}

}  // namespace hv
