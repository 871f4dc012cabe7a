// The module's 500 ms heartbeat thread: simulator connection, menu entry and hot key,
// COM1 and position readings handed to station selection.
#pragma once

#include <cstdint>

namespace hv {

void WorkerLoop();

// Writes a frequency (MHz x 100, 10000..19999) into COM1; returns the batch's error code.
std::uint32_t tuneCom1(std::uint16_t frequency);

}  // namespace hv
