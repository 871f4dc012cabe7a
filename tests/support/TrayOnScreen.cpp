// The tray as painted on the screen, and input.
#include "tests/support/TrayOnScreen.h"

#include <vector>

namespace hvtest {

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

bool trayIconCentre(POINT& centre) {
  std::vector<HWND> icons = trayIconWindows();
  RECT rect = {};
  if (icons.size() != 1 || !GetWindowRect(icons[0], &rect)) return false;
  centre = POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  return true;
}

HWND visiblePopupMenu() {
  for (HWND menu = nullptr; (menu = FindWindowExA(nullptr, menu, "#32768", nullptr));)
    if (IsWindowVisible(menu)) return menu;
  return nullptr;
}

void rightClickAt(POINT where) {
  SetCursorPos(where.x, where.y);
  mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
}

void pressKey(WORD virtualKey) {
  keybd_event(static_cast<BYTE>(virtualKey), 0, 0, 0);
  keybd_event(static_cast<BYTE>(virtualKey), 0, KEYEVENTF_KEYUP, 0);
}

}  // namespace hvtest
