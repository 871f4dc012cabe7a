#include "common/win32/RogerWilco.h"

#include <windows.h>

#include <vector>

#include "common/win32/ScopedWin.h"

namespace hv {

std::string readRogerWilcoPath() {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRogerWilcoAppPathKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return {};
  ScopedRegKey key(raw);
  char value[256] = {};
  DWORD size = 255;  // leaves room for a terminator the registry may not have stored
  if (RegQueryValueExA(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
    return {};
  return std::string(value);
}

bool StartRogerWilco(const std::string& programPath, const std::string& commandText) {
  HWND previous = GetActiveWindow();

  std::string line = programPath + " " + commandText;
  std::vector<char> commandLine(line.begin(), line.end());
  commandLine.push_back('\0');  // CreateProcessA may write into the command line

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessA(programPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                nullptr, nullptr, &startup, &process);
  const DWORD error = started ? ERROR_SUCCESS : GetLastError();
  if (started) {  // never waited for: the handles are closed at once
    ScopedKernelHandle thread(process.hThread);
    ScopedKernelHandle child(process.hProcess);
  }
  if (previous) SetForegroundWindow(previous);
  SetLastError(error);  // for a caller that reports why the start failed
  return started != FALSE;
}

}  // namespace hv
