// Each open log's queue is guarded by a critical section of its own, held only to add
// lines or take them all; the writer's file work happens outside it. The open log is
// shared with its writer thread, which may outlive the LogWriter that started it.
#include "common/win32/LogWriter.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "common/win32/CriticalSection.h"
#include "common/win32/ModulePin.h"
#include "common/win32/ScopedWin.h"

namespace hv {

// One open log: its queue, and what its writer thread needs.
struct OpenLog {
  std::string path;
  ScopedKernelHandle wake{CreateEventA(nullptr, FALSE, FALSE, nullptr)};  // lines queued or closing

  CriticalSection lock;  // guards what follows
  std::vector<std::string> queued;
  std::size_t queuedBytes = 0;
  unsigned long dropped = 0;
  bool closing = false;
};

namespace {

std::string timestamped(const std::string& text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return stamp + text + "\r\n";
}

void queueLine(OpenLog& log, std::string line) {
  log.queuedBytes += line.size();
  log.queued.push_back(std::move(line));
}

// The file the writer appends to, renamed at the size limit.
class LogFile {
 public:
  explicit LogFile(std::string path) : path_(std::move(path)) {}

  void write(const std::string& line) {
    if (!file_ && !open(OPEN_ALWAYS)) return;
    if (size_ > 0 && size_ + line.size() > kLogFileLimit) rotate();
    if (!file_) return;
    DWORD written = 0;
    if (!WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
      file_.reset();  // a full disk, say: tried afresh with the next line
      return;
    }
    size_ += written;
  }

 private:
  bool open(DWORD disposition) {
    HANDLE file = CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    file_.reset(file);
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    size_ = (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) ? 0 : (std::size_t{high} << 16 << 16) | low;
    return true;
  }

  void rotate() {
    file_.reset();
    // A reader that holds the file without delete sharing blocks the rename: the file then
    // grows on rather than being emptied of what could not be kept.
    const bool renamed = MoveFileExA(path_.c_str(), (path_ + ".1").c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    open(renamed ? CREATE_ALWAYS : OPEN_ALWAYS);
  }

  std::string path_;
  ScopedKernelHandle file_;
  std::size_t size_ = 0;
};

void runWriter(OpenLog& log) {
  LogFile file(log.path);
  for (;;) {
    WaitForSingleObject(log.wake.get(), INFINITE);
    std::vector<std::string> lines;
    bool closing;
    {
      std::lock_guard<CriticalSection> lock(log.lock);
      lines.swap(log.queued);
      log.queuedBytes = 0;
      closing = log.closing;
    }
    for (const std::string& line : lines) file.write(line);
    if (closing) return;  // close() queues nothing after it has set `closing`
  }
}

}  // namespace

bool LogWriter::open(const std::string& path) {
  auto log = std::make_shared<OpenLog>();
  log->path = path;
  if (!log->wake) return false;
  HANDLE thread = startPinnedThread([log] { runWriter(*log); });
  if (thread == nullptr) return false;
  writer_.reset(thread);
  std::lock_guard<CriticalSection> lock(lock_);
  current_ = std::move(log);
  return true;
}

void LogWriter::write(const std::string& text) {
  std::string line = timestamped(text);
  std::shared_ptr<OpenLog> log;
  {
    std::lock_guard<CriticalSection> lock(lock_);
    log = current_;
  }
  if (!log) return;
  std::lock_guard<CriticalSection> lock(log->lock);
  if (log->closing) return;
  if (log->queuedBytes + line.size() > kLogQueueLimit) {
    ++log->dropped;
    return;
  }
  if (log->dropped > 0) {
    queueLine(*log, timestamped(std::to_string(log->dropped) + " lines dropped: the log could not keep up"));
    log->dropped = 0;
  }
  queueLine(*log, std::move(line));
  SetEvent(log->wake.get());
}

void LogWriter::close(std::chrono::milliseconds within) {
  std::shared_ptr<OpenLog> log;
  {
    std::lock_guard<CriticalSection> lock(lock_);
    log = std::move(current_);
  }
  if (!log) return;
  {
    std::lock_guard<CriticalSection> lock(log->lock);
    log->closing = true;
  }
  SetEvent(log->wake.get());
  WaitForSingleObject(writer_.get(), static_cast<DWORD>(within.count()));
  writer_.reset();
}

}  // namespace hv
