// Plays the simulator for scripts: a simulator installation, the sample networks on a
// loopback HTTP server, the IPC server window ("UIPCMAIN") on a message-pumping simulator
// thread and Hallvoxen.dll loaded there as the simulator loads it; then it follows the
// script's commands, one a line, and checks its expectations. Every module scenario of
// the Win32 tests is such a script (tests/win32/scenarios/*.txt); the first unmet
// expectation prints "SCENARIO FAILED" with its line and ends the run with exit code 1.
//
// Set-up (before start):  roger installed|empty|nofile  ini LINE  cfg LINE  folder NAME
//   nosimkey  entry I VALUE  serve  http PATH refuse|stall|truncate  listen ADDRESS
//   logfill  logdir  window (the IPC window now; without it, none)
// The module:  start (answers the boxes start-up shows)  box TEXT (the next one's text,
//   "|" for a line break)  threads N  unload [busy MS|waiting|abandoning]  reload
// The simulator:  com1 F  position LAT LON  pick  key CODE  delay MS  wait MS
// The exports:  mode V [RETURNS]  select V [RETURNS]  server N  status N [CALLSIGN]
//   flood N (N Get_Server calls with the module's threads held still)
// What reaches the outside:  starts TEXT  nostart  datagram TEXT  nodatagram
//   inikey KEY VALUE  inifile same|absent  log TEXT  logcount TEXT N  nolog  logrotated
//   requests PATH N  table I VALUE  menu TEXT  openings N  batchesok  boxshowing 0|1  httpstop
// The settings dialog:  dialog  click NAME  checked NAME 0|1  enabled NAME 0|1
//   lines A | B  dblclick N  keys N  closed  (NAME: active vatsim ivao range list ok cancel)
//
// usage: substitute_simulator [Hallvoxen.dll] [SCRIPT...]   (no script: standard input)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "demo/SampleNetworks.h"
#include "records/portable/AtcStation.h"
#include "tests/support/DatagramReceiver.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/ModuleThreadsProbe.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

const std::map<std::string, int> kControls = {{"active", 1000}, {"vatsim", 1001}, {"ivao", 1002},
                                              {"range", 1003},  {"list", 1004},   {"ok", IDOK},
                                              {"cancel", IDCANCEL}};

std::string rest(std::istringstream& in) {
  std::string text;
  std::getline(in >> std::ws, text);
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string oneLine(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " | ");
  return text;
}

HWND dialogOnScreen() {
  HWND found = nullptr;
  EnumWindows([](HWND w, LPARAM out) {
    char cls[32] = {}, caption[32] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, caption, sizeof caption);
    if (process != GetCurrentProcessId() || std::string(cls) != "#32770" || std::string(caption) != "Hallvoxen" ||
        !IsWindowVisible(w))
      return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
  }, reinterpret_cast<LPARAM>(&found));
  return found;
}

class Scenario {
 public:
  explicit Scenario(std::string dll) : dll_(std::move(dll)) {}
  ~Scenario() {
    if (running_) host_.deinitialise();
    host_.run([&] { sim_.destroy(); });
  }

  // Runs one command; false (with the reason in why_) when an expectation is not met.
  bool run(const std::string& command, std::istringstream& in);
  bool finish() { return boxes_.empty() || fail("start-up showed an unexpected box: " + boxes_.front()); }
  std::string why_;

