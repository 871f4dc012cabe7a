// The VATSIM and IVAO feed threads and their two kinds of pass; see FeedThreads.h.
#include "feed/win32/FeedThreads.h"

#include <windows.h>

#include <chrono>
#include <string>
#include <string_view>

#include "common/win32/LogWriter.h"
#include "feed/portable/NetworkText.h"
#include "feed/portable/StationTableBuilder.h"

namespace hv {

namespace {

// What one feed thread works with.
struct Feed {
  ModuleState& state;
  Network network;
  DownloadAbort& downloads;
  LogWriter& log;

  NetworkFeed& Data() const { return state.feeds[network]; }
  const Flag& StopFlag() const { return network == Vatsim ? state.vatsimFeedStop : state.ivaoFeedStop; }
  void Note(const std::string& text) const { log.write(std::string(networkName(network)) + ": " + text); }
};

// One pass each, on the calling thread. FetchStatusFile: true when the data URL(s) were
// taken from the status file (rootFetched is then set). FetchStationData: true when the
// network's table was replaced. A failed download stores its error text as the network's
// lastError.
bool FetchStatusFile(const Feed& feed);
bool FetchStationData(const Feed& feed);

void RunFeed(const Feed& feed) {
  NetworkFeed& data = feed.Data();
  const FeedTiming timing;
  data.loaded = 0;
  for (;;) {
    std::chrono::milliseconds pause = timing.idlePause;
    if (!FeedsIdle(feed.state)) {
      if (data.rootFetched.load() == 0) FetchStatusFile(feed);
      if (data.rootFetched.load() != 0 && FetchStationData(feed)) data.loaded = 1;
      PublishLoaded(feed.state, feed.network);
      data.attempted = 1;
      pause = PauseAfterPass(data, timing);
    }
    if (sleepUnlessStopped(pause, feed.StopFlag())) return;
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
bool DownloadOrRecordError(const Feed& feed, StatusDownloader& downloader, const std::string& url, std::string& text) {
  const DWORD started = GetTickCount();
  if (downloader.Download(url, text)) {
    feed.Note("downloaded " + url + ", " + std::to_string(text.size()) + " bytes in " +
              std::to_string(GetTickCount() - started) + " ms");
    return true;
  }
  feed.Note("download of " + url + " failed: " + downloader.statusText() + TableInUseNote(feed.Data()));
  SetFeedError(feed.state, feed.network, downloader.statusText());
  return false;
}

int StationsWithVoice(const StationTable& table) {
  int count = 0;
  for (std::int32_t i = 0; i < table.count; ++i)
    if (table.records[i].voiceChannel[0] != '\0') ++count;
  return count;
}

bool FetchStatusFile(const Feed& feed) {
  NetworkFeed& data = feed.Data();
  StatusDownloader downloader(&feed.downloads);
  downloader.reload = true;
  std::string text;
  if (!DownloadOrRecordError(feed, downloader, data.statusUrl, text)) return false;
  // The URLs are kept as the file gives them, even past 255 characters: a cut URL would
  // name another file.
  std::string dataUrl;
  if (!FindKey(text, nullptr, "url0", dataUrl)) {
    feed.Note("the status file names no url0");
    return false;
  }
  data.dataUrl = dataUrl;
  if (feed.network == Ivao) {
    std::string voiceUrl;
    if (!FindKey(text, nullptr, "url1", voiceUrl)) {
      feed.Note("the status file names no url1");
      return false;
    }
    data.voiceUrl = voiceUrl;
  }
  data.rootFetched = 1;
  return true;
}

bool FetchStationData(const Feed& feed) {
  NetworkFeed& data = feed.Data();
  StatusDownloader downloader(&feed.downloads);
  downloader.reload = true;
  std::string clients;
  if (!DownloadOrRecordError(feed, downloader, data.dataUrl, clients)) return false;
  std::string voice;
  if (feed.network == Ivao) {
    downloader.Close();
    if (!DownloadOrRecordError(feed, downloader, data.voiceUrl, voice)) return false;
  }
  StationTable table;
  std::string_view voiceText(voice);
  if (!BuildStationTable(clients, feed.network == Ivao ? &voiceText : nullptr, table)) {
    feed.Note("no station table in " + data.dataUrl + TableInUseNote(data));
    return false;
  }
  feed.Note("table installed, " + std::to_string(table.count) + " stations, " +
            std::to_string(StationsWithVoice(table)) + " with a voice channel");
  StationTable old = InstallStationTable(feed.state, feed.network, std::move(table));
  return true;  // `old` is released here, after the lock
}

}  // namespace

void VatsimFeedThread(ModuleState& state, DownloadAbort& downloads, LogWriter& log) {
  RunFeed(Feed{state, Vatsim, downloads, log});
}

void IvaoFeedThread(ModuleState& state, DownloadAbort& downloads, LogWriter& log) {
  RunFeed(Feed{state, Ivao, downloads, log});
}

}  // namespace hv
