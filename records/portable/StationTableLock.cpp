#include "records/portable/StationTableLock.h"

#include <chrono>
#include <thread>

namespace hv {

void StationTableLock::acquire() {
  while (busy_.test_and_set(std::memory_order_acquire))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace hv
