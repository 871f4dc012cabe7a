// The batch of read and write records that the module hands to the simulator's IPC
// server in one window message, built inside a buffer that the caller supplies.
//
// Wire format (32-bit little-endian words, records packed without gaps):
//   read  record: kind 1, offset, size n, destination, then n data bytes (zeroed; the server fills them)
//   write record: kind 2, offset, size n, then the n bytes to write
//   terminator:   one word 0 after the last record (not counted in the message's length)
//
// The destination word is the client's own reference: here the number of the read
// record's slot in the batch's table of destinations plus one (0 for a value that is
// fetched and dropped). The table lives in the SimBatch, so a 64-bit address never has
// to fit into the 32-bit field. Nothing is allocated; every capacity check happens
// before anything is written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hv {

// Error codes of the IPC client, reported through its out-parameters.
enum SimIpcCode : std::uint32_t {
  kSimOk = 0,
  kSimAlreadyOpen = 1,
  kSimNoServer = 2,        // no window of class "UIPCMAIN"
  kSimBadBuffer = 6,       // no buffer, or fewer than 32 bytes
  kSimOldServer = 7,       // server version below 0x19980005, or no 0xFADE marker
  kSimWrongVersion = 8,    // the simulator reports another version than requested
  kSimNotOpen = 9,
  kSimEmptyBatch = 10,
  kSimNoReply = 13,        // the server's reply was not 1
  kSimBatchFull = 15,      // record plus terminator would not fit within the capacity
};

constexpr std::uint32_t kSimIpcMessage = 0x047F;  // WM_USER + 0x7F
constexpr std::uint32_t kSimMaxCapacity = 32512;
constexpr std::uint32_t kSimMinBuffer = 32;
constexpr std::uint32_t kSimReadKind = 1;
constexpr std::uint32_t kSimWriteKind = 2;
constexpr std::uint32_t kSimReadHeader = 16;
constexpr std::uint32_t kSimWriteHeader = 12;
constexpr std::uint32_t kSimTerminator = 4;

// IPC offsets read and written while opening.
constexpr std::uint32_t kSimServerVersionOffset = 0x3304;
constexpr std::uint32_t kSimVersionWordOffset = 0x3308;
constexpr std::uint32_t kSimClientWordOffset = 0x330A;
constexpr std::uint16_t kSimClientWord = 0x044C;
constexpr std::uint32_t kSimMinServerVersion = 0x19980005;
constexpr std::uint16_t kSimVersionMarker = 0xFADE;

// The most read records one batch can hold: zero-sized reads in the largest capacity.
constexpr std::uint32_t kSimMaxReads = (kSimMaxCapacity - kSimTerminator) / kSimReadHeader;

class SimBatch {
 public:
  // Takes the caller's buffer; the capacity is size, at most 32512. The batch is empty.
  void attach(unsigned char* buffer, std::uint32_t size);
  // Forgets the buffer.
  void detach();
  bool attached() const { return start_ != nullptr; }

  // Bytes of records queued, not counting the terminator.
  std::uint32_t length() const { return used_; }
  bool empty() const { return used_ == 0; }
  unsigned char* buffer() const { return start_; }

  // Queue a record. Returns kSimOk, kSimNotOpen (no buffer) or kSimBatchFull (nothing queued).
  // A null destination fetches the value and drops it. The source is copied at once.
  std::uint32_t queueRead(std::uint32_t offset, std::uint32_t size, void* destination);
  std::uint32_t queueWrite(std::uint32_t offset, std::uint32_t size, const void* source);

  // Puts the terminator after the last record; the batch is then ready to send.
  void seal();

  // Ends the batch after the server's reply: with a reply of 1 the values read are copied
  // to their destinations and kSimOk is returned; any other reply touches no destination
  // and gives kSimNoReply. Either way the batch is empty afterwards.
  std::uint32_t complete(std::intptr_t reply);

  // Drops the queued records without sending them.
  void clear();

 private:
  void deliver();

  unsigned char* start_ = nullptr;
  std::uint32_t used_ = 0;
  std::uint32_t capacity_ = 0;
  std::uint32_t sealedLength_ = 0;
  std::uint32_t reads_ = 0;
  void* destinations_[kSimMaxReads] = {};
};

// Checks what the server answered to the opening batch: its version word (at 0x3304)
// and the word at 0x3308 (marker 0xFADE in the high half, simulator version in the low
// half). requested 0 accepts any simulator version. simulatorVersion is set once the
// marker was found.
std::uint32_t checkServerIdentity(std::uint32_t serverVersion, std::uint32_t versionWord,
                                  std::uint16_t requested, std::uint16_t& simulatorVersion);

}  // namespace hv
