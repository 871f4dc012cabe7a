#include "tests/support/WinTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace hvtest {

std::chrono::milliseconds scaled(std::chrono::milliseconds limit) {
  const char* scale = std::getenv("HV_TIME_SCALE");
  return limit * (scale && std::atoi(scale) > 1 ? std::atoi(scale) : 1);
}

std::string windowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string binPath(const std::string& fileName) { return windowsPath(HV_BIN_DIR) + "\\" + fileName; }

std::string readFile(const std::string& path) {
  // Opened through CreateFile rather than the C runtime, whose handles are inheritable: a
  // program the module starts while a test is reading (the module inherits handles as
  // the voice program expects) would otherwise carry this handle and could find its own
  // log busy.
  HANDLE file = CreateFileW(std::filesystem::u8path(path).wstring().c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  return text;
}

void writeFile(const std::string& path, const std::string& content) {
  auto p = std::filesystem::u8path(path);
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
}

void setMachineString(const std::string& key, const char* valueName, const std::string& value) {
  RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), valueName, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void deleteMachineKey(const std::string& key) { RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str()); }

bool messageBoxShowing(const std::string& caption) { return FindWindowA("#32770", caption.c_str()) != nullptr; }

std::optional<std::string> answerMessageBox(const std::string& caption, std::chrono::milliseconds within) {
  auto deadline = std::chrono::steady_clock::now() + within;
  while (std::chrono::steady_clock::now() < deadline) {
    if (HWND box = FindWindowA("#32770", caption.c_str())) {
      // The text control of a message box has the id 0xFFFF; it may be created a
      // moment after the window itself.
      char text[1024] = {};
      for (int i = 0; i < 100 && GetDlgItemTextA(box, 0xFFFF, text, sizeof text) == 0; ++i) Sleep(10);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(10);
      return std::string(text);
    }
    Sleep(10);
  }
  return std::nullopt;
}

SimInstallation::SimInstallation(const std::string& folderName) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string base = std::string(temp) + "sim-" + std::to_string(GetCurrentProcessId()) + "-";
  for (int n = 0; std::filesystem::exists(std::filesystem::u8path(root_ = base + std::to_string(n))); ++n) {
  }
  simFolder_ = root_ + "\\" + folderName;
  std::filesystem::create_directories(std::filesystem::u8path(simFolder_ + "\\Modules"));
  setMachineString(kSimulatorKey, "EXE Path", simFolder_);
  deleteMachineKey(kAppPathKey);
}

SimInstallation::~SimInstallation() {
  deleteMachineKey(kSimulatorKey);
  deleteMachineKey(kAppPathKey);
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::u8path(root_), ignored);
}

std::string SimInstallation::installRogerWilco() {
  std::string folder = root_ + "\\Roger Wilco";
  std::filesystem::create_directories(std::filesystem::u8path(folder));
  rogerWilcoPath_ = folder + "\\roger.exe";
  CopyFileA(binPath("standin_roger.exe").c_str(), rogerWilcoPath_.c_str(), FALSE);
  setMachineString(kAppPathKey, nullptr, rogerWilcoPath_);
  return rogerWilcoPath_;
}

std::vector<std::string> SimInstallation::rogerWilcoStarts() const {
  std::vector<std::string> lines;
  if (rogerWilcoPath_.empty()) return lines;
  const std::string log = readFile(rogerWilcoPath_ + ".log");
  // A line without its line end is a start still being written: it counts once complete.
  size_t begin = 0;
  for (size_t end; (end = log.find('\n', begin)) != std::string::npos; begin = end + 1)
    lines.push_back(log.substr(begin, end - begin));
  return lines;
}

}  // namespace hvtest
