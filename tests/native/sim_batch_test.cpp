// The IPC batch codec and the client's opening sequence, against a server played by
// this test (it keeps what the client sent, byte for byte, and answers from an offset
// space of its own); and the conversions of the values read: COM1 BCD, fixed-point
// latitude and longitude, the hot-key entry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "module/portable/SimBatch.h"
#include "module/portable/SimClient.h"
#include "module/portable/SimConversions.h"

namespace {

using hv::SimBatch;
using hv::SimClient;

std::uint32_t word(const unsigned char* at) {
  std::uint32_t v;
  std::memcpy(&v, at, 4);
  return v;
}
void setWord(unsigned char* at, std::uint32_t v) { std::memcpy(at, &v, 4); }

// Executes batches against 64 KiB of offsets and answers `reply` (even when that is a
// failure); keeps a copy of each batch as it arrived, terminator included.
struct PlayedServer {
  std::vector<unsigned char> space = std::vector<unsigned char>(0x10000);
  std::intptr_t reply = 1;
  bool present = true;
  int finds = 0;
  std::vector<std::vector<unsigned char>> sent;

  PlayedServer() {
    put32(0x3304, 0x19980005);
    put32(0x3308, 0xFADE0800);
  }
  void put32(std::uint32_t offset, std::uint32_t v) { std::memcpy(&space[offset], &v, 4); }

  std::intptr_t serve(unsigned char* buffer, std::uint32_t length) {
    sent.emplace_back(buffer, buffer + length + 4);
    for (unsigned char* at = buffer; at < buffer + length;) {
      std::uint32_t kind = word(at), offset = word(at + 4), size = word(at + 8);
      unsigned char* data = at + (kind == 1 ? 16 : 12);
      // The client word at 0x330A is taken, not stored: the marker at 0x3308 stays.
      if (kind == 1) std::memcpy(data, &space[offset], size);
      if (kind == 2 && offset != 0x330A) std::memcpy(&space[offset], data, size);
      at = data + size;
    }
    return reply;
  }

