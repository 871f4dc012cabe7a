// The datagram that carries one voice-program command from the module to the tray
// program on another computer: plain text bytes, no header, no terminator, UDP port 2464.
// "{SYNC}" is the heartbeat; any other non-empty text is a command line argument.
#pragma once

#include <cstddef>

namespace hv {

constexpr unsigned short kRemoteCommandPort = 2464;
constexpr char kHeartbeatText[] = "{SYNC}";
// The receiver takes at most this many bytes; a longer datagram is dropped whole.
constexpr std::size_t kMaxRemoteCommandBytes = 512;

}  // namespace hv
