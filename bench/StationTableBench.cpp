// The parser's speed check (Release builds, bench/run-speed-check.sh): BuildStationTable,
// compiled as bench/CMakeLists.txt says, timed in CPU time as the fastest of 7 runs of at
// least 0.1 s, so that a busy machine does not fail it. On the real network files of
// ../shared/data/networks (skipped without them) it reaches 1,000 MB/s of clients text and
// takes at most 6 times a memchr line split of the same bytes; a count of 4294967295 over a
// small file builds in under 1 ms, 20,000 stations and voice clients in under 100 ms.
// Exit 1 when a check fails.
#include <algorithm>
#include <cstdio>
#include <ctime>
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

bool Build(const Input& in) {
  const std::string_view voice(in.voice);
  hv::StationTable table;
  return hv::BuildStationTable(in.clients, in.ivao ? &voice : nullptr, table);
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }  // the process's CPU time

template <typename Run> double FastestSeconds(Run run) {
  double best = 1e9;
  for (int repetition = 0; repetition < 7; ++repetition) {
    const double start = CpuSeconds();
    long calls = 0;
    for (; calls == 0 || CpuSeconds() - start < 0.1; ++calls) run();
    best = std::min(best, (CpuSeconds() - start) / static_cast<double>(calls));
  }
  return best;
}

bool failed = false;
volatile std::size_t lineCount;  // keeps the line split from being optimised away

template <typename... Values> void Check(bool ok, const char* format, Values... values) {
  std::printf(ok ? "ok    " : "FAIL  ");
  std::printf(format, values...);
  failed = failed || !ok;
}

}  // namespace

int main() {
  std::vector<Input> real;
  double bytes = 0;
  std::error_code error;
  for (const auto& e : std::filesystem::directory_iterator(HV_SHARED_DATA_DIR "/networks", error)) {
    const std::string name = e.path().filename().string();
    std::ostringstream text;
    text << std::ifstream(e.path(), std::ios::binary).rdbuf();
    const Input in{text.str(), "", name.rfind("whazzup-", 0) == 0};
    if ((in.ivao || name.rfind("vatsim-data-", 0) == 0) && Build(in)) real.push_back(in), bytes += in.clients.size();
  }
  if (real.empty()) std::puts("skip  real files: none found");
  if (!real.empty()) {
    const double build = FastestSeconds([&] { for (const Input& in : real) Build(in); });
    const double split = FastestSeconds([&] {
      std::size_t lines = 0;
      for (const Input& in : real)
        for (const char *p = in.clients.data(), *end = p + in.clients.size();
             (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))); ++p)
          ++lines;
      lineCount = lines;
    });
    Check(bytes / build >= 1000e6, "real files: %.0f MB/s (at least 1000)\n", bytes / build / 1e6);
    Check(build <= 6 * split, "real files: %.2f times the memchr line split (at most 6)\n", build / split);
  }

  Input huge{"!GENERAL\nCONNECTED CLIENTS = 4294967295\n!CLIENTS\n", "!GENERAL\nCONNECTED VOICE CLIENTS = 4294967295\n", true};
  for (int i = 0; i < 20; ++i) huge.clients += "EDDF_TWR:1:N:ATC:119.900:50.0:8.5:::::::::::::4:50:\nDLH1:1:N:PILOT:\n";
  Input many{"!GENERAL\nCONNECTED CLIENTS = 20000\n!CLIENTS\n",
             "!GENERAL\nCONNECTED VOICE SERVERS = 1\nCONNECTED VOICE CLIENTS = 20000\n!VOICE SERVERS\neu1.example:X:EU1:\n!VOICE CLIENTS\n", true};
  for (int i = 0; i < 20000; ++i) {
    many.clients += "S" + std::to_string(i) + "_CTR:1:N:ATC:118.100:1:2:\n";
    many.voice += "1:S" + std::to_string(19999 - i) + "_CTR:EU1:\n";
  }
  const double hugeSeconds = Build(huge) ? FastestSeconds([&] { Build(huge); }) : 1e9;
  Check(hugeSeconds < 1e-3, "adversarial/huge-count: %.3f ms (under 1 ms)\n", hugeSeconds * 1e3);
  const double manySeconds = Build(many) ? FastestSeconds([&] { Build(many); }) : 1e9;
  Check(manySeconds < 100e-3, "adversarial/voice-20000: %.3f ms (under 100 ms)\n", manySeconds * 1e3);
  return failed ? 1 : 0;
}
