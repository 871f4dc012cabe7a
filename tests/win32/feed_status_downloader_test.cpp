// The status download through the real WinInet against the loopback HTTP server: exact
// bodies, error pages, progress messages, system error texts, the size limit, the
// time-out, and aborting a stalled download from another thread.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
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
using hvtest::LoopbackHttpServer;

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

// Every status text a download passes through, in order.
struct StatusLog {
  std::mutex mutex;
  std::vector<std::string> texts;
  void attach(StatusDownloader& d) {
    d.statusObserver = [this](const std::string& text) {
      std::lock_guard<std::mutex> lock(mutex);
      texts.push_back(text);
    };
  }
  std::vector<std::string> snapshot() {
    std::lock_guard<std::mutex> lock(mutex);
    return texts;
  }
};

std::string AllByteValues(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return s;
}

class StatusDownloaderTest : public ::testing::Test {
 protected:
  LoopbackHttpServer server;
};

TEST_F(StatusDownloaderTest, BodyIsHeldExactlyAsReceived) {
  struct Case {
    const char* name;
    std::string body;
  } cases[] = {
      {"empty", ""},
      {"one byte", "x"},
      {"NULs and line ends", std::string("a\0b\r\nc\n\rd\0\0\r\n\xA7\xFF", 15)},
      {"one piece", std::string(4095, 'p')},
      {"one piece and a byte", std::string(4096, 'q')},
      {"every byte value, many pieces", AllByteValues(100003)},
      {"status file", "; made up\r\nurl0=http://example.invalid/clients.txt\r\n\r\n"},
  };
  StatusDownloader downloader;
  downloader.reload = true;
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = "/file" + std::to_string(i++);
    server.addFile(path, c.body);
    std::string result = "left over from before";
    ASSERT_TRUE(downloader.Download(server.url(path), result)) << downloader.statusText();
    EXPECT_EQ(result.size(), c.body.size());
    EXPECT_TRUE(result == c.body);
    EXPECT_EQ(downloader.statusText(), "");
  }
}

TEST_F(StatusDownloaderTest, AnyHttpStatusGivesItsBody) {
  const std::string page = "<html><body>No such file here</body></html>\r\n";
  server.addFile("/missing.txt", page);
  server.setBehaviour("/missing.txt", HttpBehaviour::NotFound);
  StatusDownloader downloader;
  std::string result;
  ASSERT_TRUE(downloader.Download(server.url("/missing.txt"), result));
  EXPECT_EQ(result, page);
  EXPECT_EQ(downloader.statusText(), "");
  // A path the server does not know gets its own 404 page, which is a body too.
  ASSERT_TRUE(downloader.Download(server.url("/never/added.txt"), result));
  EXPECT_NE(result.find("404"), std::string::npos);
}

TEST_F(StatusDownloaderTest, RequestIsAPlainGetWithTheModulesUserAgent) {
  server.addFile("/data/status.txt", "url0=x\r\n");
  StatusDownloader downloader;
  downloader.reload = true;
  std::string result;
  ASSERT_TRUE(downloader.Download(server.url("/data/status.txt"), result));
  std::vector<hvtest::HttpRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].path, "/data/status.txt");
  EXPECT_NE((requests[0].headers + "\r\n").find("User-Agent: Hallvoxen\r\n"), std::string::npos)
      << requests[0].headers;
}

TEST_F(StatusDownloaderTest, ReloadFetchesFromTheServerEveryTime) {
  server.addFile("/data/status.txt", "first");
  StatusDownloader downloader;
  downloader.reload = true;
  std::string result;
  ASSERT_TRUE(downloader.Download(server.url("/data/status.txt"), result));
  EXPECT_EQ(result, "first");
  server.addFile("/data/status.txt", "second");
  ASSERT_TRUE(downloader.Download(server.url("/data/status.txt"), result));
  EXPECT_EQ(result, "second");
  EXPECT_EQ(server.requestsFor("/data/status.txt"), 2);
}

