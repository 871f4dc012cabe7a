// libFuzzer target: the key search of the status file ("url0") and of the "!GENERAL"
// section, and the line and field walk: values within their limit, lines that move on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "feed/portable/NetworkText.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string value;
  if (hv::FindKey(text, nullptr, "url0", value) && value.size() > 511) hv::fuzz::Fail("value longer than 511");
  if (hv::FindKey(text, "!GENERAL", "CONNECTED CLIENTS", value) && value.find_first_of("\r\n") != std::string::npos)
    hv::fuzz::Fail("value runs past its line");
  for (std::size_t pos = 0; pos < text.size();) {
    const std::string_view field = hv::GetField(text, pos, 2);
    if (field.find_first_of("\r\n:") != std::string_view::npos) hv::fuzz::Fail("GetField leaves its field");
    const std::size_t next = hv::NextLine(text, pos);
    if (next <= pos || next > text.size()) hv::fuzz::Fail("NextLine");
    pos = next;
  }
  return 0;
}
