// The IPC client's window message against the substitute simulator, whose window lives
// on a message-pumping "simulator thread" of this process: a batch's round trip, the
// bounded wait for the reply, and the batches of two threads kept apart. The batch
// format, the capacity and the opening's checks are tested natively (sim_batch_test).
#include <gtest/gtest.h>

#include <thread>

#include "module/portable/SimBatch.h"
#include "module/win32/SimIpc.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/SubstituteSimulator.h"

namespace {

using namespace std::chrono_literals;
using hvtest::SubstituteSimulator;
using Bytes = std::vector<std::uint8_t>;

class SimIpcClient : public ::testing::Test {
 protected:
  void TearDown() override {
    hv::SimIpc::close();
    hv::SimIpc::setReplyTimeout(hv::SimIpc::kDefaultReplyTimeout);
  }
  bool open() { return hv::SimIpc::open(0, error, buffer, sizeof buffer); }

  hvtest::ModuleHost host;
  SubstituteSimulator sim;
  unsigned char buffer[1024];
  std::uint32_t error = 0xDEADBEEF;
};

TEST_F(SimIpcClient, BatchesGoToTheServerWindowAndTheValuesComeBack) {
  ASSERT_TRUE(sim.createOn(host));
  sim.setCom1(11810);
  ASSERT_TRUE(open());
  EXPECT_EQ(error, hv::kSimOk);
  const auto opening = sim.servedBatches().at(0);
  EXPECT_EQ(opening.length, 54u) << "wParam: the records without the terminator";
  EXPECT_TRUE(opening.terminated);
  EXPECT_EQ(sim.clientWord(), 0x044C);

  std::uint16_t com1 = 0;
  const std::uint16_t tuned = 0x1970;
  ASSERT_TRUE(hv::SimIpc::read(0x034E, 2, &com1, error));
  ASSERT_TRUE(hv::SimIpc::write(0x034E, 2, &tuned, error));
  ASSERT_TRUE(hv::SimIpc::read(0x034E, 2, nullptr, error));
  ASSERT_TRUE(hv::SimIpc::process(error));
  EXPECT_EQ(com1, 0x1810);
  EXPECT_EQ(sim.com1(), 11970);
  EXPECT_EQ(sim.servedBatches().back().records.at(2).data, (Bytes{0x70, 0x19})) << "the dropped value was fetched";
}

TEST_F(SimIpcClient, AnUnansweredBatchTimesOutAndItsBufferIsLeftAloneUntilTheServerIsDone) {
  ASSERT_TRUE(sim.createOn(host));
  ASSERT_TRUE(open());
  hv::SimIpc::setReplyTimeout(300ms);
  sim.setReplyDelay(1200ms);
  const std::uint16_t tuned = 0x2345, other = 0x3697;
  ASSERT_TRUE(hv::SimIpc::write(0x034E, 2, &tuned, error));
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(hv::SimIpc::process(error));
  EXPECT_EQ(error, hv::kSimNoReply);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
  sim.setReplyDelay(0ms);

  // The server is still working on it: a new batch is refused and writes nothing.
  EXPECT_FALSE(hv::SimIpc::write(0x034E, 2, &other, error));
  EXPECT_EQ(error, hv::kSimNoReply);
  ASSERT_TRUE(sim.waitForBatch([](const SubstituteSimulator::Batch& b) { return b.hasWrite(0x034E); }, 3000ms));
  auto late = sim.servedBatches().back();
  ASSERT_EQ(late.records.size(), 1u);
  EXPECT_EQ(late.records[0].data, (Bytes{0x45, 0x23})) << "the late batch was not overwritten";

  ASSERT_TRUE(hv::SimIpc::write(0x034E, 2, &other, error));
  ASSERT_TRUE(hv::SimIpc::process(error));
  EXPECT_EQ(sim.com1Bcd(), 0x3697);
}

TEST_F(SimIpcClient, BatchesOfTwoThreadsNeverMix) {
  ASSERT_TRUE(sim.createOn(host));
  ASSERT_TRUE(open());
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
    EXPECT_EQ(records[1].offset, records[0].offset + 4) << "batch " << i;
    EXPECT_EQ(records[2].offset, records[0].offset + 8) << "batch " << i;
  }
}

}  // namespace
