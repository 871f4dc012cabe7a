// What the system tray shows, read from the pixels Wine's tray paints (a real
// observation of Pelkorin's icon, not a value the program reports about itself), and
// real clicks and keys through the window system.
#pragma once

#include <windows.h>

namespace hvtest {

// No icon, Pelkorin's contact icon (green display), its no-contact icon (the display
// struck through in red), or something else (also: more than one icon).
enum class TrayLook { Absent, Contact, NoContact, Unknown };
const char* toString(TrayLook look);
TrayLook lookAtTray();

// The centre of the one tray icon on screen, if there is exactly one.
bool trayIconCentre(POINT& centre);
// The popup menu window ("#32768") on screen now, if any.
HWND visiblePopupMenu();

void rightClickAt(POINT where);
void pressKey(WORD virtualKey);

}  // namespace hvtest