  hv::SimServerLink link() {
    auto find = [](void* c) -> std::uintptr_t {
      auto* s = static_cast<PlayedServer*>(c);
      ++s->finds;
      return s->present ? 0x1234 : 0;
    };
    auto send = [](void* c, std::uintptr_t, unsigned char* buffer, std::uint32_t length) {
      return static_cast<PlayedServer*>(c)->serve(buffer, length);
    };
    return {find, send, this};
  }
};

// ---------------------------------------------------------------- the batch

TEST(SimBatchCapacity, HeaderAndTerminatorAreCountedBeforeAnythingIsWritten) {
  struct Case {
    bool isRead;
    std::uint32_t size;
    std::uint32_t code;
  } cases[] = {
      {true, 108, hv::kSimOk},         {true, 109, hv::kSimBatchFull},        {false, 112, hv::kSimOk},
      {false, 113, hv::kSimBatchFull}, {true, 0xFFFFFFFFu, hv::kSimBatchFull}, {false, 0xFFFFFFF0u, hv::kSimBatchFull},
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
  ASSERT_EQ(batch.queueRead(0x3304, 4, &v), hv::kSimOk);               // 20 bytes used
  EXPECT_EQ(batch.queueWrite(0x2FE0, 29, buffer), hv::kSimBatchFull);  // 20 + 12 + 29 + 4 = 65
  EXPECT_EQ(batch.length(), 20u);
  EXPECT_EQ(batch.queueWrite(0x2FE0, 28, buffer), hv::kSimOk);  // exactly 64
}

// Two 4-byte reads (headers at 0 and 20, data at 16 and 36), answered by a server that
// may have changed one word of the batch. The walk must never leave the batch, copy to
// a reference the client never gave, or go on past a kind it does not know (which it
// clears). AddressSanitizer watches the copies.
TEST(SimBatchAnswer, TheWalkTrustsNoWordTheServerChanged) {
  struct Case {
    const char* name;
    std::uint32_t at, value;
    std::uint32_t first, second;
  } cases[] = {
      {"as sent", 0, 1, 0xA1A1A1A1, 0xB2B2B2B2},
      {"unknown kind", 20, 7, 0xA1A1A1A1, 0},
      {"second size beyond the batch", 28, 40, 0xA1A1A1A1, 0},
      {"first size beyond the batch", 8, 400, 0, 0},
      {"reference never given", 12, 5, 0, 0xB2B2B2B2},
  };
  for (const Case& c : cases) {
    unsigned char buffer[64];
    SimBatch batch;
    batch.attach(buffer, sizeof buffer);
    std::uint32_t first = 0, second = 0;
    batch.queueRead(0x0100, 4, &first);
    batch.queueRead(0x0200, 4, &second);
    batch.seal();
    setWord(buffer + 16, 0xA1A1A1A1);
    setWord(buffer + 36, 0xB2B2B2B2);
    setWord(buffer + c.at, c.value);
    ASSERT_EQ(batch.complete(1), hv::kSimOk) << c.name;
    EXPECT_EQ(first, c.first) << c.name;
    EXPECT_EQ(second, c.second) << c.name;
    if (c.value == 7) EXPECT_EQ(word(buffer + 20), 0u) << "the unknown kind is cleared";
  }
}

// ---------------------------------------------------------------- the client

TEST(SimClientOpen, FiftyEightBytesHoldTheOpeningBatch) {
  PlayedServer server;
  SimClient client(server.link());
  unsigned char buffer[58];
  std::memset(buffer, 0xCC, sizeof buffer);
  std::uint32_t error = 0xDEADBEEF;
  ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer));
  EXPECT_EQ(error, hv::kSimOk);
  const std::vector<unsigned char> expected = {
      1, 0, 0, 0, 0x04, 0x33, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // read 0x3304 into slot 1
      1, 0, 0, 0, 0x08, 0x33, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,  // read 0x3308 into slot 2
      2, 0, 0, 0, 0x0A, 0x33, 0, 0, 2, 0, 0, 0, 0x4C, 0x04,              // write 0x044C at 0x330A
      0, 0, 0, 0};
  EXPECT_EQ(server.sent, std::vector<std::vector<unsigned char>>{expected});
  EXPECT_EQ(client.serverVersion(), 0x19980005u);
  EXPECT_EQ(client.simulatorVersion(), 0x0800);
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
      {"marker one off", true, 0x19990000, 0xFADF0800, 1, 0, hv::kSimOldServer},
      {"older server, other simulator", true, 0x19980004, 0xFADE0700, 1, 0x0800, hv::kSimOldServer},
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
    if (c.code == hv::kSimOk) EXPECT_EQ(client.simulatorVersion(), c.versionWord & 0xFFFF) << c.name;
  }
}

class SimClientBatch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer)); }
  PlayedServer server;
  SimClient client{server.link()};
  unsigned char buffer[300];
  std::uint32_t error = 0;
};

TEST_F(SimClientBatch, ValuesReadReachTheirDestinationsAndWritesTheirOffsets) {
  server.put32(0x0100, 0x11111111);
  server.put32(0x0300, 0x33333333);
  std::uint32_t first = 0, third = 0;
  std::uint8_t untouched = 0xAB;
  std::uint16_t written = 0x1810;
  ASSERT_TRUE(client.read(0x0100, 4, &first, error));
  ASSERT_TRUE(client.read(0x0200, 4, nullptr, error));
  ASSERT_TRUE(client.write(0x034E, 2, &written, error));
  written = 0x2222;  // the source was copied at once
  ASSERT_TRUE(client.read(0x0300, 4, &third, error));
  ASSERT_TRUE(client.read(0x0300, 0, &untouched, error));
  ASSERT_TRUE(client.process(error));
  EXPECT_EQ(first, 0x11111111u);
  EXPECT_EQ(third, 0x33333333u);
  EXPECT_EQ(untouched, 0xAB);
  EXPECT_EQ(server.space[0x034E], 0x10);
  EXPECT_EQ(server.space[0x034F], 0x18);
  EXPECT_EQ(word(&server.sent.back()[20 + 4]), 0x0200u) << "the read without destination was sent";
  EXPECT_EQ(word(&server.sent.back()[20 + 12]), 0u) << "with destination word 0";
  EXPECT_TRUE(client.batchEmpty());
}

