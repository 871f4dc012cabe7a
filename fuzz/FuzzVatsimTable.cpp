// libFuzzer target: a VATSIM clients file, built into a station table (voice channels from
// the information texts) and checked (fuzz/FuzzCheck.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  hv::fuzz::CheckTable(std::string_view(reinterpret_cast<const char*>(data), size), nullptr);
  return 0;
}
