// The list lines come from FillStationList and the reason from ExplainSelection and
// DescribeSelection, run over a ModuleState that holds the table as a loaded feed and as
// the current table: the tool shows what the dialog and station selection compute, and
// has no rules of its own.
#include "tools/NearCommand.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dialog/portable/StationList.h"
#include "records/portable/ModuleState.h"
#include "tools/StationFiles.h"
#include "voice/portable/SelectionReason.h"

namespace hv {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int BadArguments(const char* usage, const char* format, const char* value) {
  std::fputs("hallvoxen-stations near: ", stderr);
  std::fprintf(stderr, format, value);
  std::fputc('\n', stderr);
  std::fputs(usage, stderr);
  return 2;
}

bool WriteLine(const std::string& line) {
  return std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && std::fputc('\n', stdout) != EOF;
}

}  // namespace

unsigned ParseComFrequency(const char* text) {
  unsigned whole = 0;
  int wholeDigits = 0;
  const char* p = text;
  for (; IsDigit(*p); ++p, ++wholeDigits) {
    if (wholeDigits == 3) return 0;
    whole = whole * 10 + static_cast<unsigned>(*p - '0');
  }
  if (wholeDigits == 0) return 0;
  unsigned hundredths = 0;
  if (*p == '.') {
    ++p;
    if (!IsDigit(*p)) return 0;
    for (int decimal = 0; IsDigit(*p); ++p, ++decimal) {
      if (decimal < 2) {
        hundredths = hundredths * 10 + static_cast<unsigned>(*p - '0');
      } else if (*p != '0') {
        return 0;  // 118.105 has no exact value in hundredths
      }
      if (decimal == 0 && !IsDigit(p[1])) hundredths *= 10;  // "118.1" is 118.10
    }
  }
  if (*p != '\0') return 0;
  const unsigned frequency = whole * 100 + hundredths;
  return frequency >= 10000 && frequency <= 19999 ? frequency : 0;
}

bool ParseDegrees(const char* text, double limit, double& degrees) {
  const char* p = text;
  if (*p == '+' || *p == '-') ++p;
  int digits = 0;
  for (; IsDigit(*p); ++p) ++digits;
  if (*p == '.')
    for (++p; IsDigit(*p); ++p) ++digits;
  if (digits == 0 || *p != '\0') return false;
  // Only digits, one sign and one point are left, which strtod reads the same in the C
  // locale that this program never leaves.
  degrees = std::strtod(text, nullptr);
  return degrees >= -limit && degrees <= limit;
}

int RunNear(int count, char** args, const char* usage) {
  std::vector<const char*> positional;
  const char* frequencyText = nullptr;
  bool rangeCheck = true;
  for (int i = 0; i < count; ++i) {
    const char* arg = args[i];
    if (std::strncmp(arg, "--", 2) != 0) {
      positional.push_back(arg);
    } else if (std::strcmp(arg, "--no-range") == 0) {
      rangeCheck = false;
    } else if (std::strcmp(arg, "--freq") == 0 || std::strncmp(arg, "--freq=", 7) == 0) {
      if (frequencyText != nullptr) return BadArguments(usage, "%s: --freq is given twice", arg);
      if (arg[6] == '=') {
        frequencyText = arg + 7;
      } else if (i + 1 < count) {
        frequencyText = args[++i];
      } else {
        return BadArguments(usage, "%s needs a frequency in MHz, e.g. 118.10", arg);
      }
    } else {
      return BadArguments(usage, "unknown option %s", arg);
    }
  }

  if (positional.empty()) return BadArguments(usage, "%s", "no network given (vatsim or ivao)");
  const char* networkName = positional[0];
  const bool ivao = std::strcmp(networkName, "ivao") == 0;
  if (!ivao && std::strcmp(networkName, "vatsim") != 0)
    return BadArguments(usage, "unknown network \"%s\" (vatsim or ivao)", networkName);
  if (positional.size() < 3) return BadArguments(usage, "%s", "LAT and LON are needed, in degrees");
  SimReading reading;
  if (!ParseDegrees(positional[1], 90.0, reading.latitude))
    return BadArguments(usage, "latitude \"%s\" is not a number of degrees from -90 to 90 (north positive)",
                        positional[1]);
  if (!ParseDegrees(positional[2], 180.0, reading.longitude))
    return BadArguments(usage, "longitude \"%s\" is not a number of degrees from -180 to 180 (east positive)",
                        positional[2]);
  if (frequencyText != nullptr) {
    reading.frequency = static_cast<std::uint16_t>(ParseComFrequency(frequencyText));
    if (reading.frequency == 0)
      return BadArguments(usage, "frequency \"%s\" is not a COM1 frequency in MHz, 100.00 to 199.99 with two decimals at most",
                          frequencyText);
  }
  const std::size_t files = positional.size() - 3;
  if (files != (ivao ? 2u : 1u))
    return BadArguments(usage, "%s", ivao ? "ivao takes two files: CLIENTS_FILE VOICE_FILE"
                                          : "vatsim takes one file: CLIENTS_FILE");

  StationTable table;
  if (const int rc = LoadStationTable(positional[3], ivao ? positional[4] : nullptr, table)) return rc;

  // The table as the module holds it once loaded: the network's feed and the current table.
  const Network network = ivao ? Ivao : Vatsim;
  auto state = std::make_unique<ModuleState>();
  state->active.store(1);
  state->network.store(network);
  state->rangeCheck.store(rangeCheck ? 1 : 0);
  state->lastReading = reading;
  NetworkFeed& feed = state->feeds[network];
  feed.table = std::move(table);
  feed.attempted.store(1);
  feed.loaded.store(1);
  state->currentTable.records = feed.table.records.get();
  state->currentTable.count = feed.table.count;
  state->currentTable.loaded.store(1);

  bool written = true;
  for (const std::string& line : FillStationList(*state, network).lines) written = written && WriteLine(line);
  if (reading.frequency != 0) {
    std::string reason;
    {
      StationTableGuard guard(state->tableLock);
      reason = DescribeSelection(ExplainSelection(*state, reading), reading.frequency, rangeCheck);
    }
    written = written && WriteLine("selection: " + reason);
  }
  return written && std::fflush(stdout) == 0 ? 0 : 2;
}

}  // namespace hv
