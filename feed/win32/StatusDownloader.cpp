// StatusDownloader over WinInet; see StatusDownloader.h for how a download is shared
// between the downloading thread and its transfer thread.
#include "feed/win32/StatusDownloader.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <ctime>
#include <string_view>
#include <utility>

#include "common/win32/ModulePin.h"
#include "common/win32/ScopedWin.h"

namespace hv {

// One open WinInet client. The handles are handed over under the mutex: whoever closes
// one (Close, the end of a transfer, or an abort) takes it out first, so no handle is
// closed twice, and once `closed` is set no new call is started on them.
struct DownloadClient {
  CriticalSection mutex;
  HINTERNET session = nullptr;     // InternetOpen, kept from download to download
  HINTERNET connection = nullptr;  // InternetConnect, one download
  HINTERNET request = nullptr;     // HttpOpenRequest, one download
  bool closed = false;
};

// One download on its transfer thread.
struct Transfer {
  std::shared_ptr<DownloadClient> client;
  std::string url;
  DWORD flags = 0;
  std::size_t maxBodyBytes = kMaxBodyBytes;
  DWORD timeoutMs = kDownloadTimeoutMs;
  std::function<void(const std::string&)> observer;

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

namespace {

constexpr DWORD kRequestContext = 1;  // WinInet reports progress only with a non-zero context

// The transfer this thread runs, for the progress callback (WinInet calls it on the
// thread that makes the synchronous call).
thread_local Transfer* tCurrentTransfer = nullptr;

void SetTransferStatus(Transfer& transfer, const std::string& text) {
  std::lock_guard<CriticalSection> lock(transfer.mutex);
  if (transfer.abandoned) return;
  transfer.statusText = text;
  if (transfer.observer) transfer.observer(text);
}

void CALLBACK OnStatus(HINTERNET, DWORD_PTR, DWORD code, LPVOID info, DWORD infoLength) {
  // Handles closed by an abort report on the aborting thread, which runs no transfer.
  Transfer* transfer = tCurrentTransfer;
  if (transfer == nullptr) return;
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

// Hands a new handle to the client, where an abort can find it. Returns false (and closes
// the handle) when the client was closed meanwhile.
bool Adopt(DownloadClient& client, HINTERNET DownloadClient::*slot, HINTERNET handle) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  if (client.closed) {
    InternetCloseHandle(handle);
    return false;
  }
  client.*slot = handle;
  return true;
}

// Closes the download's request and connection unless an abort has closed them already.
void ReleaseDownloadHandles(DownloadClient& client) {
  std::lock_guard<CriticalSection> lock(client.mutex);
  if (client.request) InternetCloseHandle(std::exchange(client.request, nullptr));
  if (client.connection) InternetCloseHandle(std::exchange(client.connection, nullptr));
}

// The client's own time-outs. Set on the connection and the request too: not every
// WinInet passes those of the Internet handle on.
void SetTimeouts(HINTERNET handle, DWORD timeoutMs) {
  InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &timeoutMs, sizeof timeoutMs);
  InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &timeoutMs, sizeof timeoutMs);
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeoutMs, sizeof timeoutMs);
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
  if (!transfer.abandoned) {
    transfer.statusText = text;
    if (transfer.observer) transfer.observer(text);
  }
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
                                          INTERNET_SERVICE_HTTP, 0, kRequestContext);
  if (connection == nullptr) {
    Fail(transfer, SystemErrorText(GetLastError()));
    return nullptr;
  }
  if (!Adopt(client, &DownloadClient::connection, connection)) {
    Finish(transfer, false, kDownloadAbortedText);
    return nullptr;
  }
  SetTimeouts(connection, transfer.timeoutMs);

  const char* acceptTypes[] = {"*/*", nullptr};  // as InternetOpenUrl asks
  HINTERNET request = HttpOpenRequestA(connection, "GET", object.c_str(), nullptr, nullptr, acceptTypes, flags,
                                       kRequestContext);
  if (request == nullptr) {
    Fail(transfer, SystemErrorText(GetLastError()));
    return nullptr;
  }
  if (!Adopt(client, &DownloadClient::request, request)) {
    Fail(transfer, kDownloadAbortedText);
    return nullptr;
  }
  SetTimeouts(request, transfer.timeoutMs);

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
void RunTransfer(Transfer& transfer) {
  DownloadClient& client = *transfer.client;
  HINTERNET session = nullptr;
  {
    std::lock_guard<CriticalSection> lock(client.mutex);
    if (!client.closed) session = client.session;
  }
  if (session == nullptr) return Finish(transfer, false, kDownloadAbortedText);

  HINTERNET request = OpenUrl(transfer, session);
  if (request == nullptr) return;

  unsigned long long announced = NumericHeader(request, HTTP_QUERY_CONTENT_LENGTH, 0);
  if (announced > transfer.maxBodyBytes) return Fail(transfer, kBodyTooLargeText);

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
    if (BodyTooLarge(transfer.body.size(), got, transfer.maxBodyBytes)) return Fail(transfer, kBodyTooLargeText);
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

struct TransferStart {
  std::shared_ptr<Transfer> transfer;
  HMODULE pin;  // holds the module loaded while the thread runs; null inside a program
};

// The module stays pinned until the transfer thread lets it go: an aborted transfer may
// still be inside WinInet when the module is unloaded.
DWORD WINAPI TransferThread(void* parameter) {
  HMODULE pin = nullptr;
  {
    std::unique_ptr<TransferStart> start(static_cast<TransferStart*>(parameter));
    pin = start->pin;
    tCurrentTransfer = start->transfer.get();
    RunTransfer(*start->transfer);
    tCurrentTransfer = nullptr;
  }
  exitThreadAndUnpin(pin);
}

bool StartTransferThread(const std::shared_ptr<Transfer>& transfer) {
  auto start = std::make_unique<TransferStart>(TransferStart{transfer, pinThisModule()});
  HANDLE thread = CreateThread(nullptr, 0, TransferThread, start.get(), 0, nullptr);
  if (thread == nullptr) {
    if (start->pin) FreeLibrary(start->pin);
    return false;
  }
  start.release();  // the thread owns it now
  ScopedKernelHandle unwaited(thread);  // the transfer is waited for through its event
  return true;
}

}  // namespace

