// The exported control operations. Only the status copy and the network switch touch the
// station tables, and both do it under StationTableLock; the rest are single words.
#include "api/portable/ControlApi.h"

#include <cstring>

namespace hv {

namespace {

std::uint32_t lowHalf(std::uint32_t slot) { return slot & 0xFFFFu; }

bool concernsAStation(std::uint32_t status) { return status == Joined || status == OutOfRange; }

}  // namespace

std::uint32_t getControlStatus(ModuleState& state, void* buffer) {
  if (state.status.load() == RogerWilcoMissing) return RogerWilcoMissing;
  if (state.active.load() == 0) return Off;
  if (!concernsAStation(state.status.load())) return state.status.load();

  // Station selection changes the status and the selected station together under the
  // lock, and a feed releases records only under it: inside it the two agree and the
  // record is alive.
  StationTableGuard guard(state.tableLock);
  const std::uint32_t status = state.status.load();
  if (!concernsAStation(status)) return status;
  if (state.selectedStation == nullptr) return NoStation;
  std::memcpy(buffer, state.selectedStation, sizeof(AtcStation));
  return state.status.load();
}

std::uint32_t setControlMode(ModuleState& state, std::uint32_t modeSlot) {
  if (state.status.load() == RogerWilcoMissing) return RogerWilcoMissing;
  const std::uint32_t mode = lowHalf(modeSlot);
  state.active.store(mode != 0 ? 1 : 0);
  return mode == 0 ? Off : state.status.load();
}

std::uint32_t getSelectedNetwork(const ModuleState& state) { return state.network.load(); }

std::uint32_t selectNetwork(ModuleState& state, std::uint32_t networkSlot, SaveConfiguration save) {
  const std::uint32_t network = lowHalf(networkSlot);
  // Only VATSIM and IVAO have feeds; another number would leave the module searching one
  // network's table while it reports and saves another.
  if (network != Vatsim && network != Ivao) return state.status.load();

  {
    StationTableGuard guard(state.tableLock);
    const NetworkFeed& feed = state.feeds[network];
    if (state.network.load() != network) {
      // The selected station lives in the other network's table, which that network's
      // feed may release at any time now that it is no longer the selected one.
      state.selectedStation = nullptr;
    }
    state.currentTable.records = feed.table.records.get();
    state.currentTable.count = feed.table.count;
    state.currentTable.loaded.store(feed.loaded.load());
    // Stored inside the lock: a feed decides under it whether its new table is the
    // current one, and must not publish the old network's table after this switch.
    state.network.store(network);
  }

  if (save) save(state);
  return state.status.load();
}

}  // namespace hv
