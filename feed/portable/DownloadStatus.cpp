// Progress and error texts of a status download; see DownloadStatus.h.
#include "feed/portable/DownloadStatus.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace hv {

std::string FormatStatus(const char* format, ...) {
  char buffer[kMaxStatusLength + 1];
  va_list args;
  va_start(args, format);
  int written = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (written < 0) return {};
  return std::string(buffer);
}

namespace {

// The text of a name event: up to its first NUL, never beyond its length.
std::string EventText(const void* info, std::uint32_t infoLength) {
  if (info == nullptr) return {};
  const char* text = static_cast<const char*>(info);
  const void* nul = std::memchr(text, '\0', infoLength);
  std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : infoLength;
  return std::string(text, length);
}

// The client's progress events, numbered as WinInet's INTERNET_STATUS_ values.
enum StatusEvent : std::uint32_t {
  kResolvingName = 10,
  kNameResolved = 11,
  kConnectingToServer = 20,
  kConnectedToServer = 21,
  kSendingRequest = 30,
  kRequestSent = 31,
  kReceivingResponse = 40,
  kResponseReceived = 41,
  kClosingConnection = 50,
  kConnectionClosed = 51,
  kHandleCreated = 60,
  kHandleClosing = 70,
  kRequestComplete = 100,
};

}  // namespace

bool StatusMessageFor(std::uint32_t code, const void* info, std::uint32_t infoLength,
                      std::string& message) {
  switch (code) {
    case kResolvingName:
      message = FormatStatus("Resolving name for %s", EventText(info, infoLength).c_str());
      return true;
    case kNameResolved:
      message = FormatStatus("Resolved name for %s", EventText(info, infoLength).c_str());
      return true;
    case kConnectingToServer: message = "Connecting to socket address "; return true;
    case kConnectedToServer: message = "Connected to socket address"; return true;
    case kSendingRequest: message = "Sending request..."; return true;
    case kRequestSent: message = "Request sent"; return true;
    case kReceivingResponse: return false;
    case kResponseReceived: message = "Response received"; return true;
    case kClosingConnection: message = "Closing the connection to the server"; return true;
    case kConnectionClosed: message = "Connection to the server closed"; return true;
    case kHandleCreated: message.clear(); return true;
    case kHandleClosing: return false;
    case kRequestComplete:
      if (info != nullptr && infoLength == 8) {
        std::uint32_t words[2];
        std::memcpy(words, info, sizeof words);
        message = FormatStatus("Request complete, dwResult = %8.8X, dwError = %8.8X", words[0], words[1]);
      } else {
        message = "Request complete";
      }
      return true;
    default:
      message = FormatStatus("Unknown status: %d", static_cast<int>(code));
      return true;
  }
}

std::string ProgressMessage(std::int64_t totalBytes, std::int64_t elapsedSeconds) {
  int total = static_cast<int>(totalBytes);
  if (elapsedSeconds > 0)
    return FormatStatus("Read %d bytes (%0.1f Kb/s)", total,
                        static_cast<double>(totalBytes) / 1024.0 / static_cast<double>(elapsedSeconds));
  return FormatStatus("Read %d bytes", total);
}

std::string PlainErrorText(std::string_view raw) {
  std::string text;
  text.reserve(raw.size());
  bool inBreak = false;
  for (char c : raw) {
    if (c == '\r' || c == '\n') {
      if (!inBreak) text.push_back(' ');  // a run of CR and LF becomes one blank
      inBreak = true;
      continue;
    }
    inBreak = false;
    text.push_back(c == '\t' ? ' ' : c);
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() > kMaxErrorTextLength) text.resize(kMaxErrorTextLength);
  return text;
}

std::string UnknownErrorText(std::uint32_t code) {
  return FormatStatus("Error %u", static_cast<unsigned>(code));
}

std::string IncompleteBodyText(std::uint64_t received, std::uint64_t announced) {
  return "Download incomplete: " + std::to_string(received) + " of " + std::to_string(announced) +
         " bytes received";
}

}  // namespace hv
