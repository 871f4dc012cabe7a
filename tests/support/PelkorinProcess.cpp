// The tray program's test helpers: its process, datagrams on loopback, input, and the
// tray as painted on the screen.
#include "tests/support/PelkorinProcess.h"

#include <winsock.h>

#include "tests/support/DatagramReceiver.h"
#include "tests/support/WinTestSupport.h"

namespace hvtest {

// ---------------------------------------------------------------- the process

PelkorinProcess::PelkorinProcess() {
  std::string program = binPath("Pelkorin.exe");
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &info)) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
  }
}

PelkorinProcess::~PelkorinProcess() {
  if (!process_) return;
  if (running()) {
    postCommand(kPelkorinExitCommand);
    if (!waitForExit()) {
      TerminateProcess(process_, 99);
      WaitForSingleObject(process_, 5000);
    }
  }
  CloseHandle(process_);
}

std::optional<DWORD> PelkorinProcess::waitForExit(std::chrono::milliseconds within) const {
  DWORD code = 0;
  if (!process_ || WaitForSingleObject(process_, static_cast<DWORD>(within.count())) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process_, &code))
    return std::nullopt;
  return code;
}

HWND PelkorinProcess::window() const {
  for (HWND candidate = nullptr; (candidate = FindWindowExA(nullptr, candidate, "TrayMainWindow", nullptr));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(candidate, &owner);
    if (owner == id_) return candidate;
  }
  return nullptr;
}

HWND PelkorinProcess::waitForWindow() const {
  HWND found = nullptr;
  waitUntil([&] { return (found = window()) != nullptr || !running(); }, 10000ms);
  return found;
}

void PelkorinProcess::postCommand(UINT command) const {
  if (HWND w = window()) PostMessageA(w, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

std::unique_ptr<PelkorinProcess> startListeningPelkorin() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!DatagramReceiver("0.0.0.0").bound()) continue;  // it tries to bind the port for 10 s
    auto pelkorin = std::make_unique<PelkorinProcess>();
    if (!pelkorin->waitForWindow()) return nullptr;
    Sleep(200);  // the listener binds on its own thread, around the time the window appears
    if (!messageBoxShowing(kErrorCaption)) return pelkorin;
    answerMessageBox(kErrorCaption);
  }
  return nullptr;
}

// ---------------------------------------------------------------- datagrams

bool sendDatagram(const std::string& bytes) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(2464);
  to.sin_addr.s_addr = inet_addr("127.0.0.1");
  const bool sent = s != INVALID_SOCKET && sendto(s, bytes.data(), static_cast<int>(bytes.size()), 0,
                                                  reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
                                               static_cast<int>(bytes.size());
  if (s != INVALID_SOCKET) closesocket(s);
  WSACleanup();
  return sent;
}

// ---------------------------------------------------------------- the tray on screen

namespace {

// Wine's X11 driver shows tray icons in a stand-alone tray window when the X display has
// no tray of its own (as under Xvfb); each icon is a visible child window that paints it.
std::vector<HWND> trayIconWindows() {
  std::vector<HWND> icons;
  for (HWND tray = nullptr; (tray = FindWindowExA(nullptr, tray, "__winex11_standalone_tray", nullptr));)
    for (HWND icon = nullptr; (icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr));)
      if (IsWindowVisible(icon)) icons.push_back(icon);
  return icons;
}

}  // namespace

const char* toString(TrayLook look) {
  const char* names[] = {"absent", "contact", "no contact", "unknown"};
  return names[static_cast<int>(look)];
}

TrayLook lookAtTray() {
  std::vector<HWND> icons = trayIconWindows();
  if (icons.size() != 1) return icons.empty() ? TrayLook::Absent : TrayLook::Unknown;
  RECT rect = {};
  GetWindowRect(icons[0], &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return TrayLook::Unknown;

  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);

  // The tray paints the 16x16 icon in the middle of its window. The display's green
  // (#5FD35F) is in both icons; the red stroke (#E01010) crosses the display only in
  // the no-contact icon. Red is counted inside the display alone: Wine's tray does not
  // clear the icon's transparent corners between pictures, so a stroke drawn there
  // before can stay visible beside the next icon.
  const int left = (width - 16) / 2, top = (height - 16) / 2;
  int green = 0, red = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF pixel = GetPixel(memory, x, y);
      const int r = GetRValue(pixel), g = GetGValue(pixel), b = GetBValue(pixel);
      const bool insideDisplay = x >= left + 1 && x <= left + 14 && y >= top + 4 && y <= top + 12;
      if (g >= 170 && r <= 140 && b <= 140) ++green;
      if (insideDisplay && r >= 180 && g <= 80 && b <= 80) ++red;
    }
  SelectObject(memory, old);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  if (green < 30) return TrayLook::Unknown;
  if (red == 0) return TrayLook::Contact;
  return red >= 10 ? TrayLook::NoContact : TrayLook::Unknown;
}

bool waitForTray(TrayLook look, std::chrono::milliseconds within) {
  return waitUntil([&] { return lookAtTray() == look; }, within);
}

std::optional<POINT> trayIconCentre() {
  std::vector<HWND> icons = trayIconWindows();
  if (icons.size() != 1) return std::nullopt;
  RECT rect = {};
  GetWindowRect(icons[0], &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

HWND visiblePopupMenu() {
  for (HWND menu = nullptr; (menu = FindWindowExA(nullptr, menu, "#32768", nullptr));)
    if (IsWindowVisible(menu)) return menu;
  return nullptr;
}

// ---------------------------------------------------------------- input

void rightClickAt(POINT where) {
  SetCursorPos(where.x, where.y);
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  SendInput(2, click, sizeof(INPUT));
}

void pressKey(WORD virtualKey) {
  INPUT key[2] = {};
  key[0].type = key[1].type = INPUT_KEYBOARD;
  key[0].ki.wVk = key[1].ki.wVk = virtualKey;
  key[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, key, sizeof(INPUT));
}

}  // namespace hvtest
