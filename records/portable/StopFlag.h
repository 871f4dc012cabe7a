// Lets the module's threads sleep their fixed periods (500 ms, 100 ms, 5 s, 60 s) and still
// end soon after unload sets their stop flags: a sleep is taken in slices and ends at the
// first slice after its thread's flag is set.
//
// Nothing waits on an event: the deliverables are built without a thread library, a plain
// sleep is the same on every Windows, and slices of 20 ms cost nothing noticeable while
// they bound how long unload waits for a sleeping thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace hv {

using Flag = std::atomic<std::uint32_t>;

constexpr std::chrono::milliseconds kStopCheckSlice{20};

// Sleeps for the period, or until the flag is seen set. Returns true when the flag is set.
bool sleepUnlessStopped(std::chrono::milliseconds period, const Flag& stopFlag);

}  // namespace hv
