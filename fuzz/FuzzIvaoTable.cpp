// libFuzzer target: an IVAO clients file and voice file, given as one input split at its
// first NUL byte (clients before it, voice after it; no NUL: an empty voice file), built
// into a station table and checked (fuzz/FuzzCheck.h).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const char* nul = static_cast<const char*>(std::memchr(text, 0, size));
  const std::size_t clientsSize = nul ? static_cast<std::size_t>(nul - text) : size;
  const std::string_view clients(text, clientsSize);
  const std::string_view voice = nul ? std::string_view(nul + 1, size - clientsSize - 1) : std::string_view();
  hv::fuzz::CheckTable(clients, &voice);
  return 0;
}
