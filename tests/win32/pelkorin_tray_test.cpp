// The tray program's shell, run for real: Pelkorin.exe is started as a process, the
// tray icon is read from the pixels Wine's system tray paints, the popup menu is opened
// with a real right click on that icon, and the About box is read off the screen.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/PelkorinProcess.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;
using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class PelkorinTray : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.installRogerWilco();
    ASSERT_TRUE(waitUntilPortFree());
    pelkorin = std::make_unique<PelkorinProcess>();
    ASSERT_TRUE(pelkorin->started());
    window = pelkorin->waitForWindow();
    ASSERT_NE(window, nullptr) << "no window of class TrayMainWindow";
    Sleep(200);
    if (messageBoxShowing(kErrorCaption))
      FAIL() << "Pelkorin reports: " << answerMessageBox(kErrorCaption).value_or("");
    ASSERT_TRUE(waitForTray(TrayLook::NoContact)) << "tray shows " << toString(lookAtTray());
  }

  // Watches the tray until it shows `look`; the time that took, or -1.
  long long msUntil(TrayLook look, std::chrono::milliseconds within) {
    auto start = Clock::now();
    return waitForTray(look, within) ? msSince(start) : -1;
  }

  SimInstallation sim;
  std::unique_ptr<PelkorinProcess> pelkorin;
  HWND window = nullptr;
};

TEST_F(PelkorinTray, MainWindowIsHiddenWithItsClassAndTitle) {
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Hallvoxen");
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(trayIconWindows().size(), 1u);
}

TEST_F(PelkorinTray, NoDatagramsKeepNoContact) {
  auto start = Clock::now();
  while (msSince(start) < 4500) {  // at least two ticks
    ASSERT_EQ(lookAtTray(), TrayLook::NoContact) << "after " << msSince(start) << " ms";
    Sleep(50);
  }
}

TEST_F(PelkorinTray, OneDatagramShowsContactForOneTick) {
  auto sent = Clock::now();
  ASSERT_TRUE(sendDatagram("{SYNC}"));
  long long toContact = msUntil(TrayLook::Contact, 3000ms);
  ASSERT_GE(toContact, 0) << "no contact within a tick; tray shows " << toString(lookAtTray());
  EXPECT_LE(msSince(sent), 2500) << "contact must show on the first tick after the datagram";

  // The next tick, 2000 ms later, finds nothing new.
  long long shown = msUntil(TrayLook::NoContact, 4000ms);
  ASSERT_GE(shown, 0) << "contact did not fall back";
  EXPECT_GE(shown, 1600);
  EXPECT_LE(shown, 2400);
}

TEST_F(PelkorinTray, HeartbeatsKeepContactUntilTwoTicksAfterTheLast) {
  auto start = Clock::now();
  auto lastSent = start;
  bool contact = false;
  int ticksWithContact = 0;
  TrayLook previous = TrayLook::NoContact;
  while (msSince(start) < 7000) {  // a heartbeat every 500 ms, as the module sends them
    if (std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastSent).count() >= 500 ||
        lastSent == start) {
      ASSERT_TRUE(sendDatagram("{SYNC}"));
      lastSent = Clock::now();
    }
    TrayLook now = lookAtTray();
    if (now == TrayLook::Contact && previous != TrayLook::Contact) ++ticksWithContact;
    if (now == TrayLook::Contact) contact = true;
    if (contact) {
      ASSERT_EQ(now, TrayLook::Contact) << "contact lost while heartbeats arrive, after " << msSince(start);
    }
    previous = now;
    Sleep(25);
  }
  EXPECT_TRUE(contact);
  EXPECT_EQ(ticksWithContact, 1) << "the icon must not flicker";

  long long fallsBack = msUntil(TrayLook::NoContact, 6000ms);
  ASSERT_GE(fallsBack, 0);
  long long afterLast = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastSent).count();
  EXPECT_GE(afterLast, 1900) << "fell back before the second tick after the last heartbeat";
  EXPECT_LE(afterLast, 4500) << "the second tick after the last heartbeat comes within 4 s";
}

