// Client lines to station records (see ClientsParser.h).
#include "feed/portable/ClientsParser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"

namespace hv {
namespace {

constexpr unsigned kLastField = 36;  // the information text

std::string_view Cut(std::string_view field, std::size_t limit) {
  return field.size() > limit ? field.substr(0, limit) : field;
}

// Fields 1..kLastField of a line, each up to its next colon or the line's end; fields the
// line does not have are empty.
struct LineFields {
  std::string_view field[kLastField + 1];  // [0] unused

  LineFields(const char* p, const char* lineEnd) {
    unsigned n = 1;
    for (;;) {
      const char* colon =
          static_cast<const char*>(std::memchr(p, ':', static_cast<std::size_t>(lineEnd - p)));
      const char* fieldEnd = colon ? colon : lineEnd;
      field[n] = std::string_view(p, static_cast<std::size_t>(fieldEnd - p));
      if (!colon || n == kLastField) break;
      p = colon + 1;
      ++n;
    }
  }
};

bool IsSeparator(unsigned char c) {
  return c == ' ' || c == ',' || c == ':' || c == '^' || c == 0xA7;
}

bool IsAsciiLetterOrDigit(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

bool IsAtcLine(const char* p, const char* lineEnd) {
  int colons = 0;
  for (; p < lineEnd; ++p) {
    if (*p == ':' && ++colons == 3) break;
  }
  if (p == lineEnd) return false;  // fewer than four fields
  ++p;
  // Field 4 upper-cased equals "ATC": (c | 0x20) folds exactly 'A'/'a', 'T'/'t', 'C'/'c'.
  return lineEnd - p >= 3 && (p[0] | 0x20) == 'a' && (p[1] | 0x20) == 't' &&
         (p[2] | 0x20) == 'c' && (lineEnd - p == 3 || p[3] == ':');
}

void ParseAtcLine(const char* line, const char* lineEnd, AtcStation& station, bool voiceSearch) {
  const LineFields f(line, lineEnd);

  const std::string_view callsign = Cut(f.field[1], kMaxCallsign);
  for (std::size_t i = 0; i < callsign.size(); ++i) station.callsign[i] = UpperAscii(callsign[i]);

  station.frequency = ScanFrequency(Cut(f.field[5], kMaxConvertedField));
  station.latitude = ScanDouble(Cut(f.field[6], kMaxConvertedField));
  station.longitude = ScanDouble(Cut(f.field[7], kMaxConvertedField));
  const std::uint32_t facility = ScanUnsigned(Cut(f.field[19], kMaxConvertedField));
  station.facility = facility > 6 ? 0 : static_cast<std::int32_t>(facility);
  station.range = static_cast<std::int32_t>(ScanUnsigned(Cut(f.field[20], kMaxConvertedField)));

  if (voiceSearch) ExtractVoiceChannel(station, Cut(f.field[36], kMaxInfoText));
}

std::uint32_t ParseClients(std::string_view clientsText, std::uint32_t lineCount,
                           AtcStation* records, std::size_t capacity, bool voiceSearch) {
  std::size_t start = 0;
  if (!FindSection(clientsText, "!CLIENTS", start)) return 0;
  std::uint32_t atcLines = 0;
  LineCursor cursor(clientsText, start);
  // Lines past the end of the text are empty and hold no station, however many the count
  // claims: the walk stops at the end.
  for (std::uint32_t i = 0; i < lineCount && !cursor.AtEnd(); ++i, cursor.Next()) {
    const char* lineEnd = cursor.LineEnd();
    if (!IsAtcLine(cursor.Line(), lineEnd)) continue;
    if (records && atcLines < capacity) {
      ParseAtcLine(cursor.Line(), lineEnd, records[atcLines], voiceSearch);
    }
    ++atcLines;
  }
  return atcLines;
}

bool ExtractVoiceChannel(AtcStation& station, std::string_view infoText) {
  char text[kMaxInfoText + 1];
  const std::size_t length = std::min(infoText.size(), kMaxInfoText);
  for (std::size_t i = 0; i < length; ++i) text[i] = UpperAscii(infoText[i]);
  text[length] = '\0';

  char frequency[32];
  const int written = std::snprintf(frequency, sizeof frequency, "%03.3f", station.frequency * 0.01);
  const std::size_t frequencyLength = written > 0 ? static_cast<std::size_t>(written) : 0;
  std::size_t callsignLength = 0;
  while (callsignLength < sizeof station.callsign && station.callsign[callsignLength]) ++callsignLength;

  // What is known of the part from the token's start up to the current byte: whether it
  // can still be a host name, its dots, and whether the previous byte was a dot.
  std::size_t tokenStart = 0;
  bool hostChars = true;
  int dots = 0;
  bool afterDot = false;

  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsSeparator(c)) {
      tokenStart = i + 1;
      hostChars = true;
      dots = 0;
      afterDot = false;
      continue;
    }
    if (c != '/') {
      if (c == '.') {
        if (afterDot) hostChars = false;
        ++dots;
        afterDot = true;
      } else {
        if (!IsAsciiLetterOrDigit(c)) hostChars = false;
        afterDot = false;
      }
      continue;
    }

    const std::size_t after = i + 1;
    const std::size_t rest = length - after;
    std::size_t tokenEnd = 0;  // one past the token's last byte; 0: no token
    const std::size_t seven = std::min<std::size_t>(rest, 7);
    if (seven == frequencyLength && std::memcmp(text + after, frequency, seven) == 0) {
      tokenEnd = after + seven;
    } else if (rest >= callsignLength &&
               std::memcmp(text + after, station.callsign, callsignLength) == 0) {
      tokenEnd = after + callsignLength;
    } else if (hostChars && dots >= 2) {
      tokenEnd = after;
      while (tokenEnd < length && !IsSeparator(static_cast<unsigned char>(text[tokenEnd]))) ++tokenEnd;
    }
    if (tokenEnd != 0 && tokenEnd - tokenStart <= kMaxVoiceChannel) {
      std::memcpy(station.voiceChannel, text + tokenStart, tokenEnd - tokenStart);
      station.voiceChannel[tokenEnd - tokenStart] = '\0';
      return true;
    }
    // The "/" is part of what follows it up to the next separator: no host name.
    hostChars = false;
    afterDot = false;
  }
  return false;
}

}  // namespace hv
