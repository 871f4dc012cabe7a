// How the tray program reads a received datagram: empty and over-long datagrams are
// ignored, the text ends at the first NUL, and only the exact heartbeat is not a command.
#include "common/portable/RemoteCommand.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using hv::RemoteCommandKind;

struct Case {
  const char* name;
  std::string bytes;
  RemoteCommandKind kind;
  std::string text;
};

class ClassifyRemoteCommand : public ::testing::TestWithParam<Case> {};

TEST_P(ClassifyRemoteCommand, KindAndText) {
  const Case& c = GetParam();
  hv::ReceivedRemoteCommand got = hv::classifyRemoteCommand(c.bytes.data(), c.bytes.size());
  EXPECT_EQ(got.kind, c.kind);
  EXPECT_EQ(std::string(got.text), c.text);
  if (got.kind != RemoteCommandKind::Ignored) {
    // The text refers into the received bytes; nothing is copied.
    EXPECT_EQ(got.text.data(), c.bytes.data());
  }
}

using namespace std::string_literals;
const std::string k512(512, 'a');
const std::string k513(513, 'a');

INSTANTIATE_TEST_SUITE_P(
    Datagrams, ClassifyRemoteCommand,
    ::testing::Values(
        Case{"Heartbeat", "{SYNC}", RemoteCommandKind::Heartbeat, "{SYNC}"},
        Case{"HeartbeatLowerCase", "{sync}", RemoteCommandKind::Command, "{sync}"},
        Case{"HeartbeatWithBlank", "{SYNC} ", RemoteCommandKind::Command, "{SYNC} "},
        Case{"HeartbeatWithLeadingBlank", " {SYNC}", RemoteCommandKind::Command, " {SYNC}"},
        Case{"HeartbeatShort", "{SYNC", RemoteCommandKind::Command, "{SYNC"},
        Case{"HeartbeatThenNul", "{SYNC}\0junk"s, RemoteCommandKind::Heartbeat, "{SYNC}"},
        Case{"Leave", "/leave", RemoteCommandKind::Command, "/leave"},
        Case{"Join", "/join1 rw.example.net/eddf_twr", RemoteCommandKind::Command, "/join1 rw.example.net/eddf_twr"},
        Case{"AnyText", "hello world", RemoteCommandKind::Command, "hello world"},
        Case{"OneByte", "x", RemoteCommandKind::Command, "x"},
        Case{"NulCutsText", "/leave\0/join1 x"s, RemoteCommandKind::Command, "/leave"},
        Case{"TrailingNul", "/leave\0"s, RemoteCommandKind::Command, "/leave"},
        Case{"Empty", "", RemoteCommandKind::Ignored, ""},
        Case{"NulFirst", "\0/leave"s, RemoteCommandKind::Ignored, ""},
        Case{"OnlyNuls", "\0\0\0"s, RemoteCommandKind::Ignored, ""},
        Case{"Exactly512", k512, RemoteCommandKind::Command, k512},
        Case{"Exactly512WithNulEarly", "/x\0"s + std::string(509, 'b'), RemoteCommandKind::Command, "/x"},
        Case{"Over512", k513, RemoteCommandKind::Ignored, ""},
        Case{"Over512EvenWithNulEarly", "/x\0"s + std::string(510, 'b'), RemoteCommandKind::Ignored, ""},
        Case{"Over512Heartbeat", "{SYNC}\0"s + std::string(506, '\0'), RemoteCommandKind::Ignored, ""},
        Case{"HighBytes", "/join1 \xE4\xF6\xFC", RemoteCommandKind::Command, "/join1 \xE4\xF6\xFC"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(ClassifyRemoteCommand, ReceiveBufferTellsTooLongFromExactlyTheLimit) {
  // A receive into the buffer can deliver at most kRemoteCommandReceiveBytes; a full
  // buffer must be refused while one byte less is taken.
  static_assert(hv::kRemoteCommandReceiveBytes == hv::kMaxRemoteCommandBytes + 1);
  std::string buffer(hv::kRemoteCommandReceiveBytes, 'z');
  EXPECT_EQ(hv::classifyRemoteCommand(buffer.data(), buffer.size()).kind, RemoteCommandKind::Ignored);
  EXPECT_EQ(hv::classifyRemoteCommand(buffer.data(), buffer.size() - 1).kind, RemoteCommandKind::Command);
}

TEST(ClassifyRemoteCommand, NoBytesAtAll) {
  EXPECT_EQ(hv::classifyRemoteCommand(nullptr, 0).kind, RemoteCommandKind::Ignored);
  EXPECT_EQ(hv::classifyRemoteCommand(nullptr, 5).kind, RemoteCommandKind::Ignored);
}

}  // namespace
