// smoke32_host: the shipped 32-bit deliverables, run for real in one process.
//
// The module part plays the simulator: a loopback HTTP server with the sample network
// files, a simulator installation with the stand-in voice program, the substitute IPC
// window on a message-pumping simulator thread, and Hallvoxen.dll loaded, started,
// driven through its exports and unloaded on that thread, as the simulator and another
// add-on would. That thread's x87 precision is lowered to 24 bits before the module is
// loaded, as the simulator's graphics may do. The Pelkorin part starts Pelkorin.exe (at
// the very beginning: its start overlaps the module part), sends it a datagram and waits
// for the voice program it starts.
//
// Each check prints one line, "ok" or "FAIL"; the last line is "SMOKE32 PASSED" and the
// exit code 0 only when every check held. Time limits allow for an emulated CPU.
//
// usage: smoke32_host HALLVOXEN_DLL PELKORIN_EXE SAMPLES_FOLDER   (Windows paths)
#include <windows.h>
#include <tlhelp32.h>
#include <winsock.h>

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "StdcallProbe.h"
#include "demo/SampleNetworks.h"
#include "records/portable/AtcStation.h"
#include "module/portable/SimConversions.h"
#include "records/portable/SimReading.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"
#include "voice/portable/StationSelection.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::uint32_t kOff = 0, kNoStation = 1, kJoined = 2, kOutOfRange = 4;
constexpr std::uint32_t kCom1Offset = 0x034E;

// Limits for an emulated CPU, where everything runs 10 to 50 times slower than natively.
constexpr auto kStartUpLimit = 60s;      // the initialisation entry
constexpr auto kFirstDataLimit = 120s;   // control on until both networks' data are in
constexpr auto kDecisionLimit = 60s;     // a change of COM1 or position until it is acted on
constexpr auto kUnloadLimit = 8s;        // the de-initialisation entry; its join waits 10 s at most
constexpr auto kThreadsEndLimit = 30s;   // the module's threads gone after unload
constexpr auto kPelkorinUpLimit = 300s;  // a 32-bit process start under emulation: about a minute

int failures = 0;

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fflush(stdout);
}

bool check(bool ok, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool check(bool ok, const char* format, ...) {
  std::printf(ok ? "ok    " : "FAIL  ");
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::printf("\n");
  std::fflush(stdout);
  if (!ok) ++failures;
  return ok;
}

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds within) {
  return hvtest::waitUntil(condition, within);
}

std::string field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

// ---------------------------------------------------------------- threads of this process

using NtQueryInformationThreadFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// Thread id -> start address, for every thread of this process.
std::map<DWORD, void*> processThreads() {
  static auto query = reinterpret_cast<NtQueryInformationThreadFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
  std::map<DWORD, void*> threads;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return threads;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
    void* start = nullptr;
    if (HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)) {
      if (query) query(thread, 9 /* ThreadQuerySetWin32StartAddress */, &start, sizeof start, nullptr);
      CloseHandle(thread);
    }
    threads[entry.th32ThreadID] = start;
  }
  CloseHandle(snapshot);
  return threads;
}

std::string describeNewThreads(const std::map<DWORD, void*>& before, const std::map<DWORD, void*>& now) {
  std::string text;
  for (const auto& [id, start] : now) {
    if (before.count(id)) continue;
    char line[96];
    std::snprintf(line, sizeof line, " %04lx(start %p)", static_cast<unsigned long>(id), start);
    text += line;
  }
  return text;
}

size_t newThreadCount(const std::map<DWORD, void*>& before) {
  size_t count = 0;
  for (const auto& entry : processThreads())
    if (!before.count(entry.first)) ++count;
  return count;
}

// ---------------------------------------------------------------- the module's exports

