// The texts of a status download: progress events, byte counts, error messages and the
// body size limit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "feed/portable/DownloadStatus.h"

namespace hv {
namespace {

TEST(StatusMessageFor, EveryEventOfTheTable) {
  const std::uint32_t words[2] = {0x00C0FFEE, 12029};
  const std::uint32_t wide[4] = {1, 0, 2, 0};  // the 64-bit client's record: no words are shown
  const char withNul[] = "host.example\0garbage";
  const std::string longHost(600, 'h');
  const struct {
    std::uint32_t code;
    const void* info;
    std::uint32_t length;  // in bytes; the client counts a text's terminating NUL
    bool changes;
    std::string message;
  } cases[] = {
      {10, "status.example.net", 19, true, "Resolving name for status.example.net"},
      {11, "192.0.2.7", 10, true, "Resolved name for 192.0.2.7"},
      {10, withNul, sizeof withNul, true, "Resolving name for host.example"},  // not past the NUL
      {11, "abcd", 3, true, "Resolved name for abc"},                          // nor past the length
      {11, nullptr, 0, true, "Resolved name for "},
      {10, longHost.c_str(), 601, true, "Resolving name for " + std::string(511 - 19, 'h')},  // 511 at most
      {20, nullptr, 0, true, "Connecting to socket address "},
      {21, nullptr, 0, true, "Connected to socket address"},
      {30, nullptr, 0, true, "Sending request..."},
      {31, nullptr, 0, true, "Request sent"},
      {40, nullptr, 0, false, ""},
      {41, nullptr, 0, true, "Response received"},
      {50, nullptr, 0, true, "Closing the connection to the server"},
      {51, nullptr, 0, true, "Connection to the server closed"},
      {60, nullptr, 0, true, ""},
      {70, nullptr, 0, false, ""},
      {100, words, 8, true, "Request complete, dwResult = 00C0FFEE, dwError = 00002EFD"},
      {100, wide, 16, true, "Request complete"},
      {100, words, 4, true, "Request complete"},
      {100, nullptr, 0, true, "Request complete"},
      {0, nullptr, 0, true, "Unknown status: 0"},
      {42, nullptr, 0, true, "Unknown status: 42"},
      {320, nullptr, 0, true, "Unknown status: 320"},
  };
  for (const auto& c : cases) {
    std::string message = "previous text";
    EXPECT_EQ(StatusMessageFor(c.code, c.info, c.length, message), c.changes) << c.code;
    EXPECT_EQ(message, c.changes ? c.message : "previous text") << c.code;
  }
  EXPECT_EQ(FormatStatus("%s", std::string(511, 'x').c_str()).size(), 511u);
}

TEST(ProgressMessage, RateOnlyOnceAWholeSecondHasPassed) {
  const struct {
    std::int64_t total, seconds;
    const char* message;
  } cases[] = {
      {0, 0, "Read 0 bytes"},
      {1048576, 0, "Read 1048576 bytes"},
      {1024, 1, "Read 1024 bytes (1.0 Kb/s)"},
      {10240, 4, "Read 10240 bytes (2.5 Kb/s)"},
      {100, 3, "Read 100 bytes (0.0 Kb/s)"},
      {3000, 2, "Read 3000 bytes (1.5 Kb/s)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgressMessage(c.total, c.seconds), c.message);
}

TEST(PlainErrorText, OneLineOfAtMost254Characters) {
  const struct {
    std::string raw, plain;
  } cases[] = {
      {"The attempt to connect to the server failed.\r\n", "The attempt to connect to the server failed."},
      {"The request has timed out.\r\n\r\n", "The request has timed out."},
      {"First line.\r\nSecond line.\r\n", "First line. Second line."},
      {"LF only\nnext\n", "LF only next"},
      {"tab\there  \r\n", "tab here"},
      {"\r\n", ""},
      {std::string(300, 'e') + "\r\n", std::string(254, 'e')},
      {std::string(253, 'e') + "\r\nX", std::string(253, 'e') + " "},
  };
  for (const auto& c : cases) EXPECT_EQ(PlainErrorText(c.raw), c.plain) << c.raw;
}

TEST(BodyTooLarge, SixteenMebibytesAllowedOneByteMoreNot) {
  const std::size_t limit = 16u * 1024u * 1024u;
  const struct {
    std::size_t held, incoming;
    bool tooLarge;
  } cases[] = {
      {0, 0, false},          {limit - 4095, 4095, false}, {limit, 0, false},        {limit - 4094, 4095, true},
      {limit, 1, true},       {0, limit + 1, true},
      {static_cast<std::size_t>(-1), 4095, true},  // no overflow near the top of size_t
  };
  for (const auto& c : cases) EXPECT_EQ(BodyTooLarge(c.held, c.incoming), c.tooLarge) << c.held << " + " << c.incoming;
}

}  // namespace
}  // namespace hv
