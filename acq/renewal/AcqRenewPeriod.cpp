// AcqRenewPeriod: subscription period arithmetic on the host's day numbers.
#include "acq/renewal/AcqRenewPeriod.h"

#include "acq/db/AcqDbBase.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqRenewPeriod {
namespace {

std::optional<DayNum> FromMDY(int64_t month, int64_t day, int64_t year) {
  // DbDabs_MDYToDate takes ints: keep the year where an int surely holds it.
  if (year < 1 || year > 9999) return std::nullopt;
  DayNum out = 0;
  if (!DbDabs_MDYToDate(static_cast<int>(month), static_cast<int>(day), static_cast<int>(year),
                        out) ||
      out == kNoDate)
    return std::nullopt;
  return out;
}

std::string Quoted(std::string_view text) {
  std::string out;
  (void)_DbQuoteAppend(out, static_cast<int>(2 * text.size() + 2), text);
  return out;
}

}  // namespace

std::optional<DayNum> AddPeriod(const Period& period, DayNum date) {
  if (date == kNoDate) return std::nullopt;
  const int64_t n = period.increment;
  if (period.unit != static_cast<int>(Unit::Years) &&
      period.unit != static_cast<int>(Unit::Months)) {
    const int64_t result = static_cast<int64_t>(date) + n;
    if (result < 0 || result > kLastDay) return std::nullopt;
    return static_cast<DayNum>(result);
  }
  int month = 0, day = 0, year = 0;
  DbDabs_DateToMDY(date, month, day, year);
  if (period.unit == static_cast<int>(Unit::Years)) return FromMDY(month, day, year + n);
  // Months counted from 0 so that negative steps fall into earlier years too.
  const int64_t months = static_cast<int64_t>(year) * 12 + (month - 1) + n;
  if (months < 0) return std::nullopt;
  const int64_t newYear = months / 12;
  const int64_t newMonth = months % 12 + 1;
  if (newYear < 1 || newYear > 9999) return std::nullopt;
  const int length = DbDabs_DaysPerMonth(static_cast<int>(newMonth), static_cast<int>(newYear));
  return FromMDY(newMonth, day > length ? length : day, newYear);
}

Lookup LoadPeriod(std::string_view code) {
  Lookup lookup;
  BucketHold row;
  if (!AcqDbBase::LoadRows("unit,unit_increment", "subscription_period",
                           "subscription_period=" + Quoted(code), "", row)) {
    lookup.failed = true;
    return lookup;
  }
  if (_BktCountAll(*row) < 1) return lookup;
  lookup.found = true;
  lookup.period.unit = _ColGetInt(*row, 1, _BktGetColNum(*row, "unit"));
  lookup.period.increment = _ColGetInt(*row, 1, _BktGetColNum(*row, "unit_increment"));
  return lookup;
}

std::optional<DayNum> AddPeriodByCode(std::string_view code, DayNum date) {
  const Lookup lookup = LoadPeriod(code);
  if (!lookup.found) return std::nullopt;
  return AddPeriod(lookup.period, date);
}

}  // namespace acq::AcqRenewPeriod
