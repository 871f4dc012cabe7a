// hallvoxen_demo: the main job of Hallvoxen on the bundled sample network data.
//
// Sets up, inside this one process, what the module meets in a pilot's simulator: a
// loopback HTTP server with the sample VATSIM and IVAO files, a simulator installation
// (registry, Hallvoxen.ini) with a stand-in RogerWilco that records its command lines,
// and the substitute simulator's IPC window with Hallvoxen.dll loaded and started as
// the simulator does it. Then it flies a scripted flight, step by step, and prints for
// each step COM1, the position, the status HALLVOXEN_Get_Status reports (with the
// station it hands out) and the command lines RogerWilco was started with since the
// step before.
//
// Every step has an expected outcome; the first step that does not show it ends the
// demo with exit code 1, so the demo doubles as an end-to-end check (CTest runs it).
//
// usage: hallvoxen_demo [SAMPLES_FOLDER]   (default: samples/networks of the source tree)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "records/portable/AtcStation.h"
#include "records/portable/SimReading.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SampleNetworks.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"
#include "voice/portable/StationSelection.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using GetStatusFn = std::uint32_t __stdcall(void*);
using SetModeFn = std::uint32_t __stdcall(std::uint32_t);
using GetServerFn = std::uint32_t __stdcall();
using SelectServerFn = std::uint32_t __stdcall(std::uint32_t);

constexpr std::uint32_t kOff = 0, kNoStation = 1, kJoined = 2, kOutOfRange = 4, kWaiting = 65534,
                        kMissing = 65535;
constexpr std::uint32_t kCom1Offset = 0x034E;

// ---------------------------------------------------------------- the flight

enum class Action { ControlOn, Tune, Fly, SelectIvao };

struct Step {
  const char* title;
  Action action;
  std::uint16_t com1;  // Tune: the new frequency (MHz x 100)
  double latitude;     // Fly: the new position
  double longitude;
  const char* place;   // Fly: where that is
  // What the step must show once the module has acted on it.
  std::uint32_t status;
  const char* callsign;  // the station HALLVOXEN_Get_Status hands out with 2 or 4
  std::vector<std::string> commands;
};

// From Frankfurt westwards to Paris. The stations are those of samples/networks: on
// VATSIM, Frankfurt Delivery (121.90, range 20), Frankfurt Tower (119.90, range 50) and
// Langen Radar (124.72, range 300); on IVAO, De Gaulle Approach (125.82, range 150).
const std::vector<Step> kFlight = {
    {"Switch control on: HALLVOXEN_Set_Mode(1)", Action::ControlOn, 0, 0, 0, nullptr,
     kNoStation, nullptr, {}},
    {"Tune Frankfurt Delivery, 121.90", Action::Tune, 12190, 0, 0, nullptr,
     kJoined, "EDDF_DEL", {"/join1 VOICE1.VACC-EXAMPLE.NET/EDDF_DEL"}},
    {"Tune Frankfurt Tower, 119.90", Action::Tune, 11990, 0, 0, nullptr,
     kJoined, "EDDF_TWR", {"/join1 RW.ATCVOICE.EXAMPLE/EDDF_TWR"}},
    {"Tune away, to 122.80 where no controller is", Action::Tune, 12280, 0, 0, nullptr,
     kNoStation, nullptr, {"/leave"}},
    {"Tune Langen Radar, 124.72, the controller around Frankfurt", Action::Tune, 12472, 0, 0, nullptr,
     kJoined, "EDGG_CTR", {"/join1 RW.ATCVOICE.EXAMPLE/123.95"}},
    {"Fly west, past Paris: out of Langen Radar's range of 300", Action::Fly, 0, 49.00, 1.50,
     "west of Paris", kOutOfRange, "EDGG_CTR", {"/leave"}},
    {"Tune De Gaulle Approach, 125.82: nobody on VATSIM uses it", Action::Tune, 12582, 0, 0, nullptr,
     kNoStation, nullptr, {}},
    {"Switch to IVAO: HALLVOXEN_Select_Server(1)", Action::SelectIvao, 0, 0, 0, nullptr,
     kJoined, "LFPG_APP", {"/join1 eu7.voice.ivao-example.aero/LFPG_APP"}},
};

// The aircraft before the first step: at a gate in Frankfurt, COM1 on 122.80.
constexpr std::uint16_t kStartCom1 = 12280;
constexpr double kStartLatitude = 50.0500, kStartLongitude = 8.5850;
constexpr char kStartPlace[] = "at a gate in Frankfurt";

// ---------------------------------------------------------------- printing

