// Threads are started with CreateThread and their handles kept until they are joined.
// The join waits with MsgWaitForMultipleObjects so that messages sent to the waiting
// thread's windows are still answered: at unload the waiting thread is the simulator's,
// and the worker loop may be blocked in a SendMessage to the simulator's IPC window.
#include "module/win32/ModuleThreads.h"

#include <algorithm>
#include <memory>
#include <mutex>

namespace hv {

namespace {

DWORD WINAPI runThreadBody(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

bool ModuleThreads::start(std::function<void()> body) {
  std::lock_guard<CriticalSection> lock(mutex_);
  auto parameter = std::make_unique<std::function<void()>>(std::move(body));
  HANDLE thread = CreateThread(nullptr, 0, &runThreadBody, parameter.get(), 0, nullptr);
  if (!thread) return false;
  parameter.release();  // the thread owns it now
  running_.emplace_back(thread);
  return true;
}

// Closes the handles of threads that have ended; returns the ones still running.
std::vector<HANDLE> ModuleThreads::pruneEnded() {
  std::lock_guard<CriticalSection> lock(mutex_);
  auto ended = [](const ScopedKernelHandle& thread) { return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; };
  running_.erase(std::remove_if(running_.begin(), running_.end(), ended), running_.end());
  std::vector<HANDLE> running;
  for (const ScopedKernelHandle& thread : running_) running.push_back(thread.get());
  return running;
}

bool ModuleThreads::join(std::chrono::milliseconds within) {
  auto deadline = std::chrono::steady_clock::now() + within;
  for (;;) {
    // Answers the messages sent to this thread, also once every thread has ended: a batch
    // whose sender stopped waiting for the reply may still be queued here, and it must be
    // served while the buffer it points into is still there.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    std::vector<HANDLE> running = pruneEnded();
    if (running.empty()) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    // Wait for any one thread (the set may grow while we wait: a worker can still start a
    // dialog thread) or for a message sent to this thread.
    // MWMO_INPUTAVAILABLE: a message that was sent before this wait, and that the thread
    // has already seen in its queue, wakes the wait too.
    DWORD count = static_cast<DWORD>(std::min<size_t>(running.size(), MAXIMUM_WAIT_OBJECTS - 1));
    MsgWaitForMultipleObjectsEx(count, running.data(), static_cast<DWORD>(left.count()), QS_SENDMESSAGE,
                                MWMO_INPUTAVAILABLE);
  }
}

}  // namespace hv
