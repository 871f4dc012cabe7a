// The bundled sample network files on the loopback HTTP server, the way the networks'
// status servers serve theirs: a status file per network at its usual path, whose "url0"
// (and for IVAO "url1") values name the data files on the same server. Each such value
// keeps its path and gets this server's address in place of its made-up host, so the
// module reads the samples as written, apart from those host names.
#pragma once

#include <string>

#include "tests/support/LoopbackHttpServer.h"

namespace hvtest {

struct ServedNetworks {
  std::string vatsimStatusUrl;  // for Hallvoxen.ini [NETWORK] VatsimStatusUrl
  std::string ivaoStatusUrl;    // for Hallvoxen.ini [NETWORK] IvaoStatusUrl
  std::string vatsimDataPath;   // the paths the status files name
  std::string ivaoClientsPath;
  std::string ivaoVoicePath;
};

// Puts the five sample files of samplesFolder (a Windows path) on the server. False with a
// reason in error when a file is missing or a status file names no data file.
bool serveSampleNetworks(LoopbackHttpServer& http, const std::string& samplesFolder, ServedNetworks& served,
                         std::string& error);

}  // namespace hvtest