// Every export is called on the simulator thread, through the stack-pointer probe, and
// must leave that thread's x87 control word as the caller set it.
class Exports {
 public:
  Exports(hvtest::ModuleHost& host) : host_(host) {
    getStatus_ = resolve("HALLVOXEN_Get_Status");
    setMode_ = resolve("HALLVOXEN_Set_Mode");
    getServer_ = resolve("HALLVOXEN_Get_Server");
    selectServer_ = resolve("HALLVOXEN_Select_Server");
  }
  bool complete() const { return getStatus_ && setMode_ && getServer_ && selectServer_; }

  std::uint32_t setMode(std::uint32_t mode) { return call("HALLVOXEN_Set_Mode", setMode_, 1, mode); }
  std::uint32_t getServer() { return call("HALLVOXEN_Get_Server", getServer_, 0, 0); }
  std::uint32_t getStatus(hv::AtcStation& record) {
    std::memset(&record, 0xEE, sizeof record);
    return call("HALLVOXEN_Get_Status", getStatus_, 1, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&record)));
  }

  // Each call is counted; the first one that moved the stack pointer or changed the
  // control word is reported (once: the status is polled).
  int calls() const { return calls_; }
  const std::string& firstFault() const { return firstFault_; }

 private:
  void* resolve(const char* name) { return reinterpret_cast<void*>(GetProcAddress(host_.module(), name)); }

  std::uint32_t call(const char* name, void* function, int arguments, std::uint32_t argument) {
    smoke32::ProbedCall probed;
    std::uint16_t before = 0, after = 0;
    host_.run([&] {
      before = smoke32::x87ControlWord();
      probed = arguments == 0 ? smoke32::callStdcall0(function) : smoke32::callStdcall1(function, argument);
      after = smoke32::x87ControlWord();
    });
    ++calls_;
    if (firstFault_.empty() && (probed.stackShift != 0 || before != after)) {
      char text[160];
      std::snprintf(text, sizeof text, "%s moved ESP by %ld bytes, control word %04X -> %04X", name,
                    static_cast<long>(probed.stackShift), before, after);
      firstFault_ = text;
    }
    return probed.value;
  }

  hvtest::ModuleHost& host_;
  void* getStatus_ = nullptr;
  void* setMode_ = nullptr;
  void* getServer_ = nullptr;
  void* selectServer_ = nullptr;
  int calls_ = 0;
  std::string firstFault_;
};

// ---------------------------------------------------------------- the sample station

// A station as the sample VATSIM file writes it, read here with strtod: the module must
// hand out exactly these doubles.
struct SampleStation {
  std::string callsign, voiceChannel;
  double latitude = 0, longitude = 0;
  int range = 0;
  std::uint16_t frequency = 0;
};

bool readSampleStation(const std::string& samples, const std::string& callsign, SampleStation& out) {
  const std::string text = hvtest::readFile(samples + "\\vatsim-data.txt");
  const size_t at = text.find("\n" + callsign + ":");
  if (at == std::string::npos) return false;
  const std::string line = text.substr(at + 1, text.find('\n', at + 1) - at - 1);
  std::vector<std::string> fields;
  for (size_t begin = 0, end; begin <= line.size(); begin = end + 1) {
    end = line.find(':', begin);
    if (end == std::string::npos) end = line.size();
    fields.push_back(line.substr(begin, end - begin));
  }
  if (fields.size() < 20) return false;
  out.callsign = fields[0];
  out.frequency = static_cast<std::uint16_t>(std::lround(std::strtod(fields[4].c_str(), nullptr) * 100) );
  out.latitude = std::strtod(fields[5].c_str(), nullptr);
  out.longitude = std::strtod(fields[6].c_str(), nullptr);
  out.range = std::atoi(fields[19].c_str());
  return true;
}

// ---------------------------------------------------------------- the precision probe

// Positions north of a station, in the simulator's fixed-point latitude, where the range
// decision computed in double precision differs from the one computed with the x87 unit
// at 24 bits. A module that computed its distances at 24 bits on any thread would decide
// these the other way.
struct PrecisionProbe {
  bool haveInside = false, haveOutside = false;
  std::uint64_t inside = 0;   // within range in double precision, beyond it at 24 bits
  std::uint64_t outside = 0;  // beyond range in double precision, within it at 24 bits
  double insideDistance = 0, outsideDistance = 0;
};

