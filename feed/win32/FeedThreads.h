// The two threads that keep the networks' station tables current.
//
// Each thread reads its network's status file until that has succeeded once, then
// downloads the network's data file(s) once a minute (every 5 s until the first success),
// builds a new station table outside the lock and swaps it in under StationTableLock.
// Both idle while control is off or the settings dialog shows. A thread ends when its
// stop flag is set, within a slice of its pause (see StopFlag.h).
#pragma once

#include "feed/portable/FeedState.h"
#include "records/portable/NetworkFeed.h"

namespace hv {

void VatsimFeedThread();
void IvaoFeedThread();

// Called at unload after the stop flags are set: aborts a download that is under way,
// so a feed thread blocked in it returns at once.
void abortFeedDownloads();

}  // namespace hv
