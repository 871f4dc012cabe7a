// The texts of a status download: progress events, byte counts, error messages and the
// body size limit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "feed/portable/DownloadStatus.h"

namespace {

using hv::StatusMessageFor;

struct EventCase {
  std::uint32_t code;
  const char* info;  // text information, or null
  bool changes;
  const char* message;
};

TEST(StatusMessageFor, EveryEventOfTheTable) {
  const EventCase cases[] = {
      {10, "status.example.net", true, "Resolving name for status.example.net"},
      {11, "192.0.2.7", true, "Resolved name for 192.0.2.7"},
      {20, nullptr, true, "Connecting to socket address "},
      {21, nullptr, true, "Connected to socket address"},
      {30, nullptr, true, "Sending request..."},
      {31, nullptr, true, "Request sent"},
      {40, nullptr, false, ""},
      {41, nullptr, true, "Response received"},
      {50, nullptr, true, "Closing the connection to the server"},
      {51, nullptr, true, "Connection to the server closed"},
      {60, nullptr, true, ""},
      {70, nullptr, false, ""},
      {100, nullptr, true, "Request complete"},
      {0, nullptr, true, "Unknown status: 0"},
      {42, nullptr, true, "Unknown status: 42"},
      {320, nullptr, true, "Unknown status: 320"},
  };
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.code);
    std::string message = "previous text";
    std::uint32_t length = c.info ? static_cast<std::uint32_t>(std::strlen(c.info) + 1) : 0;
    EXPECT_EQ(StatusMessageFor(c.code, c.info, length, message), c.changes);
    EXPECT_EQ(message, c.changes ? c.message : "previous text");
  }
}

TEST(StatusMessageFor, NameEventsTakeTheTextUpToItsNulOrItsLength) {
  std::string message;
  // The client counts the terminating NUL in the length; bytes after it are not text.
  const char withNul[] = "host.example\0garbage";
  StatusMessageFor(10, withNul, sizeof withNul, message);
  EXPECT_EQ(message, "Resolving name for host.example");
  // Without a NUL inside the length, nothing beyond the length is read.
  const char unterminated[] = {'a', 'b', 'c', 'd'};
  StatusMessageFor(11, unterminated, 3, message);
  EXPECT_EQ(message, "Resolved name for abc");
  // No information at all.
  StatusMessageFor(11, nullptr, 0, message);
  EXPECT_EQ(message, "Resolved name for ");
}

TEST(StatusMessageFor, RequestCompleteShowsItsTwoWordsOnlyWhenTheyAreEightBytes) {
  const std::uint32_t words[2] = {0x00C0FFEE, 12029};
  std::string message;
  StatusMessageFor(100, words, 8, message);
  EXPECT_EQ(message, "Request complete, dwResult = 00C0FFEE, dwError = 00002EFD");
  // The 64-bit client's record is 16 bytes long: no words are shown.
  const std::uint32_t wide[4] = {1, 0, 2, 0};
  StatusMessageFor(100, wide, 16, message);
  EXPECT_EQ(message, "Request complete");
  StatusMessageFor(100, words, 4, message);
  EXPECT_EQ(message, "Request complete");
}

TEST(ProgressMessage, RateOnlyOnceAWholeSecondHasPassed) {
  struct Case {
    std::int64_t total, seconds;
    const char* message;
  } cases[] = {
      {0, 0, "Read 0 bytes"},
      {4095, 0, "Read 4095 bytes"},
      {1048576, 0, "Read 1048576 bytes"},
      {1024, 1, "Read 1024 bytes (1.0 Kb/s)"},
      {10240, 4, "Read 10240 bytes (2.5 Kb/s)"},
      {100, 3, "Read 100 bytes (0.0 Kb/s)"},
      {16777216, 2, "Read 16777216 bytes (8192.0 Kb/s)"},
      {3000, 2, "Read 3000 bytes (1.5 Kb/s)"},
  };
  for (const Case& c : cases) EXPECT_EQ(hv::ProgressMessage(c.total, c.seconds), c.message);
}

TEST(FormatStatus, HoldsAtMost511Characters) {
  std::string longHost(600, 'h');
  std::string message;
  StatusMessageFor(10, longHost.c_str(), static_cast<std::uint32_t>(longHost.size() + 1), message);
  ASSERT_EQ(message.size(), 511u);
  EXPECT_EQ(message.substr(0, 19), "Resolving name for ");
  EXPECT_EQ(message.back(), 'h');
  EXPECT_EQ(hv::FormatStatus("%s", std::string(511, 'x').c_str()).size(), 511u);
  EXPECT_EQ(hv::FormatStatus("%s", std::string(510, 'x').c_str()).size(), 510u);
}

TEST(PlainErrorText, OneLineOfAtMost254Characters) {
  struct Case {
    std::string raw, plain;
  } cases[] = {
      {"The attempt to connect to the server failed.\r\n", "The attempt to connect to the server failed."},
      {"The request has timed out.\r\n\r\n", "The request has timed out."},
      {"First line.\r\nSecond line.\r\n", "First line. Second line."},
      {"LF only\nnext\n", "LF only next"},
      {"tab\there  \r\n", "tab here"},
      {"", ""},
      {"\r\n", ""},
      {std::string(300, 'e') + "\r\n", std::string(254, 'e')},
      {std::string(254, 'e'), std::string(254, 'e')},
      {std::string(253, 'e') + "\r\nX", std::string(253, 'e') + " "},
  };
  for (const Case& c : cases) EXPECT_EQ(hv::PlainErrorText(c.raw), c.plain) << c.raw;
}

TEST(BodyTooLarge, TheLimitItselfIsAllowedOneByteMoreIsNot) {
  const std::size_t limit = hv::kMaxBodyBytes;
  EXPECT_EQ(limit, 16u * 1024u * 1024u);
  EXPECT_FALSE(hv::BodyTooLarge(0, 0));
  EXPECT_FALSE(hv::BodyTooLarge(limit - 4095, 4095));
  EXPECT_FALSE(hv::BodyTooLarge(limit, 0));
  EXPECT_TRUE(hv::BodyTooLarge(limit - 4094, 4095));
  EXPECT_TRUE(hv::BodyTooLarge(limit, 1));
  EXPECT_TRUE(hv::BodyTooLarge(0, limit + 1));
  // No overflow when the held size is already near the top of size_t.
  EXPECT_TRUE(hv::BodyTooLarge(static_cast<std::size_t>(-1), 4095));
  EXPECT_FALSE(hv::BodyTooLarge(9, 1, 10));
  EXPECT_TRUE(hv::BodyTooLarge(10, 1, 10));
}

}  // namespace
