// The four operations other add-ons call through the module's exports: read the control
// status with the station it concerns, switch control on or off, read and select the
// network. Each works on one ModuleState; the Win32 exports pass the module's own.
#pragma once

#include <cstdint>

#include "records/portable/ModuleState.h"

namespace hv {

// Writes the network and range-check choice to the configuration file.
using SaveConfiguration = void (*)(const ModuleState& state);

// The reported status: 65535 while the voice program is missing, 0 while control is off,
// else the stored status. With Joined or OutOfRange the selected station's 192-byte
// record is copied into the buffer (under the table lock, so never from a table being
// replaced); with no selected station the result is NoStation and the buffer is untouched.
std::uint32_t getControlStatus(ModuleState& state, void* buffer);

// Switches control off (0) or on (any other value); only the low 16 bits of the slot
// count. Returns 65535 (and changes nothing) while the voice program is missing, 0 when
// switched off, else the stored status.
std::uint32_t setControlMode(ModuleState& state, std::uint32_t modeSlot);

// The selected network: 0 VATSIM, 1 IVAO.
std::uint32_t getSelectedNetwork(const ModuleState& state);

// Makes network 0 (VATSIM) or 1 (IVAO) the selected one: its feed's table becomes the
// current table, a selected station of the other network is forgotten, and the choice is
// saved. Only the low 16 bits of the slot count; any other network number is refused
// and changes and saves nothing. Returns the stored status.
std::uint32_t selectNetwork(ModuleState& state, std::uint32_t networkSlot, SaveConfiguration save);

}  // namespace hv
