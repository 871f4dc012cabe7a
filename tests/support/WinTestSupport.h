// Helpers for the Win32 tests under Wine: time limits, paths, files, registry values,
// message boxes, and a simulator installation with a stand-in voice program.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace hvtest {

using namespace std::chrono_literals;

// A time limit stretched by HV_TIME_SCALE (a whole number, for an emulated CPU).
std::chrono::milliseconds scaled(std::chrono::milliseconds limit);

// Polls every 20 ms until `condition` holds; false after the (scaled) time.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds within = 5000ms) {
  for (auto until = std::chrono::steady_clock::now() + scaled(within);; Sleep(20)) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
  }
}

// "/a/b" -> "Z:\a\b" (Wine maps the Unix root to drive Z:).
std::string windowsPath(const std::string& unixPath);
// A built program or module of this build, e.g. binPath("Hallvoxen.dll").
std::string binPath(const std::string& fileName);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

// HKEY_LOCAL_MACHINE values. A null value name means the key's default value.
void setMachineString(const std::string& key, const char* valueName, const std::string& value);
void deleteMachineKey(const std::string& key);

// A message box of this desktop with the given caption: its text, after which it is
// closed with OK. Empty when none appeared within the time.
std::optional<std::string> answerMessageBox(const std::string& caption,
                                            std::chrono::milliseconds within = 5000ms);
// Whether a box with that caption is on screen now.
bool messageBoxShowing(const std::string& caption);

constexpr char kErrorCaption[] = "Hallvoxen Error";
// While an event of this name exists, the stand-in voice program stays running.
constexpr char kLingerEvent[] = "HvLingeringRogerStop";

// A simulator installation of one test: a folder named in the simulator's registry
// key, its Modules folder, Hallvoxen.ini and FS2002.CFG, and optionally the stand-in
// voice program registered under App Paths; all in a new folder under the temporary
// folder. The registry keys and that folder are removed at the end.
class SimInstallation {
 public:
  explicit SimInstallation(const std::string& folderName = "FS2002");
  ~SimInstallation();
  SimInstallation(const SimInstallation&) = delete;
  SimInstallation& operator=(const SimInstallation&) = delete;

  const std::string& simFolder() const { return simFolder_; }
  std::string iniPath() const { return simFolder_ + "\\Modules\\Hallvoxen.ini"; }
  std::string cfgPath() const { return simFolder_ + "\\FS2002.CFG"; }
  void writeIni(const std::string& text) { writeFile(iniPath(), text); }

  // Copies the stand-in voice program into a folder with a blank in its name and
  // registers it; returns its path.
  std::string installRogerWilco();
  // Command lines the stand-in has been started with, in order.
  std::vector<std::string> rogerWilcoStarts() const;

 private:
  std::string root_;
  std::string simFolder_;
  std::string rogerWilcoPath_;
};

constexpr char kSimulatorKey[] = "Software\\Microsoft\\Microsoft Games\\Flight Simulator\\8.0";
constexpr char kAppPathKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\roger.exe";

}  // namespace hvtest
