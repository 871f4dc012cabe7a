// The network files' parser where its cases are not rows of tables/ (those of lines, keys,
// number fields, voice tokens and station tables built from small files are read by
// rule_tables_test): thousands of client lines, every frequency token, and the real network
// files of ../shared/data/networks (skipped when absent) against their golden tables. What
// the bundled samples' golden tables show (checked through hallvoxen-stations: the first
// match of an IVAO voice client line, the case rules of its names, host, callsign and
// frequency tokens) is not repeated here.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "feed/portable/ClientsParser.h"
#include "feed/portable/StationTableBuilder.h"
#include "feed/portable/StationTableText.h"

namespace hv {
namespace {

const std::string kNoTable = "(no table)";

// More ATC lines than the counting run remembers: the filling run walks on from the last
// remembered line, with the remaining line budget.
TEST(BuildStationTable, ThousandsOfAtcLines) {
  for (unsigned count : {1024u, 1025u, 3000u}) {
    std::string clients = "!GENERAL\nCONNECTED CLIENTS = " + std::to_string(count) + "\n!CLIENTS\n";
    for (unsigned i = 0; i < count + 10; ++i)  // every fourth line a pilot
      clients += i % 4 == 3 ? "DLH4AB:1:N:PILOT:::\n"
                            : "S" + std::to_string(i) + ":1:N:ATC:118.100:1:2" + std::string(12, ':') + "4:50\n";
    StationTable table;
    ASSERT_TRUE(BuildStationTable(clients, nullptr, table));
    const unsigned last = count - count / 4 - 1;
    ASSERT_EQ(table.count, static_cast<std::int32_t>(last + 1)) << count;
    EXPECT_STREQ(table.records[last].callsign, ("S" + std::to_string(last + last / 3)).c_str()) << count;
  }
}

// The token rules are rows of tables/voice_channel.txt; the frequency token is written
// without printf, and must be what "%03.3f" gives.
TEST(ExtractVoiceChannel, FrequencyTokensAsPrintfWritesThem) {
  for (unsigned f = 0; f <= 65535; ++f) {
    char text[32] = "x/";
    std::snprintf(text + 2, sizeof text - 2, "%03.3f", f * 0.01);
    AtcStation s{};
    s.frequency = static_cast<std::uint16_t>(f);
    ASSERT_TRUE(ExtractVoiceChannel(s, text) && std::string(s.voiceChannel) == std::string("X") + (text + 1)) << text;
  }
}

// Every data file with a golden table gives that table; one without gives none.
TEST(GoldenTables, RealNetworkFiles) {
  int compared = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(HV_SHARED_DATA_DIR "/networks", error)) {
    const std::string name = entry.path().stem().string();
    if (entry.path().extension() != ".txt" || name.rfind("status-", 0) == 0) continue;
    std::ostringstream clients, golden;
    clients << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    std::ifstream goldenFile(HV_SOURCE_DIR "/tests/golden/networks/" + name + ".tsv", std::ios::binary);
    if (goldenFile) golden << goldenFile.rdbuf();
    StationTable table;
    EXPECT_EQ(BuildStationTable(clients.str(), nullptr, table) ? StationTableText(table) : kNoTable,
              goldenFile ? golden.str() : kNoTable) << name;
    compared += goldenFile ? 1 : 0;
  }
  if (error) GTEST_SKIP() << "no " HV_SHARED_DATA_DIR "/networks";
  EXPECT_GE(compared, 25);
}

}  // namespace
}  // namespace hv
