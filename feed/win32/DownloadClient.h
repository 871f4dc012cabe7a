// The WinInet handles of one download client, shared by the downloading thread, its
// transfer thread and an abort from a third thread. Whoever closes a handle takes it out
// of the client first, under its lock, so no handle is closed twice; once `closed` is
// set no new call is started on them.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "common/win32/CriticalSection.h"
#include "common/win32/ScopedWin.h"

namespace hv {

using ScopedInternetHandle = ScopedHandle<HINTERNET, &InternetCloseHandle>;

// One open WinInet client (see above). The handles are guarded by the mutex.
struct DownloadClient {
  CriticalSection mutex;
  ScopedInternetHandle session;     // InternetOpen, kept from download to download
  ScopedInternetHandle connection;  // InternetConnect, one download
  ScopedInternetHandle request;     // HttpOpenRequest, one download
  bool closed = false;
};

// Closes every handle and marks the client closed: calls under way end, none starts.
void CloseClient(DownloadClient& client);
bool ClientClosed(DownloadClient& client);
// Hands a new handle to the client, where an abort can find it. Returns false (and closes
// the handle) when the client was closed meanwhile.
bool Adopt(DownloadClient& client, ScopedInternetHandle DownloadClient::*slot, HINTERNET handle);
// Closes the download's request and connection unless an abort has closed them already.
void ReleaseDownloadHandles(DownloadClient& client);

}  // namespace hv
