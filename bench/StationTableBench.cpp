// Speed of BuildStationTable (compiled as bench/CMakeLists.txt says), in bytes of clients
// text per second, next to a floor measured in the same run over the same bytes:
// splitting them into lines with memchr.
//
//   samples/...            the bundled made-up files
//   generated/...          20,000 clients with 2,000 ATC lines (VATSIM), and the same for
//                          IVAO with a voice file of 2,000 voice clients
//   real/all               every real network file in ../shared/data/networks (when there)
//   adversarial/...        a count of 4294967295 over a small file; 20,000 stations and
//                          20,000 voice clients
//
// Each BM_Build/<input> has a BM_LineSplit/<input> over the same clients bytes.
// bench/check-speed.py reads the JSON output and checks the ratios.
#include <benchmark/benchmark.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "feed/portable/StationTableBuilder.h"

namespace {

struct Input {
  std::string clients;
  std::string voice;
  bool ivao = false;
};

struct Case {
  std::string name;
  std::vector<Input> inputs;  // built one after another in each iteration
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Fields(std::vector<std::string> f) {
  f.resize(42);
  std::string line;
  for (const std::string& s : f) line += s + ":";
  return line;
}

// A clients file of `clients` lines, every tenth one an ATC line, as the networks write
// them; the ATC callsigns go to `atcCallsigns`.
std::string GeneratedClients(int clients, bool ivao, std::vector<std::string>& atcCallsigns) {
  std::mt19937 random(42);
  const char* const airports[] = {"EDDF", "LOWW", "LFPG", "LSZH", "EGLL", "KJFK", "EHAM", "LIRF"};
  const char* const positions[] = {"DEL", "GND", "TWR", "APP", "CTR", "ATIS"};
  const char* const eol = ivao ? "\n" : "\r\n";
  std::string text = "; Created for the benchmark\r\n;\r\n!GENERAL:" + std::string(eol) + "VERSION = 8" + eol +
                     "RELOAD = 2" + eol + "UPDATE = 20240314183710" + eol +
                     "CONNECTED CLIENTS = " + std::to_string(clients) + eol + ";" + eol + "!CLIENTS:" + eol;
  char number[64];
  for (int i = 0; i < clients; ++i) {
    const std::string lat = std::to_string(-60.0 + (random() % 1200000) / 10000.0);
    const std::string lon = std::to_string(-170.0 + (random() % 3400000) / 10000.0);
    if (i % 10 == 5) {
      const std::string callsign = std::string(airports[random() % 8]) + "_" + std::to_string(i) + "_" +
                                   positions[random() % 6];
      atcCallsigns.push_back(callsign);
      std::snprintf(number, sizeof number, "1%02u.%03u", static_cast<unsigned>(18 + random() % 18),
                    static_cast<unsigned>((random() % 40) * 25));
      std::string info = "$ voice" + std::to_string(random() % 3) + ".vacc-example.net/" + callsign;
      info += "^\xA7" "Frankfurt Tower, runways 25L/25C for landing^\xA7" "Feedback: www.vacc-example.net/fb";
      text += Fields({callsign, std::to_string(1000000 + i), "Some Controller", "ATC", number, lat, lon, "0", "0", "",
                      "", "", "", "", "EUROPE-C2", "100", "4", "", "4", "50", "", "", "", "", "", "", "", "", "", "",
                      "", "0", "0", "0", "0", info, "20240314183540", "20240314170001"});
    } else {
      text += Fields({"DLH" + std::to_string(i), std::to_string(1000000 + i), "Some Pilot EDDF", "PILOT", "", lat, lon,
                      std::to_string(random() % 40000), std::to_string(random() % 500), "B738/M-SDE2FGIRWY/S", "450",
                      "EDDF", "FL350", "LOWW", "EUROPE-CW", "100", "1", "2764", "", "", "1", "I", "1810", "1810", "1",
                      "10", "3", "0", "LOWL", "+VFPS+/V/ PBN/A1B1C1D1O1S1 RMK/TCAS",
                      "ANEKI Y163 NATOR UN850 TRA UL612 KPT DCT LNZ", "50.0333", "8.5706", "48.1103", "16.5697", "",
                      "", "20240314170001", "121"});
    }
    text += eol;
  }
  text += ";" + std::string(eol) + "!SERVERS:" + eol + "EUROPE-C2:fsd.example:Europe:Europe Central 2:1:" + eol;
  return text;
}

std::string GeneratedVoice(const std::vector<std::string>& atcCallsigns, int voiceClients) {
  std::mt19937 random(7);
  std::string text = "!GENERAL\nVERSION = 1\nCONNECTED VOICE SERVERS = 20\nCONNECTED VOICE CLIENTS = " +
                     std::to_string(voiceClients) + "\n!VOICE SERVERS\n";
  for (int s = 0; s < 20; ++s) {
    text += "eu" + std::to_string(s) + ".voice.ivao-example.aero:Somewhere:EU" + std::to_string(s) + ":1:R:\n";
  }
  text += "!VOICE CLIENTS\n";
  std::vector<std::string> order(atcCallsigns);
  std::shuffle(order.begin(), order.end(), random);
  for (int i = 0; i < voiceClients; ++i) {
    text += std::to_string(400000 + i) + ":" + order[i % order.size()] + ":EU" + std::to_string(random() % 20) +
            ":Some Controller:\n";
  }
  return text;
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  const std::string samples = std::string(HV_SOURCE_DIR) + "/samples/networks/";
  cases.push_back({"samples/vatsim", {{Read(samples + "vatsim-data.txt"), "", false}}});
  cases.push_back({"samples/ivao", {{Read(samples + "ivao-whazzup.txt"), Read(samples + "ivao-voice.txt"), true}}});

  std::vector<std::string> atc;
  cases.push_back({"generated/vatsim-20000-clients", {{GeneratedClients(20000, false, atc), "", false}}});
  atc.clear();
  std::string ivaoClients = GeneratedClients(20000, true, atc);
  cases.push_back({"generated/ivao-20000-clients-2000-voice", {{ivaoClients, GeneratedVoice(atc, 2000), true}}});

  const std::string networks = std::string(HV_SHARED_DATA_DIR) + "/networks/";
  Case real{"real/all", {}};
  if (DIR* d = opendir(networks.c_str())) {
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const bool vatsim = name.rfind("vatsim-data-", 0) == 0;
      const bool ivao = name.rfind("whazzup-", 0) == 0;
      if (!vatsim && !ivao) continue;
      Input input{Read(networks + name), "", ivao};
      const std::string_view voice;
      hv::StationTable table;
      if (hv::BuildStationTable(input.clients, ivao ? &voice : nullptr, table)) real.inputs.push_back(input);
    }
  }
  if (!real.inputs.empty()) cases.push_back(real);

