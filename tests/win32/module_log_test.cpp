// Hallvoxen.log written by the real module under Wine: a line per change of the decision
// and none while nothing changes, the feeds' downloads and failures, rotation at 1 MiB,
// a log that cannot be written, and unload with a full queue.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModuleHost.h"
#include "tests/support/ModuleThreadsProbe.h"
#include "tests/support/SubstituteSimulator.h"
#include "tests/support/WinTestSupport.h"

namespace {

using namespace std::chrono_literals;
using hvtest::waitUntil;
using SetMode = std::uint32_t __stdcall(std::uint32_t);
using GetStatus = std::uint32_t __stdcall(void*);
using GetServer = std::uint32_t __stdcall();
using SelectServer = std::uint32_t __stdcall(std::uint32_t);

constexpr std::uint32_t kNoStation = 1, kJoined = 2, kOutOfRange = 4;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// The module with its simulator window and RogerWilco; VATSIM serves the sample data,
// IVAO's status server refuses every connection.
struct Rig {
  hvtest::SimInstallation install;
  hvtest::LoopbackHttpServer http;
  hvtest::ModuleHost host;
  hvtest::SubstituteSimulator sim;

  explicit Rig(const std::string& extraGeneral = "") {
    install.installRogerWilco();
    http.addFile("/vatsim/status.txt", "url0=" + http.url("/vatsim/data.txt") + "\r\n");
    http.addFile("/vatsim/data.txt",
                 hvtest::readFile(hvtest::windowsPath(HV_SOURCE_DIR "/samples/networks/vatsim-data.txt")));
    http.addFile("/ivao/status.txt", "");
    http.setBehaviour("/ivao/status.txt", hvtest::HttpBehaviour::Refuse);
    install.writeIni("[GENERAL]\r\n" + extraGeneral + "[NETWORK]\r\nVatsimStatusUrl=" +
                     http.url("/vatsim/status.txt") + "\r\nIvaoStatusUrl=" + http.url("/ivao/status.txt") + "\r\n");
    sim.setCom1(12280);
    sim.setPosition(50.05, 8.585);
  }
  std::string logPath() const { return install.simFolder() + "\\Modules\\Hallvoxen.log"; }
  std::vector<std::string> log() const { return linesOf(hvtest::readFile(logPath())); }
  // Lines of the log that contain `part`.
  std::vector<std::string> logLines(const std::string& part) const {
    std::vector<std::string> found;
    for (const auto& line : log())
      if (line.find(part) != std::string::npos) found.push_back(line);
    return found;
  }
  bool logShows(const std::string& part, std::chrono::milliseconds within = 5s) const {
    if (waitUntil([&] { return !logLines(part).empty(); }, within)) return true;
    std::string tail;
    const auto lines = log();
    for (std::size_t i = lines.size() > 12 ? lines.size() - 12 : 0; i < lines.size(); ++i) tail += lines[i] + "\n";
    ADD_FAILURE() << "the log shows no \"" << part << "\"; it ends with:\n" << tail;
    return false;
  }

