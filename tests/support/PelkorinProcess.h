// Helpers for the tests of the tray program: the real Pelkorin.exe of this build as a
// process, datagrams to UDP port 2464 on this computer, and what the tray shows on the
// screen, read from the pixels Wine's system tray paints (a real observation of the
// icon, not a value the program reports about itself).
#pragma once

#include <winsock.h>
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace hvtest {

using namespace std::chrono_literals;

constexpr UINT kPelkorinAboutCommand = 40005;
constexpr UINT kPelkorinExitCommand = 40006;

// One run of bin/Pelkorin.exe. The destructor ends a run that is still going: first
// with Exit, then by force.
class PelkorinProcess {
 public:
  PelkorinProcess();
  ~PelkorinProcess();
  PelkorinProcess(const PelkorinProcess&) = delete;
  PelkorinProcess& operator=(const PelkorinProcess&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  bool running() const;
  // The exit code once the process has ended within the time.
  std::optional<DWORD> waitForExit(std::chrono::milliseconds within = 10000ms) const;
  // Its hidden window of class "TrayMainWindow", once it exists.
  HWND waitForWindow(std::chrono::milliseconds within = 10000ms) const;
  HWND window() const;  // null when it has none (now)
  // Chooses Exit the way the menu does: WM_COMMAND 40006 posted to the window.
  void postCommand(UINT command) const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Sends one datagram with exactly these bytes to 127.0.0.1:port from a new socket.
bool sendDatagram(const std::string& bytes, unsigned short port = 2464);

// A UDP socket of the test bound to a port of this computer (to take it from Pelkorin).
class HeldPort {
 public:
  explicit HeldPort(unsigned short port = 2464);
  ~HeldPort();
  HeldPort(const HeldPort&) = delete;
  HeldPort& operator=(const HeldPort&) = delete;
  bool bound() const { return bound_; }
  // Waits for a datagram; its bytes, or nothing after the time.
  std::optional<std::string> receive(std::chrono::milliseconds within = 2000ms);

 private:
  SOCKET socket_ = INVALID_SOCKET;
  bool bound_ = false;
};

// What the system tray shows: no icon, Pelkorin's contact icon (green display), its
// no-contact icon (the display struck through in red), or something else.
enum class TrayLook { Absent, Contact, NoContact, Unknown };
const char* toString(TrayLook look);

// Waits until nobody holds the UDP port (other tests on this computer may, for a
// moment, even from another Wine prefix); true once a test bind has succeeded.
bool waitUntilPortFree(unsigned short port = 2464, std::chrono::milliseconds within = 30000ms);

// The tray icons Wine shows, as windows of its stand-alone system tray.
std::vector<HWND> trayIconWindows();
// Reads the pixels of the one tray icon on the screen.
TrayLook lookAtTray();
// Waits until the tray shows `look`; false after the time.
bool waitForTray(TrayLook look, std::chrono::milliseconds within = 10000ms);

// Real input through the window system, at screen positions.
void rightClickAt(POINT where);
void leftClickAt(POINT where);
void pressKey(WORD virtualKey);
// The centre of the one tray icon, if there is one.
std::optional<POINT> trayIconCentre();

// The popup menu window ("#32768") on screen now, if any.
HWND visiblePopupMenu();

}  // namespace hvtest
