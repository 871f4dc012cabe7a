// Threads are started with CreateThread and their handles kept until they are joined.
// The join waits with MsgWaitForMultipleObjects so that messages sent to the waiting
// thread's windows are still answered: at unload the waiting thread is the simulator's,
// and the worker loop may be blocked in a SendMessage to the simulator's IPC window.
#include "module/win32/ModuleThreads.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "common/win32/CriticalSection.h"

namespace hv {

namespace {

CriticalSection threadsMutex;
std::vector<HANDLE> threads;  // started and not yet seen to end

DWORD WINAPI runThreadBody(void* body) {
  reinterpret_cast<ThreadBody>(body)();
  return 0;
}

// Closes the handles of threads that have ended; returns the ones still running.
std::vector<HANDLE> pruneEndedThreads() {
  std::lock_guard<CriticalSection> lock(threadsMutex);
  auto ended = [](HANDLE h) {
    if (WaitForSingleObject(h, 0) != WAIT_OBJECT_0) return false;
    CloseHandle(h);
    return true;
  };
  threads.erase(std::remove_if(threads.begin(), threads.end(), ended), threads.end());
  return threads;
}

}  // namespace

bool startModuleThread(ThreadBody body) {
  std::lock_guard<CriticalSection> lock(threadsMutex);
  HANDLE thread = CreateThread(nullptr, 0, &runThreadBody, reinterpret_cast<void*>(body), 0, nullptr);
  if (!thread) return false;
  threads.push_back(thread);
  return true;
}

bool joinModuleThreads(std::chrono::milliseconds within) {
  auto deadline = std::chrono::steady_clock::now() + within;
  for (;;) {
    // Answers the messages sent to this thread, also once every thread has ended: a batch
    // whose sender stopped waiting for the reply may still be queued here, and it must be
    // served while the buffer it points into is still loaded.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    std::vector<HANDLE> running = pruneEndedThreads();
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
