#include "tests/support/DatagramReceiver.h"

#include <windows.h>
#include <winsock.h>

namespace hvtest {

DatagramReceiver::DatagramReceiver(const char* address) {
  WSADATA data;
  WSAStartup(MAKEWORD(1, 1), &data);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  socket_ = s;
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_port = htons(2464);
  local.sin_addr.s_addr = inet_addr(address);
  for (int attempt = 0; attempt < 100 && !bound_; ++attempt) {
    bound_ = bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    if (!bound_) Sleep(100);
  }
}

DatagramReceiver::~DatagramReceiver() {
  closesocket(static_cast<SOCKET>(socket_));
  WSACleanup();
}

std::optional<std::string> DatagramReceiver::next(std::chrono::milliseconds within) {
  SOCKET s = static_cast<SOCKET>(socket_);
  int timeout = static_cast<int>(within.count());
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  char buffer[2048];
  int n = recv(s, buffer, sizeof buffer, 0);
  if (n < 0) return std::nullopt;
  return std::string(buffer, n);
}

}  // namespace hvtest
