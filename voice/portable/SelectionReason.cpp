#include "voice/portable/SelectionReason.h"

#include <cmath>
#include <cstdio>

#include "voice/portable/StationSelection.h"

namespace hv {

namespace {

std::string NumberText(double value) {
  if (std::isnan(value)) return "unknown";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// The nearest station with a voice channel on the reading's frequency, and how many on it
// have none.
void SurveyFrequency(const CurrentTable& table, const SimReading& reading, SelectionExplanation& out) {
  for (std::int32_t i = 0; i < table.count; ++i) {
    const AtcStation& candidate = table.records[i];
    if (candidate.frequency != reading.frequency) continue;
    if (candidate.voiceChannel[0] == '\0') {
      ++out.voicelessCount;
      continue;
    }
    const double distance = StationDistance(reading, candidate);
    if (out.station == nullptr || distance < out.distance || std::isnan(out.distance)) {
      out.station = &candidate;
      out.distance = distance;
    }
  }
}

}  // namespace

std::string FrequencyText(std::uint16_t frequency) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%02u", frequency / 100u, frequency % 100u);
  return text;
}

SelectionExplanation ExplainSelection(const ModuleState& state, const SimReading& reading) {
  SelectionExplanation out;
  if (state.currentTable.loaded.load() == 0) return out;

  const AtcStation* found = nullptr;
  const unsigned status = FindStation(state, reading, &found);
  if (status == Joined) {
    out.reason = SelectionReason::Chosen;
    out.station = found;
    out.distance = StationDistance(reading, *found);
    return out;
  }
  if (reading.frequency != 0 && state.currentTable.records != nullptr)
    SurveyFrequency(state.currentTable, reading, out);
  if (status == OutOfRange) {
    out.reason = SelectionReason::OutOfRange;
  } else {
    out.reason = out.voicelessCount > 0 ? SelectionReason::NoVoiceChannel : SelectionReason::NoStation;
    out.station = nullptr;
    out.distance = 0;
  }
  return out;
}

std::string DescribeSelection(const SelectionExplanation& e, std::uint16_t frequency, bool rangeCheck) {
  const std::string mhz = FrequencyText(frequency);
  switch (e.reason) {
    case SelectionReason::NoTable:
      return "no table yet";
    case SelectionReason::NoStation:
      return "no station on " + mhz;
    case SelectionReason::NoVoiceChannel:
      return "only stations without a voice channel on " + mhz + " (" + std::to_string(e.voicelessCount) + ")";
    case SelectionReason::OutOfRange:
      return "out of range on " + mhz + ", nearest " + callsignText(*e.station) + " at " + NumberText(e.distance) +
             " is beyond its range of " + std::to_string(e.station->range);
    case SelectionReason::Chosen:
      return callsignText(*e.station) + " on " + mhz + " at " + NumberText(e.distance) +
             (rangeCheck ? ", within its range of " : ", range not checked (its range is ") +
             std::to_string(e.station->range) + (rangeCheck ? "" : ")");
  }
  return {};
}

}  // namespace hv
