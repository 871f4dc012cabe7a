// The hidden main window: every 2000 ms its timer turns the tray icon to contact or no
// contact, depending on whether a datagram arrived since the last tick; a right click
// on the tray icon opens the popup menu with About (bold) and Exit.
#include "remote/win32/TrayWindow.h"

#include <shellapi.h>

#include <cstring>

#include "remote/win32/PelkorinResources.h"

namespace hv {

const char kAboutText[] =
    "Pelkorin V1.0\r\n"
    "_____________________________________\r\n"
    "RogerWilco remote control utility";

namespace {

// The first version of the tray record (64-character tooltip): 88 bytes on 32-bit Windows.
#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first tray record version");
#endif

NOTIFYICONDATAA trayRecord(const PelkorinState& pelkorin, HICON icon) {
  NOTIFYICONDATAA record = {};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = pelkorin.mainWindow;
  record.uID = kTrayIconId;
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = icon;
  std::strncpy(record.szTip, kTrayTooltip, sizeof record.szTip - 1);
  return record;
}

void showPopupMenu(const PelkorinState& pelkorin, HWND window) {
  ScopedMenu menu(LoadMenuA(pelkorin.instance, MAKEINTRESOURCEA(IDM_PELKORIN_TRAY)));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu.get(), 0);  // destroyed with the menu
  if (popup) {
    SetMenuDefaultItem(popup, IDM_PELKORIN_ABOUT, FALSE);
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, window, nullptr);
    SetForegroundWindow(window);
  }
}

}  // namespace

void addTrayIcon(PelkorinState& pelkorin, HICON icon) {
  NOTIFYICONDATAA record = trayRecord(pelkorin, icon);
  pelkorin.trayIconAsked = true;
  Shell_NotifyIconA(NIM_ADD, &record);
}

void modifyTrayIcon(const PelkorinState& pelkorin, HICON icon) {
  NOTIFYICONDATAA record = trayRecord(pelkorin, icon);
  Shell_NotifyIconA(NIM_MODIFY, &record);
}

void deleteTrayIcon(PelkorinState& pelkorin) {
  NOTIFYICONDATAA record = {};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = pelkorin.mainWindow;
  record.uID = kTrayIconId;
  Shell_NotifyIconA(NIM_DELETE, &record);
  pelkorin.trayIconAsked = false;
}

LRESULT CALLBACK trayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* state = reinterpret_cast<PelkorinState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  PelkorinState& pelkorin = *state;
  switch (message) {
    case WM_TIMER:
      // Taking the flag and clearing it in one step: a datagram that arrives during
      // the tick counts for the next one.
      modifyTrayIcon(pelkorin, (pelkorin.contactSeen.exchange(0) ? pelkorin.contactIcon : pelkorin.noContactIcon).get());
      return 0;

    case kTrayCallbackMessage:
      if (wParam == kTrayIconId && lParam == WM_RBUTTONDOWN) showPopupMenu(pelkorin, window);
      break;

    case WM_COMMAND:
      if (HIWORD(wParam) != 0) break;
      switch (LOWORD(wParam)) {
        case IDM_PELKORIN_EXIT:
          pelkorin.stopRequested.store(1);
          PostMessageA(window, WM_CLOSE, 0, 0);
          break;
        case IDM_PELKORIN_ABOUT:
          MessageBoxA(window, kAboutText, kAboutCaption, MB_OK | MB_ICONINFORMATION);
          break;
        default:
          break;
      }
      return 0;

    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;

    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace hv
