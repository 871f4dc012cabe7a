// Lines, sections, keys and fields of the network files, as tables of text and result.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "feed/portable/NetworkText.h"

namespace hv {
namespace {

using namespace std::string_literals;

// The lines of a text as NextLine walks them, up to the end.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(pos, end - pos));
    const std::size_t next = NextLine(text, pos);
    EXPECT_GT(next, pos) << "NextLine must move on inside the text";
    if (next <= pos) break;
    pos = next;
  }
  return lines;
}

struct LinesCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

TEST(NextLine, LineEndsOfEveryKind) {
  const LinesCase cases[] = {
      {"LF", "a\nb\n", {"a", "b"}},
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"LF CR is one line end", "a\n\rb", {"a", "b"}},
      {"CR alone", "a\rb", {"a", "b"}},
      {"CR CR LF is one line end", "a\r\r\nb\r\r\n", {"a", "b"}},
      {"blank lines of an LF text vanish", "a\n\n\nb", {"a", "b"}},
      {"a run of CRs alone ends one line", "a\r\r\rb", {"a", "b"}},
      {"a blank line of a CR LF text is an empty line", "a\r\n\r\nb", {"a", "", "b"}},
      {"two blank CR LF lines", "a\r\n\r\n\r\nb", {"a", "", "", "b"}},
      {"LF LF CR: both seen after the CR", "a\n\n\rb", {"a", "b"}},
      {"LF LF CR LF: the last LF starts an empty line", "a\n\n\r\nb", {"a", "", "b"}},
      {"CR LF LF: the second LF is an empty line", "a\r\n\nb", {"a", "", "b"}},
      {"no final line end", "a\nb", {"a", "b"}},
      {"text of line ends only", "\r\n\r\n", {"", ""}},
      {"starts with an LF run", "\n\nx", {"", "x"}},
      {"empty text", "", {}},
      {"NUL is an ordinary byte", "a\0b\nc"s, {"a\0b"s, "c"}},
  };
  for (const LinesCase& c : cases) EXPECT_EQ(Lines(c.text), c.lines) << c.name;
}

TEST(NextLine, FromInsideALineAndAtTheEnd) {
  const std::string text = "abc\r\ndef";
  EXPECT_EQ(NextLine(text, 0), 5u);
  EXPECT_EQ(NextLine(text, 2), 5u);
  EXPECT_EQ(NextLine(text, 3), 5u);  // at the CR: the line end itself
  EXPECT_EQ(NextLine(text, 4), 5u);  // at the LF
  EXPECT_EQ(NextLine(text, 5), text.size());
  EXPECT_EQ(NextLine(text, text.size()), text.size());
  EXPECT_EQ(NextLine(text, text.size() + 10), text.size());
  EXPECT_EQ(NextLine("", 0), 0u);
}

// LineCursor is the fast walk the parsers use; it must visit exactly the lines that
// NextLine gives, with the same line ends, on any mix of line-end bytes.
TEST(LineCursor, WalksTheSameLinesAsNextLine) {
  std::mt19937 random(7);
  const char alphabet[] = {'\r', '\n', 'x', ':'};
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 40, 'x');
    for (char& c : text) c = alphabet[random() % 4];
    const std::size_t start = text.empty() ? 0 : random() % text.size();
    LineCursor cursor(text, start);
    std::size_t pos = start;
    for (int guard = 0; guard < 100; ++guard) {
      ASSERT_EQ(static_cast<std::size_t>(cursor.Line() - text.data()), pos) << text;
      std::size_t end = pos;
      while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
      ASSERT_EQ(static_cast<std::size_t>(cursor.LineEnd() - text.data()), end) << text;
      if (pos == text.size()) {
        ASSERT_TRUE(cursor.AtEnd());
        cursor.Next();
        ASSERT_TRUE(cursor.AtEnd());
        break;
      }
      ASSERT_FALSE(cursor.AtEnd());
      cursor.Next();
      pos = NextLine(text, pos);
    }
  }
}

struct SectionCase {
  const char* name;
  std::string text;
  const char* header;
  bool found;
  std::string rest;  // the text from the position found
};

TEST(FindSection, PrefixOfALineFirstMatchWins) {
  const SectionCase cases[] = {
      {"header with a colon after it", "x\n!CLIENTS:\nA\n", "!CLIENTS", true, "A\n"},
      {"exact header", "!CLIENTS\r\nA\r\n", "!CLIENTS", true, "A\r\n"},
      {"first of two", "!CLIENTS 1\n1\n!CLIENTS 2\n2\n", "!CLIENTS", true, "1\n!CLIENTS 2\n2\n"},
      {"not in the middle of a line", "; !CLIENTS section\nA\n", "!CLIENTS", false, ""},
      {"shorter line does not match", "!CLIENT\nA\n", "!CLIENTS", false, ""},
      {"header is not split over a line end", "!CLIEN\nTS\nA", "!CLIENTS", false, ""},
      {"case matters", "!clients\nA\n", "!CLIENTS", false, ""},
      {"UTF-8 BOM before the header", "\xEF\xBB\xBF!GENERAL\nA\n", "!GENERAL", false, ""},
      {"header on the last line", "a\n!CLIENTS", "!CLIENTS", true, ""},
      {"header line ends with CR CR LF", "!CLIENTS\r\r\nA", "!CLIENTS", true, "A"},
      {"a blank CR LF line after the header", "!CLIENTS\r\n\r\nA", "!CLIENTS", true, "\r\nA"},
      {"empty text", "", "!CLIENTS", false, ""},
  };
  for (const SectionCase& c : cases) {
    std::size_t pos = 12345;
    ASSERT_EQ(FindSection(c.text, c.header, pos), c.found) << c.name;
    if (c.found) EXPECT_EQ(c.text.substr(pos), c.rest) << c.name;
  }
}

