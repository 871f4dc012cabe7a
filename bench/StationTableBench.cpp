// Speed of BuildStationTable (compiled as bench/CMakeLists.txt says), in bytes of clients
// text per second, next to a floor measured in the same run over the same bytes:
// splitting them into lines with memchr. bench/check-speed.py checks the results.
//   real/all               every real network file in ../shared/data/networks (when there)
//   adversarial/...        a count of 4294967295 over a small file; 20,000 stations and
//                          20,000 voice clients
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "feed/portable/StationTableBuilder.h"

namespace {

struct Input {
  std::string clients, voice;
  bool ivao;
};
struct Case {
  std::string name;
  std::vector<Input> inputs;  // built one after another in each iteration
  std::size_t bytes = 0;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  Case real{"real/all", {}};
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& e : std::filesystem::directory_iterator(HV_SHARED_DATA_DIR "/networks", error)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    const std::string name = path.filename().string();
    const bool ivao = name.rfind("whazzup-", 0) == 0;
    if (!ivao && name.rfind("vatsim-data-", 0) != 0) continue;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string_view voice;
    hv::StationTable table;
    if (hv::BuildStationTable(text.str(), ivao ? &voice : nullptr, table)) real.inputs.push_back({text.str(), "", ivao});
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
  for (Case& c : cases)
    for (const Input& in : c.inputs) c.bytes += in.clients.size();
  return cases;
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
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c->bytes));
}

void LineSplit(benchmark::State& state, const Case* c) {
  for (auto _ : state) {
    std::size_t lines = 0;
    for (const Input& in : c->inputs) {
      const char* p = in.clients.data();
      const char* end = p + in.clients.size();
      for (; const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p)); ++lines)
        p = static_cast<const char*>(lf) + 1;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c->bytes));
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
