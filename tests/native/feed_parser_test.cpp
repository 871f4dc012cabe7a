// The network files' parser: lines, keys and number fields; station tables built from
// whole clients files (VATSIM) and clients plus voice files (IVAO); the voice channel
// search in a VATSIM controller's information text: the rules as tables of input and
// expected result. Then the real network files of ../shared/data/networks (skipped when
// absent) against their golden tables. What the bundled samples' golden tables show
// (checked through hallvoxen-stations: the first match of an IVAO voice client line, the
// case rules of its names, host, callsign and frequency tokens) is not repeated here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "feed/portable/ClientsParser.h"
#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"
#include "feed/portable/StationTableBuilder.h"
#include "feed/portable/StationTableText.h"

namespace hv {
namespace {

using namespace std::string_literals;

TEST(NextLine, LineEndsOfEveryKind) {
  const struct { std::string text; std::vector<std::string> lines; } cases[] = {
      {"a\nb\n", {"a", "b"}},         {"a\r\nb\r\n", {"a", "b"}},  {"a\rb", {"a", "b"}},
      {"a\n\rb", {"a", "b"}},         // LF CR is one line end
      {"a\r\r\nb\r\r\n", {"a", "b"}}, // so is CR CR LF
      {"a\n\n\nb", {"a", "b"}},       // a run of LFs alone is one line end
      {"a\r\n\r\nb", {"a", "", "b"}}, // a blank line of a CR LF text is an empty line
      {"a\n\n\r\nb", {"a", "", "b"}}, // the last LF starts an empty line
      {"\n\nx", {"", "x"}},           {"", {}},
      {"a\0b\nc"s, {"a\0b"s, "c"}},  // NUL is an ordinary byte
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < c.text.size();) {
      lines.push_back(c.text.substr(pos, c.text.find_first_of("\r\n", pos) - pos));
      const std::size_t next = NextLine(c.text, pos);
      ASSERT_GT(next, pos) << c.text;
      pos = next;
    }
    EXPECT_EQ(lines, c.lines) << c.text;
  }
}

TEST(FindKey, NamesValuesAndSections) {
  const struct { const char* name; std::string text; const char* section; const char* key; bool found; std::string value; } cases[] = {
      {"a shorter name before the key answers, even none", "url=x\nurl0=y\n", nullptr, "url0", true, "x"},
      {"a longer name does not answer", "url00=x\nurl0=y\n", nullptr, "url0", true, "y"},
      {"blanks around the =", "CONNECTED CLIENTS   =   703\n", nullptr, "CONNECTED CLIENTS", true, "703"},
      {"trailing blanks of the value kept", "k =  v  \r\n", nullptr, "k", true, "v  "},
      {"leading blanks of the name kept", " k=v\n", nullptr, "k", false, ""},
      {"tab is not a blank", "k\t=v\n", nullptr, "k", false, ""},
      {"value cut to 511 characters", "k=" + std::string(600, 'v'), nullptr, "k", true, std::string(511, 'v')},
      {"section", "k=outside\n!GENERAL:\nk=inside\n", "!GENERAL", "k", true, "inside"},
      {"section search ends at the next ! line", "!GENERAL\nx=1\n!CLIENTS\nk=v\n", "!GENERAL", "k", false, ""},
      {"the header line itself is not a key line", "!GENERAL k=v\nx\n", "!GENERAL", "k", false, ""},
      {"blank CR LF line inside a section", "!GENERAL\r\n\r\nk = 1\r\n", "!GENERAL", "k", true, "1"},
  };
  for (const auto& c : cases) {
    std::string value = "untouched";
    ASSERT_EQ(FindKey(c.text, c.section, c.key, value), c.found) << c.name;
    EXPECT_EQ(value, c.found ? c.value : "untouched") << c.name;
  }
}

// "%u", "%hu" and "%lf" as sscanf reads them, and the frequency field.
TEST(ScanNumbers, AsSscanfReadsThem) {
  const struct { const char* text; std::uint32_t u; std::uint16_t hu; double lf; } cases[] = {
      {"703", 703, 703, 703},         {"abc", 0, 0, 0},        {"\t\r\n 9", 9, 9, 9},
      {"+7", 7, 7, 7},                {"12abc", 12, 12, 12},
      {"-1", 4294967295u, 65535, -1}, {"70000", 70000, 4464, 70000},
      {"0x1A", 0, 0, 26},             {"1e3", 1, 1, 1000},     {"51,1480560302734", 51, 51, 51},
      {"834618.396088554", 834618, 48186, 834618.396088554},  // halfway after a 64-bit rounding
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanUnsigned(c.text), c.u) << '"' << c.text << '"';
    EXPECT_EQ(ScanUnsigned16(c.text), c.hu) << '"' << c.text << '"';
    EXPECT_EQ(ScanDouble(c.text), c.lf) << '"' << c.text << '"';
  }
  EXPECT_TRUE(std::signbit(ScanDouble("-0.000")));
  EXPECT_TRUE(std::isnan(ScanDouble("nan")));

