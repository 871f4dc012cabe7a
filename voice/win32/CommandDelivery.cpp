// Routes each command text by the module's remote setting, which is fixed once start-up
// has run. Neither route reports back: selection goes on as if the text had arrived.
#include "voice/win32/CommandDelivery.h"

#include <windows.h>

#include <string>

#include "common/win32/RogerWilco.h"
#include "voice/win32/RemoteSender.h"

namespace hv {

void deliverCommandText(const ModuleState& state, LogWriter& log, const char* text) {
  const std::string quoted = std::string("\"") + text + "\"";
  if (state.remoteMode.load() != 0) {
    if (SendRemoteCommand(state.remoteAddress, text))
      log.write("command " + quoted + " sent to " + state.remoteAddress);
    else
      log.write("command " + quoted + " could not be sent to " + state.remoteAddress);
  } else if (StartRogerWilco(state.rogerWilcoPath, text)) {
    log.write("RogerWilco started with " + quoted);
  } else {
    log.write("RogerWilco could not be started with " + quoted + ": error " + std::to_string(GetLastError()));
  }
}

}  // namespace hv
