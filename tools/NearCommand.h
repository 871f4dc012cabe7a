// hallvoxen-stations near: the settings dialog's station list for a position given on the
// command line, and optionally what station selection would do on a frequency there.
#pragma once

namespace hv {

// `args` are the arguments after "near": vatsim|ivao LAT LON [--freq MHZ] [--no-range]
// FILES, the options anywhere after the network. Prints the list lines, nearest first,
// and with --freq a last line "selection: " and the reason. Returns the exit code: 0,
// 1 for a file that yields no table, 2 for bad arguments (after the reason and `usage`)
// or a file that cannot be read.
int RunNear(int count, char** args, const char* usage);

// "118.10" (or "118.1", "118.100", "118") as 11810, or 0 when the text is not a COM1
// frequency from 100.00 to 199.99 MHz with at most two decimals that are not zero.
unsigned ParseComFrequency(const char* text);

// Degrees written as [+|-]digits[.digits]; false for anything else or a value beyond
// `limit` either way.
bool ParseDegrees(const char* text, double limit, double& degrees);

}  // namespace hv
