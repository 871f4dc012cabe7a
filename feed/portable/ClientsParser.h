// The "!CLIENTS" section of a network's clients file: one client per line, fields
// separated by ":". ATC lines (field 4, upper-cased, equal to "ATC") become AtcStation
// records; every other line is skipped.
//
//   field 1   callsign, upper-cased              field 19  facility code, "%u"; above 6 gives 0
//   field 4   client type                        field 20  range, "%u"
//   field 5   frequency, 123.450 -> 12345        field 36  information text (VATSIM): the
//   field 6/7 latitude / longitude, "%lf"                  voice channel is searched in it
//
// Working limits: a field that is compared or converted is cut to 63 characters, a
// callsign to 31, an information text to 1023, a voice channel token longer than 128
// characters is passed over. Upper-casing changes the ASCII letters a-z only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/portable/AtcStation.h"

namespace hv {

constexpr std::size_t kMaxConvertedField = 63;
constexpr std::size_t kMaxInfoText = 1023;
constexpr std::size_t kMaxCallsign = sizeof(AtcStation::callsign) - 1;  // 31
constexpr std::size_t kMaxVoiceChannel = 128;

// Reads `lineCount` lines from the line after the "!CLIENTS" header on (later section
// headers do not stop it; the end of the text does, since lines past it are empty) and
// returns how many of them are ATC lines. With `records`, the first `capacity` ATC lines
// are also parsed into them, in file order; `voiceSearch` (VATSIM) looks for each
// station's voice channel in its information text. Records must be zero-filled.
std::uint32_t ParseClients(std::string_view clientsText, std::uint32_t lineCount,
                           AtcStation* records, std::size_t capacity, bool voiceSearch);

// True when the line [line, lineEnd) is an ATC line.
bool IsAtcLine(const char* line, const char* lineEnd);

// Parses the ATC line [line, lineEnd) into the zero-filled `station`.
void ParseAtcLine(const char* line, const char* lineEnd, AtcStation& station, bool voiceSearch);

// Searches a VATSIM information text for the station's voice channel; `station` has its
// frequency and callsign set. The text is upper-cased, then every "/" is looked at from
// left to right. Its token begins after the nearest separator before it (blank, ",", ":",
// "^", byte 0xA7) or at the text's start, and ends
//   - with the 7th character after the "/" when those 7 equal the frequency written with
//     "%03.3f" (12345 -> "123.450"), else
//   - with the callsign when the text after the "/" begins with it, else
//   - before the next separator (or at the text's end) when the part before the "/" is a
//     host name: at least two dots, never two in a row, all else ASCII letters or digits;
//   otherwise the "/" has no token. The first token of at most 128 characters becomes
// `voiceChannel` and the result is true; longer ones are passed over. Without one the
// voice channel is left as it is and the result is false.
bool ExtractVoiceChannel(AtcStation& station, std::string_view infoText);

// The frequency text of the voice channel search: `frequency` x 0.01 written with "%03.3f"
// (12345 -> "123.450", 0 -> "0.000"). Returns its length.
std::size_t FrequencyText(std::uint16_t frequency, char (&text)[16]);

}  // namespace hv
