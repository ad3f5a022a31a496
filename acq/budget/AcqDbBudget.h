// AcqDbBudget: the movement of on-order and spent money. An action never
// writes a budget total from a value it holds: it calls the movers, which
// collect its changes in a delta Bucket (and, with the site's
// track_budget_trans on, in ledger detail rows); then ApplyBudgetUpdate,
// inside the action's transaction, re-reads the budgets and the contract,
// adds the changes, runs fund control and writes the totals and the ledger.
//
// Amounts given to the movers are base currency (amount x exchange_rate,
// not rounded). Every Bool routine that touches the database reports its
// failure through HandleDbError and returns false.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "acq/budget/AcqFundCtrl.h"
#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbBudget {

// ---- the action's Buckets ------------------------------------------------------------------
// Delta Bucket: budget (text 13), on_order, spent (Dec64); one row per
// budget, appended with zeros the first time a budget moves.
bool CreateBudgetDeltas(BktHandle& deltas);
// Detail Bucket: the columns of budget_transaction_detail.
bool CreateBudgetTransDetail(BktHandle& detail);

// Both Buckets of one action. `detail` is null when track_budget_trans is
// off (every step that would fill it is skipped then). Reset empties both,
// for the next pass of a retried action.
class BudgetMoves {
 public:
  BudgetMoves();   // creates them; ok() false when the database failed
  ~BudgetMoves();
  BudgetMoves(const BudgetMoves&) = delete;
  BudgetMoves& operator=(const BudgetMoves&) = delete;
  bool ok() const { return deltas_ != nullptr; }
  void Reset();
  BktHandle deltas() const { return deltas_; }
  BktHandle detail() const { return detail_; }

 private:
  BktHandle deltas_ = nullptr;
  BktHandle detail_ = nullptr;
};

// ---- movers --------------------------------------------------------------------------------
// (key, base amount, budget, deltas, detail). The item forms record `item`
// on the detail row; the extra forms the charge type (when not empty).
void IncreaseOnOrder(int16_t item, Dec64 amount, std::string_view budget, BktHandle deltas,
                     BktHandle detail);
void DecreaseOnOrder(int16_t item, Dec64 amount, std::string_view budget, BktHandle deltas,
                     BktHandle detail);
void IncreaseSpent(int16_t item, Dec64 amount, std::string_view budget, BktHandle deltas,
                   BktHandle detail);
void DecreaseSpent(int16_t item, Dec64 amount, std::string_view budget, BktHandle deltas,
                   BktHandle detail);
void IncreaseExtraOnOrder(std::string_view chargeType, Dec64 amount, std::string_view budget,
                          BktHandle deltas, BktHandle detail);
void DecreaseExtraOnOrder(std::string_view chargeType, Dec64 amount, std::string_view budget,
                          BktHandle deltas, BktHandle detail);
void IncreaseExtraSpent(std::string_view chargeType, Dec64 amount, std::string_view budget,
                        BktHandle deltas, BktHandle detail);
void DecreaseExtraSpent(std::string_view chargeType, Dec64 amount, std::string_view budget,
                        BktHandle deltas, BktHandle detail);

// ---- apply steps (inside the action's transaction) -------------------------------------------
// The budget rows (all columns of `budget`) named in the `budget` column of
// `budgets`, read "for browse" into `result` (created when null, else its
// rows replaced), sorted by budget. Nothing is read for an empty Bucket.
bool LoadBudgetsForUpdate(BktHandle budgets, BktHandle& result);
// Drops the all-zero delta rows, reads the rest, adds the deltas.
bool ApplyBudgetDeltas(BktHandle deltas, BktHandle& result);
// Reads the budgets of the detail rows; in row order sets each row's
// prior_amount to the budget's total of its type before the row and adds
// trans_amount; sets po# and line on every row. A budget not found is
// skipped (prior_amount stays null).
bool ApplyBudgetTransactions(int32_t po, int16_t line, BktHandle& result, BktHandle detail);
// As ApplyBudgetTransactions with statement# instead of po# and line; with
// `cancel` first drops neighbouring pairs (sorted by budget, then charge
// type) whose trans_amounts cancel exactly.
bool ApplyStatementTransactions(bool cancel, int32_t statement, BktHandle& result,
                                BktHandle detail);
