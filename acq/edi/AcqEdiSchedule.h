// AcqEdiSchedule: when an upload of EDIFACT files starts, decided from what
// the person typed into Start Time and Start Date and the clock. Pure: the
// dialog shows the outcome's message and puts the cursor where it says.
#pragma once

#include <string>

#include "host/db/DbDabs.h"

namespace acq::AcqEdiSchedule {

// The selection dialog's entries, as typed.
struct Entries {
  std::string time;   // "" starts at once
  std::string date;   // "" today or tomorrow, whichever comes first
  bool pm = false;    // the PM radio (ignored on a 24-hour workstation)
};

// Which field the cursor goes back to after a refusal or a No.
enum class Field { None, Time, Date };

struct Outcome {
  enum class Kind {
    Now,         // no schedule
    Scheduled,   // start at `date`/`time`
    Refused,     // `message` told, nothing starts
  } kind = Kind::Now;
  DayNum date = kNoDate;   // Scheduled: the start
  MinuteOfDay time = 0;
  // Refused: 312 (bad time), 313 (bad date) or 315 (not in the future),
  // each with `arg` as "%1". Scheduled: 314 when the person must first
  // confirm a start 12 hours or more away (No returns to `focus`), else 0.
  int message = 0;
  std::string arg;
  Field focus = Field::None;
};

// A start this many minutes away or more is confirmed first (same day);
// the day after, a start at most this many minutes earlier than now on the
// clock is.
constexpr int kFarAheadMinutes = 720;

inline constexpr int kMsgBadTime = 312;
inline constexpr int kMsgBadDate = 313;
inline constexpr int kMsgFarAhead = 314;
inline constexpr int kMsgNotFuture = 315;

// The start for `entries` at `today`/`now` on a workstation whose clock is
// 24-hour (`clock24`, AM/PM then ignored). Never asks or shows anything.
Outcome Decide(const Entries& entries, DayNum today, MinuteOfDay now, bool clock24);

}  // namespace acq::AcqEdiSchedule
