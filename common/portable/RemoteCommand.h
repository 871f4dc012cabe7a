// The datagram that carries one voice-program command from the module to the tray
// program on another computer: plain text bytes, no header, no terminator, UDP port 2464.
// "{SYNC}" is the heartbeat; any other non-empty text is a command line argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace hv {

constexpr unsigned short kRemoteCommandPort = 2464;
constexpr char kHeartbeatText[] = "{SYNC}";
// The receiver takes at most this many bytes; a longer datagram is dropped whole.
constexpr std::size_t kMaxRemoteCommandBytes = 512;
// The receiver reads into a buffer one byte longer than it takes, so that a receive
// which fills the buffer is known to come from a datagram that is too long, even on a
// stack that cuts long datagrams silently instead of failing with WSAEMSGSIZE.
constexpr std::size_t kRemoteCommandReceiveBytes = kMaxRemoteCommandBytes + 1;

enum class RemoteCommandKind {
  Ignored,    // empty, or longer than the receiver takes: no contact, nothing started
  Heartbeat,  // exactly "{SYNC}": contact, nothing started
  Command,    // any other text: contact, the voice program is started with it
};

struct ReceivedRemoteCommand {
  RemoteCommandKind kind = RemoteCommandKind::Ignored;
  // The bytes up to the first NUL (or all of them); refers into the caller's buffer.
  std::string_view text;
};

// What one received datagram means. `bytes` holds `receivedBytes` bytes as the
// receive call delivered them; more than kMaxRemoteCommandBytes means the datagram
// was too long, and it is ignored whole.
ReceivedRemoteCommand classifyRemoteCommand(const char* bytes, std::size_t receivedBytes);

// The four numbers of an address written as four decimal numbers from 0 to 255 joined by
// dots, nothing else ("10.0.0.010" is 10.0.0.10). The configured address is checked as
// decimal, so the sender reads it the same way; the system's own conversion would take
// a leading 0 for octal and send to another computer.
bool readDottedDecimal(std::string_view text, std::uint8_t (&octets)[4]);

}  // namespace hv