  void start() {
    ASSERT_TRUE(sim.createOn(host));
    ASSERT_TRUE(host.load(hvtest::binPath("Hallvoxen.dll")));
    ASSERT_TRUE(host.initialise().wait(10s));
  }
  std::uint32_t status() {
    unsigned char record[192];
    return host.exported<GetStatus>("HALLVOXEN_Get_Status")(record);
  }
  // Waits for the worker to show `expected` for the simulator's present state.
  bool reaches(std::uint32_t expected) {
    return waitUntil([&] { return status() == expected; }, 5s);
  }
};

TEST(ModuleLog, AFlightLeavesOneLinePerChangeOfTheDecisionAndNoneWhileNothingChanges) {
  Rig rig;
  rig.start();
  ASSERT_TRUE(rig.logShows("decision: control off"));
  rig.host.exported<SetMode>("HALLVOXEN_Set_Mode")(1);
  ASSERT_TRUE(rig.logShows("HALLVOXEN_Set_Mode(1) = "));
  ASSERT_TRUE(rig.reaches(kNoStation));
  ASSERT_TRUE(rig.logShows("VATSIM: table installed, "));

  struct Step {
    const char* what;
    std::uint16_t com1;
    double latitude, longitude;
    std::uint32_t status;
    const char* decision;  // what the new decision line says
  };
  const Step flight[] = {
      {"tune Frankfurt Tower", 11990, 50.05, 8.585, kJoined, "EDDF_TWR on 119.90 at "},
      {"tune away", 12280, 50.05, 8.585, kNoStation, "no station on 122.80; status no station"},
      {"tune Vienna's silent controller", 13260, 50.05, 8.585, kNoStation,
       "only stations without a voice channel on 132.60 (1)"},
      {"tune Langen Radar", 12472, 50.05, 8.585, kJoined, "EDGG_CTR on 124.72 at "},
      {"fly past Paris", 12472, 49.0, 1.5, kOutOfRange, "out of range on 124.72, nearest EDGG_CTR at "},
  };
  for (const Step& step : flight) {
    rig.sim.setCom1(step.com1);
    rig.sim.setPosition(step.latitude, step.longitude);
    ASSERT_TRUE(rig.reaches(step.status)) << step.what;
    EXPECT_TRUE(rig.logShows(step.decision)) << step.what;
  }
  EXPECT_TRUE(rig.logShows("RogerWilco started with \"/join1 RW.ATCVOICE.EXAMPLE/EDDF_TWR\""));
  EXPECT_TRUE(rig.logShows("RogerWilco started with \"/leave\""));
  EXPECT_TRUE(rig.logShows("is beyond its range of 300; status out of range"));

  // Flying on within the same decision writes nothing.
  const std::size_t decisions = rig.logLines("decision: ").size();
  rig.sim.setPosition(48.9, 1.4);
  Sleep(2000);
  EXPECT_EQ(rig.logLines("decision: ").size(), decisions) << "a moving aircraft is no new decision";

  // IVAO never loaded: its failure is logged with the error, and selection waits for it.
  rig.host.exported<SelectServer>("HALLVOXEN_Select_Server")(1);
  EXPECT_TRUE(rig.logShows("IVAO table not loaded: no table yet; status "));
  const auto failures = rig.logLines("IVAO: download of " + rig.http.url("/ivao/status.txt") + " failed: ");
  ASSERT_FALSE(failures.empty());
  EXPECT_NE(failures[0].find(", no table yet"), std::string::npos) << failures[0];

  // Every decision line differs from the one before it once the position is left out.
  const auto lines = rig.logLines("decision: ");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    auto withoutPosition = [](const std::string& line) {
      const auto at = line.find(", position ");
      const auto table = line.find(" table ");
      const auto colon = line.find(": ", table);
      return at == std::string::npos ? line.substr(24) : line.substr(24, at - 24) + line.substr(colon);
    };
    EXPECT_NE(withoutPosition(lines[i]), withoutPosition(lines[i - 1])) << lines[i];
  }
  rig.host.deinitialise();
  EXPECT_TRUE(rig.logShows("shut down in "));
}

TEST(ModuleLog, RotatesAtOneMebibyteKeepingOneOlderFile) {
  Rig rig;
  const std::string filler(1024 * 1024 - 100, 'x');
  hvtest::writeFile(rig.logPath(), filler);
  hvtest::writeFile(rig.logPath() + ".1", "the generation before");
  rig.start();
  ASSERT_TRUE(rig.logShows("decision: control off"));
  EXPECT_EQ(hvtest::readFile(rig.logPath() + ".1"), filler) << "the full file became the older one";
  EXPECT_EQ(rig.log().front().find("Hallvoxen "), 24u) << "the new file starts with the start-up line";
  rig.host.deinitialise();
}

TEST(ModuleLog, ALogThatCannotBeWrittenOrIsOffChangesNothingElse) {
  for (const bool off : {false, true}) {
    SCOPED_TRACE(off ? "Log=OFF" : "the log's path is a folder");
    Rig rig(off ? "Log=off\r\n" : "");
    if (!off) {
      std::filesystem::create_directories(std::filesystem::u8path(rig.logPath()));
    }
    rig.start();
    EXPECT_FALSE(hvtest::messageBoxShowing(hvtest::kErrorCaption));
    rig.host.exported<SetMode>("HALLVOXEN_Set_Mode")(1);
    rig.sim.setCom1(11990);
    ASSERT_TRUE(rig.reaches(kJoined));
    EXPECT_EQ(rig.install.waitForRogerWilcoStarts(1).size(), 1u);
    EXPECT_LT(rig.host.deinitialise(), 200ms);
    EXPECT_EQ(std::filesystem::is_directory(std::filesystem::u8path(rig.logPath())), !off);
    if (off) {
      EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(rig.logPath())));
    }
  }
}

TEST(ModuleLog, UnloadWithAFullQueueStaysQuickAndReportsTheDroppedLines) {
  Rig rig;
  rig.start();
  std::chrono::milliseconds took{-1};
  ASSERT_TRUE(rig.logShows("decision: control off"));
  rig.host.run([&] {
    // With the module's threads held still, the writer cannot empty the queue.
    const int held = hvtest::suspendThreadsStartedBy(rig.host.module(), true);
    auto getServer = rig.host.exported<GetServer>("HALLVOXEN_Get_Server");
    for (int i = 0; i < 20000; ++i) getServer();  // a line each, far more than the queue holds
    EXPECT_EQ(hvtest::suspendThreadsStartedBy(rig.host.module(), false), held);
    took = rig.host.deinitialise();
  });
  EXPECT_LT(took, 200ms);
  EXPECT_TRUE(rig.logShows("lines dropped: the log could not keep up"));
  EXPECT_TRUE(rig.logShows("shut down in "));
}

}  // namespace
