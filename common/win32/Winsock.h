// Owners for Windows Sockets 1.1: a started Winsock and a UDP socket. Both deliverables
// use them (the module's datagram sender, the tray program's listener).
#pragma once

#include <windows.h>
#include <winsock.h>

namespace hv {

class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  ~WinsockSession() {
    if (started_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

class UdpSocket {
 public:
  UdpSocket() : socket_(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {}
  ~UdpSocket() {
    if (valid()) closesocket(socket_);
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  bool valid() const { return socket_ != INVALID_SOCKET; }
  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

}  // namespace hv
