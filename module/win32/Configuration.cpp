#include "module/win32/Configuration.h"

#include <windows.h>

#include <vector>

#include "common/win32/ErrorBox.h"
#include "module/win32/LoggedErrorBox.h"

namespace hv {

namespace {

// The profile functions take paths of at most MAX_PATH characters. A longer path is
// handed over with its folder in the short (8.3) form, which the system gives for
// folders of any length through the "\\?\" prefix of the wide functions.
std::string profilePath(const std::string& path) {
  if (path.size() < MAX_PATH) return path;
  std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return path;
  std::string folder = "\\\\?\\" + path.substr(0, slash);

  std::wstring wideFolder(folder.size() + 1, L'\0');
  int wideLength = MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wideFolder.data(), static_cast<int>(wideFolder.size()));
  if (wideLength == 0) return path;
  std::wstring shortFolder(32768, L'\0');
  DWORD shortLength = GetShortPathNameW(wideFolder.c_str(), shortFolder.data(), static_cast<DWORD>(shortFolder.size()));
  if (shortLength == 0 || shortLength >= shortFolder.size()) return path;
  shortFolder.resize(shortLength);
  if (shortFolder.rfind(L"\\\\?\\", 0) == 0) shortFolder.erase(0, 4);

  std::string narrow(shortFolder.size() * 2 + 1, '\0');
  int narrowLength = WideCharToMultiByte(CP_ACP, 0, shortFolder.c_str(), -1, narrow.data(), static_cast<int>(narrow.size()), nullptr, nullptr);
  if (narrowLength == 0) return path;
  narrow.resize(narrowLength - 1);
  return narrow + path.substr(slash);
}

std::string readProfileValue(const std::string& path, const char* section, const char* key, const char* def,
                             std::size_t capacity) {
  std::vector<char> value(capacity, '\0');
  DWORD length = GetPrivateProfileStringA(section, key, def, value.data(), static_cast<DWORD>(capacity),
                                           profilePath(path).c_str());
  return std::string(value.data(), length);
}

void writeProfileValue(const std::string& path, const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(section, key, value, profilePath(path).c_str());
}

}  // namespace

ConfigurationFiles profileFiles(LogWriter& log) {
  return {&readProfileValue, &writeProfileValue, [&log](const char* message) { showLoggedErrorBox(log, message); }};
}

void readConfiguration(ModuleState& state, LogWriter& log) { readConfiguration(state, profileFiles(log)); }

void saveConfiguration(const ModuleState& state) {
  saveConfiguration(state, ConfigurationFiles{&readProfileValue, &writeProfileValue, &showErrorBox});
}

}  // namespace hv
