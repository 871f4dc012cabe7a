// The status download through the real WinInet against the loopback HTTP server: exact
// bodies, error pages, system error texts, the size limit, the time-outs, and aborting a
// stalled download from another thread.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "feed/portable/DownloadStatus.h"
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

// The message the system has for a WinInet error, as one line.
std::string WinInetMessage(DWORD code) {
  char buffer[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, GetModuleHandleA("wininet.dll"),
                           code, 0, buffer, sizeof buffer, nullptr);
  return hv::PlainErrorText(std::string(buffer, n));
}

std::string AllByteValues(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return s;
}

class StatusDownloaderTest : public ::testing::Test {
 protected:
  hvtest::LoopbackHttpServer server;
};

TEST_F(StatusDownloaderTest, BodyIsHeldExactlyAsReceivedWhateverTheStatus) {
  const struct {
    const char* name;
    std::string body;
    HttpBehaviour behaviour;
  } cases[] = {
      {"empty", "", HttpBehaviour::Serve},
      {"NULs and line ends", std::string("a\0b\r\nc\n\rd\0\0\r\n\xA7\xFF", 15), HttpBehaviour::Serve},
      {"one piece", std::string(4095, 'p'), HttpBehaviour::Serve},
      {"one piece and a byte", std::string(4096, 'q'), HttpBehaviour::Serve},
      {"every byte value, many pieces", AllByteValues(100003), HttpBehaviour::Serve},
      {"without a length", AllByteValues(9000), HttpBehaviour::NoLength},
      {"a 404 page is a body too", "<html><body>No such file here</body></html>\r\n", HttpBehaviour::NotFound},
  };
  StatusDownloader downloader;
  downloader.reload = true;
  int i = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = "/file" + std::to_string(i++);
    server.addFile(path, c.body);
    server.setBehaviour(path, c.behaviour);
    std::string result = "left over from before";
    ASSERT_TRUE(downloader.Download(server.url(path), result)) << downloader.statusText();
    EXPECT_EQ(result.size(), c.body.size());
    EXPECT_TRUE(result == c.body);
    EXPECT_EQ(downloader.statusText(), "");
  }
  // A path the server does not know gets the server's own 404 page.
  std::string result;
  ASSERT_TRUE(downloader.Download(server.url("/never/added.txt"), result));
  EXPECT_NE(result.find("404"), std::string::npos);
  // Every download asks the server afresh, with a plain GET and the module's user agent.
  server.addFile("/file0", "changed");
  ASSERT_TRUE(downloader.Download(server.url("/file0"), result));
  EXPECT_EQ(result, "changed");
  EXPECT_EQ(server.requestsFor("/file0"), 2);
  for (const hvtest::HttpRequest& r : server.requests()) {
    EXPECT_EQ(r.method, "GET");
    EXPECT_NE((r.headers + "\r\n").find("User-Agent: Hallvoxen\r\n"), std::string::npos) << r.headers;
  }
}

