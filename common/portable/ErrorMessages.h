// Messages the user must act on, shown in a stop box captioned "Hallvoxen Error".
#pragma once

namespace hv {

constexpr char kErrorCaption[] = "Hallvoxen Error";
constexpr char kRogerWilcoMissingMessage[] =
    "RogerWilco not found !\r\nPlease check for proper RogerWilco installation !";
constexpr char kRemoteFailureMessage[] =
    "Error initializing Remote Control !\r\nPlease check for proper installation of TCP/IP protocol !";

// The tray program's listener.
constexpr char kWinSockStartupErrorText[] = "WinSock Error !\r\nPlease check for proper TCP/IP installation !";
constexpr char kWinSockSocketErrorText[] =
    "WinSock Error in socket() function !\r\nPlease check for proper TCP/IP installation !";
constexpr char kWinSockBindErrorText[] =
    "WinSock Error in bind() function !\r\nPlease check for proper TCP/IP installation !";

}  // namespace hv
