// The configuration rules: file locations, and the settings read from Hallvoxen.ini and
// FS2002.CFG (words, hot key, remote address), through an in-memory stand-in for the
// profile files. What is saved back is seen by the Win32 scenarios (select_server_saves,
// dialog_choices, dialog_pick).
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "module/portable/Configuration.h"

namespace {

TEST(ConfigPaths, FromTheSimulatorFolder) {
  const struct { std::string folder, ini, cfg; } cases[] = {
      {"C:\\FS2002", "C:\\FS2002\\Modules\\Hallvoxen.ini", "C:\\FS2002\\FS2002.CFG"},
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

// Profile files in memory: path -> "SECTION/KEY" (upper case) -> value.
struct MemoryProfiles {
  std::map<std::string, std::map<std::string, std::string>> files;
  std::vector<std::string> errors, writes;

  static std::string name(const char* section, const char* key) {
    std::string n = std::string(section) + "/" + key;
    for (char& c : n) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return n;
  }
  hv::ConfigurationFiles io() {
    return {[this](const std::string& path, const char* section, const char* key, const char* def, std::size_t capacity) {
              auto file = files.find(path);
              std::string value = def;
              if (file != files.end() && file->second.count(name(section, key))) value = file->second[name(section, key)];
              return value.substr(0, capacity - 1);
            },
            [this](const std::string& path, const char* section, const char* key, const char* value) {
              writes.push_back(section + std::string("/") + key + "=" + value);
              files[path][name(section, key)] = value;
            },
            [this](const char* message) { errors.push_back(message); }};
  }
};

const std::string kIni = "C:\\FS2002\\Modules\\Hallvoxen.ini";
const std::string kCfg = "C:\\FS2002\\FS2002.CFG";
const char* const kAddressError = "Invalid IP Address in Hallvoxen.ini !\r\nRogerWilco remote control is disabled !";

TEST(ReadConfiguration, Table) {
  const struct {
    const char* what;
    std::map<std::string, std::string> ini;  // GENERAL/SERVER, ...
    const char* hotKey;                      // KEYBOARD_MAIN/ATC of FS2002.CFG, or none
    std::uint32_t network, rangeCheck, code, modifier, remote;
    const char* address;
    bool error;
  } cases[] = {
      {"defaults", {}, nullptr, 0, 1, 192, 8, 0, "", false},
      {"words in any case", {{"GENERAL/SERVER", "iVaO"}, {"GENERAL/RANGECHECK", "off"}}, "65,11", 1, 0, 65, 11, 0, "", false},
      {"on words", {{"GENERAL/SERVER", "vatsim"}, {"GENERAL/RANGECHECK", "Yes"}}, nullptr, 0, 1, 192, 8, 0, "", false},
      {"unknown words keep the initial values", {{"GENERAL/SERVER", "IVAO2"}, {"GENERAL/RANGECHECK", "0"}, {"REMOTE/REMOTE", "1"}},
       nullptr, 0, 1, 192, 8, 0, "", false},
      {"hot key without modifier", {}, "65", 0, 1, 65, 0, 0, "", false},
      {"hot key with a blank", {}, "66, 9", 0, 1, 66, 9, 0, "", false},
      {"hot key that is no number", {}, "x,9", 0, 1, 0, 0, 0, "", false},
      {"address read only while remote control is on", {{"REMOTE/REMOTEADDRESS", "192.168.0.10"}}, nullptr, 0, 1, 192, 8, 0, "", false},
  };
  for (const auto& c : cases) {
    MemoryProfiles profiles;
    for (const auto& [key, value] : c.ini) profiles.files[kIni][key] = value;
    if (c.hotKey) profiles.files[kCfg]["KEYBOARD_MAIN/ATC"] = c.hotKey;
    hv::ModuleState state;
    state.hotKeyCode = 0;
    state.hotKeyModifier = 0;
    state.simFolder = "C:\\FS2002";
    hv::readConfiguration(state, profiles.io());
    EXPECT_EQ(state.network, c.network) << c.what;
    EXPECT_EQ(state.rangeCheck, c.rangeCheck) << c.what;
    EXPECT_EQ(state.hotKeyCode, c.code) << c.what;
    EXPECT_EQ(state.hotKeyModifier, c.modifier) << c.what;
    EXPECT_EQ(state.remoteMode, c.remote) << c.what;
    EXPECT_EQ(state.remoteAddress, c.address) << c.what;
    EXPECT_TRUE(profiles.writes.empty()) << c.what;
    EXPECT_EQ(state.feeds[hv::Ivao].statusUrl, "http://www.ivao.aero/whazzup/status.txt");
  }
}

// With remote control on, the address must be dotted IPv4 within the allowed ranges;
// otherwise remote control is switched off with a message, and the file left alone.
TEST(ReadConfiguration, RemoteAddress) {
  const std::pair<const char*, bool> cases[] = {
      {"192.168.0.10", true}, {"1.0.0.1", true},     {"255.254.254.255", true}, {"10.0.0.1x", true},
      {"192.168.0.0", false}, {"0.1.2.3", false},    {"255.255.255.255", false}, {"10.0.0", false},
      {"10.0.0.1.5", false},  {"pelkorin.lan", false}, {"", false},            {"10.255.0.1", false},
      {"256.1.1.1", false},   {"10.0.254.256", false}, {"10.0..1", false},
  };
  for (const auto& [address, valid] : cases) {
    MemoryProfiles profiles;
    profiles.files[kIni]["REMOTE/REMOTE"] = "YES";
    if (*address) profiles.files[kIni]["REMOTE/REMOTEADDRESS"] = address;
    hv::ModuleState state;
    state.simFolder = "C:\\FS2002";
    hv::readConfiguration(state, profiles.io());
    EXPECT_EQ(state.remoteMode, valid ? 1u : 0u) << address;
    EXPECT_EQ(profiles.errors, valid ? std::vector<std::string>{} : std::vector<std::string>{kAddressError}) << address;
    EXPECT_TRUE(profiles.writes.empty()) << address;
  }
}

}  // namespace
