// The threads the module starts (two feeds, the worker loop, at most one dialog thread).
// Each is counted here so that unload can wake and join every one of them before the
// de-initialisation entry returns; nothing of the module runs after that.
#pragma once

#include <chrono>

namespace hv {

using ThreadBody = void (*)();

// Starts a thread running body(). Returns false when it could not be started.
bool startModuleThread(ThreadBody body);

// Waits until every started thread has ended, dispatching messages sent to the calling
// thread's windows meanwhile (a thread of the module may be waiting for the simulator's
// reply, which the calling thread must give). Returns false when some thread was still
// running when the time was up.
bool joinModuleThreads(std::chrono::milliseconds within);

}  // namespace hv
