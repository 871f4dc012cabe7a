// The shell's lock: a Win32 critical section, usable with std::lock_guard.
//
// The deliverables are built in the win32 thread model, which has no std::mutex: the
// posix model's thread library imports functions that Windows XP lacks.
#pragma once

#include <windows.h>

namespace hv {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void lock() { EnterCriticalSection(&section_); }
  void unlock() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

}  // namespace hv
