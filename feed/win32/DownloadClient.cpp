#include "feed/win32/DownloadClient.h"

#include <mutex>

namespace hv {

void CloseClient(DownloadClient& client) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  client.closed = true;
  client.request.reset();
  client.connection.reset();
  client.session.reset();
}

bool ClientClosed(DownloadClient& client) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  return client.closed;
}

bool Adopt(DownloadClient& client, ScopedInternetHandle DownloadClient::*slot, HINTERNET handle) {
  ScopedInternetHandle adopted(handle);
  std::lock_guard<CriticalSection> lock(client.mutex);
  if (client.closed) return false;
  client.*slot = std::move(adopted);
  return true;
}

void ReleaseDownloadHandles(DownloadClient& client) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  client.request.reset();
  client.connection.reset();
}

}  // namespace hv
