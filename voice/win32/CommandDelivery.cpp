// Routes each command text by the module's remote setting, which is fixed once start-up
// has run. Neither route reports back: selection goes on as if the text had arrived.
#include "voice/win32/CommandDelivery.h"

#include "common/win32/RogerWilco.h"
#include "module/win32/Lifecycle.h"
#include "voice/win32/RemoteSender.h"

namespace hv {

void deliverCommandText(const ModuleState& state, const char* text) {
  if (state.remoteMode.load() != 0)
    SendRemoteCommand(state.remoteAddress, text);
  else
    StartRogerWilco(state.rogerWilcoPath, text);
}

void deliverVoiceCommand(const char* text) { deliverCommandText(moduleState(), text); }

}  // namespace hv
