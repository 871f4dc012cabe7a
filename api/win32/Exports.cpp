// The four functions other add-ons in the simulator's process call. They are exported by
// plain name at ordinals 3 to 6 (see Hallvoxen.def), take their arguments in 32-bit stack
// slots, remove them before returning and return 32-bit values. An add-on may call them
// on the simulator's thread, so each computes in double precision whatever the caller's.
#include <cstdint>
#include <string>

#include "api/portable/ControlApi.h"
#include "common/win32/DoublePrecisionScope.h"
#include "common/win32/LogWriter.h"
#include "module/win32/Configuration.h"
#include "module/win32/Lifecycle.h"

namespace {

// Every call but the status's, which add-ons poll, goes to the log with its result.
std::uint32_t logged(const char* call, std::uint32_t result) {
  hv::logLine(std::string(call) + " = " + std::to_string(result));
  return result;
}

}  // namespace

extern "C" {

// Copies the selected station's 192-byte record into the caller's buffer while the status
// is Joined or OutOfRange; returns the reported status.
__attribute__((used)) std::uint32_t __stdcall HALLVOXEN_Get_Status(void* station) {
  hv::DoublePrecisionScope precision;
  return hv::getControlStatus(hv::moduleState(), station);
}

// Switches control on (non-zero low half) or off.
__attribute__((used)) std::uint32_t __stdcall HALLVOXEN_Set_Mode(std::uint32_t mode) {
  hv::DoublePrecisionScope precision;
  return logged(("HALLVOXEN_Set_Mode(" + std::to_string(mode) + ")").c_str(),
                hv::setControlMode(hv::moduleState(), mode));
}

// 0 VATSIM, 1 IVAO.
__attribute__((used)) std::uint32_t __stdcall HALLVOXEN_Get_Server() {
  hv::DoublePrecisionScope precision;
  return logged("HALLVOXEN_Get_Server()", hv::getSelectedNetwork(hv::moduleState()));
}

// Selects VATSIM (0) or IVAO (1) and saves the choice to Hallvoxen.ini.
__attribute__((used)) std::uint32_t __stdcall HALLVOXEN_Select_Server(std::uint32_t network) {
  hv::DoublePrecisionScope precision;
  return logged(("HALLVOXEN_Select_Server(" + std::to_string(network) + ")").c_str(),
                hv::selectNetwork(hv::moduleState(), network, &hv::saveConfiguration));
}

}  // extern "C"
