// The simulator's encodings of the values the module reads and writes at IPC offsets:
// COM1 as four BCD digits without the leading 1, latitude and longitude as 64-bit fixed
// point, and the hot-key entry of the simulator's key table.
#pragma once

#include <cstdint>

namespace hv {

// 0x1970 -> 11970 (119.70 MHz). Digits above 9 are not rejected.
std::uint16_t frequencyFromBcd(std::uint16_t bcd);
// 11800 -> 0x1800. False, and bcd untouched, for a frequency outside 10000..19999.
bool bcdFromFrequency(std::uint16_t frequency, std::uint16_t& bcd);

// The 64-bit value as the simulator stores it: the high 32 bits a signed whole part,
// the low 32 bits an unsigned fraction of 2^32. Latitude counts 10001750 units per
// 90 degrees, longitude 2^32 units per full turn.
double latitudeFromFixed(std::uint64_t value);
double longitudeFromFixed(std::uint64_t value);

// The key-table entry for the hot key from FS2002.CFG ("code,modifier"): the key code
// in byte 0 and in byte 1 the flag 1 for modifiers 8 and 11, else 2. "192,8" -> 0x000001C0.
std::uint32_t hotKeyEntryValue(std::uint32_t keyCode, std::uint32_t modifier);

}  // namespace hv
