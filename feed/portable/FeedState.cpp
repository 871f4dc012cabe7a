// The feed threads' changes to the module's state; see FeedState.h.
#include "feed/portable/FeedState.h"

#include <cstdint>
#include <utility>

namespace hv {

namespace {

bool PointsInto(const AtcStation* station, const StationTable& table) {
  if (station == nullptr || !table.records || table.count <= 0) return false;
  auto at = reinterpret_cast<std::uintptr_t>(station);
  auto begin = reinterpret_cast<std::uintptr_t>(table.records.get());
  auto end = reinterpret_cast<std::uintptr_t>(table.records.get() + table.count);
  return at >= begin && at < end;
}

}  // namespace

bool FeedsIdle(const ModuleState& state) { return state.active.load() == 0 || state.dialogShowing.load() != 0; }

std::chrono::milliseconds PauseAfterPass(const NetworkFeed& feed, const FeedTiming& timing) {
  return feed.loaded.load() != 0 ? timing.loadedPause : timing.retryPause;
}

StationTable InstallStationTable(ModuleState& state, Network network, StationTable fresh) {
  NetworkFeed& feed = state.feeds[network];
  StationTableGuard guard(state.tableLock);
  StationTable old = std::move(feed.table);
  feed.table = std::move(fresh);
  feed.installedAt = std::chrono::steady_clock::now();

  // currentTable still showing the old records would dangle even if another network
  // were selected by now; it gets the new ones instead.
  bool showsOld = old.records && state.currentTable.records == old.records.get();
  if (state.network.load() == network || showsOld) {
    state.currentTable.records = feed.table.records.get();
    state.currentTable.count = feed.table.count;
    state.selectedStation = nullptr;
  }
  if (PointsInto(state.selectedStation, old)) state.selectedStation = nullptr;
  return old;
}

void SetFeedError(ModuleState& state, Network network, const std::string& text) {
  StationTableGuard guard(state.tableLock);
  state.feeds[network].lastError = text;
}

std::string FeedError(ModuleState& state, Network network) {
  StationTableGuard guard(state.tableLock);
  return state.feeds[network].lastError;
}

void PublishLoaded(ModuleState& state, Network network) {
  StationTableGuard guard(state.tableLock);
  if (state.network.load() == network) state.currentTable.loaded = state.feeds[network].loaded.load();
}

}  // namespace hv
