#include "StdcallProbe.h"

namespace smoke32 {

// ESI (callee-saved) keeps ESP from before the push; ESP is put back from it after the
// call, so a wrong shift is measured instead of corrupting this function's frame.
ProbedCall callStdcall0(void* function) {
  ProbedCall call;
  __asm__ __volatile__(
      "movl %%esp, %%esi\n\t"
      "call *%[fn]\n\t"
      "movl %%esp, %%ecx\n\t"
      "subl %%esi, %%ecx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(call.value), "=c"(call.stackShift)
      : [fn] "r"(function)
      : "esi", "edx", "memory", "cc");
  return call;
}

ProbedCall callStdcall1(void* function, std::uint32_t argument) {
  ProbedCall call;
  __asm__ __volatile__(
      "movl %%esp, %%esi\n\t"
      "pushl %[arg]\n\t"
      "call *%[fn]\n\t"
      "movl %%esp, %%ecx\n\t"
      "subl %%esi, %%ecx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(call.value), "=c"(call.stackShift)
      : [fn] "r"(function), [arg] "r"(argument)
      : "esi", "edx", "memory", "cc");
  return call;
}

std::uint16_t x87ControlWord() {
  std::uint16_t word = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(word));
  return word;
}

void setX87ControlWord(std::uint16_t word) { __asm__ __volatile__("fldcw %0" : : "m"(word)); }

}  // namespace smoke32
