// Plays the simulator for scripts: a simulator installation, the sample networks on a
// loopback HTTP server, the IPC server window ("UIPCMAIN") on a message-pumping simulator
// thread and Hallvoxen.dll loaded there as the simulator loads it; then it follows the
// script's commands, one a line, and checks its expectations. Every scenario of the
// Win32 tests is such a script (tests/win32/scenarios/*.txt), and tests/smoke32/run.sh
// plays some against the shipped 32-bit build; the first unmet expectation prints
// "SCENARIO FAILED" with its line and ends the run with exit code 1. Every entry and
// export call must keep the simulator thread's stack pointer and x87 control word
// (tests/support/ModuleHost.h).
//
// Set-up (before start):  roger installed|empty|nofile|lingering  ini LINE  cfg LINE
//   folder NAME  nosimkey  entry I VALUE  serve  http PATH refuse|stall|truncate|huge|hugestream
//   listen ADDRESS  logfill  logdir  window (the IPC window now; without it, none)
// The module:  start (answers the boxes start-up shows)  box TEXT (the next one's text,
//   "|" for a line break)  threads N  unload [busy MS|waiting|abandoning]  reload
// The simulator:  com1 F  position LAT LON  fixed LAT LON (the simulator's 64-bit fixed
//   point)  pick  key CODE  delay MS  wait MS
// The exports:  mode V [RETURNS]  select V [RETURNS]  server N  status N [CALLSIGN]
//   record FREQ CALLSIGN CHANNEL LAT LON RANGE (the last status's station record)
//   flood N (N Get_Server calls with the module's threads held still)
// What reaches the outside:  starts TEXT  nostart  datagram TEXT  nodatagram
//   inikey KEY VALUE  inifile same|absent  log TEXT  logcount TEXT N  nolog  logrotated
//   requests PATH N  table I VALUE  menu TEXT  openings N  batchesok  boxshowing 0|1  httpstop
// The settings dialog:  dialog  click NAME  checked NAME 0|1  enabled NAME 0|1
//   lines A | B  dblclick N  keys N  closed  (NAME: active vatsim ivao range list ok cancel)
// Pelkorin:  pelkorin start|up|exits CODE|menu KEY (the latest one started; "menu" right-
//   clicks the tray icon and presses the key)  send TEXT (a datagram to 127.0.0.1:2464)
//   tray absent|contact|nocontact [HOLD_MS]  answer error|about TEXT (answers the box)
// In the texts of send, starts and answer, "\0" is a NUL and "c{N}" N times the character c.
//
// usage: substitute_simulator [Hallvoxen.dll] [Pelkorin.exe] [SCRIPT...]   (no script:
//   standard input; by default the module and Pelkorin of this build)
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
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

#include "common/win32/ScopedWin.h"
#include "common/win32/Winsock.h"
#include "records/portable/AtcStation.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SampleNetworks.h"
#include "tests/support/StationRecords.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/TrayOnScreen.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace hvtest;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

const std::map<std::string, int> kControls = {{"active", 1000}, {"vatsim", 1001}, {"ivao", 1002},
                                              {"range", 1003},  {"list", 1004},   {"ok", IDOK},
                                              {"cancel", IDCANCEL}};

std::string oneLine(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " | ");
  return text;
}

// "\0" -> NUL, "c{N}" -> N times c.
std::string expand(const std::string& text) {
  std::string out;
  for (std::size_t i = 0, close; i < text.size(); ++i)
    if (text.compare(i, 2, "\\0") == 0)
      out += '\0', ++i;
    else if (text[i] == '{' && !out.empty() && (close = text.find('}', i)) != std::string::npos && close > i + 1 &&
             text.find_first_not_of("0123456789", i + 1) == close)
      out.append(std::stoul(text.substr(i + 1, close - i - 1)) - 1, out.back()), i = close;
    else
      out += text[i];
  return out;
}

