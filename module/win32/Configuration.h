// The module's configuration through the system's profile (INI) functions.
#pragma once

#include "common/win32/LogWriter.h"
#include "module/portable/Configuration.h"
#include "records/portable/ModuleState.h"

namespace hv {

// The profile functions, with the error box for invalid settings (noted in the log).
ConfigurationFiles profileFiles(LogWriter& log);

void readConfiguration(ModuleState& state, LogWriter& log);
// Saving shows no box.
void saveConfiguration(const ModuleState& state);

}  // namespace hv
