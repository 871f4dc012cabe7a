// The IPC client's window messages, and the lock that keeps the batches of the worker
// loop and the dialog thread apart. The batch itself is built by SimClient.
#include "module/win32/SimIpc.h"

#include <windows.h>

#include <atomic>

#include "common/win32/CriticalSection.h"
#include "module/portable/SimClient.h"

namespace hv::SimIpc {

namespace {

constexpr char kServerClass[] = "UIPCMAIN";
// How long a new batch waits for the server to finish one that timed out.
constexpr DWORD kSettleWaitMs = 100;

constexpr DWORD kReplyTimeoutMs = static_cast<DWORD>(kReplyTimeout.count());
// Set when a batch was not answered in time and may still be in the hands of the
// server window kept beside it.
std::atomic<bool> batchWithServer{false};
std::atomic<HWND> batchServer{nullptr};

std::uintptr_t findServer(void*) { return reinterpret_cast<std::uintptr_t>(FindWindowA(kServerClass, nullptr)); }

std::intptr_t sendBatch(void*, std::uintptr_t server, unsigned char* buffer, std::uint32_t length) {
  HWND window = reinterpret_cast<HWND>(server);
  DWORD_PTR reply = 0;
  if (SendMessageTimeoutA(window, kSimIpcMessage, length, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                          kReplyTimeoutMs, &reply) == 0) {
    // Timed out, or the window is gone. A message that reached the window procedure may
    // still fill the buffer later.
    if (IsWindow(window)) {
      batchServer = window;
      batchWithServer = true;
    }
    return 0;
  }
  return static_cast<std::intptr_t>(reply);
}

SimClient& client() {
  static SimClient instance(SimServerLink{&findServer, &sendBatch, nullptr});
  return instance;
}

// The batch lock: held by one thread from its first queued record to the end of its
// process(). It knows its holder, so that the holder's further records go in at once.
CriticalSection batchMutex;
std::atomic<DWORD> batchHolder{0};

// Returns false when this thread held the lock already.
bool takeBatch() {
  if (batchHolder.load() == GetCurrentThreadId()) return false;
  batchMutex.lock();
  batchHolder = GetCurrentThreadId();
  return true;
}

void giveBatch() {
  if (batchHolder.load() != GetCurrentThreadId()) return;
  batchHolder = 0;
  batchMutex.unlock();
}

// Sent messages are handled in the order they arrive: once the server has answered a
// message sent now, it has finished with any earlier batch.
bool serverSettled() {
  if (!batchWithServer) return true;
  HWND window = batchServer.load();
  DWORD_PTR ignored = 0;
  DWORD wait = kReplyTimeoutMs < kSettleWaitMs ? kReplyTimeoutMs : kSettleWaitMs;
  if (!IsWindow(window) || SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, wait, &ignored) != 0)
    batchWithServer = false;
  return !batchWithServer;
}

// The first record of a batch must not go into a buffer the server may still fill.
bool mayStartBatch(std::uint32_t& error) {
  if (!client().batchEmpty() || serverSettled()) return true;
  error = kSimNoReply;
  return false;
}

template <typename Queue>
bool queue(std::uint32_t& error, Queue queueRecord) {
  takeBatch();
  bool queued = mayStartBatch(error) && queueRecord();
  if (client().batchEmpty()) giveBatch();
  return queued;
}

}  // namespace

bool open(std::uint16_t requestedVersion, std::uint32_t& error, void* buffer, std::uint32_t size) {
  bool took = takeBatch();
  bool opened = false;
  if (!client().isOpen() && !serverSettled())
    error = kSimNoReply;
  else
    opened = client().open(requestedVersion, error, buffer, size);
  if (took) giveBatch();
  return opened;
}

bool read(std::uint32_t offset, std::uint32_t size, void* destination, std::uint32_t& error) {
  return queue(error, [&] { return client().read(offset, size, destination, error); });
}

bool write(std::uint32_t offset, std::uint32_t size, const void* source, std::uint32_t& error) {
  return queue(error, [&] { return client().write(offset, size, source, error); });
}

bool process(std::uint32_t& error) {
  takeBatch();
  bool done = client().process(error);
  giveBatch();
  return done;
}

void close() {
  takeBatch();
  client().close();
  giveBatch();
}

}  // namespace hv::SimIpc
