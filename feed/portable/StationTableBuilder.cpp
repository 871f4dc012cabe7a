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
  std::string_view text;
  std::size_t sectionStart = 0;
  std::uint32_t lineCount = 0;

  // Filled by Count().
  std::uint32_t atcLines = 0;
  const char* remembered[kRememberedLines];
  std::uint32_t lastRememberedIndex = 0;  // line number of remembered[kRememberedLines - 1]

  std::uint32_t Count() {
    atcLines = 0;
    LineCursor cursor(text, sectionStart);
    // Lines past the end of the text are empty: the walk ends there whatever the count.
    for (std::uint32_t i = 0; i < lineCount && !cursor.AtEnd(); ++i, cursor.Next()) {
      if (!IsAtcLine(cursor.Line(), cursor.LineEnd())) continue;
      if (atcLines < kRememberedLines) {
        remembered[atcLines] = cursor.Line();
        lastRememberedIndex = i;
      }
      ++atcLines;
    }
    return atcLines;
  }

  // Fills `records`, which has room for the atcLines stations that Count() found.
  void Fill(AtcStation* records, bool voiceSearch) {
    const std::uint32_t direct = atcLines < kRememberedLines ? atcLines : kRememberedLines;
    const char* base = LineCursor::Bytes(text);
    for (std::uint32_t k = 0; k < direct; ++k) {
      LineCursor cursor(text, static_cast<std::size_t>(remembered[k] - base));
      ParseAtcLine(cursor.Line(), cursor.LineEnd(), records[k], voiceSearch);
    }
    if (direct == atcLines) return;
    LineCursor cursor(text, static_cast<std::size_t>(remembered[kRememberedLines - 1] - base));
    cursor.Next();
    std::uint32_t filled = direct;
    for (std::uint32_t i = lastRememberedIndex + 1; i < lineCount && !cursor.AtEnd() && filled < atcLines;
         ++i, cursor.Next()) {
      const char* lineEnd = cursor.LineEnd();
      if (IsAtcLine(cursor.Line(), lineEnd)) ParseAtcLine(cursor.Line(), lineEnd, records[filled++], voiceSearch);
    }
  }
};

bool Build(std::string_view clientsText, const std::string_view* voiceText, StationTable& table) {
  std::string_view countText;
  if (!FindKeyView(clientsText, "!GENERAL", "CONNECTED CLIENTS", countText)) return false;

  StationTable built;
  ClientRuns runs;
  runs.text = clientsText;
  runs.lineCount = ScanUnsigned(countText);
  if (runs.lineCount != 0 && FindSection(clientsText, "!CLIENTS", runs.sectionStart)) {
    const std::uint32_t count = runs.Count();
    if (count != 0) {
      if (count > static_cast<std::uint32_t>(INT32_MAX) || static_cast<std::uint64_t>(count) * sizeof(AtcStation) > SIZE_MAX) {
        return false;
      }
      built.records.reset(new (std::nothrow) AtcStation[count]());
      if (!built.records) return false;
      built.count = static_cast<std::int32_t>(count);
      runs.Fill(built.records.get(), voiceText == nullptr);
      if (voiceText) {
        std::vector<VoiceServer> servers;
        AssignVoiceChannels(*voiceText, built.records.get(), count, servers);
      }
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
