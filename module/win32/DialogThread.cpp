// The dialog thread and its two IPC steps around the settings dialog.
#include "module/win32/DialogThread.h"

#include "common/portable/ErrorMessages.h"
#include "module/win32/LoggedErrorBox.h"
#include "module/win32/Module.h"
#include "module/win32/SimulatorLink.h"

namespace hv {

namespace {

constexpr std::uint32_t kSavedWordOffset = 0x0264;
constexpr std::uint32_t kControlWordOffset = 0x0262;

BOOL CALLBACK closeWindow(HWND window, LPARAM) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

void showSettingsDialog(Module& module) {
  const SettingsDialogLinks links{module.state, module.log,
                                  [&module](std::uint16_t frequency) { tuneCom1(module.simulator, frequency); },
                                  &saveConfiguration};
  module.log.write("settings dialog opened");
  runSettingsDialog(module.settingsDialog, links);
  module.log.write("settings dialog closed");
}

}  // namespace

bool startDialogThread(Module& module) {
  std::uint32_t free = 0;
  if (!module.state.dialogShowing.compare_exchange_strong(free, 1)) return false;
  if (module.threads.start([&module] { DialogThread(module); })) return true;
  module.state.dialogShowing = 0;
  return false;
}

void DialogThread(Module& module) {
  DialogThreadState& thread = module.dialogThread;
  thread.threadId = GetCurrentThreadId();
  std::uint32_t error = 0;
  module.simulator.read(kSavedWordOffset, 2, &thread.savedWord, error);
  module.simulator.process(error);

  if (!thread.unloading) {
    if (module.state.status.load() == RogerWilcoMissing)
      showLoggedErrorBox(module.log, kRogerWilcoMissingMessage);
    else
      showSettingsDialog(module);
  }

  if (thread.savedWord == 0) {
    const std::uint16_t zero = 0;
    module.simulator.write(kControlWordOffset, 2, &zero, error);
    module.simulator.process(error);
  }
  thread.threadId = 0;
  module.state.dialogShowing = 0;
}

void closeDialogForUnload(Module& module) {
  module.dialogThread.unloading = true;
  endSettingsDialogForUnload(module.settingsDialog);
  if (DWORD thread = module.dialogThread.threadId.load()) EnumThreadWindows(thread, &closeWindow, 0);
}

}  // namespace hv
