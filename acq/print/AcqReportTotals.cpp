// The totals row of a budget report window.
#include "acq/print/AcqReportTotals.h"

namespace acq::AcqReportTotals {
namespace {

bool Add(Dec64& into, Dec64 value) { return LbDec64_Add64(into, value, into) == DecStatus::Ok; }

// part / amount x 100, the division first (amount not zero).
bool Percent(Dec64& into, Dec64 part, Dec64 amount) {
  Dec64 share{};
  if (LbDec64_Div64(part, amount, share) != DecStatus::Ok) return false;
  if (LbDec64_Mul64I(share, 100) != DecStatus::Ok) return false;
  into = share;
  return true;
}

}  // namespace

bool AddRow(Totals& t, const Totals& r) {
  return Add(t.amount, r.amount) && Add(t.on_order, r.on_order) && Add(t.spent, r.spent) &&
         Add(t.available, r.available) && Add(t.unspent, r.unspent) &&
         Add(t.percent_on_order, r.percent_on_order) && Add(t.percent_spent, r.percent_spent) &&
         Add(t.percent_available, r.percent_available) &&
         Add(t.percent_unspent, r.percent_unspent);
}

bool ComputePercentages(Totals& t, PercentColumns which) {
  if (t.amount == Dec64{}) return true;
  return (!which.on_order || Percent(t.percent_on_order, t.on_order, t.amount)) &&
         (!which.spent || Percent(t.percent_spent, t.spent, t.amount)) &&
         (!which.available || Percent(t.percent_available, t.available, t.amount)) &&
         (!which.unspent || Percent(t.percent_unspent, t.unspent, t.amount));
}

}  // namespace acq::AcqReportTotals
