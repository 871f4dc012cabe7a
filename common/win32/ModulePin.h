// Threads that may outlive unload: an abandoned download still inside WinInet, or a log
// writer still at the disk. Such a thread holds a reference to the module's DLL while it
// runs and lets it go as its very last step, with FreeLibraryAndExitThread, so the code it
// runs stays loaded until it has ended.
#pragma once

#include <windows.h>

#include <functional>

namespace hv {

// Runs body() on a new thread that keeps this code's DLL loaded until body has returned
// (inside a program nothing needs holding). Returns the thread's handle for the caller to
// wait on or close; null when no thread could be started.
HANDLE startPinnedThread(std::function<void()> body);

}  // namespace hv
