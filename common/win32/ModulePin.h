// Keeps the module that holds this code loaded while a thread of it may outlive unload:
// an abandoned download still inside WinInet, or a log writer still at the disk. The
// thread lets go of the module as its very last step, with FreeLibraryAndExitThread.
#pragma once

#include <windows.h>

namespace hv {

// A reference to the DLL this code is linked into; null when it is linked into a
// program (nothing can be unloaded under it then).
HMODULE pinThisModule();

// Ends the calling thread, releasing the module pinned for it (if any).
[[noreturn]] void exitThreadAndUnpin(HMODULE pin);

}  // namespace hv
