#include "common/win32/ModulePin.h"

namespace hv {

HMODULE pinThisModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&pinThisModule),
                          &module))
    return nullptr;
  if (module == GetModuleHandleA(nullptr)) {  // linked into a program: nothing to unload
    FreeLibrary(module);
    return nullptr;
  }
  return module;
}

void exitThreadAndUnpin(HMODULE pin) {
  if (pin) FreeLibraryAndExitThread(pin, 0);
  ExitThread(0);
}

}  // namespace hv
