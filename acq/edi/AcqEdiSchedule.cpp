// AcqEdiSchedule: the start of an upload from the dialog's entries and the
// clock. The upload thread waits for the minute chosen here.
#include "acq/edi/AcqEdiSchedule.h"

namespace acq::AcqEdiSchedule {
namespace {

Outcome Refuse(int message, std::string arg, Field focus) {
  Outcome o;
  o.kind = Outcome::Kind::Refused;
  o.message = message;
  o.arg = std::move(arg);
  o.focus = focus;
  return o;
}

Outcome Schedule(DayNum date, MinuteOfDay time, bool confirm) {
  Outcome o;
  o.kind = Outcome::Kind::Scheduled;
  o.date = date;
  o.time = time;
  if (confirm) {
    o.message = kMsgFarAhead;
    o.focus = Field::Time;
  }
  return o;
}

bool Blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

}  // namespace

Outcome Decide(const Entries& entries, DayNum today, MinuteOfDay now, bool clock24) {
  if (Blank(entries.time)) return Outcome{};
  MinuteOfDay time = 0;
  if (!DbDabs_StrToTime(entries.time, !clock24 && entries.pm, !clock24, time))
    return Refuse(kMsgBadTime, entries.time, Field::Time);
  if (!Blank(entries.date)) {
    DayNum date = kNoDate;
    if (!DbDabs_StrToDate(entries.date, date))
      return Refuse(kMsgBadDate, entries.date, Field::Date);
    // The current minute itself is not in the past: the thread starts at once.
    if (date < today || (date == today && time < now))
      return Refuse(kMsgNotFuture, {}, Field::Time);
    return Schedule(date, time, false);
  }
  if (time >= now) return Schedule(today, time, time - now >= kFarAheadMinutes);
  // Earlier on the clock than now: that time tomorrow, the last day a day
  // number holds excepted.
  if (today + 1 >= kNoDate) return Refuse(kMsgNotFuture, {}, Field::Time);
  return Schedule(static_cast<DayNum>(today + 1), time, now - time <= kFarAheadMinutes);
}

}  // namespace acq::AcqEdiSchedule
