// The station-table lock and the sleep that ends when its stop flag is set.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "module/portable/StationTableLock.h"
#include "module/portable/StopFlag.h"

namespace {

using namespace std::chrono_literals;

TEST(StationTableLock, SerialisesTheThreadsThatTakeIt) {
  hv::StationTableLock lock;
  int counter = 0;  // a plain int: the sanitizer build catches a race if the lock leaks
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        hv::StationTableGuard guard(lock);
        int seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 800);
}

TEST(StationTableLock, TryAcquireFailsWhileHeld) {
  hv::StationTableLock lock;
  EXPECT_TRUE(lock.tryAcquire());
  EXPECT_FALSE(lock.tryAcquire());
  lock.release();
  EXPECT_TRUE(lock.tryAcquire());
}

TEST(SleepUnlessStopped, SleepsTheWholePeriodWithoutAStop) {
  hv::Flag stop{0};
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(hv::sleepUnlessStopped(50ms, stop));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

TEST(SleepUnlessStopped, AStopEndsALongSleepWithinASlice) {
  hv::Flag stop{0};
  std::chrono::steady_clock::duration slept{};
  std::thread sleeper([&] {
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(hv::sleepUnlessStopped(60s, stop));
    slept = std::chrono::steady_clock::now() - start;
  });
  std::this_thread::sleep_for(50ms);
  stop = 1;
  sleeper.join();
  EXPECT_LT(slept, 50ms + 10 * hv::kStopCheckSlice);
}

TEST(SleepUnlessStopped, AStopSetBeforeTheSleepReturnsAtOnce) {
  hv::Flag stop{1};
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(hv::sleepUnlessStopped(60s, stop));
  EXPECT_LT(std::chrono::steady_clock::now() - start, hv::kStopCheckSlice);
}

}  // namespace
