// A station table built the slow, obvious way: every line found with NextLine, every field
// with GetField, the voice channel search written out plainly, and the voice clients
// scanned from the top for each station. The fuzz
// targets and the tests compare BuildStationTable (which remembers ATC lines and indexes
// the voice clients) with it.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "feed/portable/ClientsParser.h"
#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"
#include "feed/portable/VoiceFile.h"

namespace hv::slow {

inline std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = UpperAscii(c);
  return u;
}

inline std::string_view Cut(std::string_view s, std::size_t n) { return s.substr(0, std::min(s.size(), n)); }

// The voice channel search written out plainly: the whole text upper-cased, each "/"
// followed back to its separator however far, the frequency text from printf.
inline bool ExtractVoiceChannel(AtcStation& station, std::string_view info) {
  const std::string text = Upper(Cut(info, kMaxInfoText));
  char frequency[32];
  std::snprintf(frequency, sizeof frequency, "%03.3f", station.frequency * 0.01);
  const std::string callsign(station.callsign);
  auto separator = [](char c) { return c == ' ' || c == ',' || c == ':' || c == '^' || c == '\xA7'; };
  auto hostName = [](const std::string& part) {
    if (std::count(part.begin(), part.end(), '.') < 2 || part.find("..") != std::string::npos) return false;
    for (char c : part) {
      if (c != '.' && !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '/') continue;
    std::size_t start = i;
    while (start > 0 && !separator(text[start - 1])) --start;
    std::size_t end = std::string::npos;
    if (text.substr(i + 1, 7) == frequency) {
      end = std::min(i + 8, text.size());
    } else if (text.compare(i + 1, callsign.size(), callsign) == 0) {
      end = i + 1 + callsign.size();
    } else if (hostName(text.substr(start, i - start))) {
      end = i + 1;
      while (end < text.size() && !separator(text[end])) ++end;
    }
    if (end != std::string::npos && end - start <= kMaxVoiceChannel) {
      std::memcpy(station.voiceChannel, text.data() + start, end - start);
      station.voiceChannel[end - start] = '\0';
      return true;
    }
  }
  return false;
}

// The lines after `header`, at most `count` of them; past the end of the text one empty
// line stands for all the others.
inline std::vector<std::size_t> SectionLines(std::string_view text, const char* header, std::uint32_t count) {
  std::vector<std::size_t> lines;
  std::size_t pos = 0;
  if (!FindSection(text, header, pos)) return lines;
  std::uint32_t i = 0;
  for (; i < count && pos < text.size(); ++i, pos = NextLine(text, pos)) lines.push_back(pos);
  if (i < count) lines.push_back(text.size());  // the empty lines past the end, all alike
  return lines;
}

inline bool BuildStationTable(std::string_view clients, const std::string_view* voice,
                              std::vector<AtcStation>& out) {
  std::string value;
  if (!FindKey(clients, "!GENERAL", "CONNECTED CLIENTS", value)) return false;
  out.clear();
  for (std::size_t line : SectionLines(clients, "!CLIENTS", ScanUnsigned(value))) {
    if (Upper(Cut(GetField(clients, line, 4), kMaxConvertedField)) != "ATC") continue;
    AtcStation s;
    std::memset(&s, 0, sizeof s);
    const std::string callsign = Upper(Cut(GetField(clients, line, 1), kMaxCallsign));
    std::memcpy(s.callsign, callsign.data(), callsign.size());
    s.frequency = ScanFrequency(Cut(GetField(clients, line, 5), kMaxConvertedField));
    s.latitude = ScanDouble(Cut(GetField(clients, line, 6), kMaxConvertedField));
    s.longitude = ScanDouble(Cut(GetField(clients, line, 7), kMaxConvertedField));
    const std::uint32_t facility = ScanUnsigned(Cut(GetField(clients, line, 19), kMaxConvertedField));
    s.facility = facility > 6 ? 0 : static_cast<std::int32_t>(facility);
    s.range = static_cast<std::int32_t>(ScanUnsigned(Cut(GetField(clients, line, 20), kMaxConvertedField)));
    if (!voice) slow::ExtractVoiceChannel(s, GetField(clients, line, 36));
    out.push_back(s);
  }
  if (!voice || out.empty()) return true;

  std::vector<VoiceServer> servers;
  LoadVoiceServers(*voice, servers);
  std::string count;
  if (!FindKey(*voice, "!GENERAL", "CONNECTED VOICE CLIENTS", count)) return true;
  const std::vector<std::size_t> lines = SectionLines(*voice, "!VOICE CLIENTS", ScanUnsigned(count));
  for (AtcStation& s : out) {
    for (std::size_t line : lines) {
      if (Upper(Cut(GetField(*voice, line, 2), kMaxConvertedField)) != s.callsign) continue;
      const std::string name = Upper(Cut(GetField(*voice, line, 3), kMaxConvertedField));
      for (const VoiceServer& server : servers) {
        if (name == server.name) {
          std::strncpy(s.voiceChannel, server.address, sizeof s.voiceChannel - 1);
          break;
        }
      }
      break;
    }
  }
  return true;
}

}  // namespace hv::slow
