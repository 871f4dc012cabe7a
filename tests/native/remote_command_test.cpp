// How the tray program reads a received datagram: empty and over-long datagrams are
// ignored, the text ends at the first NUL, and only the exact heartbeat is not a command.
#include "common/portable/RemoteCommand.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using hv::RemoteCommandKind;
using namespace std::string_literals;

TEST(ClassifyRemoteCommand, Table) {
  const std::string k512(512, 'a');
  const struct { const char* what; std::string bytes; RemoteCommandKind kind; std::string text; } cases[] = {
      {"heartbeat", "{SYNC}", RemoteCommandKind::Heartbeat, "{SYNC}"},
      {"heartbeat then NUL", "{SYNC}\0junk"s, RemoteCommandKind::Heartbeat, "{SYNC}"},
      {"heartbeat in lower case", "{sync}", RemoteCommandKind::Command, "{sync}"},
      {"heartbeat cut short", "{SYNC", RemoteCommandKind::Command, "{SYNC"},
      {"any text", "/join1 rw.example.net/eddf_twr", RemoteCommandKind::Command, "/join1 rw.example.net/eddf_twr"},
      {"NUL cuts the text", "/leave\0/join1 x"s, RemoteCommandKind::Command, "/leave"},
      {"empty", "", RemoteCommandKind::Ignored, ""},
      {"NUL first", "\0/leave"s, RemoteCommandKind::Ignored, ""},
      {"exactly 512", k512, RemoteCommandKind::Command, k512},
      // A receive into the buffer of kRemoteCommandReceiveBytes that fills it: too long.
      {"513", k512 + "a", RemoteCommandKind::Ignored, ""},
      {"513, heartbeat and NULs", "{SYNC}\0"s + std::string(506, '\0'), RemoteCommandKind::Ignored, ""},
  };
  static_assert(hv::kRemoteCommandReceiveBytes == 513);
  for (const auto& c : cases) {
    const hv::ReceivedRemoteCommand got = hv::classifyRemoteCommand(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(got.kind, c.kind) << c.what;
    EXPECT_EQ(std::string(got.text), c.text) << c.what;
    // The text refers into the received bytes; nothing is copied.
    if (got.kind != RemoteCommandKind::Ignored) EXPECT_EQ(got.text.data(), c.bytes.data()) << c.what;
  }
  EXPECT_EQ(hv::classifyRemoteCommand(nullptr, 0).kind, RemoteCommandKind::Ignored);
  EXPECT_EQ(hv::classifyRemoteCommand(nullptr, 5).kind, RemoteCommandKind::Ignored);
}

// The sender's reading of a configured address: decimal even with leading zeros, and
// nothing but four numbers and three dots.
TEST(ReadDottedDecimal, Table) {
  const struct { const char* text; bool read; std::uint8_t octets[4]; } cases[] = {
      {"192.168.1.20", true, {192, 168, 1, 20}}, {"10.0.0.010", true, {10, 0, 0, 10}}, {"10.0.0.256", false, {}},
      {"10.0.0.1x", false, {}}, {" 10.0.0.1", false, {}}, {"10.0..1", false, {}}, {"10.0.0", false, {}},
      {"99999999999.0.0.1", false, {}}, {"", false, {}},
  };
  for (const auto& c : cases) {
    std::uint8_t octets[4] = {7, 7, 7, 7};
    EXPECT_EQ(hv::readDottedDecimal(c.text, octets), c.read) << c.text;
    if (c.read) EXPECT_EQ(std::memcmp(octets, c.octets, 4), 0) << c.text;
  }
}

}  // namespace
