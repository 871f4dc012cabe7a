// The thread that opens when the user picks the simulator's menu entry or presses the
// hot key: it saves the simulator's word at 0x0264, shows the settings dialog (or the
// RogerWilco-missing box), and afterwards writes 0 to 0x0262 when the saved word was 0.
// At most one runs: dialogShowing is set before it starts and cleared when it ends.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace hv {

struct Module;

// The dialog thread's part of the module object.
struct DialogThreadState {
  std::atomic<DWORD> threadId{0};  // while a dialog thread runs
  std::atomic<bool> unloading{false};
  // Kept from one dialog to the next: a failed read leaves the former value.
  std::uint16_t savedWord = 0;
};

// Marks the dialog as showing and starts the dialog thread as a module thread, unless
// one is showing already. Returns whether a thread was started.
bool startDialogThread(Module& module);

// The thread body.
void DialogThread(Module& module);

// Shutdown calls this before it joins the module's threads: whatever the dialog thread
// shows (the settings dialog, the RogerWilco-missing box) is closed so that the thread
// ends, and nothing is shown any more.
void closeDialogForUnload(Module& module);

}  // namespace hv
