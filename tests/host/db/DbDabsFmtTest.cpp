// Dates in the pictures of file names and printed forms.
#include <gtest/gtest.h>

#include "host/db/DbDabs.h"

TEST(DbDabsFmt, FileNameAndChequeDatePictures) {
  struct Case { int y, m, d; const char* file; const char* cheque; };
  const Case cases[] = {
      {2026, 12, 6, "Dec062026", "Dec 06 26"},
      {2026, 1, 1, "Jan012026", "Jan 01 26"},
      {1999, 12, 31, "Dec311999", "Dec 31 99"},
      {2024, 2, 29, "Feb292024", "Feb 29 24"},   // leap day
      {2000, 5, 17, "May172000", "May 17 00"},   // two-digit year keeps its zero
      {2079, 6, 5, "Jun052079", "Jun 05 79"},    // the last day before the no-date value
  };
  for (const Case& c : cases) {
    DayNum day = kNoDate;
    ASSERT_TRUE(DbDabs_MDYToDate(c.m, c.d, c.y, day)) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(DbDabs_DateToStrFmt(day, "MMMddyyyy"), c.file);
    EXPECT_EQ(DbDabs_DateToStrFmt(day, "MMM dd yy"), c.cheque);
  }
  DayNum day = kNoDate;
  ASSERT_TRUE(DbDabs_MDYToDate(7, 4, 2026, day));
  EXPECT_EQ(DbDabs_DateToStrFmt(day, "yyyy-MM-dd (M/d)"), "2026-07-04 (M/d)");
  EXPECT_EQ(DbDabs_DateToStrFmt(day, ""), "");
  // No date: nothing at all, whatever the picture.
  EXPECT_EQ(DbDabs_DateToStrFmt(kNoDate, "MMMddyyyy"), "");
  EXPECT_EQ(DbDabs_DateToStrFmt(kNoDate, "MMM dd yy"), "");
}
