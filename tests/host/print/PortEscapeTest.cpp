// The port printer's settings as typed: escape sequences, the replacement
// character and the characters per line.
#include <gtest/gtest.h>

#include <string>

#include "host/print/PortEscape.h"

TEST(PortEscape, ParsesCodesAndRefusesEverythingElse) {
  struct Case {
    std::string text;
    bool ok;
    EscapeSequence codes;
  };
  const Case cases[] = {
      {"27/105", false, {}},        // the first code lacks its slash
      {"/27/x", false, {}},
      {"//", false, {}},
      {"/", false, {}},
      {"/27/", false, {}},          // a trailing slash names no code
      {"/27//105", false, {}},
      {"/65536", false, {}},
      {"/99999999999999999999", false, {}},  // must not wrap around
      {"/-1", false, {}},
      {"/27;", false, {}},
      {"/" + std::string(79, '0'), true, {0}},             // 80 characters
      {"/" + std::string(80, '0'), false, {}},             // 81 characters
      {"", true, {}},
      {"   ", true, {}},
      {"/27/105", true, {27, 105}},
      {" / 27 /\t105 ", true, {27, 105}},
      {"/0/65535", true, {0, 65535}},
      {"/007", true, {7}},
      {"/27 105", true, {27105}},   // blanks are ignored, even inside a code
  };
  for (const Case& c : cases) {
    std::optional<EscapeSequence> got = ParseEscapeSequence(c.text);
    ASSERT_EQ(got.has_value(), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(*got, c.codes) << '"' << c.text << '"';
    }
  }
}

TEST(PortEscape, ReplacementCharacterIsExactlyTwoHexDigits) {
  struct Case {
    const char* text;
    int byte;  // -1: refused
  };
  const Case cases[] = {
      {"3", -1}, {"G0", -1}, {"", -1}, {"3F0", -1}, {" 3F", -1}, {"3 ", -1}, {"0x", -1},
      {"3F", 0x3F}, {"00", 0x00}, {"FF", 0xFF}, {"A0", 0xA0}, {"3f", 0x3F}, {"9a", 0x9A},
  };
  for (const Case& c : cases) {
    std::optional<uint8_t> got = ParseReplacementCharacter(c.text);
    if (c.byte < 0) {
      EXPECT_FALSE(got.has_value()) << c.text;
    } else {
      ASSERT_TRUE(got.has_value()) << c.text;
      EXPECT_EQ(*got, c.byte) << c.text;
    }
  }
}

TEST(PortEscape, CharactersPerLineIsAPositiveNumber) {
  struct Case {
    const char* text;
    int value;  // -1: refused
  };
  const Case cases[] = {
      {"", -1}, {"  ", -1}, {"abc", -1}, {"40x", -1}, {"-40", -1}, {"+40", -1}, {"4 0", -1},
      {"0", -1}, {"32768", -1}, {"99999999999", -1},
      {"40", 40}, {" 42 ", 42}, {"1", 1}, {"032", 32}, {"32767", 32767},
  };
  for (const Case& c : cases) {
    std::optional<int> got = ParseCharactersPerLine(c.text);
    if (c.value < 0) {
      EXPECT_FALSE(got.has_value()) << c.text;
    } else {
      ASSERT_TRUE(got.has_value()) << c.text;
      EXPECT_EQ(*got, c.value) << c.text;
    }
  }
}