struct KeyCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  bool found;
  std::string value;
};

TEST(FindKey, NamesValuesAndSections) {
  const std::string longValue(600, 'v');
  const KeyCase cases[] = {
      {"plain", "url0=http://a/b\n", nullptr, "url0", true, "http://a/b"},
      {"a shorter name before the key answers", "url=x\nurl0=y\n", nullptr, "url0", true, "x"},
      {"the first of several", "url0=a\r\nurl0=b\r\n", nullptr, "url0", true, "a"},
      {"a longer name does not answer", "url00=x\nurl0=y\n", nullptr, "url0", true, "y"},
      {"other key", "url1=x\n", nullptr, "url0", false, ""},
      {"blanks around the =", "CONNECTED CLIENTS   =   703\n", nullptr, "CONNECTED CLIENTS", true, "703"},
      {"trailing blanks of the value kept", "k =  v  \r\n", nullptr, "k", true, "v  "},
      {"leading blanks of the name kept", " k=v\n", nullptr, "k", false, ""},
      {"tab is not a blank", "k\t=v\n", nullptr, "k", false, ""},
      {"an = in the value", "k=a=b\n", nullptr, "k", true, "a=b"},
      {"empty value", "k=\nk=x\n", nullptr, "k", true, ""},
      {"an empty name answers any key", "= 5\nk=x\n", nullptr, "k", true, "5"},
      {"a name of blanks only answers too", "   =6\n", nullptr, "k", true, "6"},
      {"lines without = are passed over", "; url0 comment\nurl0=x\n", nullptr, "url0", true, "x"},
      {"comment holding = with another name", "; see http://x/?id=KBOS\nurl0=x\n", nullptr, "url0", true, "x"},
      {"value ends at CR", "k=v\rw\n", nullptr, "k", true, "v"},
      {"value ends at CR CR LF", "k=v\r\r\nk=w", nullptr, "k", true, "v"},
      {"no final line end", "x\nk=v", nullptr, "k", true, "v"},
      {"value cut to 511 characters", "k=" + longValue + "\n", nullptr, "k", true, longValue.substr(0, 511)},
      {"whole-text search goes past ! lines", "!GENERAL\n!X\nk=v\n", nullptr, "k", true, "v"},
      {"section", "k=outside\n!GENERAL:\nk=inside\n", "!GENERAL", "k", true, "inside"},
      {"section search ends at the next ! line", "!GENERAL\nx=1\n!CLIENTS\nk=v\n", "!GENERAL", "k", false, ""},
      {"a ! line with = also ends it", "!GENERAL\n!k=v\nk=w\n", "!GENERAL", "k", false, ""},
      {"section missing", "k=v\n", "!GENERAL", "k", false, ""},
      {"section header is a prefix", "!GENERALS\nk=v\n", "!GENERAL", "k", true, "v"},
      {"the header line itself is not a key line", "!GENERAL k=v\nx\n", "!GENERAL", "k", false, ""},
      {"key of the voice file is not the clients key", "!GENERAL\nCONNECTED VOICE CLIENTS = 4\n", "!GENERAL",
       "CONNECTED CLIENTS", false, ""},
      {"prefix name answers inside a section", "!GENERAL\nCONNECTED = 9\nCONNECTED CLIENTS = 3\n", "!GENERAL", "CONNECTED CLIENTS", true,
       "9"},
      {"blank CR LF line inside a section", "!GENERAL\r\n\r\nk = 1\r\n", "!GENERAL", "k", true, "1"},
  };
  for (const KeyCase& c : cases) {
    std::string value = "untouched";
    ASSERT_EQ(FindKey(c.text, c.section, c.key, value), c.found) << c.name;
    EXPECT_EQ(value, c.found ? c.value : "untouched") << c.name;
  }
}

struct FieldCase {
  std::string text;
  std::size_t line;
  unsigned n;
  std::string field;
};

TEST(GetField, ColonsWithinTheLine) {
  const FieldCase cases[] = {
      {"a:b:c", 0, 1, "a"},
      {"a:b:c", 0, 2, "b"},
      {"a:b:c", 0, 3, "c"},
      {"a:b:c", 0, 4, ""},
      {"a:b:c:", 0, 4, ""},
      {"::x", 0, 3, "x"},
      {"::x", 0, 1, ""},
      {"a:b\r\nc:d:e", 0, 3, ""},  // never beyond the end of the line
      {"a:b\r\nc:d:e", 0, 2, "b"},
      {"a:b\nc:d:e", 4, 3, "e"},
      {"a:b\rc", 0, 2, "b"},
      {"abc", 0, 1, "abc"},
      {"abc", 0, 0, ""},
      {"a:b", 3, 1, ""},  // the empty line at the end of the text
      {"x:\xA7^ ,:y", 0, 2, "\xA7^ ,"},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(std::string(GetField(c.text, c.line, c.n)), c.field) << c.text << " field " << c.n;
  }
}

}  // namespace
}  // namespace hv
