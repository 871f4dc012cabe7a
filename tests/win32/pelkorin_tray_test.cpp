// The tray program run for real: Pelkorin.exe is started as a process, real UDP
// datagrams go to 127.0.0.1:2464 and the stand-in voice program records the command line
// of every start, the tray icon is read from the pixels Wine's system tray paints, the
// popup menu is opened with a real right click on that icon, and the About box is read
// off the screen. (Which texts are heartbeats, commands or ignored is tested natively.)
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/PelkorinProcess.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;
using Texts = std::vector<std::string>;

long long msSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class PelkorinTray : public ::testing::Test {
 protected:
  void SetUp() override {
    rogerWilco = sim.installRogerWilco();
    pelkorin = startListeningPelkorin();
    ASSERT_TRUE(pelkorin) << "Pelkorin did not come up listening";
    ASSERT_TRUE(waitForTray(TrayLook::NoContact)) << "tray shows " << toString(lookAtTray());
  }

  // Watches the tray until it shows `look`; the time that took, or -1.
  long long msUntil(TrayLook look, std::chrono::milliseconds within) {
    auto start = Clock::now();
    return waitForTray(look, within) ? msSince(start) : -1;
  }

  // Sends the datagram, then a marker command; the command lines the stand-in was started
  // with in between, with "<path> " taken off (a line without it is kept whole). Once
  // the marker is recorded, whatever the datagram started has been recorded too.
  Texts startsFor(const std::string& datagram) {
    const size_t before = sim.rogerWilcoStarts().size();
    const std::string prefix = rogerWilco + " ", marker = prefix + "/marker-" + std::to_string(++markers);
    EXPECT_TRUE(sendDatagram(datagram));
    Sleep(50);
    EXPECT_TRUE(sendDatagram(marker.substr(prefix.size())));
    EXPECT_TRUE(waitUntil([&] {
      Texts lines = sim.rogerWilcoStarts();
      return std::find(lines.begin() + before, lines.end(), marker) != lines.end();
    }, 10000ms)) << "the marker command was not started";
    Sleep(300);  // a start for the datagram may finish its log line after the marker's
    Texts lines = sim.rogerWilcoStarts(), texts;
    for (size_t i = before; i < lines.size(); ++i)
      if (lines[i] != marker)
        texts.push_back(lines[i].compare(0, prefix.size(), prefix) == 0 ? lines[i].substr(prefix.size()) : lines[i]);
    return texts;
  }

  // Opens the popup menu with a right click on the tray icon; it opens at the cursor.
  HWND openMenu() {
    auto icon = trayIconCentre();
    if (!icon) return nullptr;
    rightClickAt(*icon);
    HWND menu = waitForWindow(visiblePopupMenu, 3000ms);
    RECT where = {};
    if (menu && GetWindowRect(menu, &where)) {
      EXPECT_TRUE(std::abs(where.left - icon->x) <= 2 && std::abs(where.top - icon->y) <= 2) << "menu not at the cursor";
    }
    return menu;
  }

  SimInstallation sim;
  std::string rogerWilco;
  std::unique_ptr<PelkorinProcess> pelkorin;
  int markers = 0;
};

TEST_F(PelkorinTray, EachDatagramStartsWhatItCarries) {
  const std::string exactly512 = "/join1 " + std::string(505, 'w');
  const struct { const char* what; std::string datagram; Texts started; } cases[] = {
      {"leave command", "/leave", {"/leave"}},
      {"join command", "/join1 rw.example.net/eddf_twr", {"/join1 rw.example.net/eddf_twr"}},
      {"arbitrary text, started as it is", "any text: 42 % & ^ \"quoted\" 'x' <y>",
       {"any text: 42 % & ^ \"quoted\" 'x' <y>"}},
      {"heartbeat", "{SYNC}", {}},
      {"zero-length datagram", "", {}},
      {"text up to the first NUL", "/leave\0/join1 x"s, {"/leave"}},
      {"exactly 512 bytes, taken whole", exactly512, {exactly512}},
      {"513 bytes (fills the receive buffer), dropped", exactly512 + "x", {}},
      {"1000 bytes (too long for the receive buffer), dropped", "/join1 " + std::string(993, 'y'), {}},
  };
  for (const auto& c : cases) EXPECT_EQ(startsFor(c.datagram), c.started) << c.what;
}

