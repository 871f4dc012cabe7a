// Reading the network files as plain bytes: lines, section headers, "key = value" lines
// and colon-separated fields. Nothing is decoded; every byte stands for itself.
//
// Line ends: a line ends at its first CR or LF. The line end then takes in further CR and
// LF bytes until it meets another byte or has taken in both a CR and an LF, so CR LF,
// LF CR and CR CR LF end one line, and a run of LFs alone (or of CRs alone) ends one line
// too. At the end of the text the next line is the end itself, an empty line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hv {

// A key's value is cut to this many characters.
constexpr std::size_t kMaxKeyValue = 511;

// Position of the first character of the line after the one holding `pos`, or
// text.size() when there is none.
std::size_t NextLine(std::string_view text, std::size_t pos);

// Finds the first line that begins with `header` (the line may go on after it) and sets
// `linesStart` to the line after it. False when no line begins with the header.
bool FindSection(std::string_view text, const char* header, std::size_t& linesStart);

// The value of `key`: the lines are searched from the top, or, with a section, from the
// line after its header up to the next line that begins with "!". A line answers when it
// holds "=" and the wanted key begins with the text before the first "=" (trailing
// blanks dropped). The value is the rest of the line after the "=" without leading
// blanks, trailing blanks kept, cut to kMaxKeyValue characters. False when no line
// answers or the section is missing; `value` is then left as it was.
bool FindKey(std::string_view text, const char* section, const char* key, std::string& value);

// Field n (1-based) of the line that starts at `line`: the bytes after n - 1 colons up to
// the next colon or the line's end; empty when the line has fewer fields. The result
// points into `text`.
std::string_view GetField(std::string_view text, std::size_t line, unsigned n);

}  // namespace hv
