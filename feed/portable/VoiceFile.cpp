// Voice servers and voice clients of the IVAO voice file (see VoiceFile.h).
#include "feed/portable/VoiceFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "feed/portable/ClientsParser.h"
#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"

namespace hv {
namespace {

std::size_t Bounded(const char* text, std::size_t size) {
  std::size_t n = 0;
  while (n < size && text[n]) ++n;
  return n;
}

void CopyCut(std::string_view from, char* to, std::size_t size) {
  const std::size_t n = std::min(from.size(), size - 1);
  if (n) std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

// A field (cut to 63 characters), upper-cased, as the key of a lookup; `length` is 0xFF when
// the field is longer than any callsign or server name can be, so it can match nothing.
// The text is zero-filled to 32 bytes, so keys are ordered by four 64-bit words and then
// by their length (which tells "A" from "A" and a NUL byte).
struct Key {
  char text[kMaxCallsign + 1] = {};
  std::uint8_t length;

  explicit Key(std::string_view field) {
    field = field.substr(0, std::min(field.size(), kMaxConvertedField));
    if (field.size() > kMaxCallsign) {
      length = 0xFF;
      return;
    }
    length = static_cast<std::uint8_t>(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) text[i] = UpperAscii(field[i]);
  }
  bool Usable() const { return length != 0xFF; }
  std::string_view View() const { return std::string_view(text, Usable() ? length : 0); }
};

std::uint64_t Word(const Key& k, int i) {
  std::uint64_t w;
  std::memcpy(&w, k.text + 8 * i, 8);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&w);
  std::uint64_t bigEndian = 0;  // the first byte weighs most, as in a text comparison
  for (int j = 0; j < 8; ++j) bigEndian = (bigEndian << 8) | b[j];
  return bigEndian;
}

// <0, 0, >0 as `a` sorts before, with, or after `b`.
int Compare(const Key& a, const Key& b) {
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t x = Word(a, i);
    const std::uint64_t y = Word(b, i);
    if (x != y) return x < y ? -1 : 1;
  }
  return static_cast<int>(a.length) - static_cast<int>(b.length);
}

// One voice client line in the index: its callsign key and where the line starts.
struct ClientEntry {
  Key callsign;
  std::uint32_t order;  // the line's place among the voice client lines
  const char* line;
};

bool ByKeyThenOrder(const ClientEntry& a, const ClientEntry& b) {
  const int c = Compare(a.callsign, b.callsign);
  return c != 0 ? c < 0 : a.order < b.order;
}

}  // namespace

bool LoadVoiceServers(std::string_view voiceText, std::vector<VoiceServer>& servers) {
  servers.clear();
  std::string_view countText;
  if (!FindKeyView(voiceText, "!GENERAL", "CONNECTED VOICE SERVERS", countText)) return false;
  const std::uint32_t count = ScanUnsigned(countText);
  std::size_t start = 0;
  if (count == 0 || !FindSection(voiceText, "!VOICE SERVERS", start)) return true;
  LineCursor cursor(voiceText, start);
  for (std::uint32_t i = 0; i < count && !cursor.AtEnd(); ++i, cursor.Next()) {
    const std::size_t line = static_cast<std::size_t>(cursor.Line() - TextBytes(voiceText));
    VoiceServer server;
    CopyCut(GetField(voiceText, line, 1), server.address, sizeof server.address);
    CopyCut(GetField(voiceText, line, 3), server.name, sizeof server.name);
    servers.push_back(server);
  }
  return true;
}

bool AssignVoiceChannels(std::string_view voiceText, AtcStation* stations, std::size_t count) {
  std::vector<VoiceServer> servers;
  LoadVoiceServers(voiceText, servers);
  std::string_view countText;
  if (!FindKeyView(voiceText, "!GENERAL", "CONNECTED VOICE CLIENTS", countText)) return false;
  const std::uint32_t clientCount = ScanUnsigned(countText);
  std::size_t start = 0;
  if (count == 0 || clientCount == 0 || servers.empty() ||
      !FindSection(voiceText, "!VOICE CLIENTS", start)) {
    return true;  // no voice client line can give a station a server
  }

  // The voice client lines, sorted by callsign and then by their order in the file: the
  // first entry of a callsign is the line that a scan from the top would find first.
  std::vector<ClientEntry> clients;
  LineCursor cursor(voiceText, start);
  std::uint32_t i = 0;
  for (; i < clientCount && !cursor.AtEnd(); ++i, cursor.Next()) {
    const std::size_t line = static_cast<std::size_t>(cursor.Line() - TextBytes(voiceText));
    const Key callsign(GetField(voiceText, line, 2));
    if (callsign.Usable()) clients.push_back(ClientEntry{callsign, i, cursor.Line()});
  }
  // Lines past the end of the text are empty. They are not walked one by one, but they are
  // there when the count asks for them: an empty line, whose callsign and server name are
  // empty, answers a station with an empty callsign. All of them are alike, so the first
  // stands for them all.
  if (i < clientCount) clients.push_back(ClientEntry{Key(std::string_view()), i, cursor.End()});
  std::sort(clients.begin(), clients.end(), ByKeyThenOrder);

  // The servers by name, the first listed of each name first.
  std::vector<std::uint32_t> byName(servers.size());
  for (std::uint32_t i = 0; i < byName.size(); ++i) byName[i] = i;
  auto nameOf = [&servers](std::uint32_t i) {
    return std::string_view(servers[i].name, Bounded(servers[i].name, sizeof servers[i].name));
  };
  std::stable_sort(byName.begin(), byName.end(),
                   [&nameOf](std::uint32_t a, std::uint32_t b) { return nameOf(a) < nameOf(b); });

  for (std::size_t s = 0; s < count; ++s) {
    AtcStation& station = stations[s];
    const Key callsign(std::string_view(station.callsign, Bounded(station.callsign, sizeof station.callsign)));
    auto client = std::lower_bound(
        clients.begin(), clients.end(), callsign,
        [](const ClientEntry& e, const Key& key) { return Compare(e.callsign, key) < 0; });
    if (client == clients.end() || Compare(client->callsign, callsign) != 0) continue;

    const std::size_t line = static_cast<std::size_t>(client->line - TextBytes(voiceText));
    const Key serverName(GetField(voiceText, line, 3));
    if (!serverName.Usable()) continue;
    auto server = std::lower_bound(
        byName.begin(), byName.end(), serverName.View(),
        [&nameOf](std::uint32_t i, std::string_view key) { return nameOf(i) < key; });
    if (server == byName.end() || nameOf(*server) != serverName.View()) continue;
    CopyCut(std::string_view(servers[*server].address,
                             Bounded(servers[*server].address, sizeof servers[*server].address)),
            station.voiceChannel, sizeof station.voiceChannel);
  }
  return true;
}

}  // namespace hv
