// The settings dialog of the loaded module, driven the way a pilot drives it: Hallvoxen.dll
// started by a simulator host, the dialog opened from the substitute simulator's menu
// item, its controls clicked and read with window messages from the test's thread.
// VATSIM is served from the bundled sample data file; IVAO's status file is always cut
// short, so that network fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/ModuleThreadsProbe.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

constexpr int kList = 1004, kActive = 1000, kVatsim = 1001, kIvao = 1002, kRangeCheck = 1003;
constexpr std::uint32_t kOff = 0, kNoStation = 1;
// The aircraft stands where Frankfurt Tower, Arrival North and ATIS sit.
constexpr double kLatitude = 50.03333, kLongitude = 8.57056;
constexpr std::uint16_t kStartCom1 = 12280;
// The feed threads, the worker loop and the log's writer.
constexpr int kRunningThreads = 4;

using hvtest::waitUntil;

BOOL CALLBACK findDialog(HWND window, LPARAM found) {
  char cls[32] = {}, caption[32] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  GetClassNameA(window, cls, sizeof cls);
  GetWindowTextA(window, caption, sizeof caption);
  if (process != GetCurrentProcessId() || std::string(cls) != "#32770" || std::string(caption) != "Hallvoxen" ||
      !IsWindowVisible(window))
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND dialogOnScreen() {
  HWND found = nullptr;
  EnumWindows(&findDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND control(HWND dialog, int id) { return GetDlgItem(dialog, id); }
bool isChecked(HWND dialog, int id) { return SendMessageA(control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool isEnabled(HWND dialog, int id) { return IsWindowEnabled(control(dialog, id)) != FALSE; }
void click(HWND dialog, int id) { SendMessageA(control(dialog, id), BM_CLICK, 0, 0); }

HWND focusOf(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
  return info.hwndFocus;
}

Lines listLines(HWND dialog) {
  Lines lines;
  const LRESULT count = SendMessageA(control(dialog, kList), LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[256] = {};
    SendMessageA(control(dialog, kList), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    lines.push_back(text);
  }
  return lines;
}

// A double-click with the mouse on the line, as the list box itself reports it.
void doubleClick(HWND dialog, int line) {
  HWND list = control(dialog, kList);
  RECT box{};
  SendMessageA(list, LB_GETITEMRECT, line, reinterpret_cast<LPARAM>(&box));
  const LPARAM at = MAKELPARAM(box.left + 4, (box.top + box.bottom) / 2);
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    SendMessageA(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
}

void pressS(HWND dialog, int line) {
  SendMessageA(control(dialog, kList), LB_SETCURSEL, line, 0);  // the caret follows the selection
  SendMessageA(control(dialog, kList), WM_KEYDOWN, 'S', 0x001F0001);
}

// The module started by a simulator host, with its simulator window, a RogerWilco and
// the two networks' status servers.
struct Rig {
  hvtest::SimInstallation install;
  hvtest::LoopbackHttpServer http;
  hvtest::ModuleHost host;
  hvtest::SubstituteSimulator sim;

  Rig() {
    install.installRogerWilco();
    http.addFile("/vatsim/status.txt", "url0=" + http.url("/vatsim/data.txt") + "\r\n");
    http.addFile("/vatsim/data.txt",
                 hvtest::readFile(hvtest::windowsPath(HV_SOURCE_DIR "/samples/networks/vatsim-data.txt")));
    http.addFile("/ivao/status.txt", "; nothing yet\r\n");
    http.setBehaviour("/ivao/status.txt", hvtest::HttpBehaviour::Truncate);
    install.writeIni("[GENERAL]\r\nServer=VATSIM\r\nRangeCheck=ON\r\n[NETWORK]\r\nVatsimStatusUrl=" +
                     http.url("/vatsim/status.txt") + "\r\nIvaoStatusUrl=" + http.url("/ivao/status.txt") + "\r\n");
    sim.setCom1(kStartCom1);
    sim.setPosition(kLatitude, kLongitude);
  }
  void start() {
    ASSERT_TRUE(sim.createOn(host));
    ASSERT_TRUE(host.load(hvtest::binPath("Hallvoxen.dll")));
    ASSERT_TRUE(host.initialise().wait(10s));
    ASSERT_TRUE(waitUntil([&] { return !sim.menuItemText().empty(); }));
  }
  HWND open() {
    EXPECT_TRUE(sim.pickMenuItem());
    HWND dialog = nullptr;
    EXPECT_TRUE(waitUntil([&] { return (dialog = dialogOnScreen()) != nullptr; }));
    return dialog;
  }
  bool closed(HWND dialog) {
    return waitUntil([&] { return !IsWindowVisible(dialog); }, 1000ms) &&
           waitUntil([&] { return hvtest::threadsStartedBy(host.module()) == kRunningThreads; });
  }
  std::uint32_t status() {
    unsigned char record[192];
    return host.exported<std::uint32_t __stdcall(void*)>("HALLVOXEN_Get_Status")(record);
  }
  std::uint32_t server() { return host.exported<std::uint32_t __stdcall()>("HALLVOXEN_Get_Server")(); }
  std::string ini(const char* key) {
    char value[64] = {};
    GetPrivateProfileStringA("GENERAL", key, "", value, sizeof value, install.iniPath().c_str());
    return value;
  }
};

TEST(SettingsDialog, ControlOffThenCancelAndOkWithTheChoicesTheyKeepOrSave) {
  Rig rig;
  ASSERT_NO_FATAL_FAILURE(rig.start());
  const std::string iniBefore = hvtest::readFile(rig.install.iniPath());

  HWND dialog = rig.open();
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(isChecked(dialog, kActive));
  EXPECT_TRUE(isChecked(dialog, kVatsim));
  EXPECT_FALSE(isChecked(dialog, kIvao));
  EXPECT_TRUE(isChecked(dialog, kRangeCheck));
  for (int id : {kVatsim, kIvao, kRangeCheck, kList}) EXPECT_FALSE(isEnabled(dialog, id)) << id;
  EXPECT_TRUE(isEnabled(dialog, kActive));
  EXPECT_EQ(focusOf(dialog), control(dialog, kActive));
  EXPECT_EQ(listLines(dialog), Lines{});
  const HFONT font = reinterpret_cast<HFONT>(SendMessageA(control(dialog, kList), WM_GETFONT, 0, 0));
  LOGFONTA made = {};
  ASSERT_TRUE(font && GetObjectA(font, sizeof made, &made));
  EXPECT_STREQ(made.lfFaceName, "FIXEDSYS");
  EXPECT_EQ(made.lfPitchAndFamily, FIXED_PITCH);

  // Control has been off since the load, so neither network has been asked yet.
  click(dialog, kActive);
  for (int id : {kVatsim, kIvao, kRangeCheck, kList}) EXPECT_TRUE(isEnabled(dialog, id)) << id;
  EXPECT_EQ(listLines(dialog), (Lines{"Server VATSIM", "not yet connected."}));
  EXPECT_EQ(focusOf(dialog), control(dialog, kActive));
  click(dialog, kIvao);
  EXPECT_FALSE(isChecked(dialog, kVatsim)) << "the radio buttons are one group";
  EXPECT_EQ(listLines(dialog), (Lines{"Server IVAO", "not yet connected."}));
  doubleClick(dialog, 1);
  pressS(dialog, 1);
  Sleep(200);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "text lines pick nothing";
  click(dialog, kRangeCheck);

  click(dialog, IDCANCEL);
  ASSERT_TRUE(rig.closed(dialog));
  EXPECT_EQ(rig.status(), kOff);
  EXPECT_EQ(rig.server(), 0u);
  EXPECT_EQ(hvtest::readFile(rig.install.iniPath()), iniBefore) << "Cancel saves nothing";
  EXPECT_EQ(rig.sim.com1(), kStartCom1);

  // Reopened: the same choices as before Cancel, the same font. OK with control left off
  // still selects and saves the network and the range option.
  dialog = rig.open();
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(isChecked(dialog, kActive));
  EXPECT_TRUE(isChecked(dialog, kVatsim));
  EXPECT_TRUE(isChecked(dialog, kRangeCheck));
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(control(dialog, kList), WM_GETFONT, 0, 0)), font)
      << "the font is made once";
  click(dialog, kActive);
  click(dialog, kIvao);
  click(dialog, kRangeCheck);
  click(dialog, kActive);
  EXPECT_EQ(listLines(dialog), Lines{}) << "emptied when control is switched off";
  EXPECT_FALSE(isEnabled(dialog, kList));
  EXPECT_EQ(focusOf(dialog), control(dialog, kActive));
  click(dialog, IDOK);
  ASSERT_TRUE(rig.closed(dialog));
  EXPECT_EQ(rig.status(), kOff);
  EXPECT_EQ(rig.server(), 1u);
  EXPECT_EQ(rig.ini("Server"), "IVAO");
  EXPECT_EQ(rig.ini("RangeCheck"), "OFF");
}

TEST(SettingsDialog, ListsTheLoadedNetworkNearestFirstAndPicksAStation) {
  Rig rig;
  ASSERT_NO_FATAL_FAILURE(rig.start());
  rig.host.exported<std::uint32_t __stdcall(std::uint32_t)>("HALLVOXEN_Set_Mode")(1);
  ASSERT_TRUE(waitUntil([&] { return rig.status() == kNoStation; }, 5000ms));
  // IVAO's retry, 5 s after its first pass: that pass has ended and stored its failure.
  ASSERT_TRUE(rig.http.waitForRequests("/ivao/status.txt", 2, 10000ms));

  // Tower, Arrival North and ATIS are 0 away (ATIS's range of 0 is not exceeded by 0),
  // Delivery 0.62, Ground 0.89, Langen 4.98 and the two Vienna stations 385.87; the sample
  // file's stations without a voice channel are not listed.
  const Lines vatsim = {
      "  EDDF_TWR  119.90      0nm ",        "EDDF_N_APP  120.80      0nm ",
      " EDDF_ATIS  118.02      0nm ",        "  EDDF_DEL  121.90      1nm ",
      "  EDDF_GND  121.80      1nm ",        "  EDGG_CTR  124.72      5nm ",
      "  LOWW_DEL  122.12    386nm N/R",     "  LOWW_TWR  119.40    386nm N/R",
  };
  HWND dialog = rig.open();
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(isChecked(dialog, kActive));
  EXPECT_TRUE(isChecked(dialog, kVatsim));
  EXPECT_EQ(listLines(dialog), vatsim);
  EXPECT_EQ(SendMessageA(control(dialog, kList), LB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(focusOf(dialog), control(dialog, kList));

  click(dialog, kIvao);
  EXPECT_EQ(listLines(dialog), (Lines{"Failed to access", "Server IVAO:",
                                      "Download incomplete: 15 of 1015 bytes received"}));
  EXPECT_EQ(focusOf(dialog), control(dialog, kActive));
  doubleClick(dialog, 2);
  pressS(dialog, 0);
  Sleep(200);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "the failure lines pick nothing";
  EXPECT_EQ(rig.sim.com1(), kStartCom1);
  click(dialog, kVatsim);
  EXPECT_EQ(listLines(dialog), vatsim);
  click(dialog, IDCANCEL);
  ASSERT_TRUE(rig.closed(dialog));

  // A pick tunes COM1 and does all of OK; the worker then joins the station.
  const struct {
    const char* name;
    bool byKey;
    int line;
    std::uint16_t com1;
    const char* rangeCheck;  // the range option is switched before the pick
    const char* join;
  } picks[] = {
      {"double-click", false, 3, 12190, "OFF", "/join1 VOICE1.VACC-EXAMPLE.NET/EDDF_DEL"},
      {"S key", true, 0, 11990, "ON", "/join1 RW.ATCVOICE.EXAMPLE/EDDF_TWR"},
  };
  std::size_t joins = 0;
  for (const auto& p : picks) {
    SCOPED_TRACE(p.name);
    dialog = rig.open();
    ASSERT_TRUE(dialog);
    click(dialog, kRangeCheck);
    p.byKey ? pressS(dialog, p.line) : doubleClick(dialog, p.line);
    EXPECT_TRUE(rig.closed(dialog));
    EXPECT_EQ(rig.sim.com1(), p.com1);
    EXPECT_EQ(rig.ini("Server"), "VATSIM");
    EXPECT_EQ(rig.ini("RangeCheck"), p.rangeCheck);
    EXPECT_EQ(rig.server(), 0u);
    const auto starts = rig.install.waitForRogerWilcoStarts(++joins);
    ASSERT_EQ(starts.size(), joins);
    EXPECT_NE(starts.back().find(p.join), std::string::npos) << starts.back();
  }

  // Other keys keep their meaning in the list: the arrow moves the selection, nothing closes.
  dialog = rig.open();
  ASSERT_TRUE(dialog);
  SendMessageA(control(dialog, kList), LB_SETCURSEL, 2, 0);
  SendMessageA(control(dialog, kList), WM_KEYDOWN, VK_DOWN, 0x01500001);
  EXPECT_EQ(SendMessageA(control(dialog, kList), LB_GETCURSEL, 0, 0), 3);
  Sleep(200);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(rig.sim.com1(), 11990);

  // OK with ACTIVE unticked switches control off.
  click(dialog, kActive);
  click(dialog, IDOK);
  EXPECT_TRUE(rig.closed(dialog));
  EXPECT_EQ(rig.status(), kOff);
  EXPECT_EQ(rig.ini("Server"), "VATSIM");
}

TEST(SettingsDialog, UnloadEndsTheDialogQuickly) {
  const struct {
    const char* name;
    bool waitForDialog;
  } cases[] = {{"dialog on screen", true}, {"dialog just asked for", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    ASSERT_NO_FATAL_FAILURE(rig.start());
    const std::string iniBefore = hvtest::readFile(rig.install.iniPath());
    if (c.waitForDialog) {
      // Every choice changed: unload ends the dialog as Cancel would, saving nothing.
      HWND dialog = rig.open();
      ASSERT_TRUE(dialog);
      for (int id : {kActive, kIvao, kRangeCheck}) click(dialog, id);
    } else {
      ASSERT_TRUE(rig.sim.pickMenuItem());
      ASSERT_TRUE(waitUntil([&] { return hvtest::threadsStartedBy(rig.host.module()) == kRunningThreads + 1; }));
    }
    std::chrono::milliseconds took{-1};
    int threadsAfter = -1;
    rig.host.run([&] {
      took = rig.host.deinitialise();
      threadsAfter = hvtest::threadsStartedBy(rig.host.module());
    });
    EXPECT_LT(took, 200ms);
    EXPECT_EQ(threadsAfter, 0);
    Sleep(300);
    EXPECT_EQ(dialogOnScreen(), nullptr);
    EXPECT_EQ(hvtest::readFile(rig.install.iniPath()), iniBefore);
  }
}

}  // namespace
