// Why station selection decided what it did, for the module's log and the stations tool:
// the station chosen with its distance and range, or why there is none. It asks the
// selection's own rules (FindStation, StationDistance), so it can never disagree with
// what the module does.
#pragma once

#include <cstdint>
#include <string>

#include "records/portable/AtcStation.h"
#include "records/portable/ModuleState.h"
#include "records/portable/SimReading.h"

namespace hv {

enum class SelectionReason {
  NoTable,         // the selected network's table has not loaded
  NoStation,       // no station on the frequency
  NoVoiceChannel,  // stations on the frequency, none with a voice channel
  OutOfRange,      // stations with a voice channel on the frequency, none within range
  Chosen,          // the station that is joined
};

struct SelectionExplanation {
  SelectionReason reason = SelectionReason::NoTable;
  // Chosen: the station joined. OutOfRange: the nearest station with a voice channel on
  // the frequency. Otherwise null.
  const AtcStation* station = nullptr;
  double distance = 0;  // from the aircraft to `station`, in the unit of its range
  int voicelessCount = 0;  // stations on the frequency without a voice channel
};

// Callers hold StationTableLock, as for selection itself.
SelectionExplanation ExplainSelection(const ModuleState& state, const SimReading& reading);

// One line of words, e.g. "EDDF_TWR on 119.90 at 3.2, within its range of 30",
// "no station on 118.10". Distances carry no unit: they are in the unit of the range
// (statute miles, which the dialog's list labels "nm").
std::string DescribeSelection(const SelectionExplanation& explanation, std::uint16_t frequency, bool rangeCheck);

// "118.10" for 11810.
std::string FrequencyText(std::uint16_t frequency);

}  // namespace hv
