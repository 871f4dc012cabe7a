// What the log says about the worker's decisions: one line each time the decision
// changes, none while it stays the same. A decision is control on or off, the network,
// COM1, the status and the station concerned (or why there is none); the position and the
// table's age are reported with it but change nothing by themselves.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "records/portable/ModuleState.h"
#include "records/portable/SimReading.h"
#include "voice/portable/SelectionReason.h"

namespace hv {

struct Decision {
  bool active = false;
  std::uint32_t network = 0;
  std::uint16_t frequency = 0;
  std::uint32_t status = 0;
  SelectionReason reason = SelectionReason::NoTable;
  std::string callsign;  // of the station concerned, if any

  bool operator==(const Decision& other) const;
  bool operator!=(const Decision& other) const { return !(*this == other); }
};

// The decision the state shows after selection has run on the reading. Callers hold
// StationTableLock.
Decision currentDecision(const ModuleState& state, const SimReading& reading, const SelectionExplanation& why);

// "decision: COM1 118.10, position 50.0331 N 8.5706 E, VATSIM table 12 s old: EDDF_TWR on
// 118.10 at 3.2, within its range of 30; status joined". tableAge is empty while the
// selected network has no table.
std::string decisionLineText(const ModuleState& state, const SimReading& reading, const SelectionExplanation& why,
                             std::optional<std::chrono::seconds> tableAge);

// "joined", "out of range", ... for a ControlStatus value.
const char* statusName(std::uint32_t status);

}  // namespace hv
