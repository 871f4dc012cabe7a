// BuildStationTable: a counting run over the client lines, one allocation, a filling run.
//
// The counting run remembers where the first ATC lines start, so the filling run goes
// straight to them instead of walking every pilot line a second time; past the
// remembered ones it walks on from the last of them.
#include "feed/portable/StationTableBuilder.h"

#include <cstdint>
#include <new>
#include <vector>

#include "feed/portable/ClientsParser.h"
#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"
#include "feed/portable/VoiceFile.h"

namespace hv {
namespace {

constexpr std::uint32_t kRememberedLines = 1024;

struct ClientRuns {
  const char* sectionStart = nullptr;
  const char* end = nullptr;
  std::uint32_t lineCount = 0;

  // Filled by Count(): the number of ATC lines, and where the first ones start and end.
  std::uint32_t atcLines = 0;
  struct Line {
    const char* start;
    const char* end;
  } remembered[kRememberedLines];
  std::uint32_t lastRememberedIndex = 0;  // line number of remembered[kRememberedLines - 1]

  std::uint32_t Count() {
    atcLines = 0;
    const char* p = sectionStart;
    // Lines past the end of the text are empty: the walk ends there whatever the count.
    for (std::uint32_t i = 0; i < lineCount && p != end; ++i) {
      const char* lineEnd;
      if (ScanClientLine(p, end, lineEnd)) {
        if (atcLines < kRememberedLines) {
          remembered[atcLines] = Line{p, lineEnd};
          lastRememberedIndex = i;
        }
        ++atcLines;
      }
      p = PassLineEnd(lineEnd, end);
    }
    return atcLines;
  }

  // Fills `records`, which has room for the atcLines stations that Count() found.
  void Fill(AtcStation* records, bool voiceSearch) {
    const std::uint32_t direct = atcLines < kRememberedLines ? atcLines : kRememberedLines;
    for (std::uint32_t k = 0; k < direct; ++k) {
      ParseAtcLine(remembered[k].start, remembered[k].end, records[k], voiceSearch);
    }
    std::uint32_t filled = direct;
    if (filled == atcLines) return;
    const char* p = PassLineEnd(remembered[kRememberedLines - 1].end, end);
    for (std::uint32_t i = lastRememberedIndex + 1; i < lineCount && p != end && filled < atcLines; ++i) {
      const char* lineEnd;
      if (ScanClientLine(p, end, lineEnd)) ParseAtcLine(p, lineEnd, records[filled++], voiceSearch);
      p = PassLineEnd(lineEnd, end);
    }
  }
};

bool Build(std::string_view clientsText, const std::string_view* voiceText, StationTable& table) {
  std::string_view countText;
  if (!FindKeyView(clientsText, "!GENERAL", "CONNECTED CLIENTS", countText)) return false;

  StationTable built;
  ClientRuns runs;
  runs.lineCount = ScanUnsigned(countText);
  std::size_t sectionStart = 0;
  if (runs.lineCount != 0 && FindSection(clientsText, "!CLIENTS", sectionStart)) {
    runs.sectionStart = clientsText.data() + sectionStart;
    runs.end = clientsText.data() + clientsText.size();
    const std::uint32_t count = runs.Count();
    if (count != 0) {
      if (count > static_cast<std::uint32_t>(INT32_MAX) || static_cast<std::uint64_t>(count) * sizeof(AtcStation) > SIZE_MAX) {
        return false;
      }
      built.records.reset(new (std::nothrow) AtcStation[count]());
      if (!built.records) return false;
      built.count = static_cast<std::int32_t>(count);
      runs.Fill(built.records.get(), voiceText == nullptr);
      if (voiceText) AssignVoiceChannels(*voiceText, built.records.get(), count);
    }
  }
  table = std::move(built);
  return true;
}

}  // namespace

bool BuildStationTable(std::string_view clientsText, const std::string_view* voiceText,
                       StationTable& table) {
  // Working storage that cannot be had fails the build; the previous table stays.
  try {
    return Build(clientsText, voiceText, table);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace hv
