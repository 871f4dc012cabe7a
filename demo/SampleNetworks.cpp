// Serving the sample network files for the demo.
#include "demo/SampleNetworks.h"

#include "tests/support/WinTestSupport.h"

namespace hvdemo {

namespace {

// "http://host:port/a/b.txt" -> "/a/b.txt"; a value without a path gives "/".
std::string urlPath(const std::string& url) {
  size_t scheme = url.find("://");
  size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
  size_t slash = url.find('/', hostStart);
  return slash == std::string::npos ? "/" : url.substr(slash);
}

std::string keyOf(const std::string& line) {
  size_t equals = line.find('=');
  if (equals == std::string::npos) return {};
  std::string key = line.substr(0, equals);
  while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
  return key;
}

}  // namespace

std::string pointDataUrlsAt(const std::string& statusText, const std::string& serverRoot,
                            std::string& url0Path, std::string& url1Path) {
  url0Path.clear();
  url1Path.clear();
  std::string out;
  size_t at = 0;
  while (at < statusText.size()) {
    size_t end = statusText.find_first_of("\r\n", at);
    if (end == std::string::npos) end = statusText.size();
    size_t next = statusText.find_first_not_of("\r\n", end);
    if (next == std::string::npos) next = statusText.size();
    std::string line = statusText.substr(at, end - at);
    const std::string lineEnd = statusText.substr(end, next - end);

    const std::string key = keyOf(line);
    if (key == "url0" || key == "url1") {
      size_t valueStart = line.find_first_not_of(" \t", line.find('=') + 1);
      std::string value = valueStart == std::string::npos ? std::string() : line.substr(valueStart);
      std::string path = urlPath(value);
      std::string& first = key == "url0" ? url0Path : url1Path;
      if (first.empty()) first = path;
      line = key + "=" + serverRoot + path;
    }
    out += line + lineEnd;
    at = next;
  }
  return out;
}

bool serveSampleNetworks(hvtest::LoopbackHttpServer& http, const std::string& samplesFolder,
                         ServedNetworks& served, std::string& error) {
  auto sample = [&](const char* name, std::string& text) {
    text = hvtest::readFile(samplesFolder + "\\" + name);
    if (text.empty()) error = "cannot read the sample file " + samplesFolder + "\\" + name;
    return !text.empty();
  };
  std::string vatsimStatus, vatsimData, ivaoStatus, ivaoClients, ivaoVoice;
  if (!sample("vatsim-status.txt", vatsimStatus) || !sample("vatsim-data.txt", vatsimData) ||
      !sample("ivao-status.txt", ivaoStatus) || !sample("ivao-whazzup.txt", ivaoClients) ||
      !sample("ivao-voice.txt", ivaoVoice))
    return false;

  const std::string root = http.url("");
  std::string unusedUrl1;
  vatsimStatus = pointDataUrlsAt(vatsimStatus, root, served.vatsimDataPath, unusedUrl1);
  ivaoStatus = pointDataUrlsAt(ivaoStatus, root, served.ivaoClientsPath, served.ivaoVoicePath);
  if (served.vatsimDataPath.empty()) error = "vatsim-status.txt names no data file (url0)";
  if (served.ivaoClientsPath.empty() || served.ivaoVoicePath.empty())
    error = "ivao-status.txt names no clients file (url0) or no voice file (url1)";
  if (!error.empty()) return false;

  http.addFile("/data/status.txt", vatsimStatus);
  http.addFile(served.vatsimDataPath, vatsimData);
  http.addFile("/whazzup/status.txt", ivaoStatus);
  http.addFile(served.ivaoClientsPath, ivaoClients);
  http.addFile(served.ivaoVoicePath, ivaoVoice);
  served.vatsimStatusUrl = http.url("/data/status.txt");
  served.ivaoStatusUrl = http.url("/whazzup/status.txt");
  return true;
}

}  // namespace hvdemo
