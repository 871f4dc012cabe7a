// The four functions other add-ons in the simulator's process call. They are exported by
// plain name at ordinals 3 to 6 (see Hallvoxen.def), take their arguments in 32-bit stack
// slots, remove them before returning and return 32-bit values. An add-on may call them
// on the simulator's thread, so each computes in double precision whatever the caller's.
//
// Outside a running module (before start-up, after shutdown) they answer as a module
// just loaded would, and change nothing: status 0, network 0.
#include <cstdint>
#include <string>

#include "api/portable/ControlApi.h"
#include "api/win32/ExportTarget.h"
#include "common/win32/DoublePrecisionScope.h"

namespace {

// Every call but the status's, which add-ons poll, goes to the log with its result.
std::uint32_t logged(hv::ExportTarget& target, const std::string& call, std::uint32_t result) {
  target.log.write(call + " = " + std::to_string(result));
  return result;
}

}  // namespace

extern "C" {

// Copies the selected station's 192-byte record into the caller's buffer while the status
// is Joined or OutOfRange; returns the reported status.
__attribute__((used)) std::uint32_t __stdcall HALLVOXEN_Get_Status(void* station) {
  hv::DoublePrecisionScope precision;
  hv::ExportTarget* target = hv::exportTarget();
  return target ? hv::getControlStatus(target->state, station) : hv::Off;
}

// Switches control on (non-zero low half) or off.
__attribute__((used)) std::uint32_t __stdcall HALLVOXEN_Set_Mode(std::uint32_t mode) {
  hv::DoublePrecisionScope precision;
  hv::ExportTarget* target = hv::exportTarget();
  if (!target) return hv::Off;
  return logged(*target, "HALLVOXEN_Set_Mode(" + std::to_string(mode) + ")",
                hv::setControlMode(target->state, mode));
}

// 0 VATSIM, 1 IVAO.
__attribute__((used)) std::uint32_t __stdcall HALLVOXEN_Get_Server() {
  hv::DoublePrecisionScope precision;
  hv::ExportTarget* target = hv::exportTarget();
  if (!target) return hv::Vatsim;
  return logged(*target, "HALLVOXEN_Get_Server()", hv::getSelectedNetwork(target->state));
}

// Selects VATSIM (0) or IVAO (1) and saves the choice to Hallvoxen.ini.
__attribute__((used)) std::uint32_t __stdcall HALLVOXEN_Select_Server(std::uint32_t network) {
  hv::DoublePrecisionScope precision;
  hv::ExportTarget* target = hv::exportTarget();
  if (!target) return hv::Off;
  return logged(*target, "HALLVOXEN_Select_Server(" + std::to_string(network) + ")",
                hv::selectNetwork(target->state, network, target->saveConfiguration));
}

}  // extern "C"
