// The tray program's entry: a single instance (mutex "HALLVOXEN_MUTEX"), the voice
// program looked up, the listener thread started, a hidden window with a 2000 ms timer
// and a tray icon, the message loop, then the shutdown in reverse. Any failure during
// start-up ends the program with exit code 0.
#include <windows.h>

#include <process.h>

#include <utility>

#include "common/win32/ScopedWin.h"
#include "remote/win32/CommandListener.h"
#include "remote/win32/Pelkorin.h"
#include "remote/win32/PelkorinResources.h"
#include "remote/win32/TrayWindow.h"

namespace hv {

namespace {

HICON loadIcon(const PelkorinState& pelkorin, int id, int size) {
  return static_cast<HICON>(LoadImageA(pelkorin.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

bool registerTrayWindowClass(PelkorinState& pelkorin) {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = trayWindowProc;
  windowClass.hInstance = pelkorin.instance;
  windowClass.hIcon = pelkorin.panelIcon.get();
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kTrayWindowClass;
  pelkorin.classRegistered = RegisterClassA(&windowClass) != 0;
  return pelkorin.classRegistered;
}

bool startListener(PelkorinState& pelkorin) {
  uintptr_t thread = _beginthreadex(nullptr, 0, CommandListener, &pelkorin, 0, nullptr);
  if (thread == 0) return false;
  ScopedKernelHandle unwaited(reinterpret_cast<HANDLE>(thread));  // never waited for
  return true;
}

// Shutdown steps 2 and 3; each does only what applies.
void releaseProgramResources(PelkorinState& pelkorin) {
  if (pelkorin.classRegistered) {
    UnregisterClassA(kTrayWindowClass, pelkorin.instance);
    pelkorin.classRegistered = false;
  }
  if (pelkorin.mutex) {
    ReleaseMutex(pelkorin.mutex.get());
    pelkorin.mutex.reset();
  }
  if (pelkorin.trayIconAsked) deleteTrayIcon(pelkorin);
  // The process ends with ExitProcess, which runs no destructor: the icons go here.
  pelkorin.contactIcon.reset();
  pelkorin.noContactIcon.reset();
  pelkorin.panelIcon.reset();
}

bool startUp(PelkorinState& pelkorin, HINSTANCE instance) {
  pelkorin.instance = instance;

  ScopedKernelHandle mutex(CreateMutexA(nullptr, TRUE, kPelkorinMutexName));
  if (!mutex) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) return false;  // another Pelkorin runs: leave silently
  pelkorin.mutex = std::move(mutex);

  if (!FindRogerWilco(pelkorin)) return false;  // the message has been shown

  pelkorin.contactIcon.reset(loadIcon(pelkorin, IDI_PELKORIN_CONTACT, 16));
  pelkorin.noContactIcon.reset(loadIcon(pelkorin, IDI_PELKORIN_NO_CONTACT, 16));
  pelkorin.panelIcon.reset(loadIcon(pelkorin, IDI_PELKORIN_PANEL, 32));

  if (!registerTrayWindowClass(pelkorin)) return false;
  // Without a listener the program still runs, showing no contact.
  startListener(pelkorin);

  pelkorin.mainWindow = CreateWindowExA(0, kTrayWindowClass, kTrayWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                        0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, &pelkorin);
  if (!pelkorin.mainWindow) return false;

  SetTimer(pelkorin.mainWindow, kTrayTimerId, kTrayTimerPeriodMs, nullptr);
  addTrayIcon(pelkorin, pelkorin.noContactIcon.get());
  ShowWindow(pelkorin.mainWindow, SW_HIDE);
  UpdateWindow(pelkorin.mainWindow);
  return true;
}

int runMessageLoop() {
  MSG message = {};
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0 && got != -1) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 0;
}

}  // namespace

int runPelkorin(PelkorinState& pelkorin, HINSTANCE instance) {
  if (!startUp(pelkorin, instance)) {
    releaseProgramResources(pelkorin);
    return 0;
  }
  int exitCode = runMessageLoop();
  KillTimer(pelkorin.mainWindow, kTrayTimerId);
  releaseProgramResources(pelkorin);
  return exitCode;
}

}  // namespace hv

// The listener thread is not waited for and may still be serving a datagram. Returning
// from WinMain would destroy the state it reads (the voice program's path) before the
// process ends; ExitProcess ends that thread first.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  hv::PelkorinState pelkorin;
  ExitProcess(static_cast<UINT>(hv::runPelkorin(pelkorin, instance)));
}
