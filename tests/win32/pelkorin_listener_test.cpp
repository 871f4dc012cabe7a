// The listener of the tray program, run for real: Pelkorin.exe is started as a process,
// real UDP datagrams go to 127.0.0.1:2464, and the stand-in voice program records the
// command line of every start. After each datagram a marker command follows; once the
// marker has been recorded, everything the datagram started has been recorded too.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/PelkorinProcess.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;
using namespace std::string_literals;

class PelkorinListener : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim = new SimInstallation();
    rogerWilco = sim->installRogerWilco();
    ASSERT_TRUE(waitUntilPortFree());
    pelkorin = new PelkorinProcess();
    ASSERT_TRUE(pelkorin->started());
    ASSERT_NE(pelkorin->waitForWindow(), nullptr);
    Sleep(200);
    if (messageBoxShowing(kErrorCaption))
      FAIL() << "Pelkorin reports: " << answerMessageBox(kErrorCaption).value_or("");
  }
  static void TearDownTestSuite() {
    delete pelkorin;
    delete sim;
  }

  void SetUp() override { ASSERT_TRUE(pelkorin->running()); }

  // Sends the datagram, then a marker command, and returns the command texts the
  // stand-in was started with in between (the text after "<path> ").
  std::vector<std::string> startsFor(const std::string& datagram) {
    size_t before = sim->rogerWilcoStarts().size();
    std::string marker = "/marker-" + std::to_string(++markers);
    EXPECT_TRUE(sendDatagram(datagram));
    Sleep(50);
    EXPECT_TRUE(sendDatagram(marker));

    auto seesMarker = [&](const std::vector<std::string>& lines) {
      return std::find(lines.begin(), lines.end(), rogerWilco + " " + marker) != lines.end();
    };
    auto deadline = GetTickCount() + 10000;
    std::vector<std::string> lines = sim->rogerWilcoStarts();
    while (!seesMarker(lines) && GetTickCount() < deadline) {
      Sleep(20);
      lines = sim->rogerWilcoStarts();
    }
    EXPECT_TRUE(seesMarker(lines)) << "the marker command was not started";
    Sleep(300);  // a start for the datagram may finish its log line after the marker's
    lines = sim->rogerWilcoStarts();

    std::vector<std::string> texts;
    for (size_t i = before; i < lines.size(); ++i) {
      if (lines[i] == rogerWilco + " " + marker) continue;
      const std::string prefix = rogerWilco + " ";
      if (lines[i].compare(0, prefix.size(), prefix) == 0)
        texts.push_back(lines[i].substr(prefix.size()));
      else
        texts.push_back("<not started with the path and one blank> " + lines[i]);
    }
    return texts;
  }

  static SimInstallation* sim;
  static std::string rogerWilco;
  static PelkorinProcess* pelkorin;
  static int markers;
};

SimInstallation* PelkorinListener::sim = nullptr;
std::string PelkorinListener::rogerWilco;
PelkorinProcess* PelkorinListener::pelkorin = nullptr;
int PelkorinListener::markers = 0;

struct Case {
  const char* what;
  std::string datagram;
  std::vector<std::string> started;
};

TEST_F(PelkorinListener, EachDatagramStartsWhatItCarries) {
  const std::string exactly512 = "/join1 " + std::string(505, 'w');
  const Case cases[] = {
      {"leave command", "/leave", {"/leave"}},
      {"join command", "/join1 rw.example.net/eddf_twr", {"/join1 rw.example.net/eddf_twr"}},
      {"arbitrary text, started as it is", "any text: 42 % & ^ \"quoted\" 'x' <y>",
       {"any text: 42 % & ^ \"quoted\" 'x' <y>"}},
      {"heartbeat", "{SYNC}", {}},
      {"heartbeat in lower case is a command", "{sync}", {"{sync}"}},
      {"heartbeat with one more byte is a command", "{SYNC} ", {"{SYNC} "}},
      {"heartbeat followed by a NUL", "{SYNC}\0/leave"s, {}},
      {"zero-length datagram", "", {}},
      {"NUL first", "\0/leave"s, {}},
      {"text up to the first NUL", "/leave\0/join1 x"s, {"/leave"}},
      {"exactly 512 bytes, taken whole", exactly512, {exactly512}},
      {"513 bytes, dropped", "/join1 " + std::string(506, 'x'), {}},
      {"1000 bytes, dropped", "/join1 " + std::string(993, 'y'), {}},
      {"a long datagram does not spill into the next", std::string(700, 'z'), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(startsFor(c.datagram), c.started);
  }
}

TEST_F(PelkorinListener, EveryCommandStartsANewProcess) {
  EXPECT_EQ(startsFor("/leave"), std::vector<std::string>{"/leave"});
  EXPECT_EQ(startsFor("/leave"), std::vector<std::string>{"/leave"});
}

TEST_F(PelkorinListener, CommandsCountAsContact) {
  ASSERT_TRUE(waitForTray(TrayLook::NoContact, 6000ms));
  ASSERT_TRUE(sendDatagram("/leave"));
  EXPECT_TRUE(waitForTray(TrayLook::Contact, 3000ms));
  EXPECT_TRUE(waitForTray(TrayLook::NoContact, 3000ms));
}

TEST_F(PelkorinListener, IgnoredDatagramsAreNoContact) {
  ASSERT_TRUE(waitForTray(TrayLook::NoContact, 6000ms));
  Sleep(2100);  // past one more tick, so no earlier datagram is still counted
  for (const std::string& d : {""s, "\0{SYNC}"s, std::string(600, 'q'), "{SYNC}" + std::string(507, ' ')})
    ASSERT_TRUE(sendDatagram(d));
  for (int i = 0; i < 50; ++i) {  // two ticks and more
    ASSERT_EQ(lookAtTray(), TrayLook::NoContact);
    Sleep(100);
  }
}

}  // namespace
