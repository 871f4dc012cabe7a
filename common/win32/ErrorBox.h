// The stop box without owner window in which both programs report what the user must fix.
#pragma once

namespace hv {

// Shows the message captioned "Hallvoxen Error" and waits for OK.
void showErrorBox(const char* message);

}  // namespace hv
