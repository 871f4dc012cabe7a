#include "feed/win32/DownloadClient.h"

#include <mutex>
#include <utility>

namespace hv {

void CloseClient(DownloadClient& client) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  client.closed = true;
  if (client.request) InternetCloseHandle(std::exchange(client.request, nullptr));
  if (client.connection) InternetCloseHandle(std::exchange(client.connection, nullptr));
  if (client.session) InternetCloseHandle(std::exchange(client.session, nullptr));
}

bool ClientClosed(DownloadClient& client) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  return client.closed;
}

bool Adopt(DownloadClient& client, HINTERNET DownloadClient::*slot, HINTERNET handle) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  if (client.closed) {
    InternetCloseHandle(handle);
    return false;
  }
  client.*slot = handle;
  return true;
}

void ReleaseDownloadHandles(DownloadClient& client) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  if (client.request) InternetCloseHandle(std::exchange(client.request, nullptr));
  if (client.connection) InternetCloseHandle(std::exchange(client.connection, nullptr));
}

}  // namespace hv
