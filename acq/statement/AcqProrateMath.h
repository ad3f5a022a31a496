// AcqProrateMath: how an extra charge of a statement (freight, handling)
// is shared over the statement's lines and, within each line, over its item
// budget rows. Pure arithmetic on rows the caller has read: no database, no
// prompts. The caller loads the rows, asks the person, and writes the parts
// this unit returns as new po_line_item_budget_amount rows.
//
// Money is Dec64 in the statement's currency; every share is rounded half
// away from zero to the site's money decimals, and each share is taken from
// what remains, so the parts of one charge add up to the charge exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "acq/budget/AcqDbBudget.h"
#include "host/sys/Dec64.h"

namespace acq::AcqProrateMath {

// What a line's share follows: its amount, or its number of items.
enum class Method : uint8_t { Amount = 0, Quantity = 1 };
// Which rows of the statement's line list take part.
enum class LineChoice : uint8_t { All = 0, Selected = 1, AllButSelected = 2 };

// One row of the statement's line list as the window holds it.
struct StatementLine {
  int32_t po = 0;
  int16_t line = 0;
  std::optional<Dec64> itemAmount;   // null: the row is not counted at all
  bool selected = false;             // selected in the list
};

// The rows the line choice takes whose item amount is not null, in order.
std::vector<StatementLine> CountedLines(std::span<const StatementLine> lines, LineChoice choice);

// The verdict of the checks before prorating; each non-Ok value is the
// number of the message the person is shown.
enum class ProrationCheck : int {
  Ok = 0,
  NoLinesChosen = 248,               // stop
  AllZeroByAmount = 355,             // stop: only by quantity can they share
  InvoiceAndCreditByQuantity = 249,  // stop
  SomeZeroByAmount = 356,            // ask Yes/No: zero lines get nothing; No stops
};
// Checks the counted rows of `lines` under `choice` for `method`, in this
// order: none counted (248); by amount, all zero (355); by quantity, both a
// positive and a negative amount (249); by amount, some zero (356).
ProrationCheck CheckBeforeProrating(std::span<const StatementLine> lines, LineChoice choice,
                                    Method method);

// A statement's line money row: a po_line_item_budget_amount row of the
// statement with no extra-charge type.
struct BudgetRow {
  int32_t po = 0;
  int16_t line = 0;
  int16_t item = 0;
  std::string budget;
  Dec64 amount;
};

// A PO line that takes a share of each charge.
struct ProrationLine {
  int32_t po = 0;
  int16_t line = 0;
  Dec64 amount;                  // sum of its rows' amounts
  int32_t quantity = 0;          // distinct items among its rows
  std::vector<size_t> rows;      // its rows: indexes into the BudgetRow span, in read order
};
struct ProrationPlan {
  Method method = Method::Amount;
  std::vector<ProrationLine> lines;
  Dec64 totalAmount;             // summed by amount only (zero by quantity)
  int64_t totalQuantity = 0;     // summed by quantity only (zero by amount)
};

// Results of the arithmetic. On any failure the output is left as it was.
enum class ProrateResult : uint8_t {
  Ok = 0,
  Overflow,       // an amount, product or quotient beyond the Dec64 range
  SplitNotRead,   // the item split reader failed (it reported why)
};

// Builds the lines: the distinct (po#, line) pairs of the counted rows of
// `lines` under `choice`, in the order met, each with the `rows` of that
// pair; a pair without rows is dropped. An empty plan means nothing can be
// prorated (message 248).
// REQUIRES: the rows of one item of a line are consecutive, as they are
// when read ordered by po#, line, item.
[[nodiscard]] ProrateResult BuildProrationLines(std::span<const StatementLine> lines,
                                                LineChoice choice,
                                                std::span<const BudgetRow> rows, Method method,
                                                ProrationPlan& plan);

// Reads an item's budget split (budget and whole percent); false when the
// read failed, after reporting it. AcqDbBudget::LoadItemSplit fits.
using ItemSplitReader = std::function<bool(int32_t po, int16_t line, int16_t item,
                                           std::vector<AcqDbBudget::SplitEntry>& split)>;

// One part of a charge: the source row it is a copy of, and its amount.
struct ChargePart {
  size_t row = 0;   // index into the BudgetRow span
  Dec64 amount;     // never zero
};

// Shares `charge` over `plan` (built from `rows`) and appends the non-zero
// parts to `parts`, lines in plan order and rows in read order. The parts
// add up to `charge` unless the plan is empty. `digits` is the money
// precision, taken within 0..6. By quantity, an item whose rows total zero
// is shared by its split, read through `readSplit` once per such item; a
// budget missing from the split gets nothing but what the line's last row
// takes.
[[nodiscard]] ProrateResult ProrateOneCharge(const ProrationPlan& plan,
                                             std::span<const BudgetRow> rows, Dec64 charge,
                                             int digits, const ItemSplitReader& readSplit,
                                             std::vector<ChargePart>& parts);

// The most parts one transaction writes.
inline constexpr size_t kMaxPartsPerBatch = 65535;
// How many charge types go in one transaction so that at most
// kMaxPartsPerBatch parts are written: all of them when they fit, else
// kMaxPartsPerBatch / `budgetRows` rounded down, but at least one.
size_t ChargeTypesPerBatch(size_t chargeTypes, size_t budgetRows);
// The number of budget rows of the plan's lines.
size_t BudgetRowCount(const ProrationPlan& plan);

}  // namespace acq::AcqProrateMath
