// Building and walking IPC batches inside the caller's buffer.
#include "module/portable/SimBatch.h"

#include <cstring>

namespace hv {

namespace {

void putWord(unsigned char* at, std::uint32_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
  at[2] = static_cast<unsigned char>(value >> 16);
  at[3] = static_cast<unsigned char>(value >> 24);
}

std::uint32_t getWord(const unsigned char* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// Whether a record of header + size bytes, plus the terminator, fits after used bytes.
// Computed in 64 bits so that a huge size cannot wrap around.
bool fits(std::uint32_t used, std::uint32_t header, std::uint32_t size, std::uint32_t capacity) {
  return std::uint64_t{used} + header + size + kSimTerminator <= capacity;
}

}  // namespace

void SimBatch::attach(unsigned char* buffer, std::uint32_t size) {
  start_ = buffer;
  capacity_ = size < kSimMaxCapacity ? size : kSimMaxCapacity;
  clear();
}

void SimBatch::detach() {
  start_ = nullptr;
  capacity_ = 0;
  clear();
}

void SimBatch::clear() {
  used_ = 0;
  sealedLength_ = 0;
  reads_ = 0;
}

std::uint32_t SimBatch::queueRead(std::uint32_t offset, std::uint32_t size, void* destination) {
  if (!start_) return kSimNotOpen;
  if (!fits(used_, kSimReadHeader, size, capacity_)) return kSimBatchFull;
  std::uint32_t reference = 0;
  if (destination) {
    destinations_[reads_] = destination;
    reference = reads_ + 1;
  }
  ++reads_;  // every read takes a slot, so the table can never overflow (see kSimMaxReads)
  unsigned char* at = start_ + used_;
  putWord(at, kSimReadKind);
  putWord(at + 4, offset);
  putWord(at + 8, size);
  putWord(at + 12, reference);
  std::memset(at + kSimReadHeader, 0, size);
  used_ += kSimReadHeader + size;
  return kSimOk;
}

std::uint32_t SimBatch::queueWrite(std::uint32_t offset, std::uint32_t size, const void* source) {
  if (!start_) return kSimNotOpen;
  if (!fits(used_, kSimWriteHeader, size, capacity_)) return kSimBatchFull;
  unsigned char* at = start_ + used_;
  putWord(at, kSimWriteKind);
  putWord(at + 4, offset);
  putWord(at + 8, size);
  if (size) std::memcpy(at + kSimWriteHeader, source, size);
  used_ += kSimWriteHeader + size;
  return kSimOk;
}

void SimBatch::seal() {
  if (!start_) return;
  putWord(start_ + used_, 0);
  sealedLength_ = used_;
}

std::uint32_t SimBatch::complete(std::intptr_t reply) {
  std::uint32_t code = kSimNoReply;
  if (start_ && reply == 1) {
    deliver();
    code = kSimOk;
  }
  clear();
  return code;
}

void SimBatch::deliver() {
  // The walk stops at the terminator, at a kind it does not know (which it overwrites
  // with 0), and in any case at the end of what was sent: a server that changed a size
  // word cannot lead it beyond the batch.
  std::uint32_t at = 0;
  while (at + 4 <= sealedLength_) {
    unsigned char* record = start_ + at;
    std::uint32_t kind = getWord(record);
    if (kind == 0) break;
    if (kind == kSimReadKind) {
      if (at + kSimReadHeader > sealedLength_) break;
      std::uint32_t size = getWord(record + 8);
      if (std::uint64_t{at} + kSimReadHeader + size > sealedLength_) break;
      std::uint32_t reference = getWord(record + 12);
      if (reference != 0 && reference <= reads_ && size > 0)
        std::memcpy(destinations_[reference - 1], record + kSimReadHeader, size);
      at += kSimReadHeader + size;
    } else if (kind == kSimWriteKind) {
      if (at + kSimWriteHeader > sealedLength_) break;
      std::uint32_t size = getWord(record + 8);
      if (std::uint64_t{at} + kSimWriteHeader + size > sealedLength_) break;
      at += kSimWriteHeader + size;
    } else {
      putWord(record, 0);
      break;
    }
  }
}

std::uint32_t checkServerIdentity(std::uint32_t serverVersion, std::uint32_t versionWord,
                                  std::uint16_t requested, std::uint16_t& simulatorVersion) {
  if (serverVersion < kSimMinServerVersion) return kSimOldServer;
  if ((versionWord >> 16) != kSimVersionMarker) return kSimOldServer;
  simulatorVersion = static_cast<std::uint16_t>(versionWord & 0xFFFF);
  if (requested != 0 && requested != simulatorVersion) return kSimWrongVersion;
  return kSimOk;
}

}  // namespace hv
