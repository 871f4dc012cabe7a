// The IPC batch codec and the client's opening sequence, against a server played by
// this test: it parses what the client sent, byte for byte, and answers from an offset
// space of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "module/portable/SimBatch.h"
#include "module/portable/SimClient.h"

namespace {

using hv::SimBatch;
using hv::SimClient;

std::uint32_t word(const unsigned char* at) {
  std::uint32_t v;
  std::memcpy(&v, at, 4);
  return v;
}
void setWord(unsigned char* at, std::uint32_t v) { std::memcpy(at, &v, 4); }

struct SeenRecord {
  std::uint32_t kind, offset, size, destination;
  std::vector<unsigned char> data;  // the bytes written (kind 2) or as sent (kind 1)
};

// Executes batches against 64 KiB of offsets; can be told to answer otherwise.
struct PlayedServer {
  std::vector<unsigned char> space = std::vector<unsigned char>(0x10000);
  std::intptr_t reply = 1;
  bool present = true;
  int finds = 0;
  std::vector<std::vector<SeenRecord>> batches;
  std::vector<std::uint32_t> lengths;
  // Run on the answered buffer before replying (to misbehave).
  void (*tamper)(unsigned char* buffer) = nullptr;

  PlayedServer() {
    put32(0x3304, 0x19980005);
    put32(0x3308, 0xFADE0000u | 0x0800);
  }
  void put32(std::uint32_t offset, std::uint32_t v) { std::memcpy(&space[offset], &v, 4); }

  std::intptr_t serve(unsigned char* buffer, std::uint32_t length) {
    lengths.push_back(length);
    EXPECT_EQ(word(buffer + length), 0u) << "terminator after the records";
    std::vector<SeenRecord> seen;
    std::uint32_t at = 0;
    while (at < length) {
      SeenRecord r{word(buffer + at), word(buffer + at + 4), word(buffer + at + 8), 0, {}};
      if (r.kind == 1) {
        r.destination = word(buffer + at + 12);
        unsigned char* data = buffer + at + 16;
        r.data.assign(data, data + r.size);
        if (reply == 1) std::memcpy(data, &space[r.offset], r.size);
        at += 16 + r.size;
      } else if (r.kind == 2) {
        unsigned char* data = buffer + at + 12;
        r.data.assign(data, data + r.size);
        // The client word at 0x330A is taken, not stored: the marker at 0x3308 stays.
        if (reply == 1 && r.offset != 0x330A) std::memcpy(&space[r.offset], data, r.size);
        at += 12 + r.size;
      } else {
        ADD_FAILURE() << "unknown record kind " << r.kind;
        break;
      }
      seen.push_back(r);
    }
    EXPECT_EQ(at, length) << "records end exactly at the length sent";
    batches.push_back(seen);
    if (tamper) tamper(buffer);
    return reply;
  }

  hv::SimServerLink link() {
    hv::SimServerLink l;
    l.context = this;
    l.find = [](void* c) -> std::uintptr_t {
      auto* s = static_cast<PlayedServer*>(c);
      ++s->finds;
      return s->present ? 0x1234 : 0;
    };
    l.send = [](void* c, std::uintptr_t server, unsigned char* buffer, std::uint32_t length) -> std::intptr_t {
      EXPECT_EQ(server, 0x1234u);
      return static_cast<PlayedServer*>(c)->serve(buffer, length);
    };
    return l;
  }
};

// ---------------------------------------------------------------- the wire format

TEST(SimBatchFormat, RecordsAreLaidOutByteForByte) {
  unsigned char buffer[64];
  std::memset(buffer, 0xCC, sizeof buffer);
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  std::uint16_t com1 = 0;
  const unsigned char value[2] = {0x4C, 0x04};
  ASSERT_EQ(batch.queueRead(0x034E, 2, &com1), hv::kSimOk);
  ASSERT_EQ(batch.queueWrite(0x330A, 2, value), hv::kSimOk);
  batch.seal();

  const unsigned char expected[] = {
      1, 0, 0, 0, 0x4E, 0x03, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0,  // read header, first destination slot
      0, 0,                                                  // zeroed data area
      2, 0, 0, 0, 0x0A, 0x33, 0, 0, 2, 0, 0, 0,              // write header
      0x4C, 0x04,                                            // written bytes
      0, 0, 0, 0,                                            // terminator
  };
  EXPECT_EQ(batch.length(), 32u);
  EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + sizeof expected),
            std::vector<unsigned char>(expected, expected + sizeof expected));
  for (std::size_t i = sizeof expected; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xCC) << "byte " << i;
}

