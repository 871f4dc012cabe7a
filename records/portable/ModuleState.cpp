#include "records/portable/ModuleState.h"

namespace hv {

void resetModuleState(ModuleState& state) {
  state.active = 0;
  state.network = Vatsim;
  state.rangeCheck = 1;
  state.remoteMode = 0;
  state.remoteAddress.clear();
  state.logEnabled = 1;
  state.hotKeyCode = 0;
  state.hotKeyModifier = 0;
  state.simFolder.clear();
  state.iniPath.clear();
  state.cfgPath.clear();
  state.logPath.clear();
  state.rogerWilcoPath.clear();
  state.status = Off;
  state.currentTable.records = nullptr;
  state.currentTable.count = 0;
  state.currentTable.loaded = 0;
  state.selectedStation = nullptr;
  state.joined = 0;
  state.dialogShowing = 0;
  state.lastReading = SimReading{};
  for (NetworkFeed& feed : state.feeds) {
    feed.statusUrl.clear();
    feed.dataUrl.clear();
    feed.voiceUrl.clear();
    feed.rootFetched = 0;
    feed.loaded = 0;
    feed.attempted = 0;
    feed.lastError.clear();
    feed.table = StationTable{};
    feed.installedAt = {};
  }
  state.workerStop = 0;
  state.vatsimFeedStop = 0;
  state.ivaoFeedStop = 0;
  state.pendingCommand.clear();
  state.deliverCommand = nullptr;
}

}  // namespace hv