  std::string huge = "!GENERAL\nCONNECTED CLIENTS = 4294967295\n!CLIENTS\n";
  for (int i = 0; i < 20; ++i) huge += "EDDF_TWR:1:N:ATC:119.900:50.0:8.5:::::::::::::4:50:\nDLH1:1:N:PILOT:\n";
  cases.push_back({"adversarial/huge-count", {{huge, "!GENERAL\nCONNECTED VOICE CLIENTS = 4294967295\n", true}}});

  std::string many = "!GENERAL\nCONNECTED CLIENTS = 20000\n!CLIENTS\n";
  std::string manyVoice = "!GENERAL\nCONNECTED VOICE SERVERS = 1\nCONNECTED VOICE CLIENTS = 20000\n"
                          "!VOICE SERVERS\neu1.example:X:EU1:\n!VOICE CLIENTS\n";
  for (int i = 0; i < 20000; ++i) {
    many += "S" + std::to_string(i) + "_CTR:1:N:ATC:118.100:1:2:\n";
    manyVoice += "1:S" + std::to_string(19999 - i) + "_CTR:EU1:\n";
  }
  cases.push_back({"adversarial/voice-20000", {{many, manyVoice, true}}});
  return cases;
}

std::size_t ClientBytes(const Case& c) {
  std::size_t n = 0;
  for (const Input& in : c.inputs) n += in.clients.size();
  return n;
}

void Build(benchmark::State& state, const Case* c) {
  for (auto _ : state) {
    for (const Input& in : c->inputs) {
      const std::string_view voice(in.voice);
      hv::StationTable table;
      if (!hv::BuildStationTable(in.clients, in.ivao ? &voice : nullptr, table)) state.SkipWithError("no table");
      benchmark::DoNotOptimize(table.records.get());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * ClientBytes(*c)));
}

void LineSplit(benchmark::State& state, const Case* c) {
  for (auto _ : state) {
    std::size_t lines = 0;
    for (const Input& in : c->inputs) {
      const char* p = in.clients.data();
      const char* end = p + in.clients.size();
      while (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
        ++lines;
        p = static_cast<const char*>(lf) + 1;
      }
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * ClientBytes(*c)));
}

}  // namespace

int main(int argc, char** argv) {
  static const std::vector<Case> cases = Cases();
  for (const Case& c : cases) {
    benchmark::RegisterBenchmark(("BM_Build/" + c.name).c_str(), Build, &c);
    benchmark::RegisterBenchmark(("BM_LineSplit/" + c.name).c_str(), LineSplit, &c);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
