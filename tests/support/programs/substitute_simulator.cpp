// Plays the simulator for a script: creates the IPC server window ("UIPCMAIN") on a
// message-pumping simulator thread, loads the module and calls its initialisation entry
// as the simulator does, then follows commands read from standard input, one a line:
//
//   com1 11810              tune COM1 (MHz x 100)
//   position 47.26 11.34    place the aircraft (degrees, north and east positive)
//   entry 0 0x0A4B          occupy a key-table entry (before "start")
//   start                   load and initialise the module (done before the first
//                           other command if not given)
//   pick                    pick the module's menu item
//   key 192 [flag]          press a key (flag 1 without Shift, 2 with)
//   wait 1500               let the simulator run for a while (milliseconds)
//   show                    print COM1, the menu item and the key-table entries in use
//   batches                 print the batches served so far, one a line
//   quit                    de-initialise and unload the module (also at end of input)
//
// usage: substitute_simulator [path of Hallvoxen.dll]   (default: next to this program)
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/support/ModuleHost.h"
#include "tests/support/SubstituteSimulator.h"

namespace {

using hvtest::SubstituteSimulator;

std::string defaultModulePath() {
  char self[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, self, sizeof self - 1);
  std::string path(self);
  return path.substr(0, path.find_last_of("\\/") + 1) + "Hallvoxen.dll";
}

void printBatch(const SubstituteSimulator::Batch& b) {
  std::printf("batch of %u bytes, reply %d:", b.length, static_cast<int>(b.reply));
  for (const auto& r : b.records) {
    std::printf(" %s %04X/%u", r.kind == 1 ? "read" : "write", r.offset, r.size);
    if (r.kind == 2 && r.size <= 4) {
      std::printf("=");
      for (std::uint8_t byte : r.data) std::printf("%02X", byte);
    }
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath = argc > 1 ? argv[1] : defaultModulePath();
  hvtest::ModuleHost host;
  SubstituteSimulator sim;
  bool created = false;
  host.run([&] { created = sim.create("Substitute simulator", true); });
  if (!created) {
    std::fprintf(stderr, "cannot create the simulator window\n");
    return 1;
  }

  bool started = false;
  auto start = [&]() -> bool {
    if (started) return true;
    started = true;
    if (!host.load(modulePath)) {
      std::fprintf(stderr, "cannot load %s\n", modulePath.c_str());
      return false;
    }
    // A message box inside the entry keeps it running until someone answers it.
    if (!host.initialise().wait(std::chrono::milliseconds(10000)))
      std::fprintf(stderr, "the initialisation entry has not returned (a message box?)\n");
    std::printf("module started\n");
    return true;
  };

  std::string line;
  int status = 0;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string command;
    if (!(in >> command) || command[0] == '#') continue;
    if (command == "quit") break;
    if (command == "entry") {
      int index = 0;
      std::string value;
      in >> index >> value;
      sim.setTableEntry(index, static_cast<std::uint32_t>(std::stoul(value, nullptr, 0)));
      continue;
    }
    if (!start()) {
      status = 1;
      break;
    }
    if (command == "start") {
    } else if (command == "com1") {
      unsigned frequency = 0;
      in >> frequency;
      sim.setCom1(static_cast<std::uint16_t>(frequency));
    } else if (command == "position") {
      double latitude = 0, longitude = 0;
      in >> latitude >> longitude;
      sim.setPosition(latitude, longitude);
    } else if (command == "pick") {
      std::printf(sim.pickMenuItem() ? "menu item picked\n" : "no menu item\n");
    } else if (command == "key") {
      unsigned code = 0, flag = 1;
      in >> code >> flag;
      std::printf("%d entries activated\n", sim.pressKey(static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(flag)));
    } else if (command == "wait") {
      unsigned ms = 0;
      in >> ms;
      Sleep(ms);
    } else if (command == "show") {
      std::printf("COM1 %u, menu item \"%s\"\n", sim.com1(), sim.menuItemText().c_str());
      for (int i = 0; i < SubstituteSimulator::kKeyTableEntries; ++i)
        if (std::uint32_t entry = sim.tableEntry(i)) std::printf("entry %d = 0x%08X\n", i, entry);
    } else if (command == "batches") {
      for (const auto& b : sim.servedBatches()) printBatch(b);
    } else {
      std::fprintf(stderr, "unknown command: %s\n", command.c_str());
    }
    std::fflush(stdout);
  }

  if (started && host.module() && host.linkage()) {
    auto took = host.deinitialise();
    std::printf("module stopped in %d ms\n", static_cast<int>(took.count()));
  }
  host.run([&] { sim.destroy(); });
  return status;
}
