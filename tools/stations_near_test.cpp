// "hallvoxen-stations near" prints exactly the lines that the settings dialog's own
// functions give for the same table and position, on the bundled samples and on the real
// network files when they are present (skipped when absent).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dialog/portable/StationList.h"
#include "feed/portable/StationTableBuilder.h"

namespace hv {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string runTool(const std::string& arguments, int& status) {
  std::FILE* pipe = popen((quoted(HV_STATIONS_TOOL) + " near " + arguments + " 2>&1").c_str(), "r");
  std::string out;
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

struct NetworkFiles {
  std::string network;
  fs::path clients;
  fs::path voice;  // IVAO only
};

// North and east, north and west, south and east of the equator and Greenwich.
const struct {
  const char* latitude;
  const char* longitude;
} kPositions[] = {{"50.0333", "8.5706"}, {"40.6398", "-73.7789"}, {"-33.9461", "151.1772"}};

void expectDialogLines(const NetworkFiles& files) {
  const std::string clients = readText(files.clients);
  const std::string voice = files.voice.empty() ? std::string() : readText(files.voice);
  const std::string_view voiceText(voice);
  StationTable table;
  const bool built = BuildStationTable(clients, files.voice.empty() ? nullptr : &voiceText, table);
  std::string fileArguments = quoted(files.clients.string());
  if (!files.voice.empty()) fileArguments += " " + quoted(files.voice.string());

  for (const auto& position : kPositions) {
    int status = -1;
    const std::string out =
        runTool(files.network + " " + position.latitude + " " + position.longitude + " " + fileArguments, status);
    const std::string where = files.clients.filename().string() + " at " + position.latitude + " " + position.longitude;
    if (!built) {
      EXPECT_EQ(WEXITSTATUS(status), 1) << where;
      continue;
    }
    SimReading from;
    from.latitude = std::stod(position.latitude);
    from.longitude = std::stod(position.longitude);
    std::vector<StationRow> rows = StationRows(table.records.get(), table.count, from);
    SortRows(rows);
    std::string expected;
    for (const StationRow& row : rows) expected += FormatStationLine(row) + "\n";
    EXPECT_EQ(status, 0) << where;
    EXPECT_EQ(out, expected) << where;
  }
}

TEST(StationsNear, SamplesGiveTheDialogsLines) {
  const fs::path samples = fs::path(HV_SOURCE_DIR) / "samples/networks";
  expectDialogLines({"vatsim", samples / "vatsim-data.txt", {}});
  expectDialogLines({"ivao", samples / "ivao-whazzup.txt", samples / "ivao-voice.txt"});
}

TEST(StationsNear, RealFilesGiveTheDialogsLines) {
  const fs::path real = fs::path(HV_SHARED_DATA_DIR) / "networks";
  if (!fs::is_directory(real)) GTEST_SKIP() << real << " is absent";
  // The real IVAO clients files come without their voice files: the bundled one names
  // voice servers for a few of their controllers at most, so their lists are short.
  const fs::path ivaoVoice = fs::path(HV_SOURCE_DIR) / "samples/networks/ivao-voice.txt";
  int files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(real)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("vatsim-data-", 0) == 0) {
      expectDialogLines({"vatsim", entry.path(), {}});
    } else if (name.rfind("whazzup-", 0) == 0) {
      expectDialogLines({"ivao", entry.path(), ivaoVoice});
    } else {
      continue;
    }
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace hv