  // The third decimal is dropped; "1181.00" is "118" + ".0" (the dot is not looked for);
  // "-18.100" is "-1810" read with "%hu".
  const std::pair<const char*, std::uint16_t> frequencies[] = {{"118.100", 11810}, {"123.455", 12345}, {"118.1", 1181},
      {"", 0}, {"1181.00", 118}, {"-18.100", 63726}, {"655.36", 0}};
  for (const auto& [field, frequency] : frequencies) EXPECT_EQ(ScanFrequency(field), frequency) << field;
}

// A client line with the fields the parser reads (1, 4-7, 19, 20, 36) among typical ones.
std::string Client(const std::string& callsign, const std::string& type, const std::string& frequency,
                   const std::string& lat = "50.03333", const std::string& lon = "8.57056",
                   const std::string& facility = "4", const std::string& range = "50", const std::string& info = "") {
  return callsign + ":1234567:Some Name:" + type + ":" + frequency + ":" + lat + ":" + lon + ":0:0:::::EUROPE-C2:::::" +
         facility + ":" + range + std::string(16, ':') + info + ":20240314183702:::::";
}

std::string Join(const std::vector<std::string>& lines, const std::string& eol) {
  std::string text;
  for (const std::string& l : lines) text += l + eol;
  return text;
}

std::string ClientsFile(const std::vector<std::string>& clients, const std::string& count, const std::string& eol = "\r\n") {
  return Join({"; Created by a test", "!GENERAL:", "CONNECTED CLIENTS = " + count, "!CLIENTS:"}, eol) + Join(clients, eol) +
         Join({";", "!SERVERS:", "EUROPE-C2:fsd.example:Europe:Europe Central 2:1:"}, eol);
}

// An empty client count leaves its key out.
std::string VoiceFile(const std::string& serverCount, const std::vector<std::string>& servers,
                      const std::string& clientCount, const std::vector<std::string>& clients) {
  return "!GENERAL\nCONNECTED VOICE SERVERS = " + serverCount + "\n" +
         (clientCount.empty() ? "" : "CONNECTED VOICE CLIENTS = " + clientCount + "\n") + "!VOICE SERVERS\n" +
         Join(servers, "\n") + "!VOICE CLIENTS\n" + Join(clients, "\n");
}

const std::string kTwr = Client("EDDF_TWR", "ATC", "119.900");
const std::string kTwrRow = "11990\tEDDF_TWR\t\t50.033330\t8.570560\t4\t50\n";
const std::string kApp = Client("EDDF_APP", "ATC", "120.800", "50.0", "8.5", "5", "150");
const std::string kAppRow = "12080\tEDDF_APP\t\t50.000000\t8.500000\t5\t150\n";
const std::string kPilot = Client("DLH4AB", "PILOT", "", "49.9", "8.9", "", "");
const std::string kNoTable = "(no table)";

std::string Atc(const std::string& lat, const std::string& facility, const std::string& range) {
  return ClientsFile({Client("A", "ATC", "118.100", lat, "2", facility, range)}, "1");
}

