// The thread that opens when the user picks the simulator's menu entry or presses the
// hot key: it saves the simulator's word at 0x0264, shows the settings dialog (or the
// RogerWilco-missing box), and afterwards writes 0 to 0x0262 when the saved word was 0.
// At most one runs: dialogShowing is set before it starts and cleared when it ends.
#pragma once

#include "records/portable/ModuleState.h"

namespace hv {

// Marks the dialog as showing and starts the dialog thread as a module thread, unless
// one is showing already. Returns whether a thread was started.
bool startDialogThread(ModuleState& state);

// The thread body.
void DialogThread();

// Shutdown calls this before it joins the module's threads: whatever the dialog thread
// shows (the settings dialog, the RogerWilco-missing box) is closed so that the thread
// ends, and nothing is shown any more.
void closeDialogForUnload();

// After the dialog thread has ended at shutdown: back to the state at load (a new dialog
// may be shown, the saved word is 0 again).
void resetDialogThread();

}  // namespace hv
