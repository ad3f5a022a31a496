// AcqDbAct: what happens to a PO line's items when an activity is
// confirmed: approve, receive, receive-and-invoice, invoice, supplemental
// invoice, credit, refund, cancel, back order, discontinue, distribute.
// Each sets the items' state dates, merges the notes into the line, writes
// one history row per item, moves the items' money through the budget
// update (fund control included) and logs statistics, all in one
// transaction: every row of an activity is committed, or none.
//
// Also the data side of the PO model that the windows share: pending items,
// line counts, the spent-event history codes, the save of a line with its
// items and their money, and the approval of lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "host/db/DbDabs.h"
#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbAct {

// Activity kinds. 1..9 are the kinds of the activity window (8 has no
// editor of its own: receive-and-invoice); approve and distribute have
// editors of their own.
enum class Activity : int {
  None = 0,
  BackOrder = 1,
  Cancel = 2,
  Credit = 3,
  Discontinue = 4,
  Invoice = 5,
  Receive = 6,
  Refund = 7,
  ReceiveInvoice = 8,
  SupInvoice = 9,
  Approve = 10,
  Distribute = 11,
};
// Whether the activity moves money (and so runs fund control): approve
// (price rows brought up to date), receive (invoiced money of approved
// statements becomes spent), the statement activities, and cancel (price
// rows removed, extra charges reversed).
bool MovesMoney(Activity activity);
// Statement line type an activity enters (invoice 0, supplemental 1, credit
// 3, refund 5; receive-and-invoice 0); -1 for the others.
int StatementLineType(Activity activity);

// One "now" for all rows of an activity.
struct Now {
  DayNum date = kNoDate;
  MinuteOfDay time = 0;
  static Now Take();
};

// What the person entered with the activity.
struct ActivityEntry {
  DayNum nextClaimDate = kNoDate;      // back order (kNoDate: none, the items' is nulled)
  std::string changeOrderNote{};       // "" when none entered
  std::string internalNote{};
  std::string workslipNote{};
  bool workslipNoteEntered = false;    // replace the line's (an empty one clears it)
  // Money activities: the amount for the whole selection, in the statement's
  // currency (credit and refund negative: see NormalizeSign), and the
  // statement it is entered on.
  Dec64 amount{};
  int32_t statement = 0;
  std::string extraChargeType{};
  // Distribute: the values given to the chosen items ("" leaves a column).
  std::string location{}, collection{}, itype{};
};

// Credit and refund amounts negative, the others positive; turned only when
// typed the other way (never an absolute value of anything else).
Dec64 NormalizeSign(Activity activity, Dec64 amount);

// ---- the PO model --------------------------------------------------------------------------
// The line's items (every po_line_item column, read for browse) that the
// activity may still act on, in item order; `statement` for supplemental
// invoice, credit and refund. Into a new Bucket when `items` is null, else
// replacing its rows. A failure is reported; false.
// Besides the rules of each activity: back order takes what receive takes
// (not received, not cancelled); receive-and-invoice what both take;
// distribute every item not cancelled; None every item. An item "has
// budgets" for invoicing when it has split rows or a single budget.
bool LoadPendingItems(Activity activity, int32_t po, int16_t line, int32_t statement,
                      BktHandle& items);

struct LineCounts {
  int32_t ordered = 0;
  int32_t received = 0;
  int32_t cancelled = 0;
};
bool LoadLineCounts(int32_t po, int16_t line, LineCounts& counts);
inline bool FullyProcessed(const LineCounts& c) {
  return c.ordered > 0 && c.ordered == c.received + c.cancelled;
}

// History code of a cancel, credit or refund for one item, by the PO's
// spent_event: "cancel", "retrn", "credit" or "refund".
std::string HistoryCodeFor(Activity activity, int spentEvent, bool invoiced, bool received);

// Note merges, each cut to 255 characters.
std::string MergeChangeOrderNote(std::string_view entered, std::string_view existing);
std::string MergeInternalNote(std::string_view existing, std::string_view entered);

