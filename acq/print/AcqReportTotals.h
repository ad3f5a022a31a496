// The totals row of a budget report window (budget status, the hierarchy
// report): the listed rows added column by column, and the share of the
// allocation that is on order, spent, available and unspent, in percent.
// Percentages divide first, then multiply by 100, and are not rounded
// (1000.00 allocated with 250.00 on order is exactly 25).
#pragma once

#include "host/sys/Dec64.h"

namespace acq::AcqReportTotals {

struct Totals {
  Dec64 amount{};
  Dec64 on_order{};
  Dec64 spent{};
  Dec64 available{};
  Dec64 unspent{};
  Dec64 percent_on_order{};
  Dec64 percent_spent{};
  Dec64 percent_available{};
  Dec64 percent_unspent{};
};
// Which percentage columns the window has; a column it lacks keeps its sum.
struct PercentColumns {
  bool on_order = true;
  bool spent = true;
  bool available = true;
  bool unspent = true;
};

// Adds `row` into `totals`, every column. False on overflow (totals then
// hold what was added before the column that overflowed).
[[nodiscard]] bool AddRow(Totals& totals, const Totals& row);
// With a total amount that is not zero, each column of `which` becomes its
// money column / amount x 100; with a zero amount they keep their sums.
// False on overflow.
[[nodiscard]] bool ComputePercentages(Totals& totals, PercentColumns which = {});

}  // namespace acq::AcqReportTotals
