// The listener: one blocking UDP socket on port 2464 (Windows Sockets 1.1). Each
// datagram's text is the voice program's argument, except the "{SYNC}" heartbeat,
// which only marks contact. Nothing about the sender is checked.
#include "remote/win32/CommandListener.h"

#include <winsock.h>
#include <windows.h>

#include "common/portable/ErrorMessages.h"
#include "common/portable/RemoteCommand.h"
#include "common/win32/ErrorBox.h"
#include "common/win32/RogerWilco.h"
#include "common/win32/Winsock.h"
#include "remote/win32/Pelkorin.h"

namespace hv {

bool FindRogerWilco(PelkorinState& pelkorin) {
  pelkorin.rogerWilcoPath = readRogerWilcoPath();
  if (!pelkorin.rogerWilcoPath.empty()) return true;
  showErrorBox(kRogerWilcoMissingMessage);
  return false;
}

unsigned __stdcall CommandListener(void* pelkorinState) {
  PelkorinState& pelkorin = *static_cast<PelkorinState*>(pelkorinState);
  WinsockSession winsock;
  if (!winsock.started()) {
    showErrorBox(kWinSockStartupErrorText);
    return 0;
  }

  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(kRemoteCommandPort);

  UdpSocket listener;
  if (!listener.valid()) {
    showErrorBox(kWinSockSocketErrorText);
    return 0;
  }
  // The voice program is started with inheritable handles; without this every copy it
  // runs would hold the port, and a restarted tray program could not bind it again.
  SetHandleInformation(reinterpret_cast<HANDLE>(listener.get()), HANDLE_FLAG_INHERIT, 0);

  if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
    showErrorBox(kWinSockBindErrorText);
    return 0;
  }

  char buffer[kRemoteCommandReceiveBytes];
  while (pelkorin.stopRequested.load() == 0) {
    // A datagram longer than the buffer fails with WSAEMSGSIZE and is gone; one of 513
    // bytes fills the buffer and is refused by the classification.
    int received = recv(listener.get(), buffer, sizeof buffer, 0);
    if (received == SOCKET_ERROR || received <= 0) continue;

    ReceivedRemoteCommand datagram = classifyRemoteCommand(buffer, static_cast<std::size_t>(received));
    if (datagram.kind == RemoteCommandKind::Ignored) continue;
    if (datagram.kind == RemoteCommandKind::Command)
      StartRogerWilco(pelkorin.rogerWilcoPath, std::string(datagram.text));
    pelkorin.contactSeen.store(1);
  }
  return 0;
}

}  // namespace hv
