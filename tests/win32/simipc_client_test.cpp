// The IPC client's window messages against the substitute simulator, whose window lives
// on a message-pumping "simulator thread" of this process.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "module/portable/SimBatch.h"
#include "module/win32/SimIpc.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using hvtest::SubstituteSimulator;

class SimIpcClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(FindWindowA("UIPCMAIN", nullptr), nullptr) << "a server window of an earlier test is still there";
  }
  void TearDown() override {
    hv::SimIpc::close();
    hv::SimIpc::setReplyTimeout(hv::SimIpc::kDefaultReplyTimeout);
    host.run([&] { sim.destroy(); });
  }
  void createServer() {
    bool created = false;
    host.run([&] { created = sim.create(); });
    ASSERT_TRUE(created);
  }
  bool openClient(std::uint32_t& error) { return hv::SimIpc::open(0, error, buffer, sizeof buffer); }

  hvtest::ModuleHost host;
  SubstituteSimulator sim;
  unsigned char buffer[1024];
};

TEST_F(SimIpcClient, WithoutAServerWindowOpeningReports2) {
  std::uint32_t error = 0xDEADBEEF;
  EXPECT_FALSE(openClient(error));
  EXPECT_EQ(error, hv::kSimNoServer);
  EXPECT_FALSE(hv::SimIpc::isOpen());
}

TEST_F(SimIpcClient, OpeningSendsOneBatchOfTwoReadsAndTheClientWord) {
  createServer();
  std::uint32_t error = 0xDEADBEEF;
  ASSERT_TRUE(openClient(error));
  EXPECT_EQ(error, hv::kSimOk);
  auto batches = sim.servedBatches();
  ASSERT_EQ(batches.size(), 1u);
  const auto& b = batches[0];
  EXPECT_EQ(b.length, 54u);
  EXPECT_TRUE(b.terminated);
  ASSERT_EQ(b.records.size(), 3u);
  EXPECT_TRUE(b.records[0].isRead(0x3304));
  EXPECT_EQ(b.records[0].size, 4u);
  EXPECT_TRUE(b.records[1].isRead(0x3308));
  EXPECT_EQ(b.records[1].data, (std::vector<std::uint8_t>{0x00, 0x08, 0xDE, 0xFA})) << "the read saw the marker";
  EXPECT_TRUE(b.records[2].isWrite(0x330A));
  EXPECT_EQ(sim.clientWord(), 0x044C);

  EXPECT_FALSE(openClient(error));
  EXPECT_EQ(error, hv::kSimAlreadyOpen);
  EXPECT_EQ(sim.servedBatches().size(), 1u) << "opening an open client sends nothing";
  EXPECT_TRUE(hv::SimIpc::isOpen());
}

TEST_F(SimIpcClient, OpeningChecksTheServerAndTheSimulator) {
  struct Case {
    const char* name;
    std::uint32_t serverVersion, versionWord;
    std::uint16_t requested;
    bool fail;
    std::uint32_t code;
  } cases[] = {
      {"oldest server accepted", 0x19980005, 0xFADE0800, 0, false, hv::kSimOk},
      {"older server", 0x19980004, 0xFADE0800, 0, false, hv::kSimOldServer},
      {"no marker", 0x19990000, 0x00000800, 0, false, hv::kSimOldServer},
      {"requested simulator", 0x19990000, 0xFADE0800, 0x0800, false, hv::kSimOk},
      {"another simulator", 0x19990000, 0xFADE0700, 0x0800, false, hv::kSimWrongVersion},
      {"server refuses the batch", 0x19990000, 0xFADE0800, 0, true, hv::kSimNoReply},
  };
  createServer();
  for (const Case& c : cases) {
    sim.setServerVersion(c.serverVersion);
    sim.setVersionWord(c.versionWord);
    sim.setReplyFailure(c.fail);
    std::uint32_t error = 0xDEADBEEF;
    EXPECT_EQ(hv::SimIpc::open(c.requested, error, buffer, sizeof buffer), c.code == hv::kSimOk) << c.name;
    EXPECT_EQ(error, c.code) << c.name;
    EXPECT_EQ(hv::SimIpc::isOpen(), c.code == hv::kSimOk) << c.name;
    hv::SimIpc::close();
  }
}

TEST_F(SimIpcClient, BuffersTooSmallForTheOpeningBatchSendNothing) {
  createServer();
  struct Case {
    std::uint32_t size, code;
  } cases[] = {{31, hv::kSimBadBuffer}, {32, hv::kSimBatchFull}, {57, hv::kSimBatchFull}, {58, hv::kSimOk}};
  for (const Case& c : cases) {
    std::uint32_t error = 0xDEADBEEF;
    hv::SimIpc::open(0, error, buffer, c.size);
    EXPECT_EQ(error, c.code) << c.size;
    hv::SimIpc::close();
  }
  EXPECT_EQ(sim.servedBatches().size(), 1u) << "only the 58-byte buffer reached the server";
}

