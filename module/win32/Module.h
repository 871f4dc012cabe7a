// Everything one load of the module owns. The initialisation entry makes it; the threads,
// the dialog and the exports are handed it (or the parts they need) by reference; the
// de-initialisation entry destroys it once every thread has been joined. A new load gets a
// new object, so nothing of an earlier run is carried over or has to be reset.
#pragma once

#include "api/win32/ExportTarget.h"
#include "common/win32/LogWriter.h"
#include "dialog/win32/SettingsDialog.h"
#include "feed/win32/StatusDownloader.h"
#include "module/win32/Configuration.h"
#include "module/win32/DialogThread.h"
#include "module/win32/ModuleThreads.h"
#include "module/win32/SimIpc.h"
#include "records/portable/ModuleState.h"

namespace hv {

struct Module {
  ModuleState state;
  LogWriter log;

  SimIpcClient simulator;
  // The IPC client's batch buffer: the server writes the values read into it, possibly
  // late (see SimIpcClient::serverDone), so it lives as long as the object.
  alignas(8) unsigned char batchBuffer[1024] = {};

  // Let shutdown abort each feed's download under way.
  DownloadAbort vatsimDownloads{state.vatsimFeedStop};
  DownloadAbort ivaoDownloads{state.ivaoFeedStop};

  DialogThreadState dialogThread;
  SettingsDialogHost settingsDialog;
  ExportTarget exports{state, log, &saveConfiguration};

  ModuleThreads threads;
};

}  // namespace hv