TEST(SimBatchFormat, NullDestinationIsSentAsZeroAndSlotsCountEveryRead) {
  unsigned char buffer[128];
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  std::uint32_t a = 0, b = 0;
  batch.queueRead(0x10, 4, &a);
  batch.queueRead(0x20, 4, nullptr);
  batch.queueRead(0x30, 4, &b);
  EXPECT_EQ(word(buffer + 12), 1u);
  EXPECT_EQ(word(buffer + 20 + 12), 0u);
  EXPECT_EQ(word(buffer + 40 + 12), 3u);
}

// ---------------------------------------------------------------- capacity

TEST(SimBatchCapacity, SizeIsCappedAt32512) {
  static unsigned char buffer[40000];
  struct Case {
    std::uint32_t size, capacity;
  } cases[] = {{32, 32}, {57, 57}, {32511, 32511}, {32512, 32512}, {32513, 32512}, {40000, 32512}};
  for (const Case& c : cases) {
    SimBatch batch;
    batch.attach(buffer, c.size);
    EXPECT_EQ(batch.capacity(), c.capacity) << "size " << c.size;
  }
}

TEST(SimBatchCapacity, HeaderAndTerminatorAreCountedBeforeAnythingIsWritten) {
  struct Case {
    bool isRead;
    std::uint32_t size;
    std::uint32_t code;
  } cases[] = {
      {true, 108, hv::kSimOk},       {true, 109, hv::kSimBatchFull},  {false, 112, hv::kSimOk},
      {false, 113, hv::kSimBatchFull}, {true, 0xFFFFFFFFu, hv::kSimBatchFull},
      {false, 0xFFFFFFF0u, hv::kSimBatchFull},
  };
  for (const Case& c : cases) {
    unsigned char buffer[128 + 16];
    std::memset(buffer, 0xCC, sizeof buffer);
    std::vector<unsigned char> source(c.size < 1000 ? c.size : 0, 0x5A);
    SimBatch batch;
    batch.attach(buffer, 128);
    std::uint32_t code = c.isRead ? batch.queueRead(0x100, c.size, buffer + 128)
                                  : batch.queueWrite(0x100, c.size, source.data());
    EXPECT_EQ(code, c.code) << (c.isRead ? "read " : "write ") << c.size;
    if (code != hv::kSimOk) {
      EXPECT_TRUE(batch.empty());
      for (unsigned char byte : buffer) ASSERT_EQ(byte, 0xCC) << "a refused record wrote into the buffer";
    } else {
      EXPECT_EQ(batch.length() + hv::kSimTerminator, 128u);
    }
  }
}

TEST(SimBatchCapacity, ARefusedRecordLeavesTheQueuedOnesForProcessing) {
  unsigned char buffer[64];
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  std::uint32_t v = 0;
  ASSERT_EQ(batch.queueRead(0x3304, 4, &v), hv::kSimOk);      // 20 bytes used
  EXPECT_EQ(batch.queueWrite(0x2FE0, 29, buffer), hv::kSimBatchFull);  // 20 + 12 + 29 + 4 = 65
  EXPECT_EQ(batch.length(), 20u);
  EXPECT_EQ(batch.queueWrite(0x2FE0, 28, buffer), hv::kSimOk);          // exactly 64
}

TEST(SimBatchCapacity, TheDestinationTableHoldsAsManyReadsAsTheLargestBatch) {
  static unsigned char buffer[hv::kSimMaxCapacity];
  static std::uint8_t sink[SimBatch::kMaxReads];
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  for (std::uint32_t i = 0; i < SimBatch::kMaxReads; ++i) ASSERT_EQ(batch.queueRead(i, 0, &sink[i]), hv::kSimOk) << i;
  EXPECT_EQ(batch.queueRead(0, 0, &sink[0]), hv::kSimBatchFull);
}

TEST(SimBatchCapacity, NothingCanBeQueuedWithoutABuffer) {
  SimBatch batch;
  std::uint32_t v = 0;
  EXPECT_EQ(batch.queueRead(0, 4, &v), hv::kSimNotOpen);
  EXPECT_EQ(batch.queueWrite(0, 4, &v), hv::kSimNotOpen);
}

// ---------------------------------------------------------------- the answered batch

