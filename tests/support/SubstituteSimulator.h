// A stand-in for the simulator's IPC server, for tests and the demo: a top-level window
// of class "UIPCMAIN" that answers message 0x047F (wParam = length of the records,
// lParam = the batch) by executing the batch against 64 KiB of IPC offsets:
//
//   0x3304  server version word (0x19990000 unless set otherwise)
//   0x3308  0xFADE in the high half, the simulator version (0x0800) in the low half;
//           the word written at 0x330A is taken as the client's and does not land there
//   0x3210  56 four-byte key-table entries; byte 3 of an entry is its activation byte
//   0x2FE0  the menu record (slot, text, NUL): once written, the text is an item of the
//           window's "Modules" menu; picking it sets the activation byte of that slot
//   0x034E  COM1, four BCD digits after the leading 1
//   0x0560  latitude, 0x0568 longitude, in the simulator's 64-bit fixed point
//
// A key pressed in the window (a real WM_KEYDOWN, or pressKey) sets the activation byte
// of every entry whose byte 0 is the key code and byte 1 the flag: 2 with Shift held,
// 1 without (this stand-in's own reading of the flag).
//
// The window belongs to the thread that calls create(), which must pump messages: with
// tests/support/ModuleHost.h, inside host.run(). Everything else may be called from any
// thread. Every batch served is recorded, parsed, for assertions.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace hvtest {

class SubstituteSimulator {
 public:
  static constexpr UINT kBatchMessage = 0x047F;
  static constexpr std::uint32_t kKeyTable = 0x3210;
  static constexpr int kKeyTableEntries = 56;

  struct Record {
    std::uint32_t kind = 0;    // 1 read, 2 write
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;  // bytes served (read) or written (write)
  };
  struct Batch {
    std::vector<Record> records;
    std::intptr_t reply = 0;
    bool hasRead(std::uint32_t offset) const;
  };

  SubstituteSimulator();
  ~SubstituteSimulator();  // destroys the window if it is still there
  SubstituteSimulator(const SubstituteSimulator&) = delete;
  SubstituteSimulator& operator=(const SubstituteSimulator&) = delete;

  // On the thread that is to own the window (it must pump messages).
  bool create(const std::string& title = "Substitute simulator", bool visible = false);
  // From any thread.
  void destroy();
  HWND window() const { return window_; }

  // ---- the offset space
  void setCom1(std::uint16_t frequency);    // MHz x 100, 10000..19999
  void setPosition(double latitude, double longitude);
  void setPositionFixed(std::uint64_t latitude, std::uint64_t longitude);
  std::uint32_t tableEntry(int index) const;
  void setTableEntry(int index, std::uint32_t value);  // e.g. to occupy slots beforehand

  // ---- the user
  // The text of the module's item on the "Modules" menu, empty while there is none.
  std::string menuItemText() const;
  // Picks the module's menu item as the user would (WM_COMMAND to the window, handled
  // before this returns). False when there is no item.
  bool pickMenuItem();
  // A key press with the given flag; returns how many entries it activated.
  int pressKey(std::uint8_t keyCode, std::uint8_t flag = 1);

  // ---- behaviour
  // The window procedure sleeps this long before it executes a batch (a busy simulator).
  void setReplyDelay(std::chrono::milliseconds delay);

  // ---- what was served
  std::vector<Batch> servedBatches() const;
  int countBatches(const std::function<bool(const Batch&)>& test) const;

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT serve(std::uint8_t* buffer, std::uint32_t length);
  void afterWrite(std::uint32_t offset, std::uint32_t size);  // lock held
  void updateMenu();                                          // window thread only
  void put(std::uint32_t offset, const void* data, std::uint32_t size);  // lock held
  void get(std::uint32_t offset, void* data, std::uint32_t size) const;  // lock held

  mutable std::mutex mutex_;
  std::vector<std::uint8_t> space_;
  std::vector<Batch> served_;
  std::chrono::milliseconds replyDelay_{0};
  int menuSlot_ = -1;
  std::string menuText_;

  HWND window_ = nullptr;
  HMENU modulesMenu_ = nullptr;
  bool menuItemShown_ = false;
};

}  // namespace hvtest
