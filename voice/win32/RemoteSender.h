// Sends one command text as a UDP datagram to the tray program on the computer that
// runs the voice program (port 2464). Each call owns its socket and its Winsock start.
#pragma once

#include <string>

namespace hv {

// Returns true when the datagram was handed to the network. A dotted IPv4 address is
// used as it is; any other text is looked up as a host name.
bool SendRemoteCommand(const std::string& remoteAddress, const std::string& text);

}  // namespace hv
