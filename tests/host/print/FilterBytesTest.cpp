// The print filter: the bytes a port printer gets for text and escape codes.
#include <gtest/gtest.h>

#include <string>

#include "host/print/PrintFilter.h"

TEST(PrintFilter, KeepsAsciiAndLatin1ReplacesTheRest) {
  struct Case {
    const char* note;
    std::string utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {"ascii", "Title: Moby-Dick ~1851", "Title: Moby-Dick ~1851"},
      {"latin-1 as single bytes", "Caf\u00e9 \u00a3 \u00ff", "Caf\xe9 \xa3 \xff"},
      {"no-break space is printable", "\u00a0", "\xa0"},
      {"CJK", "\u6f22\u5b57!", "##!"},
      {"emoji is one character", "a\U0001F600b", "a#b"},
      {"controls and DEL", "a\tb\nc\x7f", "a#b#c#"},
      {"C1 control", "\u0085", "#"},
      {"euro sign is beyond Latin-1", "\u20ac5", "#5"},
      {"stray continuation byte", "a\x80z", "a#z"},
      {"truncated sequence", "a\xc3", "a#"},
      {"overlong slash", "\xc0\xaf", "##"},
      {"surrogate", "\xed\xa0\x80", "###"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DbFilter_StrPrintFilter(c.utf8, '#'), c.bytes) << c.note;
  }
}

TEST(PrintFilter, EscapeCodesGoOutRawAndUnfiltered) {
  PortText text;
  text.AppendEscape({27, 105, 0, 10, 127, 0x85, 0xE9, 300});
  text.AppendText("\u00e9\n");
  EXPECT_EQ(text.CharCount(), 10u);
  // 0x85 and 127 would be replaced as text; 0xE9 is one byte, not UTF-8;
  // 300 is two bytes, low first.
  static constexpr char kExpected[] =
      "\x1b" "i" "\x00" "\n" "\x7f" "\x85" "\xe9" "\x2c\x01" "\xe9" "?";
  EXPECT_EQ(DbFilter_StrPrintFilter(text, '?'), std::string(kExpected, sizeof kExpected - 1));
}

TEST(PrintFilter, OutputStopsAt16000BytesWithoutSplittingACode) {
  std::string big(20000, 'x');
  EXPECT_EQ(DbFilter_StrPrintFilter(big, '?'), std::string(16000, 'x'));

  PortText text;
  text.AppendText(std::string(15999, 'y'));
  text.AppendEscape({0x1234, 7});  // two bytes would pass the cap: neither goes
  std::string out = DbFilter_StrPrintFilter(text, '?');
  EXPECT_EQ(out, std::string(15999, 'y'));
}
