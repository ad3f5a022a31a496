// AcqDbUndo: the database side of taking activities back. Each line is
// undone in one transaction of its own: its refusals are checked there
// against the rows read there (so a retry after a write conflict checks
// them again), then the state dates go, catalogue records and money are
// put back as they were before the activity, and a history row of
// transaction_type 2 with the activity's code is added per item. History
// is never deleted or rewritten.
//
// And undo order: one PO per transaction, through the stored procedure
// "undo_order", which takes the items back to the unordered state or
// refuses when an item has later activity.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace acq::AcqDbUndo {

// The activity taken back. Renew works on the NEW line (the one the
// renewal made); every other on the line whose items carry the activity.
enum class UndoActivity { Approve, Receive, Cancel, Discontinue, Renew };

// What came of one line (or PO).
enum class Outcome {
  Undone,    // committed
  Refused,   // nothing written; `message` says why
  Failed,    // a database error, already shown; nothing written
};
struct Result {
  Outcome outcome = Outcome::Failed;
  int message = 0;   // Refused: the string table id
  int items = 0;     // Undone: the items (of the old line, for a renewal) taken back
  int32_t oldPo = 0;     // Undone renewal: the line it was renewed from
  int16_t oldLine = 0;
};

// The message a line is refused with when no item of it is in the state
// the undo takes back (someone else undid it first, or it never happened).
inline constexpr int kMsgNothingToUndo = 1800;

// Undoes `activity` on line (po, line): one transaction, retried on write
// conflicts and, after fund control's findings, on the person's
// confirmation. The refusals (voucher 59; other activities 260; cancelled
// items 243; not made by renewal 337; approved renewal items 283;
// workslips being printed 489; nothing to undo kMsgNothingToUndo) leave
// the database as it was. Shows no refusal itself: the caller collects
// them. Database failures are shown (once) by the error policy.
// What each puts back, on every item of the line in the activity's state:
//   Approve      approve_date.
//   Receive      receive_date; the claim date reset from the vendor's
//                claim settings (and written on the history row); with
//                spent_event 0 every spent money row back on order; the
//                items out of unprinted workslip batches; the attached
//                catalogue item "n" -> "r" (inventory numbers cleared
//                with the inventory feature) and copy 4 -> 3.
//   Cancel       cancel_date, printed_date, po_activity_type, the line's
//                change_order_note; an uninvoiced item's price back on
//                order; extra charges the cancellation reversed back; the
//                claim date reset. The history row repeats the item's code.
//   Discontinue  renew_activity_date and _type.
//   Renew        on the old line's renewed items renew_activity_date and
//                _type (never renew_item), the old line's renew_line and
//                next_renewal_date as they were; the new line goes with
//                its items and their money (its PO and history stay).
Result UndoLine(UndoActivity activity, int32_t po, int16_t line);

// Which of the two the "discontinue or renew" undo takes back on a line:
// Discontinue when it has discontinued items, else Renew. False on a
// database failure (shown).
bool DiscontinueOrRenew(int32_t po, int16_t line, UndoActivity& activity);

// Undo order of PO `po`: one transaction running "undo_order". Refused
// carries 211 when an item of the PO has later activity.
Result UndoOrder(int32_t po);

// The history code a type-2 row repeats for a cancelled item: its
// po_activity_type when set, else the newest of "cancel", "retrn",
// "credit" or "refund" among `history` (the item's type-0 codes, oldest
// first), else "cancel".
std::string CancelCodeOf(const std::string& poActivityType,
                         const std::vector<std::string>& history);

}  // namespace acq::AcqDbUndo
