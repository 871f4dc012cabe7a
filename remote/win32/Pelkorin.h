// The tray program's state and fixed values. WinMain owns the one PelkorinState, which
// lives until the process ends; the window finds it in its user data and the listener
// gets it as its thread's parameter. The window thread and the listener thread share two
// flags: the listener raises `contactSeen` for every datagram
// with a text and the window clears it on each timer tick; the window raises
// `stopRequested` on Exit and the listener looks at it before every receive.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "common/win32/ScopedWin.h"

namespace hv {

constexpr char kPelkorinMutexName[] = "HALLVOXEN_MUTEX";
constexpr char kTrayWindowClass[] = "TrayMainWindow";
constexpr char kTrayWindowTitle[] = "Hallvoxen";
constexpr char kTrayTooltip[] = "Hallvoxen";
constexpr UINT kTrayIconId = 1;
constexpr UINT kTrayCallbackMessage = WM_USER + 101;  // 1125
constexpr UINT_PTR kTrayTimerId = 241;
constexpr UINT kTrayTimerPeriodMs = 2000;

struct PelkorinState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  ScopedKernelHandle mutex;  // held (owned) while not empty
  bool classRegistered = false;
  // NIM_ADD was asked for, whatever it answered: a shell busy at log-on can report a failed
  // add for an icon it then shows, so exit deletes the icon either way.
  bool trayIconAsked = false;
  ScopedIcon contactIcon;    // 108, 16x16
  ScopedIcon noContactIcon;  // 111, 16x16
  ScopedIcon panelIcon;      // 109, 32x32, the window class's icon
  // Written once by FindRogerWilco before the listener starts, only read afterwards.
  std::string rogerWilcoPath;
  std::atomic<std::uint32_t> contactSeen{0};
  std::atomic<std::uint32_t> stopRequested{0};
};

// Start-up, the message loop and shutdown; returns the exit code.
int runPelkorin(PelkorinState& pelkorin, HINSTANCE instance);

}  // namespace hv
