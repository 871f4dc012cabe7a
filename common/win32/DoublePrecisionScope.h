// Code that the simulator's thread runs computes in double precision, whatever precision
// that thread's x87 unit is set to: the simulator's 3-D graphics may lower it to 24 bits
// for speed, which would bend distances and conversions computed there. The scope sets
// the precision control to 53 bits and gives the caller its own control word back.
//
// The 32-bit deliverables compute on the x87 unit (the pilots' CPUs may lack SSE2);
// other builds compute in SSE registers, where the scope does nothing.
#pragma once

#include <cstdint>

namespace hv {

// Bits 8 and 9 of the x87 control word: 00 single, 10 double, 11 extended precision.
constexpr std::uint16_t kPrecisionMask = 0x0300;
constexpr std::uint16_t kDoublePrecision = 0x0200;

class DoublePrecisionScope {
 public:
  DoublePrecisionScope() {
#if defined(__i386__)
    __asm__ __volatile__("fnstcw %0" : "=m"(saved_) : : "memory");
    std::uint16_t wanted = static_cast<std::uint16_t>((saved_ & ~kPrecisionMask) | kDoublePrecision);
    __asm__ __volatile__("fldcw %0" : : "m"(wanted) : "memory");
#endif
  }
  ~DoublePrecisionScope() {
#if defined(__i386__)
    __asm__ __volatile__("fldcw %0" : : "m"(saved_) : "memory");
#endif
  }
  DoublePrecisionScope(const DoublePrecisionScope&) = delete;
  DoublePrecisionScope& operator=(const DoublePrecisionScope&) = delete;

 private:
  std::uint16_t saved_ = 0;
};

}  // namespace hv
