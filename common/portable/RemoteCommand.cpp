// How the tray program reads one received datagram: its text ends at the first NUL,
// "{SYNC}" is compared exactly, and anything longer than 512 bytes is not read at all.
#include "common/portable/RemoteCommand.h"

#include <cstring>

namespace hv {

ReceivedRemoteCommand classifyRemoteCommand(const char* bytes, std::size_t receivedBytes) {
  ReceivedRemoteCommand result;
  if (bytes == nullptr || receivedBytes == 0 || receivedBytes > kMaxRemoteCommandBytes) return result;

  const void* nul = std::memchr(bytes, '\0', receivedBytes);
  std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : receivedBytes;
  if (length == 0) return result;

  result.text = std::string_view(bytes, length);
  result.kind = result.text == kHeartbeatText ? RemoteCommandKind::Heartbeat : RemoteCommandKind::Command;
  return result;
}

bool readDottedDecimal(std::string_view text, std::uint8_t (&octets)[4]) {
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && (at >= text.size() || text[at++] != '.')) return false;
    unsigned value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
      value = value * 10 + static_cast<unsigned>(text[at] - '0');
      if (value > 255) return false;
    }
    if (digits == 0) return false;
    octets[i] = static_cast<std::uint8_t>(value);
  }
  return at == text.size();
}

}  // namespace hv