TEST(SimBatchAnswer, ValuesReadReachTheirDestinationsAndNullOnesAreDropped) {
  PlayedServer server;
  server.put32(0x0100, 0x11111111);
  server.put32(0x0200, 0x22222222);
  server.put32(0x0300, 0x33333333);
  unsigned char buffer[256];
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  std::uint32_t first = 0xDEADBEEF, third = 0xDEADBEEF;
  std::uint8_t untouched = 0xAB;
  const std::uint32_t written = 0x44444444;
  batch.queueRead(0x0100, 4, &first);
  batch.queueRead(0x0200, 4, nullptr);
  batch.queueWrite(0x0400, 4, &written);
  batch.queueRead(0x0300, 4, &third);
  batch.queueRead(0x0300, 0, &untouched);
  batch.seal();
  ASSERT_EQ(batch.complete(server.serve(batch.buffer(), batch.length())), hv::kSimOk);
  EXPECT_EQ(first, 0x11111111u);
  EXPECT_EQ(third, 0x33333333u);
  EXPECT_EQ(untouched, 0xAB);
  ASSERT_EQ(server.batches.size(), 1u);
  EXPECT_EQ(server.batches[0][1].offset, 0x0200u) << "the read without destination was sent";
  EXPECT_EQ(server.batches[0][1].destination, 0u);
  EXPECT_TRUE(batch.empty());
}

TEST(SimBatchAnswer, AReplyOtherThanOneTouchesNoDestinationAndEmptiesTheBatch) {
  for (std::intptr_t reply : {std::intptr_t{0}, std::intptr_t{2}, std::intptr_t{-1}}) {
    PlayedServer server;
    server.reply = reply;
    unsigned char buffer[64];
    SimBatch batch;
    batch.attach(buffer, sizeof buffer);
    std::uint32_t v = 0xDEADBEEF;
    batch.queueRead(0x3304, 4, &v);
    // The buffer holds the value, as if the server had filled it anyway.
    std::memcpy(buffer + 16, "\x05\x00\x98\x19", 4);
    batch.seal();
    EXPECT_EQ(batch.complete(reply), hv::kSimNoReply) << reply;
    EXPECT_EQ(v, 0xDEADBEEFu);
    EXPECT_TRUE(batch.empty());
  }
}

TEST(SimBatchAnswer, AnUnknownKindEndsTheWalkAndIsCleared) {
  unsigned char buffer[128];
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  std::uint32_t a = 0, b = 0;
  batch.queueRead(0x0100, 4, &a);
  batch.queueRead(0x0200, 4, &b);
  batch.seal();
  setWord(buffer + 16, 0xA1A1A1A1);
  setWord(buffer + 20, 7);  // the second record's kind, changed by the server
  setWord(buffer + 36, 0xB2B2B2B2);
  ASSERT_EQ(batch.complete(1), hv::kSimOk);
  EXPECT_EQ(a, 0xA1A1A1A1u);
  EXPECT_EQ(b, 0u);
  EXPECT_EQ(word(buffer + 20), 0u);
}

TEST(SimBatchAnswer, ASizeChangedByTheServerCannotLeadTheWalkOutOfTheBatch) {
  // With the size word raised, the copy would run past the batch and past the
  // destination; the walk stops instead (AddressSanitizer watches the copy).
  unsigned char buffer[64];
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  std::uint16_t dest = 0x7777;
  batch.queueRead(0x034E, 2, &dest);
  batch.seal();
  setWord(buffer + 8, 40);
  ASSERT_EQ(batch.complete(1), hv::kSimOk);
  EXPECT_EQ(dest, 0x7777);
}

TEST(SimBatchAnswer, ADestinationReferenceTheClientNeverGaveIsIgnored) {
  unsigned char buffer[64];
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  std::uint32_t dest = 0;
  batch.queueRead(0x0100, 4, &dest);
  batch.seal();
  setWord(buffer + 12, 5);  // there is only slot 1
  setWord(buffer + 16, 0x12345678);
  ASSERT_EQ(batch.complete(1), hv::kSimOk);
  EXPECT_EQ(dest, 0u);
}

// ---------------------------------------------------------------- the server's identity

