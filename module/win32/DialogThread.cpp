// The dialog thread and its two IPC steps around the settings dialog.
#include "module/win32/DialogThread.h"

#include <windows.h>

#include <atomic>

#include "common/portable/ErrorMessages.h"
#include "common/win32/LogWriter.h"
#include "dialog/win32/SettingsDialog.h"
#include "module/win32/Lifecycle.h"
#include "module/win32/LoggedErrorBox.h"
#include "module/win32/ModuleThreads.h"
#include "module/win32/SimIpc.h"

namespace hv {

namespace {

constexpr std::uint32_t kSavedWordOffset = 0x0264;
constexpr std::uint32_t kControlWordOffset = 0x0262;

std::atomic<DWORD> dialogThreadId{0};
std::atomic<bool> unloading{false};

// Kept from one dialog to the next: a failed read leaves the former value.
std::uint16_t savedWord = 0;

BOOL CALLBACK closeWindow(HWND window, LPARAM) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

void showRogerWilcoMissing() {
  if (unloading) return;
  showLoggedErrorBox(kRogerWilcoMissingMessage);
}

}  // namespace

bool startDialogThread(ModuleState& state) {
  std::uint32_t free = 0;
  if (!state.dialogShowing.compare_exchange_strong(free, 1)) return false;
  if (startModuleThread(&DialogThread)) return true;
  state.dialogShowing = 0;
  return false;
}

void DialogThread() {
  ModuleState& state = moduleState();
  dialogThreadId = GetCurrentThreadId();
  std::uint32_t error = 0;
  SimIpc::read(kSavedWordOffset, 2, &savedWord, error);
  SimIpc::process(error);

  if (state.status.load() == RogerWilcoMissing) {
    showRogerWilcoMissing();
  } else if (!unloading) {
    logLine("settings dialog opened");
    runSettingsDialog();
    logLine("settings dialog closed");
  }

  if (savedWord == 0) {
    const std::uint16_t zero = 0;
    SimIpc::write(kControlWordOffset, 2, &zero, error);
    SimIpc::process(error);
  }
  dialogThreadId = 0;
  state.dialogShowing = 0;
}

void resetDialogThread() {
  unloading = false;
  savedWord = 0;
}

void closeDialogForUnload() {
  unloading = true;
  endSettingsDialogForUnload();
  if (DWORD thread = dialogThreadId.load()) EnumThreadWindows(thread, &closeWindow, 0);
}

}  // namespace hv
