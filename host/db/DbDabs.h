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
// Money format `which` (0: the base currency) of the database connection:
// symbol and decimals from the single `matham` row once logged in (2 and ""
// otherwise).
MoneyFmt DbDabs_QueryMoneyFmt(int which);
void DbDabs_SetMoneyFmt(const MoneyFmt& fmt);       // the session, at log-in