const char* statusName(std::uint32_t status) {
  switch (status) {
    case kOff: return "Off";
    case kNoStation: return "NoStation";
    case kJoined: return "Joined";
    case kOutOfRange: return "OutOfRange";
    case kWaiting: return "Waiting";
    case kMissing: return "RogerWilcoMissing";
  }
  return "not a status";
}

std::string frequencyText(std::uint16_t frequency) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%02u", frequency / 100u, frequency % 100u);
  return text;
}

std::string positionText(double latitude, double longitude) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f %c  %.4f %c", latitude < 0 ? -latitude : latitude,
                latitude < 0 ? 'S' : 'N', longitude < 0 ? -longitude : longitude, longitude < 0 ? 'W' : 'E');
  return text;
}

// A fixed-width text field of the record, up to its NUL or its end.
std::string field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

std::string listText(const std::vector<std::string>& lines) {
  if (lines.empty()) return "(none)";
  std::string text;
  for (const auto& line : lines) text += (text.empty() ? "\"" : ", \"") + line + "\"";
  return text;
}

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fflush(stdout);
}

// ---------------------------------------------------------------- the rig

std::string defaultSamplesFolder() { return hvtest::windowsPath(std::string(HV_SOURCE_DIR) + "/samples/networks"); }

struct Exports {
  GetStatusFn* getStatus = nullptr;
  SetModeFn* setMode = nullptr;
  GetServerFn* getServer = nullptr;
  SelectServerFn* selectServer = nullptr;
};

// What the module shows at one moment.
struct Observation {
  std::uint32_t status = 0;
  bool haveRecord = false;
  hv::AtcStation record{};
  std::vector<std::string> commands;  // command texts RogerWilco was started with, in order
  std::vector<std::string> badStarts; // starts whose argument 0 was not RogerWilco's path
};

class Flight {
 public:
  Flight(hvtest::SimInstallation& installation, hvtest::SubstituteSimulator& sim, const hvtest::LoopbackHttpServer& http,
         const Exports& api, const std::string& rogerWilcoPath)
      : installation_(installation), sim_(sim), http_(http), api_(api), rogerWilcoPath_(rogerWilcoPath) {}

  // Runs every step; false at the first one that does not show what it should.
  bool fly() {
    com1_ = kStartCom1;
    latitude_ = kStartLatitude;
    longitude_ = kStartLongitude;
    place_ = kStartPlace;
    sim_.setCom1(com1_);
    sim_.setPosition(latitude_, longitude_);

    unsigned char buffer[192];
    const std::uint32_t before = api_.getStatus(buffer);
    say("Hallvoxen.dll is loaded and started; control is off at every load:\n"
        "  HALLVOXEN_Get_Status returns %u (%s)\n\n", before, statusName(before));
    if (before != kOff) return fail("control is not off after loading");

    for (size_t i = 0; i < kFlight.size(); ++i)
      if (!runStep(static_cast<int>(i + 1), kFlight[i])) return false;
    return true;
  }

  // After the module is unloaded: it must not have told RogerWilco anything more.
  bool quietAfterUnload() {
    Sleep(500);
    Observation now = observeCommands();
    if (!now.commands.empty()) return fail("RogerWilco was started at unload with " + listText(now.commands));
    return true;
  }

