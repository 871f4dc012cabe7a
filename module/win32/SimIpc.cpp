// The IPC client's window messages, and the lock that keeps the batches of the worker
// loop and the dialog thread apart. The batch itself is built by SimClient.
#include "module/win32/SimIpc.h"

#include <windows.h>

#include <atomic>

#include "common/win32/CriticalSection.h"
#include "module/portable/SimClient.h"

namespace hv {

namespace {

constexpr char kServerClass[] = "UIPCMAIN";
// How long a new batch waits for the server to finish one that timed out.
constexpr DWORD kSettleWaitMs = 100;
constexpr DWORD kReplyTimeoutMs = static_cast<DWORD>(kSimReplyTimeout.count());

std::uintptr_t findServerWindow(void*) {
  return reinterpret_cast<std::uintptr_t>(FindWindowA(kServerClass, nullptr));
}

}  // namespace

std::intptr_t sendBatchMessage(void* context, std::uintptr_t server, unsigned char* buffer, std::uint32_t length) {
  SimIpcClient& client = *static_cast<SimIpcClient*>(context);
  HWND window = reinterpret_cast<HWND>(server);
  DWORD_PTR reply = 0;
  if (SendMessageTimeoutA(window, kSimIpcMessage, length, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                          kReplyTimeoutMs, &reply) == 0) {
    // Timed out, or the window is gone. A message that reached the window procedure may
    // still fill the buffer later.
    if (IsWindow(window)) {
      client.batchServer_ = window;
      client.batchWithServer_ = true;
    }
    return 0;
  }
  return static_cast<std::intptr_t>(reply);
}

SimIpcClient::SimIpcClient() : client_(SimServerLink{&findServerWindow, &sendBatchMessage, this}) {}

// Returns false when this thread held the lock already.
bool SimIpcClient::takeBatch() {
  if (batchHolder_.load() == GetCurrentThreadId()) return false;
  batchMutex_.lock();
  batchHolder_ = GetCurrentThreadId();
  return true;
}

void SimIpcClient::giveBatch() {
  if (batchHolder_.load() != GetCurrentThreadId()) return;
  batchHolder_ = 0;
  batchMutex_.unlock();
}

// Sent messages are handled in the order they arrive: once the server has answered a
// message sent now, it has finished with any earlier batch.
bool SimIpcClient::serverDone() {
  if (!batchWithServer_) return true;
  HWND window = batchServer_.load();
  DWORD_PTR ignored = 0;
  DWORD wait = kReplyTimeoutMs < kSettleWaitMs ? kReplyTimeoutMs : kSettleWaitMs;
  if (!IsWindow(window) || SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, wait, &ignored) != 0)
    batchWithServer_ = false;
  return !batchWithServer_;
}

// The first record of a batch must not go into a buffer the server may still fill.
bool SimIpcClient::mayStartBatch(std::uint32_t& error) {
  if (!client_.batchEmpty() || serverDone()) return true;
  error = kSimNoReply;
  return false;
}

template <typename Queue>
bool SimIpcClient::queue(std::uint32_t& error, Queue queueRecord) {
  takeBatch();
  bool queued = mayStartBatch(error) && queueRecord();
  if (client_.batchEmpty()) giveBatch();
  return queued;
}

bool SimIpcClient::open(std::uint16_t requestedVersion, std::uint32_t& error, void* buffer, std::uint32_t size) {
  bool took = takeBatch();
  bool opened = false;
  if (!client_.isOpen() && !serverDone())
    error = kSimNoReply;
  else
    opened = client_.open(requestedVersion, error, buffer, size);
  if (took) giveBatch();
  return opened;
}

bool SimIpcClient::read(std::uint32_t offset, std::uint32_t size, void* destination, std::uint32_t& error) {
  return queue(error, [&] { return client_.read(offset, size, destination, error); });
}

bool SimIpcClient::write(std::uint32_t offset, std::uint32_t size, const void* source, std::uint32_t& error) {
  return queue(error, [&] { return client_.write(offset, size, source, error); });
}

bool SimIpcClient::process(std::uint32_t& error) {
  takeBatch();
  bool done = client_.process(error);
  giveBatch();
  return done;
}

}  // namespace hv
