// The settings dialog's Win32 shell: the modal dialog the dialog thread shows, built from
// template 101 in the module's own resources. What its list shows comes from
// FillStationList; this shell only puts it on screen and acts on the pilot's clicks.
#pragma once

namespace hv {

// Hands the dialog to the dialog thread (run, and the unload path that ends it with
// result 0) and forgets an unload request of an earlier run. Called at start-up.
void registerSettingsDialog();

// After the dialog thread has ended at shutdown: deletes the list's font, so that the
// next load makes it afresh.
void releaseSettingsDialog();

}  // namespace hv
