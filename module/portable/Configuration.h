// The module's settings: Hallvoxen.ini in the simulator's Modules folder, and the hot
// key from the simulator's FS2002.CFG. The rules live here; the files are read and
// written through ConfigurationFiles, which the Win32 shell backs with the profile
// functions and the tests with texts in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "records/portable/ModuleState.h"

namespace hv {

// Settings values are read into buffers of this many bytes (at most 254 characters).
constexpr std::size_t kProfileValueBytes = 255;
// The status-file addresses may be longer.
constexpr std::size_t kProfileUrlBytes = 2048;

constexpr char kDefaultVatsimStatusUrl[] = "http://www.vatsim.net/data/status.txt";
constexpr char kDefaultIvaoStatusUrl[] = "http://www.ivao.aero/whazzup/status.txt";
constexpr char kDefaultHotKey[] = "192,8";
constexpr char kInvalidAddressMessage[] =
    "Invalid IP Address in Hallvoxen.ini !\r\nRogerWilco remote control is disabled !";

struct ConfigurationFiles {
  // The value of a key, or def when the file, section or key is missing; at most
  // capacity - 1 characters.
  std::function<std::string(const std::string& path, const char* section, const char* key, const char* def,
                            std::size_t capacity)>
      read;
  std::function<void(const std::string& path, const char* section, const char* key, const char* value)> write;
  // Shows a message the user must act on.
  std::function<void(const char* message)> showError;
};

struct ConfigPaths {
  std::string iniPath;
  std::string cfgPath;  // empty when the simulator folder is unknown
  std::string logPath;  // Hallvoxen.log, beside Hallvoxen.ini
};

// Where Hallvoxen.ini, Hallvoxen.log and FS2002.CFG are, from the simulator folder of the registry.
// The folder may name the simulator's program file instead (it then ends in EXE).
ConfigPaths configPaths(const std::string& simFolder);

// 1 for "TRUE", "YES", "ON"; 0 for "FALSE", "NO", "OFF" (any case); none otherwise.
std::optional<std::uint32_t> parseOnOff(const std::string& value);
// 0 for "VATSIM", 1 for "IVAO" (any case); none otherwise.
std::optional<std::uint32_t> parseServer(const std::string& value);
// "code,modifier" as two unsigned decimals; a number that does not parse leaves its
// field as it was.
void parseHotKey(const std::string& value, std::uint32_t& code, std::uint32_t& modifier);
// A dotted IPv4 address a.b.c.d with a 1..255, b and c 0..254, d 1..255.
bool isValidAddress(const std::string& text);

// Fills the settings of the state from the files (the simulator folder must be set).
void readConfiguration(ModuleState& state, const ConfigurationFiles& files);
// Where the log goes and whether it is written (key Log of GENERAL, ON by default), read
// before the rest so that the log can note what reading the rest shows.
void readLogSetting(ModuleState& state, const ConfigurationFiles& files);
// Writes the network and the range-check choice back to Hallvoxen.ini.
void saveConfiguration(const ModuleState& state, const ConfigurationFiles& files);

}  // namespace hv
