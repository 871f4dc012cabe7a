// Whole files against golden station tables: the bundled samples, and the real network
// files of ../shared/data/networks when they are present (skipped otherwise). The real
// files' tables are also checked against the counts recorded with them in SOURCES.md,
// which were taken by a separate analysis: ATC lines among the first n client lines, and
// ATC lines whose information text holds a voice token.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "feed/portable/StationTableBuilder.h"
#include "feed/portable/StationTableText.h"

namespace hv {
namespace {

const std::string kSource = HV_SOURCE_DIR;
const std::string kNetworks = std::string(HV_SHARED_DATA_DIR) + "/networks";

bool Read(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

std::string ReadOrFail(const std::string& path) {
  std::string text;
  EXPECT_TRUE(Read(path, text)) << path;
  return text;
}

std::vector<std::string> TextFiles(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

TEST(GoldenTables, Samples) {
  const std::string samples = kSource + "/samples/networks/";
  const std::string vatsim = ReadOrFail(samples + "vatsim-data.txt");
  const std::string whazzup = ReadOrFail(samples + "ivao-whazzup.txt");
  const std::string voice = ReadOrFail(samples + "ivao-voice.txt");
  const std::string_view voiceText(voice);
  StationTable table;
  ASSERT_TRUE(BuildStationTable(vatsim, nullptr, table));
  EXPECT_EQ(StationTableText(table), ReadOrFail(kSource + "/tests/golden/samples/vatsim-data.tsv"));
  ASSERT_TRUE(BuildStationTable(whazzup, &voiceText, table));
  EXPECT_EQ(StationTableText(table), ReadOrFail(kSource + "/tests/golden/samples/ivao-whazzup.tsv"));
}

TEST(GoldenTables, SampleStatusFiles) {
  const std::string samples = kSource + "/samples/networks/";
  std::string url;
  ASSERT_TRUE(FindKey(ReadOrFail(samples + "vatsim-status.txt"), nullptr, "url0", url));
  EXPECT_EQ(url, "http://data1.network-example.net/vatsim-data.txt");
  const std::string ivao = ReadOrFail(samples + "ivao-status.txt");
  ASSERT_TRUE(FindKey(ivao, nullptr, "url0", url));
  EXPECT_EQ(url, "http://www.ivao-example.aero/whazzup/whazzup.txt");
  ASSERT_TRUE(FindKey(ivao, nullptr, "url1", url));
  EXPECT_EQ(url, "http://www.ivao-example.aero/whazzup/voice.txt");
}

TEST(GoldenTables, RealNetworkFiles) {
  const std::vector<std::string> files = TextFiles(kNetworks);
  if (files.empty()) GTEST_SKIP() << "no network files in " << kNetworks;
  int compared = 0;
  for (const std::string& name : files) {
    const std::string clients = ReadOrFail(kNetworks + "/" + name);
    std::string golden;
    StationTable table;
    const bool built = BuildStationTable(clients, nullptr, table);
    if (!Read(kSource + "/tests/golden/networks/" + name.substr(0, name.size() - 4) + ".tsv", golden)) {
      EXPECT_FALSE(built) << name << ": a table was built, but there is no golden table for it";
      continue;
    }
    ASSERT_TRUE(built) << name;
    EXPECT_EQ(StationTableText(table), golden) << name;
    ++compared;

    // As IVAO with an empty voice file: the same stations, no voice channels.
    const std::string_view noVoice;
    StationTable ivao;
    ASSERT_TRUE(BuildStationTable(clients, &noVoice, ivao)) << name;
    std::string expected;
    for (const std::string& row : Split(golden, '\n')) {
      std::vector<std::string> f = Split(row, '\t');
      ASSERT_EQ(f.size(), 7u) << name << ": " << row;
      f[2].clear();
      for (std::size_t i = 0; i < f.size(); ++i) expected += f[i] + (i + 1 < f.size() ? "\t" : "\n");
    }
    EXPECT_EQ(StationTableText(ivao), expected) << name;
  }
  EXPECT_GE(compared, 25);
}

TEST(GoldenTables, RealFilesAgreeWithTheRecordedCounts) {
  std::string sources;
  if (!Read(kNetworks + "/SOURCES.md", sources)) GTEST_SKIP() << "no SOURCES.md in " << kNetworks;
  int checked = 0;
  for (const std::string& row : Split(sources, '\n')) {
    // | file | repository | path | commit | blob | size | line ends | CONNECTED CLIENTS | client lines |
    //   ATC lines | ATC in first n | ATC with a voice token | ...
    std::vector<std::string> c = Split(row, '|');
    if (c.size() < 13) continue;
    for (std::string& s : c) s = Trim(s);
    const std::string& name = c[1];
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".txt") != 0 || name.rfind("status", 0) == 0) continue;
    const std::string& atcLines = c[10];
    const std::string& atcInFirstN = c[11];
    const std::string& withVoice = c[12];
    StationTable table;
    const bool built = BuildStationTable(ReadOrFail(kNetworks + "/" + name), nullptr, table);
    if (atcInFirstN == "None") {
      // No "CONNECTED CLIENTS" (no table), or no "!CLIENTS" section (an empty one).
      EXPECT_TRUE(!built || table.count == 0) << name;
      ++checked;
      continue;
    }
    ASSERT_TRUE(built) << name;
    EXPECT_EQ(std::to_string(table.count), atcInFirstN) << name;
    if (atcLines == atcInFirstN) {  // the voice count was taken over all ATC lines
      int voiced = 0;
      for (int i = 0; i < table.count; ++i) voiced += table.records[i].voiceChannel[0] != '\0';
      EXPECT_EQ(std::to_string(voiced), withVoice) << name;
    }
    ++checked;
  }
  EXPECT_GE(checked, 25);
}

TEST(GoldenTables, RealStatusFiles) {
  const std::map<std::string, std::pair<std::string, std::string>> expected = {
      {"status-vatsim-offsetxx-1.txt",
       {"http://info.vroute.net/vatsim-data.txt", "http://info.vroute.net/vatsim-servers.txt"}},
      {"status-vatsim-tarakanbg-1.txt",
       {"http://www.pcflyer.net/DataFeed/vatsim-data.txt", "http://www.pcflyer.net/DataFeed/vatsim-servers.txt"}},
      {"status-vatsim-tdawe-1.txt",
       {"http://www.net-flyer.net/DataFeed/vatsim-data.txt", "http://www.net-flyer.net/DataFeed/vatsim-servers.txt"}},
  };
  int checked = 0;
  for (const auto& [name, urls] : expected) {
    std::string text;
    if (!Read(kNetworks + "/" + name, text)) continue;
    std::string url0;
    std::string url1;
    EXPECT_TRUE(FindKey(text, nullptr, "url0", url0)) << name;
    EXPECT_TRUE(FindKey(text, nullptr, "url1", url1)) << name;
    EXPECT_EQ(url0, urls.first) << name;
    EXPECT_EQ(url1, urls.second) << name;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no status files in " << kNetworks;
}

}  // namespace
}  // namespace hv
