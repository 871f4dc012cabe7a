#include "module/portable/StopSignal.h"

namespace hv {

bool StopSignal::sleepFor(std::chrono::milliseconds period, const Flag& stopFlag) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, period, [&] { return stopFlag.load() != 0; });
  return stopFlag.load() != 0;
}

void StopSignal::wakeAll() {
  // Taking the mutex orders the caller's flag stores before any sleeper's predicate check.
  { std::lock_guard<std::mutex> lock(mutex_); }
  wake_.notify_all();
}

}  // namespace hv
