// Fetches the whole body of one HTTP URL over WinInet, for the feed threads.
//
// A feed makes a StatusDownloader for each fetch, downloads one or two files with it and
// drops it; it is never shared between threads. While a download runs, the client's
// progress events pass through a status text; after a failure that text holds the error
// message, which the feed keeps as the network's last error.
//
// The URL is opened in the steps InternetOpenUrl takes (connect, open the GET request,
// send it), so that the connect, send and receive time-outs can be set on the connection
// and the request themselves: some WinInets do not pass the Internet handle's on.
//
// A blocking WinInet call cannot always be cut short by closing its handles (under Wine
// a stalled receive runs on until the time-out), so the calls run on a short-lived
// transfer thread while the downloading thread waits for it. DownloadAbort ends that wait
// at once from another thread: it closes the handles (which cancels the call where the
// client allows it) and lets the download return false. A transfer thread left behind
// keeps the module loaded until its call returns, then ends.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/win32/CriticalSection.h"
#include "feed/portable/DownloadStatus.h"

namespace hv {

struct DownloadClient;
struct Transfer;

constexpr char kDownloadAbortedText[] = "Download aborted";
// A download that goes on trickling never meets the time-outs of the single calls; this
// bounds the whole of it, so that a feed always gets its turn again. A real status or
// data file takes seconds, even over a slow line.
constexpr std::chrono::milliseconds kWholeDownloadLimit{10 * 60 * 1000};
constexpr char kDownloadTooLongText[] = "Download timed out: the transfer took longer than 10 minutes";
// When the server closes the connection without answering and the system has no words for it.
constexpr char kNoAnswerText[] = "The server closed the connection without an answer";

// Ends the downloads of one feed from another thread. Set the feed's stop flag first,
// then call Abort(): the download under way returns false at once, and every later one
// fails at once while the flag stays set.
class DownloadAbort {
 public:
  explicit DownloadAbort(const std::atomic<std::uint32_t>& stopFlag) : stopFlag_(stopFlag) {}
  DownloadAbort(const DownloadAbort&) = delete;
  DownloadAbort& operator=(const DownloadAbort&) = delete;

  void Abort();

 private:
  friend class StatusDownloader;
  const std::atomic<std::uint32_t>& stopFlag_;
  CriticalSection mutex_;               // guards current_
  std::shared_ptr<Transfer> current_;   // the transfer a download is waiting for
};

class StatusDownloader {
 public:
  // With an abort, the downloads can be ended from another thread.
  explicit StatusDownloader(DownloadAbort* abort = nullptr) : abort_(abort) {}
  ~StatusDownloader() { Close(); }
  StatusDownloader(const StatusDownloader&) = delete;
  StatusDownloader& operator=(const StatusDownloader&) = delete;

  // Fetches the body of the URL into result, exactly as received, whatever the HTTP
  // status. Returns false on any failure; statusText() then holds the error's message.
  bool Download(const std::string& url, std::string& result);
  // Closes the client; the next Download opens a new one.
  void Close();

  // The latest progress or error message: empty after a success.
  const std::string& statusText() const { return statusText_; }

  // Ask the server for a fresh copy, bypassing every cache (every feed sets it).
  bool reload = false;

 private:
  void SetStatus(const std::string& text);

  DownloadAbort* abort_;
  std::shared_ptr<DownloadClient> client_;
  std::string statusText_;
};

}  // namespace hv
