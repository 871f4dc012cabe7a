// The configuration rules: file locations, settings words, hot key, remote address,
// and reading and saving through an in-memory stand-in for the profile files.
#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

#include "module/portable/Configuration.h"

namespace {

using hv::ConfigPaths;

TEST(ConfigPaths, FromTheSimulatorFolder) {
  struct Case {
    std::string folder, ini, cfg;
  };
  const Case cases[] = {
      {"C:\\FS2002", "C:\\FS2002\\Modules\\Hallvoxen.ini", "C:\\FS2002\\FS2002.CFG"},
      {"C:\\FS2002\\FS2002.EXE", "C:\\FS2002\\Modules\\Hallvoxen.ini", "C:\\FS2002\\FS2002.CFG"},
      {"c:\\games\\fs2002\\", "C:\\GAMES\\FS2002\\Modules\\Hallvoxen.ini", "C:\\GAMES\\FS2002\\FS2002.CFG"},
      // A folder whose name ends in EXE is taken for a program file.
      {"C:\\GAMES\\FSEXE", "C:\\GAMES\\Modules\\Hallvoxen.ini", "C:\\GAMES\\FS2002.CFG"},
      {"D:\\fs2002.exe", "D:\\Modules\\Hallvoxen.ini", "D:\\FS2002.CFG"},
      // No backslash after the first character: nothing is cut.
      {"FS.EXE", "FS.EXE\\Modules\\Hallvoxen.ini", "FS.EXE\\FS2002.CFG"},
      {"\\EXE", "\\EXE\\Modules\\Hallvoxen.ini", "\\EXE\\FS2002.CFG"},
      {"EXE", "EXE\\Modules\\Hallvoxen.ini", "EXE\\FS2002.CFG"},
      {"", "\\Hallvoxen.ini", ""},
  };
  for (const Case& c : cases) {
    ConfigPaths paths = hv::configPaths(c.folder);
    EXPECT_EQ(paths.iniPath, c.ini) << c.folder;
    EXPECT_EQ(paths.cfgPath, c.cfg) << c.folder;
  }
}

TEST(ConfigPaths, LongFoldersAreKeptWhole) {
  std::string folder = "C:\\" + std::string(300, 'A');
  EXPECT_EQ(hv::configPaths(folder).iniPath, folder + "\\Modules\\Hallvoxen.ini");
}

TEST(SettingsWords, OnOffInAnyCase) {
  const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
      {"TRUE", 1}, {"yes", 1}, {"On", 1},    {"FALSE", 0},       {"no", 0},           {"Off", 0},
      {"0", {}},   {"1", {}},  {"", {}},     {" ON", {}},        {"ONE", {}},         {"tRuE", 1},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(hv::parseOnOff(text), expected) << text;
}

TEST(SettingsWords, ServerInAnyCase) {
  EXPECT_EQ(hv::parseServer("ivao"), 1u);
  EXPECT_EQ(hv::parseServer("VatSim"), 0u);
  EXPECT_EQ(hv::parseServer("IVAO2"), std::nullopt);
  EXPECT_EQ(hv::parseServer(""), std::nullopt);
}

TEST(HotKey, TwoNumbersSeparatedByAComma) {
  struct Case {
    const char* text;
    std::uint32_t code, modifier;
  };
  const Case cases[] = {
      {"192,8", 192, 8}, {"65,11", 65, 11},   {"65", 65, 77},  // a missing modifier leaves it
      {"x,9", 55, 77},                                         // nothing parses after a bad first number
      {"66, 9", 66, 9},  {" 67,1", 67, 1},    {"68;2", 68, 77},
  };
  for (const Case& c : cases) {
    std::uint32_t code = 55, modifier = 77;
    hv::parseHotKey(c.text, code, modifier);
    EXPECT_EQ(code, c.code) << c.text;
    EXPECT_EQ(modifier, c.modifier) << c.text;
  }
}

TEST(RemoteAddress, DottedIpv4WithinTheAllowedRanges) {
  const std::pair<const char*, bool> cases[] = {
      {"192.168.0.10", true}, {"10.0.0.255", true},      {"1.0.0.1", true},          {"255.254.254.255", true},
      {"192.168.0.0", false}, {"0.1.2.3", false},        {"255.255.255.255", false}, {"10.0.0", false},
      {"10.0.0.1.5", false},  {"pelkorin.lan", false},   {"", false},                {"10.255.0.1", false},
      {"256.1.1.1", false},   {"10.0.254.256", false},
      // Parsing stops at the first character that does not fit; missing numbers are 0.
      {"10.0.0.1x", true},    {"10.0..1", false},        {"10.0.0.", false},
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(hv::isValidAddress(text), valid) << text;
}

// Profile files in memory, with section and key names matched regardless of case.
struct MemoryProfiles {
  std::map<std::string, std::map<std::string, std::string>> files;  // path -> "SECTION/KEY" -> value
  std::vector<std::string> errors;
  std::vector<std::string> writes;

  static std::string name(const char* section, const char* key) {
    std::string n = std::string(section) + "/" + key;
    for (char& c : n) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return n;
  }
  void set(const std::string& path, const char* section, const char* key, const std::string& value) {
    files[path][name(section, key)] = value;
  }
  hv::ConfigurationFiles io() {
    return {[this](const std::string& path, const char* section, const char* key, const char* def,
                   std::size_t capacity) {
              auto file = files.find(path);
              std::string value = def;
              if (file != files.end()) {
                auto entry = file->second.find(name(section, key));
                if (entry != file->second.end()) value = entry->second;
              }
              return value.substr(0, capacity - 1);
            },
            [this](const std::string& path, const char* section, const char* key, const char* value) {
              writes.push_back(path + " " + section + "/" + key + "=" + value);
              set(path, section, key, value);
            },
            [this](const char* message) { errors.push_back(message); }};
  }
};

const std::string kIni = "C:\\FS2002\\Modules\\Hallvoxen.ini";
const std::string kCfg = "C:\\FS2002\\FS2002.CFG";

struct ReadConfiguration : ::testing::Test {
  MemoryProfiles profiles;
  hv::ModuleState state;
  void read() {
    state.simFolder = "C:\\FS2002";
    hv::readConfiguration(state, profiles.io());
  }
};

TEST_F(ReadConfiguration, DefaultsWithoutFiles) {
  read();
  EXPECT_EQ(state.iniPath, kIni);
  EXPECT_EQ(state.cfgPath, kCfg);
  EXPECT_EQ(state.network, 0u);
  EXPECT_EQ(state.rangeCheck, 1u);
  EXPECT_EQ(state.hotKeyCode, 192u);
  EXPECT_EQ(state.hotKeyModifier, 8u);
  EXPECT_EQ(state.remoteMode, 0u);
  EXPECT_EQ(state.remoteAddress, "");
  EXPECT_EQ(state.feeds[hv::Vatsim].statusUrl, "http://www.vatsim.net/data/status.txt");
  EXPECT_EQ(state.feeds[hv::Ivao].statusUrl, "http://www.ivao.aero/whazzup/status.txt");
  EXPECT_TRUE(profiles.errors.empty());
  EXPECT_TRUE(profiles.writes.empty());
}

TEST_F(ReadConfiguration, SettingsFromBothFiles) {
  profiles.set(kIni, "general", "server", "ivao");
  profiles.set(kIni, "GENERAL", "RangeCheck", "Off");
  profiles.set(kCfg, "KEYBOARD_MAIN", "ATC", "65,11");
  profiles.set(kIni, "NETWORK", "VatsimStatusUrl", "http://127.0.0.1:8080/data/status.txt");
  profiles.set(kIni, "NETWORK", "IvaoStatusUrl", "http://127.0.0.1:8080/whazzup/status.txt");
  read();
  EXPECT_EQ(state.network, 1u);
  EXPECT_EQ(state.rangeCheck, 0u);
  EXPECT_EQ(state.hotKeyCode, 65u);
  EXPECT_EQ(state.hotKeyModifier, 11u);
  EXPECT_EQ(state.feeds[hv::Vatsim].statusUrl, "http://127.0.0.1:8080/data/status.txt");
  EXPECT_EQ(state.feeds[hv::Ivao].statusUrl, "http://127.0.0.1:8080/whazzup/status.txt");
}

TEST_F(ReadConfiguration, UnknownWordsKeepTheInitialValues) {
  profiles.set(kIni, "GENERAL", "Server", "FSD");
  profiles.set(kIni, "GENERAL", "RangeCheck", "0");
  profiles.set(kIni, "REMOTE", "Remote", "maybe");
  profiles.set(kIni, "REMOTE", "RemoteAddress", "192.168.0.10");
  read();
  EXPECT_EQ(state.network, 0u);
  EXPECT_EQ(state.rangeCheck, 1u);
  EXPECT_EQ(state.remoteMode, 0u);
  EXPECT_EQ(state.remoteAddress, "") << "the address is read only while remote control is on";
}

TEST_F(ReadConfiguration, HotKeyWithoutModifier) {
  profiles.set(kCfg, "KEYBOARD_MAIN", "ATC", "65");
  read();
  EXPECT_EQ(state.hotKeyCode, 65u);
  EXPECT_EQ(state.hotKeyModifier, 0u);
}

TEST_F(ReadConfiguration, EmptySimulatorFolderUsesTheRootIniAndDefaultHotKey) {
  profiles.set("", "KEYBOARD_MAIN", "ATC", "65,9");  // must not be consulted
  hv::readConfiguration(state, profiles.io());
  EXPECT_EQ(state.iniPath, "\\Hallvoxen.ini");
  EXPECT_EQ(state.cfgPath, "");
  EXPECT_EQ(state.hotKeyCode, 192u);
  EXPECT_EQ(state.hotKeyModifier, 8u);
}

TEST_F(ReadConfiguration, ValidRemoteAddressKeepsRemoteControl) {
  profiles.set(kIni, "REMOTE", "Remote", "yes");
  profiles.set(kIni, "REMOTE", "RemoteAddress", "192.168.0.10");
  read();
  EXPECT_EQ(state.remoteMode, 1u);
  EXPECT_EQ(state.remoteAddress, "192.168.0.10");
  EXPECT_TRUE(profiles.errors.empty());
}

TEST_F(ReadConfiguration, InvalidOrMissingRemoteAddressSwitchesRemoteControlOff) {
  for (const char* address : {"", "192.168.0.0", "pelkorin.lan", "10.0.0"}) {
    profiles = MemoryProfiles{};
    state.remoteMode = 0;
    profiles.set(kIni, "REMOTE", "Remote", "YES");
    if (*address) profiles.set(kIni, "REMOTE", "RemoteAddress", address);
    read();
    EXPECT_EQ(state.remoteMode, 0u) << address;
    ASSERT_EQ(profiles.errors.size(), 1u) << address;
    EXPECT_EQ(profiles.errors[0], "Invalid IP Address in Hallvoxen.ini !\r\nRogerWilco remote control is disabled !");
    EXPECT_TRUE(profiles.writes.empty()) << "the file is left as it was";
  }
}

TEST(SaveConfiguration, WritesServerAndRangeCheckOnly) {
  MemoryProfiles profiles;
  hv::ModuleState state;
  state.iniPath = kIni;
  const std::tuple<std::uint32_t, std::uint32_t, const char*, const char*> cases[] = {
      {0, 1, "VATSIM", "ON"}, {1, 0, "IVAO", "OFF"}, {7, 1, "IVAO", "ON"}};
  for (const auto& [network, rangeCheck, server, range] : cases) {
    profiles.writes.clear();
    state.network = network;
    state.rangeCheck = rangeCheck;
    hv::saveConfiguration(state, profiles.io());
    EXPECT_EQ(profiles.writes, (std::vector<std::string>{kIni + " GENERAL/Server=" + server,
                                                         kIni + " GENERAL/RangeCheck=" + range}));
  }
}

TEST(SaveConfiguration, WhatIsSavedReadsBack) {
  MemoryProfiles profiles;
  hv::ModuleState saved;
  saved.simFolder = "C:\\FS2002";
  hv::readConfiguration(saved, profiles.io());
  saved.network = 1;
  saved.rangeCheck = 0;
  hv::saveConfiguration(saved, profiles.io());

  hv::ModuleState loaded;
  loaded.simFolder = "C:\\FS2002";
  hv::readConfiguration(loaded, profiles.io());
  EXPECT_EQ(loaded.network, 1u);
  EXPECT_EQ(loaded.rangeCheck, 0u);
}

}  // namespace
