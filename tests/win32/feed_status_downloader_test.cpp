// The status download through the real WinInet against the loopback HTTP server, for what
// the scenarios cannot show in seconds: the time-outs (shortened here from 20 s and 10
// minutes). Bodies, the failures' texts and an abort ending a stalled download are seen in
// the scenarios (feed_failures, unload_during_downloads), through the log and the unload.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "feed/win32/StatusDownloader.h"
#include "tests/support/LoopbackHttpServer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using hv::StatusDownloader;
using hvtest::HttpBehaviour;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A silent head or body meets the calls' time-out; a body that keeps trickling meets no
// single call's, but the whole download is bounded all the same. The next one starts afresh.
TEST(StatusDownloader, StalledOrTricklingServerGivesUpInTime) {
  hvtest::LoopbackHttpServer server;
  server.addFile("/trickle.txt", std::string(8000, 't'));
  server.setBehaviour("/trickle.txt", HttpBehaviour::Trickle);
  server.setTricklePause(30s);
  server.setBehaviour("/stall.txt", HttpBehaviour::Stall);
  server.addFile("/ok.txt", "fine");
  const struct {
    const char* path;
    bool wholeLimit;  // 1 s for the whole download, far below the calls' own 20 s
  } cases[] = {{"/stall.txt", false}, {"/trickle.txt", false}, {"/trickle.txt", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + (c.wholeLimit ? ", whole download bounded" : ", call time-out"));
    StatusDownloader downloader;
    if (c.wholeLimit) downloader.wholeDownloadLimit = 1000ms;
    else downloader.timeoutMs = 1000;
    std::string result = "stale";
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(downloader.Download(server.url(c.path), result));
    EXPECT_GE(MsSince(start), 900);
    EXPECT_LT(MsSince(start), 8000);
    EXPECT_EQ(result, "");
    if (c.wholeLimit) {
      EXPECT_EQ(downloader.statusText(), hv::kDownloadTooLongText);
    }
    EXPECT_NE(downloader.statusText(), hv::kDownloadAbortedText);
    ASSERT_TRUE(downloader.Download(server.url("/ok.txt"), result));
    EXPECT_EQ(result, "fine");
  }
}

}  // namespace