TEST_F(StatusDownloaderTest, ProgressWithinOneSecondGivesByteCountsOnly) {
  const std::string body = AllByteValues(20000);
  server.addFile("/clients.txt", body);
  StatusDownloader downloader;
  downloader.reload = true;
  StatusLog log;
  log.attach(downloader);
  // Start just after the wall clock's second turns, so the body arrives within one second.
  std::time_t now = std::time(nullptr);
  while (std::time(nullptr) == now) Sleep(1);

  std::string result;
  ASSERT_TRUE(downloader.Download(server.url("/clients.txt"), result));
  std::vector<std::string> texts = log.snapshot();
  ASSERT_FALSE(texts.empty());

  // The connection events come in the order of the table, before any byte is read.
  const std::vector<std::string> events = {
      "Resolving name for 127.0.0.1", "Resolved name for 127.0.0.1", "Connecting to socket address ",
      "Connected to socket address", "Sending request...", "Request sent", "Response received"};
  size_t at = 0;
  for (const std::string& text : texts)
    if (at < events.size() && text == events[at]) ++at;
  EXPECT_EQ(at, events.size()) << "missing or out of order: " << (at < events.size() ? events[at] : "");

  // Then one byte count per piece: growing, at most 4095 bytes apart, ending at the size.
  int previous = 0;
  int counts = 0;
  for (const std::string& text : texts) {
    if (text.rfind("Read ", 0) != 0) continue;
    EXPECT_EQ(text.find("Kb/s"), std::string::npos) << text;
    int total = std::stoi(text.substr(5));
    EXPECT_EQ(text, "Read " + std::to_string(total) + " bytes");
    EXPECT_GT(total, previous);
    EXPECT_LE(total - previous, 4095);
    previous = total;
    ++counts;
  }
  EXPECT_EQ(previous, 20000);
  EXPECT_GE(counts, 5);  // 20000 bytes cannot come in fewer pieces of 4095
  EXPECT_EQ(texts.back(), "");
  EXPECT_EQ(downloader.statusText(), "");
}

TEST_F(StatusDownloaderTest, ProgressAfterAWholeSecondGivesTheRate) {
  const std::string body(30000, 'r');
  server.addFile("/slow.txt", body);
  server.setBehaviour("/slow.txt", HttpBehaviour::Trickle);
  server.setTricklePause(1300ms);
  StatusDownloader downloader;
  StatusLog log;
  log.attach(downloader);
  std::string result;
  ASSERT_TRUE(downloader.Download(server.url("/slow.txt"), result));
  EXPECT_EQ(result, body);

  std::vector<std::string> texts = log.snapshot();
  std::string last;
  for (const std::string& text : texts)
    if (text.rfind("Read ", 0) == 0) last = text;
  // 30000 bytes after one or two whole seconds.
  EXPECT_TRUE(last == "Read 30000 bytes (29.3 Kb/s)" || last == "Read 30000 bytes (14.6 Kb/s)") << last;
  EXPECT_EQ(texts.back(), "");
}

TEST_F(StatusDownloaderTest, FailuresGiveTheSystemsMessage) {
  StatusDownloader downloader;
  std::string result = "stale";
  std::string refused = "http://127.0.0.1:" + std::to_string(hvtest::unusedLoopbackPort()) + "/data/status.txt";
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(downloader.Download(refused, result));
  EXPECT_LT(MsSince(start), 5000);
  EXPECT_EQ(result, "");
  EXPECT_EQ(downloader.statusText(), WinInetMessage(ERROR_INTERNET_CANNOT_CONNECT));
  EXPECT_FALSE(downloader.statusText().empty());

  // A malformed URL.
  EXPECT_FALSE(downloader.Download("no scheme at all", result));
  EXPECT_FALSE(downloader.statusText().empty());
  EXPECT_EQ(downloader.statusText().find_first_of("\r\n"), std::string::npos);
  EXPECT_LE(downloader.statusText().size(), 254u);

  // The same downloader works again afterwards.
  server.addFile("/ok.txt", "fine");
  EXPECT_TRUE(downloader.Download(server.url("/ok.txt"), result));
  EXPECT_EQ(result, "fine");
  EXPECT_EQ(downloader.statusText(), "");
}

