// The module's configuration through the system's profile (INI) functions.
#pragma once

#include "module/portable/Configuration.h"
#include "records/portable/ModuleState.h"

namespace hv {

// The profile functions, with the error box for invalid settings.
ConfigurationFiles profileFiles();

void readConfiguration(ModuleState& state);
void saveConfiguration(const ModuleState& state);

}  // namespace hv
