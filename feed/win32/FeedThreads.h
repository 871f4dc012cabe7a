// The two threads that keep the networks' station tables current.
#pragma once

namespace hv {

void VatsimFeedThread();
void IvaoFeedThread();

// Called at unload after the stop flags are set: aborts a download that is under way,
// so a feed thread blocked in it returns at once.
void abortFeedDownloads();

}  // namespace hv
