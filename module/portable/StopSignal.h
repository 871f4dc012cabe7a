// Lets the module's polling threads sleep their fixed periods (500 ms, 100 ms, 5 s, 60 s)
// and still end at once at unload: a sleep ends early when its thread's stop flag is set
// and wakeAll() is called.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace hv {

using Flag = std::atomic<std::uint32_t>;

class StopSignal {
 public:
  // Sleeps for the period, or until the flag is set and wakeAll() is called.
  // Returns true when the flag is set.
  bool sleepFor(std::chrono::milliseconds period, const Flag& stopFlag);
  // Wakes every sleeper; call after setting stop flags.
  void wakeAll();

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
};

}  // namespace hv
