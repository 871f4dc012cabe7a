// Lines, keys and number fields of the network files, as tables of text and result.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "feed/portable/FieldNumbers.h"
#include "feed/portable/NetworkText.h"

namespace hv {
namespace {

using namespace std::string_literals;

TEST(NextLine, LineEndsOfEveryKind) {
  const struct { std::string text; std::vector<std::string> lines; } cases[] = {
      {"a\nb\n", {"a", "b"}},         {"a\r\nb\r\n", {"a", "b"}},  {"a\rb", {"a", "b"}},
      {"a\n\rb", {"a", "b"}},         // LF CR is one line end
      {"a\r\r\nb\r\r\n", {"a", "b"}}, // so is CR CR LF
      {"a\n\n\nb", {"a", "b"}},       // a run of LFs alone is one line end
      {"a\r\n\r\nb", {"a", "", "b"}}, // a blank line of a CR LF text is an empty line
      {"a\n\n\r\nb", {"a", "", "b"}}, // the last LF starts an empty line
      {"\n\nx", {"", "x"}},           {"", {}},
      {"a\0b\nc"s, {"a\0b"s, "c"}},  // NUL is an ordinary byte
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < c.text.size();) {
      lines.push_back(c.text.substr(pos, c.text.find_first_of("\r\n", pos) - pos));
      const std::size_t next = NextLine(c.text, pos);
      ASSERT_GT(next, pos) << c.text;
      pos = next;
    }
    EXPECT_EQ(lines, c.lines) << c.text;
  }
  EXPECT_EQ(NextLine("abc\r\ndef", 18), 8u);
}

TEST(FindKey, NamesValuesAndSections) {
  const struct { const char* name; std::string text; const char* section; const char* key; bool found; std::string value; } cases[] = {
      {"plain", "url0=http://a/b\n", nullptr, "url0", true, "http://a/b"},
      {"a shorter name before the key answers", "url=x\nurl0=y\n", nullptr, "url0", true, "x"},
      {"a longer name does not answer", "url00=x\nurl0=y\n", nullptr, "url0", true, "y"},
      {"blanks around the =", "CONNECTED CLIENTS   =   703\n", nullptr, "CONNECTED CLIENTS", true, "703"},
      {"trailing blanks of the value kept", "k =  v  \r\n", nullptr, "k", true, "v  "},
      {"leading blanks of the name kept", " k=v\n", nullptr, "k", false, ""},
      {"tab is not a blank", "k\t=v\n", nullptr, "k", false, ""},
      {"an empty name answers any key", "= 5\nk=x\n", nullptr, "k", true, "5"},
      {"value cut to 511 characters", "k=" + std::string(600, 'v'), nullptr, "k", true, std::string(511, 'v')},
      {"section", "k=outside\n!GENERAL:\nk=inside\n", "!GENERAL", "k", true, "inside"},
      {"section search ends at the next ! line", "!GENERAL\nx=1\n!CLIENTS\nk=v\n", "!GENERAL", "k", false, ""},
      {"the header line itself is not a key line", "!GENERAL k=v\nx\n", "!GENERAL", "k", false, ""},
      {"blank CR LF line inside a section", "!GENERAL\r\n\r\nk = 1\r\n", "!GENERAL", "k", true, "1"},
  };
  for (const auto& c : cases) {
    std::string value = "untouched";
    ASSERT_EQ(FindKey(c.text, c.section, c.key, value), c.found) << c.name;
    EXPECT_EQ(value, c.found ? c.value : "untouched") << c.name;
  }
}

// "%u", "%hu" and "%lf" as sscanf reads them, and the frequency field.
TEST(ScanNumbers, AsSscanfReadsThem) {
  const struct { const char* text; std::uint32_t u; std::uint16_t hu; double lf; } cases[] = {
      {"703", 703, 703, 703},         {"abc", 0, 0, 0},        {"\t\r\n 9", 9, 9, 9},
      {"+7", 7, 7, 7},                {"12abc", 12, 12, 12},
      {"-1", 4294967295u, 65535, -1}, {"70000", 70000, 4464, 70000},
      {"0x1A", 0, 0, 26},             {"1e3", 1, 1, 1000},     {"51,1480560302734", 51, 51, 51},
      {"834618.396088554", 834618, 48186, 834618.396088554},  // halfway after a 64-bit rounding
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanUnsigned(c.text), c.u) << '"' << c.text << '"';
    EXPECT_EQ(ScanUnsigned16(c.text), c.hu) << '"' << c.text << '"';
    EXPECT_EQ(ScanDouble(c.text), c.lf) << '"' << c.text << '"';
  }
  EXPECT_TRUE(std::signbit(ScanDouble("-0.000")));
  EXPECT_TRUE(std::isnan(ScanDouble("nan")));

  // The third decimal is dropped; "1181.00" is "118" + ".0" (the dot is not looked for);
  // "-18.100" is "-1810" read with "%hu".
  const std::pair<const char*, std::uint16_t> frequencies[] = {{"118.100", 11810}, {"123.455", 12345}, {"118.1", 1181},
      {"", 0}, {"1181.00", 118}, {"-18.100", 63726}, {"655.36", 0}};
  for (const auto& [field, frequency] : frequencies) EXPECT_EQ(ScanFrequency(field), frequency) << field;
}

}  // namespace
}  // namespace hv
