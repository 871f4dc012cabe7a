// One self-contained exchange per call: start Winsock 1.1, make a UDP socket, fix its
// peer, send the text once, close and release. UDP gives no sign of a missing
// receiver, so success means only that the datagram left.
#include "voice/win32/RemoteSender.h"

#include <windows.h>
#include <winsock.h>

#include <cstring>

#include "common/portable/RemoteCommand.h"
#include "common/win32/Winsock.h"

namespace hv {

namespace {

// The destination address in network order, or false when it cannot be found. A dotted
// address is used as it is: a reverse look-up would refuse LAN addresses without a
// reverse record and could block for seconds on every heartbeat.
bool resolveAddress(const std::string& remoteAddress, in_addr& address) {
  std::uint8_t octets[4];
  if (readDottedDecimal(remoteAddress, octets)) {
    std::memcpy(&address, octets, sizeof address);  // network order is the written order
    return true;
  }
  unsigned long numeric = inet_addr(remoteAddress.c_str());
  if (numeric != INADDR_NONE) {
    address.s_addr = numeric;
    return true;
  }
  const hostent* host = gethostbyname(remoteAddress.c_str());
  if (!host || host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0]) return false;
  std::memcpy(&address, host->h_addr_list[0], sizeof address);
  return true;
}

}  // namespace

bool SendRemoteCommand(const std::string& remoteAddress, const std::string& text) {
  WinsockSession winsock;
  if (!winsock.started()) return false;
  UdpSocket socket;
  if (!socket.valid()) return false;

  sockaddr_in destination = {};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(kRemoteCommandPort);
  if (!resolveAddress(remoteAddress, destination.sin_addr)) return false;
  if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&destination), sizeof destination) != 0) return false;

  send(socket.get(), text.data(), static_cast<int>(text.size()), 0);
  return true;
}

}  // namespace hv
