// Finds the threads of this process that a given module started: threads whose start
// address lies inside the module's image. It lets tests see that a module started its
// threads, or stayed inert, or left nothing running at unload, and hold them still.
#pragma once

#include <windows.h>

namespace hvtest {

int threadsStartedBy(HMODULE module);

// Suspends (or resumes) every thread the module started; returns how many.
int suspendThreadsStartedBy(HMODULE module, bool suspend);

}  // namespace hvtest
