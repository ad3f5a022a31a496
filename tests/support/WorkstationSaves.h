// The saves and money activities a workstation makes in the multi-process
// tests and the benchmark, through the module's own save and activity paths.
// The saves need a library database with a table tally("tally#", hits) with
// row 1 and items 11 to 14 on PO 6 line 1; the money activities a demo
// library set up by kMoneySetUp, with the module's activity units started.
#pragma once

#include <string>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/po/AcqDbAct.h"

namespace testproc {

// Adds one to the tally, read inside the save's transaction (as budget
// totals are): the retry rule for steps that report their own failures.
inline bool BumpTally() {
  using acq::AcqDb::ClearChanges;
  return acq::AcqDbBase::SaveWithReportedRetry(
      5,
      [] {
        DbMsg msg;
        BucketHold row;
        DbCode code = acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "tally#=1", "*", "tally",
                                            row.get());
        if (code == kDbOk) {
          _ColSetInt(*row, 1, 2, _ColGetInt(*row, 1, 2) + 1);
          code = acq::AcqDb::UpdateRow(msg, 1, *row, "tally");
        }
        if (code != kDbOk) acq::AcqDbExcept::HandleDbError(msg, code);
        return code == kDbOk;
      },
      {});
}

// Sets the call number of item 10 + `workstation` of PO 6 line 1 through the
// PO line item save, with the line and all its items loaded as the line
// editor loads them.
inline DbCode SaveOwnItem(int workstation, const std::string& callNumber) {
  using acq::AcqDb::ClearChanges;
  DbMsg msg;
  BucketHold line, items;
  auto reloadLine = [&](BktHandle bkt) {
    return acq::AcqDb::LoadTableReplace(msg, ClearChanges::Yes, "", "po#=6 and line=1",
                                        "po#,line,last_item", "po_line", bkt) == kDbOk;
  };
  if (acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=6 and line=1", "po#,line,last_item",
                            "po_line", line.get()) != kDbOk ||
      acq::AcqDb::BktFromCols(msg, 0, 0, items.get(), "*", "po_line_item") != kDbOk ||
      acq::AcqDbGen::ReloadPoLineItems(msg, 6, 1, items.get()) != kDbOk)
    return kDbError;
  const int item = _BktGetColNum(*items, "item");
  for (int row = 1; row <= _BktCountAll(*items); ++row) {
    if (_ColGetInt(*items, row, item) == 10 + workstation)
      _ColSetTextW(*items, row, _BktGetColNum(*items, "call_number"), callNumber);
  }
  return acq::AcqDbGen::SavePoLineItems(reloadLine, nullptr, *line, *items);
}

// ---- money activities ------------------------------------------------------------------
// Every workstation has a line of its own on PO 1 (Northfield, contract
// STAND26), so no two act on one item, while all of them move the same PO
// header, the budgets ADULT.2026 and REF.2026 and the contract: the rows
// where they meet.

// Statements of Northfield the activities enter money on (20 an approved
// invoice, 21 an approved supplemental invoice, 22 a credit memo not yet
// approved), and room on the budgets and the contract (100000.00 each, their
// limits kept as proportions: 90 % on order for ADULT.2026 and STAND26,
// 90000.00 for REF.2026), so that no limit asks anyone while the
// workstations run, whatever their number.
inline constexpr const char* kMoneySetUp =
    "INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\","
    " amount, currency, exchange_rate, approve_date) VALUES"
    " (20, 'NF-INV', 0, 1, 0, 'USD', 1000000, 46060),"
    " (21, 'NF-SUP', 1, 1, 0, 'USD', 1000000, 46060),"
    " (22, 'NF-CR', 3, 1, 0, 'USD', 1000000, NULL);"
    "UPDATE account_year SET amount=100000000000 WHERE year=2026 AND account IN ('ADULT', 'REF');"
    "UPDATE account_year SET on_order_limit=90000000000 WHERE year=2026 AND account='REF';"
    "UPDATE vendor_contract SET amount=100000000000, spent_limit=100000000000"
    " WHERE \"vendor#\"=1 AND vendor_contract='STAND26';";

inline constexpr const char* kMoneySplit = "ADULT.2026 60% + REF.2026 40%";

// A workstation's share: `cancels` cancels of the items made for it
// beforehand (first, so that the rounds find only their own item pending),
// then `rounds` rounds of six activities on one new item each:
//   1 the line save adds an item: 10.00 on order (6.00 ADULT, 4.00 REF);
//   2 approving it;
//   3 an invoice of 12.50 on statement 20: 7.50 + 5.00 on order instead;
//   4 receiving it: spent (statement 20 is approved);
//   5 a supplemental invoice of 1.00 on statement 21: 0.60 + 0.40 spent;
//   6 a credit of 2.50 on statement 22: 1.50 + 1.00 off on order.
// A cancel takes an item's 10.00 off on order.
struct MoneyPlan {
  int rounds = 0;
  int cancels = 0;
  static constexpr int kPerRound = 6;
  static MoneyPlan For(int activities) {
    return MoneyPlan{activities / kPerRound, activities % kPerRound};
  }
  int Activities() const { return rounds * kPerRound + cancels; }
};