TEST_F(StatusDownloaderTest, ConnectionClosedWithoutAnAnswerFails) {
  server.setBehaviour("/data/status.txt", HttpBehaviour::Refuse);
  StatusDownloader downloader;
  std::string result;
  EXPECT_FALSE(downloader.Download(server.url("/data/status.txt"), result));
  // The system's words for an invalid response, where it has some.
  std::string systemText = WinInetMessage(ERROR_HTTP_INVALID_SERVER_RESPONSE);
  EXPECT_EQ(downloader.statusText(), systemText.empty() ? std::string(hv::kNoAnswerText) : systemText);
  EXPECT_EQ(result, "");
  EXPECT_EQ(server.requestsFor("/data/status.txt"), 1);
}

TEST_F(StatusDownloaderTest, BodyShorterThanAnnouncedFails) {
  server.addFile("/clients.txt", std::string(5000, 'c'));
  server.setBehaviour("/clients.txt", HttpBehaviour::Truncate);
  StatusDownloader downloader;
  std::string result;
  EXPECT_FALSE(downloader.Download(server.url("/clients.txt"), result));
  EXPECT_EQ(downloader.statusText(), "Download incomplete: 5000 of 6000 bytes received");
}

TEST_F(StatusDownloaderTest, BodyOverTheLimitIsRefused) {
  // Announced with its length: refused before it is read.
  server.addFile("/huge.txt", std::string(hv::kMaxBodyBytes + 1, 'h'));
  StatusDownloader downloader;
  StatusLog log;
  log.attach(downloader);
  std::string result;
  EXPECT_FALSE(downloader.Download(server.url("/huge.txt"), result));
  EXPECT_EQ(downloader.statusText(), hv::kBodyTooLargeText);
  EXPECT_EQ(result, "");
  for (const std::string& text : log.snapshot()) EXPECT_NE(text.rfind("Read ", 0), 0u) << text;

  // The edge, with a smaller limit: at the limit accepted, one byte over refused.
  downloader.maxBodyBytes = 10000;
  server.addFile("/limit.txt", std::string(10000, 'l'));
  ASSERT_TRUE(downloader.Download(server.url("/limit.txt"), result));
  EXPECT_EQ(result.size(), 10000u);
  server.addFile("/over.txt", std::string(10001, 'o'));
  EXPECT_FALSE(downloader.Download(server.url("/over.txt"), result));
  EXPECT_EQ(downloader.statusText(), hv::kBodyTooLargeText);

  // Without a length the body is counted as it comes.
  server.addFile("/stream.txt", std::string(10000, 's'));
  server.setBehaviour("/stream.txt", HttpBehaviour::NoLength);
  downloader.maxBodyBytes = 9999;
  EXPECT_FALSE(downloader.Download(server.url("/stream.txt"), result));
  EXPECT_EQ(downloader.statusText(), hv::kBodyTooLargeText);
  EXPECT_EQ(result, "");
  downloader.maxBodyBytes = 10000;
  ASSERT_TRUE(downloader.Download(server.url("/stream.txt"), result));
  EXPECT_EQ(result, std::string(10000, 's'));
}

TEST_F(StatusDownloaderTest, StalledServerTimesOut) {
  server.addFile("/trickle.txt", std::string(8000, 't'));
  server.setBehaviour("/trickle.txt", HttpBehaviour::Trickle);
  server.setTricklePause(30s);
  server.setBehaviour("/stall.txt", HttpBehaviour::Stall);
  for (const char* path : {"/stall.txt", "/trickle.txt"}) {
    SCOPED_TRACE(path);
    StatusDownloader downloader;
    downloader.timeoutMs = 1000;
    std::string result;
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(downloader.Download(server.url(path), result));
    long long took = MsSince(start);
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 8000);
    // The system's wording differs between a silent head and a silent body.
    EXPECT_FALSE(downloader.statusText().empty());
    EXPECT_NE(downloader.statusText(), hv::kDownloadAbortedText);
    EXPECT_EQ(downloader.statusText().find_first_of("\r\n"), std::string::npos);
  }
}

