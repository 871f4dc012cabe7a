// The platform-free rules whose cases are rows of input and expected result, kept as text
// in tests/native/tables/NAME.txt and checked here by the adapter TABLE(NAME), which calls
// the product function for each row and compares.
//
// The format of a table file: one row per line, cells separated by "|"; blanks around a
// cell are dropped, and a cell written in double quotes keeps them. In a cell \r \n \t \0
// \xHH \\ \| \" \{ stand for their bytes and {N*TEXT} for N copies of TEXT; a backslash
// before anything else is itself, so Windows paths read as they are. A cell that is only
// "-" means none (no section, not found, no command). A line starting with # is a comment;
// the one above a group of rows says what they show, and a row's last cell may give its
// own reason. A failure names the file and line of the row, that comment and the row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/portable/RemoteCommand.h"
#include "dialog/portable/StationList.h"
#include "feed/portable/ClientsParser.h"
#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"
#include "module/portable/Configuration.h"
#include "module/portable/SimConversions.h"
#include "tests/support/StationRecords.h"
#include "voice/portable/StationSelection.h"
#include "voice/portable/VoiceCommands.h"

namespace hv {
namespace {

const std::string kTables = "tests/native/tables/";

std::string Unescape(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const std::size_t close = raw.find('}', i), star = raw.find('*', i);
    if (raw[i] == '{' && star < close && close != raw.npos && star > i + 1 &&
        raw.find_first_not_of("0123456789", i + 1) == star) {
      const std::string text = Unescape(raw.substr(star + 1, close - star - 1));
      for (int n = std::stoi(std::string(raw.substr(i + 1, star - i - 1))); n > 0; --n) out += text;
      i = close;
    } else if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
    } else if (const std::size_t to = std::string_view("rnt0").find(raw[i + 1]); to != raw.npos) {
      out += std::string_view("\r\n\t\0", 4)[to], ++i;
    } else if (std::string_view("\\|\"{").find(raw[i + 1]) != raw.npos) {
      out += raw[++i];
    } else if (raw[i + 1] == 'x' && i + 3 < raw.size() && std::isxdigit(static_cast<unsigned char>(raw[i + 2])) &&
               std::isxdigit(static_cast<unsigned char>(raw[i + 3]))) {
      out += static_cast<char>(std::stoi(std::string(raw.substr(i + 2, 2)), nullptr, 16)), i += 3;
    } else {
      out += raw[i];
    }
  }
  return out;
}

struct Row {
  std::vector<std::string> cells;
  const std::string& operator[](std::size_t i) const { return cells[i]; }
  bool none(std::size_t i) const { return cells[i] == "-"; }
  long long number(std::size_t i) const { return std::stoll(cells[i], nullptr, 0); }
  double real(std::size_t i) const { return std::strtod(cells[i].c_str(), nullptr); }
};

Row Cells(const std::string& line) {
  Row row;
  for (std::size_t i = 0, start = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] == '\\') ++i;
    if (i < line.size() && line[i] != '|') continue;
    std::string_view cell(line.data() + start, std::min(i, line.size()) - start);
    cell.remove_prefix(std::min(cell.size(), cell.find_first_not_of(" \t")));
    cell.remove_suffix(cell.size() - (cell.find_last_not_of(" \t") + 1));
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
    row.cells.push_back(Unescape(cell));
    start = i + 1;
  }
  return row;
}

void ForEachRow(const std::string& name, std::size_t cells, const std::function<void(const Row&)>& check) {
  const std::string path = kTables + name + ".txt";
  std::ifstream file(HV_SOURCE_DIR "/" + path, std::ios::binary);
  ASSERT_TRUE(file) << "cannot read " << path;
  std::string line, comment;
  int number = 0, rows = 0;
  while (std::getline(file, line)) {
    ++number;
    if (line.find_first_not_of(" \t") == line.npos) continue;
    if (line[0] == '#') {
      comment = line;
      continue;
    }
    const testing::ScopedTrace trace(path.c_str(), number, comment + "\n    " + line);
    const Row row = Cells(line);
    ++rows;
    if (row.cells.size() < cells) ADD_FAILURE() << "a row of " << cells << " cells or more expected";
    else check(row);
  }
  EXPECT_GT(rows, 0) << path;
}

