#include "common/win32/ModulePin.h"

#include <memory>

namespace hv {

namespace {

struct PinnedStart {
  std::function<void()> body;
  HMODULE pin;  // null inside a program
};

// A reference to the DLL this code is linked into; null when it is linked into a program.
HMODULE pinThisModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&pinThisModule),
                          &module))
    return nullptr;
  if (module == GetModuleHandleA(nullptr)) {
    FreeLibrary(module);
    return nullptr;
  }
  return module;
}

DWORD WINAPI pinnedThreadMain(void* parameter) {
  HMODULE pin = nullptr;
  {
    std::unique_ptr<PinnedStart> start(static_cast<PinnedStart*>(parameter));
    pin = start->pin;
    start->body();
  }
  if (pin) FreeLibraryAndExitThread(pin, 0);
  return 0;
}

}  // namespace

HANDLE startPinnedThread(std::function<void()> body) {
  auto start = std::make_unique<PinnedStart>(PinnedStart{std::move(body), pinThisModule()});
  HANDLE thread = CreateThread(nullptr, 0, &pinnedThreadMain, start.get(), 0, nullptr);
  if (thread == nullptr) {
    if (start->pin) FreeLibrary(start->pin);
    return nullptr;
  }
  start.release();  // the thread owns it now
  return thread;
}

}  // namespace hv
