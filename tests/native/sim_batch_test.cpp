// The IPC batch codec and the client, against a server played by this test (it keeps
// what the client sent, byte for byte, answers from an offset space of its own and may
// rewrite one word of the batch); and the conversions of the values read: COM1 BCD,
// fixed-point latitude and longitude, the hot-key entry.
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

// Executes batches against 64 KiB of offsets and answers `reply`. After the opening
// batch, the word at `tamperAt` of each batch is set to `tamperValue` once served.
struct PlayedServer {
  std::vector<unsigned char> space = std::vector<unsigned char>(0x10000);
  bool present = true;
  std::intptr_t openReply = 1, reply = 1;
  std::uint32_t tamperAt = 0, tamperValue = 1;  // kind 1 at 0: the batch as sent
  std::vector<std::vector<unsigned char>> sent;

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
    if (sent.size() == 1) return openReply;
    std::memcpy(buffer + tamperAt, &tamperValue, 4);
    return reply;
  }

  hv::SimServerLink link() {
    auto find = [](void* c) -> std::uintptr_t { return static_cast<PlayedServer*>(c)->present ? 0x1234 : 0; };
    auto send = [](void* c, std::uintptr_t, unsigned char* buffer, std::uint32_t length) {
      return static_cast<PlayedServer*>(c)->serve(buffer, length);
    };
    return {find, send, this};
  }
};

TEST(SimBatchCapacity, HeaderAndTerminatorAreCountedBeforeAnythingIsWritten) {
  const struct { bool isRead; std::uint32_t size, code; } cases[] = {
      {true, 108, hv::kSimOk},         {true, 109, hv::kSimBatchFull},        {false, 112, hv::kSimOk},
      {false, 113, hv::kSimBatchFull}, {true, 0xFFFFFFFFu, hv::kSimBatchFull}, {false, 0xFFFFFFF0u, hv::kSimBatchFull},
  };
  for (const auto& c : cases) {
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
  // A refused record leaves the queued ones for processing.
  unsigned char buffer[64];
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  std::uint32_t v = 0;
  ASSERT_EQ(batch.queueRead(0x3304, 4, &v), hv::kSimOk);               // 20 bytes used
  EXPECT_EQ(batch.queueWrite(0x2FE0, 29, buffer), hv::kSimBatchFull);  // 20 + 12 + 29 + 4 = 65
  EXPECT_EQ(batch.length(), 20u);
  EXPECT_EQ(batch.queueWrite(0x2FE0, 28, buffer), hv::kSimOk);  // exactly 64
}

TEST(SimClient, TheOpeningBatchFillsFiftyEightBytes) {
  PlayedServer server;
  server.put32(0x3304, 0x19980005);
  server.put32(0x3308, 0xFADE0800);
  SimClient client(server.link());
  unsigned char buffer[58];
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

// The server's answers to the opening batch, then to a batch of two 4-byte reads (headers
// at 0 and 20, data at 16 and 36). The walk must never leave the batch, copy to a
// reference the client never gave, or go on past a kind it does not know (which it
// clears); a failed reply touches no destination. AddressSanitizer watches the copies.
TEST(SimClient, ServerAnswers) {
  const std::uint32_t A = 0xA1A1A1A1, B = 0xB2B2B2B2;
  const struct {
    const char* name;
    std::uint32_t serverVersion, versionWord;  // server version 0: no server window
    std::uint16_t requested;
    std::intptr_t openReply, reply;
    std::uint32_t tamperAt, tamperValue, code, first, second;
  } cases[] = {
      {"no server window", 0, 0xFADE0800, 0, 1, 1, 0, 1, hv::kSimNoServer, 0, 0},
      {"older server", 0x19980004, 0xFADE0800, 0, 1, 1, 0, 1, hv::kSimOldServer, 0, 0},
      {"marker one off", 0x19990000, 0xFADF0800, 0, 1, 1, 0, 1, hv::kSimOldServer, 0, 0},
      {"older server, other simulator", 0x19980004, 0xFADE0700, 0x0800, 1, 1, 0, 1, hv::kSimOldServer, 0, 0},
      {"other simulator", 0x19990000, 0xFADE0700, 0x0800, 1, 1, 0, 1, hv::kSimWrongVersion, 0, 0},
      {"server refuses the opening", 0x19990000, 0xFADE0800, 0, 0, 1, 0, 1, hv::kSimNoReply, 0, 0},
      {"oldest accepted server, as sent", 0x19980005, 0xFADE0800, 0, 1, 1, 0, 1, hv::kSimOk, A, B},
      {"requested simulator", 0x19990000, 0xFADE0800, 0x0800, 1, 1, 0, 1, hv::kSimOk, A, B},
      {"reply 0", 0x19990000, 0xFADE0800, 0, 1, 0, 0, 1, hv::kSimNoReply, 0, 0},
      {"reply 2", 0x19990000, 0xFADE0800, 0, 1, 2, 0, 1, hv::kSimNoReply, 0, 0},
      {"reply -1", 0x19990000, 0xFADE0800, 0, 1, -1, 0, 1, hv::kSimNoReply, 0, 0},
      {"unknown kind", 0x19990000, 0xFADE0800, 0, 1, 1, 20, 7, hv::kSimOk, A, 0},
      {"second size beyond the batch", 0x19990000, 0xFADE0800, 0, 1, 1, 28, 400, hv::kSimOk, A, 0},
      {"first size beyond the batch", 0x19990000, 0xFADE0800, 0, 1, 1, 8, 400, hv::kSimOk, 0, 0},
      {"reference never given", 0x19990000, 0xFADE0800, 0, 1, 1, 12, 5, hv::kSimOk, 0, B},
  };
  for (const auto& c : cases) {
    PlayedServer server;
    server.present = c.serverVersion != 0;
    server.put32(0x3304, c.serverVersion);
    server.put32(0x3308, c.versionWord);
    server.put32(0x0100, A);
    server.put32(0x0200, B);
    server.openReply = c.openReply;
    server.reply = c.reply;
    server.tamperAt = c.tamperAt;
    server.tamperValue = c.tamperValue;
    SimClient client(server.link());
    unsigned char buffer[300];
    std::uint32_t error = 0xDEADBEEF, first = 0, second = 0;
    const bool opened = client.open(c.requested, error, buffer, sizeof buffer);
    EXPECT_EQ(client.isOpen(), opened) << c.name;
    if (!opened) {
      EXPECT_EQ(error, c.code) << c.name;
      continue;
    }
    EXPECT_EQ(client.simulatorVersion(), c.versionWord & 0xFFFF) << c.name;
    ASSERT_TRUE(client.read(0x0100, 4, &first, error) && client.read(0x0200, 4, &second, error)) << c.name;
    EXPECT_EQ(client.process(error), c.code == hv::kSimOk) << c.name;
    EXPECT_EQ(error, c.code) << c.name;
    EXPECT_EQ(first, c.first) << c.name;
    EXPECT_EQ(second, c.second) << c.name;
    if (c.tamperValue == 7) EXPECT_EQ(word(buffer + 20), 0u) << "the unknown kind is cleared";
    EXPECT_TRUE(client.isOpen()) << c.name << ": a failed batch does not close the client";
    EXPECT_FALSE(client.process(error));
    EXPECT_EQ(error, hv::kSimEmptyBatch) << c.name << ": the batch is not sent again";
  }
}

TEST(SimClient, ValuesReadReachTheirDestinationsAndWritesTheirOffsets) {
  PlayedServer server;
  server.put32(0x3304, 0x19980005);
  server.put32(0x3308, 0xFADE0800);
  SimClient client(server.link());
  unsigned char buffer[300];
  std::uint32_t error = 0;
  ASSERT_TRUE(client.open(0, error, buffer, sizeof buffer));
  server.put32(0x0300, 0x33333333);
  std::uint32_t third = 0;
  std::uint8_t untouched = 0xAB;
  std::uint16_t written = 0x1810;
  ASSERT_TRUE(client.read(0x0200, 4, nullptr, error));
  ASSERT_TRUE(client.write(0x034E, 2, &written, error));
  written = 0x2222;  // the source was copied at once
  ASSERT_TRUE(client.read(0x0300, 4, &third, error));
  ASSERT_TRUE(client.read(0x0300, 0, &untouched, error));
  ASSERT_TRUE(client.process(error));
  EXPECT_EQ(third, 0x33333333u);
  EXPECT_EQ(untouched, 0xAB);
  EXPECT_EQ(server.space[0x034E], 0x10);
  EXPECT_EQ(server.space[0x034F], 0x18);
  EXPECT_EQ(word(&server.sent.back()[4]), 0x0200u) << "the read without destination was sent";
  EXPECT_EQ(word(&server.sent.back()[12]), 0u) << "with destination word 0";
}

TEST(Com1Bcd, FourDigitsAfterTheLeadingOneBothWays) {
  const std::uint16_t cases[][2] = {{0x1970, 11970}, {0x3697, 13697}, {0x2345, 12345}, {0x0000, 10000}, {0x9999, 19999}};
  for (const auto& c : cases) {
    EXPECT_EQ(hv::frequencyFromBcd(c[0]), c[1]) << std::hex << c[0];
    std::uint16_t bcd = 0xBEEF;
    EXPECT_TRUE(hv::bcdFromFrequency(c[1], bcd)) << c[1];
    EXPECT_EQ(bcd, c[0]) << c[1];
  }
  EXPECT_EQ(hv::frequencyFromBcd(0x00FF), 10165) << "digits above 9 are taken as they are";
  for (std::uint16_t outside : {0, 9999, 20000, 65535}) {
    std::uint16_t bcd = 0xBEEF;
    EXPECT_FALSE(hv::bcdFromFrequency(outside, bcd)) << outside;
    EXPECT_EQ(bcd, 0xBEEF);
  }
}

std::uint64_t fixed(std::int32_t hi, std::uint32_t lo) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(hi)) << 32 | lo;
}

