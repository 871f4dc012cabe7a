// The texts a status download leaves behind: progress messages from the HTTP client's
// events, the byte count after each piece of the body, error messages in a form the
// settings dialog can show, and the limits a download keeps to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

// The body is read in pieces of at most this many bytes.
constexpr std::size_t kReadPieceBytes = 4095;
// A body larger than this is refused: real status and data files are well under 1 MiB,
// and holding a huge one would bloat the simulator's process.
constexpr std::size_t kMaxBodyBytes = 16u * 1024u * 1024u;
constexpr char kBodyTooLargeText[] = "Download refused: the file is larger than 16 MiB";
// Connect, send and receive time-out of the HTTP client, so a download always ends.
constexpr std::uint32_t kDownloadTimeoutMs = 20000;
// A status text holds at most this many characters (a 512-byte buffer).
constexpr std::size_t kMaxStatusLength = 511;
// An error message is cut to this many characters.
constexpr std::size_t kMaxErrorTextLength = 254;

// printf-style formatting into a 512-byte buffer: at most 511 characters.
std::string FormatStatus(const char* format, ...)
#if defined(__GNUC__) || defined(__clang__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The message a progress event of the HTTP client gives the status text. Returns false
// for events that leave the status text unchanged. `info` is the event's information
// (a host name or address text for 10 and 11, two 32-bit words for 100), `infoLength`
// its length in bytes; either may be null/0.
bool StatusMessageFor(std::uint32_t code, const void* info, std::uint32_t infoLength,
                      std::string& message);

// The message after each piece of the body: total bytes so far and the whole seconds
// since the body began. With 0 seconds there is no rate to give.
std::string ProgressMessage(std::int64_t totalBytes, std::int64_t elapsedSeconds);

// A system error message made fit for one line of the dialog: line breaks become blanks,
// trailing blanks and breaks go, and the text is cut to 254 characters.
std::string PlainErrorText(std::string_view raw);

// The text when the system has no message for an error code.
std::string UnknownErrorText(std::uint32_t code);

// Whether appending `incoming` bytes to `held` would pass the 16 MiB limit.
constexpr bool BodyTooLarge(std::size_t held, std::size_t incoming) {
  return incoming > kMaxBodyBytes || held > kMaxBodyBytes - incoming;
}

// The text when the connection ended before the announced length had arrived.
std::string IncompleteBodyText(std::uint64_t received, std::uint64_t announced);

}  // namespace hv
