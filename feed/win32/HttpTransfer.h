// One download's WinInet calls, made on whichever thread runs them (a transfer thread of
// its own, see StatusDownloader.h): open the URL in steps, read the body piece by piece, and
// report progress and the outcome into the Transfer record that the downloading thread
// waits on.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "common/win32/CriticalSection.h"
#include "common/win32/ScopedWin.h"
#include "feed/portable/DownloadStatus.h"
#include "feed/win32/DownloadClient.h"

namespace hv {

// One download on its transfer thread.
struct Transfer {
  std::shared_ptr<DownloadClient> client;
  std::string url;
  DWORD flags = 0;
  std::atomic<DWORD> thread{0};  // the thread that makes the calls; progress from others is not the transfer's

  // Written by the transfer thread before `done` is set, read by the waiting thread after.
  bool ok = false;
  std::string body;

  // Set, and never reset, once `done` or `aborted` is: the waiting thread waits for it.
  ScopedKernelHandle ended{CreateEventA(nullptr, TRUE, FALSE, nullptr)};

  CriticalSection mutex;  // guards what follows
  std::string statusText;
  bool done = false;       // the transfer has ended
  bool aborted = false;    // an abort ended the wait
  bool abandoned = false;  // the waiting thread has returned: report nothing more
};

// The progress callback that Download installs on the client's session.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR, DWORD code, LPVOID info, DWORD infoLength);

// The system's words for an error code of WinInet or of the system.
std::string SystemErrorText(DWORD code);

// The client's own time-outs, for the session and each connection and request.
void SetTimeouts(HINTERNET handle);

// Runs the transfer's calls on the calling thread, with its progress reported to it,
// until `done` is set.
void RunTransfer(Transfer& transfer);

}  // namespace hv
