// The control exports of the real module, loaded and started the way the simulator does
// it: found by plain name and by ordinal, the statuses they report before and after
// start-up, with and without the voice program, the settings Select_Server writes to the
// installation's Hallvoxen.ini, and a flight over the sample network files in which
// Get_Status hands out the joined station's 192-byte record.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "feed/portable/StationTableBuilder.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"
#include "voice/portable/VoiceCommands.h"

namespace {

using namespace hvtest;

using GetStatusFn = std::uint32_t __stdcall(void*);
using SetModeFn = std::uint32_t __stdcall(std::uint32_t);
using GetServerFn = std::uint32_t __stdcall();
using SelectServerFn = std::uint32_t __stdcall(std::uint32_t);

constexpr std::uint32_t kWaiting = 65534, kMissing = 65535;

std::string profileValue(const std::string& ini, const char* key) {
  char value[256] = {};
  GetPrivateProfileStringA("GENERAL", key, "<missing>", value, sizeof value, ini.c_str());
  return value;
}

std::string sample(const char* name) {
  return readFile(windowsPath(std::string(HV_SOURCE_DIR) + "/samples/networks/" + name));
}

// One station of a table built from sample files, by callsign.
hv::AtcStation sampleStation(const std::string& clients, const std::string* voice, const char* callsign) {
  hv::StationTable table;
  std::string_view voiceView = voice ? std::string_view(*voice) : std::string_view();
  EXPECT_TRUE(hv::BuildStationTable(clients, voice ? &voiceView : nullptr, table));
  for (std::int32_t i = 0; i < table.count; ++i)
    if (std::strcmp(table.records[i].callsign, callsign) == 0) return table.records[i];
  ADD_FAILURE() << callsign << " is not in the sample";
  hv::AtcStation none;
  std::memset(&none, 0, sizeof none);
  return none;
}

// The simulator's side: an installation, the module loaded and its four exports.
class LoadedModule : public ::testing::Test {
 protected:
  void loadModule() {
    ASSERT_TRUE(host.load(binPath("Hallvoxen.dll")));
    getStatus = host.exported<GetStatusFn>("HALLVOXEN_Get_Status");
    setMode = host.exported<SetModeFn>("HALLVOXEN_Set_Mode");
    getServer = host.exported<GetServerFn>("HALLVOXEN_Get_Server");
    selectServer = host.exported<SelectServerFn>("HALLVOXEN_Select_Server");
    ASSERT_TRUE(getStatus && setMode && getServer && selectServer);
  }
  std::string networkKeys(const std::string& vatsim, const std::string& ivao) {
    return "[NETWORK]\r\nVatsimStatusUrl=" + vatsim + "\r\nIvaoStatusUrl=" + ivao + "\r\n";
  }
  std::string nowhere(const char* path) {
    return "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + path;
  }

