// The bundled sample network files, served by the loopback HTTP server the way the two
// networks' status servers serve theirs: a status file per network at its usual path,
// whose "url0" (and for IVAO "url1") lines name the data files on the same server.
//
// The sample status files name made-up hosts. Each "url0"/"url1" value keeps its path and
// gets the loopback server's address in place of its host, so the files the module is
// pointed at are the samples as written, apart from those host names.
#pragma once

#include <string>

#include "tests/support/LoopbackHttpServer.h"

namespace hvdemo {

// The status file text with every "url0" and "url1" value pointed at serverRoot (e.g.
// "http://127.0.0.1:8080"), keeping each value's path and the file's line ends. The path
// of the first url0 and url1 value goes to url0Path / url1Path (empty when there is none).
std::string pointDataUrlsAt(const std::string& statusText, const std::string& serverRoot,
                            std::string& url0Path, std::string& url1Path);

struct ServedNetworks {
  std::string vatsimStatusUrl;  // for Hallvoxen.ini [NETWORK] VatsimStatusUrl
  std::string ivaoStatusUrl;    // for Hallvoxen.ini [NETWORK] IvaoStatusUrl
  std::string vatsimDataPath;   // the paths the status files name
  std::string ivaoClientsPath;
  std::string ivaoVoicePath;
};

// Puts the five sample files of samplesFolder (a Windows path) on the server. False with a
// reason in error when a file is missing or a status file names no data file.
bool serveSampleNetworks(hvtest::LoopbackHttpServer& http, const std::string& samplesFolder,
                         ServedNetworks& served, std::string& error);

}  // namespace hvdemo
