// Planted fault for the instruction check: SSE2 floating point on xmm registers, and rdrand,
// a later instruction on general registers outside the libstdc++ helpers the check accepts,
// compiled in despite the build's -mno-sse.
extern "C" __declspec(dllexport) __attribute__((target("sse2,fpmath=sse"))) double PlantedScale(double x) {
  return x * 1.5;
}

extern "C" __declspec(dllexport) __attribute__((target("rdrnd"))) int PlantedRandom(unsigned* value) {
  return __builtin_ia32_rdrand32_step(value);
}
