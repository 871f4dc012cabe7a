// The module's one client of the simulator IPC server, the window of class "UIPCMAIN"
// in the simulator's process: reads and writes at IPC offsets, collected in a batch and
// sent as one message 0x047F (wParam = length of the records, lParam = the buffer).
//
// Every operation but close returns true on success and stores an error code through
// its out-parameter (SimIpcCode in module/portable/SimBatch.h, 0 on success).
//
// The worker loop and the dialog thread share the client. A batch belongs to one thread
// from its first queued record to the end of process(): a second thread that starts a
// batch meanwhile waits until the first one has been processed. A thread must therefore
// always end what it queued with process().
//
// The wait for the server's reply is bounded (5 s unless set otherwise); a batch that
// was not answered in time fails with 13. Such a batch may still be with the server, so
// the buffer is not touched again until the server has shown that it is done with it:
// until then every new batch fails with 13 at once.
#pragma once

#include <chrono>
#include <cstdint>

namespace hv::SimIpc {

// Finds the server window and checks its versions. requestedVersion 0 accepts any
// simulator. The buffer must stay valid while the client is open (which is, in the
// module, until it is unloaded).
bool open(std::uint16_t requestedVersion, std::uint32_t& error, void* buffer, std::uint32_t size);
// Queues a read of size bytes at offset; after a successful process() they are in
// destination. A null destination fetches the value and drops it.
bool read(std::uint32_t offset, std::uint32_t size, void* destination, std::uint32_t& error);
// Queues a write of size bytes at offset; the source is copied at once.
bool write(std::uint32_t offset, std::uint32_t size, const void* source, std::uint32_t& error);
// Sends the batch and delivers the values read. The batch is empty afterwards.
bool process(std::uint32_t& error);
// Forgets the window and the buffer; nothing is sent.
void close();

// The longest wait for the server's reply to one batch.
constexpr std::chrono::milliseconds kReplyTimeout{5000};

}  // namespace hv::SimIpc
