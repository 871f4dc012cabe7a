// The real network files of ../shared/data/networks (skipped when absent) against golden
// station tables, against the counts recorded with them in SOURCES.md (taken by a separate
// analysis: ATC lines among the first n client lines, and ATC lines whose information text
// holds a voice token). The bundled samples' golden tables are checked through
// hallvoxen-stations (tools/CheckStationsTool.cmake).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "feed/portable/StationTableBuilder.h"
#include "feed/portable/StationTableText.h"

namespace hv {
namespace {

const std::string kNetworks = std::string(HV_SHARED_DATA_DIR) + "/networks/";

bool Read(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return static_cast<bool>(in);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) {
    const std::size_t first = part.find_first_not_of(' ');
    parts.push_back(first == std::string::npos ? "" : part.substr(first, part.find_last_not_of(' ') - first + 1));
  }
  return parts;
}

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// Every data file with a golden table gives that table; one without gives none. Where
// SOURCES.md records the counts, the table has that many stations, and (when the count
// covers all ATC lines) that many with a voice channel.
TEST(GoldenTables, RealNetworkFiles) {
  std::map<std::string, std::vector<std::string>> recorded;  // the columns of SOURCES.md, by file
  std::string sources;
  if (!Read(kNetworks + "SOURCES.md", sources)) GTEST_SKIP() << "no SOURCES.md in " << kNetworks;
  for (const std::string& row : Split(sources, '\n')) {
    // | file | repository | path | commit | blob | size | line ends | CONNECTED CLIENTS | client lines |
    //   ATC lines | ATC in first n | ATC with a voice token | ...
    std::vector<std::string> c = Split(row, '|');
    if (c.size() >= 13 && EndsWith(c[1], ".txt") && c[1].rfind("status", 0) != 0) recorded[c[1]] = c;
  }
  int compared = 0;
  int counted = 0;
  for (const auto& [name, c] : recorded) {
    std::string clients;
    std::string golden;
    ASSERT_TRUE(Read(kNetworks + name, clients)) << name;
    StationTable table;
    const bool built = BuildStationTable(clients, nullptr, table);
    const std::string goldenPath = std::string(HV_SOURCE_DIR) + "/tests/golden/networks/" + name;
    if (Read(goldenPath.substr(0, goldenPath.size() - 4) + ".tsv", golden)) {
      ASSERT_TRUE(built) << name;
      EXPECT_EQ(StationTableText(table), golden) << name;
      ++compared;
    } else {
      EXPECT_FALSE(built) << name << ": a table was built, but there is no golden table for it";
    }
    const std::string &atcLines = c[10], &atcInFirstN = c[11], &withVoice = c[12];
    ++counted;
    if (atcInFirstN == "None") {  // no "CONNECTED CLIENTS" (no table), or no "!CLIENTS" (an empty one)
      EXPECT_TRUE(!built || table.count == 0) << name;
      continue;
    }
    ASSERT_TRUE(built) << name;
    EXPECT_EQ(std::to_string(table.count), atcInFirstN) << name;
    if (atcLines == atcInFirstN) {  // the voice count was taken over all ATC lines
      int voiced = 0;
      for (int i = 0; i < table.count; ++i) voiced += table.records[i].voiceChannel[0] != '\0';
      EXPECT_EQ(std::to_string(voiced), withVoice) << name;
    }
  }
  EXPECT_GE(compared, 25);
  EXPECT_GE(counted, 25);
}

}  // namespace
}  // namespace hv
