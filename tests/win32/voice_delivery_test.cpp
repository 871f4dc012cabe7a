// Command texts reaching the voice program for real: the stand-in program started from a
// folder whose path has a blank (its raw command line recorded), or one datagram to port
// 2464 in remote mode with nothing started locally. Station selection drives the same
// delivery the module installs at start-up.
#include <gtest/gtest.h>


#include <cstring>
#include <string>
#include <vector>

#include "module/win32/Lifecycle.h"
#include "tests/support/DatagramReceiver.h"
#include "tests/support/WinTestSupport.h"
#include "voice/portable/StationSelection.h"
#include "voice/portable/VoiceCommands.h"
#include "voice/win32/CommandDelivery.h"

namespace {

using namespace hvtest;
using Lines = std::vector<std::string>;

hv::AtcStation station(std::uint16_t frequency, const char* callsign, const char* voiceChannel, double lat,
                       double lon, std::int32_t range) {
  hv::AtcStation s;
  std::memset(&s, 0, sizeof s);
  s.frequency = frequency;
  std::strncpy(s.callsign, callsign, sizeof s.callsign - 1);
  std::strncpy(s.voiceChannel, voiceChannel, sizeof s.voiceChannel - 1);
  s.latitude = lat;
  s.longitude = lon;
  s.range = range;
  return s;
}

hv::SimReading reading(std::uint16_t frequency, double lat, double lon) {
  hv::SimReading r;
  r.frequency = frequency;
  r.latitude = lat;
  r.longitude = lon;
  return r;
}

using UdpReceiver = hvtest::DatagramReceiver;

// The module's own state of this process, set up as start-up leaves it in local mode,
// with the stand-in voice program installed in "...\Roger Wilco\roger.exe".
class Delivery : public ::testing::Test {
 protected:
  void SetUp() override {
    rogerWilco = sim.installRogerWilco();
    ASSERT_NE(rogerWilco.find(' '), std::string::npos);
    hv::ModuleState& state = hv::moduleState();
    state.rogerWilcoPath = rogerWilco;
    state.remoteMode = 0;
    state.remoteAddress = "127.0.0.1";
    state.network = hv::Vatsim;
    state.rangeCheck = 1;
    state.active = 1;
    state.status = hv::Waiting;
    state.joined = 0;
    state.selectedStation = nullptr;
    state.deliverCommand = &hv::deliverVoiceCommand;
  }
  void TearDown() override {
    hv::ModuleState& state = hv::moduleState();
    state.currentTable.records = nullptr;
    state.currentTable.count = 0;
    state.currentTable.loaded = 0;
    state.selectedStation = nullptr;
  }
  void useTable(const std::vector<hv::AtcStation>& stations) {
    hv::ModuleState& state = hv::moduleState();
    state.currentTable.records = stations.data();
    state.currentTable.count = static_cast<std::int32_t>(stations.size());
    state.currentTable.loaded = 1;
  }

  SimInstallation sim;
  std::string rogerWilco;
};

TEST_F(Delivery, LocalStartPassesThePathUnquotedAndTheTextAsArgumentOne) {
  const std::string texts[] = {
      "/join1 rw.example.org/eddf_twr",
      "/join1 vox.example.org/eddf_twr/EDDF_TWR",
      "/leave",
  };
  Lines expected;
  for (const std::string& text : texts) {
    hv::deliverVoiceCommand(text.c_str());
    expected.push_back(rogerWilco + " " + text);
    // One start at a time, so the recorded order is the order of delivery.
    EXPECT_EQ(sim.waitForRogerWilcoStarts(expected.size()), expected) << text;
  }
}

TEST_F(Delivery, AMissingProgramStartsNothingAndSelectionGoesOn) {
  std::vector<hv::AtcStation> stations = {station(11810, "EDDF_TWR", "rw.example.org/eddf_twr", 50.03, 8.57, 30)};
  useTable(stations);
  hv::moduleState().rogerWilcoPath = rogerWilco + ".missing";
  hv::UpdateVoiceChannel(hv::moduleState(), reading(11810, 50.03, 8.57));
  EXPECT_EQ(hv::moduleState().status.load(), hv::Joined);
  EXPECT_EQ(hv::moduleState().joined.load(), 1u);
  Sleep(300);
  EXPECT_TRUE(sim.rogerWilcoStarts().empty());
}

TEST_F(Delivery, RemoteModeSendsTheSameTextAndStartsNothingHere) {
  UdpReceiver receiver;
  ASSERT_TRUE(receiver.bound());
  hv::ModuleState& state = hv::moduleState();
  state.remoteMode = 1;
  state.network = hv::Ivao;
  std::vector<hv::AtcStation> stations = {station(11810, "EDDF_TWR", "vox.example.org/eddf_twr", 50.03, 8.57, 30)};
  useTable(stations);

  hv::UpdateVoiceChannel(state, reading(11810, 50.03, 8.57));
  EXPECT_EQ(receiver.next(), "/join1 vox.example.org/eddf_twr/EDDF_TWR");
  hv::UpdateVoiceChannel(state, reading(12000, 50.03, 8.57));
  EXPECT_EQ(receiver.next(), "/leave");
  Sleep(300);
  EXPECT_TRUE(sim.rogerWilcoStarts().empty());
}

TEST_F(Delivery, AFlightSeenByTheVoiceProgram) {
  std::vector<hv::AtcStation> stations = {
      station(11810, "EDDF_TWR", "rw.example.org/eddf_twr", 50.03, 8.57, 30),
      station(12780, "EDDF_APP", "rw.example.org/eddf_app", 50.03, 8.57, 60),
      station(12780, "EDDS_APP", "rw.example.org/edds_app", 48.69, 9.22, 60),
  };
  useTable(stations);
  struct Step {
    std::uint16_t frequency;
    double lat, lon;
    const char* text;  // the argument the voice program receives; null: not started
  } steps[] = {
      {11810, 50.03, 8.57, "/join1 rw.example.org/eddf_twr"},
      {11810, 50.05, 8.60, nullptr},
      {12780, 50.20, 8.70, "/join1 rw.example.org/eddf_app"},
      {12780, 48.90, 9.10, "/join1 rw.example.org/edds_app"},
      {12780, 46.00, 9.10, "/leave"},
      {12780, 45.00, 9.10, nullptr},
      {12780, 48.69, 9.22, "/join1 rw.example.org/edds_app"},
      {13000, 48.69, 9.22, "/leave"},
  };
  Lines expected;
  for (const auto& s : steps) {
    hv::UpdateVoiceChannel(hv::moduleState(), reading(s.frequency, s.lat, s.lon));
    if (s.text) expected.push_back(rogerWilco + " " + s.text);
    EXPECT_EQ(sim.waitForRogerWilcoStarts(expected.size()), expected) << s.frequency << " " << s.lat;
  }
  Sleep(300);
  EXPECT_EQ(sim.rogerWilcoStarts(), expected);
}

}  // namespace
