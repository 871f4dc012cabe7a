// Command datagrams on the wire: exactly the text's bytes to UDP port 2464.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/DatagramReceiver.h"
#include "voice/win32/RemoteSender.h"

namespace {

using Receiver = hvtest::DatagramReceiver;

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

TEST(SendRemoteCommand, LeadingZerosAreDecimalAsTheAddressCheckReadsThem) {
  // Read as octal, the address would be 127.0.0.8 and nothing would arrive here.
  Receiver receiver("127.0.0.10");
  ASSERT_TRUE(receiver.bound());
  EXPECT_TRUE(hv::SendRemoteCommand("127.0.0.010", "/leave"));
  EXPECT_EQ(receiver.next(), "/leave");
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
