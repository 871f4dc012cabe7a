// Calls into the module the way another add-on compiled by anyone would: through a plain
// stdcall function pointer, watching the stack pointer and the x87 control word that the
// caller had. A stdcall export removes its own arguments; one that did not (or removed
// too many) would leave the caller's stack pointer moved, which compiled callers never
// check and which breaks them later in ways far from the cause.
#pragma once

#include <cstdint>

namespace smoke32 {

struct ProbedCall {
  std::uint32_t value = 0;     // EAX
  std::int32_t stackShift = 0; // ESP after the call minus ESP before pushing the arguments
};

ProbedCall callStdcall0(void* function);
ProbedCall callStdcall1(void* function, std::uint32_t argument);

// The x87 control word of the calling thread, and its precision control field.
std::uint16_t x87ControlWord();
void setX87ControlWord(std::uint16_t word);
constexpr std::uint16_t kPrecisionMask = 0x0300;
constexpr std::uint16_t kPrecision24 = 0x0000;
constexpr std::uint16_t kPrecision53 = 0x0200;

// Runs fn with the calling thread's precision control set to `precision`, then restores it.
template <typename Fn>
auto withPrecision(std::uint16_t precision, Fn fn) {
  const std::uint16_t saved = x87ControlWord();
  setX87ControlWord(static_cast<std::uint16_t>((saved & ~kPrecisionMask) | precision));
  auto result = fn();
  setX87ControlWord(saved);
  return result;
}

}  // namespace smoke32
