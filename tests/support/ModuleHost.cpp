#include "tests/support/ModuleHost.h"

#include <atomic>

namespace hvtest {

namespace {
constexpr UINT kRunCall = WM_APP + 0x51;
}

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
  auto entry = linkage_->initialise;
  return post([entry] { entry(); });
}

std::chrono::milliseconds ModuleHost::deinitialise() {
  initialised_ = false;
  std::chrono::milliseconds took{0};
  auto entry = linkage_->deinitialise;
  run([&] {
    auto start = std::chrono::steady_clock::now();
    entry();
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  });
  return took;
}

void ModuleHost::unload() {
  if (!module_) return;
  run([&] { FreeLibrary(module_); });
  module_ = nullptr;
  linkage_ = nullptr;
}

}  // namespace hvtest
