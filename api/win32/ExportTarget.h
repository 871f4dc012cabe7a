// What the four exports act on: the running module's state and log, and how a network
// choice is saved. The module's lifecycle provides exportTarget(); the exports only ask.
#pragma once

#include "api/portable/ControlApi.h"
#include "common/win32/LogWriter.h"
#include "records/portable/ModuleState.h"

namespace hv {

struct ExportTarget {
  ModuleState& state;
  LogWriter& log;
  SaveConfiguration saveConfiguration;
};

// The running module's target; null before start-up and from the start of shutdown on.
ExportTarget* exportTarget();

}  // namespace hv
