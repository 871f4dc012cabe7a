// The two voice-program commands: join a station's voice channel, or leave the channel.
// Each sets `joined` and leaves the text in state.pendingCommand; the worker hands it to
// state.deliverCommand after releasing StationTableLock, so that starting the voice program
// or sending a datagram never holds up a thread waiting for the lock (the simulator's,
// when an add-on asks for the status).
#pragma once

#include <string>

#include "records/portable/AtcStation.h"
#include "records/portable/ModuleState.h"

namespace hv {

constexpr char kLeaveCommand[] = "/leave";

// "/join1 " + voice channel, and for IVAO "/" + callsign.
std::string JoinCommandText(const AtcStation& station, std::uint32_t network);

void JoinStation(ModuleState& state, const AtcStation& station);
void LeaveChannel(ModuleState& state);

// Delivers the pending command, if any. Returns its text (empty when there was none).
std::string DeliverPendingCommand(ModuleState& state);

}  // namespace hv
