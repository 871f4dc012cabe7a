// The VATSIM and IVAO feed threads and their two kinds of pass; see FeedThreads.h.
#include "feed/win32/FeedThreads.h"

#include <windows.h>

#include <chrono>
#include <string>
#include <string_view>

#include "common/win32/LogWriter.h"
#include "feed/portable/NetworkText.h"
#include "feed/portable/StationTableBuilder.h"
#include "feed/win32/StatusDownloader.h"
#include "module/win32/Lifecycle.h"

namespace hv {

namespace {

const Flag& StopFlag(Network network) {
  ModuleState& state = moduleState();
  return network == Vatsim ? state.vatsimFeedStop : state.ivaoFeedStop;
}

// Each feed's downloads can be ended from the unloading thread.
DownloadAbort& AbortOf(Network network) {
  static DownloadAbort vatsim(moduleState().vatsimFeedStop);
  static DownloadAbort ivao(moduleState().ivaoFeedStop);
  return network == Vatsim ? vatsim : ivao;
}

// One pass each, on the calling thread. FetchStatusFile: true when the data URL(s) were
// taken from the status file (rootFetched is then set). FetchStationData: true when the
// network's table was replaced. A failed download stores its error text as the network's
// lastError.
bool FetchStatusFile(Network network);
bool FetchStationData(Network network);

void RunFeed(Network network) {
  ModuleState& state = moduleState();
  NetworkFeed& feed = state.feeds[network];
  const Flag& stop = StopFlag(network);
  const FeedTiming timing;
  feed.loaded = 0;
  for (;;) {
    std::chrono::milliseconds pause = timing.idlePause;
    if (!FeedsIdle(state)) {
      if (feed.rootFetched.load() == 0) FetchStatusFile(network);
      if (feed.rootFetched.load() != 0 && FetchStationData(network)) feed.loaded = 1;
      PublishLoaded(state, network);
      feed.attempted = 1;
      pause = PauseAfterPass(feed, timing);
    }
    if (sleepUnlessStopped(pause, stop)) return;
  }
}

// ", the table of 65 s ago stays in use" while the feed has one (only this thread installs it).
std::string TableInUseNote(const NetworkFeed& feed) {
  if (!feed.table.records) return ", no table yet";
  const auto age = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - feed.installedAt);
  return ", the table of " + std::to_string(age.count()) + " s ago stays in use";
}

// One download with the feed's own downloader; a failure leaves its text as the
// network's last error.
bool DownloadOrRecordError(StatusDownloader& downloader, Network network, const std::string& url, std::string& text) {
  const DWORD started = GetTickCount();
  if (downloader.Download(url, text)) {
    logLine(std::string(NetworkName(network)) + ": downloaded " + url + ", " + std::to_string(text.size()) +
            " bytes in " + std::to_string(GetTickCount() - started) + " ms");
    return true;
  }
  logLine(std::string(NetworkName(network)) + ": download of " + url + " failed: " + downloader.statusText() +
          TableInUseNote(moduleState().feeds[network]));
  SetFeedError(moduleState(), network, downloader.statusText());
  return false;
}

int StationsWithVoice(const StationTable& table) {
  int count = 0;
  for (std::int32_t i = 0; i < table.count; ++i)
    if (table.records[i].voiceChannel[0] != '\0') ++count;
  return count;
}

bool FetchStatusFile(Network network) {
  ModuleState& state = moduleState();
  NetworkFeed& feed = state.feeds[network];
  StatusDownloader downloader(&AbortOf(network));
  downloader.reload = true;
  std::string text;
  if (!DownloadOrRecordError(downloader, network, feed.statusUrl, text)) return false;
  // The URLs are kept as the file gives them, even past 255 characters: a cut URL would
  // name another file.
  std::string dataUrl;
  if (!FindKey(text, nullptr, "url0", dataUrl)) {
    logLine(std::string(NetworkName(network)) + ": the status file names no url0");
    return false;
  }
  feed.dataUrl = dataUrl;
  if (network == Ivao) {
    std::string voiceUrl;
    if (!FindKey(text, nullptr, "url1", voiceUrl)) {
      logLine("IVAO: the status file names no url1");
      return false;
    }
    feed.voiceUrl = voiceUrl;
  }
  feed.rootFetched = 1;
  return true;
}

bool FetchStationData(Network network) {
  ModuleState& state = moduleState();
  NetworkFeed& feed = state.feeds[network];
  StatusDownloader downloader(&AbortOf(network));
  downloader.reload = true;
  std::string clients;
  if (!DownloadOrRecordError(downloader, network, feed.dataUrl, clients)) return false;
  std::string voice;
  if (network == Ivao) {
    downloader.Close();
    if (!DownloadOrRecordError(downloader, network, feed.voiceUrl, voice)) return false;
  }
  StationTable table;
  std::string_view voiceText(voice);
  if (!BuildStationTable(clients, network == Ivao ? &voiceText : nullptr, table)) {
    logLine(std::string(NetworkName(network)) + ": no station table in " + feed.dataUrl + TableInUseNote(feed));
    return false;
  }
  logLine(std::string(NetworkName(network)) + ": table installed, " + std::to_string(table.count) + " stations, " +
          std::to_string(StationsWithVoice(table)) + " with a voice channel");
  StationTable old = InstallStationTable(state, network, std::move(table));
  return true;  // `old` is released here, after the lock
}

}  // namespace

void VatsimFeedThread() { RunFeed(Vatsim); }
void IvaoFeedThread() { RunFeed(Ivao); }

void abortFeedDownloads() {
  AbortOf(Vatsim).abort();
  AbortOf(Ivao).abort();
}

}  // namespace hv
