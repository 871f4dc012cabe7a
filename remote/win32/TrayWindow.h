// The hidden main window of the tray program and its notification-area icon.
#pragma once

#include <windows.h>

#include "remote/win32/Pelkorin.h"

namespace hv {

// The window is created with its PelkorinState as the creation parameter.
LRESULT CALLBACK trayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tray icon operations on pelkorin.mainWindow, icon identifier 1. Failures are not
// acted on.
void addTrayIcon(PelkorinState& pelkorin, HICON icon);
void modifyTrayIcon(const PelkorinState& pelkorin, HICON icon);
void deleteTrayIcon(PelkorinState& pelkorin);

// The About box text: name and version, a rule, what the program is.
extern const char kAboutText[];
constexpr char kAboutCaption[] = "Pelkorin";

}  // namespace hv
