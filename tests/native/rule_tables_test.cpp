// The platform-free rules whose cases are rows of input and expected result, kept as text
// in tests/native/tables/NAME.txt and checked here by TABLE(NAME, INPUTS): the adapter that
// calls the product with a row's first INPUTS cells and returns its results, which are
// compared with the cells that follow, in order; any cell after them is the row's reason.
//
// The format of a table file: one row per line, cells separated by "|"; blanks around a
// cell are dropped, and a cell written in double quotes keeps them. In a cell \r \n \t \0
// \xHH \\ \| \" \{ stand for their bytes, {N*TEXT} for N copies of TEXT and {NAME} for the
// text a line "{NAME} = TEXT" above named; a backslash before anything else is itself, so
// Windows paths read as they are. A cell "-" means none (no section, not found, refused). A
// line starting with # is a comment; the first ones name the columns, with -> between the
// inputs and the results, and the one above a group of rows says what they show.
// A number result matches a cell written in decimal or 0x hex, a double the double written
// (nan and the sign of zero included), a truth "yes" or "no", a text the same text. A
// failure names the table file and line of the row, that comment and the row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "api/portable/ControlApi.h"
#include "common/portable/RemoteCommand.h"
#include "dialog/portable/StationList.h"
#include "feed/portable/ClientsParser.h"
#include "feed/portable/DownloadStatus.h"
#include "feed/portable/FeedState.h"
#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"
#include "feed/portable/StationTableBuilder.h"
#include "feed/portable/StationTableText.h"
#include "module/portable/Configuration.h"
#include "module/portable/SimBatch.h"
#include "module/portable/SimClient.h"
#include "module/portable/SimConversions.h"
#include "tests/support/StationRecords.h"
#include "voice/portable/StationSelection.h"
#include "voice/portable/VoiceCommands.h"

namespace hv {
namespace {

using Names = std::map<std::string, std::string>;

std::string Unescape(std::string_view raw, const Names& names) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const std::size_t close = raw[i] == '{' ? raw.find('}', i) : raw.npos;
    const std::string inside(close == raw.npos ? "" : raw.substr(i + 1, close - i - 1));
    const std::size_t star = inside.find('*');
    if (names.count(inside) || (star != inside.npos && star > 0 && inside.find_first_not_of("0123456789") == star)) {
      for (int n = names.count(inside) ? 1 : std::stoi(inside); n > 0; --n)
        out += names.count(inside) ? names.at(inside) : Unescape(inside.substr(star + 1), names);
      i = close;
    } else if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
    } else if (const std::size_t e = std::string_view("rnt0\\|\"{").find(raw[i + 1]); e != raw.npos) {
      out += std::string_view("\r\n\t\0\\|\"{", 8)[e], ++i;
    } else if (raw[i + 1] == 'x' && i + 3 < raw.size()) {
      out += static_cast<char>(std::stoi(std::string(raw.substr(i + 2, 2)), nullptr, 16)), i += 3;
    } else {
      out += raw[i];
    }
  }
  return out;
}

std::string Cell(std::string_view cell, const Names& names) {
  while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t')) cell.remove_prefix(1);
  while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t')) cell.remove_suffix(1);
  if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
  return Unescape(cell, names);
}

struct Row : std::vector<std::string> {
  bool none(std::size_t i) const { return at(i) == "-"; }
  template <class N = std::uint32_t>
  N number(std::size_t i) const { return static_cast<N>(std::stoull(at(i), nullptr, 0)); }
  double real(std::size_t i) const { return std::strtod(at(i).c_str(), nullptr); }
};

