// The settings dialog's Win32 shell: the modal dialog the dialog thread shows, built from
// template 101 in the module's own resources. What its list shows comes from
// FillStationList; this shell only puts it on screen and acts on the pilot's clicks.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "api/portable/ControlApi.h"
#include "common/win32/LogWriter.h"
#include "common/win32/ScopedWin.h"
#include "records/portable/ModuleState.h"

namespace hv {

// What the dialog works on; the dialog thread hands it over at each opening.
struct SettingsDialogLinks {
  ModuleState& state;
  LogWriter& log;
  // Writes a frequency (MHz x 100) into the simulator's COM1.
  std::function<void(std::uint16_t frequency)> tuneCom1;
  SaveConfiguration saveConfiguration;
};

// The dialog's part of the module object: what lasts from one opening to the next.
struct SettingsDialogHost {
  // The list's font lives from the dialog's first opening to the module's unload; a font
  // that could not be made is not tried again.
  ScopedGdiObject listFont;
  bool listFontTried = false;
  std::atomic<bool> endRequested{false};
  std::atomic<HWND> openWindow{nullptr};
};

// Shows the dialog modally on the calling thread (the dialog thread); returns when it has
// closed. Does nothing once unload has asked the dialog to end.
void runSettingsDialog(SettingsDialogHost& host, const SettingsDialogLinks& links);

// Any thread: an open dialog ends at once with result 0, one about to open does not open.
void endSettingsDialogForUnload(SettingsDialogHost& host);

}  // namespace hv
