// The IVAO voice file: its "!VOICE SERVERS" section lists the voice servers (field 1 the
// address, field 3 the name) and its "!VOICE CLIENTS" section says which client uses
// which server (field 2 the callsign, field 3 the server's name). The counts of both
// sections are the "!GENERAL" keys "CONNECTED VOICE SERVERS" and "CONNECTED VOICE CLIENTS".
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "records/portable/AtcStation.h"

namespace hv {

struct VoiceServer {
  char name[32];      // as written, at most 31 characters (longer names are cut)
  char address[128];  // as written, at most 127 characters (longer addresses are cut)
};

// Replaces `servers` with the server lines of the voice file, in file order. False, and an
// empty list, when the voice file has no server count.
bool LoadVoiceServers(std::string_view voiceText, std::vector<VoiceServer>& servers);

// Runs LoadVoiceServers (whatever its result), then gives each station the address of its
// voice server: the station's voice client line is the first one whose field 2,
// upper-cased, equals the callsign, and its server is the first listed one whose name
// equals that line's field 3, upper-cased. A station without such a line, or whose
// server is not listed, is left as it is. False, with no station changed, when the voice
// file has no client count.
//
// The voice client lines are indexed once, so the cost grows with stations plus lines,
// not with their product; the result is that of scanning the lines from the top for
// each station.
bool AssignVoiceChannels(std::string_view voiceText, AtcStation* stations, std::size_t count);

}  // namespace hv
