// Subscription periods added to dates: months that are shorter, year ends,
// leap days and the ends of the day range.
#include <gtest/gtest.h>

#include "../DbActFixture.h"
#include "acq/renewal/AcqRenewPeriod.h"

namespace {

namespace period = acq::AcqRenewPeriod;

DayNum Day(int year, int month, int day) {
  DayNum d = 0;
  EXPECT_TRUE(DbDabs_MDYToDate(month, day, year, d)) << year << "-" << month << "-" << day;
  return d;
}

TEST(AcqRenewPeriod, AddsOnePeriod) {
  struct Case {
    const char* note;
    int unit, increment;
    DayNum from;
    std::optional<DayNum> expected;
  };
  const Case cases[] = {
      // Failures first.
      {"29 Feb + 1 year has no such day", 0, 1, Day(2028, 2, 29), std::nullopt},
      {"days past the last day number", 2, 10, static_cast<DayNum>(period::kLastDay - 5),
       std::nullopt},
      {"days before day 0", 2, -11, 10, std::nullopt},
      {"no date is never moved", 1, 1, kNoDate, std::nullopt},
      {"years out of the calendar", 0, 100000, Day(2026, 1, 1), std::nullopt},
      // Months cap the day at the new month's length.
      {"31 Jan + 1 month, common year", 1, 1, Day(2027, 1, 31), Day(2027, 2, 28)},
      {"31 Jan + 1 month, leap year", 1, 1, Day(2028, 1, 31), Day(2028, 2, 29)},
      {"31 Dec + 1 month", 1, 1, Day(2026, 12, 31), Day(2027, 1, 31)},
      {"15 Dec + 12 months", 1, 12, Day(2026, 12, 15), Day(2027, 12, 15)},
      {"15 Dec + 24 months", 1, 24, Day(2026, 12, 15), Day(2028, 12, 15)},
      {"29 Feb + 12 months caps to 28 Feb", 1, 12, Day(2028, 2, 29), Day(2029, 2, 28)},
      {"31 Aug + 6 months", 1, 6, Day(2026, 8, 31), Day(2027, 2, 28)},
      {"30 Nov + 3 months crosses the year", 1, 3, Day(2026, 11, 30), Day(2027, 2, 28)},
      {"31 Mar - 1 month", 1, -1, Day(2027, 3, 31), Day(2027, 2, 28)},
      // Years keep month and day.
      {"1 Jan + 1 year", 0, 1, Day(2026, 1, 1), Day(2027, 1, 1)},
      {"29 Feb + 4 years", 0, 4, Day(2028, 2, 29), Day(2032, 2, 29)},
      // Days; "any other unit" counts days as well.
      {"a week", 2, 7, Day(2026, 12, 28), Day(2027, 1, 4)},
      {"unit 9 counts days", 9, 1, Day(2026, 12, 31), Day(2027, 1, 1)},
      {"onto the last day number", 2, 5, static_cast<DayNum>(period::kLastDay - 5),
       static_cast<DayNum>(period::kLastDay)},
  };
  for (const Case& c : cases) {
    const auto got = period::AddPeriod(period::Period{c.unit, c.increment}, c.from);
    EXPECT_EQ(got, c.expected) << c.note;
  }
}

TEST(AcqRenewPeriod, ReadsThePeriodByItsCode) {
  acttest::ActModule m;
  EXPECT_EQ(period::AddPeriodByCode("SEMIANNUAL", Day(2026, 8, 31)), Day(2027, 2, 28));
  EXPECT_EQ(period::AddPeriodByCode("WEEKLY", Day(2026, 12, 28)), Day(2027, 1, 4));
  const auto missing = period::LoadPeriod("NO SUCH");
  EXPECT_FALSE(missing.found);
  EXPECT_FALSE(missing.failed);
  EXPECT_EQ(period::AddPeriodByCode("NO SUCH", Day(2026, 1, 1)), std::nullopt);
  EXPECT_EQ(period::AddPeriodByCode("O'HARA", Day(2026, 1, 1)), std::nullopt);   // quoted
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

}  // namespace
