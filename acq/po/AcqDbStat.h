// AcqDbStat: the usage-statistics events of the PO activities. Each event is
// one row of the host's statistics, class 300 (acquisitions), an event code,
// a value (a count, a number of days or an amount, by the code) and a key
// (the PO's vendor#), written on the module's session inside the action's
// open transaction, so it commits or rolls back with the action.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/sys/Dec64.h"

namespace acq::AcqDbStat {

// The statistics class of the acquisitions module.
constexpr int32_t kAcqStatClass = 300;

// Event codes, spelled once.
namespace code {
inline constexpr std::string_view kLinesOrdered = "acqlo";       // lines of a printed order
inline constexpr std::string_view kItemsOrdered = "acqio";       // items of a printed order
inline constexpr std::string_view kLineReceived = "acqlr";       // a line's first receipt
inline constexpr std::string_view kLineProcessed = "acqapf";     // a line fully processed
inline constexpr std::string_view kDaysToReceive = "acqaft";     // days from order to receipt
inline constexpr std::string_view kItemsReceived = "acqir";      // items received
inline constexpr std::string_view kReceivedByBudget = "acqirb";  // an item's share per budget
inline constexpr std::string_view kUnitPrice = "acqacup";        // a line's unit price
inline constexpr std::string_view kExtraChargeValue = "acqecv";  // an extra-charge row, base
inline constexpr std::string_view kSpentValue = "acqeav";        // spent money of an action, base
}  // namespace code

// Logs one event. A failure is reported through HandleDbError (held back
// when a transaction is open) and gives false; the caller fails its action.
bool LogStat(std::string_view eventCode, Dec64 value, int32_t key);

void Initialize();
void Terminate();

}  // namespace acq::AcqDbStat
