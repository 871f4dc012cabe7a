// libFuzzer target, built twice: fuzz_vatsim_table reads the input as a VATSIM clients
// file; fuzz_ivao_table (HV_FUZZ_IVAO) as an IVAO clients file and voice file, split at the
// first NUL byte (no NUL: an empty voice file). The table built is checked (FuzzCheck.h).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
#ifdef HV_FUZZ_IVAO
  const std::size_t nul = std::min(input.find('\0'), size);
  const std::string_view voice = input.substr(std::min(nul + 1, size));
  hv::fuzz::CheckTable(input.substr(0, nul), &voice);
#else
  hv::fuzz::CheckTable(input, nullptr);
#endif
  return 0;
}
