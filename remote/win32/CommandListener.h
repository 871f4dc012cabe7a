// The tray program's working half: finding the voice program at start, and the thread
// that listens on UDP port 2464 and starts the voice program with every command text.
#pragma once

#include "common/portable/ErrorMessages.h"
#include "remote/win32/Pelkorin.h"

namespace hv {

// Reads the voice program's path from its App Paths key into pelkorin.rogerWilcoPath.
// True when the key opened and the path is not empty (the file itself is not looked
// at); otherwise shows the not-found message and returns false.
bool FindRogerWilco(PelkorinState& pelkorin);

// The body of the listener thread; its parameter is the PelkorinState. Error messages are
// shown from this thread, which then ends; the program goes on without contact.
unsigned __stdcall CommandListener(void* pelkorinState);

}  // namespace hv
