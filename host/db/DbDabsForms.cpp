// Fixed date and time forms of exchanged files. (Stub.)
#include "host/db/DbDabs.h"

bool DbDabs_YYMMDDToDate(std::string_view, DayNum&) { return false; }
bool DbDabs_CCYYMMDDToDate(std::string_view, DayNum&) { return false; }
std::string DbDabs_DateToYYMMDD(DayNum) { return {}; }
std::string DbDabs_DateToCCYYMMDD(DayNum) { return {}; }
bool DbDabs_HHMMToTime(std::string_view, MinuteOfDay&) { return false; }
std::string DbDabs_TimeToHHMM(MinuteOfDay) { return {}; }
bool DbDabs_StrToTime(std::string_view, bool, bool, MinuteOfDay&) { return false; }
