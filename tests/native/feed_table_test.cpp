// Station tables built from whole clients files (VATSIM) and clients plus voice files
// (IVAO): the table rules as cases of input and expected table, the two mends (counts
// from the files are not trusted; voice clients are indexed, the first match kept), and
// comparisons with the slow, obvious build over random files.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "feed/portable/ClientsParser.h"
#include "feed/portable/StationTableBuilder.h"
#include "feed/portable/StationTableText.h"
#include "fuzz/SlowStationTable.h"

namespace hv {
namespace {

// A client line with the fields the parser reads (1, 4-7, 19, 20, 36) among typical ones.
std::string Client(const std::string& callsign, const std::string& type, const std::string& frequency,
                   const std::string& latitude = "50.03333", const std::string& longitude = "8.57056",
                   const std::string& facility = "4", const std::string& range = "50",
                   const std::string& info = "") {
  return callsign + ":1234567:Some Name:" + type + ":" + frequency + ":" + latitude + ":" + longitude +
         ":0:0:::::EUROPE-C2:::::" + facility + ":" + range + std::string(16, ':') + info + ":20240314183702:::::";
}

std::string Join(const std::vector<std::string>& lines, const std::string& eol) {
  std::string text;
  for (const std::string& l : lines) text += l + eol;
  return text;
}

// A clients file: header, "!GENERAL" with the count, "!CLIENTS" with the lines, "!SERVERS".
std::string ClientsFile(const std::vector<std::string>& clients, const std::string& count,
                        const std::string& eol = "\r\n") {
  std::vector<std::string> lines = {"; Created by a test", "!GENERAL:", "VERSION = 8", "CONNECTED CLIENTS = " + count,
                                    ";", "!CLIENTS:"};
  lines.insert(lines.end(), clients.begin(), clients.end());
  lines.insert(lines.end(), {";", "!SERVERS:", "EUROPE-C2:fsd.example:Europe:Europe Central 2:1:"});
  return Join(lines, eol);
}

std::string VoiceFile(const std::string& serverCount, const std::vector<std::string>& servers,
                      const std::string& clientCount, const std::vector<std::string>& clients) {
  std::vector<std::string> lines = {"!GENERAL", "VERSION = 1"};
  if (!serverCount.empty()) lines.push_back("CONNECTED VOICE SERVERS = " + serverCount);
  if (!clientCount.empty()) lines.push_back("CONNECTED VOICE CLIENTS = " + clientCount);
  lines.push_back("!VOICE SERVERS");
  lines.insert(lines.end(), servers.begin(), servers.end());
  lines.push_back("!VOICE CLIENTS");
  lines.insert(lines.end(), clients.begin(), clients.end());
  return Join(lines, "\n");
}

// The fast build equals the slow build, record for record and byte for byte (the slow
// build zero-fills every record, so a stray byte anywhere shows).
void ExpectSameAsSlowBuild(const std::string& clients, const std::string* voice) {
  const std::string_view voiceText = voice ? std::string_view(*voice) : std::string_view();
  StationTable fast;
  std::vector<AtcStation> slow;
  const bool built = BuildStationTable(clients, voice ? &voiceText : nullptr, fast);
  ASSERT_EQ(built, slow::BuildStationTable(clients, voice ? &voiceText : nullptr, slow)) << clients;
  if (!built) return;
  ASSERT_EQ(static_cast<std::size_t>(fast.count), slow.size()) << clients;
  ASSERT_EQ(fast.count == 0, fast.records == nullptr) << "an empty table has no array";
  if (fast.count == 0) return;
  EXPECT_EQ(std::memcmp(fast.records.get(), slow.data(), slow.size() * sizeof(AtcStation)), 0)
      << clients << "\n" << (voice ? *voice : "");
}

const std::string kTwr = Client("EDDF_TWR", "ATC", "119.900", "50.03333", "8.57056", "4", "50");
const std::string kTwrRow = "11990\tEDDF_TWR\t\t50.033330\t8.570560\t4\t50\n";
const std::string kApp = Client("EDDF_APP", "ATC", "120.800", "50.0", "8.5", "5", "150");
const std::string kAppRow = "12080\tEDDF_APP\t\t50.000000\t8.500000\t5\t150\n";
const std::string kPilot = Client("DLH4AB", "PILOT", "", "49.9", "8.9", "", "");

const std::string kNoTable = "(no table)";

// A clients file of one ATC line with the given fields after the frequency.
std::string Atc(const std::string& lat, const std::string& lon, const std::string& facility, const std::string& range) {
  return ClientsFile({Client("A", "ATC", "118.100", lat, lon, facility, range)}, "1");
}

TEST(BuildStationTable, ClientLines) {
  const struct {
    const char* name;
    std::string clients;
    std::string table;  // as hallvoxen-stations prints it, or kNoTable when the build fails
  } cases[] = {
      {"ATC lines in file order, pilots skipped", ClientsFile({kPilot, kTwr, kPilot, kApp}, "4"), kTwrRow + kAppRow},
      {"a count of 0 gives an empty table", ClientsFile({kTwr, kApp}, "0"), ""},
      {"a count that is no number reads 0", ClientsFile({kTwr}, "many"), ""},
      {"a client type written atc counts",
       ClientsFile({Client("eddf_gnd", "atc", "121.800", "1", "2", "3", "20")}, "1"),
       "12180\tEDDF_GND\t\t1.000000\t2.000000\t3\t20\n"},
      {"other client types are skipped",
       ClientsFile({Client("A", " ATC", "1"), Client("B", "ATCX", "1"), Client("C", "AT", "1"), "E:1:N", "F"}, "5"),
       ""},
      {"a line of four fields", ClientsFile({"X:1:N:ATC"}, "1"), "0\tX\t\t0.000000\t0.000000\t0\t0\n"},
      {"only the first n lines are read", ClientsFile({kTwr, kPilot, kApp}, "2"), kTwrRow},
      {"later section headers do not stop the reading", ClientsFile({kTwr, "!SERVERS:", kApp}, "3"), kTwrRow + kAppRow},
      {"a count beyond the text reads to its end", ClientsFile({kTwr}, "4294967295"), kTwrRow},
      {"a count of -1 wraps to the largest count", ClientsFile({kTwr, kApp}, "-1"), kTwrRow + kAppRow},
      {"a blank line of a CR LF file uses up one of the n lines", ClientsFile({kTwr, "", kApp}, "2", "\r\n"), kTwrRow},
      {"blank lines of an LF file vanish", ClientsFile({kTwr, "", kApp}, "2", "\n"), kTwrRow + kAppRow},
      {"CR CR LF line ends", ClientsFile({kTwr, kApp}, "2", "\r\r\n"), kTwrRow + kAppRow},
      {"no !CLIENTS header: no lines", "!GENERAL\nCONNECTED CLIENTS = 5\n!CLIENTX\n" + kTwr + "\n", ""},
      {"the lines start right after the header line",
       "!GENERAL\nCONNECTED CLIENTS = 1\n!CLIENTS " + kApp + "\n" + kTwr + "\n", kTwrRow},
      {"a prefix of the key answers first",
       "!GENERAL\nCONNECTED = 1\nCONNECTED CLIENTS = 2\n!CLIENTS\n" + kTwr + "\n" + kApp + "\n", kTwrRow},
      // fields
      {"callsign upper-cased, ASCII only", ClientsFile({Client("lfpg_\xe9tw", "ATC", "118.100")}, "1"),
       "11810\tLFPG_\xe9TW\t\t50.033330\t8.570560\t4\t50\n"},
      {"callsign cut to 31 characters", ClientsFile({Client(std::string(40, 'c'), "ATC", "118.100")}, "1"),
       "11810\t" + std::string(31, 'C') + "\t\t50.033330\t8.570560\t4\t50\n"},
      {"frequency 123.450", ClientsFile({Client("A", "ATC", "123.450")}, "1"),
       "12345\tA\t\t50.033330\t8.570560\t4\t50\n"},
      {"empty frequency and position", Atc("", "", "", ""), "11810\tA\t\t0.000000\t0.000000\t0\t0\n"},
      {"facility 7 is stored as 0", Atc("1", "2", "7", "50"), "11810\tA\t\t1.000000\t2.000000\t0\t50\n"},
      {"facility 6 stays", Atc("1", "2", "6", "50"), "11810\tA\t\t1.000000\t2.000000\t6\t50\n"},
      {"facility -1 wraps, above 6, 0", Atc("1", "2", "-1", "50"), "11810\tA\t\t1.000000\t2.000000\t0\t50\n"},
      {"range -1 wraps to 4294967295, signed -1", Atc("1", "2", "1", "-1"), "11810\tA\t\t1.000000\t2.000000\t1\t-1\n"},
      {"a converted field is cut to 63 characters", Atc("0." + std::string(61, '0') + "12", "1", "4", "50"),
       "11810\tA\t\t0.000000\t1.000000\t4\t50\n"},
      {"voice channel from the information text",
       ClientsFile({Client("EDDF_TWR", "ATC", "119.900", "1", "2", "4", "50", "$ rw.a.net/eddf_twr^\xA7Tw")}, "1"),
       "11990\tEDDF_TWR\tRW.A.NET/EDDF_TWR\t1.000000\t2.000000\t4\t50\n"},
      // no "CONNECTED CLIENTS" in "!GENERAL": no table
      {"empty text", "", kNoTable},
      {"only the voice clients key", "!GENERAL\nCONNECTED VOICE CLIENTS = 1\n!CLIENTS\n" + kTwr + "\n", kNoTable},
      {"not inside !GENERAL", "CONNECTED CLIENTS = 1\n!CLIENTS\n" + kTwr + "\n", kNoTable},
      {"past the section's end", "!GENERAL\n!CLIENTS\nCONNECTED CLIENTS = 1\n" + kTwr + "\n", kNoTable},
      {"header behind a BOM", "\xEF\xBB\xBF!GENERAL\nCONNECTED CLIENTS = 1\n!CLIENTS\n" + kTwr + "\n", kNoTable},
      {"a 404 page", "<html><body>404 Not Found</body></html>", kNoTable},
  };
  for (const auto& c : cases) {
    StationTable table;
    ASSERT_TRUE(BuildStationTable(ClientsFile({kApp}, "1"), nullptr, table));
    const AtcStation* before = table.records.get();
    const bool built = BuildStationTable(c.clients, nullptr, table);
    EXPECT_EQ(built ? StationTableText(table) : kNoTable, c.table) << c.name;
    if (!built) {
      EXPECT_EQ(table.records.get(), before) << c.name << ": a failed build leaves the table as it was";
    }
    EXPECT_EQ(table.count == 0, table.records == nullptr) << c.name << ": an empty table has no array";
  }
}

// Each case gives the voice channels of the stations EDDF_TWR, EDDF_APP and one without a
// callsign, joined by "|". EDDF_TWR's information text holds a voice token, which IVAO
// never reads.
TEST(BuildStationTable, IvaoVoiceChannels) {
  const std::vector<std::string> servers = {"eu1.voice.example:Brussels:EU1:1:R:", "Eu2.Voice.Example:Paris:EU2:1:R:",
                                            "eu3.voice.example:Zurich:eu3:1:R:"};
  const std::vector<std::string> blank = {"eu1.example:X:EU1:", "blank.example:X::"};
  const struct {
    const char* name;
    std::string voice;
    std::string channels;
  } cases[] = {
      {"each station finds its server", VoiceFile("3", servers, "2", {"1:EDDF_TWR:EU1:", "2:EDDF_APP:EU2:"}),
       "eu1.voice.example|Eu2.Voice.Example|"},
      {"a lower-case voice client callsign matches", VoiceFile("3", servers, "1", {"1:eddf_twr:EU1:"}),
       "eu1.voice.example||"},
      {"the client's server name is upper-cased", VoiceFile("3", servers, "1", {"1:EDDF_TWR:eu2:"}),
       "Eu2.Voice.Example||"},
      {"a server whose name holds lower case is never found", VoiceFile("3", servers, "1", {"1:EDDF_TWR:eu3:"}), "||"},
      {"the first matching line wins even when its server is unknown",
       VoiceFile("3", servers, "2", {"1:EDDF_TWR:EU9:", "1:EDDF_TWR:EU1:"}), "||"},
      {"the first matching line wins",
       VoiceFile("3", servers, "3", {"1:EDDF_TWR:EU2:", "1:EDDF_TWR:EU1:", "1:EDDF_APP:EU1:"}),
       "Eu2.Voice.Example|eu1.voice.example|"},
      {"the first listed server of a name wins",
       VoiceFile("2", {"first.example:X:EU1:", "second.example:X:EU1:"}, "1", {"1:EDDF_TWR:EU1:"}), "first.example||"},
      {"only c voice client lines are read", VoiceFile("3", servers, "1", {"1:EDDF_APP:EU1:", "1:EDDF_TWR:EU1:"}),
       "|eu1.voice.example|"},
      {"only s server lines are read", VoiceFile("1", servers, "1", {"1:EDDF_TWR:EU2:"}), "||"},
      // The server lines run on over the "!VOICE CLIENTS" header: a server without a name
      // whose address is the header, found by the empty lines past the end.
      {"counts beyond the text", VoiceFile("4294967295", servers, "4294967295", {"1:EDDF_TWR:EU2:"}),
       "Eu2.Voice.Example||!VOICE CLIENTS"},
      {"no voice clients key", VoiceFile("3", servers, "", {"1:EDDF_TWR:EU1:"}), "||"},
      {"no voice servers key", VoiceFile("", servers, "1", {"1:EDDF_TWR:EU1:"}), "||"},
      {"no !VOICE CLIENTS header", "!GENERAL\nCONNECTED VOICE SERVERS = 3\nCONNECTED VOICE CLIENTS = 1\n"
                                   "!VOICE SERVERS\n" + Join(servers, "\n") + "1:EDDF_TWR:EU1:\n", "||"},
      {"empty voice file", "", "||"},
      {"callsign in field 2, server in field 3 only", VoiceFile("3", servers, "1", {"EDDF_TWR:EU1:x:"}), "||"},
      {"a server name of more than 31 characters is cut and never matches",
       VoiceFile("1", {"long.example:X:" + std::string(40, 'S') + ":"}, "1",
                 {"1:EDDF_TWR:" + std::string(40, 'S') + ":"}),
       "||"},
      {"an address is cut to 127 characters",
       VoiceFile("1", {std::string(200, 'a') + ":X:EU1:"}, "1", {"1:EDDF_TWR:EU1:"}),
       std::string(127, 'a') + "||"},
      {"an empty server name matches an empty field 3",
       VoiceFile("2", {"unnamed.example:X::", "eu1.voice.example:X:EU1:"}, "1", {"1:EDDF_TWR"}), "unnamed.example||"},
      // Lines past the end of the text read as empty: an empty callsign and an empty name.
      {"the empty lines past the end meet the empty callsign", VoiceFile("2", blank, "5", {"1:EDDF_TWR:EU1:"}),
       "eu1.example||blank.example"},
      {"not when the count stays within the lines", VoiceFile("2", blank, "1", {"1:EDDF_TWR:EU1:"}), "eu1.example||"},
      {"an earlier line for the empty callsign wins", VoiceFile("2", blank, "9", {"1::EU1:"}), "||eu1.example"},
      {"section header on the last line",
       "!GENERAL\nCONNECTED VOICE SERVERS = 1\nCONNECTED VOICE CLIENTS = 1\n"
       "!VOICE SERVERS\nblank.example:X::\n!VOICE CLIENTS",
       "||blank.example"},
  };
  const std::string clients = ClientsFile(
      {Client("EDDF_TWR", "ATC", "119.900", "1", "2", "4", "50", "eu2.ts.ivao.aero/EDDF_TWR"), kPilot, kApp,
       Client("", "ATC", "118.100")},
      "4", "\n");
  for (const auto& c : cases) {
    const std::string_view voice(c.voice);
    StationTable table;
    ASSERT_TRUE(BuildStationTable(clients, &voice, table)) << c.name;
    ASSERT_EQ(table.count, 3) << c.name;
    EXPECT_EQ(std::string(table.records[0].voiceChannel) + "|" + table.records[1].voiceChannel + "|" +
                  table.records[2].voiceChannel,
              c.channels)
        << c.name;
  }
}

// Counts from the files are not trusted: the walk ends at the end of the text.
TEST(BuildStationTable, HugeCountsEndAtTheEndOfTheText) {
  const std::string clients = ClientsFile({kTwr, kPilot, kApp}, "4294967295");
  const std::string voice = VoiceFile("4294967295", {"eu1.example:X:EU1:"}, "4294967295", {"1:EDDF_APP:EU1:"});
  const std::string_view voiceText(voice);
  StationTable table;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(BuildStationTable(clients, &voiceText, table));
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(table.count, 2);
  EXPECT_STREQ(table.records[1].voiceChannel, "eu1.example");
  EXPECT_LT(took.count(), 1.0) << "a count of 4294967295 over a small file must not walk four billion lines";
  EXPECT_EQ(ParseClients(clients, 4294967295u, nullptr, 0, false), 2u);
}

// Random clients and voice files, with every kind of line end, odd client types and
// numbers, repeated and differently cased callsigns: the fast build (remembered ATC
// lines, indexed voice clients) must give exactly what the slow build gives.
TEST(BuildStationTable, SameAsTheSlowBuildOnRandomFiles) {
  static const char* const eols[] = {"\n", "\r\n", "\r", "\n\r", "\r\r\n", "\n\n", "\r\n\r\n"};
  static const char* const types[] = {"ATC", "atc", "PILOT", "ATC ", "", "aTc"};
  static const char* const numbers[] = {"", "7", "-1", " 12", "4294967296", "abc", "50.5", "1e3", "0x10", "118.100"};
  static const char* const infos[] = {"", "a.b.c/x", "$ rw.liveatc.net/eddf_twr^\xA7text", "xyz/118.100", "/",
                                      "A..B.C/X", "a.b/c d.e.f/g", "no voice"};
  static const char* const callsigns[] = {"EDDF_TWR", "eddf_twr", "EDDF_APP", "Eddf_App", "X", "", "EDDF_TW", "c7"};
  static const char* const names[] = {"EU1", "eu1", "EU2", "Eu2", "", "EU1 "};
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> lines;
    for (int i = random() % 20; i > 0; --i) {
      switch (random() % 8) {
        case 0: lines.push_back(""); break;
        case 1: lines.push_back("!SERVERS:"); break;
        case 2: lines.push_back(std::string("X:1:N:") + types[random() % 6]); break;
        default:
          lines.push_back(Client(callsigns[random() % 8], types[random() % 6], numbers[random() % 10],
                                 numbers[random() % 10], numbers[random() % 10], numbers[random() % 10],
                                 numbers[random() % 10], infos[random() % 8]));
      }
    }
    const std::string count = random() % 4 ? std::to_string(random() % (lines.size() + 3)) : "4294967295";
    std::string clients = ClientsFile(lines, count, eols[random() % 3]);
    for (int i = random() % 3; i > 0; --i) clients.insert(random() % (clients.size() + 1), eols[random() % 7]);
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsSlowBuild(clients, nullptr));

