// The IPC batch codec: the capacity rule, the walk over what the server returned; the
// client's opening against a server played by this test, with the server's identity; and the
// conversions of the values read: COM1 BCD, fixed-point positions, the hot-key entry.
#include <gtest/gtest.h>

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

TEST(SimBatch, HeaderAndTerminatorAreCountedBeforeAnythingIsWritten) {
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
    ASSERT_EQ(batch.queueRead(0x100, 4, buffer + 128), hv::kSimOk);  // 20 bytes used
    const std::uint32_t size = c.size < 1000 ? c.size - 20 : c.size;
    std::uint32_t code = c.isRead ? batch.queueRead(0x100, size, buffer + 128) : batch.queueWrite(0x100, size, source.data());
    EXPECT_EQ(code, c.code) << (c.isRead ? "read " : "write ") << c.size;
    // A refused record writes nothing and leaves the queued one for processing.
    EXPECT_EQ(batch.length(), code == hv::kSimOk ? 128 - hv::kSimTerminator : 20u) << c.size;
    for (std::size_t i = 20; code != hv::kSimOk && i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xCC) << c.size;
  }
}

// A batch of two 4-byte reads (headers at 0 and 20, data at 16 and 36), answered with one
// word rewritten by the server. The walk must never leave the batch, copy to a reference
// the client never gave, or go on past a kind it does not know (which it clears); a reply
// other than 1 touches no destination. AddressSanitizer watches the copies.
TEST(SimBatch, TheWalkOverTheServersAnswer) {
  const std::uint32_t A = 0xA1A1A1A1, B = 0xB2B2B2B2;
  const struct { const char* name; std::intptr_t reply; std::uint32_t at, value, code, first, second; } cases[] = {
      {"as sent", 1, 0, 1, hv::kSimOk, A, B},
      {"reply 0", 0, 0, 1, hv::kSimNoReply, 0, 0},
      {"reply 2", 2, 0, 1, hv::kSimNoReply, 0, 0},
      {"unknown kind", 1, 20, 7, hv::kSimOk, A, 0},
      {"second size beyond the batch", 1, 28, 400, hv::kSimOk, A, 0},
      {"first size beyond the batch", 1, 8, 400, hv::kSimOk, 0, 0},
      {"reference never given", 1, 12, 5, hv::kSimOk, 0, B},
  };
  for (const auto& c : cases) {
    unsigned char buffer[48];
    std::uint32_t first = 0, second = 0;
    SimBatch batch;
    batch.attach(buffer, sizeof buffer);
    ASSERT_TRUE(batch.queueRead(0x100, 4, &first) == hv::kSimOk && batch.queueRead(0x200, 4, &second) == hv::kSimOk);
    batch.seal();
    std::memcpy(buffer + 16, &A, 4);
    std::memcpy(buffer + 36, &B, 4);
    std::memcpy(buffer + c.at, &c.value, 4);
    EXPECT_EQ(batch.complete(c.reply), c.code) << c.name;
    EXPECT_EQ(first, c.first) << c.name;
    EXPECT_EQ(second, c.second) << c.name;
    if (c.value == 7) EXPECT_EQ(word(buffer + 20), 0u) << "the unknown kind is cleared";
    EXPECT_TRUE(batch.empty()) << c.name;
  }
}

// Answers the reads of each batch from 64 KiB of offsets (writes are taken, not stored)
// with `reply`, the opening with `openReply`, and keeps each batch sent.
struct PlayedServer {
  std::vector<unsigned char> space = std::vector<unsigned char>(0x10000);
  std::intptr_t openReply = 1, reply = 1;
  std::vector<std::vector<unsigned char>> sent;
  hv::SimServerLink link{[](void*) -> std::uintptr_t { return 0x1234; }, serve, this};

  explicit PlayedServer(std::uint32_t serverVersion = 0x19980005, std::uint32_t versionWord = 0xFADE0800) {
    std::memcpy(&space[0x3304], &serverVersion, 4);
    std::memcpy(&space[0x3308], &versionWord, 4);
  }
  static std::intptr_t serve(void* context, std::uintptr_t, unsigned char* buffer, std::uint32_t length) {
    auto& server = *static_cast<PlayedServer*>(context);
    server.sent.emplace_back(buffer, buffer + length + 4);
    for (unsigned char* at = buffer; at < buffer + length;) {
      const std::uint32_t kind = word(at), size = word(at + 8);
      if (kind == 1) std::memcpy(at + 16, &server.space[word(at + 4)], size);
      at += (kind == 1 ? 16 : 12) + size;
    }
    return server.sent.size() == 1 ? server.openReply : server.reply;
  }
};

