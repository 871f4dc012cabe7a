// A station table built the slow, obvious way, reading the rules plainly and sharing no
// line or field code with the parser: the text is split into lines one byte at a time,
// each line into fields at every colon, the voice channel search is written out plainly,
// and the voice clients are scanned from the top for each station. The fuzz targets and
// the tests compare BuildStationTable (word-at-a-time scans, remembered ATC lines, an
// index of the voice clients) with it; only the number reading is shared.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "feed/portable/ClientsParser.h"
#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"  // UpperAscii
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

// The lines of `text`: a line ends at its first CR or LF, and its line end takes in
// further CR and LF bytes until another byte comes or both a CR and an LF are taken.
inline std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(pos, end - pos));
    bool cr = false, lf = false;
    for (; end < text.size() && !(cr && lf) && (text[end] == '\r' || text[end] == '\n'); ++end) {
      (text[end] == '\r' ? cr : lf) = true;
    }
    pos = end;
  }
  return lines;
}

// Field n (from 1) of a line: between the (n-1)-th and the n-th colon; empty when missing.
inline std::string_view Field(std::string_view line, unsigned n) {
  for (std::size_t start = 0, k = 1;; ++k) {
    const std::size_t colon = line.find(':', start);
    if (k == n) return line.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
    if (colon == std::string_view::npos) return {};
    start = colon + 1;
  }
}

// The index of the line after the first that begins with `header`, or lines.size() + 1.
inline std::size_t After(const std::vector<std::string_view>& lines, std::string_view header) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].substr(0, header.size()) == header) return i + 1;
  }
  return lines.size() + 1;
}

// The value of `key`, searched from the top or, with a section, from the line after its
// header up to the next line that begins with "!" (see FindKey).
inline bool Key(const std::vector<std::string_view>& lines, const char* section, std::string_view key,
                std::string_view& value) {
  for (std::size_t i = section ? After(lines, section) : 0; i < lines.size(); ++i) {
    if (section && lines[i].substr(0, 1) == "!") return false;
    const std::size_t equals = lines[i].find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = lines[i].substr(0, equals);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (key.substr(0, name.size()) != name || name.size() > key.size()) continue;
    value = lines[i].substr(equals + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    value = Cut(value, 511);
    return true;
  }
  return false;
}

// The number of a "!GENERAL" key, or false when no line of that section answers it.
inline bool Count(const std::vector<std::string_view>& lines, std::string_view key, std::uint32_t& count) {
  std::string_view value;
  if (!Key(lines, "!GENERAL", key, value)) return false;
  count = ScanUnsigned(value);
  return true;
}

// At most `count` lines of a section; past the end of the text one empty line stands for
// all the others.
inline std::vector<std::string_view> Section(const std::vector<std::string_view>& lines, std::string_view header,
                                             std::uint32_t count) {
  std::vector<std::string_view> section;
  std::size_t i = After(lines, header);
  if (i > lines.size()) return section;
  for (; section.size() < count && i < lines.size(); ++i) section.push_back(lines[i]);
  if (section.size() < count) section.push_back({});
  return section;
}

inline void CopyCut(std::string_view from, char* to, std::size_t size) {
  from = Cut(from, size - 1);
  if (!from.empty()) std::memcpy(to, from.data(), from.size());
  to[from.size()] = '\0';
}

inline bool BuildStationTable(std::string_view clients, const std::string_view* voice,
                              std::vector<AtcStation>& out) {
  const std::vector<std::string_view> lines = Lines(clients);
  std::uint32_t count = 0;
  if (!Count(lines, "CONNECTED CLIENTS", count)) return false;
  out.clear();
  for (std::string_view line : Section(lines, "!CLIENTS", count)) {
    if (Upper(Cut(Field(line, 4), kMaxConvertedField)) != "ATC") continue;
    AtcStation s;
    std::memset(&s, 0, sizeof s);
    const std::string callsign = Upper(Cut(Field(line, 1), kMaxCallsign));
    std::memcpy(s.callsign, callsign.data(), callsign.size());
    s.frequency = ScanFrequency(Cut(Field(line, 5), kMaxConvertedField));
    s.latitude = ScanDouble(Cut(Field(line, 6), kMaxConvertedField));
    s.longitude = ScanDouble(Cut(Field(line, 7), kMaxConvertedField));
    const std::uint32_t facility = ScanUnsigned(Cut(Field(line, 19), kMaxConvertedField));
    s.facility = facility > 6 ? 0 : static_cast<std::int32_t>(facility);
    s.range = static_cast<std::int32_t>(ScanUnsigned(Cut(Field(line, 20), kMaxConvertedField)));
    if (!voice) slow::ExtractVoiceChannel(s, Field(line, 36));
    out.push_back(s);
  }
  if (!voice || out.empty()) return true;

  const std::vector<std::string_view> voiceLines = Lines(*voice);
  std::vector<VoiceServer> servers;
  if (Count(voiceLines, "CONNECTED VOICE SERVERS", count)) {
    for (std::string_view line : Section(voiceLines, "!VOICE SERVERS", count)) {
      VoiceServer server;
      CopyCut(Field(line, 1), server.address, sizeof server.address);
      CopyCut(Field(line, 3), server.name, sizeof server.name);
      servers.push_back(server);
    }
  }
  if (!Count(voiceLines, "CONNECTED VOICE CLIENTS", count)) return true;
  const std::vector<std::string_view> clientLines = Section(voiceLines, "!VOICE CLIENTS", count);
  for (AtcStation& s : out) {
    for (std::string_view line : clientLines) {
      if (Upper(Cut(Field(line, 2), kMaxConvertedField)) != s.callsign) continue;
      const std::string name = Upper(Cut(Field(line, 3), kMaxConvertedField));
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