TEST_F(SimClientBatch, AFailedReplyReports13EmptiesTheBatchAndTouchesNoDestination) {
  for (std::intptr_t reply : {std::intptr_t{0}, std::intptr_t{2}, std::intptr_t{-1}}) {
    server.reply = reply;
    std::uint32_t v = 0xDEADBEEF;
    ASSERT_TRUE(client.read(0x3304, 4, &v, error));
    EXPECT_FALSE(client.process(error));
    EXPECT_EQ(error, hv::kSimNoReply) << reply;
    EXPECT_EQ(v, 0xDEADBEEFu) << reply;
    EXPECT_TRUE(client.batchEmpty()) << reply;
  }
  EXPECT_FALSE(client.process(error));
  EXPECT_EQ(error, hv::kSimEmptyBatch) << "the failed batch is not sent again";
  EXPECT_EQ(server.sent.size(), 4u) << "the opening batch and the three failed ones";
  EXPECT_TRUE(client.isOpen()) << "a failed batch does not close the client";
}

// ---------------------------------------------------------------- the conversions

std::uint64_t fixed(std::int32_t hi, std::uint32_t lo) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(hi)) << 32 | lo;
}

TEST(Com1Bcd, FourDigitsAfterTheLeadingOneBothWays) {
  const std::uint16_t cases[][2] = {{0x1970, 11970}, {0x3697, 13697}, {0x1800, 11800}, {0x2345, 12345},
                                    {0x1805, 11805}, {0x0000, 10000}, {0x9999, 19999}};
  for (const auto& c : cases) {
    EXPECT_EQ(hv::frequencyFromBcd(c[0]), c[1]) << std::hex << c[0];
    std::uint16_t bcd = 0xBEEF;
    EXPECT_TRUE(hv::bcdFromFrequency(c[1], bcd)) << c[1];
    EXPECT_EQ(bcd, c[0]) << c[1];
  }
  EXPECT_EQ(hv::frequencyFromBcd(0x00FF), 10165) << "digits above 9 are taken as they are";
  EXPECT_EQ(hv::frequencyFromBcd(0xFFFF), 26665);
  for (std::uint16_t outside : {0, 9999, 20000, 65535}) {
    std::uint16_t bcd = 0xBEEF;
    EXPECT_FALSE(hv::bcdFromFrequency(outside, bcd)) << outside;
    EXPECT_EQ(bcd, 0xBEEF);
  }
}

TEST(FixedPointPosition, DecodesTheSimulatorsUnits) {
  struct Case {
    const char* name;
    bool latitude;
    std::uint64_t value;
    double degrees;
  } cases[] = {
      {"south pole", true, fixed(-10001750, 0), -90.0},
      {"north pole", true, fixed(10001750, 0), 90.0},
      {"half a unit of latitude", true, fixed(0, 0x80000000u), 4.499212637788387e-6},
      {"just south of the equator", true, fixed(-1, 0x80000000u), -4.499212637788387e-6},
      {"date line west", false, fixed(INT32_MIN, 0), -180.0},
      {"east", false, fixed(0x40000000, 0), 90.0},
      {"half a unit of longitude", false, fixed(0, 0x80000000u), 4.190951585769653e-8},
  };
  for (const Case& c : cases) {
    double got = c.latitude ? hv::latitudeFromFixed(c.value) : hv::longitudeFromFixed(c.value);
    EXPECT_NEAR(got, c.degrees, std::fabs(c.degrees) * 1e-14 + 1e-20) << c.name;
  }
}

TEST(HotKeyEntry, CodeInByteZeroAndTheModifierFlagInByteOne) {
  struct Case {
    std::uint32_t code, modifier, entry;
  } cases[] = {
      {192, 8, 0x000001C0}, {65, 11, 0x00000141}, {65, 9, 0x00000241}, {65, 10, 0x00000241},
      {65, 0, 0x00000241},  {65, 0x108, 0x00000141},  // only the modifier's low byte counts
      {0x1C0, 8, 0x000001C0},                          // only the code's low byte goes in
  };
  for (const Case& c : cases)
    EXPECT_EQ(hv::hotKeyEntryValue(c.code, c.modifier), c.entry) << c.code << "," << c.modifier;
}

}  // namespace
