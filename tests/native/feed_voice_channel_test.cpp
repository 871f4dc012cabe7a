// The voice channel search in a VATSIM controller's information text: rule by rule, and
// against the plain search on random texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "feed/portable/ClientsParser.h"
#include "fuzz/SlowStationTable.h"

namespace hv {
namespace {

AtcStation Station(const char* callsign, std::uint16_t frequency) {
  AtcStation s;
  std::memset(&s, 0, sizeof s);
  std::strncpy(s.callsign, callsign, sizeof s.callsign - 1);
  s.frequency = frequency;
  return s;
}

TEST(ExtractVoiceChannel, TokenRules) {
  const std::string h120(120, 'h');
  const std::string H120(120, 'H');
  const struct {
    const char* name;
    const char* callsign;
    std::uint16_t frequency;
    std::string info;
    std::string channel;  // empty: none found
  } cases[] = {
      // host names
      {"host name token", "EDDF_TWR", 11990, "A.B.C/EDDF_TWR", "A.B.C/EDDF_TWR"},
      {"upper-cased", "NONE_CTR", 11990, "$ rw.liveatc.net/czwg_ctr", "RW.LIVEATC.NET/CZWG_CTR"},
      {"host token ends before ^", "NONE_CTR", 11990, "rw.a.net/chan^\xA7more", "RW.A.NET/CHAN"},
      {"... before a blank", "NONE_CTR", 11990, "rw.a.net/ch an", "RW.A.NET/CH"},
      {"... before a comma", "NONE_CTR", 11990, "rw.a.net/ch,an", "RW.A.NET/CH"},
      {"... before a colon", "NONE_CTR", 11990, "rw.a.net/ch:an", "RW.A.NET/CH"},
      {"... before 0xA7", "NONE_CTR", 11990, "rw.a.net/ch\xA7" "an", "RW.A.NET/CH"},
      {"... at the end of the text", "NONE_CTR", 11990, "rw.a.net/ch/an", "RW.A.NET/CH/AN"},
      {"a / at the text's end ends its own token", "NONE_CTR", 11990, "rw.a.net/", "RW.A.NET/"},
      {"two dots in a row: no host", "NONE_CTR", 11990, "A..B.C/X", ""},
      {"a hyphen is no letter or digit", "NONE_CTR", 11990, "A-B.C.D/X", ""},
      {"one dot is not enough", "NONE_CTR", 11990, "vats.im/omae", ""},
      {"leading and trailing dots are allowed", "NONE_CTR", 11990, ".a.b./x", ".A.B./X"},
      {"non-ASCII byte is no letter", "NONE_CTR", 11990, "h\xE9.a.b/x", ""},
      {"a / before it spoils the host name", "NONE_CTR", 11990, "//www.x.org/contact", ""},
      // frequency
      {"frequency token without dots", "EDDF_TWR", 12345, "xyz/123.450", "XYZ/123.450"},
      {"frequency token ends after 7 characters", "NONE_CTR", 12345, "voice/123.450abc", "VOICE/123.450"},
      {"short frequency text matches at the end of the text", "NONE_CTR", 9900, "a/99.000", "A/99.000"},
      {"... but not when more follows", "NONE_CTR", 9900, "a/99.000 b", ""},
      {"frequency 0 is 0.000", "NONE_CTR", 0, "a/0.000", "A/0.000"},
      {"/ right after a separator starts its token", "NONE_CTR", 12345, "tune /123.450 now", "/123.450"},
      // callsign
      {"callsign token without dots", "LOWW_DEL", 12212, "$ vacc-aut/loww_del", "VACC-AUT/LOWW_DEL"},
      {"callsign token ends with the callsign", "EDDF_TWR", 11990, "rw.a.net/eddf_twr_x", "RW.A.NET/EDDF_TWR"},
      {"callsign prefix is not enough", "EDDF_TWR", 11990, "a/eddf_tw", ""},
      {"NO VOICE/callsign", "LFFF_CTR", 12810, "NO VOICE/LFFF_CTR", "VOICE/LFFF_CTR"},
      {"an empty callsign begins every text", "", 11990, "abc/def", "ABC/"},
      {"frequency is tried before the callsign", "123.45", 12345, "a/123.450x", "A/123.450"},
      // separators and bytes
      {"UTF-8 section sign: the token starts after 0xA7", "NONE_CTR", 11990, "text^\xC2\xA7rw.a.net/c", "RW.A.NET/C"},
      {"0xC2 alone is no separator", "NONE_CTR", 11990, "\xC2rw.a.net/c", ""},
      {"only ASCII letters are upper-cased", "NONE_CTR", 11990, "rw.a.net/caf\xE9", "RW.A.NET/CAF\xE9"},
      {"first token wins", "NONE_CTR", 11990, "a.b.c/one b.c.d/two", "A.B.C/ONE"},
      {"no slash", "NONE_CTR", 11990, "Frankfurt Tower", ""},
      // length
      {"token of 128 characters is taken", "NONE_CTR", 11990, h120 + ".a.b/xyz", H120 + ".A.B/XYZ"},
      {"... starting 127 characters before its /", "NONE_CTR", 11990, "x " + std::string(123, 'h') + ".a.b/",
       std::string(123, 'H') + ".A.B/"},
      {"token of 129 characters is passed over, a later one taken", "NONE_CTR", 11990,
       h120 + ".a.b/xyzw c.d.e/ok", "C.D.E/OK"},
      {"a long frequency token is passed over too", "NONE_CTR", 12345, std::string(121, 'h') + "/123.450 a/123.450",
       "A/123.450"},
      {"the search goes on after the long token's /", "NONE_CTR", 11990, h120 + "a.b.c/d/x.y.z", ""},
      {"text is cut to 1023 characters", "NONE_CTR", 11990, std::string(1017, ' ') + "a.b.c/d", "A.B.C/"},
      {"nothing after the cut", "NONE_CTR", 11990, std::string(1018, ' ') + "a.b.c/d", ""},
  };
  for (const auto& c : cases) {
    AtcStation s = Station(c.callsign, c.frequency);
    EXPECT_EQ(ExtractVoiceChannel(s, c.info), !c.channel.empty()) << c.name;
    EXPECT_EQ(std::string(s.voiceChannel), c.channel) << c.name;
    for (std::size_t i = std::strlen(s.voiceChannel); i < sizeof s.voiceChannel; ++i) {
      ASSERT_EQ(s.voiceChannel[i], 0) << c.name << ": byte " << i << " written after the text";
    }
  }
}

// The search looks back at most 127 characters from a "/", reads the text without
// upper-casing it first and writes the frequency without printf; the plain search does
// none of that. Both must agree on any text.
TEST(ExtractVoiceChannel, SameAsThePlainSearchOnRandomTexts) {
  std::mt19937 random(17);
  const std::string pieces[] = {"/", "/", ".", ".", "a", "B", "7", " ", ",", "^", "\xA7", "\xC2",
                                "-", "eddf_twr", "EDDF_TWR", "118.100", "118.10", "99.000", "rw.liveatc.net",
                                "x.y.z", std::string(60, 'h'), std::string(130, 'q'), "\xE9"};
  const char* callsigns[] = {"EDDF_TWR", "", "A", "118.1"};
  const std::uint16_t frequencies[] = {11810, 9900, 0, 65535, 12345};
  for (int round = 0; round < 20000; ++round) {
    std::string info;
    for (int n = random() % 14; n > 0; --n) info += pieces[random() % (sizeof pieces / sizeof pieces[0])];
    if (random() % 8 == 0) info = std::string(1000 + random() % 30, 'w') + info;
    AtcStation fast = Station(callsigns[random() % 4], frequencies[random() % 5]);
    AtcStation plain = fast;
    const bool found = ExtractVoiceChannel(fast, info);
    ASSERT_EQ(found, slow::ExtractVoiceChannel(plain, info)) << info;
    ASSERT_EQ(std::memcmp(&fast, &plain, sizeof fast), 0) << info << " -> " << fast.voiceChannel;
  }
}

// The search writes the frequency text without printf; it must be what "%03.3f" gives.
TEST(FrequencyText, AsPrintfWritesItForEveryFrequency) {
  for (unsigned f = 0; f <= 65535; ++f) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%03.3f", f * 0.01);
    char text[16];
    const std::size_t length = FrequencyText(static_cast<std::uint16_t>(f), text);
    ASSERT_EQ(std::string(text, length), expected) << f;
  }
}

}  // namespace
}  // namespace hv