double distanceAt(const hv::AtcStation& station, std::uint64_t latitude, std::uint64_t longitude) {
  hv::SimReading reading;
  reading.frequency = station.frequency;
  reading.latitude = hv::latitudeFromFixed(latitude);
  reading.longitude = hv::longitudeFromFixed(longitude);
  return hv::StationDistance(reading, station);
}

PrecisionProbe findPrecisionProbe(const hv::AtcStation& station, std::uint64_t longitude) {
  PrecisionProbe probe;
  const double range = station.range;
  auto at53 = [&](std::uint64_t lat) { return smoke32::withPrecision(smoke32::kPrecision53, [&] { return distanceAt(station, lat, longitude); }); };
  auto at24 = [&](std::uint64_t lat) { return smoke32::withPrecision(smoke32::kPrecision24, [&] { return distanceAt(station, lat, longitude); }); };

  // The latitude where the double-precision distance crosses the range, by bisection.
  std::uint64_t low = hv::fixedFromLatitude(station.latitude);
  std::uint64_t high = hv::fixedFromLatitude(station.latitude + 2 * range / 69.0);
  while (high - low > 1) {
    const std::uint64_t middle = low + (high - low) / 2;
    (at53(middle) <= range ? low : high) = middle;
  }
  // Around it, in steps of about 30 micrometres, up to some 40 m either side: the
  // 24-bit result is off by centimetres to metres here.
  const double margin = 1e-7;  // well above any difference between two double computations
  const std::uint64_t step = std::uint64_t{1} << 27;
  for (std::int64_t k = 0; k < 8000 && !(probe.haveInside && probe.haveOutside); ++k) {
    for (int side : {-1, 1}) {
      const std::uint64_t lat = low + static_cast<std::uint64_t>(side * k * static_cast<std::int64_t>(step));
      const double d53 = at53(lat), d24 = at24(lat);
      if (!probe.haveInside && d53 <= range - margin && d24 > range + margin) {
        probe.haveInside = true;
        probe.inside = lat;
        probe.insideDistance = d53;
      }
      if (!probe.haveOutside && d53 > range + margin && d24 <= range - margin) {
        probe.haveOutside = true;
        probe.outside = lat;
        probe.outsideDistance = d53;
      }
    }
  }
  return probe;
}

// ---------------------------------------------------------------- the module

class ModulePart {
 public:
  ModulePart(const std::string& dll, const std::string& samples, hvtest::SimInstallation& installation,
             const std::string& rogerWilco)
      : dll_(dll), samples_(samples), installation_(installation), rogerWilco_(rogerWilco) {}