TEST(SimServerIdentity, VersionAndMarkerAreChecked) {
  struct Case {
    std::uint32_t serverVersion, versionWord;
    std::uint16_t requested;
    std::uint32_t code;
  } cases[] = {
      {0x19980005, 0xFADE0800, 0, hv::kSimOk},
      {0x19980006, 0xFADE0800, 0, hv::kSimOk},
      {0xFFFFFFFF, 0xFADE0000, 0, hv::kSimOk},
      {0x19980004, 0xFADE0800, 0, hv::kSimOldServer},
      {0x00000000, 0xFADE0800, 0, hv::kSimOldServer},
      {0x19980005, 0xFADF0800, 0, hv::kSimOldServer},
      {0x19980005, 0x0000FADE, 0, hv::kSimOldServer},
      {0x19980005, 0xFADE0800, 0x0800, hv::kSimOk},
      {0x19980005, 0xFADE0800, 0x0700, hv::kSimWrongVersion},
      {0x19980004, 0xFADE0800, 0x0700, hv::kSimOldServer},
  };
  for (const Case& c : cases) {
    std::uint16_t simulatorVersion = 0xAAAA;
    EXPECT_EQ(hv::checkServerIdentity(c.serverVersion, c.versionWord, c.requested, simulatorVersion), c.code)
        << std::hex << c.serverVersion << " " << c.versionWord << " " << c.requested;
    if (c.code == hv::kSimOk) EXPECT_EQ(simulatorVersion, c.versionWord & 0xFFFF);
  }
}

// ---------------------------------------------------------------- the client

TEST(SimClientOpen, TooSmallOrMissingBufferIsRefusedBeforeLookingForTheServer) {
  PlayedServer server;
  SimClient client(server.link());
  unsigned char buffer[31];
  std::uint32_t error = 0xDEADBEEF;
  EXPECT_FALSE(client.open(0, error, buffer, 31));
  EXPECT_EQ(error, hv::kSimBadBuffer);
  EXPECT_FALSE(client.open(0, error, nullptr, 1000));
  EXPECT_EQ(error, hv::kSimBadBuffer);
  EXPECT_EQ(server.finds, 0);
  EXPECT_FALSE(client.isOpen());
}

TEST(SimClientOpen, BuffersOf32To57BytesCannotHoldTheOpeningBatch) {
  for (std::uint32_t size = 32; size <= 57; ++size) {
    PlayedServer server;
    SimClient client(server.link());
    std::vector<unsigned char> buffer(size);
    std::uint32_t error = 0;
    EXPECT_FALSE(client.open(0, error, buffer.data(), size));
    EXPECT_EQ(error, hv::kSimBatchFull) << size;
    EXPECT_FALSE(client.isOpen()) << size;
    EXPECT_TRUE(server.batches.empty()) << "nothing was sent with " << size;
    std::uint32_t v;
    EXPECT_FALSE(client.read(0x3304, 4, &v, error));
    EXPECT_EQ(error, hv::kSimNotOpen);
  }
}

TEST(SimClientOpen, FiftyEightBytesHoldTheOpeningBatchAsSpecifiedOnTheWire) {
  PlayedServer server;
  SimClient client(server.link());
  unsigned char buffer[58];
  std::uint32_t error = 0xDEADBEEF;
  ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer));
  EXPECT_EQ(error, hv::kSimOk);
  ASSERT_EQ(server.batches.size(), 1u);
  const auto& b = server.batches[0];
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(server.lengths[0], 54u);
  EXPECT_EQ(b[0].kind, 1u);
  EXPECT_EQ(b[0].offset, 0x3304u);
  EXPECT_EQ(b[0].size, 4u);
  EXPECT_EQ(b[1].kind, 1u);
  EXPECT_EQ(b[1].offset, 0x3308u);
  EXPECT_EQ(b[1].size, 4u);
  EXPECT_EQ(b[2].kind, 2u);
  EXPECT_EQ(b[2].offset, 0x330Au);
  EXPECT_EQ(b[2].data, (std::vector<unsigned char>{0x4C, 0x04}));
  EXPECT_EQ(client.serverVersion(), 0x19980005u);
  EXPECT_EQ(client.simulatorVersion(), 0x0800);
  EXPECT_EQ(client.capacity(), 58u);
}

