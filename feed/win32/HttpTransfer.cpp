#include "feed/win32/HttpTransfer.h"

#include <wininet.h>

#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string_view>

#include "feed/win32/StatusDownloader.h"

namespace hv {

namespace {


// The context of the download's connection and request: WinInet hands it to the progress
// callback (and reports progress only with a non-zero context).
DWORD_PTR ContextOf(Transfer& transfer) { return reinterpret_cast<DWORD_PTR>(&transfer); }

void SetTransferStatus(Transfer& transfer, const std::string& text) {
  std::lock_guard<CriticalSection> lock(transfer.mutex);
  if (transfer.abandoned) return;
  transfer.statusText = text;
}

// A numeric header of the response, or `missing` when the response has none.
unsigned long long NumericHeader(HINTERNET request, DWORD query, unsigned long long missing) {
  char text[32] = {};
  DWORD size = sizeof text - 1;
  DWORD index = 0;
  if (!HttpQueryInfoA(request, query, text, &size, &index)) return missing;
  return std::strtoull(text, nullptr, 10);
}

void Finish(Transfer& transfer, bool ok, const std::string& text) {
  std::lock_guard<CriticalSection> lock(transfer.mutex);
  if (!transfer.abandoned) transfer.statusText = text;
  transfer.ok = ok;
  transfer.done = true;
  SetEvent(transfer.ended.get());
}

void Fail(Transfer& transfer, const std::string& text) {
  ReleaseDownloadHandles(*transfer.client);
  Finish(transfer, false, text);
}

// Opens the URL: an HTTP GET of its path, with the transfer's flags. This is what
// InternetOpenUrl does, in steps, so that the time-outs can be set on the connection and
// the request before the request goes out. Returns the request with the response head
// received, or null after Fail.
HINTERNET OpenUrl(Transfer& transfer, HINTERNET session) {
  DownloadClient& client = *transfer.client;
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = 1;  // non-zero: point into the URL
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlA(transfer.url.c_str(), static_cast<DWORD>(transfer.url.size()), 0, &parts)) {
    Fail(transfer, SystemErrorText(GetLastError()));
    return nullptr;
  }
  DWORD flags = transfer.flags;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) {
    flags |= INTERNET_FLAG_SECURE;
  } else if (parts.nScheme != INTERNET_SCHEME_HTTP) {
    Fail(transfer, SystemErrorText(ERROR_INTERNET_UNRECOGNIZED_SCHEME));
    return nullptr;
  }
  std::string host(parts.lpszHostName ? parts.lpszHostName : "", parts.dwHostNameLength);
  std::string object(parts.lpszUrlPath ? parts.lpszUrlPath : "", parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (object.empty()) object = "/";

  HINTERNET connection = InternetConnectA(session, host.c_str(), parts.nPort, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, ContextOf(transfer));
  if (connection == nullptr) {
    Fail(transfer, SystemErrorText(GetLastError()));
    return nullptr;
  }
  if (!Adopt(client, &DownloadClient::connection, connection)) {
    Finish(transfer, false, kDownloadAbortedText);
    return nullptr;
  }
  SetTimeouts(connection);

  const char* acceptTypes[] = {"*/*", nullptr};  // as InternetOpenUrl asks
  HINTERNET request = HttpOpenRequestA(connection, "GET", object.c_str(), nullptr, nullptr, acceptTypes, flags,
                                       ContextOf(transfer));
  if (request == nullptr) {
    Fail(transfer, SystemErrorText(GetLastError()));
    return nullptr;
  }
  if (!Adopt(client, &DownloadClient::request, request)) {
    Fail(transfer, kDownloadAbortedText);
    return nullptr;
  }
  SetTimeouts(request);

  if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
    Fail(transfer, ClientClosed(client) ? std::string(kDownloadAbortedText) : SystemErrorText(GetLastError()));
    return nullptr;
  }
  // A connection closed without any answer is no response, though the client lets it pass.
  if (NumericHeader(request, HTTP_QUERY_STATUS_CODE, 0) == 0) {
    std::string text = SystemErrorText(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    if (text == UnknownErrorText(ERROR_HTTP_INVALID_SERVER_RESPONSE)) text = kNoAnswerText;
    Fail(transfer, ClientClosed(client) ? std::string(kDownloadAbortedText) : text);
    return nullptr;
  }
  return request;
}

// The WinInet calls of one download: open the URL, read the body piece by piece.
void RunTransferCalls(Transfer& transfer) {
  DownloadClient& client = *transfer.client;
  HINTERNET session = nullptr;
  {
    std::lock_guard<CriticalSection> lock(client.mutex);
    if (!client.closed) session = client.session.get();
  }
  if (session == nullptr) return Finish(transfer, false, kDownloadAbortedText);

  HINTERNET request = OpenUrl(transfer, session);
  if (request == nullptr) return;

  unsigned long long announced = NumericHeader(request, HTTP_QUERY_CONTENT_LENGTH, 0);
  if (announced > kMaxBodyBytes) return Fail(transfer, kBodyTooLargeText);

  std::time_t start = std::time(nullptr);
  char piece[kReadPieceBytes];
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request, piece, sizeof piece, &got)) {
      DWORD error = GetLastError();
      return Fail(transfer, ClientClosed(client) ? std::string(kDownloadAbortedText) : SystemErrorText(error));
    }
    if (ClientClosed(client)) return Finish(transfer, false, kDownloadAbortedText);
    if (got == 0) break;
    if (BodyTooLarge(transfer.body.size(), got)) return Fail(transfer, kBodyTooLargeText);
    transfer.body.append(piece, got);
    SetTransferStatus(transfer, ProgressMessage(static_cast<std::int64_t>(transfer.body.size()),
                                                static_cast<std::int64_t>(std::time(nullptr) - start)));
  }
  ReleaseDownloadHandles(client);
  // A connection that ends early looks like the end of the body to the reader.
  if (announced > transfer.body.size())
    return Finish(transfer, false, IncompleteBodyText(transfer.body.size(), announced));
  Finish(transfer, true, std::string());
}

}  // namespace

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD code, LPVOID info, DWORD infoLength) {
  // Handles closed by an abort report on the aborting thread, which runs no transfer.
  auto* transfer = reinterpret_cast<Transfer*>(context);
  if (transfer == nullptr || transfer->thread != GetCurrentThreadId()) return;
  std::string message;
  if (StatusMessageFor(code, info, infoLength, message)) SetTransferStatus(*transfer, message);
}

