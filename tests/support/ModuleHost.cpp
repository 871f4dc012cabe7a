#include "tests/support/ModuleHost.h"

#include <cstdio>
#include <memory>

namespace hvtest {

namespace {

using Task = std::packaged_task<void()>;
constexpr UINT kRunTask = WM_APP + 0x51;  // lParam: a Task the thread runs and deletes
constexpr std::uint16_t kSimulatorControlWord = 0x007F;  // 24-bit precision, exceptions masked

std::uint16_t x87ControlWord() {
  std::uint16_t word = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(word));
  return word;
}

// On i686, ESI (callee-saved) keeps ESP from before the argument's push and puts it back
// after the call, so a wrong shift is measured instead of corrupting this frame. The
// argument is pushed for a function without one too, which leaves it on the stack.
std::uint32_t stdcallProbed(void* function, int arguments, std::uintptr_t argument, std::int32_t& shift) {
#if defined(__i386__)
  std::uint32_t value = 0;
  __asm__ __volatile__("movl %%esp, %%esi\n\tpushl %[arg]\n\tcall *%[fn]\n\tmovl %%esp, %%ecx\n\t"
                       "subl %%esi, %%ecx\n\tmovl %%esi, %%esp"
                       : "=a"(value), "=c"(shift) : [fn] "r"(function), [arg] "r"(argument) : "esi", "edx", "memory", "cc");
  if (arguments == 0) shift += 4;
  return value;
#else
  (void)arguments;
  shift = 0;  // one calling convention: an argument a function does not take is ignored
  return reinterpret_cast<std::uint32_t (*)(std::uintptr_t)>(function)(argument);
#endif
}

}  // namespace

ModuleHost::ModuleHost() {
  thread_ = std::thread([this] {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the thread's message queue
    __asm__ __volatile__("fldcw %0" : : "m"(kSimulatorControlWord));
    threadId_.set_value(GetCurrentThreadId());
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      if (msg.hwnd == nullptr && msg.message == kRunTask) {
        (*std::unique_ptr<Task>(reinterpret_cast<Task*>(msg.lParam)))();
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  });
  id_ = threadId_.get_future().get();
}

ModuleHost::~ModuleHost() {
  if (initialised_) deinitialise();
  unload();
  PostThreadMessageA(id_, WM_QUIT, 0, 0);
  thread_.join();
}

std::future<void> ModuleHost::post(std::function<void()> fn) {
  auto* task = new Task(std::move(fn));
  std::future<void> done = task->get_future();
  PostThreadMessageA(id_, kRunTask, 0, reinterpret_cast<LPARAM>(task));
  return done;
}

void ModuleHost::run(std::function<void()> fn) {
  if (GetCurrentThreadId() == id_) return fn();
  post(std::move(fn)).wait();
}

bool ModuleHost::load(const std::string& dllPath) {
  run([&] {
    module_ = LoadLibraryA(dllPath.c_str());
    linkage_ = module_ ? exported<void* const>("Linkage") : nullptr;
  });
  return linkage_ != nullptr;
}

// The Linkage record: a magic word, then the initialisation and de-initialisation entries.
void ModuleHost::entry(int index, const char* name) { probedCall(name, linkage_[index], 0, 0); }

std::future<void> ModuleHost::initialise() {
  initialised_ = true;
  return post([this] { entry(1, "the initialisation entry"); });
}

std::chrono::milliseconds ModuleHost::deinitialise() {
  initialised_ = false;
  std::chrono::milliseconds took{0};
  run([&] {
    const auto start = std::chrono::steady_clock::now();
    entry(2, "the de-initialisation entry");
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
  if (module_) run([&] { FreeLibrary(module_); });
  module_ = nullptr;
  linkage_ = nullptr;
}

}  // namespace hvtest
