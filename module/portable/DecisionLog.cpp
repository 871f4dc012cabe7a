#include "module/portable/DecisionLog.h"

#include <cmath>
#include <cstdio>
#include <tuple>

namespace hv {

namespace {

std::string positionText(const SimReading& reading) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f %c %.4f %c", std::fabs(reading.latitude), reading.latitude < 0 ? 'S' : 'N',
                std::fabs(reading.longitude), reading.longitude < 0 ? 'W' : 'E');
  return text;
}

}  // namespace

bool Decision::operator==(const Decision& o) const {
  return std::tie(active, network, frequency, status, reason, callsign) ==
         std::tie(o.active, o.network, o.frequency, o.status, o.reason, o.callsign);
}

const char* statusName(std::uint32_t status) {
  switch (status) {
    case Off: return "off";
    case NoStation: return "no station";
    case Joined: return "joined";
    case OutOfRange: return "out of range";
    case Waiting: return "waiting for data";
    case RogerWilcoMissing: return "RogerWilco missing";
  }
  return "unknown";
}

Decision currentDecision(const ModuleState& state, const SimReading& reading, const SelectionExplanation& why) {
  Decision d;
  d.active = state.active.load() != 0;
  d.network = state.network.load();
  if (!d.active) return d;  // nothing else counts while control is off
  d.frequency = reading.frequency;
  d.status = state.status.load();
  d.reason = why.reason;
  if (why.station) d.callsign = callsignText(*why.station);
  return d;
}

std::string decisionLineText(const ModuleState& state, const SimReading& reading, const SelectionExplanation& why,
                             std::optional<std::chrono::seconds> tableAge) {
  if (state.active.load() == 0) return "decision: control off";
  std::string line = "decision: COM1 " + FrequencyText(reading.frequency) + ", position " + positionText(reading) +
                     ", " + networkName(state.network.load());
  line += tableAge ? " table " + std::to_string(tableAge->count()) + " s old" : " table not loaded";
  line += ": " + DescribeSelection(why, reading.frequency, state.rangeCheck.load() != 0);
  line += "; status ";
  line += statusName(state.status.load());
  return line;
}

}  // namespace hv
