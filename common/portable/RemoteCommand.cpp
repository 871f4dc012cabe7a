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

}  // namespace hv
