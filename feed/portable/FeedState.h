// What the feed threads change in the module's state, each change under
// StationTableLock, and the pauses between their passes.
#pragma once

#include <chrono>
#include <string>

#include "records/portable/AtcStation.h"
#include "records/portable/NetworkFeed.h"
#include "records/portable/ModuleState.h"

namespace hv {

// The pauses of a feed thread. The shipped values are these; tests shorten them.
struct FeedTiming {
  std::chrono::milliseconds loadedPause{60000};  // after a pass once the network is loaded
  std::chrono::milliseconds retryPause{5000};    // after a pass until then
  std::chrono::milliseconds idlePause{100};      // while control is off or the dialog shows
};

// The feeds download nothing while control is off or the settings dialog shows.
bool FeedsIdle(const ModuleState& state);

// The pause after a refresh pass of the feed.
std::chrono::milliseconds PauseAfterPass(const NetworkFeed& feed, const FeedTiming& timing);

// Puts `fresh` in place of the network's table. When the network is the selected one,
// currentTable shows the new records and selectedStation is cleared. Nothing is left
// pointing into the old table, which is returned for the caller to release after the
// lock (dropping it frees it).
StationTable InstallStationTable(ModuleState& state, Network network, StationTable fresh);

// Stores the text of the network's latest download failure.
void SetFeedError(ModuleState& state, Network network, const std::string& text);
// The network's latest download failure, as the settings dialog shows it.
std::string FeedError(ModuleState& state, Network network);

// currentTable's loaded flag takes the network's `loaded` when the network is the
// selected one. Done under the lock, so that it cannot cross a switch of networks.
void PublishLoaded(ModuleState& state, Network network);

}  // namespace hv