  void run() {
    std::string error;
    if (!check(hvdemo::serveSampleNetworks(http_, samples_, served_, error), "sample networks served on 127.0.0.1:%u %s",
               http_.port(), error.c_str()))
      return;
    installation_.writeIni("[GENERAL]\r\nServer=VATSIM\r\nRangeCheck=ON\r\n[NETWORK]\r\nVatsimStatusUrl=" +
                           served_.vatsimStatusUrl + "\r\nIvaoStatusUrl=" + served_.ivaoStatusUrl + "\r\n");
    if (!check(readSampleStation(samples_, "EDDF_TWR", tower_), "sample station EDDF_TWR read")) return;

    bool created = false;
    host_.run([&] { created = sim_.create("Substitute simulator"); });
    if (!check(created, "simulator window \"UIPCMAIN\" created on the simulator thread")) return;
    sim_.setCom1(12280);
    sim_.setPosition(50.0500, 8.5850);  // a gate in Frankfurt

    // The simulator's graphics lowered the precision of its thread.
    std::uint16_t lowered = 0;
    host_.run([&] {
      smoke32::setX87ControlWord(static_cast<std::uint16_t>((smoke32::x87ControlWord() & ~smoke32::kPrecisionMask) |
                                                            smoke32::kPrecision24));
      lowered = smoke32::x87ControlWord();
    });
    say("      simulator thread's x87 control word: %04X (24-bit precision)\n", lowered);

    const auto threadsBefore = processThreads();
    if (!check(host_.load(dll_), "LoadLibrary %s and its Linkage record", dll_.c_str())) return;
    Exports api(host_);
    if (!check(api.complete(), "the four HALLVOXEN_ exports resolved")) return;

    auto started = Clock::now();
    auto entry = host_.linkage()->initialise;
    std::uint16_t afterInit = 0;
    auto init = host_.post([&] {
      entry();
      afterInit = smoke32::x87ControlWord();
    });
    const bool returned = init.wait(kStartUpLimit);
    check(returned, "initialisation entry returned in %.1f s", seconds(started));
    if (!returned) {
      auto box = hvtest::answerMessageBox(hvtest::kErrorCaption, 1s);
      say("      message box: %s\n", box ? box->c_str() : "(none)");
      return;
    }
    check(afterInit == lowered, "initialisation entry left the control word as it was: %04X", afterInit);
    check(newThreadCount(threadsBefore) > 0, "module threads running: %u", static_cast<unsigned>(newThreadCount(threadsBefore)));

    hv::AtcStation record;
    check(api.getStatus(record) == kOff, "control is off after start-up");

    started = Clock::now();
    const std::uint32_t answer = api.setMode(1);
    check(answer != kOff, "HALLVOXEN_Set_Mode(1) switched control on (returned %u)", answer);
    check(waitFor([&] { return api.getStatus(record) == kNoStation; }, kFirstDataLimit),
          "status 1 (no station on 122.80) once the data are in, after %.1f s", seconds(started));

    // A join.
    sim_.setCom1(tower_.frequency);
    started = Clock::now();
    const std::string join = "/join1 RW.ATCVOICE.EXAMPLE/EDDF_TWR";
    const bool joined = waitFor([&] { return api.getStatus(record) == kJoined && commands() == std::vector<std::string>{join}; },
                                kDecisionLimit);
    check(joined, "tuned %u: joined, RogerWilco told \"%s\" (%s) after %.1f s", tower_.frequency, join.c_str(),
          commandsText().c_str(), seconds(started));
    if (!joined) return;
    api.getStatus(record);
    check(field(record.callsign, sizeof record.callsign) == "EDDF_TWR" && record.frequency == tower_.frequency &&
              record.range == tower_.range && field(record.voiceChannel, sizeof record.voiceChannel) == "RW.ATCVOICE.EXAMPLE/EDDF_TWR",
          "HALLVOXEN_Get_Status record: %s %u \"%s\" range %d", field(record.callsign, sizeof record.callsign).c_str(),
          record.frequency, field(record.voiceChannel, sizeof record.voiceChannel).c_str(), static_cast<int>(record.range));
    check(record.latitude == tower_.latitude && record.longitude == tower_.longitude,
          "station position in the record is the file's, to the last bit: %.17g %.17g", record.latitude,
          record.longitude);

    // The range decision at the edge of the station's range, where 24-bit arithmetic
    // decides otherwise than double precision. The aircraft stays on the station's
    // longitude and moves north.
    const std::uint64_t longitude = hv::fixedFromLongitude(record.longitude);
    const PrecisionProbe probe = findPrecisionProbe(record, longitude);
    check(probe.haveInside || probe.haveOutside, "found positions where 24-bit arithmetic flips the range decision");
    if (probe.haveInside) {
      sim_.setPositionFixed(probe.inside, longitude);
      waitForWorkerCycles(4);
      check(api.getStatus(record) == kJoined && commands().size() == 1,
            "%.9f from the station (range %d): still joined, nothing more told (%s)", probe.insideDistance,
            static_cast<int>(record.range), commandsText().c_str());
    }
    // A leave: out of range, either just beyond it or far away.
    if (probe.haveOutside) sim_.setPositionFixed(probe.outside, longitude);
    else sim_.setPosition(49.00, 1.50);  // west of Paris
    started = Clock::now();
    const bool left = waitFor([&] {
      return api.getStatus(record) == kOutOfRange && commands() == std::vector<std::string>{join, "/leave"};
    }, kDecisionLimit);
    check(left, "%s: out of range, RogerWilco told \"/leave\" (%s) after %.1f s",
          probe.haveOutside ? (std::to_string(probe.outsideDistance) + " from the station").c_str() : "west of Paris",
          commandsText().c_str(), seconds(started));

    check(api.getServer() == 0, "HALLVOXEN_Get_Server: VATSIM");
    check(api.firstFault().empty(), "%d export calls on the simulator thread: stack pointer and control word kept%s%s",
          api.calls(), api.firstFault().empty() ? "" : ": ", api.firstFault().c_str());

    // Unload: the module's threads end within the de-initialisation entry.
    started = Clock::now();
    std::uint16_t afterDeinit = 0;
    auto exit = host_.linkage()->deinitialise;
    host_.run([&] {
      exit();
      afterDeinit = smoke32::x87ControlWord();
    });
    const double stopped = seconds(started);
    check(stopped < std::chrono::duration<double>(kUnloadLimit).count(), "de-initialisation entry returned in %.1f s",
          stopped);
    check(afterDeinit == lowered, "de-initialisation entry left the control word as it was: %04X", afterDeinit);
    host_.unload();
    const bool ended = waitFor([&] { return newThreadCount(threadsBefore) == 0; }, kThreadsEndLimit);
    check(ended, "no thread left from the module after unload%s", describeNewThreads(threadsBefore, processThreads()).c_str());
    host_.run([&] { sim_.destroy(); });
    http_.stop();
  }

