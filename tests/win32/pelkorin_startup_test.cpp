// Starting the tray program for real in the situations it must survive or refuse: the
// voice program not registered, a second copy, the port already taken, a registered
// voice program whose file is missing, a restart while the voice program it started runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/DatagramReceiver.h"
#include "tests/support/PelkorinProcess.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;

TEST(PelkorinStartup, VoiceProgramNotRegisteredShowsTheMessageAndEndsWithoutWindow) {
  for (bool emptyValue : {false, true}) {
    SCOPED_TRACE(emptyValue ? "empty default value" : "no App Paths key");
    deleteMachineKey(kAppPathKey);
    if (emptyValue) setMachineString(kAppPathKey, nullptr, "");
    PelkorinProcess pelkorin;
    HWND box = waitForWindow([] { return FindWindowA("#32770", kErrorCaption); }, 10000ms);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the message box has no owner window";
    EXPECT_EQ(pelkorin.window(), nullptr) << "no window while the message shows";
    EXPECT_EQ(answerMessageBox(kErrorCaption),
              "RogerWilco not found !\r\nPlease check for proper RogerWilco installation !");
    EXPECT_EQ(pelkorin.waitForExit(), 0u);
    EXPECT_EQ(lookAtTray(), TrayLook::Absent);
  }
  deleteMachineKey(kAppPathKey);
}

TEST(PelkorinStartup, SecondCopyEndsAtOnceAndTheFirstGoesOn) {
  SimInstallation sim;
  std::string rogerWilco = sim.installRogerWilco();
  auto first = startListeningPelkorin();
  ASSERT_TRUE(first);
  ASSERT_TRUE(waitForTray(TrayLook::NoContact));

  PelkorinProcess second;
  ASSERT_TRUE(second.started());
  EXPECT_EQ(second.waitForExit(3000ms), 0u) << "the second copy ends at once with exit code 0";
  EXPECT_FALSE(messageBoxShowing(kErrorCaption)) << answerMessageBox(kErrorCaption, 0ms).value_or("");
  EXPECT_TRUE(first->running());
  EXPECT_TRUE(trayIconCentre().has_value()) << "exactly one tray icon";
  ASSERT_TRUE(sendDatagram("/leave"));
  EXPECT_EQ(sim.waitForRogerWilcoStarts(1), std::vector<std::string>{rogerWilco + " /leave"});
}

TEST(PelkorinStartup, PortTakenShowsTheBindMessageAndRunsOnWithoutContact) {
  SimInstallation sim;
  sim.installRogerWilco();
  DatagramReceiver port("0.0.0.0");
  ASSERT_TRUE(port.bound());

  PelkorinProcess pelkorin;
  EXPECT_EQ(answerMessageBox(kErrorCaption, 10000ms),
            "WinSock Error in bind() function !\r\nPlease check for proper TCP/IP installation !");
  ASSERT_NE(pelkorin.waitForWindow(), nullptr);
  ASSERT_TRUE(waitForTray(TrayLook::NoContact));
  // Datagrams reach the port's holder, not Pelkorin: it starts nothing and shows no contact.
  ASSERT_TRUE(sendDatagram("/leave"));
  EXPECT_EQ(port.next(), "/leave");
  for (int i = 0; i < 45; ++i, Sleep(100)) ASSERT_EQ(lookAtTray(), TrayLook::NoContact);
  EXPECT_TRUE(sim.rogerWilcoStarts().empty());

  EXPECT_TRUE(pelkorin.running());
  pelkorin.postCommand(kPelkorinExitCommand);
  EXPECT_EQ(pelkorin.waitForExit(), 0u);
}

TEST(PelkorinStartup, RegisteredFileMissingStillListensAndCountsContact) {
  SimInstallation sim;
  setMachineString(kAppPathKey, nullptr, "C:\\No Such Folder\\roger.exe");
  auto pelkorin = startListeningPelkorin();
  ASSERT_TRUE(pelkorin) << "the file itself is not checked at start";
  Sleep(300);
  EXPECT_FALSE(messageBoxShowing(kErrorCaption));
  ASSERT_TRUE(waitForTray(TrayLook::NoContact));

  ASSERT_TRUE(sendDatagram("/leave"));  // the start fails silently; a command counts as contact
  EXPECT_TRUE(waitForTray(TrayLook::Contact, 3000ms));
  EXPECT_TRUE(pelkorin->running());
  EXPECT_FALSE(messageBoxShowing(kErrorCaption));
}

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
  auto starts = [&](long n) {  // waits for n starts; the number seen
    long seen = 0;
    waitUntil([&] {
      std::string log = readFile(rogerWilco + ".log");
      return (seen = std::count(log.begin(), log.end(), '\n')) >= n;
    });
    return seen;
  };

  {
    auto first = startListeningPelkorin();
    ASSERT_TRUE(first);
    ASSERT_TRUE(sendDatagram("/join1 rw.example.net/eddf_twr"));
    ASSERT_EQ(starts(1), 1);
    first->postCommand(kPelkorinExitCommand);
    EXPECT_EQ(first->waitForExit(), 0u);
  }
  auto second = startListeningPelkorin();
  ASSERT_TRUE(second) << "the port stays taken after Exit";
  ASSERT_TRUE(sendDatagram("/leave"));
  EXPECT_EQ(starts(2), 2) << "the restarted Pelkorin does not listen";

  SetEvent(stopLingering);
  CloseHandle(stopLingering);
}

}  // namespace