// The threads of this process that a module started (their start address lies in its
// image): counted, or held still, or let go on.
int threadsStartedBy(HMODULE module, DWORD (WINAPI* act)(HANDLE) = nullptr) {
  using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
  if (!query || !module) return -1;
  const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  const hv::ScopedKernelHandle snapshot(taken == INVALID_HANDLE_VALUE ? nullptr : taken);
  int count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
    hv::ScopedKernelHandle thread(entry.th32OwnerProcessID != GetCurrentProcessId() ? nullptr
        : OpenThread(THREAD_QUERY_INFORMATION | THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
    const char* start = nullptr;
    HMODULE owner = nullptr;
    if (thread && query(thread.get(), 9 /* ThreadQuerySetWin32StartAddress */, &start, sizeof start, nullptr) == 0 &&
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, start,
                           &owner) && owner == module) {
      ++count;
      if (act) act(thread.get());
    }
  }
  return count;
}

// Port 2464 of an IPv4 address: the remote launcher's.
sockaddr_in launcherAt(const std::string& address) {
  sockaddr_in at = {};
  at.sin_family = AF_INET;
  at.sin_port = htons(2464);
  at.sin_addr.s_addr = inet_addr(address.c_str());
  return at;
}

class Scenario {
 public:
  Scenario(std::string dll, std::string pelkorin) : dll_(std::move(dll)), pelkorin_(std::move(pelkorin)) {}
  ~Scenario() {  // then host_ de-initialises the module if it runs, and the window goes with its thread
    for (const PROCESS_INFORMATION& p : pelkorins_) TerminateProcess(p.hProcess, 99), CloseHandle(p.hProcess);
    if (lingering_) SetEvent(lingering_.get());
  }

  // Runs one command; false (with the reason in why_) when an expectation is not met,
  // or when a call into the module broke the caller's stack pointer or control word.
  bool run(const std::string& command, std::istringstream& in) {
    return runCommand(command, in) && (host_.fault().empty() || fail(host_.fault()));
  }
  bool finish() { return boxes_.empty() || fail("start-up showed an unexpected box: " + boxes_.front()); }
  std::string why_;

 private:
  bool fail(const std::string& why) { return why_ = why, false; }
  bool expect(bool ok, const std::string& why) { return ok || fail(why); }
  SimInstallation& install() {
    if (!install_) install_ = std::make_unique<SimInstallation>(folder_);
    return *install_;
  }
  std::string logPath() { return install().simFolder() + "\\Modules\\Hallvoxen.log"; }
  int threads() { return threadsStartedBy(host_.module()); }
  HWND control(const std::string& name) { return GetDlgItem(dialog_, kControls.count(name) ? kControls.at(name) : 0); }
  bool runCommand(const std::string& command, std::istringstream& in);

  std::string dll_, pelkorin_, folder_ = "FS2002", iniText_, iniAtStart_, rogerWilco_;
  std::unique_ptr<SimInstallation> install_;
  std::size_t startsSeen_ = 0;
  LoopbackHttpServer http_;
  std::unique_ptr<hv::UdpSocket> receiver_;
  SubstituteSimulator sim_;
  Lines boxes_;
  hv::AtcStation record_{};
  std::vector<PROCESS_INFORMATION> pelkorins_;
  hv::ScopedKernelHandle lingering_;
  HWND dialog_ = nullptr;
  ModuleHost host_;  // destroyed first, while all else is still there
};

