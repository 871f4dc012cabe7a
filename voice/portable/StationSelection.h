// Choosing the station on the tuned frequency, once per worker cycle, and the control
// status that follows from it. Callers hold the module's StationTableLock.
#pragma once

#include "records/portable/AtcStation.h"
#include "records/portable/ModuleState.h"
#include "records/portable/SimReading.h"

namespace hv {

// The per-cycle entry: searches state.currentTable for the reading's frequency, stores
// the new status and decides a join or leave command when the decision changes (see
// DeliverPendingCommand).
void UpdateVoiceChannel(ModuleState& state, const SimReading& reading);

// 1 (no station), 2 (station in range, handed back) or 4 (stations on the frequency,
// none in range; the last of them handed back).
unsigned FindStation(const ModuleState& state, const SimReading& reading, const AtcStation** station);

bool IsWithinRange(const ModuleState& state, const SimReading& reading, const AtcStation& station);

// Great-circle distance from the aircraft to the station, in the unit of the stations' range.
double StationDistance(const SimReading& reading, const AtcStation& station);

}  // namespace hv
