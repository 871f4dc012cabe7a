// Puts a running Pelkorin into a pose for a screenshot and prints the screen area to
// take ("x y width height"), or ends it. Used by scripts/screenshots.sh.
//   pelkorin_pose menu    right-clicks the tray icon; waits for the popup menu
//   pelkorin_pose about   chooses About; waits for the About box
//   pelkorin_pose close   closes the menu (Escape) or the About box (OK)
//   pelkorin_pose exit    chooses Exit; waits until Pelkorin has ended
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tests/support/PelkorinProcess.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;

HWND waitFor(HWND (*find)(), int ms) {
  HWND found = nullptr;
  for (int waited = 0; !(found = find()) && waited < ms; waited += 20) Sleep(20);
  return found;
}

HWND trayWindow() { return FindWindowA("TrayMainWindow", "Hallvoxen"); }
HWND aboutBox() { return FindWindowA("#32770", "Pelkorin"); }
HWND standaloneTray() { return FindWindowA("__winex11_standalone_tray", nullptr); }

void printArea(RECT area, int margin) {
  std::printf("%ld %ld %ld %ld\n", area.left > margin ? area.left - margin : 0L, area.top > margin ? area.top - margin : 0L,
              area.right - area.left + 2 * margin, area.bottom - area.top + 2 * margin);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const char* pose = argv[1];
  HWND main = waitFor(trayWindow, 10000);
  if (!main) {
    std::fprintf(stderr, "Pelkorin is not running\n");
    return 1;
  }

  if (std::strcmp(pose, "menu") == 0) {
    if (!waitFor([] { return trayIconWindows().size() == 1 ? trayIconWindows()[0] : HWND(); }, 10000)) return 1;
    auto icon = trayIconCentre();
    rightClickAt(*icon);
    HWND menu = waitFor(visiblePopupMenu, 5000);
    if (!menu) return 1;
    Sleep(300);  // let it paint
    RECT menuRect, trayRect = {};
    GetWindowRect(menu, &menuRect);
    if (HWND tray = standaloneTray()) GetWindowRect(tray, &trayRect);
    RECT both;
    UnionRect(&both, &menuRect, &trayRect);
    printArea(both, 8);
    return 0;
  }
  if (std::strcmp(pose, "about") == 0) {
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(kPelkorinAboutCommand, 0), 0);
    HWND box = waitFor(aboutBox, 5000);
    if (!box) return 1;
    Sleep(300);
    RECT rect;
    GetWindowRect(box, &rect);
    printArea(rect, 8);
    return 0;
  }
  if (std::strcmp(pose, "close") == 0) {
    if (visiblePopupMenu()) pressKey(VK_ESCAPE);
    if (aboutBox()) answerMessageBox("Pelkorin");
    return 0;
  }
  if (std::strcmp(pose, "exit") == 0) {
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(kPelkorinExitCommand, 0), 0);
    if (handle) {
      WaitForSingleObject(handle, 5000);
      CloseHandle(handle);
    }
    return 0;
  }
  return 2;
}