TEST_F(SimIpcClient, ReadsAndWritesReachTheOffsets) {
  createServer();
  sim.setCom1(11810);
  std::uint32_t error = 0;
  ASSERT_TRUE(openClient(error));
  std::uint16_t com1 = 0;
  const std::uint16_t tuned = 0x1970;
  ASSERT_TRUE(hv::SimIpc::read(0x034E, 2, &com1, error));
  ASSERT_TRUE(hv::SimIpc::write(0x034E, 2, &tuned, error));
  ASSERT_TRUE(hv::SimIpc::read(0x034E, 2, nullptr, error));
  ASSERT_TRUE(hv::SimIpc::process(error));
  EXPECT_EQ(com1, 0x1810);
  EXPECT_EQ(sim.com1(), 11970);
  auto last = sim.servedBatches().back();
  ASSERT_EQ(last.records.size(), 3u);
  EXPECT_EQ(last.records[2].data, (std::vector<std::uint8_t>{0x70, 0x19})) << "the dropped value was fetched";
}

TEST_F(SimIpcClient, ErrorCodesOfTheBatchOperations) {
  createServer();
  std::uint32_t error = 0, value = 0xDEADBEEF;
  EXPECT_FALSE(hv::SimIpc::read(0x3304, 4, &value, error));
  EXPECT_EQ(error, hv::kSimNotOpen);
  EXPECT_FALSE(hv::SimIpc::write(0x3304, 4, &value, error));
  EXPECT_EQ(error, hv::kSimNotOpen);
  EXPECT_FALSE(hv::SimIpc::process(error));
  EXPECT_EQ(error, hv::kSimNotOpen);

  ASSERT_TRUE(openClient(error));
  auto served = sim.servedBatches().size();
  EXPECT_FALSE(hv::SimIpc::process(error));
  EXPECT_EQ(error, hv::kSimEmptyBatch);
  EXPECT_EQ(sim.servedBatches().size(), served) << "an empty batch is not sent";

  EXPECT_FALSE(hv::SimIpc::read(0x3210, 1024, &value, error));
  EXPECT_EQ(error, hv::kSimBatchFull);

  sim.setReplyFailure(true);
  ASSERT_TRUE(hv::SimIpc::read(0x3304, 4, &value, error));
  EXPECT_FALSE(hv::SimIpc::process(error));
  EXPECT_EQ(error, hv::kSimNoReply);
  EXPECT_EQ(value, 0xDEADBEEFu);
  EXPECT_FALSE(hv::SimIpc::process(error));
  EXPECT_EQ(error, hv::kSimEmptyBatch) << "the failed batch was emptied";
  sim.setReplyFailure(false);
  ASSERT_TRUE(hv::SimIpc::read(0x3304, 4, &value, error));
  ASSERT_TRUE(hv::SimIpc::process(error));
  EXPECT_EQ(value, 0x19990000u);
}

TEST_F(SimIpcClient, AnUnansweredBatchTimesOutAndItsBufferIsLeftAloneUntilTheServerIsDone) {
  createServer();
  std::uint32_t error = 0;
  ASSERT_TRUE(openClient(error));
  hv::SimIpc::setReplyTimeout(300ms);
  sim.setReplyDelay(1200ms);
  const std::uint16_t tuned = 0x2345;
  ASSERT_TRUE(hv::SimIpc::write(0x034E, 2, &tuned, error));
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(hv::SimIpc::process(error));
  EXPECT_EQ(error, hv::kSimNoReply);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
  sim.setReplyDelay(0ms);

  // The server is still working on it: a new batch is refused and writes nothing.
  const std::uint16_t other = 0x3697;
  EXPECT_FALSE(hv::SimIpc::write(0x034E, 2, &other, error));
  EXPECT_EQ(error, hv::kSimNoReply);

  ASSERT_TRUE(sim.waitForBatch([](const SubstituteSimulator::Batch& b) { return b.hasWrite(0x034E); }, 3000ms));
  auto late = sim.servedBatches().back();
  ASSERT_EQ(late.records.size(), 1u);
  EXPECT_EQ(late.records[0].data, (std::vector<std::uint8_t>{0x45, 0x23})) << "the late batch was not overwritten";
  EXPECT_EQ(sim.com1Bcd(), 0x2345);

  ASSERT_TRUE(hv::SimIpc::write(0x034E, 2, &other, error));
  ASSERT_TRUE(hv::SimIpc::process(error));
  EXPECT_EQ(sim.com1Bcd(), 0x3697);
}

TEST_F(SimIpcClient, BatchesOfTwoThreadsNeverMix) {
  createServer();
  std::uint32_t error = 0;
  ASSERT_TRUE(openClient(error));
  auto batchesOf = [](std::uint32_t base) {
    for (int i = 0; i < 40; ++i) {
      std::uint32_t e = 0, value = 0;
      hv::SimIpc::read(base, 4, &value, e);
      EXPECT_TRUE(hv::SimIpc::isOpen());  // asking in the middle of a batch keeps it
      std::this_thread::sleep_for(1ms);
      hv::SimIpc::write(base + 4, 4, &value, e);
      hv::SimIpc::read(base + 8, 4, nullptr, e);
      hv::SimIpc::process(e);
    }
  };
  std::thread a(batchesOf, 0x1000), b(batchesOf, 0x2000);
  a.join();
  b.join();
  auto batches = sim.servedBatches();
  ASSERT_EQ(batches.size(), 1u + 80u);
  for (std::size_t i = 1; i < batches.size(); ++i) {
    const auto& records = batches[i].records;
    ASSERT_EQ(records.size(), 3u) << "batch " << i;
    std::uint32_t base = records[0].offset;
    EXPECT_EQ(records[1].offset, base + 4) << "batch " << i;
    EXPECT_EQ(records[2].offset, base + 8) << "batch " << i;
  }
}

}  // namespace