#define TABLE(name, cells)                                   \
  void name(const Row& row);                                 \
  TEST(RuleTables, name) { ForEachRow(#name, cells, name); } \
  void name(const Row& row)

TEST(RuleTables, EveryTableHasItsAdapter) {
  const testing::TestSuite& suite = *testing::UnitTest::GetInstance()->current_test_suite();
  std::vector<std::string> adapters;
  for (int i = 0; i < suite.total_test_count(); ++i) adapters.push_back(suite.GetTestInfo(i)->name());
  for (const auto& entry : std::filesystem::directory_iterator(HV_SOURCE_DIR "/" + kTables))
    EXPECT_EQ(std::count(adapters.begin(), adapters.end(), entry.path().stem()), 1) << "no adapter for " << entry.path();
}

// ---- the network files' parser (feed/)

TABLE(next_line, 2) {  // text | its lines, each ended by \n
  std::string lines;
  for (std::size_t pos = 0; pos < row[0].size();) {
    lines += row[0].substr(pos, row[0].find_first_of("\r\n", pos) - pos) + "\n";
    const std::size_t next = NextLine(row[0], pos);
    ASSERT_GT(next, pos);
    pos = next;
  }
  EXPECT_EQ(lines, row[1]);
}

TABLE(find_key, 4) {  // text | section | key | value
  std::string value = "untouched";
  ASSERT_EQ(FindKey(row[0], row.none(1) ? nullptr : row[1].c_str(), row[2].c_str(), value), !row.none(3));
  EXPECT_EQ(value, row.none(3) ? "untouched" : row[3]);
}

TABLE(scan_numbers, 4) {  // text | %u | %hu | %lf
  EXPECT_EQ(ScanUnsigned(row[0]), row.number(1));
  EXPECT_EQ(ScanUnsigned16(row[0]), row.number(2));
  const double lf = ScanDouble(row[0]);
  EXPECT_TRUE(std::isnan(row.real(3)) ? std::isnan(lf) : lf == row.real(3) && std::signbit(lf) == std::signbit(row.real(3)))
      << lf;
}

TABLE(scan_frequency, 2) { EXPECT_EQ(ScanFrequency(row[0]), row.number(1)); }  // field | MHz x 100

TABLE(voice_channel, 4) {  // callsign | frequency | information text | channel
  AtcStation s = hvtest::station(static_cast<std::uint16_t>(row.number(1)), row[0].c_str(), "");
  EXPECT_EQ(ExtractVoiceChannel(s, row[2]), !row.none(3));
  EXPECT_EQ(std::string(s.voiceChannel), row.none(3) ? "" : row[3]);
  for (std::size_t i = std::strlen(s.voiceChannel); i < sizeof s.voiceChannel; ++i)
    ASSERT_EQ(s.voiceChannel[i], 0) << "byte " << i << " written after the text";
}

// ---- the configuration (module/) and the datagram sender's address (common/)

// Reads the configuration of C:\FS2002 from profile files in memory, keyed
// "path|SECTION/KEY"; anything written or shown is collected.
struct Read {
  ModuleState state;
  std::vector<std::string> errors, writes;
  explicit Read(const std::map<std::string, std::string>& keys) {
    state.simFolder = "C:\\FS2002";
    state.hotKeyCode = state.hotKeyModifier = 0;
    readConfiguration(state, {[&](const std::string& path, const char* section, const char* key, const char* def,
                                  std::size_t capacity) {
                                auto found = keys.find(path + "|" + section + "/" + key);
                                return (found == keys.end() ? std::string(def) : found->second).substr(0, capacity - 1);
                              },
                              [&](const std::string&, const char*, const char* key, const char*) { writes.push_back(key); },
                              [&](const char* message) { errors.push_back(message); }});
  }
};
const std::string kIni = "C:\\FS2002\\Modules\\Hallvoxen.ini|";

TABLE(config_paths, 3) {  // simulator folder | Hallvoxen.ini | FS2002.CFG
  EXPECT_EQ(configPaths(row[0]).iniPath, row[1]);
  EXPECT_EQ(configPaths(row[0]).cfgPath, row[2]);
}

// Server | RangeCheck | Remote | RemoteAddress | ATC -> network | range check | key code |
// modifier | remote mode | address
TABLE(read_configuration, 11) {
  const char* keys[] = {"GENERAL/Server", "GENERAL/RangeCheck", "REMOTE/Remote", "REMOTE/RemoteAddress"};
  std::map<std::string, std::string> files;
  for (int i = 0; i < 4; ++i)
    if (!row.none(i)) files[kIni + keys[i]] = row[i];
  if (!row.none(4)) files["C:\\FS2002\\FS2002.CFG|KEYBOARD_MAIN/ATC"] = row[4];
  const Read read(files);
  const ModuleState& s = read.state;
  EXPECT_EQ((std::vector<long long>{s.network, s.rangeCheck, s.hotKeyCode, s.hotKeyModifier, s.remoteMode}),
            (std::vector<long long>{row.number(5), row.number(6), row.number(7), row.number(8), row.number(9)}));
  EXPECT_EQ(s.remoteAddress, row[10]);
  EXPECT_EQ(s.feeds[Ivao].statusUrl, "http://www.ivao.aero/whazzup/status.txt");
  EXPECT_TRUE(read.writes.empty() && read.errors.empty());
}

TABLE(remote_address, 3) {  // RemoteAddress | remote control stays on | the sender reads
  const Read read({{kIni + "REMOTE/Remote", "YES"}, {kIni + "REMOTE/RemoteAddress", row[0]}});
  const bool valid = row[1] == "yes";
  EXPECT_EQ(read.state.remoteMode, valid ? 1u : 0u);
  EXPECT_EQ(read.errors.size(), valid ? 0u : 1u);
  EXPECT_TRUE(read.writes.empty());
  std::uint8_t o[4];
  EXPECT_EQ(readDottedDecimal(row[0], o) ? std::to_string(o[0]) + "." + std::to_string(o[1]) + "." +
                                               std::to_string(o[2]) + "." + std::to_string(o[3])
                                         : "-",
            row[2]);
}

// ---- station selection (voice/)

TABLE(within_range, 7) {  // range check | aircraft lat | lon | station lat | lon | range | in range
  ModuleState state;
  state.rangeCheck = static_cast<std::uint32_t>(row.number(0));
  const AtcStation s = hvtest::station(1, "X", "v", row.real(3), row.real(4), static_cast<std::int32_t>(row.number(5)));
  EXPECT_EQ(IsWithinRange(state, hvtest::reading(1, row.real(1), row.real(2)), s), row[6] == "yes");
}

std::uint32_t Status(const std::string& name) {
  const std::map<std::string, ControlStatus> names = {{"Off", Off}, {"NoStation", NoStation}, {"Joined", Joined},
      {"OutOfRange", OutOfRange}, {"Waiting", Waiting}, {"RogerWilcoMissing", RogerWilcoMissing}};
  EXPECT_EQ(names.count(name), 1u) << name;
  return names.count(name) ? names.at(name) : 0xDEAD;
}

// control | status | joined | selected | loaded | COM1 -> command | status | selected | joined
TABLE(voice_transitions, 10) {
  using hvtest::station;
  const std::vector<AtcStation> table = {
      station(11810, "A_TWR", "srv/a", 50.0, 8.0, 50), station(12100, "B_APP", "srv/b", 40.0, 8.0, 10),
      station(12100, "C_APP", "srv/c", 45.0, 8.0, 10), station(12100, "D_APP", "srv/d", 30.0, 8.0, 10),
      station(12200, "E_CTR", "srv/e", 10.0, 8.0, 10), station(12200, "F_CTR", "srv/f", 50.2, 8.0, 50),
      station(12300, "G_GND", "", 50.0, 8.0, 50),      station(12300, "H_GND", "srv/h", 50.0, 8.1, 50),
      station(12300, "I_GND", "srv/i", 50.0, 8.0, 50), station(12400, "J_DEL", "", 50.0, 8.0, 50),
  };
  const std::vector<AtcStation> olderTable = table;  // equal records, other addresses
  auto at = [&](const std::string& callsign) -> const AtcStation* {
    if (callsign == "older A_TWR") return &olderTable[0];
    for (const AtcStation& s : table)
      if (callsign == s.callsign) return &s;
    EXPECT_EQ(callsign, "-");
    return nullptr;
  };
  ModuleState state;
  state.active = static_cast<std::uint32_t>(row.number(0));
  state.status = Status(row[1]);
  state.joined = static_cast<std::uint32_t>(row.number(2));
  state.selectedStation = at(row[3]);
  state.currentTable.records = table.data();
  state.currentTable.count = static_cast<std::int32_t>(table.size());
  state.currentTable.loaded = static_cast<std::uint32_t>(row.number(4));
  UpdateVoiceChannel(state, hvtest::reading(static_cast<std::uint16_t>(row.number(5)), 50.0, 8.0));
  EXPECT_EQ(state.joined.load(), row.number(9)) << "joined is set before the command goes out";
  EXPECT_EQ(DeliverPendingCommand(state), row.none(6) ? "" : row[6]);
  EXPECT_EQ(state.status.load(), Status(row[7]));
  EXPECT_EQ(state.selectedStation, at(row[8]));
}

}  // namespace
}  // namespace hv