void DownloadAbort::abort() {
  std::shared_ptr<Transfer> transfer;
  {
    std::lock_guard<CriticalSection> lock(mutex_);
    transfer = current_;
  }
  if (!transfer) return;
  CloseClient(*transfer->client);
  std::lock_guard<CriticalSection> lock(transfer->mutex);
  transfer->aborted = true;
  SetEvent(transfer->ended.get());
}

void StatusDownloader::SetStatus(const std::string& text) {
  statusText_ = text;
  if (statusObserver) statusObserver(text);
}

void StatusDownloader::Close() {
  if (!client_) return;
  CloseClient(*client_);
  client_.reset();
}

bool StatusDownloader::Download(const std::string& url, std::string& result) {
  result.clear();
  if (client_ && ClientClosed(*client_)) client_.reset();  // an abort closed it

  if (!client_) {
    HINTERNET session = InternetOpenA("Hallvoxen", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr) {
      SetStatus(SystemErrorText(GetLastError()));
      return false;
    }
    InternetSetStatusCallbackA(session, OnStatus);  // without it the client works all the same
    SetTimeouts(session, timeoutMs);
    client_ = std::make_shared<DownloadClient>();
    client_->session = session;
  }

  auto transfer = std::make_shared<Transfer>();
  transfer->client = client_;
  transfer->url = url;
  transfer->flags = INTERNET_FLAG_TRANSFER_BINARY | (reload ? INTERNET_FLAG_RELOAD : 0);
  transfer->maxBodyBytes = maxBodyBytes;
  transfer->timeoutMs = timeoutMs;
  transfer->observer = statusObserver;
  if (!transfer->ended) {
    SetStatus(SystemErrorText(GetLastError()));
    return false;
  }

  if (abort_) {
    // Checked and registered under the abort's lock: an abort that comes after the stop
    // flag was set either finds this transfer or this check finds the flag.
    std::lock_guard<CriticalSection> lock(abort_->mutex_);
    if (abort_->stopFlag_.load() != 0) {
      Close();
      SetStatus(kDownloadAbortedText);
      return false;
    }
    abort_->current_ = transfer;
  }

  if (!StartTransferThread(transfer)) {
    tCurrentTransfer = transfer.get();
    RunTransfer(*transfer);
    tCurrentTransfer = nullptr;
  }

  bool finished;
  std::string text;
  {
    const DWORD limitMs = static_cast<DWORD>(wholeDownloadLimit.count());
    const bool ended = WaitForSingleObject(transfer->ended.get(), limitMs) == WAIT_OBJECT_0;
    std::unique_lock<CriticalSection> lock(transfer->mutex);
    if (!ended) {
      // Too long: given up like an abort. Closing the handles ends the transfer's calls.
      lock.unlock();
      CloseClient(*transfer->client);
      lock.lock();
    }
    finished = transfer->done;
    transfer->abandoned = true;
    text = finished ? transfer->statusText : std::string(ended ? kDownloadAbortedText : kDownloadTooLongText);
  }
  if (abort_) {
    std::lock_guard<CriticalSection> lock(abort_->mutex_);
    if (abort_->current_ == transfer) abort_->current_.reset();
  }
  statusText_ = text;  // the observer has seen it already when the transfer set it
  if (!finished) {
    if (statusObserver) statusObserver(text);
    client_.reset();  // closed by the abort; the transfer thread may still hold it
    return false;
  }
  if (!transfer->ok) return false;
  result = std::move(transfer->body);
  return true;
}

}  // namespace hv