TEST(SimClientOpen, OutcomesByServer) {
  struct Case {
    const char* name;
    bool present;
    std::uint32_t serverVersion, versionWord;
    std::intptr_t reply;
    std::uint16_t requested;
    std::uint32_t code;
  } cases[] = {
      {"no server window", false, 0x19980005, 0xFADE0800, 1, 0, hv::kSimNoServer},
      {"oldest accepted server", true, 0x19980005, 0xFADE0800, 1, 0, hv::kSimOk},
      {"older server", true, 0x19980004, 0xFADE0800, 1, 0, hv::kSimOldServer},
      {"no marker", true, 0x19990000, 0x12340800, 1, 0, hv::kSimOldServer},
      {"other simulator", true, 0x19990000, 0xFADE0700, 1, 0x0800, hv::kSimWrongVersion},
      {"requested simulator", true, 0x19990000, 0xFADE0800, 1, 0x0800, hv::kSimOk},
      {"server refuses", true, 0x19990000, 0xFADE0800, 0, 0, hv::kSimNoReply},
  };
  for (const Case& c : cases) {
    PlayedServer server;
    server.present = c.present;
    server.put32(0x3304, c.serverVersion);
    server.put32(0x3308, c.versionWord);
    server.reply = c.reply;
    SimClient client(server.link());
    unsigned char buffer[300];
    std::uint32_t error = 0xDEADBEEF;
    EXPECT_EQ(client.open(c.requested, error, buffer, sizeof buffer), c.code == hv::kSimOk) << c.name;
    EXPECT_EQ(error, c.code) << c.name;
    EXPECT_EQ(client.isOpen(), c.code == hv::kSimOk) << c.name;
  }
}

TEST(SimClientOpen, OpeningAnOpenClientLeavesTheConnectionAsItWas) {
  PlayedServer server;
  SimClient client(server.link());
  unsigned char buffer[300], other[300];
  std::uint32_t error = 0;
  ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer));
  std::uint32_t v = 0;
  ASSERT_TRUE(client.read(0x3304, 4, &v, error));
  EXPECT_FALSE(client.open(0, error, other, 100));
  EXPECT_EQ(error, hv::kSimAlreadyOpen);
  EXPECT_EQ(server.finds, 1);
  EXPECT_EQ(client.capacity(), 300u);
  ASSERT_TRUE(client.process(error)) << "the queued read survived";
  EXPECT_EQ(v, 0x19980005u);
}

TEST(SimClientBatch, ProcessingNothingSendsNothing) {
  PlayedServer server;
  SimClient client(server.link());
  unsigned char buffer[100];
  std::uint32_t error = 0;
  ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer));
  EXPECT_FALSE(client.process(error));
  EXPECT_EQ(error, hv::kSimEmptyBatch);
  EXPECT_EQ(server.batches.size(), 1u) << "only the opening batch";
}

TEST(SimClientBatch, AFailedReplyReports13AndEmptiesTheBatch) {
  PlayedServer server;
  SimClient client(server.link());
  unsigned char buffer[100];
  std::uint32_t error = 0;
  ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer));
  server.reply = 0;
  std::uint32_t v = 0xDEADBEEF;
  ASSERT_TRUE(client.read(0x3304, 4, &v, error));
  EXPECT_FALSE(client.process(error));
  EXPECT_EQ(error, hv::kSimNoReply);
  EXPECT_TRUE(client.batchEmpty());
  EXPECT_EQ(v, 0xDEADBEEFu);
  EXPECT_FALSE(client.process(error));
  EXPECT_EQ(error, hv::kSimEmptyBatch) << "the failed batch is not sent again";
  EXPECT_TRUE(client.isOpen()) << "a failed batch does not close the client";
}

TEST(SimClientBatch, WritesCopyTheirSourceAtOnce) {
  PlayedServer server;
  SimClient client(server.link());
  unsigned char buffer[100];
  std::uint32_t error = 0;
  ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer));
  std::uint16_t value = 0x1810;
  ASSERT_TRUE(client.write(0x034E, 2, &value, error));
  value = 0x2222;
  ASSERT_TRUE(client.process(error));
  EXPECT_EQ(server.space[0x034E], 0x10);
  EXPECT_EQ(server.space[0x034F], 0x18);
}

TEST(SimClientBatch, AClosedClientRefusesEverythingWith9) {
  PlayedServer server;
  SimClient client(server.link());
  unsigned char buffer[100];
  std::uint32_t error = 0, v = 0;
  ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer));
  client.close();
  EXPECT_FALSE(client.read(0, 4, &v, error));
  EXPECT_EQ(error, hv::kSimNotOpen);
  EXPECT_FALSE(client.write(0, 4, &v, error));
  EXPECT_EQ(error, hv::kSimNotOpen);
  EXPECT_FALSE(client.process(error));
  EXPECT_EQ(error, hv::kSimNotOpen);
  EXPECT_TRUE(client.open(0, error, buffer, sizeof buffer)) << "and can be opened again";
}

}  // namespace