std::string SystemErrorText(DWORD code) {
  char buffer[512];
  if (code == ERROR_INTERNET_EXTENDED_ERROR) {
    DWORD detail = 0;
    DWORD length = sizeof buffer;
    if (InternetGetLastResponseInfoA(&detail, buffer, &length) && length > 0 && length < sizeof buffer)
      return PlainErrorText(std::string_view(buffer, length));
  }
  DWORD length = 0;
  if (code >= INTERNET_ERROR_BASE && code < INTERNET_ERROR_BASE + 1000)
    length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                            GetModuleHandleA("wininet.dll"), code, 0, buffer, sizeof buffer, nullptr);
  if (length == 0)
    length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                            buffer, sizeof buffer, nullptr);
  if (length == 0) return UnknownErrorText(code);
  return PlainErrorText(std::string_view(buffer, length));
}

// The client's own time-outs. Set on the connection and the request too: not every
// WinInet passes those of the Internet handle on.
void SetTimeouts(HINTERNET handle) {
  DWORD timeoutMs = kDownloadTimeoutMs;
  InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &timeoutMs, sizeof timeoutMs);
  InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &timeoutMs, sizeof timeoutMs);
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeoutMs, sizeof timeoutMs);
}

void RunTransfer(Transfer& transfer) {
  transfer.thread = GetCurrentThreadId();
  RunTransferCalls(transfer);
}

}  // namespace hv
