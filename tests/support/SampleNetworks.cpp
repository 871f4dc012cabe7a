#include "tests/support/SampleNetworks.h"

#include <regex>

#include "tests/support/WinTestSupport.h"

namespace hvtest {

namespace {

// A "url0" or "url1" line: its key, then the value's scheme and host, then its path.
const std::regex kDataUrl("^(url[01])[ \\t]*=[ \\t]*[a-z]+://[^/\\r\\n]*([^\\r\\n]*)", std::regex::multiline);

// Points the status file's data URLs at serverRoot; the first url0 and url1 paths go to
// the two paths.
std::string pointDataUrlsAt(const std::string& status, const std::string& serverRoot, std::string& url0Path,
                            std::string& url1Path) {
  for (std::sregex_iterator url(status.begin(), status.end(), kDataUrl), end; url != end; ++url) {
    std::string& path = (*url)[1] == "url0" ? url0Path : url1Path;
    if (path.empty()) path = (*url)[2].length() > 0 ? (*url)[2].str() : "/";
  }
  return std::regex_replace(status, kDataUrl, "$1=" + serverRoot + "$2");
}

}  // namespace

bool serveSampleNetworks(LoopbackHttpServer& http, const std::string& samplesFolder, ServedNetworks& served,
                         std::string& error) {
  std::string text[5];
  const char* names[5] = {"vatsim-status.txt", "vatsim-data.txt", "ivao-status.txt", "ivao-whazzup.txt",
                          "ivao-voice.txt"};
  for (int i = 0; i < 5; ++i)
    if ((text[i] = readFile(samplesFolder + "\\" + names[i])).empty())
      return error = "cannot read the sample file " + samplesFolder + "\\" + names[i], false;

  std::string unusedUrl1;
  http.addFile("/data/status.txt", pointDataUrlsAt(text[0], http.url(""), served.vatsimDataPath, unusedUrl1));
  http.addFile("/whazzup/status.txt",
               pointDataUrlsAt(text[2], http.url(""), served.ivaoClientsPath, served.ivaoVoicePath));
  if (served.vatsimDataPath.empty()) error = "vatsim-status.txt names no data file (url0)";
  if (served.ivaoClientsPath.empty() || served.ivaoVoicePath.empty())
    error = "ivao-status.txt names no clients file (url0) or no voice file (url1)";
  if (!error.empty()) return false;

  http.addFile(served.vatsimDataPath, text[1]);
  http.addFile(served.ivaoClientsPath, text[3]);
  http.addFile(served.ivaoVoicePath, text[4]);
  served.vatsimStatusUrl = http.url("/data/status.txt");
  served.ivaoStatusUrl = http.url("/whazzup/status.txt");
  return true;
}

}  // namespace hvtest
