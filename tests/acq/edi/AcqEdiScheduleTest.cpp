// When an upload starts, from the Start Time and Start Date entries and the
// clock: refusals with the field to go back to, and the 12-hour question in
// both directions around midnight.
#include <gtest/gtest.h>

#include "acq/edi/AcqEdiSchedule.h"

namespace {

using acq::AcqEdiSchedule::Decide;
using acq::AcqEdiSchedule::Entries;
using acq::AcqEdiSchedule::Field;
using Kind = acq::AcqEdiSchedule::Outcome::Kind;

DayNum Day(int year, int month, int day) {
  DayNum d = kNoDate;
  EXPECT_TRUE(DbDabs_MDYToDate(month, day, year, d));
  return d;
}

constexpr MinuteOfDay At(int hour, int minute) {
  return static_cast<MinuteOfDay>(hour * 60 + minute);
}

TEST(AcqEdiSchedule, DecidesTheStartFromEntriesAndClock) {
  const DayNum today = Day(2026, 12, 6);
  struct Case {
    const char* time;
    const char* date;
    bool pm;
    bool clock24;
    MinuteOfDay now;
    Kind kind;
    int dayOffset;        // Scheduled: days after today
    MinuteOfDay start;    // Scheduled: the minute
    int message;          // 0, 312, 313, 314 (asked) or 315
    Field focus;
  };
  const Case cases[] = {
      // Refusals first; a date without a time starts at once all the same.
      {"", "", false, true, At(10, 0), Kind::Now, 0, 0, 0, Field::None},
      {"  ", "not a date", false, true, At(10, 0), Kind::Now, 0, 0, 0, Field::None},
      {"25:00", "", false, true, At(10, 0), Kind::Refused, 0, 0, 312, Field::Time},
      {"ten", "2026-12-07", false, true, At(10, 0), Kind::Refused, 0, 0, 312, Field::Time},
      {"11:00", "2026-13-01", false, true, At(10, 0), Kind::Refused, 0, 0, 313, Field::Date},
      {"11:00", "2026-12-05", false, true, At(10, 0), Kind::Refused, 0, 0, 315, Field::Time},
      {"09:59", "2026-12-06", false, true, At(10, 0), Kind::Refused, 0, 0, 315, Field::Time},
      // Without a date, later today: asked from 720 minutes ahead.
      {"10:00", "", false, true, At(10, 0), Kind::Scheduled, 0, At(10, 0), 0, Field::None},
      {"21:59", "", false, true, At(10, 0), Kind::Scheduled, 0, At(21, 59), 0, Field::None},
      {"22:00", "", false, true, At(10, 0), Kind::Scheduled, 0, At(22, 0), 314, Field::Time},
      {"23:00", "", false, true, At(10, 0), Kind::Scheduled, 0, At(23, 0), 314, Field::Time},
      // Earlier on the clock: tomorrow, asked while it is 720 minutes or
      // less before now (so 12 hours or more ahead).
      {"09:59", "", false, true, At(10, 0), Kind::Scheduled, 1, At(9, 59), 314, Field::Time},
      {"10:00", "", false, true, At(22, 0), Kind::Scheduled, 1, At(10, 0), 314, Field::Time},
      {"10:00", "", false, true, At(22, 1), Kind::Scheduled, 1, At(10, 0), 0, Field::None},
      // A 12-hour clock: PM moves 1-11 to the afternoon, 12 AM is midnight;
      // a 24-hour clock ignores the PM button.
      {"11:00", "", true, false, At(10, 0), Kind::Scheduled, 0, At(23, 0), 314, Field::Time},
      {"11:00", "", false, false, At(10, 0), Kind::Scheduled, 0, At(11, 0), 0, Field::None},
      {"12:30", "", false, false, At(10, 0), Kind::Scheduled, 1, At(0, 30), 314, Field::Time},
      {"12:30", "", true, false, At(10, 0), Kind::Scheduled, 0, At(12, 30), 0, Field::None},
      {"11:00", "", true, true, At(10, 0), Kind::Scheduled, 0, At(11, 0), 0, Field::None},
      // With a date: the current minute is not past, and never a question.
      {"10:00", "2026-12-06", false, true, At(10, 0), Kind::Scheduled, 0, At(10, 0), 0,
       Field::None},
      {"23:30", "2026-12-06", false, true, At(10, 0), Kind::Scheduled, 0, At(23, 30), 0,
       Field::None},
      {"08:00", "12/25/2026", false, true, At(10, 0), Kind::Scheduled, 19, At(8, 0), 0,
       Field::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.time) + " | " + c.date + (c.pm ? " PM" : "") +
                 (c.clock24 ? " (24h)" : " (12h)") + " at minute " + std::to_string(c.now));
    const auto o = Decide(Entries{c.time, c.date, c.pm}, today, c.now, c.clock24);
    EXPECT_EQ(o.kind, c.kind);
    EXPECT_EQ(o.message, c.message);
    EXPECT_EQ(o.focus, c.focus);
    if (c.kind == Kind::Scheduled) {
      EXPECT_EQ(o.date, today + c.dayOffset);
      EXPECT_EQ(o.time, c.start);
    }
    if (c.message == 312) {
      EXPECT_EQ(o.arg, c.time);
    }
    if (c.message == 313) {
      EXPECT_EQ(o.arg, c.date);
    }
  }
}

// The last day a day number holds has no tomorrow: refused, not wrapped.
TEST(AcqEdiSchedule, NoTomorrowAfterTheLastDay) {
  const DayNum last = kNoDate - 1;
  const auto o = Decide(Entries{"09:00", "", false}, last, At(10, 0), true);
  EXPECT_EQ(o.kind, Kind::Refused);
  EXPECT_EQ(o.message, 315);
}

}  // namespace