    std::vector<std::string> servers;
    for (int i = random() % 5; i > 0; --i) {
      servers.push_back("s" + std::to_string(random() % 100) + ".example:X:" + names[random() % 6] + ":");
    }
    std::vector<std::string> voiceClients;
    for (int i = random() % 15; i > 0; --i) {
      voiceClients.push_back("1:" + std::string(callsigns[random() % 8]) + ":" + names[random() % 6] + ":");
    }
    const std::string voice =
        VoiceFile(std::to_string(random() % 6), servers, std::to_string(random() % 16), voiceClients);
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsSlowBuild(clients, &voice));
  }
}

// More ATC lines than the counting run remembers: the filling run walks on from the last
// remembered line, with the remaining line budget.
TEST(BuildStationTable, ThousandsOfAtcLines) {
  for (unsigned count : {1023u, 1024u, 1025u, 3000u}) {
    std::vector<std::string> lines;
    for (unsigned i = 0; i < count + 10; ++i) {
      lines.push_back(Client("S" + std::to_string(i), "ATC", "118.100", std::to_string(i), "1", "1", "1"));
      if (i % 3 == 0) lines.push_back(kPilot);
    }
    for (unsigned n : {count, count + 5, 4294967295u}) {
      ASSERT_NO_FATAL_FAILURE(ExpectSameAsSlowBuild(ClientsFile(lines, std::to_string(n)), nullptr));
    }
  }
}

}  // namespace
}  // namespace hv
