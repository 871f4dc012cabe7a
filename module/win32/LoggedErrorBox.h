// The module's error boxes: each one is also noted in the log, so that a pilot's log
// shows what they were told.
#pragma once

namespace hv {

void showLoggedErrorBox(const char* message);

}  // namespace hv
