// The simulator IPC client without its window messages: opening with the version
// checks, queuing reads and writes, processing a batch, closing. How the server is found
// and how a batch reaches it is left to a SimServerLink (window messages in the module,
// a plain function in tests).
//
// Every operation but close returns true on success and stores an error code
// (SimIpcCode) through its out-parameter, 0 on success.
#pragma once

#include <cstdint>

#include "module/portable/SimBatch.h"

namespace hv {

struct SimServerLink {
  // The server's handle, 0 when there is no server.
  std::uintptr_t (*find)(void* context) = nullptr;
  // Hands the sealed batch (length bytes of records, terminator after them) to the
  // server and returns its reply; 1 means the batch was executed.
  std::intptr_t (*send)(void* context, std::uintptr_t server, unsigned char* buffer, std::uint32_t length) = nullptr;
  void* context = nullptr;
};

class SimClient {
 public:
  explicit SimClient(SimServerLink link) : link_(link) {}

  // requested 0 accepts any simulator version. The buffer must stay valid while open.
  bool open(std::uint16_t requested, std::uint32_t& error, void* buffer, std::uint32_t size);
  bool read(std::uint32_t offset, std::uint32_t size, void* destination, std::uint32_t& error);
  bool write(std::uint32_t offset, std::uint32_t size, const void* source, std::uint32_t& error);
  bool process(std::uint32_t& error);
  // Forgets the server and the buffer; nothing is sent.
  void close();

  bool isOpen() const { return batch_.attached(); }
  bool batchEmpty() const { return batch_.empty(); }

 private:
  SimServerLink link_;
  SimBatch batch_;
  std::uintptr_t server_ = 0;
};

}  // namespace hv
