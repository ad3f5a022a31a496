// Dates, times and money formats of the host.
//
// A date is a day number: unsigned 16-bit days since 1900-01-01 (day 0), so
// 1900-01-01 .. 2079-06-06 fit. 0xFFFF is no date. A time is the minute of
// the day, 0 .. 1439.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/sys/Dec64.h"

using DayNum = uint16_t;
using MinuteOfDay = uint16_t;
constexpr DayNum kNoDate = 0xFFFF;

DayNum DbDabs_GetDate();                            // today, local time
void DbDabs_GetDateTime(DayNum& date, MinuteOfDay& time);  // one "now"
// "YYYY-MM-DD"; kNoDate gives "".
std::string DbDabs_DateToStr(DayNum date);
// `date` in a picture of English-calendar fields: "MMM" the month's
// three-letter name ("Jan" .. "Dec"), "MM" its number, "dd" the day, "yyyy"
// the year, "yy" its last two digits (all numbers zero-padded); every other
// character is copied as it is. "MMMddyyyy" gives "Dec062026", "MMM dd yy"
// "Dec 06 26". kNoDate gives "".
std::string DbDabs_DateToStrFmt(DayNum date, std::string_view picture);
// Accepts "YYYY-MM-DD", "YYYYMMDD" and "M/D/YYYY"; false when not a date
// in range.
bool DbDabs_StrToDate(std::string_view text, DayNum& date);
bool DbDabs_MDYToDate(int month, int day, int year, DayNum& date);
void DbDabs_DateToMDY(DayNum date, int& month, int& day, int& year);
int DbDabs_DaysPerMonth(int month, int year);
std::string DbDabs_TimeToStr(MinuteOfDay time);     // "HH:MM"
bool DbDabs_QueryTimeFmt24();                       // the workstation's clock is 24-hour
// The fixed forms of files exchanged with vendors. YYMMDD takes its century
// from a window: 00-49 are 2000-2049, 50-99 are 1950-1999. Each parser is
// false for text that is not exactly its form or not a date (time) in range.
bool DbDabs_YYMMDDToDate(std::string_view text, DayNum& date);
bool DbDabs_CCYYMMDDToDate(std::string_view text, DayNum& date);
std::string DbDabs_DateToYYMMDD(DayNum date);       // "261206"; "" for kNoDate
std::string DbDabs_DateToCCYYMMDD(DayNum date);     // "20261206"; "" for kNoDate
bool DbDabs_HHMMToTime(std::string_view text, MinuteOfDay& time);   // "0930"
std::string DbDabs_TimeToHHMM(MinuteOfDay time);    // "0930"
// A time as a person types it: "14:30", "2:30", "1430", "9" (hours only);
// with `pm` true an hour 1 to 11 is taken in the afternoon and 12 stays
// noon, and with `pm` false (on a 12-hour clock) 12 is midnight; on a
// 24-hour clock pass pm false and `twelveHour` false. False when not a time.
bool DbDabs_StrToTime(std::string_view text, bool pm, bool twelveHour, MinuteOfDay& time);
// Money format `which` (0: the base currency) of the database connection:
// symbol and decimals from the single `matham` row once logged in (2 and ""
// otherwise).
MoneyFmt DbDabs_QueryMoneyFmt(int which);
void DbDabs_SetMoneyFmt(const MoneyFmt& fmt);       // the session, at log-in