bool Scenario::runCommand(const std::string& c, std::istringstream& in) {
  std::string word;
  auto next = [&]() -> const std::string& { return word.clear(), in >> word, word; };
  auto number = [&] { return next().empty() ? -1LL : std::stoll(word, nullptr, 0); };
  auto rest = [&] {
    std::getline(in >> std::ws, word);
    while (!word.empty() && (word.back() == '\r' || word.back() == ' ')) word.pop_back();
    return word;
  };
  // ---- set-up
  if (c == "folder") return folder_ = rest(), true;
  if (c == "roger") {
    const std::string how = rest();
    if (how == "installed" || how == "lingering") rogerWilco_ = install().installRogerWilco();
    if (how == "empty") setMachineString(kAppPathKey, nullptr, "");
    if (how == "nofile") setMachineString(kAppPathKey, nullptr, install().simFolder() + "\\no such\\roger.exe");
    // The stand-in then stays running until the scenario ends, as the voice program does.
    if (how == "lingering") lingering_.reset(CreateEventA(nullptr, TRUE, FALSE, kLingerEvent));
    return true;
  }
  if (c == "ini") return iniText_ += rest() + "\r\n", install().writeIni(iniText_), true;
  if (c == "cfg") return writeFile(install().cfgPath(), readFile(install().cfgPath()) + rest() + "\r\n"), true;
  if (c == "nosimkey") return install(), deleteMachineKey(kSimulatorKey), true;
  if (c == "entry") {
    const int i = static_cast<int>(number());
    return sim_.setTableEntry(i, static_cast<std::uint32_t>(number())), true;
  }
  if (c == "serve") {
    ServedNetworks served;
    std::string error;
    if (!serveSampleNetworks(http_, windowsPath(HV_SOURCE_DIR "/samples/networks"), served, error))
      return fail(error);
    iniText_ += "[NETWORK]\r\nVatsimStatusUrl=" + served.vatsimStatusUrl + "\r\nIvaoStatusUrl=" + served.ivaoStatusUrl + "\r\n";
    return install().writeIni(iniText_), true;
  }
  if (c == "http") {
    const std::string path = next(), how = next();
    // "huge": a file one byte over the module's 16 MiB, announced; "hugestream": without a length.
    if (how.compare(0, 4, "huge") == 0) http_.addFile(path, std::string(16 * 1024 * 1024 + 1, 'x'));
    http_.setBehaviour(path, how == "refuse" ? HttpBehaviour::Refuse : how == "stall" ? HttpBehaviour::Stall
                             : how == "truncate" ? HttpBehaviour::Truncate : how == "hugestream" ? HttpBehaviour::NoLength
                                                                                                 : HttpBehaviour::Serve);
    return true;
  }
  if (c == "listen") {  // another program's test may hold the port for a moment
    receiver_ = std::make_unique<hv::UdpSocket>();
    const sockaddr_in local = launcherAt(rest());
    for (int attempt = 0; attempt < 100; ++attempt, Sleep(100))
      if (bind(receiver_->get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0) return true;
    return fail("cannot bind port 2464");
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
  if (c == "start" || c == "reload") {
    const HMODULE first = host_.module();
    if (c == "reload") host_.unload();
    iniAtStart_ = readFile(install().iniPath());
    if (!host_.load(dll_)) return fail("cannot load " + dll_);
    if (c == "reload" && host_.module() != first) return fail("the image was unmapped while a transfer ran");
    const std::future<void> call = host_.initialise();
    const auto done = [&] { return call.wait_for(0ms) == std::future_status::ready; };
    for (auto until = Clock::now() + scaled(10000ms); !done() && Clock::now() < until;)
      if (auto text = answerMessageBox(kErrorCaption, 50ms)) boxes_.push_back(oneLine(*text));
    if (auto late = answerMessageBox(kErrorCaption, 300ms)) boxes_.push_back(oneLine(*late));
    return expect(done(), "the initialisation entry did not return");
  }
  if (c == "box" || c == "answer") {  // box: the next one start-up showed; answer: one showing now, answered
    const std::string caption = c == "box" || next() == "error" ? kErrorCaption : "Pelkorin", want = expand(rest());
    std::optional<std::string> got;
    if (c == "box" && !boxes_.empty()) got = boxes_.front(), boxes_.erase(boxes_.begin());
    if (c == "answer") got = answerMessageBox(caption, scaled(10000ms));
    return expect(got && oneLine(*got) == want, "the box showed \"" + oneLine(got.value_or("(none)")) + "\"");
  }
  if (c == "threads") {
    const int n = static_cast<int>(number());
    return expect(waitUntil([&] { return threads() == n; }), std::to_string(threads()) + " module threads");
  }
  if (c == "unload") {  // [busy MS|waiting|abandoning]
    const std::string how = next();
    const auto ms = static_cast<DWORD>(number());
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
    if (!ready) return fail("no module thread sent a batch");
    if (took >= scaled(200ms)) return fail("unload took " + std::to_string(took.count()) + " ms");
    // An abandoned download's transfer runs on until its server gives up.
    return expect(left == 0 || how == "abandoning", std::to_string(left) + " module threads left after unload");
  }

  // ---- the simulator
  if (c == "com1") return sim_.setCom1(static_cast<std::uint16_t>(number())), true;
  if (c == "position" || c == "fixed") {  // fixed: the simulator's 64-bit fixed point
    const std::string lat = next(), lon = next();
    if (c == "fixed") return sim_.setPositionFixed(std::stoull(lat), std::stoull(lon)), true;
    return sim_.setPosition(std::stod(lat), std::stod(lon)), true;
  }
  if (c == "pick") return expect(sim_.pickMenuItem(), "no menu item to pick");
  if (c == "key") return expect(sim_.pressKey(static_cast<std::uint8_t>(number())) > 0, "the key activated no entry");
  if (c == "delay") return sim_.setReplyDelay(std::chrono::milliseconds(number())), true;
  if (c == "wait") return Sleep(static_cast<DWORD>(number())), true;

  // ---- the exports
  if (c == "mode" || c == "select" || c == "server") {  // mode and select: the argument, then the result if given
    const int arguments = c == "server" ? 0 : 1;
    const auto value = static_cast<std::uint32_t>(arguments ? number() : 0);
    const long long expected = number();
    const char* name = c == "mode" ? "HALLVOXEN_Set_Mode" : c == "select" ? "HALLVOXEN_Select_Server" : "HALLVOXEN_Get_Server";
    const std::uint32_t got = host_.call(name, arguments, value);
    return expect((expected < 0 && arguments) || got == expected, std::string(name) + " returned " + std::to_string(got));
  }
  if (c == "status") {
    const long long n = number();
    const std::string callsign = next();
    std::uint32_t got = 0;
    bool untouched = false;  // nothing written, or with a station nothing beyond its 192-byte record
    const bool ok = waitUntil([&] {
      unsigned char buffer[256];
      std::memset(buffer, 0xEE, sizeof buffer);
      got = host_.call("HALLVOXEN_Get_Status", 1, reinterpret_cast<std::uintptr_t>(buffer));
      std::memcpy(&record_, buffer, sizeof record_);
      untouched = got == 2 || got == 4 ? buffer[192] == 0xEE : buffer[0] == 0xEE && std::memcmp(buffer, buffer + 1, 255) == 0;
      return got == n && untouched && (callsign.empty() || callsign == record_.callsign);
    }, 20000ms);
    return expect(ok, "Get_Status returned " + std::to_string(got) + " with " +
                          (untouched ? std::string(record_.callsign) : "the buffer written beyond its record"));
  }
  if (c == "record") {  // the position as the network's file writes it, to the last bit (%.17g round-trips)
    std::uint16_t frequency = 0;
    std::string callsign, channel;
    double lat = 0, lon = 0;
    std::int32_t range = 0;
    in >> frequency >> callsign >> channel >> lat >> lon >> range;
    const auto text = [](const hv::AtcStation& r) {
      char line[400];
      std::snprintf(line, sizeof line, "%u %s %s %.17g %.17g %d", r.frequency, r.callsign, r.voiceChannel, r.latitude,
                    r.longitude, static_cast<int>(r.range));
      return std::string(line);
    };
    const std::string want = text(station(frequency, callsign.c_str(), channel.c_str(), lat, lon, range));
    return expect(text(record_) == want, "the record holds " + text(record_));
  }
  if (c == "flood") {
    const long long n = number();
    host_.run([&] {
      // With the module's threads held still, the log's writer cannot empty its queue.
      threadsStartedBy(host_.module(), SuspendThread);
      for (int i = 0; i < n; ++i) host_.call("HALLVOXEN_Get_Server");
      threadsStartedBy(host_.module(), ResumeThread);
    });
    return true;
  }

  // ---- the outside
  if (c == "starts" || c == "nostart") {
    const std::string text = expand(rest());
    if (c == "nostart") Sleep(static_cast<DWORD>(scaled(1000ms).count()));
    Lines all;
    const bool started = waitUntil([&] { return (all = install().rogerWilcoStarts()).size() > startsSeen_; },
                                   c == "starts" ? 8000ms : 0ms);
    if (c == "nostart") return expect(!started, "RogerWilco was started with " + (all.empty() ? "" : all.back()));
    if (!started) return fail("RogerWilco was not started with " + text);
    const std::string got = all[startsSeen_++];
    return expect(got == rogerWilco_ + " " + text, "RogerWilco was started as " + got);
  }
  if (c == "datagram" || c == "nodatagram") {
    const std::string text = rest();
    if (!receiver_) return fail("no listen before " + c);
    const auto receive = [&](std::chrono::milliseconds within) -> std::optional<std::string> {
      const int timeout = static_cast<int>(scaled(within).count());
      setsockopt(receiver_->get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
      char buffer[2048];
      const int n = recv(receiver_->get(), buffer, sizeof buffer, 0);
      return n < 0 ? std::nullopt : std::optional<std::string>(std::string(buffer, n));
    };
    if (c == "nodatagram") {
      const auto got = receive(1200ms);
      return expect(!got, "a datagram came: " + got.value_or(""));
    }
    // Heartbeats come every cycle in remote mode; only a heartbeat expected is looked at.
    auto got = receive(3000ms);
    for (auto until = Clock::now() + scaled(3000ms); got == "{SYNC}" && text != "{SYNC}" && Clock::now() < until;)
      got = receive(3000ms);
    return expect(got == text, "the datagram was \"" + got.value_or("(none)") + "\"");
  }
  if (c == "send") {
    const std::string bytes = expand(rest());
    const hv::UdpSocket s;
    const sockaddr_in to = launcherAt("127.0.0.1");
    const int sent = sendto(s.get(), bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return expect(sent == static_cast<int>(bytes.size()), "the datagram could not be sent");
  }
  if (c == "inikey") {
    const std::string key = next(), value = rest();
    char got[256] = {};
    GetPrivateProfileStringA("GENERAL", key.c_str(), "<none>", got, sizeof got, install().iniPath().c_str());
    return expect(got == value, key + "=" + got + " in Hallvoxen.ini");
  }
  if (c == "inifile") {
    if (rest() == "absent")
      return expect(!std::filesystem::exists(std::filesystem::u8path(install().iniPath())), "Hallvoxen.ini was written");
    return expect(readFile(install().iniPath()) == iniAtStart_, "Hallvoxen.ini changed");
  }
  if (c == "log" || c == "logcount") {  // log: at least one line (waited for); logcount: exactly N, now
    std::string part = rest();
    const int n = c == "log" ? -1 : std::stoi(part.substr(part.find_last_of(' ') + 1));
    if (n >= 0) part.erase(part.find_last_of(' '));
    const auto count = [&] {
      std::istringstream log(readFile(logPath()));
      int lines = 0;
      for (std::string line; std::getline(log, line);) lines += line.find(part) != std::string::npos;
      return lines;
    };
    const bool ok = waitUntil([&] { return n < 0 ? count() > 0 : count() == n; }, n < 0 ? 5000ms : 0ms);
    return expect(ok, std::to_string(count()) + " log lines with \"" + part + "\"");
  }
  if (c == "logrotated") {
    const bool older = readFile(logPath() + ".1").size() == 1024 * 1024 - 100;
    return expect(older && readFile(logPath()).find("Hallvoxen ") == 24, "the full log was not rotated");
  }
  if (c == "nolog") return expect(!std::filesystem::is_regular_file(std::filesystem::u8path(logPath())), "a log was written");
  if (c == "boxshowing") {
    const bool want = rest() == "1";
    return expect(waitUntil([&] { return messageBoxShowing(kErrorCaption) == want; }), "a box is showing: " + std::to_string(!want));
  }
  if (c == "httpstop") {
    http_.stop();  // an abandoned transfer ends when its server is gone, and its thread with it
    return expect(waitUntil([&] { return threads() == 0; }, std::chrono::seconds(5)), "module threads outlive the server");
  }
  if (c == "requests") {
    const std::string path = next();
    const int n = static_cast<int>(number());
    std::vector<HttpRequest> all;
    const auto count = [&] {  // "-": of any path
      all = http_.requests();
      return std::count_if(all.begin(), all.end(), [&](const HttpRequest& r) { return path == "-" || r.path == path; });
    };
    if (n == 0) return expect(count() == 0, "a download");
    if (!waitUntil([&] { return count() >= n; }, 10000ms)) return fail(std::to_string(count()) + " requests for " + path);
    for (const HttpRequest& r : all)  // every download a plain GET in the module's name
      if (r.method != "GET" || (r.headers + "\r\n").find("User-Agent: Hallvoxen\r\n") == std::string::npos)
        return fail("a request of " + r.path + ": " + r.method + " " + oneLine(r.headers));
    return true;
  }
  if (c == "table") {
    const int i = static_cast<int>(number());
    const auto want = static_cast<std::uint32_t>(number());
    return expect(waitUntil([&] { return sim_.tableEntry(i) == want; }, 3000ms),
                  "key-table entry " + std::to_string(i) + " holds " + std::to_string(sim_.tableEntry(i)));
  }
  if (c == "menu") {
    const std::string text = rest();
    return expect(waitUntil([&] { return sim_.menuItemText() == text; }), "the menu item is \"" + sim_.menuItemText() + "\"");
  }
  if (c == "batchesok") {  // the batches of the worker and the dialog thread never mixed
    return expect(sim_.malformedBatches() == 0, std::to_string(sim_.malformedBatches()) + " batches malformed");
  }
  if (c == "openings") {
    const int got = sim_.batchesReading(0x3304);
    return expect(got == number(), std::to_string(got) + " openings of the IPC link");
  }

  // ---- the settings dialog
  if (c == "dialog") {
    const auto shown = [&] {
      for (dialog_ = nullptr; (dialog_ = FindWindowExA(nullptr, dialog_, "#32770", "Hallvoxen"));)
        if (IsWindowVisible(dialog_)) return true;
      return false;
    };
    return expect(waitUntil(shown), "no dialog");
  }
  if (c == "click") return SendMessageA(control(rest()), BM_CLICK, 0, 0), true;
  if (c == "checked" || c == "enabled") {
    const std::string name = next();
    const bool want = number() != 0, got = c == "checked" ? SendMessageA(control(name), BM_GETCHECK, 0, 0) == BST_CHECKED
                                    : IsWindowEnabled(control(name)) != FALSE;
    return expect(got == want, name + (got ? " is " : " is not ") + c);
  }
  if (c == "lines") {  // each line after " | "; the lines' own leading blanks count
    std::string want, got;
    std::getline(in, want);
    while (!want.empty() && want.back() == '\r') want.pop_back();
    HWND list = control("list");
    for (LRESULT i = 0, n = SendMessageA(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
      char text[256] = {};
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      got += std::string(" | ") + text;
    }
    return expect(got == (want.empty() ? "" : " |" + want), "the list shows:" + got);
  }
  if (c == "dblclick" || c == "keys") {
    const int line = static_cast<int>(number());
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
    return expect(waitUntil([&] { return !IsWindowVisible(d); }, 1000ms), "the dialog is open");
  }

  // ---- Pelkorin
  if (c == "pelkorin") {
    const std::string what = next();
    if (what == "start") {
      std::string commandLine = "\"" + pelkorin_ + "\"";
      STARTUPINFOA startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION info = {};
      if (!CreateProcessA(pelkorin_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return fail("cannot start " + pelkorin_);
      CloseHandle(info.hThread);
      return pelkorins_.push_back(info), true;
    }
    if (pelkorins_.empty()) return fail("no Pelkorin started");
    if (what == "up") {  // the listener binds on its own thread, about when the window appears
      const auto window = [&] {
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "TrayMainWindow", "Hallvoxen"));) {
          DWORD owner = 0;
          if (GetWindowThreadProcessId(w, &owner) && owner == pelkorins_.back().dwProcessId) return true;
        }
        return false;
      };
      return expect(waitUntil(window, 10000ms), "no Pelkorin window") && (Sleep(300), true);
    }
    if (what == "exits") {
      const HANDLE process = pelkorins_.back().hProcess;
      DWORD code = 99;
      if (WaitForSingleObject(process, static_cast<DWORD>(scaled(5000ms).count())) != WAIT_OBJECT_0 ||
          !GetExitCodeProcess(process, &code))
        return fail("Pelkorin is still running");
      CloseHandle(process);
      pelkorins_.pop_back();  // the one started before it is the latest again
      return expect(std::to_string(code) == next(), "Pelkorin ended with exit code " + std::to_string(code));
    }
    if (what == "menu") {
      const std::string key = next();
      POINT icon{};
      if (!waitUntil([&] { return trayIconCentre(icon); })) return fail("no tray icon to click");
      rightClickAt(icon);
      if (!waitUntil([] { return visiblePopupMenu() != nullptr; }, 3000ms)) return fail("no menu after a right click");
      return pressKey(static_cast<WORD>(std::toupper(key[0]))), true;
    }
    return fail("unknown pelkorin command " + what);
  }
  if (c == "tray") {
    const std::string name = next();
    const TrayLook want = name == "absent" ? TrayLook::Absent : name == "contact" ? TrayLook::Contact : TrayLook::NoContact;
    const long long hold = number();
    if (!waitUntil([&] { return lookAtTray() == want; })) return fail(std::string("the tray shows ") + toString(lookAtTray()));
    for (auto until = Clock::now() + std::chrono::milliseconds(hold); Clock::now() < until; Sleep(100))
      if (lookAtTray() != want) return fail(std::string("the tray turned to ") + toString(lookAtTray()));
    return true;
  }
  return fail("unknown command " + c);
}

// Runs one script; 0 when every expectation was met.
int runScript(const std::string& dll, const std::string& pelkorin, std::istream& script, const std::string& name) {
  Scenario scenario(dll, pelkorin);
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
  const hv::WinsockSession winsock;
  std::string dll = binPath("Hallvoxen.dll"), pelkorin = binPath("Pelkorin.exe");
  Lines scripts;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i], ending = arg.size() > 4 ? arg.substr(arg.size() - 4) : "";
    if (ending == ".dll") dll = arg;
    else if (ending == ".exe") pelkorin = arg;
    else scripts.push_back(arg[0] == '/' ? windowsPath(arg) : arg);
  }
  if (scripts.empty()) return runScript(dll, pelkorin, std::cin, "(standard input)");
  int failed = 0;
  for (const std::string& path : scripts) {
    std::ifstream script(std::filesystem::u8path(path));
    failed += script ? runScript(dll, pelkorin, script, path) : 1;
  }
  return failed == 0 ? 0 : 1;
}
