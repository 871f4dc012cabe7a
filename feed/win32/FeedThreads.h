// The two threads that keep the networks' station tables current.
//
// Each thread reads its network's status file until that has succeeded once, then
// downloads the network's data file(s) once a minute (every 5 s until the first success),
// builds a new station table outside the lock and swaps it in under StationTableLock.
// Both idle while control is off or the settings dialog shows. A thread ends when its
// stop flag is set, within a slice of its pause (see StopFlag.h).
#pragma once

#include "common/win32/LogWriter.h"
#include "feed/portable/FeedState.h"
#include "feed/win32/StatusDownloader.h"
#include "records/portable/ModuleState.h"

namespace hv {

// `downloads` lets the unloading thread abort the thread's download under way; it is
// made with the network's stop flag.
void VatsimFeedThread(ModuleState& state, DownloadAbort& downloads, LogWriter& log);
void IvaoFeedThread(ModuleState& state, DownloadAbort& downloads, LogWriter& log);

}  // namespace hv