TEST(FixedPointPosition, DecodesTheSimulatorsUnits) {
  const struct { const char* name; bool latitude; std::uint64_t value; double degrees; } cases[] = {
      {"south pole", true, fixed(-10001750, 0), -90.0},
      {"just south of the equator", true, fixed(-1, 0x80000000u), -4.499212637788387e-6},
      {"date line west", false, fixed(INT32_MIN, 0), -180.0},
      {"half a unit of longitude", false, fixed(0, 0x80000000u), 4.190951585769653e-8},
  };
  for (const auto& c : cases) {
    double got = c.latitude ? hv::latitudeFromFixed(c.value) : hv::longitudeFromFixed(c.value);
    EXPECT_NEAR(got, c.degrees, std::fabs(c.degrees) * 1e-14 + 1e-20) << c.name;
  }
}

TEST(HotKeyEntry, CodeInByteZeroAndTheModifierFlagInByteOne) {
  const struct { std::uint32_t code, modifier, entry; } cases[] = {
      {192, 8, 0x000001C0}, {65, 11, 0x00000141}, {65, 9, 0x00000241},
      {65, 0x108, 0x00000141},  // only the modifier's low byte counts
      {0x1C0, 8, 0x000001C0},   // only the code's low byte goes in
  };
  for (const auto& c : cases)
    EXPECT_EQ(hv::hotKeyEntryValue(c.code, c.modifier), c.entry) << c.code << "," << c.modifier;
}

}  // namespace
