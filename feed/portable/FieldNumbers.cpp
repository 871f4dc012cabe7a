// sscanf-exact number reading for the network files (see FieldNumbers.h).
#include "feed/portable/FieldNumbers.h"

#include <cfloat>
#include <cstdio>
#include <cstring>

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
#if FLT_EVAL_METHOD == 0
  // [-]digits[.digits] with at most 15 digits: the digits as a whole number and a power of
  // ten are both exact doubles, so one division gives the correctly rounded value, which
  // is what sscanf gives too.
  {
    static const double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
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
    if (plain && digits > 0 && digits <= 15 && (!dot || decimals > 0)) {
      const double v = static_cast<double>(mantissa) / kPowers[decimals];
      return negative ? -v : v;
    }
  }
#endif
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
