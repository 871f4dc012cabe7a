// Command datagrams on the wire: exactly the text's bytes to UDP port 2464.
#include <gtest/gtest.h>

#include <winsock.h>

#include <chrono>

#include "voice/win32/RemoteSender.h"

namespace {

class Receiver {
 public:
  Receiver() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(2464);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    bound_ = bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    int timeout = 2000;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  }
  ~Receiver() {
    closesocket(socket_);
    WSACleanup();
  }
  bool bound() const { return bound_; }
  // The next datagram's bytes, or "<none>" after two seconds.
  std::string next() {
    char buffer[2048];
    int n = recv(socket_, buffer, sizeof buffer, 0);
    return n < 0 ? "<none>" : std::string(buffer, n);
  }

 private:
  SOCKET socket_;
  bool bound_ = false;
};

TEST(SendRemoteCommand, SendsExactlyTheTextsBytes) {
  Receiver receiver;
  ASSERT_TRUE(receiver.bound());
  const std::string texts[] = {"{SYNC}", "/leave", "/join1 VOICE.EXAMPLE.NET/EDDF_TWR/EDDF_TWR",
                               std::string(167, 'x')};
  for (const std::string& text : texts) {
    EXPECT_TRUE(hv::SendRemoteCommand("127.0.0.1", text));
    EXPECT_EQ(receiver.next(), text);
  }
}

TEST(SendRemoteCommand, HostNamesAreLookedUp) {
  Receiver receiver;
  ASSERT_TRUE(receiver.bound());
  EXPECT_TRUE(hv::SendRemoteCommand("localhost", "/leave"));
  EXPECT_EQ(receiver.next(), "/leave");
  EXPECT_FALSE(hv::SendRemoteCommand("no-such-host.invalid", "/leave"));
}

TEST(SendRemoteCommand, DottedAddressWithoutReverseRecordIsUsedAsItIs) {
  // 192.0.2.1 is reserved for documentation: no reverse record, nobody listening.
  // UDP reports nothing, so the send succeeds, and it must not wait on a look-up.
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(hv::SendRemoteCommand("192.0.2.1", "{SYNC}"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(SendRemoteCommand, NoListenerStillCountsAsSent) {
  EXPECT_TRUE(hv::SendRemoteCommand("127.0.0.1", "/leave"));
}

}  // namespace
