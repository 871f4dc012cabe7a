// The tray program's test helpers: its process, datagrams on loopback, and the tray as
// painted on the screen.
#include "tests/support/PelkorinProcess.h"

#include "tests/support/WinTestSupport.h"

namespace hvtest {

namespace {

constexpr char kTrayWindowClass[] = "TrayMainWindow";
// Wine's X11 driver shows tray icons in a stand-alone tray window when the X display
// has no tray of its own (as under Xvfb); each icon is a child window that paints it.
constexpr char kWineStandaloneTray[] = "__winex11_standalone_tray";
constexpr char kWineTrayIcon[] = "__winex11_tray_icon";

bool startWinsock() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds within) {
  auto deadline = std::chrono::steady_clock::now() + within;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    Sleep(20);
  }
}

}  // namespace

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
    if (window()) postCommand(kPelkorinExitCommand);
    if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) {
      TerminateProcess(process_, 99);
      WaitForSingleObject(process_, 5000);
    }
  }
  CloseHandle(process_);
}

bool PelkorinProcess::running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> PelkorinProcess::waitForExit(std::chrono::milliseconds within) const {
  if (!process_ || WaitForSingleObject(process_, static_cast<DWORD>(within.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

HWND PelkorinProcess::window() const {
  for (HWND candidate = nullptr; (candidate = FindWindowExA(nullptr, candidate, kTrayWindowClass, nullptr));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(candidate, &owner);
    if (owner == id_) return candidate;
  }
  return nullptr;
}

HWND PelkorinProcess::waitForWindow(std::chrono::milliseconds within) const {
  HWND found = nullptr;
  waitUntil([&] { return (found = window()) != nullptr || !running(); }, within);
  return found;
}

void PelkorinProcess::postCommand(UINT command) const {
  if (HWND w = window()) PostMessageA(w, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

// ---------------------------------------------------------------- datagrams

bool sendDatagram(const std::string& bytes, unsigned short port) {
  if (!startWinsock()) return false;
  bool sent = false;
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s != INVALID_SOCKET) {
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    int n = sendto(s, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to);
    sent = n == static_cast<int>(bytes.size());
    closesocket(s);
  }
  WSACleanup();
  return sent;
}

HeldPort::HeldPort(unsigned short port) {
  if (!startWinsock()) return;
  socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (socket_ == INVALID_SOCKET) return;
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  bound_ = bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

HeldPort::~HeldPort() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  WSACleanup();
}

std::optional<std::string> HeldPort::receive(std::chrono::milliseconds within) {
  if (!bound_) return std::nullopt;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_, &readable);
  timeval wait = {static_cast<long>(within.count() / 1000), static_cast<long>(within.count() % 1000) * 1000};
  if (select(0, &readable, nullptr, nullptr, &wait) != 1) return std::nullopt;
  char buffer[2048];
  int n = recv(socket_, buffer, sizeof buffer, 0);
  if (n < 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(n));
}

bool waitUntilPortFree(unsigned short port, std::chrono::milliseconds within) {
  return waitUntil([&] { return HeldPort(port).bound(); }, within);
}

// ---------------------------------------------------------------- the tray on screen

const char* toString(TrayLook look) {
  switch (look) {
    case TrayLook::Absent: return "absent";
    case TrayLook::Contact: return "contact";
    case TrayLook::NoContact: return "no contact";
    case TrayLook::Unknown: return "unknown";
  }
  return "?";
}

std::vector<HWND> trayIconWindows() {
  std::vector<HWND> icons;
  for (HWND tray = nullptr; (tray = FindWindowExA(nullptr, tray, kWineStandaloneTray, nullptr));) {
    for (HWND icon = nullptr; (icon = FindWindowExA(tray, icon, kWineTrayIcon, nullptr));)
      if (IsWindowVisible(icon)) icons.push_back(icon);
  }
  return icons;
}

TrayLook lookAtTray() {
  std::vector<HWND> icons = trayIconWindows();
  if (icons.empty()) return TrayLook::Absent;
  if (icons.size() > 1) return TrayLook::Unknown;

  RECT rect = {};
  GetWindowRect(icons[0], &rect);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return TrayLook::Unknown;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();

  // The tray paints the 16x16 icon in the middle of its window. The display's green
  // (#5FD35F) is in both icons; the red stroke (#E01010) crosses the display only in
  // the no-contact icon. Red is counted inside the display alone: Wine's tray does not
  // clear the icon's transparent corners between pictures, so a stroke drawn there
  // before can stay visible beside the next icon.
  int left = (width - 16) / 2, top = (height - 16) / 2;
  int green = 0, red = 0;
  const auto* pixels = static_cast<const unsigned char*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* pixel = pixels + 4 * (y * width + x);
      int b = pixel[0], g = pixel[1], r = pixel[2];
      bool insideDisplay = x >= left + 1 && x <= left + 14 && y >= top + 4 && y <= top + 12;
      if (g >= 170 && r <= 140 && b <= 140) ++green;
      if (insideDisplay && r >= 180 && g <= 80 && b <= 80) ++red;
    }
  }
  SelectObject(memory, old);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  if (green < 30) return TrayLook::Unknown;
  if (red == 0) return TrayLook::Contact;
  if (red >= 10) return TrayLook::NoContact;
  return TrayLook::Unknown;
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

namespace {

void clickAt(POINT where, DWORD down, DWORD up) {
  SetCursorPos(where.x, where.y);
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = down;
  click[1].mi.dwFlags = up;
  SendInput(2, click, sizeof(INPUT));
}

}  // namespace

void rightClickAt(POINT where) { clickAt(where, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }
void leftClickAt(POINT where) { clickAt(where, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }

void pressKey(WORD virtualKey) {
  INPUT key[2] = {};
  key[0].type = key[1].type = INPUT_KEYBOARD;
  key[0].ki.wVk = key[1].ki.wVk = virtualKey;
  key[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, key, sizeof(INPUT));
}

HWND visiblePopupMenu() {
  for (HWND menu = nullptr; (menu = FindWindowExA(nullptr, menu, "#32768", nullptr));)
    if (IsWindowVisible(menu)) return menu;
  return nullptr;
}

}  // namespace hvtest
