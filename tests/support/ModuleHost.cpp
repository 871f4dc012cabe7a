#include "tests/support/ModuleHost.h"

#include <cstdio>

namespace hvtest {

namespace {

constexpr UINT kRunCall = WM_APP + 0x51;
constexpr std::uint16_t kSimulatorControlWord = 0x007F;  // 24-bit precision, exceptions masked

std::uint16_t x87ControlWord() {
  std::uint16_t word = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(word));
  return word;
}

// On i686, ESI (callee-saved) keeps ESP from before the argument's push and puts it back
// after the call, so a wrong shift is measured instead of corrupting this frame.
std::uint32_t stdcallProbed(void* function, int arguments, std::uintptr_t argument, std::int32_t& shift) {
  std::uint32_t value = 0;
#if defined(__i386__)
  if (arguments == 0)
    __asm__ __volatile__("movl %%esp, %%esi\n\tcall *%[fn]\n\tmovl %%esp, %%ecx\n\tsubl %%esi, %%ecx\n\tmovl %%esi, %%esp"
                         : "=a"(value), "=c"(shift) : [fn] "r"(function) : "esi", "edx", "memory", "cc");
  else
    __asm__ __volatile__("movl %%esp, %%esi\n\tpushl %[arg]\n\tcall *%[fn]\n\tmovl %%esp, %%ecx\n\t"
                         "subl %%esi, %%ecx\n\tmovl %%esi, %%esp"
                         : "=a"(value), "=c"(shift) : [fn] "r"(function), [arg] "r"(argument) : "esi", "edx", "memory", "cc");
#else
  shift = 0;
  value = arguments == 0 ? reinterpret_cast<std::uint32_t (*)()>(function)()
                         : reinterpret_cast<std::uint32_t (*)(std::uintptr_t)>(function)(argument);
#endif
  return value;
}

}  // namespace

struct CallState {
  std::function<void()> fn;
  HANDLE finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ~CallState() { CloseHandle(finished); }
};

bool PendingCall::wait(std::chrono::milliseconds within) {
  return state_ && WaitForSingleObject(state_->finished, static_cast<DWORD>(within.count())) == WAIT_OBJECT_0;
}

bool PendingCall::done() const { return state_ && WaitForSingleObject(state_->finished, 0) == WAIT_OBJECT_0; }

ModuleHost::ModuleHost() {
  ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &ModuleHost::threadMain, this, 0, &threadId_);
  WaitForSingleObject(ready_, INFINITE);
}

ModuleHost::~ModuleHost() {
  if (initialised_) deinitialise();
  unload();
  PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  WaitForSingleObject(thread_, 10000);
  CloseHandle(thread_);
  CloseHandle(ready_);
}

DWORD WINAPI ModuleHost::threadMain(void* self) {
  auto* host = static_cast<ModuleHost*>(self);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the thread's message queue
  __asm__ __volatile__("fldcw %0" : : "m"(kSimulatorControlWord));
  SetEvent(host->ready_);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == kRunCall) {
      auto* state = reinterpret_cast<std::shared_ptr<CallState>*>(msg.lParam);
      (*state)->fn();
      SetEvent((*state)->finished);
      delete state;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

PendingCall ModuleHost::post(std::function<void()> fn) {
  PendingCall call;
  call.state_ = std::make_shared<CallState>();
  call.state_->fn = std::move(fn);
  auto* carried = new std::shared_ptr<CallState>(call.state_);
  PostThreadMessageA(threadId_, kRunCall, 0, reinterpret_cast<LPARAM>(carried));
  return call;
}

void ModuleHost::run(std::function<void()> fn) {
  if (GetCurrentThreadId() == threadId_) return fn();
  post(std::move(fn)).wait(std::chrono::milliseconds(INFINITE));
}

bool ModuleHost::load(const std::string& dllPath) {
  run([&] {
    module_ = LoadLibraryA(dllPath.c_str());
    if (module_) linkage_ = reinterpret_cast<const ModuleLinkage*>(GetProcAddress(module_, "Linkage"));
  });
  return module_ != nullptr && linkage_ != nullptr;
}

PendingCall ModuleHost::initialise() {
  initialised_ = true;
  auto entry = reinterpret_cast<void*>(linkage_->initialise);
  return post([this, entry] { probedCall("the initialisation entry", entry, 0, 0); });
}

std::chrono::milliseconds ModuleHost::deinitialise() {
  initialised_ = false;
  std::chrono::milliseconds took{0};
  auto entry = reinterpret_cast<void*>(linkage_->deinitialise);
  run([&] {
    auto start = std::chrono::steady_clock::now();
    probedCall("the de-initialisation entry", entry, 0, 0);
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  });
  return took;
}

std::uint32_t ModuleHost::call(const char* exportName, int arguments, std::uintptr_t argument) {
  std::uint32_t value = 0;
  run([&] { value = probedCall(exportName, exported<void>(exportName), arguments, argument); });
  return value;
}

std::uint32_t ModuleHost::probedCall(const char* name, void* function, int arguments, std::uintptr_t argument) {
  if (!function) return fault_ = std::string(name) + " is missing", 0;
  const std::uint16_t before = x87ControlWord();
  std::int32_t shift = 0;
  const std::uint32_t value = stdcallProbed(function, arguments, argument, shift);
  const std::uint16_t after = x87ControlWord();
  if (fault_.empty() && (shift != 0 || after != before)) {
    char text[160];
    std::snprintf(text, sizeof text, "%s moved the stack pointer by %d bytes, x87 control word %04X -> %04X", name,
                  static_cast<int>(shift), before, after);
    fault_ = text;
  }
  return value;
}

void ModuleHost::unload() {
  if (!module_) return;
  run([&] { FreeLibrary(module_); });
  module_ = nullptr;
  linkage_ = nullptr;
}

}  // namespace hvtest
