// Fixed date and time forms of exchanged files, and times as people type
// them. Every parser takes digits only where its form has digits: no signs,
// no blanks, no partial forms.
#include <cstdio>

#include "host/db/DbDabs.h"

namespace {

// `count` decimal digits at `p` of `text` into `value`; false for anything
// that is not a digit.
bool FixedDigits(std::string_view text, size_t p, size_t count, int& value) {
  if (p + count > text.size()) return false;
  value = 0;
  for (size_t i = p; i < p + count; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

std::string FormatDate(DayNum date, bool century) {
  if (date == kNoDate) return "";
  int m = 0, d = 0, y = 0;
  DbDabs_DateToMDY(date, m, d, y);
  char buf[16];
  if (century)
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
  else
    std::snprintf(buf, sizeof buf, "%02d%02d%02d", y % 100, m, d);
  return buf;
}

}  // namespace

bool DbDabs_YYMMDDToDate(std::string_view text, DayNum& date) {
  int yy = 0, m = 0, d = 0;
  if (text.size() != 6 || !FixedDigits(text, 0, 2, yy) || !FixedDigits(text, 2, 2, m) ||
      !FixedDigits(text, 4, 2, d))
    return false;
  // Century window: 00-49 are this century, 50-99 the last.
  int year = yy < 50 ? 2000 + yy : 1900 + yy;
  return DbDabs_MDYToDate(m, d, year, date);
}

bool DbDabs_CCYYMMDDToDate(std::string_view text, DayNum& date) {
  int y = 0, m = 0, d = 0;
  if (text.size() != 8 || !FixedDigits(text, 0, 4, y) || !FixedDigits(text, 4, 2, m) ||
      !FixedDigits(text, 6, 2, d))
    return false;
  return DbDabs_MDYToDate(m, d, y, date);
}

std::string DbDabs_DateToYYMMDD(DayNum date) { return FormatDate(date, false); }
std::string DbDabs_DateToCCYYMMDD(DayNum date) { return FormatDate(date, true); }

bool DbDabs_HHMMToTime(std::string_view text, MinuteOfDay& time) {
  int h = 0, m = 0;
  if (text.size() != 4 || !FixedDigits(text, 0, 2, h) || !FixedDigits(text, 2, 2, m) || h > 23 ||
      m > 59)
    return false;
  time = static_cast<MinuteOfDay>(h * 60 + m);
  return true;
}

std::string DbDabs_TimeToHHMM(MinuteOfDay time) {
  if (time >= 24 * 60) return "";
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d%02d", time / 60, time % 60);
  return buf;
}

bool DbDabs_StrToTime(std::string_view text, bool pm, bool twelveHour, MinuteOfDay& time) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int h = 0, m = 0;
  size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    // "H:MM" or "HH:MM": minutes always two digits.
    if ((colon != 1 && colon != 2) || text.size() != colon + 3 || !FixedDigits(text, 0, colon, h) ||
        !FixedDigits(text, colon + 1, 2, m))
      return false;
  } else if (text.size() == 1 || text.size() == 2) {
    if (!FixedDigits(text, 0, text.size(), h)) return false;   // hours only
  } else if (text.size() == 3 || text.size() == 4) {
    // "930" or "1430": the last two digits are the minutes.
    if (!FixedDigits(text, 0, text.size() - 2, h) || !FixedDigits(text, text.size() - 2, 2, m))
      return false;
  } else {
    return false;
  }
  if (h > 23 || m > 59) return false;
  // An hour past 12 is already on the 24-hour clock, whatever AM/PM says.
  if (twelveHour || pm) {
    if (pm && h >= 1 && h <= 11) h += 12;
    else if (!pm && h == 12) h = 0;
  }
  time = static_cast<MinuteOfDay>(h * 60 + m);
  return true;
}
