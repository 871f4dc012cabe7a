#include "module/win32/Configuration.h"

#include <windows.h>

#include <vector>

#include "common/win32/ErrorBox.h"

namespace hv {

namespace {

std::string readProfileValue(const std::string& path, const char* section, const char* key, const char* def,
                             std::size_t capacity) {
  std::vector<char> value(capacity, '\0');
  DWORD length = GetPrivateProfileStringA(section, key, def, value.data(), static_cast<DWORD>(capacity), path.c_str());
  return std::string(value.data(), length);
}

void writeProfileValue(const std::string& path, const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(section, key, value, path.c_str());
}

}  // namespace

ConfigurationFiles profileFiles() { return {&readProfileValue, &writeProfileValue, &showErrorBox}; }

void readConfiguration(ModuleState& state) { readConfiguration(state, profileFiles()); }

void saveConfiguration(const ModuleState& state) { saveConfiguration(state, profileFiles()); }

}  // namespace hv
