// hallvoxen_dialog_pictures: puts the settings dialog of the real module on screen in the
// three states the pilot's guide shows, one after the other, for scripts/screenshots.sh:
//
//   off      control off, as at every start of the simulator
//   vatsim   control on, the VATSIM list from the bundled sample data, the aircraft at a
//            gate in Frankfurt
//   failed   control on, IVAO chosen, whose status server refused every connection
//
// The set-up is the demo's: the sample files on a loopback HTTP server, a simulator
// installation with a stand-in RogerWilco, the substitute simulator with Hallvoxen.dll
// loaded as the simulator loads it. IVAO's status file address points at a port where
// nothing listens.
//
// For each state it prints "NAME x y width height" (the dialog's screen area) and waits
// for a line on standard input before it closes the dialog with Cancel and goes on.
// Exit code 1 when a state cannot be shown.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#include "dialog/win32/SettingsDialogResources.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SampleNetworks.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using GetStatusFn = std::uint32_t __stdcall(void*);
using SetModeFn = std::uint32_t __stdcall(std::uint32_t);
using SelectServerFn = std::uint32_t __stdcall(std::uint32_t);
constexpr std::uint32_t kWaiting = 65534;

int fail(const char* why) {
  std::fprintf(stderr, "dialog pictures: %s\n", why);
  return 1;
}

HWND settingsDialog() {
  HWND dialog = FindWindowA("#32770", "Hallvoxen");
  return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

// Opens the dialog from the menu, lets it paint, hands its area to the caller and waits
// for the go-ahead, then cancels it.
bool pose(hvtest::SubstituteSimulator& sim, const char* name) {
  if (!sim.pickMenuItem()) return false;
  HWND dialog = nullptr;
  hvtest::waitUntil([&] { return (dialog = settingsDialog()) != nullptr; }, 10s);
  if (!dialog) return false;
  SetForegroundWindow(dialog);
  Sleep(700);
  RECT area = {};
  GetWindowRect(dialog, &area);
  std::printf("%s %ld %ld %ld %ld\n", name, area.left, area.top, area.right - area.left, area.bottom - area.top);
  std::fflush(stdout);
  std::string go;
  std::getline(std::cin, go);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return hvtest::waitUntil([] { return settingsDialog() == nullptr; }, 5s);
}

}  // namespace

int main() {
  hvtest::LoopbackHttpServer http;
  hvtest::ServedNetworks served;
  std::string error;
  if (!hvtest::serveSampleNetworks(http, hvtest::windowsPath(std::string(HV_SOURCE_DIR) + "/samples/networks"), served,
                                   error))
    return fail(error.c_str());
  const std::string refusedIvao =
      "http://127.0.0.1:" + std::to_string(hvtest::unusedLoopbackPort()) + "/whazzup/status.txt";

  hvtest::SimInstallation installation;
  installation.installRogerWilco();
  installation.writeIni("[GENERAL]\r\nServer=VATSIM\r\nRangeCheck=ON\r\n[NETWORK]\r\nVatsimStatusUrl=" +
                        served.vatsimStatusUrl + "\r\nIvaoStatusUrl=" + refusedIvao + "\r\n");

  hvtest::ModuleHost host;
  hvtest::SubstituteSimulator sim;
  bool created = false;
  host.run([&] { created = sim.create(); });
  if (!created) return fail("cannot create the simulator's window");
  sim.setCom1(12280);
  sim.setPosition(50.0500, 8.5850);  // a gate in Frankfurt
  if (!host.load(hvtest::binPath("Hallvoxen.dll"))) return fail("cannot load Hallvoxen.dll");
  auto* getStatus = host.exported<GetStatusFn>("HALLVOXEN_Get_Status");
  auto* setMode = host.exported<SetModeFn>("HALLVOXEN_Set_Mode");
  auto* selectServer = host.exported<SelectServerFn>("HALLVOXEN_Select_Server");
  if (!getStatus || !setMode || !selectServer) return fail("the module lacks its exports");
  if (host.initialise().wait_for(10s) != std::future_status::ready) return fail("the module's start-up did not return");
  // The menu entry appears once the worker has connected to the simulator.
  if (!hvtest::waitUntil([&] { return !sim.menuItemText().empty(); }, 10s)) return fail("no menu entry");

  bool ok = pose(sim, "off");

  unsigned char record[192];
  setMode(1);
  ok = ok && hvtest::waitUntil([&] { return getStatus(record) != kWaiting; }, 20s);
  Sleep(2000);  // the IVAO feed's first attempt, refused at once
  ok = ok && pose(sim, "vatsim");

  selectServer(1);
  ok = ok && pose(sim, "failed");

  host.deinitialise();
  host.unload();
  host.run([&] { sim.destroy(); });
  http.stop();
  return ok ? 0 : fail("the dialog did not show a state");
}
