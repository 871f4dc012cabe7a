// The status download through the real WinInet against the loopback HTTP server, for what
// the scenarios cannot show in seconds: the time-outs (shortened here from 20 s and 10
// minutes) and an abort ending a stalled download at once. Bodies and the failures' texts
// are seen in the scenarios, through the log and the dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

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

// In the head or in the body; while the flag stays set, a new download fails at once
// without asking the server. With nothing under way, an abort changes nothing.
TEST(StatusDownloader, AbortEndsAStalledDownloadAtOnce) {
  hvtest::LoopbackHttpServer server;
  server.addFile("/ok.txt", "fine");
  server.setTricklePause(60s);
  std::atomic<std::uint32_t> stop{0};
  hv::DownloadAbort abort(stop);
  abort.Abort();
  std::string result;
  ASSERT_TRUE(StatusDownloader(&abort).Download(server.url("/ok.txt"), result));

  for (HttpBehaviour behaviour : {HttpBehaviour::Stall, HttpBehaviour::Trickle}) {
    const std::string path = behaviour == HttpBehaviour::Stall ? "/stall" : "/trickle";
    SCOPED_TRACE(path);
    server.addFile(path, std::string(50000, 't'));
    server.setBehaviour(path, behaviour);
    stop = 0;
    StatusDownloader stalled(&abort);
    std::atomic<bool> returned{false};
    bool ok = true;
    result = "sentinel";
    std::thread download([&] {
      ok = stalled.Download(server.url(path), result);
      returned = true;
    });
    EXPECT_TRUE(server.waitForRequests(path, 1, 5s));
    Sleep(300);  // well inside the blocking call
    EXPECT_FALSE(returned);

    stop = 1;
    Clock::time_point abortedAt = Clock::now();
    abort.Abort();
    while (!returned && MsSince(abortedAt) < 5000) Sleep(1);
    EXPECT_LT(MsSince(abortedAt), 200);
    download.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(result, "");
    EXPECT_EQ(stalled.statusText(), hv::kDownloadAbortedText);

    const int before = server.requestsFor(path);
    EXPECT_FALSE(stalled.Download(server.url(path), result));
    EXPECT_EQ(stalled.statusText(), hv::kDownloadAbortedText);
    EXPECT_EQ(server.requestsFor(path), before);
  }
}

}  // namespace
