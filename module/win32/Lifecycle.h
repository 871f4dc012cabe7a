// Start-up and shutdown of the module, and the one ModuleState they manage.
#pragma once

#include "records/portable/ModuleState.h"

namespace hv {

// The module-wide state of this process.
ModuleState& moduleState();

// Runs the start-up sequence on the simulator's thread.
void startModule();
// Ends every thread the module started, waiting no longer than they need to wake up,
// and releases the station tables. Returns only when nothing of the module runs.
void stopModule();

}  // namespace hv
