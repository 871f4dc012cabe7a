// Planted fault for the instruction check: SSE2 floating point on xmm registers, and popcnt,
// a later instruction on general registers, compiled in despite the build's -mno-sse.
extern "C" __declspec(dllexport) __attribute__((target("sse2,fpmath=sse"))) double PlantedScale(double x) {
  return x * 1.5;
}

extern "C" __declspec(dllexport) __attribute__((target("popcnt"))) int PlantedBits(unsigned x) {
  return __builtin_popcount(x);
}
