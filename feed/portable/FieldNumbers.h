// Numbers in the network files, read exactly as the C library's sscanf reads them with
// "%u", "%hu" and "%lf": leading white space is passed over, a sign is taken ("%u" and
// "%hu" take a minus sign too and wrap around), and the conversion stops at the first
// byte that does not fit. A text that does not convert gives 0.
//
// Plain digit strings, which is nearly every number in a real file, are converted
// directly (with the same result); anything else goes through sscanf itself on a
// NUL-terminated copy.
#pragma once

#include <cstdint>
#include <string_view>

namespace hv {

// Texts longer than this are cut before they are read (the longest text read as a
// number is a key's value).
constexpr std::size_t kMaxNumberText = 511;

std::uint32_t ScanUnsigned(std::string_view text);    // "%u"
std::uint16_t ScanUnsigned16(std::string_view text);  // "%hu"
double ScanDouble(std::string_view text);             // "%lf"

// A client line's frequency field, "three digits, a dot and more digits", in units of
// 10 kHz: the first two decimals move one place left over the dot and the text ends after
// them ("123.450" reads "12345"), then it is read with "%hu". Bytes that the field does not
// have are simply missing ("118." reads "118"). 118.100 gives 11810; a third decimal is
// dropped.
std::uint16_t ScanFrequency(std::string_view field);

}  // namespace hv
