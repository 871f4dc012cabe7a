// The module's client of the simulator IPC server, the window of class "UIPCMAIN"
// in the simulator's process: reads and writes at IPC offsets, collected in a batch and
// sent as one message 0x047F (wParam = length of the records, lParam = the buffer).
//
// Every operation returns true on success and stores an error code through
// its out-parameter (SimIpcCode in module/portable/SimBatch.h, 0 on success).
//
// The worker loop and the dialog thread share the client. A batch belongs to one thread
// from its first queued record to the end of process(): a second thread that starts a
// batch meanwhile waits until the first one has been processed. A thread must therefore
// always end what it queued with process().
//
// The wait for the server's reply is bounded (5 s); a batch that
// was not answered in time fails with 13. Such a batch may still be with the server, so
// the buffer is not touched again until the server has shown that it is done with it:
// until then every new batch fails with 13 at once.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>

#include "common/win32/CriticalSection.h"
#include "module/portable/SimClient.h"

namespace hv {

// The longest wait for the server's reply to one batch.
constexpr std::chrono::milliseconds kSimReplyTimeout{5000};

class SimIpcClient {
 public:
  SimIpcClient();
  SimIpcClient(const SimIpcClient&) = delete;
  SimIpcClient& operator=(const SimIpcClient&) = delete;

  // Finds the server window and checks its versions. requestedVersion 0 accepts any
  // simulator. The buffer must stay valid while the client is open and until
  // serverDone() says the server has finished with it.
  bool open(std::uint16_t requestedVersion, std::uint32_t& error, void* buffer, std::uint32_t size);
  // Queues a read of size bytes at offset; after a successful process() they are in
  // destination. A null destination fetches the value and drops it.
  bool read(std::uint32_t offset, std::uint32_t size, void* destination, std::uint32_t& error);
  // Queues a write of size bytes at offset; the source is copied at once.
  bool write(std::uint32_t offset, std::uint32_t size, const void* source, std::uint32_t& error);
  // Sends the batch and delivers the values read. The batch is empty afterwards.
  bool process(std::uint32_t& error);
  // True unless a batch that was not answered in time may still be filled by the server.
  bool serverDone();

 private:
  friend std::intptr_t sendBatchMessage(void* client, std::uintptr_t server, unsigned char* buffer,
                                        std::uint32_t length);
  bool takeBatch();
  void giveBatch();
  bool mayStartBatch(std::uint32_t& error);
  template <typename Queue>
  bool queue(std::uint32_t& error, Queue queueRecord);

  SimClient client_;
  // Set when a batch was not answered in time and may still be in the hands of the
  // server window kept beside it.
  std::atomic<bool> batchWithServer_{false};
  std::atomic<HWND> batchServer_{nullptr};
  // The batch lock: held by one thread from its first queued record to the end of its
  // process(). It knows its holder, so that the holder's further records go in at once.
  CriticalSection batchMutex_;
  std::atomic<DWORD> batchHolder_{0};
};

}  // namespace hv
