// A stand-in for the simulator's IPC server, for tests and the demo: a top-level window
// of class "UIPCMAIN" that answers message 0x047F (wParam = length of the records,
// lParam = the batch) by executing the batch against 64 KiB of IPC offsets:
//
//   0x3304  server version word (0x19990000)
//   0x3308  0xFADE in the high half, the simulator version (0x0800) in the low half;
//           the word written at 0x330A is taken as the client's and does not land there
//   0x3210  56 four-byte key-table entries; byte 3 of an entry is its activation byte
//   0x2FE0  the menu record (slot, text, NUL): once written, the text is an item of the
//           window's "Modules" menu; picking it sets the activation byte of that slot
//   0x034E  COM1, four BCD digits after the leading 1
//   0x0560  latitude, 0x0568 longitude, in the simulator's 64-bit fixed point
//
// A batch is checked whole before it runs: a malformed one (or none) changes nothing and
// gets the reply 0. The window belongs to the thread that calls create(), which must pump
// messages: with tests/support/ModuleHost.h, inside host.run(). Everything else may be
// called from any thread (destroy() while that thread still pumps; the window also goes
// when its thread ends).
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace hvtest {

class SubstituteSimulator {
 public:
  SubstituteSimulator();
  ~SubstituteSimulator() { destroy(); }

  bool create();
  void destroy();

  // ---- the offset space
  void setCom1(std::uint16_t frequency);  // MHz x 100, 10000..19999
  void setPosition(double latitude, double longitude);
  void setPositionFixed(std::uint64_t latitude, std::uint64_t longitude);
  std::uint32_t tableEntry(int index) const;
  void setTableEntry(int index, std::uint32_t value);  // e.g. to occupy slots beforehand

  // ---- the user
  // The text of the module's item on the "Modules" menu, empty while there is none.
  std::string menuItemText() const;
  // Picks the module's menu item as the user would (handled before this returns); false
  // when there is none.
  bool pickMenuItem();
  // A key press: sets the activation byte of every entry with that key code in byte 0 and
  // the flag 1 in byte 1; returns how many it set.
  int pressKey(std::uint8_t keyCode);

  // The window procedure sleeps this long before it executes a batch (a busy simulator).
  void setReplyDelay(std::chrono::milliseconds delay) { replyDelay_ = delay; }

  // ---- what was served
  int malformedBatches() const;
  // How many batches read the offset.
  int batchesReading(std::uint32_t offset) const;

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT serve(std::uint8_t* buffer, std::uint32_t length);
  void put(std::uint32_t offset, const void* data, std::uint32_t size);

  mutable std::mutex mutex_;  // guards the offset space and the counts
  std::vector<std::uint8_t> space_;
  int malformed_ = 0;
  std::map<std::uint32_t, int> batchesReading_;
  std::atomic<std::chrono::milliseconds> replyDelay_{std::chrono::milliseconds(0)};
  HWND window_ = nullptr;
  HMENU modulesMenu_ = nullptr;
};

}  // namespace hvtest
