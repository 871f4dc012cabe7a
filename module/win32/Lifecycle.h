// Start-up and shutdown of the module, and the one pointer to the module object of the
// current load.
#pragma once

namespace hv {

// Runs the start-up sequence on the simulator's thread: makes the module object and
// starts its threads.
void startModule();
// Ends every thread the module started, waiting no longer than they need to wake up,
// then destroys the module object. Returns only when nothing of the module runs.
void stopModule();

}  // namespace hv
