// AcqRenewPeriod: one subscription period added to a date. Renewals move a
// line's next renewal date and each copy's begin and end dates on by the
// period of the line's PO (its subscription_period row: a unit and how many
// of it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/db/DbDabs.h"

namespace acq::AcqRenewPeriod {

// Units of subscription_period.unit: 0 years, 1 months; 2 and every other
// value count days.
enum class Unit : int { Years = 0, Months = 1, Days = 2 };

struct Period {
  int unit = static_cast<int>(Unit::Days);
  int32_t increment = 0;
};

// The highest day number a date may take (0xFFFF is "no date").
inline constexpr int64_t kLastDay = 0xFFFE;

// `date` moved on by one `period`; nullopt when the result is not a date:
// - days: date + increment outside 0..kLastDay (computed in 64 bits);
// - months: the day is lowered to the length of the new month (31 January
//   + 1 month is the last day of February), nullopt only out of range;
// - years: month and day kept, so 29 February into a year that is not a
//   leap year is nullopt (12 months from it gives 28 February).
// kNoDate is never moved (nullopt).
std::optional<DayNum> AddPeriod(const Period& period, DayNum date);

// The row of subscription period `code`. Found: true with `period`. No such
// row: false, `found` false, nothing reported. A database failure is
// reported through HandleDbError and gives false with `found` false too;
// `failed` tells the two apart.
struct Lookup {
  bool found = false;
  bool failed = false;
  Period period{};
};
Lookup LoadPeriod(std::string_view code);

// LoadPeriod then AddPeriod: nullopt for a code without a row, a failed
// read (reported) or an invalid result.
std::optional<DayNum> AddPeriodByCode(std::string_view code, DayNum date);

}  // namespace acq::AcqRenewPeriod