 private:
  bool runStep(int number, const Step& step) {
    say("[%d] %s\n", number, step.title);
    const auto started = Clock::now();
    std::string note;
    switch (step.action) {
      case Action::ControlOn: {
        std::uint32_t answer = api_.setMode(1);
        note = "HALLVOXEN_Set_Mode(1) returned " + std::to_string(answer) + " (" + statusName(answer) + ")";
        break;
      }
      case Action::Tune:
        com1_ = step.com1;
        sim_.setCom1(com1_);
        break;
      case Action::Fly:
        latitude_ = step.latitude;
        longitude_ = step.longitude;
        place_ = step.place;
        sim_.setPosition(latitude_, longitude_);
        break;
      case Action::SelectIvao: {
        std::uint32_t answer = api_.selectServer(1);
        note = "HALLVOXEN_Select_Server(1) returned " + std::to_string(answer) + " (" + statusName(answer) +
               "); Hallvoxen.ini now holds Server=" + profileValue("Server");
        break;
      }
    }

    if (!note.empty()) say("    %s\n", note.c_str());

    // The feeds fetch the network data when control goes on; after that the worker acts
    // on a change within a cycle or two (500 ms each).
    const auto within = step.action == Action::ControlOn ? 20s : 8s;
    Observation seen;
    bool settled = false;
    while (Clock::now() - started < within) {
      seen = observe();
      if (shows(step, seen, false)) {
        settled = true;
        break;
      }
      Sleep(50);
    }
    const double settledAfter = std::chrono::duration<double>(Clock::now() - started).count();
    // Two more worker cycles, and time for a late start of RogerWilco to show: no
    // command may follow the expected ones.
    if (settled) {
      waitForWorkerCycles(2);
      Sleep(400);
      seen = observe();
    }
    commandsSeen_ += seen.commands.size() + seen.badStarts.size();

    const std::uint32_t network = api_.getServer();
    say("    COM1        %s MHz\n", frequencyText(com1_).c_str());
    say("    position    %s  (%s)\n", positionText(latitude_, longitude_).c_str(), place_.c_str());
    say("    network     %s\n", network == 0 ? "VATSIM" : network == 1 ? "IVAO" : "?");
    say("    status      %u %s", seen.status, statusName(seen.status));
    if (seen.haveRecord) {
      hv::SimReading reading;
      reading.frequency = com1_;
      reading.latitude = latitude_;
      reading.longitude = longitude_;
      say(": %s, voice channel %s\n                (%s MHz, distance %.1f, range %d)",
          field(seen.record.callsign, sizeof seen.record.callsign).c_str(),
          field(seen.record.voiceChannel, sizeof seen.record.voiceChannel).c_str(),
          frequencyText(seen.record.frequency).c_str(), hv::StationDistance(reading, seen.record),
          static_cast<int>(seen.record.range));
    }
    say("\n");
    std::vector<hvtest::HttpRequest> requests = http_.requests();
    if (requests.size() > requestsSeen_) {
      std::string paths;
      for (size_t i = requestsSeen_; i < requests.size(); ++i) paths += " " + requests[i].path;
      say("    downloads  %s\n", paths.c_str());
      requestsSeen_ = requests.size();
    }
    if (seen.commands.empty() && seen.badStarts.empty()) say("    RogerWilco  (no command)\n");
    for (const auto& command : seen.commands) say("    RogerWilco  %s\n", command.c_str());
    for (const auto& start : seen.badStarts) say("    RogerWilco  started as: %s\n", start.c_str());

    if (!settled || !shows(step, seen, true)) {
      std::string expected = std::to_string(step.status) + " " + statusName(step.status);
      if (step.callsign) expected += " with " + std::string(step.callsign);
      return fail("step " + std::to_string(number) + " should show status " + expected +
                  " and RogerWilco commands " + listText(step.commands));
    }
    if (step.action == Action::SelectIvao && profileValue("Server") != "IVAO")
      return fail("Hallvoxen.ini does not hold Server=IVAO after HALLVOXEN_Select_Server(1)");
    say("    -> as expected (settled after %.1f s)\n\n", settledAfter);
    return true;
  }

  // Whether the observation shows the step's outcome; with exact, no further command either.
  bool shows(const Step& step, const Observation& seen, bool exact) const {
    if (seen.status != step.status || !seen.badStarts.empty()) return false;
    if (step.callsign && (!seen.haveRecord || field(seen.record.callsign, sizeof seen.record.callsign) != step.callsign))
      return false;
    if (exact) return seen.commands == step.commands;
    if (seen.commands.size() < step.commands.size()) return false;
    return std::equal(step.commands.begin(), step.commands.end(), seen.commands.begin());
  }

  Observation observe() {
    Observation seen = observeCommands();
    unsigned char buffer[192];
    std::memset(buffer, 0xEE, sizeof buffer);
    seen.status = api_.getStatus(buffer);
    if (seen.status == kJoined || seen.status == kOutOfRange) {
      seen.haveRecord = true;
      std::memcpy(&seen.record, buffer, sizeof buffer);
    }
    return seen;
  }

  // RogerWilco's starts since the last step. The stand-in logs its whole command line:
  // the program path, unquoted, one blank, the command text.
  Observation observeCommands() {
    Observation seen;
    std::vector<std::string> starts = installation_.rogerWilcoStarts();
    const std::string prefix = rogerWilcoPath_ + " ";
    for (size_t i = commandsSeen_; i < starts.size(); ++i) {
      std::string line = starts[i];
      while (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.compare(0, prefix.size(), prefix) == 0)
        seen.commands.push_back(line.substr(prefix.size()));
      else
        seen.badStarts.push_back(line);
    }
    return seen;
  }

  size_t workerReads() const {
    return static_cast<size_t>(sim_.batchesReading(kCom1Offset));
  }

  void waitForWorkerCycles(size_t cycles) {
    const size_t target = workerReads() + cycles;
    const auto deadline = Clock::now() + 3s;
    while (workerReads() < target && Clock::now() < deadline) Sleep(50);
  }

  std::string profileValue(const char* key) const {
    char value[256] = {};
    GetPrivateProfileStringA("GENERAL", key, "", value, sizeof value, installation_.iniPath().c_str());
    return value;
  }

