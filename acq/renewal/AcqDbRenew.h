// AcqDbRenew: the database side of renewing a subscription or standing
// order line. Each line is renewed whole or not at all: what the new line
// will be (its PO, price, next renewal date, items, their dates and
// budgets) is worked out before anything is written, then one transaction
// writes the new line (and a new renewal PO when the old one has none yet),
// its items, budgets and on-order money through the budget update with
// fund control, marks the old items renewed with their history, and moves
// the old line's next renewal date on.
//
// The links a renewal leaves: the new line's renew_id is the old line's
// po#, its prior_renewal_date the old line's next_renewal_date before the
// renewal; the old line's renew_line is the new line's number; each new
// item's renew_item is the old item it renews.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbRenew {

// What the renew-to lists hold.
struct RenewTo {
  int16_t year = 0;                               // renew_to_year
  std::map<std::string, std::string> accounts;    // budget -> renew_to_account
  // (vendor#, vendor_contract) -> renew_to_contract; absent or "" keeps it.
  std::map<std::pair<int32_t, std::string>, std::string> contracts;
};

// A line to renew. `quantity` limits the items renewed to the first that
// many renewable ones (item order); -1 renews every renewable item.
struct Candidate {
  int32_t po = 0;
  int16_t line = 0;
  int quantity = -1;
};

// A refusal: the message id of the string table and its arguments; id 0
// for none.
struct Refusal {
  int message = 0;
  std::string a1, a2;
  explicit operator bool() const { return message != 0; }
};

// The messages of the renewal, spelled once.
namespace msg {
inline constexpr int kNoAllocations = 277;
inline constexpr int kNoCandidates = 278;
inline constexpr int kRenewToMissing = 279;
inline constexpr int kRenewToNoAllocation = 276;
inline constexpr int kBadRenewalType = 280;
inline constexpr int kBadNextDate = 281;
inline constexpr int kBatchVendor = 282;
inline constexpr int kBadCopyDates = 284;
inline constexpr int kNotApproved = 348;
inline constexpr int kApprovalWarning = 422;
inline constexpr int kSetBadType = 330;
inline constexpr int kSetNoAllocations = 329;
inline constexpr int kEndBeforeBegin = 1880;
inline constexpr int kNothingToRenew = 1881;
inline constexpr int kRenewedElsewhere = 1882;
inline constexpr int kRenewToClosed = 1883;
inline constexpr int kRenewToContract = 1884;
inline constexpr int kNoPeriod = 1885;
inline constexpr int kRenewedCount = 1886;
inline constexpr int kSelectLines = 1887;
inline constexpr int kBadQuantity = 1888;
inline constexpr int kSelectOrders = 1889;
inline constexpr int kNoVendor = 1890;
inline constexpr int kSetDone = 1891;
inline constexpr int kSetBadPeriod = 1892;
}  // namespace msg

// The renewal options: which lines are candidates and the year of the new
// money. kNoDate leaves that end of the range open; location "" any.
struct Options {
  int32_t vendor = 0;
  std::string location;
  DayNum begin = kNoDate, end = kNoDate;
  int16_t year = 0;
};
// Checks the options (reads only): a vendor chosen (1890, field vendor#),
// renew_to_year with allocations (277, renew_to_year), the end not before
// the begin (1880, end_date). `field` names the field to put the focus on.
// A failed read is reported and refuses with message -1.
Refusal CheckOptions(const Options& options, std::string& field);
// The condition on the view po_renewal_candidates that selects the
// options' candidates.
std::string CandidateWhere(const Options& options);

// The budgets the renewable items of `lines` pay from (their single budget
// or each budget of their split), each once, sorted. False when they
// cannot be read (reported).
bool LoadRenewableBudgets(const std::vector<Candidate>& lines, std::vector<std::string>& budgets);

// Whether every item of every line is approved; false when it cannot be
// read (reported).
bool AllApproved(const std::vector<Candidate>& lines, bool& approved);

// The renew-to lists checked before any line is renewed (nothing written):
// every budget of `budgets` has its renew_to_account (279); each of those
// is a budget of renew_to_year (276) that is not closed (1883); each
// renew_to_contract given is a contract of its vendor (1884). A read that
// fails is reported and refuses with message -1.
Refusal CheckRenewTo(const RenewTo& renewTo, const std::vector<std::string>& budgets);

// The price of a renewed line in the target PO's currency, from the price
// method (acquisitions parameter price_upd_method): 0 keeps `unitPrice`;
// 1 and 2 ask get_renewal_price (flag set for 2) for a base-currency price,
// divided by `rate` and rounded to the site's money digits. False when the
// procedure fails (reported) or the rate is 0.
bool RenewalPrice(int method, int32_t po, int16_t line, Dec64 unitPrice, Dec64 rate,
                  Dec64& price);

struct Outcome {
  enum class Kind { Renewed, Refused, Failed };
  Kind kind = Kind::Failed;
  Refusal refusal{};          // Refused: what to tell (nothing was written)
  int32_t newPo = 0;          // Renewed: where the new line is
  int16_t newLine = 0;
  int items = 0;              // Renewed: new items
};

// Renews one line (see the unit's head). The price is worked out at the
// rate of the old PO's currency (a renewal order is a copy of its header,
// so it has the same currency). Refused, with nothing written:
// renewal type 0 or unknown (280), no subscription period row (1885), an
// invalid next renewal date (281) or copy date (284), nothing left to
// renew (1881), a budget without its renew_to_account (279), or the line
// renewed at another workstation meanwhile (1882: found inside the
// transaction, so two workstations never renew the same items twice).
// Failed: a database failure or a declined fund-control prompt (shown).
// Refusals are not shown here; the caller tells them.
// With `approve` the new line is approved right after its commit
// (AcqDbAct::ApprovePoLine); a refused approval leaves it unapproved.
Outcome RenewLine(const Candidate& candidate, const RenewTo& renewTo, bool approve);

// Sets renewal on PO `po` when its renewal_type is still 0 (re-read in the
// transaction): `type` (1 or 2) and `period`, and `nextDate` (unless
// kNoDate) to every line. False when it was not 0 any more (`changed`
// false) or the write failed (reported).
bool SetRenewal(int32_t po, int type, const std::string& period, DayNum nextDate, bool& changed);

}  // namespace acq::AcqDbRenew