 private:
  bool fail(const std::string& why) { return why_ = why, false; }
  bool expect(bool ok, const std::string& why) { return ok || fail(why); }
  SimInstallation& install() {
    if (!install_) install_ = std::make_unique<SimInstallation>(folder_);
    return *install_;
  }
  std::string iniValue(const std::string& key) {
    char value[256] = {};
    GetPrivateProfileStringA("GENERAL", key.c_str(), "<none>", value, sizeof value, install().iniPath().c_str());
    return value;
  }
  std::string logPath() { return install().simFolder() + "\\Modules\\Hallvoxen.log"; }
  int logCount(const std::string& part) {
    std::istringstream log(readFile(logPath()));
    int n = 0;
    for (std::string line; std::getline(log, line);) n += line.find(part) != std::string::npos;
    return n;
  }
  template <typename Fn>
  Fn* api(const char* name) { return host_.exported<Fn>(name); }
  std::uint32_t status(hv::AtcStation* record = nullptr) {
    unsigned char buffer[256];
    std::memset(buffer, 0xEE, sizeof buffer);
    std::uint32_t s = api<std::uint32_t __stdcall(void*)>("HALLVOXEN_Get_Status")(buffer);
    if (record) std::memcpy(record, buffer, sizeof *record);
    untouched_ = buffer[0] == 0xEE && std::memcmp(buffer, buffer + 1, 255) == 0;
    if (s == 2 || s == 4) untouched_ = buffer[192] == 0xEE;
    return s;
  }
  int threads() { return threadsStartedBy(host_.module()); }
  HWND control(const std::string& name) { return GetDlgItem(dialog_, kControls.count(name) ? kControls.at(name) : 0); }
  Lines listLines() {
    Lines lines;
    HWND list = control("list");
    for (LRESULT i = 0, n = SendMessageA(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
      char text[256] = {};
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      lines.push_back(text);
    }
    return lines;
  }
  bool unload(const std::string& how, int ms);

  std::string dll_, folder_ = "FS2002", iniText_, iniAtStart_;
  std::unique_ptr<SimInstallation> install_;
  std::string rogerWilco_;
  std::size_t startsSeen_ = 0;
  LoopbackHttpServer http_;
  std::unique_ptr<DatagramReceiver> receiver_;
  ModuleHost host_;
  SubstituteSimulator sim_;
  Lines boxes_;
  HWND dialog_ = nullptr;
  bool untouched_ = false, running_ = false;
};

bool Scenario::unload(const std::string& how, int ms) {
  std::chrono::milliseconds took{-1};
  int left = -1;
  bool ready = true;
  host_.run([&] {
    // The simulator thread is busy, or has looked at its queue since a module thread's
    // batch came: either way the module's threads wait for it when unload begins.
    if (how == "busy") Sleep(ms);
    if (how == "waiting")
      ready = waitUntil([] { return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; });
    took = host_.deinitialise();
    left = threads();
  });
  running_ = false;
  if (!ready) return fail("no module thread sent a batch");
  if (took >= std::chrono::milliseconds(200)) return fail("unload took " + std::to_string(took.count()) + " ms");
  // An abandoned download's transfer runs on until its server gives up.
  return expect(left == 0 || how == "abandoning", std::to_string(left) + " module threads left after unload");
}

bool Scenario::run(const std::string& c, std::istringstream& in) {
  auto number = [&] {
    std::string word;
    in >> word;
    return word.empty() ? -1LL : std::stoll(word, nullptr, 0);
  };
  // ---- set-up
  if (c == "folder") return folder_ = rest(in), true;
  if (c == "roger") {
    const std::string how = rest(in);
    if (how == "installed") rogerWilco_ = install().installRogerWilco();
    if (how == "empty") setMachineString(kAppPathKey, nullptr, "");
    if (how == "nofile") setMachineString(kAppPathKey, nullptr, install().simFolder() + "\\no such\\roger.exe");
    return true;
  }
  if (c == "ini" || c == "cfg") {
    install();
    if (c == "ini") return iniText_ += rest(in) + "\r\n", install().writeIni(iniText_), true;
    std::string cfg = readFile(install().cfgPath()) + rest(in) + "\r\n";
    return install().writeCfg(cfg), true;
  }
  if (c == "nosimkey") return install(), deleteMachineKey(kSimulatorKey), true;
  if (c == "entry") {
    const int i = static_cast<int>(number());
    return sim_.setTableEntry(i, static_cast<std::uint32_t>(number())), true;
  }
  if (c == "serve") {
    hvdemo::ServedNetworks served;
    std::string error;
    if (!hvdemo::serveSampleNetworks(http_, windowsPath(HV_SOURCE_DIR "/samples/networks"), served, error))
      return fail(error);
    iniText_ += "[NETWORK]\r\nVatsimStatusUrl=" + served.vatsimStatusUrl + "\r\nIvaoStatusUrl=" + served.ivaoStatusUrl + "\r\n";
    return install().writeIni(iniText_), true;
  }
  if (c == "http") {
    std::string path, how;
    in >> path >> how;
    http_.setBehaviour(path, how == "refuse" ? HttpBehaviour::Refuse : how == "stall" ? HttpBehaviour::Stall
                                                                                     : HttpBehaviour::Truncate);
    return true;
  }
  if (c == "listen") {
    receiver_ = std::make_unique<DatagramReceiver>(rest(in).c_str());
    return expect(receiver_->bound(), "cannot bind port 2464");
  }
  if (c == "logfill") {
    writeFile(logPath(), std::string(1024 * 1024 - 100, 'x'));
    return writeFile(logPath() + ".1", "older"), true;
  }
  if (c == "logdir") return std::filesystem::create_directories(std::filesystem::u8path(logPath())), true;
  if (c == "window") {
    bool created = false;
    host_.run([&] { created = sim_.create(); });
    return expect(created, "cannot create the simulator window");
  }

  // ---- the module
  if (c == "start") {
    install();
    iniAtStart_ = readFile(install().iniPath());
    if (!host_.load(dll_)) return fail("cannot load " + dll_);
    PendingCall call = host_.initialise();
    running_ = true;
    for (auto until = Clock::now() + std::chrono::seconds(10); !call.done() && Clock::now() < until;)
      if (auto text = answerMessageBox(kErrorCaption, std::chrono::milliseconds(50))) boxes_.push_back(oneLine(*text));
    if (auto late = answerMessageBox(kErrorCaption, std::chrono::milliseconds(300))) boxes_.push_back(oneLine(*late));
    return expect(call.done(), "the initialisation entry did not return");
  }
  if (c == "box") {
    const std::string text = rest(in);
    if (boxes_.empty()) return fail("no box showing \"" + text + "\"");
    const std::string got = boxes_.front();
    boxes_.erase(boxes_.begin());
    return expect(got == text, "the box showed \"" + got + "\"");
  }
  if (c == "threads") {
    const int n = static_cast<int>(number());
    return expect(waitUntil([&] { return threads() == n; }), std::to_string(threads()) + " module threads");
  }
  if (c == "unload") {
    std::string how;
    in >> how;
    return unload(how, static_cast<int>(number()));
  }
  if (c == "reload") {
    HMODULE first = host_.module();
    host_.unload();
    if (!host_.load(dll_)) return fail("cannot load again");
    if (!expect(host_.module() == first, "the image was unmapped while a transfer ran")) return false;
    running_ = true;
    return host_.initialise().wait(std::chrono::seconds(10)) || fail("the initialisation entry did not return");
  }

  // ---- the simulator
  if (c == "com1") return sim_.setCom1(static_cast<std::uint16_t>(number())), true;
  if (c == "position") {
    double lat = 0, lon = 0;
    in >> lat >> lon;
    return sim_.setPosition(lat, lon), true;
  }
  if (c == "pick") return expect(sim_.pickMenuItem(), "no menu item to pick");
  if (c == "key") return expect(sim_.pressKey(static_cast<std::uint8_t>(number())) > 0, "the key activated no entry");
  if (c == "delay") return sim_.setReplyDelay(std::chrono::milliseconds(number())), true;
  if (c == "wait") return Sleep(static_cast<DWORD>(number())), true;

  // ---- the exports
  if (c == "mode" || c == "select") {
    const auto value = static_cast<std::uint32_t>(number());
    const long long expected = number();
    const std::uint32_t got =
        api<std::uint32_t __stdcall(std::uint32_t)>(c == "mode" ? "HALLVOXEN_Set_Mode" : "HALLVOXEN_Select_Server")(value);
    return expect(expected < 0 || got == expected, c + " returned " + std::to_string(got));
  }
  if (c == "server") {
    const std::uint32_t got = api<std::uint32_t __stdcall()>("HALLVOXEN_Get_Server")();
    return expect(got == number(), "Get_Server returned " + std::to_string(got));
  }
  if (c == "status") {
    const long long n = number();
    std::string callsign;
    in >> callsign;
    hv::AtcStation record{};
    std::uint32_t got = 0;
    const bool ok = waitUntil([&] {
      got = status(&record);
      return got == n && untouched_ && (callsign.empty() || callsign == record.callsign);
    }, std::chrono::seconds(20));
    return expect(ok, "Get_Status returned " + std::to_string(got) + " with " +
                          (untouched_ ? std::string(record.callsign) : "the buffer written beyond its record"));
  }
  if (c == "flood") {
    const long long n = number();
    host_.run([&] {
      // With the module's threads held still, the log's writer cannot empty its queue.
      suspendThreadsStartedBy(host_.module(), true);
      auto getServer = api<std::uint32_t __stdcall()>("HALLVOXEN_Get_Server");
      for (int i = 0; i < n; ++i) getServer();
      suspendThreadsStartedBy(host_.module(), false);
    });
    return true;
  }

  // ---- the outside
  if (c == "starts" || c == "nostart") {
    const std::string text = rest(in);
    if (c == "nostart") {
      Sleep(1000);
      const Lines all = install().rogerWilcoStarts();
      return expect(all.size() == startsSeen_, "RogerWilco was started with " + (all.empty() ? "" : all.back()));
    }
    const Lines all = install().waitForRogerWilcoStarts(startsSeen_ + 1, std::chrono::seconds(8));
    if (all.size() <= startsSeen_) return fail("RogerWilco was not started with " + text);
    const std::string got = all[startsSeen_++];
    return expect(got == rogerWilco_ + " " + text, "RogerWilco was started as " + got);
  }
  if (c == "datagram" || c == "nodatagram") {
    const std::string text = rest(in);
    if (!receiver_) return fail("no listen before " + c);
    // Heartbeats come every cycle in remote mode; only a heartbeat expected is looked at.
    auto got = receiver_->next(std::chrono::milliseconds(c == "datagram" ? 3000 : 1200));
    while (got == "{SYNC}" && text != "{SYNC}" && c == "datagram") got = receiver_->next(std::chrono::milliseconds(3000));
    if (c == "nodatagram") return expect(!got, "a datagram came: " + got.value_or(""));
    return expect(got == text, "the datagram was \"" + got.value_or("(none)") + "\"");
  }
  if (c == "inikey") {
    std::string key;
    in >> key;
    const std::string value = rest(in), got = iniValue(key);
    return expect(got == value, key + "=" + got + " in Hallvoxen.ini");
  }
  if (c == "inifile") {
    const std::string how = rest(in);
    if (how == "absent") return expect(!install().iniExists(), "Hallvoxen.ini was written");
    return expect(readFile(install().iniPath()) == iniAtStart_, "Hallvoxen.ini changed");
  }
  if (c == "log") {
    const std::string part = rest(in);
    return expect(waitUntil([&] { return logCount(part) > 0; }), "the log shows no \"" + part + "\"");
  }
  if (c == "logcount") {
    std::string text = rest(in);
    const std::size_t space = text.find_last_of(' ');
    const int n = std::stoi(text.substr(space + 1)), got = logCount(text.substr(0, space));
    return expect(got == n, std::to_string(got) + " log lines with \"" + text.substr(0, space) + "\"");
  }
  if (c == "logrotated") {
    const bool older = readFile(logPath() + ".1").size() == 1024 * 1024 - 100;
    return expect(older && readFile(logPath()).find("Hallvoxen ") == 24, "the full log was not rotated");
  }
  if (c == "boxshowing") {
    const bool want = rest(in) == "1";
    return expect(waitUntil([&] { return messageBoxShowing(kErrorCaption) == want; }), "a box is showing: " + std::to_string(!want));
  }
  if (c == "httpstop") {
    http_.stop();  // an abandoned transfer ends when its server is gone, and its thread with it
    return expect(waitUntil([&] { return threads() == 0; }, std::chrono::seconds(5)), "module threads outlive the server");
  }
  if (c == "nolog") return expect(!std::filesystem::is_regular_file(std::filesystem::u8path(logPath())), "a log was written");
  if (c == "requests") {
    std::string path;
    in >> path;
    const int n = static_cast<int>(number());
    if (n == 0) return expect(path == "-" ? http_.requests().empty() : http_.requestsFor(path) == 0, "a download");
    return expect(http_.waitForRequests(path, n, std::chrono::seconds(10)), std::to_string(http_.requestsFor(path)) +
                                                                                 " requests for " + path);
  }
  if (c == "table") {
    const int i = static_cast<int>(number());
    const auto want = static_cast<std::uint32_t>(number());
    const std::uint32_t got = sim_.tableEntry(i);
    return expect(waitUntil([&] { return sim_.tableEntry(i) == want; }, std::chrono::milliseconds(3000)),
                  "key-table entry " + std::to_string(i) + " holds " + std::to_string(got));
  }
  if (c == "menu") {
    const std::string text = rest(in);
    return expect(waitUntil([&] { return sim_.menuItemText() == text; }), "the menu item is \"" + sim_.menuItemText() + "\"");
  }
  if (c == "batchesok") {  // the batches of the worker and the dialog thread never mixed
    const int bad = sim_.countBatches([](const SubstituteSimulator::Batch& b) { return b.reply != 1; });
    return expect(bad == 0, std::to_string(bad) + " batches malformed");
  }
  if (c == "openings") {
    const int got = sim_.countBatches([](const SubstituteSimulator::Batch& b) { return b.hasRead(0x3304); });
    return expect(got == number(), std::to_string(got) + " openings of the IPC link");
  }

  // ---- the settings dialog
  if (c == "dialog") return expect(waitUntil([&] { return (dialog_ = dialogOnScreen()) != nullptr; }), "no dialog");
  if (c == "click") return SendMessageA(control(rest(in)), BM_CLICK, 0, 0), true;
  if (c == "checked" || c == "enabled") {
    std::string name;
    in >> name;
    const bool want = number() != 0, got = c == "checked" ? SendMessageA(control(name), BM_GETCHECK, 0, 0) == BST_CHECKED
                                    : IsWindowEnabled(control(name)) != FALSE;
    return expect(got == want, name + (got ? " is " : " is not ") + c);
  }
  if (c == "lines") {
    Lines want;
    std::string text;
    std::getline(in, text);  // the lines' own leading blanks count
    text = text.empty() ? text : text.substr(1);
    while (!text.empty() && text.back() == '\r') text.pop_back();
    for (std::size_t at = 0, bar = 0; !text.empty() && bar != std::string::npos; at = bar + 3) {
      bar = text.find(" | ", at);
      want.push_back(text.substr(at, bar == std::string::npos ? bar : bar - at));
    }
    std::string got;
    for (const auto& line : listLines()) got += (got.empty() ? "" : " | ") + line;
    return expect(listLines() == want, "the list shows: " + got);
  }
  if (c == "dblclick" || c == "keys") {
    int line = 0;
    in >> line;
    HWND list = control("list");
    if (c == "keys") {
      SendMessageA(list, LB_SETCURSEL, line, 0);
      return SendMessageA(list, WM_KEYDOWN, 'S', 0x001F0001), true;
    }
    RECT box{};
    SendMessageA(list, LB_GETITEMRECT, line, reinterpret_cast<LPARAM>(&box));
    const LPARAM at = MAKELPARAM(box.left + 4, (box.top + box.bottom) / 2);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
      SendMessageA(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
    return true;
  }
  if (c == "closed") {
    HWND d = dialog_;
    return expect(waitUntil([&] { return !IsWindowVisible(d); }, std::chrono::milliseconds(1000)), "the dialog is open");
  }
  return fail("unknown command " + c);
}

// Runs one script; 0 when every expectation was met.
int runScript(const std::string& dll, std::istream& script, const std::string& name) {
  Scenario scenario(dll);
  int number = 0;
  bool ok = true;
  for (std::string line; ok && std::getline(script, line);) {
    ++number;
    std::istringstream in(line);
    std::string command;
    if (!(in >> command) || command[0] == '#') continue;
    ok = scenario.run(command, in);
  }
  if (ok) ok = scenario.finish();
  if (!ok) std::printf("SCENARIO FAILED: %s line %d: %s\n", name.c_str(), number, scenario.why_.c_str());
  else std::printf("scenario %s: every expectation met\n", name.c_str());
  std::fflush(stdout);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dll = binPath("Hallvoxen.dll");
  Lines scripts;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".dll") == 0) dll = arg;
    else scripts.push_back(arg[0] == '/' ? windowsPath(arg) : arg);
  }
  if (scripts.empty()) return runScript(dll, std::cin, "(standard input)");
  int failed = 0;
  for (const std::string& path : scripts) {
    std::ifstream script(std::filesystem::u8path(path));
    failed += script ? runScript(dll, script, path) : 1;
  }
  return failed == 0 ? 0 : 1;
}
