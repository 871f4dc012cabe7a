// The four control exports: found by plain name and by ordinal in the real module, the
// 192-byte record copied out of the module's own state, and Hallvoxen.ini read back with
// the system's profile functions after a network is selected.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "api/portable/ControlApi.h"
#include "module/win32/Lifecycle.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/WinTestSupport.h"

// The exports as this test program links them (the same code the module takes whole).
extern "C" {
std::uint32_t __stdcall HALLVOXEN_Get_Status(void* station);
std::uint32_t __stdcall HALLVOXEN_Set_Mode(std::uint32_t mode);
std::uint32_t __stdcall HALLVOXEN_Get_Server();
std::uint32_t __stdcall HALLVOXEN_Select_Server(std::uint32_t network);
}

namespace {

using namespace hvtest;

using GetStatusFn = std::uint32_t __stdcall(void*);
using SetModeFn = std::uint32_t __stdcall(std::uint32_t);
using GetServerFn = std::uint32_t __stdcall();
using SelectServerFn = std::uint32_t __stdcall(std::uint32_t);

std::string profileValue(const std::string& ini, const char* key) {
  char value[256] = {};
  GetPrivateProfileStringA("GENERAL", key, "<missing>", value, sizeof value, ini.c_str());
  return value;
}

hv::AtcStation station(std::uint16_t frequency, const char* callsign, const char* voiceChannel) {
  hv::AtcStation s;
  std::memset(&s, 0, sizeof s);
  s.frequency = frequency;
  std::strncpy(s.callsign, callsign, sizeof s.callsign - 1);
  std::strncpy(s.voiceChannel, voiceChannel, sizeof s.voiceChannel - 1);
  s.latitude = 50.0333;
  s.longitude = 8.5706;
  s.facility = 4;
  s.range = 30;
  return s;
}

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

// ---------------------------------------------------------------- the exports on this process's state

class Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    hv::ModuleState& state = hv::moduleState();
    state.iniPath = sim.iniPath();
    state.network = hv::Vatsim;
    state.rangeCheck = 1;
    state.active = 0;
    state.status = hv::Waiting;
    state.feeds[hv::Vatsim].table = table({station(11810, "EDDF_TWR", "rw.example.org/eddf_twr")});
    state.feeds[hv::Vatsim].loaded = 1;
    state.feeds[hv::Ivao].table = table({station(12180, "EDDF_APP", "vox.example.org/eddf_app"),
                                         station(11810, "EDDF_TWR", "vox.example.org/eddf_twr")});
    state.feeds[hv::Ivao].loaded = 1;
    state.currentTable.records = state.feeds[hv::Vatsim].table.records.get();
    state.currentTable.count = 1;
    state.currentTable.loaded = 1;
    state.selectedStation = nullptr;
  }
  void TearDown() override {
    hv::ModuleState& state = hv::moduleState();
    state.selectedStation = nullptr;
    state.currentTable.records = nullptr;
    state.currentTable.count = 0;
    state.currentTable.loaded = 0;
    state.feeds[hv::Vatsim].table = {};
    state.feeds[hv::Ivao].table = {};
  }
  static hv::StationTable table(std::initializer_list<hv::AtcStation> stations) {
    hv::StationTable t;
    t.count = static_cast<std::int32_t>(stations.size());
    t.records.reset(new hv::AtcStation[stations.size()]);
    std::copy(stations.begin(), stations.end(), t.records.get());
    return t;
  }

  SimInstallation sim;
};

TEST_F(Exports, StatusCopiesTheSelectedRecordByteForByte) {
  hv::ModuleState& state = hv::moduleState();
  const hv::AtcStation* selected = &state.feeds[hv::Vatsim].table.records[0];
  state.selectedStation = selected;
  state.status = hv::Joined;

  unsigned char buffer[256];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(HALLVOXEN_Get_Status(buffer), 0u) << "control off";
  EXPECT_EQ(buffer[0], 0xEE);

  EXPECT_EQ(HALLVOXEN_Set_Mode(1), static_cast<std::uint32_t>(hv::Joined));
  EXPECT_EQ(HALLVOXEN_Get_Status(buffer), static_cast<std::uint32_t>(hv::Joined));
  EXPECT_EQ(std::memcmp(buffer, selected, 192), 0);
  EXPECT_EQ(buffer[192], 0xEE) << "exactly 192 bytes";
  std::uint16_t frequency;
  std::memcpy(&frequency, buffer + 0, 2);
  EXPECT_EQ(frequency, 11810);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer + 2), "EDDF_TWR");
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer + 34), "rw.example.org/eddf_twr");
  std::int32_t range;
  std::memcpy(&range, buffer + 188, 4);
  EXPECT_EQ(range, 30);
}

TEST_F(Exports, SelectServerSavesServerAndRangeCheck) {
  hv::ModuleState& state = hv::moduleState();
  state.status = hv::Joined;
  state.selectedStation = &state.feeds[hv::Vatsim].table.records[0];
  struct Case {
    std::uint32_t slot;
    std::uint32_t rangeCheck;
    std::uint32_t network;
    const char* server;
    const char* rangeText;
  } cases[] = {
      {1, 1, 1, "IVAO", "ON"},
      {0, 0, 0, "VATSIM", "OFF"},
      {0x00010001, 0, 1, "IVAO", "OFF"},  // upper half ignored
      {1, 1, 1, "IVAO", "ON"},            // written again though unchanged
  };
  for (const auto& c : cases) {
    state.rangeCheck = c.rangeCheck;
    EXPECT_EQ(HALLVOXEN_Select_Server(c.slot), static_cast<std::uint32_t>(hv::Joined)) << c.slot;
    EXPECT_EQ(HALLVOXEN_Get_Server(), c.network) << c.slot;
    EXPECT_EQ(profileValue(sim.iniPath(), "Server"), c.server) << c.slot;
    EXPECT_EQ(profileValue(sim.iniPath(), "RangeCheck"), c.rangeText) << c.slot;
    EXPECT_EQ(state.currentTable.records, state.feeds[c.network].table.records.get()) << c.slot;
  }
  // Switching away from VATSIM forgot its record: no foreign record is ever copied.
  EXPECT_EQ(state.selectedStation, nullptr);
}

TEST_F(Exports, OtherNetworkNumbersAreRefused) {
  hv::ModuleState& state = hv::moduleState();
  state.status = hv::NoStation;
  sim.writeIni("[GENERAL]\r\nServer=VATSIM\r\nRangeCheck=ON\r\n; kept as written\r\n");
  const std::string before = readFile(sim.iniPath());
  for (std::uint32_t slot : {2u, 0xFFFFu, 0x80000002u}) {
    EXPECT_EQ(HALLVOXEN_Select_Server(slot), static_cast<std::uint32_t>(hv::NoStation)) << slot;
    EXPECT_EQ(HALLVOXEN_Get_Server(), 0u) << slot;
  }
  EXPECT_EQ(readFile(sim.iniPath()), before);
}

}  // namespace
