// Client lines to station records (see ClientsParser.h).
#include "feed/portable/ClientsParser.h"

#include <algorithm>
#include <cstring>

#include "feed/portable/ByteScan.h"
#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"

namespace hv {
namespace {

constexpr unsigned kLastField = 36;  // the information text

std::string_view Cut(std::string_view field, std::size_t limit) {
  return field.size() > limit ? field.substr(0, limit) : field;
}

// Colons that begin or end a field that is read: 1, 3-7, 18-20, 35, 36.
constexpr std::uint64_t kWanted = (1ull << 1) | (0x1Full << 3) | (0x7ull << 18) | (0x3ull << 35);

// The fields of a client line that the parser reads (1, 4-7, 19, 20 and 36), each up to
// its next colon or the line's end; fields the line does not have are empty. Only the
// colons that bound those fields are located; the others are just counted.
class LineFields {
 public:
  LineFields(const char* line, const char* lineEnd, unsigned lastField)
      : line_(line), lineEnd_(lineEnd), colons_(FindColons(line, lineEnd, lastField, kWanted, at_)) {}

  std::string_view Field(unsigned n) const {
    if (n > colons_ + 1) return {};
    const char* start = n == 1 ? line_ : at_[n - 1] + 1;
    const char* end = n <= colons_ ? at_[n] : lineEnd_;
    return std::string_view(start, static_cast<std::size_t>(end - start));
  }

 private:
  const char* line_;
  const char* lineEnd_;
  const char* at_[kLastField + 1];  // at_[k]: the k-th colon, where kWanted has bit k
  unsigned colons_;
};

bool IsSeparator(unsigned char c) {
  return c == ' ' || c == ',' || c == ':' || c == '^' || c == 0xA7;
}

bool IsAsciiLetterOrDigit(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// At least two dots, never two in a row, every other character an ASCII letter or digit.
bool IsHostName(const char* text, std::size_t length) {
  int dots = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '.') {
      if (i > 0 && text[i - 1] == '.') return false;
      ++dots;
    } else if (!IsAsciiLetterOrDigit(c)) {
      return false;
    }
  }
  return dots >= 2;
}

// `text` upper-cased equals `upper` over `length` bytes.
bool EqualUpper(const char* text, const char* upper, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (UpperAscii(text[i]) != upper[i]) return false;
  }
  return true;
}

}  // namespace

bool IsAtcLine(const char* line, const char* lineEnd) {
  const char* scannedEnd = nullptr;
  return ScanClientLine(line, lineEnd, scannedEnd);
}

void ParseAtcLine(const char* line, const char* lineEnd, AtcStation& station, bool voiceSearch) {
  const LineFields f(line, lineEnd, voiceSearch ? 36 : 20);

  const std::string_view callsign = Cut(f.Field(1), kMaxCallsign);
  for (std::size_t i = 0; i < callsign.size(); ++i) station.callsign[i] = UpperAscii(callsign[i]);

  station.frequency = ScanFrequency(Cut(f.Field(5), kMaxConvertedField));
  station.latitude = ScanDouble(Cut(f.Field(6), kMaxConvertedField));
  station.longitude = ScanDouble(Cut(f.Field(7), kMaxConvertedField));
  const std::uint32_t facility = ScanUnsigned(Cut(f.Field(19), kMaxConvertedField));
  station.facility = facility > 6 ? 0 : static_cast<std::int32_t>(facility);
  station.range = static_cast<std::int32_t>(ScanUnsigned(Cut(f.Field(20), kMaxConvertedField)));

  if (voiceSearch) ExtractVoiceChannel(station, Cut(f.Field(36), kMaxInfoText));
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

// The value has two decimals, so the third is always 0, and the text is never shorter than
// "0.000", wider than the width 3: no printf needed.
std::size_t FrequencyText(std::uint16_t frequency, char (&text)[16]) {
  char digits[8];
  std::size_t n = 0;
  for (unsigned whole = frequency / 100u; n == 0 || whole != 0; whole /= 10) digits[n++] = static_cast<char>('0' + whole % 10);
  std::size_t length = 0;
  while (n) text[length++] = digits[--n];
  text[length++] = '.';
  text[length++] = static_cast<char>('0' + frequency % 100 / 10);
  text[length++] = static_cast<char>('0' + frequency % 10);
  text[length++] = '0';
  text[length] = '\0';
  return length;
}

bool ExtractVoiceChannel(AtcStation& station, std::string_view infoText) {
  // The text is read as it stands and upper-cased where that matters: the frequency text
  // has no letters, the callsign is compared with the text upper-cased, the host name test
  // takes letters of either case, and the token is upper-cased as it is copied.
  const char* text = infoText.data();
  const std::size_t length = std::min(infoText.size(), kMaxInfoText);

  char frequency[16];
  const std::size_t frequencyLength = FrequencyText(station.frequency, frequency);
  std::size_t callsignLength = 0;
  while (callsignLength < sizeof station.callsign && station.callsign[callsignLength]) ++callsignLength;

  for (std::size_t from = 0; from < length;) {
    const void* found = std::memchr(text + from, '/', length - from);
    if (!found) break;
    const std::size_t slash = static_cast<std::size_t>(static_cast<const char*>(found) - text);
    const std::size_t after = from = slash + 1;

    // The token starts after the nearest separator before the "/". A token holds at most
    // kMaxVoiceChannel characters, so one that starts more than 127 characters before the
    // "/" is passed over whatever follows it: no need to look further back.
    std::size_t start = slash;
    const std::size_t lowest = slash > kMaxVoiceChannel - 1 ? slash - (kMaxVoiceChannel - 1) : 0;
    while (start > lowest && !IsSeparator(static_cast<unsigned char>(text[start - 1]))) --start;
    if (start > 0 && !IsSeparator(static_cast<unsigned char>(text[start - 1]))) continue;

    const std::size_t rest = length - after;
    const std::size_t limit = start + kMaxVoiceChannel;  // the token must end by here
    std::size_t end = 0;                                  // one past the token; 0: none
    const std::size_t seven = std::min<std::size_t>(rest, 7);
    if (seven == frequencyLength && std::memcmp(text + after, frequency, seven) == 0) {
      end = after + seven;
    } else if (rest >= callsignLength && EqualUpper(text + after, station.callsign, callsignLength)) {
      end = after + callsignLength;
    } else if (IsHostName(text + start, slash - start)) {
      end = after;
      while (end < length && end <= limit && !IsSeparator(static_cast<unsigned char>(text[end]))) ++end;
    }
    if (end != 0 && end <= limit) {
      for (std::size_t k = start; k < end; ++k) station.voiceChannel[k - start] = UpperAscii(text[k]);
      station.voiceChannel[end - start] = '\0';
      return true;
    }
  }
  return false;
}

}  // namespace hv