TEST_F(PelkorinTray, ContactShowsOnTheTickAfterADatagramAndFallsBackTwoTicksAfterTheLast) {
  // One datagram: contact on the next tick, no contact on the tick after.
  auto sent = Clock::now();
  ASSERT_TRUE(sendDatagram("{SYNC}"));
  ASSERT_GE(msUntil(TrayLook::Contact, 3000ms), 0) << "no contact within a tick; tray shows " << toString(lookAtTray());
  EXPECT_LE(msSince(sent), 2500) << "contact must show on the first tick after the datagram";
  long long shown = msUntil(TrayLook::NoContact, 4000ms);
  EXPECT_GE(shown, 1600) << "contact did not stay for one tick";
  EXPECT_LE(shown, 2400) << "contact did not fall back at the next tick";

  // A heartbeat every 500 ms, as the module sends them: contact without flicker.
  auto start = Clock::now(), lastSent = start - 1s;
  int contactsShown = 0;
  TrayLook previous = lookAtTray();
  while (msSince(start) < 7000) {
    if (msSince(lastSent) >= 500) {
      ASSERT_TRUE(sendDatagram("{SYNC}"));
      lastSent = Clock::now();
    }
    TrayLook now = lookAtTray();
    if (now == TrayLook::Contact && previous != TrayLook::Contact) ++contactsShown;
    if (contactsShown > 0) {
      ASSERT_EQ(now, TrayLook::Contact) << "contact lost while heartbeats arrive";
    }
    previous = now;
    Sleep(25);
  }
  EXPECT_EQ(contactsShown, 1);
  ASSERT_GE(msUntil(TrayLook::NoContact, 6000ms), 0);
  EXPECT_GE(msSince(lastSent), 1900) << "fell back before the second tick after the last heartbeat";
  EXPECT_LE(msSince(lastSent), 4500) << "the second tick after the last heartbeat comes within 4 s";

  // Ignored datagrams are no contact.
  for (const std::string& d : {""s, "\0{SYNC}"s, std::string(600, 'q'), "{SYNC}" + std::string(507, ' ')})
    ASSERT_TRUE(sendDatagram(d));
  for (int i = 0; i < 45; ++i, Sleep(100)) ASSERT_EQ(lookAtTray(), TrayLook::NoContact);  // two ticks and more
}

TEST_F(PelkorinTray, HiddenWindowRightClickMenuAboutThenExit) {
  HWND window = pelkorin->window();
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Hallvoxen");
  EXPECT_FALSE(IsWindowVisible(window));

  ASSERT_NE(openMenu(), nullptr) << "no popup menu after a right click on the tray icon";
  pressKey('A');  // &About
  HWND box = waitForWindow([] { return FindWindowA("#32770", "Pelkorin"); });
  ASSERT_NE(box, nullptr) << "no About box";
  EXPECT_EQ(GetWindow(box, GW_OWNER), window) << "the About box belongs to the main window";
  EXPECT_EQ(answerMessageBox("Pelkorin"),
            "Pelkorin V1.0\r\n" + std::string(37, '_') + "\r\nRogerWilco remote control utility");
  EXPECT_TRUE(pelkorin->running());

  Sleep(500);
  ASSERT_NE(openMenu(), nullptr) << "no popup menu after the About box";
  pressKey('X');  // E&xit
  EXPECT_EQ(pelkorin->waitForExit(), 0u) << "Exit ends the program with exit code 0";
  EXPECT_TRUE(waitForTray(TrayLook::Absent, 3000ms)) << "the tray icon stayed";
}

}  // namespace
