// Finding and starting the voice program on this computer; both deliverables use it.
#pragma once

#include <string>

namespace hv {

// The registry key whose default value names the voice program.
constexpr char kRogerWilcoAppPathKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\roger.exe";

// The default value of the App Paths key under HKEY_LOCAL_MACHINE, at most 255 bytes;
// empty when the key or the value is missing.
std::string readRogerWilcoPath();

// Starts the voice program without waiting for it. Its command line is the path, one
// blank and the command text, neither quoted, so the text is argument 1. The window
// that was active for the calling thread is brought back to the foreground afterwards.
// Returns false when the process could not be started; GetLastError() then tells why.
bool StartRogerWilco(const std::string& programPath, const std::string& commandText);

}  // namespace hv
