#include "tests/support/ModuleThreadsProbe.h"

#include <tlhelp32.h>

namespace hvtest {

namespace {

using NtQueryInformationThreadFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
constexpr int kThreadQuerySetWin32StartAddress = 9;

// Calls visit(thread handle) for each thread the module started; returns how many.
template <typename Visit>
int forEachThreadStartedBy(HMODULE module, DWORD access, Visit visit) {
  auto query = reinterpret_cast<NtQueryInformationThreadFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
  if (!query || !module) return -1;
  auto base = reinterpret_cast<const BYTE*>(module);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const BYTE* end = base + nt->OptionalHeader.SizeOfImage;

  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION | access, FALSE, entry.th32ThreadID);
    if (!thread) continue;
    void* start = nullptr;
    if (query(thread, kThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr) == 0) {
      auto address = static_cast<const BYTE*>(start);
      if (address >= base && address < end) {
        ++count;
        visit(thread);
      }
    }
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return count;
}

}  // namespace

int threadsStartedBy(HMODULE module) {
  return forEachThreadStartedBy(module, 0, [](HANDLE) {});
}

int suspendThreadsStartedBy(HMODULE module, bool suspend) {
  return forEachThreadStartedBy(module, THREAD_SUSPEND_RESUME, [&](HANDLE thread) {
    if (suspend)
      SuspendThread(thread);
    else
      ResumeThread(thread);
  });
}

}  // namespace hvtest