  SimInstallation sim;
  ModuleHost host;
  GetStatusFn* getStatus = nullptr;
  SetModeFn* setMode = nullptr;
  GetServerFn* getServer = nullptr;
  SelectServerFn* selectServer = nullptr;
};

// ---------------------------------------------------------------- the module's export table

TEST(ModuleExports, FoundByNameAndByOrdinal) {
  ModuleHost host;
  ASSERT_TRUE(host.load(binPath("Hallvoxen.dll")));
  const struct {
    const char* name;
    WORD ordinal;
  } exports[] = {
      {"HALLVOXEN_Set_Mode", 3},
      {"HALLVOXEN_Get_Status", 4},
      {"HALLVOXEN_Get_Server", 5},
      {"HALLVOXEN_Select_Server", 6},
  };
  for (const auto& e : exports) {
    FARPROC byName = GetProcAddress(host.module(), e.name);
    EXPECT_NE(byName, nullptr) << e.name;
    EXPECT_EQ(byName, GetProcAddress(host.module(), MAKEINTRESOURCEA(e.ordinal))) << e.name;
  }
}

TEST(ModuleExports, BeforeStartUpControlIsOffAndNothingIsCopied) {
  // Freshly loaded, nothing initialised: stored status 0, control off, VATSIM.
  ModuleHost host;
  ASSERT_TRUE(host.load(binPath("Hallvoxen.dll")));
  auto getStatus = host.exported<GetStatusFn>("HALLVOXEN_Get_Status");
  auto setMode = host.exported<SetModeFn>("HALLVOXEN_Set_Mode");
  auto getServer = host.exported<GetServerFn>("HALLVOXEN_Get_Server");
  ASSERT_TRUE(getStatus && setMode && getServer);

  unsigned char buffer[256];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(getStatus(buffer), 0u);
  EXPECT_EQ(getServer(), 0u);
  EXPECT_EQ(setMode(0x10001), 0u) << "on, and the stored status 0 comes back";
  EXPECT_EQ(getStatus(buffer), 0u);
  EXPECT_EQ(setMode(0x10000), 0u);
  for (unsigned char b : buffer) ASSERT_EQ(b, 0xEE);
}

// ---------------------------------------------------------------- after start-up

TEST_F(LoadedModule, ExportsAfterStartUp) {
  sim.installRogerWilco();
  sim.writeIni("[GENERAL]\r\nServer=IVAO\r\nRangeCheck=OFF\r\n" +
               networkKeys(nowhere("/data/status.txt"), nowhere("/whazzup/status.txt")));
  loadModule();
  ASSERT_TRUE(host.initialise().wait());

  unsigned char buffer[256];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(getServer(), 1u) << "from Server=IVAO";
  EXPECT_EQ(getStatus(buffer), 0u) << "control is off at every load";
  EXPECT_EQ(setMode(1), kWaiting);
  EXPECT_EQ(getStatus(buffer), kWaiting);

  EXPECT_EQ(selectServer(0), kWaiting);
  EXPECT_EQ(getServer(), 0u);
  EXPECT_EQ(profileValue(sim.iniPath(), "Server"), "VATSIM");
  EXPECT_EQ(profileValue(sim.iniPath(), "RangeCheck"), "OFF");

  const std::string saved = readFile(sim.iniPath());
  EXPECT_EQ(selectServer(2), kWaiting) << "refused";
  EXPECT_EQ(getServer(), 0u);
  EXPECT_EQ(readFile(sim.iniPath()), saved);

  EXPECT_EQ(setMode(0x10000), 0u);
  EXPECT_EQ(getStatus(buffer), 0u);
  for (unsigned char b : buffer) ASSERT_EQ(b, 0xEE);
  host.deinitialise();
}

TEST_F(LoadedModule, VoiceProgramMissing) {
  deleteMachineKey(kAppPathKey);
  sim.writeIni("[GENERAL]\r\nServer=VATSIM\r\n");
  loadModule();
  PendingCall start = host.initialise();
  EXPECT_TRUE(answerMessageBox(kErrorCaption).has_value());
  ASSERT_TRUE(start.wait());

  unsigned char buffer[256];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(setMode(1), kMissing);
  EXPECT_EQ(getStatus(buffer), kMissing);
  // Selecting a network does not look at the status: it switches and saves all the same.
  EXPECT_EQ(selectServer(1), kMissing);
  EXPECT_EQ(getServer(), 1u);
  EXPECT_EQ(profileValue(sim.iniPath(), "Server"), "IVAO");
  EXPECT_EQ(profileValue(sim.iniPath(), "RangeCheck"), "ON");
  for (unsigned char b : buffer) ASSERT_EQ(b, 0xEE);
  host.deinitialise();
}

TEST_F(LoadedModule, FlightReportsTheJoinedStationsRecord) {
  LoopbackHttpServer http;
  const std::string vatsimData = sample("vatsim-data.txt");
  const std::string ivaoClients = sample("ivao-whazzup.txt");
  const std::string ivaoVoice = sample("ivao-voice.txt");
  http.addFile("/data/status.txt", "url0=" + http.url("/vatsim-data.txt") + "\r\n");
  http.addFile("/vatsim-data.txt", vatsimData);
  http.addFile("/whazzup/status.txt",
               "url0=" + http.url("/whazzup.txt") + "\r\nurl1=" + http.url("/voice.txt") + "\r\n");
  http.addFile("/whazzup.txt", ivaoClients);
  http.addFile("/voice.txt", ivaoVoice);

  const std::string rogerWilco = sim.installRogerWilco();
  sim.writeIni("[GENERAL]\r\nServer=VATSIM\r\nRangeCheck=ON\r\n" +
               networkKeys(http.url("/data/status.txt"), http.url("/whazzup/status.txt")));

  SubstituteSimulator simulator;
  host.run([&] { simulator.create(); });
  const hv::AtcStation tower = sampleStation(vatsimData, nullptr, "EDDF_TWR");
  simulator.setCom1(tower.frequency);
  simulator.setPosition(tower.latitude, tower.longitude);

  loadModule();
  ASSERT_TRUE(host.initialise().wait());
  EXPECT_EQ(setMode(1), kWaiting);

  unsigned char buffer[256];
  std::memset(buffer, 0xEE, sizeof buffer);
  std::uint32_t status = 0;
  for (int i = 0; i < 300 && (status = getStatus(buffer)) != 2; ++i) Sleep(100);
  ASSERT_EQ(status, 2u);
  EXPECT_EQ(std::memcmp(buffer, &tower, 192), 0);
  EXPECT_EQ(buffer[192], 0xEE);
  EXPECT_EQ(sim.waitForRogerWilcoStarts(1),
            std::vector<std::string>({rogerWilco + " " + hv::joinCommandText(tower, 0)}));

  // Flown out of the tower's range: left, and the record of the station out of range.
  simulator.setPosition(tower.latitude + tower.range / 69.0 + 0.5, tower.longitude);
  std::memset(buffer, 0xEE, sizeof buffer);
  for (int i = 0; i < 100 && (status = getStatus(buffer)) != 4; ++i) Sleep(100);
  ASSERT_EQ(status, 4u);
  EXPECT_EQ(std::memcmp(buffer, &tower, 192), 0);
  EXPECT_EQ(sim.waitForRogerWilcoStarts(2).back(), rogerWilco + " /leave");

  // To IVAO, and a station of its own: joined with the IVAO command shape.
  std::string voiceView = ivaoVoice;
  const hv::AtcStation lfpg = sampleStation(ivaoClients, &voiceView, "LFPG_TWR");
  simulator.setCom1(lfpg.frequency);
  simulator.setPosition(lfpg.latitude, lfpg.longitude);
  selectServer(1);
  EXPECT_EQ(profileValue(sim.iniPath(), "Server"), "IVAO");
  std::memset(buffer, 0xEE, sizeof buffer);
  for (int i = 0; i < 300; ++i) {
    if (getStatus(buffer) == 2 && std::memcmp(buffer, &lfpg, 192) == 0) break;
    Sleep(100);
  }
  EXPECT_EQ(std::memcmp(buffer, &lfpg, 192), 0);
  const auto starts = sim.waitForRogerWilcoStarts(3);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[2], rogerWilco + " " + hv::joinCommandText(lfpg, 1));

  host.deinitialise();
  host.run([&] { simulator.destroy(); });
}

}  // namespace
