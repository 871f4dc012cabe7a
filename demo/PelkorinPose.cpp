// Puts a running Pelkorin into a pose for a screenshot and prints the screen area to
// take ("x y width height"), or ends it. Used by scripts/screenshots.sh.
//   pelkorin_pose menu    right-clicks the tray icon; waits for the popup menu
//   pelkorin_pose about   chooses About; waits for the About box
//   pelkorin_pose close   closes the menu (Escape) or the About box (OK)
//   pelkorin_pose exit    chooses Exit; waits until Pelkorin has ended
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/TrayOnScreen.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;

constexpr UINT kAboutCommand = 40005, kExitCommand = 40006;

HWND aboutBox() { return FindWindowA("#32770", "Pelkorin"); }

template <typename Find>
HWND waitForWindow(Find find, std::chrono::milliseconds within = 5000ms) {
  HWND found = nullptr;
  waitUntil([&] { return (found = find()) != nullptr; }, within);
  return found;
}

// The window's area with a margin, printed once it has had time to paint.
int printArea(HWND window, HWND alsoTake = nullptr) {
  if (!window) return 1;
  Sleep(300);
  RECT area = {}, more = {};
  GetWindowRect(window, &area);
  if (alsoTake && GetWindowRect(alsoTake, &more)) UnionRect(&area, &area, &more);
  const long margin = 8, left = area.left > margin ? area.left - margin : 0, top = area.top > margin ? area.top - margin : 0;
  std::printf("%ld %ld %ld %ld\n", left, top, area.right - area.left + 2 * margin, area.bottom - area.top + 2 * margin);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pose = argc == 2 ? argv[1] : "";
  HWND main = waitForWindow([] { return FindWindowA("TrayMainWindow", "Hallvoxen"); }, 10000ms);
  if (!main) {
    std::fprintf(stderr, "Pelkorin is not running\n");
    return 1;
  }
  if (pose == "menu") {
    POINT icon{};
    if (!waitUntil([&] { return trayIconCentre(icon); }, 10000ms)) return 1;
    rightClickAt(icon);
    return printArea(waitForWindow(visiblePopupMenu), FindWindowA("__winex11_standalone_tray", nullptr));
  }
  if (pose == "about") {
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(kAboutCommand, 0), 0);
    return printArea(waitForWindow(aboutBox));
  }
  if (pose == "close") {
    if (visiblePopupMenu()) pressKey(VK_ESCAPE);
    if (aboutBox()) answerMessageBox("Pelkorin");
    return 0;
  }
  if (pose == "exit") {
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(kExitCommand, 0), 0);
    if (handle) {
      WaitForSingleObject(handle, 5000);
      CloseHandle(handle);
    }
    return 0;
  }
  return 2;
}
