// The configuration rules: file locations, and the settings read from Hallvoxen.ini and
// FS2002.CFG (words, hot key, remote address), through an in-memory stand-in for the
// profile files; and how the datagram sender reads the address. What is saved back, and
// names written in any case, are seen by the Win32 scenarios (configuration_read,
// select_server_saves, dialog_choices, dialog_pick).
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "common/portable/RemoteCommand.h"
#include "module/portable/Configuration.h"

namespace {

TEST(ConfigPaths, FromTheSimulatorFolder) {
  const struct { std::string folder, ini, cfg; } cases[] = {
      {"c:\\games\\fs2002\\", "C:\\GAMES\\FS2002\\Modules\\Hallvoxen.ini", "C:\\GAMES\\FS2002\\FS2002.CFG"},
      {"D:\\fs2002.exe", "D:\\Modules\\Hallvoxen.ini", "D:\\FS2002.CFG"},
      {"C:\\GAMES\\FSEXE", "C:\\GAMES\\Modules\\Hallvoxen.ini", "C:\\GAMES\\FS2002.CFG"},  // taken for a program
      {"FS.EXE", "FS.EXE\\Modules\\Hallvoxen.ini", "FS.EXE\\FS2002.CFG"},  // no backslash: nothing is cut
      {"", "\\Hallvoxen.ini", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hv::configPaths(c.folder).iniPath, c.ini) << c.folder;
    EXPECT_EQ(hv::configPaths(c.folder).cfgPath, c.cfg) << c.folder;
  }
}

// Reads the configuration of C:\FS2002 from profile files in memory, keyed
// "path|SECTION/KEY" as written here; anything written or shown is collected.
struct Read {
  hv::ModuleState state;
  std::vector<std::string> errors, writes;
  explicit Read(const std::map<std::string, std::string>& keys) {
    state.simFolder = "C:\\FS2002";
    state.hotKeyCode = state.hotKeyModifier = 0;
    hv::readConfiguration(state, {[&](const std::string& path, const char* section, const char* key, const char* def,
                                      std::size_t capacity) {
                                    auto found = keys.find(path + "|" + section + "/" + key);
                                    return (found == keys.end() ? std::string(def) : found->second).substr(0, capacity - 1);
                                  },
                                  [&](const std::string&, const char*, const char* key, const char*) { writes.push_back(key); },
                                  [&](const char* message) { errors.push_back(message); }});
  }
};

const std::string kIni = "C:\\FS2002\\Modules\\Hallvoxen.ini|";
const std::string kCfg = "C:\\FS2002\\FS2002.CFG|KEYBOARD_MAIN/ATC";

TEST(ReadConfiguration, Table) {
  const struct {
    const char* what;
    std::map<std::string, std::string> keys;
    std::uint32_t network, rangeCheck, code, modifier, remote;
  } cases[] = {
      {"defaults", {}, 0, 1, 192, 8, 0},
      {"words", {{kIni + "GENERAL/Server", "IVAO"}, {kIni + "GENERAL/RangeCheck", "off"}, {kCfg, "65,11"}}, 1, 0, 65, 11, 0},
      {"on words", {{kIni + "GENERAL/Server", "vatsim"}, {kIni + "GENERAL/RangeCheck", "Yes"}}, 0, 1, 192, 8, 0},
      {"unknown words keep the initial values",
       {{kIni + "GENERAL/Server", "IVAO2"}, {kIni + "GENERAL/RangeCheck", "0"}, {kIni + "REMOTE/Remote", "1"}}, 0, 1, 192, 8, 0},
      {"hot key without modifier", {{kCfg, "65"}}, 0, 1, 65, 0, 0},
      {"hot key with a blank", {{kCfg, "66, 9"}}, 0, 1, 66, 9, 0},
      {"hot key that is no number", {{kCfg, "x,9"}}, 0, 1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const Read read(c.keys);
    const hv::ModuleState& s = read.state;
    EXPECT_EQ((std::vector<std::uint32_t>{s.network, s.rangeCheck, s.hotKeyCode, s.hotKeyModifier, s.remoteMode}),
              (std::vector<std::uint32_t>{c.network, c.rangeCheck, c.code, c.modifier, c.remote})) << c.what;
    EXPECT_EQ(read.state.feeds[hv::Ivao].statusUrl, "http://www.ivao.aero/whazzup/status.txt") << c.what;
    EXPECT_TRUE(read.writes.empty() && read.errors.empty()) << c.what;
  }
}

// With remote control on, the address must be dotted IPv4 within the allowed ranges;
// otherwise remote control is switched off with a message, and the file left alone. The
// datagram sender reads an address as decimal even with leading zeros, and nothing but
// four numbers of at most 255 and three dots.
TEST(RemoteAddress, AsTheConfigurationAndTheSenderReadIt) {
  const struct { const char* text; bool valid, read; } cases[] = {
      {"1.0.0.1", true, true},        {"255.254.254.255", true, true}, {"10.0.0.1x", true, false},
      {" 10.0.0.1", true, false},     {"192.168.0.0", false, true},    {"0.1.2.3", false, true},
      {"256.1.1.1", false, false},    {"10.255.0.1", false, true},     {"10.0.255.1", false, true},
      {"10.0.254.256", false, false}, {"10.0.0", false, false},        {"10.0.0.1.5", false, false},
      {"10.0..1", false, false},      {"99999999999.0.0.1", false, false},
  };
  for (const auto& c : cases) {
    Read read({{kIni + "REMOTE/Remote", "YES"}, {kIni + "REMOTE/RemoteAddress", c.text}});
    EXPECT_EQ(read.state.remoteMode, c.valid ? 1u : 0u) << c.text;
    EXPECT_EQ(read.errors.size(), c.valid ? 0u : 1u) << c.text;
    EXPECT_TRUE(read.writes.empty()) << c.text;
    std::uint8_t octets[4];
    EXPECT_EQ(hv::readDottedDecimal(c.text, octets), c.read) << c.text;
  }
  EXPECT_EQ(Read({{kIni + "REMOTE/RemoteAddress", "192.168.0.10"}}).state.remoteAddress, "")
      << "the address is read only while remote control is on";
  std::uint8_t octets[4];
  ASSERT_TRUE(hv::readDottedDecimal("192.168.1.020", octets));
  EXPECT_EQ(std::vector<int>(octets, octets + 4), (std::vector<int>{192, 168, 1, 20}));
}

}  // namespace