// One result of an adapter. Numbers (all below 2^53 here) are compared as doubles.
struct Result {
  std::string text;
  bool numeric = false;
  double value = 0;
  Result(std::string t) : text(std::move(t)) {}
  Result(const char* t) : text(t) {}
  Result(bool b) : text(b ? "yes" : "no") {}
  template <class N, std::enable_if_t<std::is_arithmetic_v<N>, int> = 0>
  Result(N n) : text(testing::PrintToString(n)), numeric(true), value(static_cast<double>(n)) {}
  bool Matches(const std::string& cell) const {
    char* end = nullptr;
    const double e = std::strtod(cell.c_str(), &end);
    if (!numeric || end == cell.c_str() || *end) return !numeric && text == cell;
    return std::isnan(e) ? std::isnan(value) : e == value && std::signbit(e) == std::signbit(value);
  }
};

void ForEachRow(const std::string& name, std::size_t inputs, std::vector<Result> (*adapter)(const Row&)) {
  const std::string path = "tests/native/tables/" + name + ".txt";
  std::ifstream file(HV_SOURCE_DIR "/" + path, std::ios::binary);
  ASSERT_TRUE(file) << "cannot read " << path;
  Names names;
  std::string line, comment;
  int rows = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    const std::size_t equals = line.find('}');
    if (line[0] == '{' && equals != line.npos && line.compare(equals, 4, "} = ") == 0) {
      names[line.substr(1, equals - 1)] = Cell(std::string_view(line).substr(equals + 4), names);
      continue;
    }
    if (line.find_first_not_of(" \t") == line.npos || line[0] == '#') {
      comment = line[0] == '#' ? line : comment;
      continue;
    }
    const testing::ScopedTrace trace(path.c_str(), number, comment + "\n    " + line);
    Row row;
    for (std::size_t i = 0, start = 0; i <= line.size(); ++i) {
      if (i + 1 < line.size() && line[i] == '\\') ++i;
      if (i < line.size() && line[i] != '|') continue;
      row.push_back(Cell(std::string_view(line).substr(start, i - start), names));
      start = i + 1;
    }
    const std::vector<Result> results = row.size() < inputs ? std::vector<Result>{} : adapter(row);
    EXPECT_TRUE(row.size() >= inputs + results.size() && !results.empty()) << "too few cells";
    for (std::size_t k = 0; k < results.size() && inputs + k < row.size(); ++k)
      EXPECT_TRUE(results[k].Matches(row[inputs + k]))
          << "cell " << inputs + k + 1 << " is " << testing::PrintToString(results[k].text) << ", the row says "
          << testing::PrintToString(row[inputs + k]);
    ++rows;
  }
  EXPECT_GT(rows, 0) << path;
}