TEST_F(StatusDownloaderTest, CloseBetweenTwoFilesOpensANewClient) {
  server.addFile("/clients.txt", "clients");
  server.addFile("/voice.txt", "voice");
  StatusDownloader downloader;
  downloader.reload = true;
  std::string clients, voice;
  ASSERT_TRUE(downloader.Download(server.url("/clients.txt"), clients));
  downloader.Close();
  ASSERT_TRUE(downloader.Download(server.url("/voice.txt"), voice));
  EXPECT_EQ(clients, "clients");
  EXPECT_EQ(voice, "voice");
}

// Runs a download on a thread of its own and tells when it returned.
struct BackgroundDownload {
  StatusDownloader downloader;
  std::string result = "sentinel";
  std::atomic<bool> returned{false};
  bool ok = true;
  Clock::time_point returnedAt;
  std::thread thread;

  BackgroundDownload(hv::DownloadAbort* abort, std::string url) : downloader(abort) {
    thread = std::thread([this, url] {
      ok = downloader.Download(url, result);
      returnedAt = Clock::now();
      returned = true;
    });
  }
  ~BackgroundDownload() {
    if (thread.joinable()) thread.join();
  }
};

TEST_F(StatusDownloaderTest, AbortEndsAStalledDownloadAtOnce) {
  struct Case {
    const char* name;
    HttpBehaviour behaviour;
  } cases[] = {
      {"waiting for the answer", HttpBehaviour::Stall},
      {"in the middle of the body", HttpBehaviour::Trickle},
  };
  server.setTricklePause(60s);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = std::string("/") + (c.behaviour == HttpBehaviour::Stall ? "stall" : "trickle");
    server.addFile(path, std::string(50000, 't'));
    server.setBehaviour(path, c.behaviour);
    std::atomic<std::uint32_t> stop{0};
    hv::DownloadAbort abort(stop);
    BackgroundDownload download(&abort, server.url(path));
    ASSERT_TRUE(server.waitForRequests(path, 1, 5s));
    Sleep(300);  // well inside the blocking call
    ASSERT_FALSE(download.returned);

    stop = 1;
    Clock::time_point abortedAt = Clock::now();
    abort.abort();
    while (!download.returned && MsSince(abortedAt) < 5000) Sleep(1);
    ASSERT_TRUE(download.returned);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(download.returnedAt - abortedAt).count(), 200);
    download.thread.join();
    EXPECT_FALSE(download.ok);
    EXPECT_EQ(download.result, "");
    EXPECT_EQ(download.downloader.statusText(), hv::kDownloadAbortedText);

    // While the flag stays set, a new download fails at once without asking the server.
    int before = server.requestsFor(path);
    std::string result;
    Clock::time_point again = Clock::now();
    EXPECT_FALSE(download.downloader.Download(server.url(path), result));
    EXPECT_LT(MsSince(again), 200);
    EXPECT_EQ(download.downloader.statusText(), hv::kDownloadAbortedText);
    EXPECT_EQ(server.requestsFor(path), before);
  }
}

TEST_F(StatusDownloaderTest, AbortWithNothingUnderWayChangesNothing) {
  server.addFile("/ok.txt", "fine");
  std::atomic<std::uint32_t> stop{0};
  hv::DownloadAbort abort(stop);
  abort.abort();  // nothing running: nothing to do
  StatusDownloader downloader(&abort);
  std::string result;
  ASSERT_TRUE(downloader.Download(server.url("/ok.txt"), result));
  EXPECT_EQ(result, "fine");
  // After a completed download the abort finds nothing either; the next one works.
  abort.abort();
  ASSERT_TRUE(downloader.Download(server.url("/ok.txt"), result));
  EXPECT_EQ(result, "fine");
}

}  // namespace
