// The module's log: plain text, one line per event, each stamped with the local date and
// time when it was logged.
//
// Logging never waits for the disk: write() only puts the line in a bounded queue in
// memory, and a writer thread of the log's own appends what is queued to the file. A full
// queue drops lines, and the next line that fits is preceded by one saying how many were
// lost. A file that cannot be opened or written costs nothing else: its lines are dropped.
// At 1 MiB the file is renamed with ".1" added (one older generation is kept) and a new
// one is started.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "common/win32/CriticalSection.h"
#include "common/win32/ScopedWin.h"

namespace hv {

constexpr std::size_t kLogFileLimit = 1024 * 1024;
constexpr std::size_t kLogQueueLimit = 256 * 1024;  // bytes of lines waiting for the writer

struct OpenLog;

// One module's log. open() and close() are called on one thread (start-up and shutdown);
// write() from any thread.
class LogWriter {
 public:
  LogWriter() = default;
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;
  ~LogWriter() { close(std::chrono::milliseconds(0)); }

  // Starts a log at `path`, appending to what is there. Returns false when the writer
  // could not be started; logging is then a no-op.
  bool open(const std::string& path);

  // Queues one line (without its line end); does nothing while no log is open.
  void write(const std::string& text);

  // Writes what is queued and ends the writer, waiting at most `within`. A writer still at
  // the disk then finishes on its own; the module stays loaded until it has.
  void close(std::chrono::milliseconds within);

 private:
  CriticalSection lock_;           // guards current_
  std::shared_ptr<OpenLog> current_;  // null while no log is open; shared with its writer thread
  ScopedKernelHandle writer_;      // the current log's writer thread
};

}  // namespace hv