#define TABLE(name, inputs)                                   \
  std::vector<Result> name(const Row& row);                   \
  TEST(RuleTables, name) { ForEachRow(#name, inputs, name); } \
  std::vector<Result> name(const Row& row)

TEST(RuleTables, EveryTableHasItsAdapter) {
  const testing::TestSuite& suite = *testing::UnitTest::GetInstance()->current_test_suite();
  std::vector<std::string> adapters;
  for (int i = 0; i < suite.total_test_count(); ++i) adapters.push_back(suite.GetTestInfo(i)->name());
  for (const auto& entry : std::filesystem::directory_iterator(HV_SOURCE_DIR "/tests/native/tables"))
    EXPECT_EQ(std::count(adapters.begin(), adapters.end(), entry.path().stem()), 1) << "no adapter for " << entry.path();
}

// The name a table gives a code or a record.
template <class V>
std::string NameOf(const std::map<std::string, V>& names, V value) {
  for (const auto& [name, named] : names)
    if (named == value) return name;
  return "unnamed " + testing::PrintToString(value);
}

// ---- the network files' parser (feed/)

TABLE(line_cursor, 1) {
  std::string lines;
  for (LineCursor cursor(row[0], 0); !cursor.AtEnd();) {
    const char* line = cursor.Line();
    lines += std::string(line, cursor.LineEnd()) + "\n";
    cursor.Next();
    if (cursor.Line() <= line) return {"stuck after " + lines};
  }
  return {lines};
}

TABLE(find_key, 3) {
  std::string value = "untouched";
  const bool found = FindKey(row[0], row.none(1) ? nullptr : row[1].c_str(), row[2].c_str(), value);
  return {found ? value : value == "untouched" ? "-" : "not found, yet the value changed"};
}

TABLE(scan_numbers, 1) { return {ScanUnsigned(row[0]), ScanUnsigned16(row[0]), ScanDouble(row[0])}; }

TABLE(scan_frequency, 1) { return {ScanFrequency(row[0])}; }

TABLE(voice_channel, 3) {
  AtcStation s = hvtest::station(row.number<std::uint16_t>(1), row[0].c_str(), "");
  const bool found = ExtractVoiceChannel(s, row[2]);
  for (std::size_t i = std::strlen(s.voiceChannel); i < sizeof s.voiceChannel; ++i)
    if (s.voiceChannel[i] != 0) return {"byte " + std::to_string(i) + " written after the text"};
  return {found ? s.voiceChannel : *s.voiceChannel ? "not found, yet written" : "-"};
}

TABLE(download_events, 3) {
  std::string text;
  return {StatusMessageFor(row.number(0), row[1].data(), row.number(2), text) ? text : "-"};
}

TABLE(plain_error_text, 1) { return {PlainErrorText(row[0])}; }

TABLE(body_too_large, 2) { return {BodyTooLarge(row.number<std::size_t>(0), row.number<std::size_t>(1))}; }

StationTable Table(std::int32_t count) { return {std::make_unique<AtcStation[]>(count), count}; }

TABLE(install_station_table, 4) {
  const std::map<std::string, Network> networks = {{"VATSIM", Vatsim}, {"IVAO", Ivao}};
  for (int i = 0; i < 4; ++i)
    if (!networks.count(row[i])) return {"no network " + row[i]};
  const Network shown = networks.at(row[0]), into = networks.at(row[3]);
  ModuleState state;
  state.network = shown;
  InstallStationTable(state, Vatsim, Table(3));
  InstallStationTable(state, Ivao, Table(2));
  state.currentTable.records = state.feeds[shown].table.records.get();
  state.currentTable.count = state.feeds[shown].table.count;
  state.selectedStation = &state.feeds[networks.at(row[1])].table.records[1];
  state.network = networks.at(row[2]);
  const AtcStation *before = state.currentTable.records, *oldRecords = state.feeds[into].table.records.get();
  const StationTable old = InstallStationTable(state, into, Table(2));
  EXPECT_EQ(old.records.get(), oldRecords) << "handed back whole, for release after the lock";
  const bool published = state.currentTable.records == state.feeds[into].table.records.get();
  EXPECT_EQ(state.currentTable.count, state.feeds[published ? into : shown].table.count);
  EXPECT_TRUE(published || state.currentTable.records == before) << "not published: currentTable as it was";
  return {published, state.selectedStation == nullptr};
}

TABLE(clients_file, 1) {
  StationTable table;
  return {BuildStationTable(row[0], nullptr, table) ? StationTableText(table) : "(no table)"};
}

TABLE(ivao_voice_channels, 5) {
  const std::string voice = "!GENERAL\nCONNECTED VOICE SERVERS = " + row[1] + "\n" +
                            (row.none(2) ? "" : "CONNECTED VOICE CLIENTS = " + row[2] + "\n") + "!VOICE SERVERS\n" +
                            row[3] + "!VOICE CLIENTS\n" + row[4];
  const std::string_view voiceText(voice);
  StationTable table;
  if (!BuildStationTable(row[0], &voiceText, table) || table.count != 3) return {"not a table of three stations"};
  return {table.records[0].voiceChannel, table.records[1].voiceChannel, table.records[2].voiceChannel};
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

TABLE(config_paths, 1) { return {configPaths(row[0]).iniPath, configPaths(row[0]).cfgPath}; }

TABLE(read_configuration, 5) {
  const std::string keys[] = {kIni + "GENERAL/Server", kIni + "GENERAL/RangeCheck", kIni + "REMOTE/Remote",
                              kIni + "REMOTE/RemoteAddress", "C:\\FS2002\\FS2002.CFG|KEYBOARD_MAIN/ATC"};
  std::map<std::string, std::string> files;
  for (int i = 0; i < 5; ++i)
    if (!row.none(i)) files[keys[i]] = row[i];
  const Read read(files);
  const ModuleState& s = read.state;
  EXPECT_EQ(s.feeds[Ivao].statusUrl, "http://www.ivao.aero/whazzup/status.txt");
  EXPECT_TRUE(read.writes.empty() && read.errors.empty());
  return {s.network.load(), s.rangeCheck.load(), s.hotKeyCode, s.hotKeyModifier, s.remoteMode.load(), s.remoteAddress};
}

TABLE(remote_address, 1) {
  const Read read({{kIni + "REMOTE/Remote", "YES"}, {kIni + "REMOTE/RemoteAddress", row[0]}});
  EXPECT_EQ(read.errors.size(), read.state.remoteMode ? 0u : 1u) << "a message when it is switched off";
  EXPECT_TRUE(read.writes.empty());
  std::uint8_t o[4];
  char dotted[16] = "-";
  if (readDottedDecimal(row[0], o)) std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", o[0], o[1], o[2], o[3]);
  return {read.state.remoteMode == 1, dotted};
}

// ---- station selection (voice/)

TABLE(within_range, 6) {
  ModuleState state;
  state.rangeCheck = row.number(0);
  const AtcStation s = hvtest::station(1, "X", "v", row.real(3), row.real(4), row.number<std::int32_t>(5));
  return {IsWithinRange(state, hvtest::reading(1, row.real(1), row.real(2)), s)};
}

const std::map<std::string, std::uint32_t> kStatus = {{"Off", Off}, {"NoStation", NoStation}, {"Joined", Joined},
    {"OutOfRange", OutOfRange}, {"Waiting", Waiting}, {"RogerWilcoMissing", RogerWilcoMissing}};

TABLE(voice_transitions, 6) {
  using hvtest::station;
  const std::vector<AtcStation> table = {
      station(11810, "A_TWR", "srv/a", 50.0, 8.0, 50), station(12100, "B_APP", "srv/b", 40.0, 8.0, 10),
      station(12100, "C_APP", "srv/c", 45.0, 8.0, 10), station(12100, "D_APP", "srv/d", 30.0, 8.0, 10),
      station(12200, "E_CTR", "srv/e", 10.0, 8.0, 10), station(12200, "F_CTR", "srv/f", 50.2, 8.0, 50),
      station(12300, "G_GND", "", 50.0, 8.0, 50),      station(12300, "H_GND", "srv/h", 50.0, 8.1, 50),
      station(12300, "I_GND", "srv/i", 50.0, 8.0, 50), station(12400, "J_DEL", "", 50.0, 8.0, 50),
  };
  const std::vector<AtcStation> olderTable = table;  // equal records, other addresses
  std::map<std::string, const AtcStation*> stations = {{"-", nullptr}, {"older A_TWR", &olderTable[0]}};
  for (const AtcStation& s : table) stations[s.callsign] = &s;
  if (!kStatus.count(row[1]) || !stations.count(row[3])) return {"no status " + row[1] + " or station " + row[3]};
  ModuleState state;
  state.active = row.number(0);
  state.status = kStatus.at(row[1]);
  state.joined = row.number(2);
  state.selectedStation = stations.at(row[3]);
  state.currentTable.records = table.data();
  state.currentTable.count = static_cast<std::int32_t>(table.size());
  state.currentTable.loaded = row.number(4);
  UpdateVoiceChannel(state, hvtest::reading(row.number<std::uint16_t>(5), 50.0, 8.0));
  const std::uint32_t joined = state.joined.load();  // set before the command goes out
  const std::string command = DeliverPendingCommand(state);
  return {command.empty() ? "-" : command, NameOf(kStatus, state.status.load()),
          NameOf(stations, state.selectedStation), joined};
}

// ---- the exported control operations (api/)

TABLE(reported_status, 3) {
  const AtcStation record = hvtest::station(11810, "EDDF_TWR", "rw.example.org/x");
  ModuleState state;
  if (!kStatus.count(row[0])) return {"no status " + row[0]};
  state.status = kStatus.at(row[0]);
  state.active = row.number(1);
  state.selectedStation = row[2] == "yes" ? &record : nullptr;
  unsigned char buffer[200];
  std::memset(buffer, 0xEE, sizeof buffer);
  const std::uint32_t reported = getControlStatus(state, buffer);
  const bool copied = std::memcmp(buffer, &record, 192) == 0;
  for (std::size_t i = copied ? 192 : 0; i < sizeof buffer; ++i)
    if (buffer[i] != 0xEE) return {"byte " + std::to_string(i) + " written"};
  return {NameOf(kStatus, reported), copied};
}

// ---- the settings dialog's station list (dialog/)

StationRow Station(const std::string& callsign, float distance, float range, std::uint16_t frequency) {
  StationRow r{{}, frequency, distance, range};
  std::snprintf(r.callsign, sizeof r.callsign, "%s", callsign.c_str());
  return r;
}

TABLE(sort_rows, 1) {
  std::vector<StationRow> rows;
  std::istringstream in(row[0]);
  for (std::string word; in >> word;)
    rows.push_back(Station(word.substr(0, word.find('=')), std::strtof(word.c_str() + word.find('=') + 1, nullptr), 100, 11990));
  SortRows(rows);
  std::string callsigns;
  for (const StationRow& r : rows) callsigns += (callsigns.empty() ? "" : " ") + std::string(r.callsign);
  return {callsigns};
}

TABLE(station_lines, 4) {
  const StationRow r = Station(row[0], static_cast<float>(row.real(1)), static_cast<float>(row.real(2)), row.number(3));
  return {FormatStationLine(r)};
}

// ---- the simulator IPC batch and the values read (module/)

const std::map<std::string, std::uint32_t> kSimCodes = {{"ok", kSimOk}, {"no server", kSimNoServer},
    {"old server", kSimOldServer}, {"wrong version", kSimWrongVersion}, {"no reply", kSimNoReply},
    {"batch full", kSimBatchFull}};

TABLE(frequency_from_bcd, 1) { return {frequencyFromBcd(row.number<std::uint16_t>(0))}; }

TABLE(bcd_from_frequency, 1) {
  std::uint16_t bcd = 0xBEEF;
  if (bcdFromFrequency(row.number<std::uint16_t>(0), bcd)) return {bcd};
  return {bcd == 0xBEEF ? "-" : "refused, yet the BCD changed"};
}

TABLE(fixed_point, 3) {
  const std::uint64_t fixed = std::uint64_t{row.number(1)} << 32 | row.number(2);
  return {row[0] == "latitude" ? latitudeFromFixed(fixed) : longitudeFromFixed(fixed)};
}

TABLE(hot_key_entry, 2) { return {hotKeyEntryValue(row.number(0), row.number(1))}; }

TABLE(batch_capacity, 2) {
  unsigned char buffer[128 + 16];
  std::memset(buffer, 0xCC, sizeof buffer);
  const auto size = row.number(1);
  std::vector<unsigned char> source(size < 1000 ? size : 0, 0x5A);
  SimBatch batch;
  batch.attach(buffer, 128);
  if (batch.queueRead(0x100, 4, buffer + 128) != kSimOk) return {"the first read refused"};
  const std::uint32_t code =
      row[0] == "read" ? batch.queueRead(0x100, size, buffer + 128) : batch.queueWrite(0x100, size, source.data());
  EXPECT_EQ(batch.length(), code == kSimOk ? 128 - kSimTerminator : 20u);
  for (std::size_t i = 20; code != kSimOk && i < sizeof buffer; ++i)
    if (buffer[i] != 0xCC) return {"a refused record wrote byte " + std::to_string(i)};
  return {NameOf(kSimCodes, code)};
}

std::uint32_t Word(const unsigned char* at) { return at[0] | at[1] << 8 | at[2] << 16 | std::uint32_t{at[3]} << 24; }

TABLE(batch_walk, 3) {
  const std::uint32_t a = 0xA1A1A1A1, b = 0xB2B2B2B2, value = row.number(2);
  unsigned char buffer[48];
  std::uint32_t first = 0, second = 0;
  SimBatch batch;
  batch.attach(buffer, sizeof buffer);
  if (batch.queueRead(0x100, 4, &first) != kSimOk || batch.queueRead(0x200, 4, &second) != kSimOk) return {"refused"};
  batch.seal();
  std::memcpy(buffer + 16, &a, 4);
  std::memcpy(buffer + 36, &b, 4);
  std::memcpy(buffer + row.number(1), &value, 4);
  const std::uint32_t code = batch.complete(row.number<std::intptr_t>(0));
  if (value == 7) EXPECT_EQ(Word(buffer + 20), 0u) << "the unknown kind is cleared";
  EXPECT_TRUE(batch.empty());
  return {NameOf(kSimCodes, code), first, second};
}

// Answers each 4-byte read with the server version at 0x3304 and the version word
// elsewhere (writes are taken, not stored), the opening with `openReply`, later batches
// with `reply`, and keeps each batch sent.
struct PlayedServer {
  std::uint32_t version, versionWord;
  std::intptr_t openReply = 1, reply = 1;
  std::vector<std::vector<unsigned char>> sent = {};
  SimServerLink link{[](void*) -> std::uintptr_t { return 0x1234; }, serve, this};
  static std::intptr_t serve(void* context, std::uintptr_t, unsigned char* buffer, std::uint32_t length) {
    auto& server = *static_cast<PlayedServer*>(context);
    server.sent.emplace_back(buffer, buffer + length + 4);
    for (unsigned char* at = buffer; at < buffer + length; at += (Word(at) == 1 ? 16 : 12) + Word(at + 8))
      if (Word(at) == 1) std::memcpy(at + 16, Word(at + 4) == 0x3304 ? &server.version : &server.versionWord, 4);
    return server.sent.size() == 1 ? server.openReply : server.reply;
  }
};

// After an opening, a failed batch leaves the client open and is not sent again.
TABLE(sim_client_open, 5) {
  PlayedServer server{row.number(2), row.number(3)};
  server.openReply = row.number<std::intptr_t>(1);
  if (row[0] == "no") server.link.find = [](void*) -> std::uintptr_t { return 0; };
  SimClient client(server.link);
  unsigned char buffer[64];
  std::uint32_t error = 0xDEADBEEF;
  const bool opened = client.open(row.number<std::uint16_t>(4), error, buffer, sizeof buffer);
  const std::uint32_t code = error;
  EXPECT_EQ(opened, code == kSimOk);
  EXPECT_EQ(client.isOpen(), opened);
  if (!opened) return {NameOf(kSimCodes, code), "-"};
  const std::string sent = server.sent.size() == 1 ? std::string(server.sent[0].begin(), server.sent[0].end()) : "more";
  server.reply = 0;
  std::uint32_t value = 0;
  EXPECT_TRUE(client.read(0x0300, 4, &value, error));
  EXPECT_FALSE(client.process(error) || error != kSimNoReply || !client.isOpen());
  EXPECT_FALSE(client.process(error) || error != kSimEmptyBatch);
  return {NameOf(kSimCodes, code), sent};
}

}  // namespace
}  // namespace hv
