// StatusDownloader over WinInet; see StatusDownloader.h for how a download is shared
// between the downloading thread and its transfer thread.
#include "feed/win32/StatusDownloader.h"

#include <windows.h>
#include <wininet.h>

#include <mutex>
#include <utility>

#include "feed/win32/DownloadClient.h"
#include "feed/win32/HttpTransfer.h"
#include "common/win32/ModulePin.h"
#include "common/win32/ScopedWin.h"

namespace hv {

void DownloadAbort::Abort() {
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

void StatusDownloader::SetStatus(const std::string& text) { statusText_ = text; }

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
    SetTimeouts(session);
    client_ = std::make_shared<DownloadClient>();
    client_->session.reset(session);
  }

  auto transfer = std::make_shared<Transfer>();
  transfer->client = client_;
  transfer->url = url;
  transfer->flags = INTERNET_FLAG_TRANSFER_BINARY | (reload ? INTERNET_FLAG_RELOAD : 0);
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

  // The calls run on a thread of their own, so that an abort or the time limit can end the
  // wait at once; the thread is not waited for (it signals the transfer's event).
  const ScopedKernelHandle transferThread(startPinnedThread([transfer] { RunTransfer(*transfer); }));
  if (!transferThread) RunTransfer(*transfer);

  bool finished;
  std::string text;
  {
    const DWORD limitMs = static_cast<DWORD>(kWholeDownloadLimit.count());
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
  statusText_ = text;
  if (!finished) {
    client_.reset();  // closed by the abort; the transfer thread may still hold it
    return false;
  }
  if (!transfer->ok) return false;
  result = std::move(transfer->body);
  return true;
}

}  // namespace hv
