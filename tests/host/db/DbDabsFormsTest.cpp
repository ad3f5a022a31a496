// The fixed date and time forms of exchanged files, and typed times.
#include <gtest/gtest.h>

#include "host/db/DbDabs.h"

namespace {

DayNum Day(int y, int m, int d) {
  DayNum day = kNoDate;
  EXPECT_TRUE(DbDabs_MDYToDate(m, d, y, day)) << y << "-" << m << "-" << d;
  return day;
}

}  // namespace

TEST(DbDabsForms, DatesReadAndWrittenBothWays) {
  struct Case { const char* yymmdd; const char* ccyymmdd; int y, m, d; };
  const Case cases[] = {
      {"261206", "20261206", 2026, 12, 6},
      {"000101", "20000101", 2000, 1, 1},
      {"491231", "20491231", 2049, 12, 31},   // last year of the window's 20xx
      {"500101", "19500101", 1950, 1, 1},     // first year of its 19xx
      {"991231", "19991231", 1999, 12, 31},
      {"240229", "20240229", 2024, 2, 29},    // leap day
  };
  for (const Case& c : cases) {
    DayNum want = Day(c.y, c.m, c.d);
    DayNum got = kNoDate;
    EXPECT_TRUE(DbDabs_YYMMDDToDate(c.yymmdd, got)) << c.yymmdd;
    EXPECT_EQ(got, want) << c.yymmdd;
    got = kNoDate;
    EXPECT_TRUE(DbDabs_CCYYMMDDToDate(c.ccyymmdd, got)) << c.ccyymmdd;
    EXPECT_EQ(got, want) << c.ccyymmdd;
    EXPECT_EQ(DbDabs_DateToYYMMDD(want), c.yymmdd);
    EXPECT_EQ(DbDabs_DateToCCYYMMDD(want), c.ccyymmdd);
  }
  EXPECT_EQ(DbDabs_DateToYYMMDD(kNoDate), "");
  EXPECT_EQ(DbDabs_DateToCCYYMMDD(kNoDate), "");
}

TEST(DbDabsForms, TextThatIsNotExactlyTheFormIsRefusedAndLeavesTheDate) {
  const char* badShort[] = {"", "26120", "2612060", "26-12-06", "261306", "260230", "230229",
                            " 61206", "+61206", "26120x"};
  for (const char* text : badShort) {
    DayNum got = 7;
    EXPECT_FALSE(DbDabs_YYMMDDToDate(text, got)) << '"' << text << '"';
    EXPECT_EQ(got, 7) << text;
  }
  const char* badLong[] = {"", "2026126", "202612061", "2026-12-06", "18991231", "20790607",
                           "20261300", "20261200", "2026120 "};
  for (const char* text : badLong) {
    DayNum got = 7;
    EXPECT_FALSE(DbDabs_CCYYMMDDToDate(text, got)) << '"' << text << '"';
    EXPECT_EQ(got, 7) << text;
  }
}

TEST(DbDabsForms, HHMM) {
  struct Case { const char* text; bool ok; int minute; };
  const Case cases[] = {
      {"0000", true, 0},   {"0930", true, 570}, {"2359", true, 1439}, {"1200", true, 720},
      {"2400", false, 0},  {"0960", false, 0},  {"930", false, 0},    {"09:30", false, 0},
      {"", false, 0},      {"-930", false, 0},  {"09300", false, 0},
  };
  for (const Case& c : cases) {
    MinuteOfDay got = 9999;
    EXPECT_EQ(DbDabs_HHMMToTime(c.text, got), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(got, c.minute) << c.text;
      EXPECT_EQ(DbDabs_TimeToHHMM(got), c.text);
    } else {
      EXPECT_EQ(got, 9999) << c.text;
    }
  }
  EXPECT_EQ(DbDabs_TimeToHHMM(24 * 60), "");
}

TEST(DbDabsForms, TypedTimesOnBothClocks) {
  struct Case { const char* text; bool pm, twelveHour; int minute; };   // -1: refused
  const Case cases[] = {
      // 24-hour clock.
      {"14:30", false, false, 14 * 60 + 30},
      {"2:30", false, false, 2 * 60 + 30},
      {"1430", false, false, 14 * 60 + 30},
      {"930", false, false, 9 * 60 + 30},
      {"9", false, false, 9 * 60},
      {" 0:05 ", false, false, 5},
      {"12", false, false, 12 * 60},
      {"0", false, false, 0},
      // 12-hour clock, morning: 12 is midnight.
      {"12:15", false, true, 15},
      {"11:59", false, true, 11 * 60 + 59},
      {"9", false, true, 9 * 60},
      // 12-hour clock, afternoon: 12 stays noon, 1-11 move on by 12 hours.
      {"12:15", true, true, 12 * 60 + 15},
      {"2:30", true, true, 14 * 60 + 30},
      {"11", true, true, 23 * 60},
      {"14:30", true, true, 14 * 60 + 30},   // already afternoon
      // Not times.
      {"", false, false, -1},
      {"24:00", false, false, -1},
      {"9:60", false, false, -1},
      {"9:5", false, false, -1},
      {"123:00", false, false, -1},
      {"12345", false, false, -1},
      {"ab", false, false, -1},
      {"9 30", false, false, -1},
      {"-1", false, false, -1},
      {":30", false, false, -1},
  };
  for (const Case& c : cases) {
    MinuteOfDay got = 9999;
    bool ok = DbDabs_StrToTime(c.text, c.pm, c.twelveHour, got);
    EXPECT_EQ(ok, c.minute >= 0) << '"' << c.text << "\" pm=" << c.pm;
    if (ok && c.minute >= 0) {
      EXPECT_EQ(got, c.minute) << c.text << " pm=" << c.pm;
    }
  }
}
