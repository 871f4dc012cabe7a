// Station records and simulator readings built in memory, for the tests of station
// selection, the voice commands and the control operations. Header only: the native
// tests use it too.
#pragma once

#include <cstring>

#include "records/portable/AtcStation.h"
#include "records/portable/SimReading.h"

namespace hvtest {

inline hv::AtcStation station(std::uint16_t frequency, const char* callsign, const char* voiceChannel,
                              double latitude = 50.0333, double longitude = 8.5706, std::int32_t range = 30) {
  hv::AtcStation s{frequency, {}, {}, {}, latitude, longitude, 0, range};
  std::strncpy(s.callsign, callsign, sizeof s.callsign - 1);
  std::strncpy(s.voiceChannel, voiceChannel, sizeof s.voiceChannel - 1);
  return s;
}

inline hv::SimReading reading(std::uint16_t frequency, double latitude, double longitude) {
  return {frequency, latitude, longitude};
}

}  // namespace hvtest
