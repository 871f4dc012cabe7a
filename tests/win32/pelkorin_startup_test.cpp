// Starting the tray program for real in the situations it must survive or refuse: the
// voice program not registered, a second copy, the port already taken, a registered
// voice program whose file is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/PelkorinProcess.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;

constexpr char kNotFound[] = "RogerWilco not found !\r\nPlease check for proper RogerWilco installation !";
constexpr char kBindError[] = "WinSock Error in bind() function !\r\nPlease check for proper TCP/IP installation !";

struct NotFoundCase {
  const char* what;
  void (*arrange)();
};

TEST(PelkorinStartup, VoiceProgramNotRegisteredShowsTheMessageAndEndsWithoutWindow) {
  const NotFoundCase cases[] = {
      {"no App Paths key", [] { deleteMachineKey(kAppPathKey); }},
      {"empty default value", [] { setMachineString(kAppPathKey, nullptr, ""); }},
      {"key without a default value",
       [] {
         deleteMachineKey(kAppPathKey);
         setMachineString(kAppPathKey, "Path", "C:\\Roger Wilco");
       }},
  };
  for (const NotFoundCase& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    PelkorinProcess pelkorin;
    ASSERT_TRUE(pelkorin.started());

    HWND box = nullptr;
    for (int i = 0; i < 500 && !(box = FindWindowA("#32770", kErrorCaption)); ++i) Sleep(20);
    ASSERT_NE(box, nullptr) << "no message box";
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    EXPECT_EQ(owner, pelkorin.id());
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the message box has no owner window";
    EXPECT_EQ(pelkorin.window(), nullptr) << "no window while the message shows";
    auto text = answerMessageBox(kErrorCaption);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, kNotFound);

    auto code = pelkorin.waitForExit(5000ms);
    ASSERT_TRUE(code) << "Pelkorin did not end after the message";
    EXPECT_EQ(*code, 0u);
    EXPECT_EQ(lookAtTray(), TrayLook::Absent);
  }
  deleteMachineKey(kAppPathKey);
}

TEST(PelkorinStartup, SecondCopyEndsAtOnceAndTheFirstGoesOn) {
  SimInstallation sim;
  std::string rogerWilco = sim.installRogerWilco();
  ASSERT_TRUE(waitUntilPortFree());
  PelkorinProcess first;
  ASSERT_NE(first.waitForWindow(), nullptr);
  ASSERT_TRUE(waitForTray(TrayLook::NoContact));

  PelkorinProcess second;
  ASSERT_TRUE(second.started());
  auto code = second.waitForExit(3000ms);
  ASSERT_TRUE(code) << "the second copy did not end at once";
  EXPECT_EQ(*code, 0u);
  if (messageBoxShowing(kErrorCaption)) ADD_FAILURE() << "a message shows: " << answerMessageBox(kErrorCaption).value_or("");

  EXPECT_TRUE(first.running());
  EXPECT_EQ(trayIconWindows().size(), 1u);
  ASSERT_TRUE(sendDatagram("/leave"));
  auto starts = sim.waitForRogerWilcoStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0], rogerWilco + " /leave");
}

TEST(PelkorinStartup, PortTakenShowsTheBindMessageAndRunsOnWithoutContact) {
  SimInstallation sim;
  sim.installRogerWilco();
  ASSERT_TRUE(waitUntilPortFree());
  HeldPort port;
  ASSERT_TRUE(port.bound());

  PelkorinProcess pelkorin;
  ASSERT_TRUE(pelkorin.started());
  auto text = answerMessageBox(kErrorCaption, 10000ms);
  ASSERT_TRUE(text) << "no message box";
  EXPECT_EQ(*text, kBindError);

  ASSERT_NE(pelkorin.waitForWindow(), nullptr);
  ASSERT_TRUE(waitForTray(TrayLook::NoContact));
  // Datagrams reach the port's holder, not Pelkorin: it starts nothing and shows no contact.
  ASSERT_TRUE(sendDatagram("/leave"));
  auto received = port.receive();
  ASSERT_TRUE(received);
  EXPECT_EQ(*received, "/leave");
  for (int i = 0; i < 45; ++i) {
    ASSERT_EQ(lookAtTray(), TrayLook::NoContact);
    Sleep(100);
  }
  EXPECT_TRUE(sim.rogerWilcoStarts().empty());

  EXPECT_TRUE(pelkorin.running());
  pelkorin.postCommand(kPelkorinExitCommand);
  auto code = pelkorin.waitForExit(5000ms);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0u);
}

TEST(PelkorinStartup, RegisteredFileMissingStillListens) {
  SimInstallation sim;
  setMachineString(kAppPathKey, nullptr, "C:\\No Such Folder\\roger.exe");
  ASSERT_TRUE(waitUntilPortFree());
  PelkorinProcess pelkorin;
  ASSERT_NE(pelkorin.waitForWindow(), nullptr) << "the file itself is not checked at start";
  Sleep(500);
  if (messageBoxShowing(kErrorCaption)) ADD_FAILURE() << "a message shows: " << answerMessageBox(kErrorCaption).value_or("");
  ASSERT_TRUE(waitForTray(TrayLook::NoContact));

  ASSERT_TRUE(sendDatagram("/leave"));  // the start fails silently; contact still counts
  EXPECT_TRUE(waitForTray(TrayLook::Contact, 3000ms));
  EXPECT_TRUE(pelkorin.running());
  EXPECT_FALSE(messageBoxShowing(kErrorCaption));
}

}  // namespace

// The voice program keeps running after Pelkorin started it, and it is started with
// inheritable handles. Pelkorin's socket must not be among them: otherwise the port
// stays taken after Exit, and Pelkorin started again cannot listen.
TEST(PelkorinStartup, RestartListensWhileTheVoiceProgramItStartedRuns) {
  SimInstallation sim;  // removes the App Paths key at the end
  TempFolder folder("lingering");
  std::string rogerWilco = folder.path() + "\\roger.exe";
  ASSERT_TRUE(CopyFileA(binPath("lingering_roger.exe").c_str(), rogerWilco.c_str(), FALSE));
  setMachineString(kAppPathKey, nullptr, rogerWilco);
  HANDLE stopLingering = CreateEventA(nullptr, TRUE, FALSE, "HvLingeringRogerStop");
  ASSERT_NE(stopLingering, nullptr);
  auto starts = [&] {
    std::string log = readFile(rogerWilco + ".log");
    return std::count(log.begin(), log.end(), '\n');
  };
  auto waitForStarts = [&](long n) {
    for (int i = 0; i < 250 && starts() < n; ++i) Sleep(20);
    return starts();
  };

  ASSERT_TRUE(waitUntilPortFree());
  {
    PelkorinProcess first;
    ASSERT_NE(first.waitForWindow(), nullptr);
    ASSERT_TRUE(sendDatagram("/join1 rw.example.net/eddf_twr"));
    ASSERT_EQ(waitForStarts(1), 1);
    first.postCommand(kPelkorinExitCommand);
    auto code = first.waitForExit(5000ms);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0u);
  }

  PelkorinProcess second;
  ASSERT_NE(second.waitForWindow(), nullptr);
  Sleep(1000);
  if (messageBoxShowing(kErrorCaption)) ADD_FAILURE() << "restart shows: " << answerMessageBox(kErrorCaption).value_or("");
  ASSERT_TRUE(sendDatagram("/leave"));
  EXPECT_EQ(waitForStarts(2), 2) << "the restarted Pelkorin does not listen";

  SetEvent(stopLingering);
  CloseHandle(stopLingering);
}