TEST(BuildStationTable, ClientLines) {
  const struct { const char* name; std::string clients, table; } cases[] = {
      {"a count of 0 gives an empty table", ClientsFile({kTwr, kApp}, "0"), ""},
      {"only the first n lines are read", ClientsFile({kTwr, kPilot, kApp}, "2"), kTwrRow},
      {"a count of -1 wraps to the largest count", ClientsFile({kTwr, kApp}, "-1"), kTwrRow + kAppRow},
      {"later section headers do not stop the reading", ClientsFile({kTwr, "!SERVERS:", kApp}, "3"), kTwrRow + kAppRow},
      {"a client type written atc counts, callsign upper-cased (ASCII only)",
       ClientsFile({Client("lfpg_\xe9tw", "atc", "121.800", "1", "2", "3", "20")}, "1"),
       "12180\tLFPG_\xe9TW\t\t1.000000\t2.000000\t3\t20\n"},
      {"other client types are skipped", ClientsFile({Client("A", " ATC", "1"), Client("B", "ATCX", "1"), "E:1:N"}, "3"), ""},
      {"a blank line of a CR LF file uses up one of the n lines", ClientsFile({kTwr, "", kApp}, "2"), kTwrRow},
      {"the lines start right after the header line", "!GENERAL\nCONNECTED CLIENTS = 1\n!CLIENTS " + kApp + "\n" + kTwr, kTwrRow},
      {"no !CLIENTS header: no lines", "!GENERAL\nCONNECTED CLIENTS = 5\n!CLIENTX\n" + kTwr + "\n", ""},
      {"callsign cut to 31 characters", ClientsFile({Client(std::string(40, 'c'), "ATC", "118.100")}, "1"),
       "11810\t" + std::string(31, 'C') + "\t\t50.033330\t8.570560\t4\t50\n"},
      {"facility 7 is stored as 0", Atc("1", "7", "50"), "11810\tA\t\t1.000000\t2.000000\t0\t50\n"},
      {"facility 6 stays, range -1 is signed -1", Atc("1", "6", "-1"), "11810\tA\t\t1.000000\t2.000000\t6\t-1\n"},
      {"a converted field is cut to 63 characters", Atc("0." + std::string(61, '0') + "12", "4", "50"),
       "11810\tA\t\t0.000000\t2.000000\t4\t50\n"},
      // no "CONNECTED CLIENTS" in "!GENERAL": no table
      {"empty text", "", kNoTable},
      {"past the section's end", "!GENERAL\n!CLIENTS\nCONNECTED CLIENTS = 1\n" + kTwr + "\n", kNoTable},
      {"header behind a BOM", "\xEF\xBB\xBF!GENERAL\nCONNECTED CLIENTS = 1\n!CLIENTS\n" + kTwr + "\n", kNoTable},
  };
  for (const auto& c : cases) {
    StationTable table;
    EXPECT_EQ(BuildStationTable(c.clients, nullptr, table) ? StationTableText(table) : kNoTable, c.table) << c.name;
  }
}

// The voice channels of EDDF_TWR, EDDF_APP and a station without a callsign, joined by
// "|". EDDF_TWR's information text holds a voice token, which IVAO never reads.
TEST(BuildStationTable, IvaoVoiceChannels) {
  const std::vector<std::string> servers = {"eu1.voice.example:Brussels:EU1:1:R:", "Eu2.Voice.Example:Paris:EU2:1:R:",
                                            "eu3.voice.example:Zurich:eu3:1:R:"};
  const std::vector<std::string> blank = {"eu1.example:X:EU1:", "blank.example:X::"};
  const struct { const char* name; std::string voice, channels; } cases[] = {
      {"only c voice client lines are read", VoiceFile("3", servers, "1", {"1:EDDF_APP:EU1:", "1:EDDF_TWR:EU1:"}), "|eu1.voice.example|"},
      // The server lines run on over the "!VOICE CLIENTS" header: a server without a name
      // whose address is the header, found by the empty lines past the end.
      {"no voice clients key", VoiceFile("3", servers, "", {"1:EDDF_TWR:EU1:"}), "||"},
      {"counts beyond the text", VoiceFile("4294967295", servers, "4294967295", {"1:EDDF_TWR:EU2:"}),
       "Eu2.Voice.Example||!VOICE CLIENTS"},
      {"callsign in field 2, server in field 3 only", VoiceFile("3", servers, "1", {"EDDF_TWR:EU1:x:"}), "||"},
      {"an address is cut to 127 characters", VoiceFile("1", {std::string(200, 'a') + ":X:EU1:"}, "1", {"1:EDDF_TWR:EU1:"}),
       std::string(127, 'a') + "||"},
      {"the empty lines past the end meet the empty callsign", VoiceFile("2", blank, "5", {"1:EDDF_TWR:EU1:"}),
       "eu1.example||blank.example"},
      {"not when the count stays within the lines", VoiceFile("2", blank, "1", {"1:EDDF_TWR:EU1:"}), "eu1.example||"},
  };
  const std::string clients = ClientsFile(
      {Client("EDDF_TWR", "ATC", "119.900", "1", "2", "4", "50", "eu2.ts.ivao.aero/EDDF_TWR"), kPilot, kApp,
       Client("", "ATC", "118.100")}, "4", "\n");
  for (const auto& c : cases) {
    const std::string_view voice(c.voice);
    StationTable table;
    ASSERT_TRUE(BuildStationTable(clients, &voice, table)) << c.name;
    ASSERT_EQ(table.count, 3) << c.name;
    EXPECT_EQ(std::string(table.records[0].voiceChannel) + "|" + table.records[1].voiceChannel + "|" +
                  table.records[2].voiceChannel, c.channels) << c.name;
  }
}

