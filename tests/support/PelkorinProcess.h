// Helpers for the tests of the tray program: the real Pelkorin.exe of this build as a
// process, datagrams to UDP port 2464 on this computer, real clicks and keys, and what
// the tray shows on the screen, read from the pixels Wine's system tray paints (a real
// observation of the icon, not a value the program reports about itself).
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/WinTestSupport.h"

namespace hvtest {

using namespace std::chrono_literals;

constexpr UINT kPelkorinAboutCommand = 40005;
constexpr UINT kPelkorinExitCommand = 40006;

// Polls until `find` gives a window; null after the time.
template <typename Find>
HWND waitForWindow(Find find, std::chrono::milliseconds within = 5000ms) {
  HWND found = nullptr;
  waitUntil([&] { return (found = find()) != nullptr; }, within);
  return found;
}

// One run of bin/Pelkorin.exe. The destructor ends a run that is still going: first
// with Exit, then by force.
class PelkorinProcess {
 public:
  PelkorinProcess();
  ~PelkorinProcess();
  PelkorinProcess(const PelkorinProcess&) = delete;
  PelkorinProcess& operator=(const PelkorinProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  bool running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
  // The exit code once the process has ended within the time.
  std::optional<DWORD> waitForExit(std::chrono::milliseconds within = 5000ms) const;
  // Its hidden window of class "TrayMainWindow": now, or once it exists (null when the
  // process ends first).
  HWND window() const;
  HWND waitForWindow() const;
  // A menu command as the menu sends it: WM_COMMAND posted to the window.
  void postCommand(UINT command) const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Starts Pelkorin once port 2464 is free (other tests on this computer may hold it for a
// moment, even from another Wine prefix) and waits for its window. A start that lost the
// port to another program in the meantime (another developer's test, say) shows the bind
// box: it is answered, and Pelkorin ended and started again. Null when Pelkorin does not
// come up listening.
std::unique_ptr<PelkorinProcess> startListeningPelkorin();

// Sends one datagram with exactly these bytes to 127.0.0.1:2464 from a new socket.
bool sendDatagram(const std::string& bytes);

// What the system tray shows: no icon, Pelkorin's contact icon (green display), its
// no-contact icon (the display struck through in red), or something else.
enum class TrayLook { Absent, Contact, NoContact, Unknown };
const char* toString(TrayLook look);
TrayLook lookAtTray();
// Waits until the tray shows `look`; false after the time.
bool waitForTray(TrayLook look, std::chrono::milliseconds within = 10000ms);

// The centre of the one tray icon on screen, if there is exactly one.
std::optional<POINT> trayIconCentre();
// The popup menu window ("#32768") on screen now, if any.
HWND visiblePopupMenu();

// Real input through the window system.
void rightClickAt(POINT where);
void pressKey(WORD virtualKey);

}  // namespace hvtest
