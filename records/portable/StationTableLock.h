// The module's one lock over the station tables, the selected table and the selected
// station. It has no owner and no queue: a waiter looks every 5 ms until it can take it
// with one atomic test-and-set.
#pragma once

#include <atomic>

namespace hv {

class StationTableLock {
 public:
  void acquire();
  void release() { busy_.clear(std::memory_order_release); }

 private:
  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
};

// Holds the lock for one scope.
class StationTableGuard {
 public:
  explicit StationTableGuard(StationTableLock& lock) : lock_(lock) { lock_.acquire(); }
  ~StationTableGuard() { lock_.release(); }
  StationTableGuard(const StationTableGuard&) = delete;
  StationTableGuard& operator=(const StationTableGuard&) = delete;

 private:
  StationTableLock& lock_;
};

}  // namespace hv
