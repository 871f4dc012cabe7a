// One ATC voice station and the table of them built from a network's files.
// The record's byte layout is also what other add-ons receive from the status export,
// so it is fixed at 192 bytes and checked below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace hv {

struct AtcStation {
  std::uint16_t frequency;     // MHz x 100: 12345 is 123.45 MHz
  char callsign[32];           // upper case, NUL-terminated, at most 31 characters
  char voiceChannel[132];      // NUL-terminated, at most 128 characters; empty: no voice channel
  std::uint8_t filler[2];      // always zero
  double latitude;             // degrees, north positive
  double longitude;            // degrees, east positive
  std::int32_t facility;       // 0..6
  std::int32_t range;          // compared with the great-circle distance to the aircraft
};

static_assert(sizeof(AtcStation) == 192, "the exported record is 192 bytes");
static_assert(offsetof(AtcStation, frequency) == 0);
static_assert(offsetof(AtcStation, callsign) == 2);
static_assert(offsetof(AtcStation, voiceChannel) == 34);
static_assert(offsetof(AtcStation, filler) == 166);
static_assert(offsetof(AtcStation, latitude) == 168);
static_assert(offsetof(AtcStation, longitude) == 176);
static_assert(offsetof(AtcStation, facility) == 184);
static_assert(offsetof(AtcStation, range) == 188);

// The callsign as text, up to its NUL or the field's end.
inline std::string callsignText(const AtcStation& station) {
  const void* end = std::memchr(station.callsign, '\0', sizeof station.callsign);
  return std::string(station.callsign,
                     end ? static_cast<const char*>(end) - station.callsign : sizeof station.callsign);
}

// The stations of one network in file order. Built once, never changed afterwards:
// a newer table replaces an older one whole. One allocation holds every record.
struct StationTable {
  std::unique_ptr<AtcStation[]> records;  // null when empty
  std::int32_t count = 0;
};

}  // namespace hv
