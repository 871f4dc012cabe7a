// The settings dialog's Win32 shell: the modal dialog the dialog thread shows, built from
// template 101 in the module's own resources. What its list shows comes from
// FillStationList; this shell only puts it on screen and acts on the pilot's clicks.
#pragma once

namespace hv {

// Shows the dialog modally on the calling thread (the dialog thread); returns when it has
// closed. Does nothing once unload has asked the dialog to end.
void runSettingsDialog();

// Any thread: an open dialog ends at once with result 0, one about to open does not open.
void endSettingsDialogForUnload();

// Forgets an unload request of an earlier run. Called at start-up.
void allowSettingsDialog();

// After the dialog thread has ended at shutdown: deletes the list's font, so that the
// next load makes it afresh.
void releaseSettingsDialog();

}  // namespace hv