  bool fail(const std::string& why) {
    say("\nDEMO FAILED: %s\n", why.c_str());
    return false;
  }

  hvtest::SimInstallation& installation_;
  hvtest::SubstituteSimulator& sim_;
  const hvtest::LoopbackHttpServer& http_;
  Exports api_;
  std::string rogerWilcoPath_;
  size_t commandsSeen_ = 0;
  size_t requestsSeen_ = 0;
  std::uint16_t com1_ = 0;
  double latitude_ = 0, longitude_ = 0;
  std::string place_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string samples = argc > 1 ? argv[1] : defaultSamplesFolder();
  const auto begun = Clock::now();

  hvtest::LoopbackHttpServer http;
  hvtest::ServedNetworks served;
  std::string error;
  if (!hvtest::serveSampleNetworks(http, samples, served, error)) {
    say("DEMO FAILED: %s\n", error.c_str());
    return 1;
  }

  hvtest::SimInstallation installation;
  const std::string rogerWilco = installation.installRogerWilco();
  installation.writeIni("[GENERAL]\r\nServer=VATSIM\r\nRangeCheck=ON\r\n[NETWORK]\r\nVatsimStatusUrl=" +
                        served.vatsimStatusUrl + "\r\nIvaoStatusUrl=" + served.ivaoStatusUrl + "\r\n");

  say("Hallvoxen demo: a scripted flight on the bundled sample network data\n\n");
  say("  network data   %s, served on 127.0.0.1 port %u:\n", samples.c_str(), http.port());
  say("                 VATSIM %s, naming %s\n", served.vatsimStatusUrl.c_str(), served.vatsimDataPath.c_str());
  say("                 IVAO   %s, naming %s and %s\n", served.ivaoStatusUrl.c_str(),
      served.ivaoClientsPath.c_str(), served.ivaoVoicePath.c_str());
  say("  simulator      a substitute IPC server window \"UIPCMAIN\" in this process, and\n"
      "                 Hallvoxen.dll loaded and started on its thread as the simulator does\n");
  say("  installation   %s (registry, Modules\\Hallvoxen.ini:\n"
      "                 Server=VATSIM, RangeCheck=ON, the two status file URLs above)\n",
      installation.simFolder().c_str());
  say("  RogerWilco     %s\n"
      "                 a stand-in that records the command line it is started with\n\n",
      rogerWilco.c_str());

  hvtest::ModuleHost host;
  hvtest::SubstituteSimulator sim;
  bool created = false;
  host.run([&] { created = sim.create(); });
  if (!created) {
    say("DEMO FAILED: cannot create the simulator's IPC window (is there an X display?)\n");
    return 1;
  }
  sim.setCom1(kStartCom1);
  sim.setPosition(kStartLatitude, kStartLongitude);

  const std::string modulePath = hvtest::binPath("Hallvoxen.dll");
  if (!host.load(modulePath)) {
    say("DEMO FAILED: cannot load %s\n", modulePath.c_str());
    return 1;
  }
  Exports api;
  api.getStatus = host.exported<GetStatusFn>("HALLVOXEN_Get_Status");
  api.setMode = host.exported<SetModeFn>("HALLVOXEN_Set_Mode");
  api.getServer = host.exported<GetServerFn>("HALLVOXEN_Get_Server");
  api.selectServer = host.exported<SelectServerFn>("HALLVOXEN_Select_Server");
  if (!api.getStatus || !api.setMode || !api.getServer || !api.selectServer) {
    say("DEMO FAILED: Hallvoxen.dll lacks one of the four HALLVOXEN_ exports\n");
    return 1;
  }
  if (host.initialise().wait_for(10s) != std::future_status::ready) {
    auto box = hvtest::answerMessageBox(hvtest::kErrorCaption, 1s);
    say("DEMO FAILED: the module's start-up did not return%s%s\n", box ? "; it showed: " : "",
        box ? box->c_str() : "");
    return 1;
  }

  Flight flight(installation, sim, http, api, rogerWilco);
  const auto takeOff = Clock::now();
  bool ok = flight.fly();
  const double flown = std::chrono::duration<double>(Clock::now() - takeOff).count();

  const auto took = host.deinitialise();
  host.unload();
  host.run([&] { sim.destroy(); });
  say("Hallvoxen.dll stopped in %d ms and unloaded.\n", static_cast<int>(took.count()));
  if (ok) ok = flight.quietAfterUnload();
  http.stop();

  if (!ok) return 1;
  say("\nEvery step showed what it should: the flight took %.1f s, the whole demo %.1f s.\n", flown,
      std::chrono::duration<double>(Clock::now() - begun).count());
  return 0;
}