// More ATC lines than the counting run remembers: the filling run walks on from the last
// remembered line, with the remaining line budget.
TEST(BuildStationTable, ThousandsOfAtcLines) {
  for (unsigned count : {1024u, 1025u, 3000u}) {
    std::vector<std::string> lines;
    for (unsigned i = 0; i < count + 10; ++i)  // every fourth line a pilot
      lines.push_back(i % 4 == 3 ? kPilot : Client("S" + std::to_string(i), "ATC", "118.100"));
    StationTable table;
    ASSERT_TRUE(BuildStationTable(ClientsFile(lines, std::to_string(count)), nullptr, table));
    const unsigned last = count - count / 4 - 1;
    ASSERT_EQ(table.count, static_cast<std::int32_t>(last + 1)) << count;
    EXPECT_STREQ(table.records[last].callsign, ("S" + std::to_string(last + last / 3)).c_str()) << count;
  }
}

TEST(ExtractVoiceChannel, TokenRules) {
  const std::string h120(120, 'h'), H120(120, 'H');
  const struct { const char* name; const char* callsign; std::uint16_t frequency; std::string info, channel; } cases[] = {
      {"host token ends before a comma", "NONE_CTR", 11990, "rw.a.net/ch,an", "RW.A.NET/CH"},
      {"two dots in a row: no host", "NONE_CTR", 11990, "A..B.C/X", ""},
      {"one dot is not enough", "NONE_CTR", 11990, "vats.im/omae", ""},
      {"a / before it spoils the host name", "NONE_CTR", 11990, "//www.x.org/contact", ""},
      {"frequency token ends after 7 characters", "NONE_CTR", 12345, "voice/123.450abc", "VOICE/123.450"},
      {"short frequency text matches at the end of the text", "NONE_CTR", 9900, "a/99.000", "A/99.000"},
      {"... but not when more follows", "NONE_CTR", 9900, "a/99.000 b", ""},
      {"/ right after a separator starts its token", "NONE_CTR", 12345, "tune /123.450 now", "/123.450"},
      {"callsign token ends with the callsign", "EDDF_TWR", 11990, "rw.a.net/eddf_twr_x", "RW.A.NET/EDDF_TWR"},
      {"callsign prefix is not enough", "EDDF_TWR", 11990, "a/eddf_tw", ""},
      {"frequency is tried before the callsign", "123.45", 12345, "a/123.450x", "A/123.450"},
      {"UTF-8 section sign: the token starts after 0xA7", "NONE_CTR", 11990, "text^\xC2\xA7rw.a.net/c", "RW.A.NET/C"},
      {"token of 128 characters is taken", "NONE_CTR", 11990, h120 + ".a.b/xyz", H120 + ".A.B/XYZ"},
      {"token of 129 characters is passed over, a later one taken", "NONE_CTR", 11990, h120 + ".a.b/xyzw c.d.e/ok", "C.D.E/OK"},
      {"the search goes on after the long token's /", "NONE_CTR", 11990, h120 + "a.b.c/d/x.y.z", ""},
      {"text is cut to 1023 characters", "NONE_CTR", 11990, std::string(1017, ' ') + "a.b.c/d", "A.B.C/"},
  };
  for (const auto& c : cases) {
    AtcStation s{};
    std::strncpy(s.callsign, c.callsign, sizeof s.callsign - 1);
    s.frequency = c.frequency;
    EXPECT_EQ(ExtractVoiceChannel(s, c.info), !c.channel.empty()) << c.name;
    EXPECT_EQ(std::string(s.voiceChannel), c.channel) << c.name;
    for (std::size_t i = std::strlen(s.voiceChannel); i < sizeof s.voiceChannel; ++i)
      ASSERT_EQ(s.voiceChannel[i], 0) << c.name << ": byte " << i << " written after the text";
  }
  // The frequency token is written without printf; it must be what "%03.3f" gives.
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
