// What the module reads from and writes to the simulator over its IPC client: the
// worker's reading of COM1 and the position, and the dialog's tuning of COM1.
#pragma once

#include <cstdint>

#include "module/win32/SimIpc.h"
#include "records/portable/SimReading.h"

namespace hv {

// One batch: COM1, latitude and longitude, converted. False, with reading unchanged,
// when the batch failed. The worker copies a reading into lastReading itself, under the
// station table lock.
bool readSimulator(SimIpcClient& simulator, SimReading& reading);

// Writes a frequency (MHz x 100, 10000..19999) into COM1; returns the batch's error code.
// Any other frequency is not written (10, nothing queued).
std::uint32_t tuneCom1(SimIpcClient& simulator, std::uint16_t frequency);

}  // namespace hv