// ---- activities ----------------------------------------------------------------------------
// Runs `activity` on `items` (rows of one line, as LoadPendingItems gives
// them, cut to the quantity): one transaction with the retry of the error
// policy and fund control's confirm-and-retry. Shows its own failures and
// prompts. True when committed; `items` then holds the rows as written.
// Refused before anything is written, with a message: no items, items of
// several lines, and for statement activities a statement that does not
// exist or is another vendor's, or an amount with more decimals than the
// site's money (or beyond a thousand million). The amount's sign is
// normalised here as well. A receive-and-invoice writes a "receive" and an
// "invoice" history row per item; credit, refund and cancel set the item's
// po_activity_type to its history code.
//
// Statistics (class 300, keyed by the PO's vendor#): receive and
// receive-and-invoice log "acqlr" (the line's first receipt: no other item
// of it received before), "acqaft" (days from order to receipt, per
// ordered item), "acqir" (items received) and "acqirb" (per item and
// budget, the budget's share as a fraction); those and cancel, credit and
// refund log "acqapf" when the line becomes fully processed; invoice and
// receive-and-invoice "acqacup" (the line's unit price); a reversed extra
// charge "acqecv" (its base, negative); every activity that writes or turns
// money spent "acqeav" (the base of that money).
bool RunActivity(Activity activity, BktHandle items, const ActivityEntry& entry);

// The steps of an activity inside a transaction the caller owns (order
// responses): no retry, no prompt. `historyCode` non-empty replaces the
// code the activity would write. Money goes into `moves` and the caller
// runs AcqDbBudget::ApplyBudgetUpdate (or this does when `applyMoney`).
bool ActivitySteps(Activity activity, BktHandle items, const ActivityEntry& entry,
                   const Now& now, std::string_view historyCode, AcqFundCtrl::BustList* list,
                   AcqDbBudget::BudgetMoves& moves, bool applyMoney);

// ---- saving a line and approving lines -----------------------------------------------------
// Saves a PO line (row 1 of `line`, new or existing) and its items (rows of
// `items` with po_line_item columns; new, existing or deleted) in one
// transaction with fund control: new items go on order through their split
// (budget_split text, or the single budget) at the line's unit price and
// the PO's rate; deleted items come off; an item whose budget or split
// changed, or a price change, moves its on-order money to the new budgets
// or amount. `poRow`: row 1 of the PO header (po#, vendor#,
// vendor_contract, currency). Assigns item numbers from last_item (as the
// database holds it) + 1, and a new line's number when it has none. An
// item row with a `quantity` column above 1 stands for that many items:
// rows like it are added after it. Refused before anything is written,
// with a message: a deleted item with activity, vouchers or made by
// renewal (65, 339); both a budget and a split (67); a split that cannot
// be read, or whose percentages do not make 100 (75) or repeat a budget
// (76). True when committed; deleted rows are then gone from `items`.
// `confirmed`: what the person already confirmed while editing (a frozen
// budget typed and accepted), so the save does not ask it again; nullptr
// for none.
bool SavePoLine(BktHandle poRow, BktHandle line, BktHandle items,
                AcqFundCtrl::BustList* confirmed = nullptr);

// The split text of the line editor ("ADULT.2026 60% + REF.2026 40%"):
// entries joined by "+", each a budget (at most 13 characters, no blanks)
// and a whole percentage 0..100 with its "%". False (and `split` empty)
// when it is not one; entries of 0 % are kept (the savers drop them).
bool ParseBudgetSplit(std::string_view text, std::vector<AcqDbBudget::SplitEntry>& split);

// Approval of one line's unapproved items (the approval rules): the line
// must have items (NoItems) and complete budgets (MissingBudgets); an
// approve activity on what is left to approve (NothingToApprove when
// none). Failed: a database failure or a declined prompt, already shown.
enum class ApproveResult { Approved, NothingToApprove, NoItems, MissingBudgets, Failed };
ApproveResult ApprovePoLine(int32_t po, int16_t line);

void Initialize();
void Terminate();

}  // namespace acq::AcqDbAct
