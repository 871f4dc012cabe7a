// The module's error boxes: each one is also noted in the log, so that a pilot's log
// shows what they were told.
#pragma once

#include "common/win32/LogWriter.h"

namespace hv {

void showLoggedErrorBox(LogWriter& log, const char* message);

}  // namespace hv
