// The hidden main window of the tray program and its notification-area icon.
#pragma once

#include <windows.h>

namespace hv {

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tray icon operations on pelkorin.mainWindow, icon identifier 1. Failures are not
// acted on.
void addTrayIcon(HICON icon);
void modifyTrayIcon(HICON icon);
void deleteTrayIcon();

// The About box text: name and version, a rule, what the program is.
extern const char kAboutText[];
constexpr char kAboutCaption[] = "Pelkorin";

}  // namespace hv
