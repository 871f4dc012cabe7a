// The voice program's command texts, and the order in which a command marks the channel
// joined or left and hands its text on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "voice/portable/VoiceCommands.h"

namespace hv {
namespace {

AtcStation station(const char* callsign, const char* voiceChannel) {
  AtcStation s;
  std::memset(&s, 0, sizeof s);
  s.frequency = 11810;
  std::strncpy(s.callsign, callsign, sizeof s.callsign - 1);
  std::strncpy(s.voiceChannel, voiceChannel, sizeof s.voiceChannel - 1);
  return s;
}

TEST(JoinCommandText, TheTwoShapes) {
  struct Case {
    const char* callsign;
    const char* voiceChannel;
    std::uint32_t network;
    const char* expected;
  } cases[] = {
      {"EDDF_TWR", "voice.vatsim.net/eddf_twr", Vatsim, "/join1 voice.vatsim.net/eddf_twr"},
      {"EDDF_TWR", "voice.ivao.aero/eddf_twr", Ivao, "/join1 voice.ivao.aero/eddf_twr/EDDF_TWR"},
      // Fields go out as stored: no trimming, quoting or escaping.
      {"LFPG_APP", " rw.example.org/lfpg app ", Vatsim, "/join1  rw.example.org/lfpg app "},
      {"LFPG_APP", "rw.example.org/\"x\"", Ivao, "/join1 rw.example.org/\"x\"/LFPG_APP"},
      {"", "rw.example.org/x", Ivao, "/join1 rw.example.org/x/"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(joinCommandText(station(c.callsign, c.voiceChannel), c.network), c.expected) << c.expected;
}

TEST(JoinCommandText, LongestFieldsGiveAtMost167Characters) {
  AtcStation s = station("", "");
  std::memset(s.voiceChannel, 'v', 128);
  std::memset(s.callsign, 'C', 31);
  const std::string text = joinCommandText(s, Ivao);
  EXPECT_EQ(text.size(), 167u);
  EXPECT_EQ(text, "/join1 " + std::string(128, 'v') + "/" + std::string(31, 'C'));
}

TEST(JoinCommandText, AFieldWithoutTerminatorEndsAtTheFieldsEnd) {
  // A record damaged in memory must not make the text run into the next field.
  AtcStation s = station("", "");
  std::memset(s.callsign, 'C', sizeof s.callsign);
  std::memset(s.voiceChannel, 'v', sizeof s.voiceChannel);
  s.filler[0] = 'X';
  EXPECT_EQ(joinCommandText(s, Ivao),
            "/join1 " + std::string(sizeof s.voiceChannel, 'v') + "/" + std::string(sizeof s.callsign, 'C'));
}

// Each delivery with the value `joined` had when the text was handed on.
ModuleState* gState = nullptr;
std::vector<std::pair<std::string, std::uint32_t>> gDelivered;
void record(const char* text) { gDelivered.emplace_back(text, gState->joined.load()); }

TEST(Commands, JoinedChangesBeforeTheTextIsDelivered) {
  ModuleState state;
  gState = &state;
  gDelivered.clear();
  state.deliverCommand = &record;
  state.network = Ivao;
  const AtcStation s = station("EGLL_TWR", "rw.example.org/egll");

  JoinStation(state, s);
  EXPECT_EQ(state.joined.load(), 1u);
  JoinStation(state, s);  // joining again is not suppressed here; selection decides
  LeaveChannel(state);
  EXPECT_EQ(state.joined.load(), 0u);
  LeaveChannel(state);

  const std::vector<std::pair<std::string, std::uint32_t>> expected = {
      {"/join1 rw.example.org/egll/EGLL_TWR", 1},
      {"/join1 rw.example.org/egll/EGLL_TWR", 1},
      {"/leave", 0},
      {"/leave", 0},
  };
  EXPECT_EQ(gDelivered, expected);
  gState = nullptr;
}

TEST(Commands, WithoutADeliveryTheFlagStillChanges) {
  ModuleState state;
  JoinStation(state, station("EGLL_TWR", "rw.example.org/egll"));
  EXPECT_EQ(state.joined.load(), 1u);
  LeaveChannel(state);
  EXPECT_EQ(state.joined.load(), 0u);
}

}  // namespace
}  // namespace hv
