// The module's 500 ms heartbeat thread: simulator connection, menu entry and hot key,
// COM1 and position readings handed to station selection.
#pragma once

namespace hv {

struct Module;

void WorkerLoop(Module& module);

}  // namespace hv