// Each failure gives false, an empty result and a one-line status text; the downloader
// works again afterwards. The body limit is shortened to 10,000 bytes.
TEST_F(StatusDownloaderTest, FailuresGiveFalseAndTheErrorText) {
  const std::string noAnswer = WinInetMessage(ERROR_HTTP_INVALID_SERVER_RESPONSE);
  server.setBehaviour("/refuse.txt", HttpBehaviour::Refuse);
  server.addFile("/short.txt", std::string(5000, 'c'));
  server.setBehaviour("/short.txt", HttpBehaviour::Truncate);
  server.addFile("/over.txt", std::string(10001, 'o'));
  server.addFile("/stream.txt", std::string(10001, 's'));
  server.setBehaviour("/stream.txt", HttpBehaviour::NoLength);
  const struct {
    const char* name;
    std::string url;
    std::string text;  // empty: any text
  } cases[] = {
      {"connection refused", "http://127.0.0.1:" + std::to_string(hvtest::unusedLoopbackPort()) + "/status.txt",
       WinInetMessage(ERROR_INTERNET_CANNOT_CONNECT)},
      {"malformed URL", "no scheme at all", ""},
      {"connection closed without an answer", server.url("/refuse.txt"),
       noAnswer.empty() ? hv::kNoAnswerText : noAnswer},
      {"body shorter than announced", server.url("/short.txt"), "Download incomplete: 5000 of 6000 bytes received"},
      {"announced body over the limit", server.url("/over.txt"), hv::kBodyTooLargeText},
      {"body over the limit, counted as it comes", server.url("/stream.txt"), hv::kBodyTooLargeText},
  };
  StatusDownloader downloader;
  downloader.maxBodyBytes = 10000;
  std::string result;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    result = "stale";
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(downloader.Download(c.url, result));
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_EQ(result, "");
    if (!c.text.empty()) {
      EXPECT_EQ(downloader.statusText(), c.text);
    }
    EXPECT_FALSE(downloader.statusText().empty());
    EXPECT_EQ(downloader.statusText().find_first_of("\r\n"), std::string::npos);
    EXPECT_LE(downloader.statusText().size(), 254u);
  }
  EXPECT_EQ(server.requestsFor("/refuse.txt"), 1) << "no retry of its own";
  // The limit itself is allowed, with a length or without.
  server.addFile("/over.txt", std::string(10000, 'o'));
  server.addFile("/stream.txt", std::string(10000, 's'));
  ASSERT_TRUE(downloader.Download(server.url("/over.txt"), result));
  EXPECT_EQ(result, std::string(10000, 'o'));
  ASSERT_TRUE(downloader.Download(server.url("/stream.txt"), result));
  EXPECT_EQ(result, std::string(10000, 's'));
  EXPECT_EQ(downloader.statusText(), "");
}

// A silent head or body times out; a body that keeps trickling meets no time-out of a
// single call, but the whole download is bounded all the same. The next one starts afresh.
TEST_F(StatusDownloaderTest, StalledOrTricklingServerGivesUpInTime) {
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
    if (c.wholeLimit)
      downloader.wholeDownloadLimit = 1000ms;
    else
      downloader.timeoutMs = 1000;
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
    EXPECT_EQ(downloader.statusText().find_first_of("\r\n"), std::string::npos);
    ASSERT_TRUE(downloader.Download(server.url("/ok.txt"), result));
    EXPECT_EQ(result, "fine");
  }
}

TEST_F(StatusDownloaderTest, AbortEndsAStalledDownloadAtOnce) {
  server.addFile("/ok.txt", "fine");
  server.setTricklePause(60s);
  std::atomic<std::uint32_t> stop{0};
  hv::DownloadAbort abort(stop);
  // With nothing under way, or after a completed download, an abort changes nothing.
  abort.abort();
  StatusDownloader downloader(&abort);
  std::string result;
  ASSERT_TRUE(downloader.Download(server.url("/ok.txt"), result));
  abort.abort();
  ASSERT_TRUE(downloader.Download(server.url("/ok.txt"), result));
  EXPECT_EQ(result, "fine");

  for (HttpBehaviour behaviour : {HttpBehaviour::Stall, HttpBehaviour::Trickle}) {  // the head, the body
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
    abort.abort();
    while (!returned && MsSince(abortedAt) < 5000) Sleep(1);
    EXPECT_LT(MsSince(abortedAt), 200);
    download.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(result, "");
    EXPECT_EQ(stalled.statusText(), hv::kDownloadAbortedText);

    // While the flag stays set, a new download fails at once without asking the server.
    int before = server.requestsFor(path);
    Clock::time_point again = Clock::now();
    EXPECT_FALSE(stalled.Download(server.url(path), result));
    EXPECT_LT(MsSince(again), 200);
    EXPECT_EQ(stalled.statusText(), hv::kDownloadAbortedText);
    EXPECT_EQ(server.requestsFor(path), before);
  }
}

}  // namespace
