// Delivery of the voice program's command texts: started on this computer, or sent as a
// datagram to the tray program on the computer that runs the voice program.
#pragma once

#include "common/win32/LogWriter.h"
#include "records/portable/ModuleState.h"

namespace hv {

// Remote mode: one datagram to remoteAddress; otherwise the voice program at
// rogerWilcoPath is started with the text as its argument. The outcome goes to the log;
// selection is not told.
void deliverCommandText(const ModuleState& state, LogWriter& log, const char* text);

}  // namespace hv
