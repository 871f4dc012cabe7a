// The threads the module starts (two feeds, the worker loop, at most one dialog thread).
// Each is counted here so that unload can wake and join every one of them before the
// de-initialisation entry returns; nothing of the module runs after that.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <vector>

#include "common/win32/CriticalSection.h"
#include "common/win32/ScopedWin.h"

namespace hv {

class ModuleThreads {
 public:
  ModuleThreads() = default;
  ModuleThreads(const ModuleThreads&) = delete;
  ModuleThreads& operator=(const ModuleThreads&) = delete;

  // Starts a thread running body(). Returns false when it could not be started.
  bool start(std::function<void()> body);

  // Waits until every started thread has ended, dispatching messages sent to the calling
  // thread's windows meanwhile (a thread of the module may be waiting for the simulator's
  // reply, which the calling thread must give). Returns false when some thread was still
  // running when the time was up.
  bool join(std::chrono::milliseconds within);

 private:
  std::vector<HANDLE> pruneEnded();

  CriticalSection mutex_;
  std::vector<ScopedKernelHandle> running_;  // started and not yet seen to end
};

}  // namespace hv
