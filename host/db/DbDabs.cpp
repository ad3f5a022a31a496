// Dates as day numbers (days since 1900-01-01, proleptic Gregorian), times
// as minutes of the day, and the money format of the logged-in database.
// Calendar arithmetic is done on plain integers (days from civil and back),
// so no time_t range or time zone enters a date conversion; only "today"
// asks the system clock, in local time.
#include "host/db/DbDabs.h"

#include <cstdio>
#include <ctime>
#include <mutex>

#include "host/sys/LbStr.h"

namespace {

// Days from 1970-01-01 of a civil date (any year).
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

// Constant-initialised: the date services may be called while other
// translation units run their static initialisers.
constexpr int64_t kEpoch = DaysFromCivil(1900, 1, 1);

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Reads 1 to `maxDigits` digits at `p`.
bool Digits(std::string_view s, size_t& p, int minDigits, int maxDigits, int& value) {
  int n = 0;
  value = 0;
  while (p < s.size() && n < maxDigits && s[p] >= '0' && s[p] <= '9') {
    value = value * 10 + (s[p++] - '0');
    ++n;
  }
  return n >= minDigits;
}

struct MoneyState {
  std::mutex mutex;
  MoneyFmt fmt;
};

MoneyState& Money() {
  static MoneyState state;
  return state;
}

}  // namespace

int DbDabs_DaysPerMonth(int month, int year) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

bool DbDabs_MDYToDate(int month, int day, int year, DayNum& date) {
  if (year < 1900 || year > 2079 || day < 1 || day > DbDabs_DaysPerMonth(month, year))
    return false;
  int64_t n = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch;
  if (n < 0 || n > 0xFFFF) return false;
  date = static_cast<DayNum>(n);
  return true;
}

void DbDabs_DateToMDY(DayNum date, int& month, int& day, int& year) {
  CivilFromDays(kEpoch + date, year, month, day);
}

std::string DbDabs_DateToStr(DayNum date) {
  if (date == kNoDate) return "";
  int m = 0, d = 0, y = 0;
  DbDabs_DateToMDY(date, m, d, y);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string DbDabs_DateToStrFmt(DayNum date, std::string_view picture) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (date == kNoDate) return "";
  int m = 0, d = 0, y = 0;
  DbDabs_DateToMDY(date, m, d, y);
  std::string out;
  char buf[8];
  // Longest field first at each position, so "MMM" is not read as "MM" "M".
  for (size_t p = 0; p < picture.size();) {
    std::string_view rest = picture.substr(p);
    if (rest.starts_with("MMM")) {
      out += kMonths[m - 1];
      p += 3;
    } else if (rest.starts_with("MM")) {
      std::snprintf(buf, sizeof buf, "%02d", m);
      out += buf;
      p += 2;
    } else if (rest.starts_with("dd")) {
      std::snprintf(buf, sizeof buf, "%02d", d);
      out += buf;
      p += 2;
    } else if (rest.starts_with("yyyy")) {
      std::snprintf(buf, sizeof buf, "%04d", y);
      out += buf;
      p += 4;
    } else if (rest.starts_with("yy")) {
      std::snprintf(buf, sizeof buf, "%02d", y % 100);
      out += buf;
      p += 2;
    } else {
      out += picture[p++];
    }
  }
  return out;
}

bool DbDabs_StrToDate(std::string_view text, DayNum& date) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  size_t p = 0;
  int y = 0, m = 0, d = 0;
  bool ok = false;
  if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string_view::npos) {
    ok = Digits(text, p, 4, 4, y) && Digits(text, p, 2, 2, m) && Digits(text, p, 2, 2, d);
  } else if (text.find('-') != std::string_view::npos) {
    ok = Digits(text, p, 4, 4, y) && p < text.size() && text[p++] == '-' &&
         Digits(text, p, 1, 2, m) && p < text.size() && text[p++] == '-' &&
         Digits(text, p, 1, 2, d);
  } else if (text.find('/') != std::string_view::npos) {
    ok = Digits(text, p, 1, 2, m) && p < text.size() && text[p++] == '/' &&
         Digits(text, p, 1, 2, d) && p < text.size() && text[p++] == '/' &&
         Digits(text, p, 4, 4, y);
  }
  return ok && p == text.size() && DbDabs_MDYToDate(m, d, y, date);
}

DayNum DbDabs_GetDate() {
  DayNum date = kNoDate;
  MinuteOfDay time = 0;
  DbDabs_GetDateTime(date, time);
  return date;
}

void DbDabs_GetDateTime(DayNum& date, MinuteOfDay& time) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (!DbDabs_MDYToDate(local.tm_mon + 1, local.tm_mday, local.tm_year + 1900, date))
    date = kNoDate;
  time = static_cast<MinuteOfDay>(local.tm_hour * 60 + local.tm_min);
}

std::string DbDabs_TimeToStr(MinuteOfDay time) {
  if (time >= 24 * 60) return "";
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d:%02d", time / 60, time % 60);
  return buf;
}

// The workstation's [Workstation] Clock24 setting: "0" for a 12-hour clock;
// 24-hour unless set.
bool DbDabs_QueryTimeFmt24() {
  return Lb_IniRead(Lb_WorkstationIniPath(), "Workstation", "Clock24", "1") != "0";
}

MoneyFmt DbDabs_QueryMoneyFmt(int /*which*/) {
  MoneyState& st = Money();
  std::lock_guard<std::mutex> lock(st.mutex);
  return st.fmt;
}

void DbDabs_SetMoneyFmt(const MoneyFmt& fmt) {
  MoneyState& st = Money();
  std::lock_guard<std::mutex> lock(st.mutex);
  st.fmt = fmt;
}
