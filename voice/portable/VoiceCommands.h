// The two voice-program commands: join a station's voice channel, or leave the channel.
// Each sets `joined` first and then hands the text to state.deliverCommand.
#pragma once

#include <string>

#include "feed/portable/AtcStation.h"
#include "module/portable/ModuleState.h"

namespace hv {

constexpr char kLeaveCommand[] = "/leave";

// "/join1 " + voice channel, and for IVAO "/" + callsign.
std::string joinCommandText(const AtcStation& station, std::uint32_t network);

void JoinStation(ModuleState& state, const AtcStation& station);
void LeaveChannel(ModuleState& state);

}  // namespace hv
