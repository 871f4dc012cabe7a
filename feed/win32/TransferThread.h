// A download's transfer thread. A blocking WinInet call cannot always be cut short by
// closing its handles (under Wine a stalled receive runs on until its time-out), so the
// calls run on a short-lived thread of their own while the downloading thread waits for
// the transfer's event; an abort or the time limit lets the waiting thread return at
// once. A thread left behind keeps the module loaded until its call returns, then ends.
#pragma once

#include <memory>

#include "feed/win32/HttpTransfer.h"

namespace hv {

// Starts RunTransfer(*transfer) on a new thread. False when no thread could be started.
bool StartTransferThread(const std::shared_ptr<Transfer>& transfer);

}  // namespace hv
