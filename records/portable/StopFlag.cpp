#include "records/portable/StopFlag.h"

#include <algorithm>
#include <thread>

namespace hv {

bool sleepUnlessStopped(std::chrono::milliseconds period, const Flag& stopFlag) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + period;
  while (stopFlag.load() == 0) {
    const Clock::duration left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(left, kStopCheckSlice));
  }
  return true;
}

}  // namespace hv
