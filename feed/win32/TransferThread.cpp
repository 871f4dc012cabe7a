#include "feed/win32/TransferThread.h"

#include <windows.h>

#include "common/win32/ModulePin.h"
#include "common/win32/ScopedWin.h"

namespace hv {

namespace {

struct TransferStart {
  std::shared_ptr<Transfer> transfer;
  HMODULE pin;  // holds the module loaded while the thread runs; null inside a program
};

// The module stays pinned until the transfer thread lets it go: an aborted transfer may
// still be inside WinInet when the module is unloaded.
DWORD WINAPI TransferThread(void* parameter) {
  HMODULE pin = nullptr;
  {
    std::unique_ptr<TransferStart> start(static_cast<TransferStart*>(parameter));
    pin = start->pin;
    RunTransfer(*start->transfer);
  }
  exitThreadAndUnpin(pin);
}

}  // namespace

bool StartTransferThread(const std::shared_ptr<Transfer>& transfer) {
  auto start = std::make_unique<TransferStart>(TransferStart{transfer, pinThisModule()});
  HANDLE thread = CreateThread(nullptr, 0, TransferThread, start.get(), 0, nullptr);
  if (thread == nullptr) {
    if (start->pin) FreeLibrary(start->pin);
    return false;
  }
  start.release();  // the thread owns it now
  ScopedKernelHandle unwaited(thread);  // the transfer is waited for through its event
  return true;
}

}  // namespace hv
