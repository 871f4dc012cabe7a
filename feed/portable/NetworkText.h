// Reading the network files as plain bytes: lines, section headers, "key = value" lines
// and colon-separated fields. Nothing is decoded; every byte stands for itself.
//
// Line ends: a line ends at its first CR or LF. The line end then takes in further CR and
// LF bytes until it meets another byte or has taken in both a CR and an LF, so CR LF,
// LF CR and CR CR LF end one line, and a run of LFs alone (or of CRs alone) ends one line
// too: blank lines of an LF-only text vanish, while each blank line of a CR LF text is an
// empty line. At the end of the text the next line is the end itself, an empty line.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "feed/portable/ByteScan.h"

namespace hv {

// A key's value is cut to this many characters.
constexpr std::size_t kMaxKeyValue = 511;

// Finds the first line that begins with `header` (the line may go on after it) and sets
// `linesStart` to the line after it. False when no line begins with the header.
bool FindSection(std::string_view text, const char* header, std::size_t& linesStart);

// The value of `key`: the lines are searched from the top, or, with a section, from the
// line after its header up to the next line that begins with "!". A line answers when it
// holds "=" and the wanted key begins with the text before the first "=" (trailing
// blanks dropped; an empty name answers every key). The value is the rest of the line
// after the "=" without leading blanks, trailing blanks kept, cut to kMaxKeyValue
// characters. False when no line answers or the section is missing; `value` is then
// left as it was.
bool FindKey(std::string_view text, const char* section, const char* key, std::string& value);

// FindKey without a copy: `value` points into `text`.
bool FindKeyView(std::string_view text, const char* section, const char* key,
                 std::string_view& value);

// Field n (1-based) of the line that starts at `line`: the bytes after n - 1 colons up to
// the next colon or the line's end; empty when the line has fewer fields. The result
// points into `text`.
std::string_view GetField(std::string_view text, std::size_t line, unsigned n);

// The start of the next line, given the end of the current one (its first CR or LF): line
// ends are passed over until another byte comes or both a CR and an LF have been passed.
inline const char* PassLineEnd(const char* p, const char* end) {
  bool cr = false;
  bool lf = false;
  while (p < end && !(cr && lf)) {
    if (*p == '\r') {
      cr = true;
    } else if (*p == '\n') {
      lf = true;
    } else {
      break;
    }
    ++p;
  }
  return p;
}

// A text's bytes; an empty text without storage reads as "".
inline const char* TextBytes(std::string_view text) { return text.data() ? text.data() : ""; }

// Walks the lines of a text from a given position.
class LineCursor {
 public:
  LineCursor(std::string_view text, std::size_t pos)
      : end_(TextBytes(text) + text.size()),
        pos_(TextBytes(text) + (pos < text.size() ? pos : text.size())),
        lineEnd_(FindLineEnd(pos_, end_)) {}

  bool AtEnd() const { return pos_ == end_; }
  const char* Line() const { return pos_; }
  const char* End() const { return end_; }
  const char* LineEnd() const { return lineEnd_; }  // the line's first CR or LF, or the end

  // Moves to the next line; stays at the end of the text.
  void Next() {
    pos_ = PassLineEnd(lineEnd_, end_);
    lineEnd_ = FindLineEnd(pos_, end_);
  }

 private:
  const char* end_;
  const char* pos_;
  const char* lineEnd_;
};

// ASCII letters a-z to upper case; every other byte stays as it is.
inline char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

}  // namespace hv
