// Station selection: once per worker cycle, the first station of the selected network on
// the tuned COM1 frequency that has a voice channel and is within its range is joined;
// tuning away leaves it, and flying out of range leaves it too. A command is issued only
// when the decision changes (or after the table holding the joined record was replaced).
#include "voice/portable/StationSelection.h"

#include <cmath>

#include "voice/portable/VoiceCommands.h"

namespace hv {

namespace {

// Degrees to radians as the range test has always done it: the double nearest to
// 1 / 57.29577951, which is not exactly pi / 180. Distances depend on it to the last bit.
constexpr double kRadiansPerDegree = 0.017453292520882225;
// Earth radius in the unit of the stations' range.
constexpr double kEarthRadius = 3963.1;

}  // namespace

double StationDistance(const SimReading& reading, const AtcStation& station) {
  // Each factor is a named double so that no compiler fuses or widens the terms
  // differently from one build to the next.
  const double aircraftLat = reading.latitude * kRadiansPerDegree;
  const double aircraftLon = reading.longitude * kRadiansPerDegree;
  const double stationLat = station.latitude * kRadiansPerDegree;
  const double stationLon = station.longitude * kRadiansPerDegree;

  const double cosTerm = std::cos(aircraftLon - stationLon) * std::cos(stationLat) * std::cos(aircraftLat);
  const double sinTerm = std::sin(stationLat) * std::sin(aircraftLat);
  double c = cosTerm + sinTerm;
  // Identical positions can give a little more than 1; below -1 nothing is clamped and the
  // arc cosine is not a number, which the range test treats as out of range.
  if (c > 1.0) c = 1.0;
  return std::acos(c) * kEarthRadius;
}

bool IsWithinRange(const ModuleState& state, const SimReading& reading, const AtcStation& station) {
  if (state.rangeCheck.load() == 0) return true;
  const double distance = StationDistance(reading, station);
  if (std::isnan(distance)) return false;
  return static_cast<double>(station.range) >= distance;
}

unsigned FindStation(const ModuleState& state, const SimReading& reading, const AtcStation** station) {
  *station = nullptr;
  const CurrentTable& table = state.currentTable;
  if (reading.frequency == 0 || table.count < 1 || table.records == nullptr) return NoStation;

  unsigned outcome = NoStation;
  for (std::int32_t i = 0; i < table.count; ++i) {
    const AtcStation& candidate = table.records[i];
    if (candidate.frequency != reading.frequency || candidate.voiceChannel[0] == '\0') continue;
    *station = &candidate;
    if (IsWithinRange(state, reading, candidate)) return Joined;
    outcome = OutOfRange;
  }
  if (outcome == NoStation) *station = nullptr;
  return outcome;
}

void UpdateVoiceChannel(ModuleState& state, const SimReading& reading) {
  if (state.active.load() == 0) return;
  const std::uint32_t status = state.status.load();
  if (status == RogerWilcoMissing) return;

  if (state.currentTable.loaded.load() == 0) {
    // The selected network has no table yet (it was switched to one that never loaded):
    // a joined channel is left once and the module waits for the table.
    if (status == Joined) {
      LeaveChannel(state);
      state.status.store(Waiting);
    }
    return;
  }

  const AtcStation* found = nullptr;
  switch (FindStation(state, reading, &found)) {
    case Joined:
      // The very same record as last time: nothing to do. An equal record from a newer
      // table is another record, and is joined again.
      if (!(state.joined.load() == 1 && state.selectedStation == found)) JoinStation(state, *found);
      state.selectedStation = found;
      state.status.store(Joined);
      break;
    case OutOfRange:
      if (state.joined.load() != 0) LeaveChannel(state);
      state.selectedStation = found;
      state.status.store(OutOfRange);
      break;
    default:  // no station on the frequency
      if (state.joined.load() != 0) LeaveChannel(state);
      state.status.store(NoStation);
      break;
  }
}

}  // namespace hv