 private:
  static double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

  // The command texts RogerWilco was started with by the module, in order.
  std::vector<std::string> commands() const {
    std::vector<std::string> texts;
    const std::string prefix = rogerWilco_ + " ";
    for (std::string line : installation_.rogerWilcoStarts()) {
      while (!line.empty() && line.back() == '\r') line.pop_back();
      texts.push_back(line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size()) : "started as: " + line);
    }
    return texts;
  }
  std::string commandsText() const {
    std::string text;
    for (const auto& c : commands()) text += (text.empty() ? "\"" : ", \"") + c + "\"";
    return text.empty() ? "no command" : text;
  }

  // The worker reads COM1 once a cycle.
  void waitForWorkerCycles(size_t cycles) {
    auto reads = [&] { return sim_.countBatches([](const auto& b) { return b.hasRead(kCom1Offset); }); };
    const size_t target = static_cast<size_t>(reads()) + cycles;
    waitFor([&] { return static_cast<size_t>(reads()) >= target; }, kDecisionLimit);
  }

  std::string dll_, samples_;
  hvtest::LoopbackHttpServer http_;
  hvdemo::ServedNetworks served_;
  hvtest::SimInstallation& installation_;
  std::string rogerWilco_;
  SampleStation tower_;
  hvtest::ModuleHost host_;
  hvtest::SubstituteSimulator sim_;
};

// ---------------------------------------------------------------- Pelkorin

class PelkorinPart {
 public:
  explicit PelkorinPart(const std::string& exe) : exe_(exe) {}
  ~PelkorinPart() {
    if (starter_.joinable()) starter_.join();
    if (process_) {
      TerminateProcess(process_, 99);
      CloseHandle(process_);
    }
  }

  // Started first, from a thread of its own: CreateProcess returns only once the new
  // process has started up, which under emulation takes a minute that the module part
  // can use.
  void startInBackground() {
    starter_ = std::thread([this] { start(); });
  }

