// Speed of BuildStationTable (compiled as bench/CMakeLists.txt says), in bytes of clients
// text per second, next to a floor measured in the same run over the same bytes:
// splitting them into lines with memchr. bench/check-speed.py checks the results.
//   real/all               every real network file in ../shared/data/networks (when there)
//   adversarial/...        a count of 4294967295 over a small file; 20,000 stations and
//                          20,000 voice clients
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "feed/portable/StationTableBuilder.h"

namespace {

struct Input {
  std::string clients, voice;
  bool ivao;
};
using Inputs = std::vector<Input>;  // built one after another in each iteration

std::int64_t Bytes(const Inputs& inputs) {
  std::int64_t bytes = 0;
  for (const Input& in : inputs) bytes += static_cast<std::int64_t>(in.clients.size());
  return bytes;
}

bool BuildAll(const Inputs& inputs) {
  for (const Input& in : inputs) {
    const std::string_view voice(in.voice);
    hv::StationTable table;
    if (!hv::BuildStationTable(in.clients, in.ivao ? &voice : nullptr, table)) return false;
    benchmark::DoNotOptimize(table.records.get());
  }
  return true;
}

void Build(benchmark::State& state, const Inputs* inputs) {
  for (auto _ : state)
    if (!BuildAll(*inputs)) state.SkipWithError("no table");
  state.SetBytesProcessed(state.iterations() * Bytes(*inputs));
}

void LineSplit(benchmark::State& state, const Inputs* inputs) {
  for (auto _ : state) {
    std::size_t lines = 0;
    for (const Input& in : *inputs) {
      const char* p = in.clients.data();
      const char* end = p + in.clients.size();
      for (; const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p)); ++lines)
        p = static_cast<const char*>(lf) + 1;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * Bytes(*inputs));
}

}  // namespace

int main(int argc, char** argv) {
  static std::vector<std::pair<std::string, Inputs>> cases;
  Inputs real;
  std::set<std::filesystem::path> files;
  std::error_code error;
  for (const auto& e : std::filesystem::directory_iterator(HV_SHARED_DATA_DIR "/networks", error)) files.insert(e.path());
  for (const auto& path : files) {
    const std::string name = path.filename().string();
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    const Inputs one = {{text.str(), "", name.rfind("whazzup-", 0) == 0}};
    if ((one[0].ivao || name.rfind("vatsim-data-", 0) == 0) && BuildAll(one)) real.push_back(one[0]);
  }
  if (!real.empty()) cases.push_back({"real/all", real});

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

  for (const auto& [name, inputs] : cases) {
    benchmark::RegisterBenchmark(("BM_Build/" + name).c_str(), Build, &inputs);
    benchmark::RegisterBenchmark(("BM_LineSplit/" + name).c_str(), LineSplit, &inputs);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
