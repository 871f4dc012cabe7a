// Command texts reaching the voice program for real: the stand-in program started from a
// folder whose path has a blank (its raw command line recorded), nothing at all when the
// program is missing, or one datagram to port 2464 in remote mode with nothing started
// locally.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/DatagramReceiver.h"
#include "tests/support/WinTestSupport.h"
#include "voice/win32/CommandDelivery.h"

namespace {

using namespace hvtest;

const char* const kTexts[] = {"/join1 vox.example.org/eddf_twr/EDDF_TWR", "/leave"};

class Delivery : public ::testing::Test {
 protected:
  void SetUp() override {
    state.rogerWilcoPath = sim.installRogerWilco();
    ASSERT_NE(state.rogerWilcoPath.find(' '), std::string::npos);
    state.remoteAddress = "127.0.0.1";
  }

  SimInstallation sim;
  hv::ModuleState state;
};

TEST_F(Delivery, LocalStartPassesThePathUnquotedAndTheTextAsArgumentOne) {
  std::vector<std::string> expected;
  for (const char* text : kTexts) {
    hv::deliverCommandText(state, text);
    expected.push_back(state.rogerWilcoPath + " " + text);
    // One start at a time, so the recorded order is the order of delivery.
    EXPECT_EQ(sim.waitForRogerWilcoStarts(expected.size()), expected) << text;
  }
}

TEST_F(Delivery, AMissingProgramStartsNothingAndReportsNothing) {
  state.rogerWilcoPath += ".missing";
  hv::deliverCommandText(state, kTexts[0]);
  Sleep(300);
  EXPECT_TRUE(sim.rogerWilcoStarts().empty());
  EXPECT_FALSE(messageBoxShowing(kErrorCaption));
}

TEST_F(Delivery, RemoteModeSendsTheTextAndStartsNothingHere) {
  DatagramReceiver receiver;
  ASSERT_TRUE(receiver.bound());
  state.remoteMode = 1;
  for (const char* text : kTexts) {
    hv::deliverCommandText(state, text);
    EXPECT_EQ(receiver.next(), text);
  }
  Sleep(300);
  EXPECT_TRUE(sim.rogerWilcoStarts().empty());
}

}  // namespace
