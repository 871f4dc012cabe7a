// Delivery of the voice program's command texts: started on this computer, or sent as a
// datagram to the tray program on the computer that runs the voice program.
#pragma once

#include "records/portable/ModuleState.h"

namespace hv {

// Remote mode: one datagram to remoteAddress; otherwise the voice program at
// rogerWilcoPath is started with the text as its argument. The outcome goes to the log;
// selection is not told.
void deliverCommandText(const ModuleState& state, const char* text);

// The same for the module's own state; start-up installs it as state.deliverCommand.
void deliverVoiceCommand(const char* text);

}  // namespace hv
