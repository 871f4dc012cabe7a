// The control exports of the real module, loaded and started the way the simulator does
// it: exports found by plain name and by ordinal, the settings Select_Server writes to the
// installation's Hallvoxen.ini (and a refused network number that writes nothing), the
// status while the voice program is missing, and the exact 192-byte records Get_Status
// hands out in a flight over the sample VATSIM file. (The demo flies a longer route and
// checks its statuses, callsigns and RogerWilco's command lines.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "feed/portable/StationTableBuilder.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

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

// One station of the table built from a sample VATSIM file, by callsign.
hv::AtcStation sampleStation(const std::string& clients, const char* callsign) {
  hv::StationTable table;
  EXPECT_TRUE(hv::BuildStationTable(clients, nullptr, table));
  for (std::int32_t i = 0; i < table.count; ++i)
    if (std::strcmp(table.records[i].callsign, callsign) == 0) return table.records[i];
  ADD_FAILURE() << callsign << " is not in the sample";
  return hv::AtcStation{};
}

// The 256-byte buffer handed to Get_Status, filled with 0xEE.
struct Buffer {
  unsigned char bytes[256];
  Buffer() { std::memset(bytes, 0xEE, sizeof bytes); }
  bool untouched() const { return std::all_of(bytes, bytes + 256, [](unsigned char b) { return b == 0xEE; }); }
  bool holds(const hv::AtcStation& record) const { return std::memcmp(bytes, &record, 192) == 0 && bytes[192] == 0xEE; }
};

// The simulator's side: an installation, the module loaded and its four exports, each
// found by plain name and by ordinal.
class LoadedModule : public ::testing::Test {
 protected:
  void loadModule(const std::string& ini) {
    sim.writeIni(ini);
    ASSERT_TRUE(host.load(binPath("Hallvoxen.dll")));
    setMode = exported<SetModeFn>("HALLVOXEN_Set_Mode", 3);
    getStatus = exported<GetStatusFn>("HALLVOXEN_Get_Status", 4);
    getServer = exported<GetServerFn>("HALLVOXEN_Get_Server", 5);
    selectServer = exported<SelectServerFn>("HALLVOXEN_Select_Server", 6);
    ASSERT_TRUE(getStatus && setMode && getServer && selectServer);
  }
  template <typename Fn>
  Fn* exported(const char* name, WORD ordinal) {
    EXPECT_EQ(GetProcAddress(host.module(), name), GetProcAddress(host.module(), MAKEINTRESOURCEA(ordinal))) << name;
    return host.exported<Fn>(name);
  }
  static std::string networkKeys(const std::string& vatsim, const std::string& ivao) {
    return "[NETWORK]\r\nVatsimStatusUrl=" + vatsim + "\r\nIvaoStatusUrl=" + ivao + "\r\n";
  }

  SimInstallation sim;
  ModuleHost host;
  GetStatusFn* getStatus = nullptr;
  SetModeFn* setMode = nullptr;
  GetServerFn* getServer = nullptr;
  SelectServerFn* selectServer = nullptr;
};

TEST_F(LoadedModule, SettingsReadAtStartUpAndSavedBySelectServer) {
  sim.installRogerWilco();
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort());
  loadModule("[GENERAL]\r\nServer=IVAO\r\nRangeCheck=OFF\r\n" +
             networkKeys(nowhere + "/data/status.txt", nowhere + "/whazzup/status.txt"));
  Buffer buffer;
  EXPECT_EQ(getStatus(buffer.bytes), 0u) << "before start-up";
  ASSERT_TRUE(host.initialise().wait());

  EXPECT_EQ(getServer(), 1u) << "from Server=IVAO";
  EXPECT_EQ(getStatus(buffer.bytes), 0u) << "control is off at every load";
  EXPECT_EQ(setMode(1), kWaiting);
  EXPECT_EQ(selectServer(0), kWaiting);
  EXPECT_EQ(getServer(), 0u);
  EXPECT_EQ(profileValue(sim.iniPath(), "Server"), "VATSIM");
  EXPECT_EQ(profileValue(sim.iniPath(), "RangeCheck"), "OFF");

  // Networks other than 0 and 1 are refused: nothing switched, nothing saved.
  const std::string saved = readFile(sim.iniPath());
  EXPECT_EQ(selectServer(2), kWaiting);
  EXPECT_EQ(getServer(), 0u);
  EXPECT_EQ(readFile(sim.iniPath()), saved);

  EXPECT_EQ(setMode(0x10000), 0u);
  EXPECT_EQ(getStatus(buffer.bytes), 0u);
  EXPECT_TRUE(buffer.untouched());
}

TEST_F(LoadedModule, VoiceProgramMissing) {
  deleteMachineKey(kAppPathKey);
  loadModule("[GENERAL]\r\nServer=VATSIM\r\n");
  PendingCall start = host.initialise();
  EXPECT_TRUE(answerMessageBox(kErrorCaption).has_value());
  ASSERT_TRUE(start.wait());
  Buffer buffer;
  EXPECT_EQ(setMode(1), kMissing);
  EXPECT_EQ(getStatus(buffer.bytes), kMissing);
  EXPECT_TRUE(buffer.untouched());
}

TEST_F(LoadedModule, FlightHandsOutTheExactRecords) {
  LoopbackHttpServer http;
  const std::string vatsimData = readFile(windowsPath(HV_SOURCE_DIR "/samples/networks/vatsim-data.txt"));
  http.addFile("/data/status.txt", "url0=" + http.url("/vatsim-data.txt") + "\r\n");
  http.addFile("/vatsim-data.txt", vatsimData);
  sim.installRogerWilco();
  const hv::AtcStation tower = sampleStation(vatsimData, "EDDF_TWR");
  SubstituteSimulator simulator;
  host.run([&] { simulator.create(); });
  simulator.setCom1(tower.frequency);
  simulator.setPosition(tower.latitude, tower.longitude);
  loadModule("[GENERAL]\r\nServer=VATSIM\r\nRangeCheck=ON\r\n" +
             networkKeys(http.url("/data/status.txt"), http.url("/whazzup/status.txt")));
  ASSERT_TRUE(host.initialise().wait());
  setMode(1);

  // Waits up to 30 s for the status with exactly this record.
  auto handsOut = [&](std::uint32_t status, const hv::AtcStation& record) {
    for (int i = 0; i < 300; ++i, Sleep(100)) {
      Buffer buffer;
      if (getStatus(buffer.bytes) == status && buffer.holds(record)) return true;
    }
    return false;
  };
  EXPECT_TRUE(handsOut(2, tower)) << "joined";
  simulator.setPosition(tower.latitude + tower.range / 69.0 + 0.5, tower.longitude);
  EXPECT_TRUE(handsOut(4, tower)) << "out of range";

  host.deinitialise();
  host.run([&] { simulator.destroy(); });
}

}  // namespace
