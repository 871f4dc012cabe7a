// The configuration through the system's real profile functions: hand-written files,
// names in any case, a long simulator folder, and saving.
#include <gtest/gtest.h>

#include "module/win32/Configuration.h"
#include "tests/support/WinTestSupport.h"

namespace {

using hvtest::SimInstallation;

struct ProfileConfiguration : ::testing::Test {
  hv::ModuleState state;
  void read(const SimInstallation& sim) {
    state.simFolder = sim.simFolder();
    hv::readConfiguration(state);
  }
};

TEST_F(ProfileConfiguration, ReadsHandWrittenFilesWithNamesInAnyCase) {
  SimInstallation sim;
  sim.writeIni("[general]\nserver=Ivao\nrangecheck = no\n[network]\nvatsimstatusurl=http://127.0.0.1:1/s.txt\n");
  sim.writeCfg("[Keyboard_Main]\r\nATC=65,9\r\n");
  read(sim);
  EXPECT_EQ(state.network, 1u);
  EXPECT_EQ(state.rangeCheck, 0u);
  EXPECT_EQ(state.hotKeyCode, 65u);
  EXPECT_EQ(state.hotKeyModifier, 9u);
  EXPECT_EQ(state.feeds[hv::Vatsim].statusUrl, "http://127.0.0.1:1/s.txt");
  EXPECT_EQ(state.feeds[hv::Ivao].statusUrl, "http://www.ivao.aero/whazzup/status.txt");
}

TEST_F(ProfileConfiguration, SavingCreatesTheFileKeepsOtherKeysAndReadsBack) {
  SimInstallation sim;
  read(sim);
  EXPECT_FALSE(sim.iniExists()) << "reading never creates the file";
  hv::saveConfiguration(state);
  ASSERT_TRUE(sim.iniExists()) << "saving creates it";

  sim.writeIni("[GENERAL]\nServer=VATSIM\nRangeCheck=ON\n[REMOTE]\nRemote=NO\nRemoteAddress=10.0.0.1\n");
  state.network = 1;
  state.rangeCheck = 0;
  hv::saveConfiguration(state);

  char value[256] = {};
  GetPrivateProfileStringA("GENERAL", "Server", "", value, sizeof value, sim.iniPath().c_str());
  EXPECT_STREQ(value, "IVAO");
  GetPrivateProfileStringA("GENERAL", "RangeCheck", "", value, sizeof value, sim.iniPath().c_str());
  EXPECT_STREQ(value, "OFF");
  GetPrivateProfileStringA("REMOTE", "RemoteAddress", "", value, sizeof value, sim.iniPath().c_str());
  EXPECT_STREQ(value, "10.0.0.1");
  EXPECT_EQ(hvtest::readFile(sim.iniPath()).find("NETWORK"), std::string::npos)
      << "the status-file addresses are never written";

  hv::ModuleState again;
  again.simFolder = sim.simFolder();
  hv::readConfiguration(again);
  EXPECT_EQ(again.network, 1u);
  EXPECT_EQ(again.rangeCheck, 0u);
}

TEST_F(ProfileConfiguration, LongSimulatorFolder) {
  // Over 255 characters: the paths are kept whole.
  SimInstallation sim("Flight Simulator " + std::string(120, 'x') + "\\" + std::string(120, 'y'));
  ASSERT_GT(sim.simFolder().size(), 255u);
  sim.writeIni("[GENERAL]\nServer=IVAO\n");
  sim.writeCfg("[KEYBOARD_MAIN]\nATC=65,11\n");
  read(sim);
  EXPECT_EQ(state.network, 1u);
  EXPECT_EQ(state.hotKeyCode, 65u);
  EXPECT_EQ(state.hotKeyModifier, 11u);

  state.rangeCheck = 0;
  hv::saveConfiguration(state);
  EXPECT_NE(hvtest::readFile(sim.iniPath()).find("RangeCheck=OFF"), std::string::npos);
}

}  // namespace
