// Loads the module the way the simulator does: on a thread of its own that pumps window
// messages (the "simulator thread"), LoadLibrary, find the exported Linkage record, call
// its initialisation entry, keep pumping, call the de-initialisation entry, FreeLibrary.
// Tests run further work on the simulator thread with run() (for instance creating the
// substitute simulator's window, which must belong to that thread).
//
// The simulator thread runs with its x87 precision lowered to 24 bits, as the simulator's
// graphics may leave it. Entries and exports are called there as a compiled caller calls
// them, through a stdcall pointer; the first call that changed the caller's x87 control
// word or, on i686, moved its stack pointer (a stdcall function removes its own
// arguments) is kept in fault().
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <thread>

namespace hvtest {

class ModuleHost {
 public:
  ModuleHost();
  ~ModuleHost();  // de-initialises and unloads what is still loaded, ends the thread

  // Runs fn on the simulator thread and waits for it.
  void run(std::function<void()> fn);

  // LoadLibrary and GetProcAddress("Linkage"), on the simulator thread.
  bool load(const std::string& dllPath);
  // The initialisation entry, posted: a message box inside it keeps it running until
  // the test answers the box.
  std::future<void> initialise();
  // The de-initialisation entry, run and waited for; returns how long it took.
  std::chrono::milliseconds deinitialise();
  void unload();
  // An export with no argument or one, called on the simulator thread; its result.
  std::uint32_t call(const char* exportName, int arguments = 0, std::uintptr_t argument = 0);
  // Empty while every entry and export call kept the caller's stack pointer and control word.
  const std::string& fault() const { return fault_; }

  HMODULE module() const { return module_; }
  template <typename Fn>
  Fn* exported(const char* name) const {
    return reinterpret_cast<Fn*>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  std::future<void> post(std::function<void()> fn);
  void entry(int index, const char* name);  // of the Linkage record
  std::uint32_t probedCall(const char* name, void* function, int arguments, std::uintptr_t argument);
  std::promise<DWORD> threadId_;
  std::thread thread_;
  DWORD id_ = 0;
  HMODULE module_ = nullptr;
  void* const* linkage_ = nullptr;
  bool initialised_ = false;
  std::string fault_;
};

}  // namespace hvtest
