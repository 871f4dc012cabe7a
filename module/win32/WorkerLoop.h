// The module's 500 ms heartbeat thread: simulator connection, menu entry and hot key,
// COM1 and position readings handed to station selection.
#pragma once

#include <cstdint>

#include "module/portable/SimReading.h"

namespace hv {

void WorkerLoop();

// Writes a frequency (MHz x 100, 10000..19999) into COM1; returns the batch's error code.
// Any other frequency is not written (10, nothing queued).
std::uint32_t tuneCom1(std::uint16_t frequency);

// One batch: COM1, latitude and longitude, converted. False, with reading unchanged,
// when the batch failed. The worker copies a reading into lastReading itself, under the
// station table lock.
bool readSimulator(SimReading& reading);

// For shutdown, once every module thread has been joined: closes the IPC client and
// forgets the dialog thread's state, so that a later start (even with the module's image
// still mapped) connects and shows the dialog as after a fresh load.
void resetSimulatorLink();

}  // namespace hv
