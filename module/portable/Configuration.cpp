#include "module/portable/Configuration.h"

#include <algorithm>
#include <cstdio>

namespace hv {

namespace {

std::string upperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool endsWith(const std::string& text, const char* tail) {
  std::string t(tail);
  return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

ConfigPaths configPaths(const std::string& simFolder) {
  std::string folder = upperCase(simFolder);
  if (folder.empty()) return {"\\Hallvoxen.ini", "", "\\Hallvoxen.log"};

  // A program file rather than a folder: cut at the last backslash, but never at the
  // first character.
  if (endsWith(folder, "EXE")) {
    for (std::size_t i = folder.size() - 1; i > 0; --i) {
      if (folder[i] == '\\') {
        folder.resize(i);
        break;
      }
    }
  }
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return {folder + "\\Modules\\Hallvoxen.ini", folder + "\\FS2002.CFG", folder + "\\Modules\\Hallvoxen.log"};
}

std::optional<std::uint32_t> parseOnOff(const std::string& value) {
  std::string word = upperCase(value);
  for (const char* on : {"TRUE", "YES", "ON"})
    if (word == on) return 1;
  for (const char* off : {"FALSE", "NO", "OFF"})
    if (word == off) return 0;
  return std::nullopt;
}

std::optional<std::uint32_t> parseServer(const std::string& value) {
  std::string word = upperCase(value);
  if (word == "VATSIM") return 0;
  if (word == "IVAO") return 1;
  return std::nullopt;
}

void parseHotKey(const std::string& value, std::uint32_t& code, std::uint32_t& modifier) {
  unsigned first = 0, second = 0;
  int parsed = std::sscanf(value.c_str(), "%u,%u", &first, &second);
  if (parsed >= 1) code = first;
  if (parsed >= 2) modifier = second;
}

bool isValidAddress(const std::string& text) {
  if (text.empty()) return false;
  std::string copy = text;
  if (std::count(copy.begin(), copy.end(), '.') != 3) return false;
  std::replace(copy.begin(), copy.end(), '.', ',');
  unsigned a = 0, b = 0, c = 0, d = 0;
  std::sscanf(copy.c_str(), "%u,%u,%u,%u", &a, &b, &c, &d);
  return a >= 1 && a <= 255 && b <= 254 && c <= 254 && d >= 1 && d <= 255;
}

void readConfiguration(ModuleState& state, const ConfigurationFiles& files) {
  ConfigPaths paths = configPaths(state.simFolder);
  state.iniPath = paths.iniPath;
  state.cfgPath = paths.cfgPath;
  auto readIni = [&](const char* section, const char* key, const char* def) {
    return files.read(state.iniPath, section, key, def, kProfileValueBytes);
  };

  if (auto network = parseServer(readIni("GENERAL", "Server", "VATSIM"))) state.network = *network;
  if (auto rangeCheck = parseOnOff(readIni("GENERAL", "RangeCheck", "TRUE"))) state.rangeCheck = *rangeCheck;

  std::string hotKey = state.cfgPath.empty()
                           ? std::string(kDefaultHotKey)
                           : files.read(state.cfgPath, "KEYBOARD_MAIN", "ATC", kDefaultHotKey, kProfileValueBytes);
  parseHotKey(hotKey, state.hotKeyCode, state.hotKeyModifier);

  state.feeds[Vatsim].statusUrl =
      files.read(state.iniPath, "NETWORK", "VatsimStatusUrl", kDefaultVatsimStatusUrl, kProfileUrlBytes);
  state.feeds[Ivao].statusUrl =
      files.read(state.iniPath, "NETWORK", "IvaoStatusUrl", kDefaultIvaoStatusUrl, kProfileUrlBytes);

  if (auto remote = parseOnOff(readIni("REMOTE", "Remote", "FALSE"))) state.remoteMode = *remote;
  if (!state.remoteMode) return;

  state.remoteAddress = readIni("REMOTE", "RemoteAddress", "");
  if (!isValidAddress(state.remoteAddress)) {
    files.showError(kInvalidAddressMessage);
    state.remoteMode = 0;
  }
}

void readLogSetting(ModuleState& state, const ConfigurationFiles& files) {
  ConfigPaths paths = configPaths(state.simFolder);
  state.logPath = paths.logPath;
  // Only read: the module never writes it.
  if (auto log = parseOnOff(files.read(paths.iniPath, "GENERAL", "Log", "ON", kProfileValueBytes)))
    state.logEnabled = *log;
}

void saveConfiguration(const ModuleState& state, const ConfigurationFiles& files) {
  files.write(state.iniPath, "GENERAL", "Server", state.network != 0 ? "IVAO" : "VATSIM");
  files.write(state.iniPath, "GENERAL", "RangeCheck", state.rangeCheck != 0 ? "ON" : "OFF");
}

}  // namespace hv
