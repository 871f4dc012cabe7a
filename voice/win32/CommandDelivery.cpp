// Routes each command text by the module's remote setting, which is fixed once start-up
// has run. Neither route reports back: selection goes on as if the text had arrived.
#include "voice/win32/CommandDelivery.h"

#include <windows.h>

#include <string>

#include "common/win32/LogWriter.h"
#include "common/win32/RogerWilco.h"
#include "module/win32/Lifecycle.h"
#include "voice/win32/RemoteSender.h"

namespace hv {

void deliverCommandText(const ModuleState& state, const char* text) {
  const std::string quoted = std::string("\"") + text + "\"";
  if (state.remoteMode.load() != 0) {
    if (SendRemoteCommand(state.remoteAddress, text))
      logLine("command " + quoted + " sent to " + state.remoteAddress);
    else
      logLine("command " + quoted + " could not be sent to " + state.remoteAddress);
  } else if (StartRogerWilco(state.rogerWilcoPath, text)) {
    logLine("RogerWilco started with " + quoted);
  } else {
    logLine("RogerWilco could not be started with " + quoted + ": error " + std::to_string(GetLastError()));
  }
}

void deliverVoiceCommand(const char* text) { deliverCommandText(moduleState(), text); }

}  // namespace hv