// What `workstations` workstations of `plan` move, in cents.
struct MoneyMoves {
  int64_t adultOnOrder = 0, adultSpent = 0, refOnOrder = 0, refSpent = 0;
  static MoneyMoves Of(const MoneyPlan& plan, int workstations) {
    const int64_t rounds = int64_t{workstations} * plan.rounds;
    const int64_t cancels = int64_t{workstations} * plan.cancels;
    return MoneyMoves{rounds * (600 + 750 - 600 - 750 - 150) - cancels * 600, rounds * (750 + 60),
                      rounds * (400 + 500 - 400 - 500 - 100) - cancels * 400,
                      rounds * (500 + 40)};
  }
};

// Money text as Dec64 (0 for text that is not money).
inline Dec64 MoneyOf(const char* text) { return LbDec64_StrTo64(text).value_or(Dec64{}); }

// A new line of PO 1 at 10.00 a copy with `items` items split as kMoneySplit,
// saved and approved; its number, 0 when that failed (already shown).
inline int16_t MakeMoneyLine(int items) {
  using acq::AcqDb::ClearChanges;
  namespace act = acq::AcqDbAct;
  BucketHold po, line, rows;
  DbMsg msg;
  if (acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=1",
                            "po#,vendor#,vendor_contract,currency", "po", po.get()) != kDbOk ||
      acq::AcqDb::BktFromCols(msg, 0, 0, line.get(), "*", "po_line") != kDbOk ||
      acq::AcqDb::BktFromCols(msg, 0, 0, rows.get(), "po#,line,item,budget_split",
                              "po_line_item") != kDbOk)
    return 0;
  int row = 0;
  _BktInsert(*line, 0, row);
  _ColSetDec64(*line, row, _BktGetColNum(*line, "unit_price"), MoneyOf("10.00"));
  for (int n = 0; n < items; ++n) {
    _BktInsert(*rows, 0, row);
    _ColSetTextW(*rows, row, _BktGetColNum(*rows, "budget_split"), kMoneySplit);
  }
  if (!act::SavePoLine(*po, *line, *rows)) return 0;
  const auto number = static_cast<int16_t>(_ColGetInt(*line, 1, _BktGetColNum(*line, "line")));
  if (items > 0 && act::ApprovePoLine(1, number) != act::ApproveResult::Approved) return 0;
  return number;
}

// One item more on line `line` of PO 1, through the line save as the line
// editor makes it (the line as the database holds it, the new item's row).
inline bool AddMoneyItem(int16_t line) {
  using acq::AcqDb::ClearChanges;
  BucketHold po, lineRow, rows;
  DbMsg msg;
  if (acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=1",
                            "po#,vendor#,vendor_contract,currency", "po", po.get()) != kDbOk ||
      acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=1 and line=" + std::to_string(line),
                            "*", "po_line", lineRow.get()) != kDbOk ||
      _BktCountAll(*lineRow) != 1 ||
      acq::AcqDb::BktFromCols(msg, 0, 0, rows.get(), "po#,line,item,budget_split",
                              "po_line_item") != kDbOk)
    return false;
  int row = 0;
  _BktInsert(*rows, 0, row);
  _ColSetTextW(*rows, row, _BktGetColNum(*rows, "budget_split"), kMoneySplit);
  return acq::AcqDbAct::SavePoLine(*po, *lineRow, *rows);
}

// `activity` on the first item of line `line` of PO 1 it may act on.
inline bool RunOnFirstPending(acq::AcqDbAct::Activity activity, int16_t line, int32_t statement,
                              const char* amount) {
  namespace act = acq::AcqDbAct;
  BucketHold items;
  if (!act::LoadPendingItems(activity, 1, line, statement, items.get())) return false;
  while (_BktCountAll(*items) > 1) _BktDelete(*items, _BktCountAll(*items));
  if (_BktCountAll(*items) != 1) return false;
  act::ActivityEntry entry;
  entry.statement = statement;
  if (amount) entry.amount = MoneyOf(amount);
  return act::RunActivity(activity, *items, entry);
}

// Activity `n` (0-based) of `plan` on the workstation's line; false when it
// did not commit (its failure has been shown).
inline bool RunMoneyActivity(const MoneyPlan& plan, int n, int16_t line) {
  using acq::AcqDbAct::Activity;
  if (n < plan.cancels) return RunOnFirstPending(Activity::Cancel, line, 0, nullptr);
  switch ((n - plan.cancels) % MoneyPlan::kPerRound) {
    case 0: return AddMoneyItem(line);
    case 1: return acq::AcqDbAct::ApprovePoLine(1, line) == acq::AcqDbAct::ApproveResult::Approved;
    case 2: return RunOnFirstPending(Activity::Invoice, line, 20, "12.50");
    case 3: return RunOnFirstPending(Activity::Receive, line, 0, nullptr);
    case 4: return RunOnFirstPending(Activity::SupInvoice, line, 21, "1.00");
    default: return RunOnFirstPending(Activity::Credit, line, 22, "2.50");
  }
}

}  // namespace testproc