// The server's window, its answer to the opening, and its identity: a version of at least
// 0x19980005, the marker 0xFADE above the simulator's version, which must be the one
// requested unless that is 0. An opening goes out byte for byte as below (the records'
// encoding; their walk is SimBatch's); a failed batch later leaves the client open and is
// not sent again.
TEST(SimClient, OpensOnlyWithTheRightServer) {
  const struct { bool window; std::intptr_t openReply; std::uint32_t version, versionWord; std::uint16_t requested; std::uint32_t code; } cases[] = {
      {false, 1, 0x19980005, 0xFADE0800, 0, hv::kSimNoServer},     {true, 0, 0x19980005, 0xFADE0800, 0, hv::kSimNoReply},
      {true, 1, 0x19980004, 0xFADE0800, 0, hv::kSimOldServer},     {true, 1, 0x19990000, 0xFADF0800, 0, hv::kSimOldServer},
      {true, 1, 0x19990000, 0xFADE0700, 0x0800, hv::kSimWrongVersion}, {true, 1, 0x19990000, 0xFADE0800, 0x0800, hv::kSimOk},
      {true, 1, 0x19980005, 0xFADE0800, 0, hv::kSimOk},
  };
  const std::vector<unsigned char> opening = {
      1, 0, 0, 0, 0x04, 0x33, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // read 0x3304 into slot 1
      1, 0, 0, 0, 0x08, 0x33, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,  // read 0x3308 into slot 2
      2, 0, 0, 0, 0x0A, 0x33, 0, 0, 2, 0, 0, 0, 0x4C, 0x04,              // write 0x044C at 0x330A
      0, 0, 0, 0};
  for (const auto& c : cases) {
    PlayedServer server(c.version, c.versionWord);
    server.openReply = c.openReply;
    if (!c.window) server.link.find = [](void*) -> std::uintptr_t { return 0; };
    SimClient client(server.link);
    unsigned char buffer[64];
    std::uint32_t error = 0xDEADBEEF;
    EXPECT_EQ(client.open(c.requested, error, buffer, sizeof buffer), c.code == hv::kSimOk) << std::hex << c.versionWord;
    EXPECT_EQ(client.isOpen(), c.code == hv::kSimOk) << std::hex << c.versionWord;
    EXPECT_EQ(error, c.code) << std::hex << c.versionWord;
    if (c.code != hv::kSimOk) continue;
    EXPECT_EQ(server.sent, std::vector<std::vector<unsigned char>>{opening});
    server.reply = 0;
    std::uint32_t value = 0;
    ASSERT_TRUE(client.read(0x0300, 4, &value, error));
    EXPECT_FALSE(client.process(error) || error != hv::kSimNoReply || !client.isOpen());
    EXPECT_FALSE(client.process(error) || error != hv::kSimEmptyBatch);
  }
}

// COM1's BCD with every digit in every place, both ways; positions; the hot-key entry.
TEST(SimConversions, Com1BcdPositionsAndTheHotKeyEntry) {
  const std::uint16_t cases[][2] = {{0x0123, 10123}, {0x1234, 11234}, {0x2345, 12345}, {0x3456, 13456}, {0x4567, 14567},
                                    {0x5678, 15678}, {0x6789, 16789}, {0x7890, 17890}, {0x8901, 18901}, {0x9012, 19012}};
  for (const auto& c : cases) {
    std::uint16_t bcd = 0xBEEF;
    EXPECT_EQ(hv::frequencyFromBcd(c[0]), c[1]) << std::hex << c[0];
    EXPECT_TRUE(hv::bcdFromFrequency(c[1], bcd) && bcd == c[0]) << c[1];
  }
  EXPECT_EQ(hv::frequencyFromBcd(0x00FF), 10165) << "digits above 9 are taken as they are";
  for (std::uint16_t outside : {9999, 20000}) {
    std::uint16_t bcd = 0xBEEF;
    EXPECT_FALSE(hv::bcdFromFrequency(outside, bcd) || bcd != 0xBEEF) << outside;
  }
  auto fixed = [](std::int32_t hi, std::uint32_t lo) { return std::uint64_t{static_cast<std::uint32_t>(hi)} << 32 | lo; };
  EXPECT_DOUBLE_EQ(hv::latitudeFromFixed(fixed(-10001750, 0)), -90.0);
  EXPECT_DOUBLE_EQ(hv::latitudeFromFixed(fixed(-1, 0x80000000u)), -4.499212637788387e-6);
  EXPECT_DOUBLE_EQ(hv::longitudeFromFixed(fixed(INT32_MIN, 0)), -180.0);
  EXPECT_DOUBLE_EQ(hv::longitudeFromFixed(fixed(0, 0x80000000u)), 4.190951585769653e-8);
  // The key code's low byte in byte 0; in byte 1, flag 1 for modifiers 8 and 11, else 2.
  EXPECT_EQ(hv::hotKeyEntryValue(0x1C0, 0x108), 0x000001C0u);
  EXPECT_EQ(hv::hotKeyEntryValue(65, 11), 0x00000141u);
  EXPECT_EQ(hv::hotKeyEntryValue(65, 9), 0x00000241u);
}

}  // namespace
