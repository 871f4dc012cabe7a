// What the module reads from and writes to the simulator, over its one IPC client: the
// worker's reading of COM1 and the position, the dialog's tuning of COM1, and the
// client's reset at shutdown.
#pragma once

#include <cstdint>

#include "records/portable/SimReading.h"

namespace hv {

// One batch: COM1, latitude and longitude, converted. False, with reading unchanged,
// when the batch failed. The worker copies a reading into lastReading itself, under the
// station table lock.
bool readSimulator(SimReading& reading);

// Writes a frequency (MHz x 100, 10000..19999) into COM1; returns the batch's error code.
// Any other frequency is not written (10, nothing queued).
std::uint32_t tuneCom1(std::uint16_t frequency);

// For shutdown, once every module thread has been joined: closes the IPC client and
// forgets the dialog thread's state, so that a later start (even with the module's image
// still mapped) connects and shows the dialog as after a fresh load.
void resetSimulatorLink();

}  // namespace hv