// Nothing when the PO row (row 1 of `poRow`: vendor#, vendor_contract) has
// no contract; else adds the sums of the non-zero deltas to the
// vendor_contract_extra row read into `result`.
bool ApplyContractDeltas(BktHandle poRow, BktHandle deltas, BktHandle& result);
// One row (vendor#, vendor_contract, on_order, spent): the PO's contract and
// the sums of the deltas, for the contract check.
bool MakeContractDeltas(BktHandle& contractDeltas, BktHandle poRow, BktHandle deltas);
// The ledger: a header (new key, transaction_source from the first detail
// row, now, the user, the note when not empty) and every detail row.
bool WriteBudgetTransaction(std::string_view note, BktHandle detail);
// Manual adjustments: drops the zero detail rows first.
bool WriteBudgetTransactionNote(std::string_view note, BktHandle detail);

// The budget update sequence of a PO action: apply (ledger rows or deltas),
// authorisation, budget busts, contract deltas and busts, ledger, totals to
// account_year, contract to vendor_contract. False on a database failure
// (reported) or when fund control noted a finding (in `list`, nothing
// reported); the caller rolls back either way.
bool ApplyBudgetUpdate(AcqFundCtrl::BustList* list, BudgetMoves& moves, int32_t po,
                       int16_t line, BktHandle poRow);
// The same for a statement's own money (approval, proration): no PO;
// `contractDeltas` (vendor#, vendor_contract, on_order, spent, one row per
// contract; may be null) is added to the contracts read for it.
bool ApplyStatementBudgetUpdate(AcqFundCtrl::BustList* list, BudgetMoves& moves, bool cancel,
                                int32_t statement, BktHandle contractDeltas);

// ---- splitting an item's money over its budgets --------------------------------------------
struct SplitEntry {
  std::string budget;
  int percentage = 100;   // whole percent, 0..100
};
// The statement line a money row comes from; statement 0 for none.
struct MoneySource {
  int32_t statement = 0;
  int16_t statementLine = 0;
  int statementLineType = 0;
};
// The site's money precision (decimal places), from matham.
int MoneyDigits();
// Shares of `amount` by the entries in order: 0 for a zero amount; the last
// entry the remainder; 100 % the whole; else remaining x percent / remaining
// percent, rounded to MoneyDigits. The shares add up to `amount` exactly.
std::vector<Dec64> SplitShares(Dec64 amount, const std::vector<SplitEntry>& split);
// For each entry: inserts the po_line_item_budget row when
// `insertItemBudgets`, inserts a po_line_item_budget_amount row (share,
// rate, spent, the source) and moves share x rate with IncreaseSpent or
// IncreaseOnOrder.
bool SplitLineItemBudgets(int32_t po, int16_t line, int16_t item,
                          const std::vector<SplitEntry>& split, Dec64 amount, Dec64 rate,
                          bool spent, bool insertItemBudgets, const MoneySource& source,
                          BudgetMoves& moves);
// The item's split as stored (po_line_item_budget, in budget order); an
// item with a single budget and no rows gives that budget at 100 %.
bool LoadItemSplit(int32_t po, int16_t line, int16_t item, std::vector<SplitEntry>& split);
// Deletes the item's po_line_item_budget_amount rows that `where` selects
// (an SQL condition over that table's columns, "" for all) and moves each
// back: amount x rate with DecreaseSpent or DecreaseOnOrder (the extra forms
// for rows with a charge type).
bool RemoveItemBudgetAmounts(int32_t po, int16_t line, int16_t item, std::string_view where,
                             BudgetMoves& moves);

void Initialize();
void Terminate();

}  // namespace acq::AcqDbBudget