  void run(const hvtest::SimInstallation& installation, const std::string& rogerWilco) {
    if (starter_.joinable()) starter_.join();
    runStarted(installation, rogerWilco);
  }

 private:
  void start() {
    std::string commandLine = "\"" + exe_ + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (check(CreateProcessA(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &info),
              "Pelkorin.exe started")) {
      CloseHandle(info.hThread);
      process_ = info.hProcess;
      id_ = info.dwProcessId;
      startedAt_ = Clock::now();
    }
  }

  void runStarted(const hvtest::SimInstallation& installation, const std::string& rogerWilco) {
    if (!process_) return;
    HWND window = nullptr;
    const bool up = waitFor([&] { return (window = findWindow()) != nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; },
                            kPelkorinUpLimit) && window;
    if (!check(up, "Pelkorin's window is up, %.0f s after its start", std::chrono::duration<double>(Clock::now() - startedAt_).count())) {
      auto box = hvtest::answerMessageBox(hvtest::kErrorCaption, 1s);
      if (box) say("      message box: %s\n", box->c_str());
      return;
    }
    const std::string command = "/join1 pelkorin.example/SMOKE32";
    const std::string expected = rogerWilco + " " + command;
    // The listener binds on its own thread about when the window appears: the datagram is
    // sent again until the voice program shows it arrived.
    bool started = false;
    const auto sentAt = Clock::now();
    for (int attempt = 0; attempt < 20 && !started; ++attempt) {
      sendDatagram(command);
      started = waitFor([&] {
        for (std::string line : installation.rogerWilcoStarts()) {
          while (!line.empty() && line.back() == '\r') line.pop_back();
          if (line == expected) return true;
        }
        return false;
      }, 10s);
    }
    check(started, "a datagram to port 2464 made Pelkorin start RogerWilco with \"%s\" (%.1f s)", command.c_str(),
          std::chrono::duration<double>(Clock::now() - sentAt).count());
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(40006 /* Exit */, 0), 0);
    DWORD code = 99;
    const bool exited = WaitForSingleObject(process_, 60000) == WAIT_OBJECT_0 && GetExitCodeProcess(process_, &code);
    check(exited && code == 0, "Pelkorin ended on Exit with code %lu", static_cast<unsigned long>(code));
    CloseHandle(process_);
    process_ = nullptr;
  }

  HWND findWindow() const {
    for (HWND candidate = nullptr; (candidate = FindWindowExA(nullptr, candidate, "TrayMainWindow", nullptr));) {
      DWORD owner = 0;
      GetWindowThreadProcessId(candidate, &owner);
      if (owner == id_) return candidate;
    }
    return nullptr;
  }

  static void sendDatagram(const std::string& bytes) {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) return;
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(2464);
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    sendto(s, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    closesocket(s);
  }

  std::string exe_;
  std::thread starter_;
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
  Clock::time_point startedAt_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: smoke32_host HALLVOXEN_DLL PELKORIN_EXE SAMPLES_FOLDER\n");
    return 2;
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(1, 1), &wsa);
  const auto begun = Clock::now();
  {
    // One installation and one stand-in for both: Pelkorin finds the voice program
    // through the same registry key as the module. Pelkorin's command comes last.
    hvtest::SimInstallation installation;
    const std::string rogerWilco = installation.installRogerWilco();
    PelkorinPart pelkorin(argv[2]);
    pelkorin.startInBackground();
    {
      say("---- Hallvoxen.dll\n");
      ModulePart module(argv[1], argv[3], installation, rogerWilco);
      module.run();
    }
    say("---- Pelkorin.exe\n");
    pelkorin.run(installation, rogerWilco);
  }
  say("---- %d failed, %.0f s\n", failures, std::chrono::duration<double>(Clock::now() - begun).count());
  if (failures == 0) say("SMOKE32 PASSED\n");
  return failures == 0 ? 0 : 1;
}