TEST_F(PelkorinTray, RightClickOpensTheMenuAtTheCursorAndExitEndsWithZero) {
  auto icon = trayIconCentre();
  ASSERT_TRUE(icon);
  rightClickAt(*icon);
  HWND menu = nullptr;
  for (int i = 0; i < 150 && !(menu = visiblePopupMenu()); ++i) Sleep(20);
  ASSERT_NE(menu, nullptr) << "no popup menu after a right click on the tray icon";
  RECT where = {};
  GetWindowRect(menu, &where);
  EXPECT_LE(std::abs(where.left - icon->x), 2);
  EXPECT_LE(std::abs(where.top - icon->y), 2);
  DWORD owner = 0;
  GetWindowThreadProcessId(menu, &owner);
  EXPECT_EQ(owner, pelkorin->id());

  pressKey('X');  // E&xit
  auto code = pelkorin->waitForExit(5000ms);
  ASSERT_TRUE(code) << "Exit did not end the program";
  EXPECT_EQ(*code, 0u);
  EXPECT_TRUE(waitForTray(TrayLook::Absent, 3000ms)) << "the tray icon stayed";
}

TEST_F(PelkorinTray, LeftClicksDoNothing) {
  auto icon = trayIconCentre();
  ASSERT_TRUE(icon);
  leftClickAt(*icon);
  Sleep(100);
  leftClickAt(*icon);  // with the first, a double click
  Sleep(1000);
  EXPECT_EQ(visiblePopupMenu(), nullptr);
  EXPECT_FALSE(messageBoxShowing("Pelkorin"));
  EXPECT_TRUE(pelkorin->running());
  EXPECT_EQ(lookAtTray(), TrayLook::NoContact);
}

TEST_F(PelkorinTray, AboutFromTheMenuShowsTheBoxAndTheProgramGoesOn) {
  auto icon = trayIconCentre();
  ASSERT_TRUE(icon);
  rightClickAt(*icon);
  HWND menu = nullptr;
  for (int i = 0; i < 150 && !(menu = visiblePopupMenu()); ++i) Sleep(20);
  ASSERT_NE(menu, nullptr);
  pressKey('A');  // &About

  HWND box = nullptr;
  for (int i = 0; i < 250 && !(box = FindWindowA("#32770", "Pelkorin")); ++i) Sleep(20);
  ASSERT_NE(box, nullptr) << "no About box";
  EXPECT_EQ(GetWindow(box, GW_OWNER), window) << "the About box belongs to the main window";
  auto text = answerMessageBox("Pelkorin");
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "Pelkorin V1.0\r\n" + std::string(37, '_') + "\r\nRogerWilco remote control utility");

  // The program goes on: it still shows contact when a datagram comes.
  EXPECT_TRUE(pelkorin->running());
  ASSERT_TRUE(sendDatagram("{SYNC}"));
  EXPECT_TRUE(waitForTray(TrayLook::Contact, 3000ms));
}

TEST_F(PelkorinTray, ExitCommandEndsWithZeroAndRemovesTheIcon) {
  pelkorin->postCommand(40007);  // not a menu command: nothing happens
  Sleep(500);
  ASSERT_TRUE(pelkorin->running());

  pelkorin->postCommand(kPelkorinExitCommand);
  auto code = pelkorin->waitForExit(5000ms);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0u);
  EXPECT_TRUE(waitForTray(TrayLook::Absent, 3000ms));
  EXPECT_EQ(FindWindowA("TrayMainWindow", nullptr), nullptr);
}

// Menu 110 as built into the program. (Icons 108 and 111 are checked on the screen above.)
class PelkorinResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module = LoadLibraryExA(binPath("Pelkorin.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
  HMODULE module = nullptr;
};

TEST_F(PelkorinResources, TrayMenuHoldsAboutSeparatorExit) {
  HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(110));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 1);
  char text[64] = {};
  GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "Hallvoxen");
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  ASSERT_EQ(GetMenuItemCount(popup), 3);

  struct Item {
    UINT id;
    const char* text;
  };
  const Item expected[] = {{40005, "&About"}, {0, ""}, {40006, "E&xit"}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    MENUITEMINFOA item = {};
    char itemText[64] = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    item.dwTypeData = itemText;
    item.cch = sizeof itemText;
    ASSERT_TRUE(GetMenuItemInfoA(popup, i, TRUE, &item));
    EXPECT_EQ(item.wID, expected[i].id);
    EXPECT_STREQ(itemText, expected[i].text);
    EXPECT_EQ((item.fType & MFT_SEPARATOR) != 0, expected[i].id == 0);
  }
  DestroyMenu(menu);
}

}  // namespace
