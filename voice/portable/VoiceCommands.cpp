// The join and leave commands for the voice program. The texts go out unquoted and
// untrimmed, exactly as the station record holds them; `joined` changes before the text
// is delivered and whatever becomes of the delivery.
#include "voice/portable/VoiceCommands.h"

#include <cstring>

namespace hv {

namespace {

// A record field as text, stopping at its end even if the terminator is missing.
std::string FieldText(const char* field, std::size_t size) {
  const void* end = std::memchr(field, '\0', size);
  return std::string(field, end ? static_cast<const char*>(end) - field : size);
}

// Selection decides at most one command a cycle; it waits here for the lock's release.
void deliver(ModuleState& state, const std::string& text) { state.pendingCommand = text; }

}  // namespace

std::string JoinCommandText(const AtcStation& station, std::uint32_t network) {
  std::string text = "/join1 ";
  text += FieldText(station.voiceChannel, sizeof station.voiceChannel);
  if (network == Ivao) {
    text += '/';
    text += callsignText(station);
  }
  return text;
}

void JoinStation(ModuleState& state, const AtcStation& station) {
  const std::string text = JoinCommandText(station, state.network.load());
  state.joined.store(1);
  deliver(state, text);
}

void LeaveChannel(ModuleState& state) {
  state.joined.store(0);
  deliver(state, kLeaveCommand);
}

std::string DeliverPendingCommand(ModuleState& state) {
  std::string text = std::move(state.pendingCommand);
  state.pendingCommand.clear();
  if (!text.empty() && state.deliverCommand) state.deliverCommand(text.c_str());
  return text;
}

}  // namespace hv
