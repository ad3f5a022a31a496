// Day numbers, date texts and times.
#include <gtest/gtest.h>

#include "host/db/DbDabs.h"

TEST(DbDabs, DayNumbersAcrossTheWholeRange) {
  struct Case { int y, m, d; DayNum day; };
  const Case cases[] = {
      {1900, 1, 1, 0},
      {1900, 2, 28, 58},
      {1900, 3, 1, 59},       // 1900 is no leap year
      {1901, 1, 1, 365},
      {1970, 1, 1, 25567},
      {2000, 2, 29, 36583},   // 2000 is one
      {2000, 3, 1, 36584},
      {2026, 3, 1, 46080},
      {2079, 6, 6, 65535},    // the last day (and the no-date value)
  };
  for (const Case& c : cases) {
    DayNum day = 1;
    ASSERT_TRUE(DbDabs_MDYToDate(c.m, c.d, c.y, day)) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(day, c.day) << c.y << "-" << c.m << "-" << c.d;
    int m = 0, d = 0, y = 0;
    DbDabs_DateToMDY(c.day, m, d, y);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d) << c.day;
  }
  DayNum day = 7;
  EXPECT_FALSE(DbDabs_MDYToDate(2, 29, 1900, day));
  EXPECT_FALSE(DbDabs_MDYToDate(12, 31, 1899, day));
  EXPECT_FALSE(DbDabs_MDYToDate(6, 7, 2079, day));
  EXPECT_FALSE(DbDabs_MDYToDate(13, 1, 2000, day));
  EXPECT_EQ(day, 7);
  EXPECT_EQ(DbDabs_DaysPerMonth(2, 2024), 29);
  EXPECT_EQ(DbDabs_DaysPerMonth(2, 2100), 28);
}

TEST(DbDabs, DateTextsInAndOut) {
  struct Case { const char* text; bool ok; const char* back; };
  const Case cases[] = {
      {"2026-03-01", true, "2026-03-01"},
      {"20260301", true, "2026-03-01"},
      {"3/1/2026", true, "2026-03-01"},
      {"12/31/1999", true, "1999-12-31"},
      {" 2000-2-29 ", true, "2000-02-29"},
      {"2026-02-30", false, ""},
      {"1899-12-31", false, ""},
      {"2026/03/01", false, ""},
      {"2026-03-01x", false, ""},
      {"", false, ""},
      {"3/1/26", false, ""},
  };
  for (const Case& c : cases) {
    DayNum day = 0;
    EXPECT_EQ(DbDabs_StrToDate(c.text, day), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(DbDabs_DateToStr(day), c.back) << c.text;
    }
  }
  EXPECT_EQ(DbDabs_DateToStr(kNoDate), "");
  EXPECT_EQ(DbDabs_TimeToStr(0), "00:00");
  EXPECT_EQ(DbDabs_TimeToStr(1439), "23:59");
  EXPECT_EQ(DbDabs_TimeToStr(1440), "");
  DayNum today = kNoDate;
  MinuteOfDay now = 9999;
  DbDabs_GetDateTime(today, now);
  EXPECT_GT(today, 45000);   // after 2023
  EXPECT_LT(now, 1440);
}
