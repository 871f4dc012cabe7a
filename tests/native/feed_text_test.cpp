// Lines, sections, keys and fields of the network files, as tables of text and result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feed/portable/NetworkText.h"

namespace hv {
namespace {

using namespace std::string_literals;

// The lines of a text as NextLine walks them, up to the end.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0; pos < text.size();) {
    lines.push_back(text.substr(pos, text.find_first_of("\r\n", pos) - pos));
    const std::size_t next = NextLine(text, pos);
    if (next <= pos) {
      ADD_FAILURE() << "NextLine must move on inside the text";
      break;
    }
    pos = next;
  }
  return lines;
}

TEST(NextLine, LineEndsOfEveryKind) {
  const struct {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\n\rb", {"a", "b"}},               // LF CR is one line end
      {"a\r\r\nb\r\r\n", {"a", "b"}},       // so is CR CR LF
      {"a\n\n\nb", {"a", "b"}},              // a run of LFs alone is one line end
      {"a\r\r\rb", {"a", "b"}},              // so is a run of CRs alone
      {"a\r\n\r\nb", {"a", "", "b"}},        // a blank line of a CR LF text is an empty line
      {"a\n\n\rb", {"a", "b"}},              // both seen after the CR
      {"a\n\n\r\nb", {"a", "", "b"}},        // the last LF starts an empty line
      {"a\r\n\nb", {"a", "", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"\n\nx", {"", "x"}},
      {"", {}},
      {"a\0b\nc"s, {"a\0b"s, "c"}},         // NUL is an ordinary byte
  };
  for (const auto& c : cases) EXPECT_EQ(Lines(c.text), c.lines) << c.text;

  // From inside a line, at its line end, and at or past the end of the text.
  const std::string text = "abc\r\ndef";
  const std::size_t from[][2] = {{0, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 8}, {8, 8}, {18, 8}};
  for (const auto& f : from) EXPECT_EQ(NextLine(text, f[0]), f[1]) << "from " << f[0];
  EXPECT_EQ(NextLine("", 0), 0u);
}

TEST(FindSection, PrefixOfALineFirstMatchWins) {
  const struct {
    std::string text;
    bool found;
    std::string rest;  // the text from the position found
  } cases[] = {
      {"x\n!CLIENTS:\nA\n", true, "A\n"},
      {"!CLIENTS\r\nA\r\n", true, "A\r\n"},
      {"!CLIENTS 1\n1\n!CLIENTS 2\n2\n", true, "1\n!CLIENTS 2\n2\n"},
      {"; !CLIENTS section\nA\n", false, ""},  // not in the middle of a line
      {"!CLIENT\nA\n", false, ""},
      {"!CLIEN\nTS\nA", false, ""},
      {"!clients\nA\n", false, ""},
      {"\xEF\xBB\xBF!CLIENTS\nA\n", false, ""},  // behind a UTF-8 BOM
      {"a\n!CLIENTS", true, ""},
      {"!CLIENTS\r\r\nA", true, "A"},
      {"!CLIENTS\r\n\r\nA", true, "\r\nA"},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    std::size_t pos = 12345;
    ASSERT_EQ(FindSection(c.text, "!CLIENTS", pos), c.found) << c.text;
    if (c.found) EXPECT_EQ(c.text.substr(pos), c.rest) << c.text;
  }
}

TEST(FindKey, NamesValuesAndSections) {
  const std::string longValue(600, 'v');
  const struct {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    bool found;
    std::string value;
  } cases[] = {
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
      {"value ends at CR", "k=v\rw\n", nullptr, "k", true, "v"},
      {"no final line end", "x\nk=v", nullptr, "k", true, "v"},
      {"value cut to 511 characters", "k=" + longValue + "\n", nullptr, "k", true, longValue.substr(0, 511)},
      {"whole-text search goes past ! lines", "!GENERAL\n!X\nk=v\n", nullptr, "k", true, "v"},
      {"section", "k=outside\n!GENERAL:\nk=inside\n", "!GENERAL", "k", true, "inside"},
      {"section search ends at the next ! line", "!GENERAL\nx=1\n!CLIENTS\nk=v\n", "!GENERAL", "k", false, ""},
      {"a ! line with = also ends it", "!GENERAL\n!k=v\nk=w\n", "!GENERAL", "k", false, ""},
      {"section missing", "k=v\n", "!GENERAL", "k", false, ""},
      {"section header is a prefix", "!GENERALS\nk=v\n", "!GENERAL", "k", true, "v"},
      {"the header line itself is not a key line", "!GENERAL k=v\nx\n", "!GENERAL", "k", false, ""},
      {"the voice clients key is not the clients key", "!GENERAL\nCONNECTED VOICE CLIENTS = 4\n", "!GENERAL",
       "CONNECTED CLIENTS", false, ""},
      {"blank CR LF line inside a section", "!GENERAL\r\n\r\nk = 1\r\n", "!GENERAL", "k", true, "1"},
  };
  for (const auto& c : cases) {
    std::string value = "untouched";
    ASSERT_EQ(FindKey(c.text, c.section, c.key, value), c.found) << c.name;
    EXPECT_EQ(value, c.found ? c.value : "untouched") << c.name;
  }
}

TEST(GetField, ColonsWithinTheLine) {
  const struct {
    std::string text;
    std::size_t line;
    unsigned n;
    std::string field;
  } cases[] = {
      {"a:b:c", 0, 1, "a"},       {"a:b:c", 0, 3, "c"},   {"a:b:c", 0, 4, ""},   {"a:b:c:", 0, 4, ""},
      {"::x", 0, 3, "x"},         {"::x", 0, 1, ""},      {"abc", 0, 1, "abc"},  {"abc", 0, 0, ""},
      {"a:b\r\nc:d:e", 0, 3, ""},  // never beyond the end of the line
      {"a:b\r\nc:d:e", 0, 2, "b"}, {"a:b\nc:d:e", 4, 3, "e"}, {"a:b\rc", 0, 2, "b"},
      {"a:b", 3, 1, ""},          // the empty line at the end of the text
      {"x:\xA7^ ,:y", 0, 2, "\xA7^ ,"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(GetField(c.text, c.line, c.n)), c.field) << c.text << " field " << c.n;
  }
}

}  // namespace
}  // namespace hv
