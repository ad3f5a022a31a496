// AcqProrateMath: the arithmetic of extra-charge proration.
#include "acq/statement/AcqProrateMath.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace acq::AcqProrateMath {

namespace {

// Dec64 arithmetic that remembers its first failure, so a formula reads as
// a formula and is checked once at the end. A division by zero counts as an
// overflow: every divisor here is tested for zero before it is used.
class Arithmetic {
 public:
  explicit Arithmetic(int digits) : digits_(std::clamp(digits, 0, Dec64::kScale)) {}

  Dec64 Add(Dec64 a, Dec64 b) {
    return Apply(a, [&](Dec64& r) { return LbDec64_Add64(a, b, r); });
  }
  Dec64 Sub(Dec64 a, Dec64 b) {
    return Apply(a, [&](Dec64& r) { return LbDec64_Sub64(a, b, r); });
  }
  Dec64 Mul(Dec64 a, Dec64 b) {
    return Apply(a, [&](Dec64& r) { return LbDec64_Mul64(a, b, r); });
  }
  Dec64 Div(Dec64 a, Dec64 b) {
    return Apply(a, [&](Dec64& r) { return LbDec64_Div64(a, b, r); });
  }
  Dec64 MulInt(Dec64 a, int64_t n) {
    return Apply(a, [&](Dec64& r) { return LbDec64_Mul64I(r, n); });
  }
  Dec64 DivInt(Dec64 a, int64_t n) { return Div(a, Dec64::FromInt(n)); }
  // To the money digits.
  Dec64 Round(Dec64 a) {
    return Apply(a, [&](Dec64& r) { return LbDec64_Round64(r, digits_); });
  }

  bool ok() const { return ok_; }

 private:
  template <typename Op>
  Dec64 Apply(Dec64 start, Op op) {
    Dec64 result = start;
    if (op(result) != DecStatus::Ok) ok_ = false;
    return result;
  }

  int digits_;
  bool ok_ = true;
};

// The part of each row of one line, given the line's share.
class LineSharer {
 public:
  LineSharer(Arithmetic& math, std::span<const BudgetRow> rows, const ItemSplitReader& readSplit)
      : math_(math), rows_(rows), readSplit_(readSplit) {}

  // Appends the line's non-zero parts. False only when a split could not be
  // read; overflow is left in `math_`.
  bool ShareByAmount(const ProrationLine& line, Dec64 share, std::vector<ChargePart>& parts);
  bool ShareByQuantity(const ProrationLine& line, Dec64 share, std::vector<ChargePart>& parts);

 private:
  Dec64 ItemTotal(const ProrationLine& line, size_t from);
  int PercentOf(const BudgetRow& row) const;

  Arithmetic& math_;
  std::span<const BudgetRow> rows_;
  const ItemSplitReader& readSplit_;
  std::vector<AcqDbBudget::SplitEntry> split_;   // the current zero-total item's
};

void Keep(size_t row, Dec64 part, std::vector<ChargePart>& parts) {
  if (!part.IsZero()) parts.push_back({row, part});
}

bool LineSharer::ShareByAmount(const ProrationLine& line, Dec64 share,
                               std::vector<ChargePart>& parts) {
  Dec64 left = share;               // L: the line's share not given yet
  Dec64 amountLeft = line.amount;   // A: the amounts of the rows not reached yet
  for (size_t n = 0; n < line.rows.size(); ++n) {
    const BudgetRow& row = rows_[line.rows[n]];
    Dec64 part{};
    if (n + 1 == line.rows.size()) {
      part = left;
    } else if (!amountLeft.IsZero()) {
      part = math_.Round(math_.Div(math_.Mul(row.amount, left), amountLeft));
    }
    amountLeft = math_.Sub(amountLeft, row.amount);
    left = math_.Sub(left, part);
    Keep(line.rows[n], part, parts);
  }
  return true;
}

bool LineSharer::ShareByQuantity(const ProrationLine& line, Dec64 share,
                                 std::vector<ChargePart>& parts) {
  Dec64 left = share;                  // L: taken down only when an item is finished
  int64_t itemsLeft = line.quantity;   // Q: items not finished, this one included
  Dec64 itemGiven{};                   // the parts given to the current item so far
  Dec64 itemTotal{};
  for (size_t n = 0; n < line.rows.size(); ++n) {
    const BudgetRow& row = rows_[line.rows[n]];
    const bool newItem = n == 0 || rows_[line.rows[n - 1]].item != row.item;
    if (newItem && n > 0) {
      --itemsLeft;
      left = math_.Sub(left, itemGiven);
      itemGiven = Dec64{};
    }
    Dec64 part{};
    if (n + 1 == line.rows.size()) {
      part = math_.Sub(left, itemGiven);
    } else {
      if (newItem) {
        itemTotal = ItemTotal(line, n);
        split_.clear();
        if (itemTotal.IsZero() &&
            (!readSplit_ || !readSplit_(line.po, line.line, row.item, split_))) {
          return false;
        }
      }
      if (itemsLeft > 0 && !itemTotal.IsZero()) {
        // The row's ratio of its item first (unlike the line shares): parts
        // already on file were made so, and the same rows must prorate to
        // the same cents again.
        const Dec64 ratio = math_.Div(row.amount, itemTotal);
        part = math_.Round(math_.DivInt(math_.Mul(ratio, left), itemsLeft));
      } else if (itemsLeft > 0) {
        const Dec64 percentOfLeft = math_.DivInt(math_.MulInt(left, PercentOf(row)), 100);
        part = math_.Round(math_.DivInt(percentOfLeft, itemsLeft));
      }
    }
    itemGiven = math_.Add(itemGiven, part);
    Keep(line.rows[n], part, parts);
  }
  return true;
}

// Sum of the amounts of the item's rows, which start at line.rows[from].
Dec64 LineSharer::ItemTotal(const ProrationLine& line, size_t from) {
  const int16_t item = rows_[line.rows[from]].item;
  Dec64 total{};
  for (size_t n = from; n < line.rows.size() && rows_[line.rows[n]].item == item; ++n) {
    total = math_.Add(total, rows_[line.rows[n]].amount);
  }
  return total;
}

// The split's percentage for the row's budget; 0 when the split has no
// entry for it (the line's last row still takes whatever is left).
int LineSharer::PercentOf(const BudgetRow& row) const {
  for (const AcqDbBudget::SplitEntry& entry : split_) {
    if (entry.budget == row.budget) return entry.percentage;
  }
  return 0;
}

bool Counts(const StatementLine& line, LineChoice choice) {
  if (!line.itemAmount) return false;
  switch (choice) {
    case LineChoice::All: return true;
    case LineChoice::Selected: return line.selected;
    case LineChoice::AllButSelected: return !line.selected;
  }
  return false;
}

}  // namespace

std::vector<StatementLine> CountedLines(std::span<const StatementLine> lines, LineChoice choice) {
  std::vector<StatementLine> counted;
  for (const StatementLine& line : lines) {
    if (Counts(line, choice)) counted.push_back(line);
  }
  return counted;
}

ProrationCheck CheckBeforeProrating(std::span<const StatementLine> lines, LineChoice choice,
                                    Method method) {
  size_t counted = 0, zero = 0, positive = 0, negative = 0;
  for (const StatementLine& line : lines) {
    if (!Counts(line, choice)) continue;
    ++counted;
    if (line.itemAmount->IsZero()) ++zero;
    if (line.itemAmount->raw > 0) ++positive;
    if (line.itemAmount->raw < 0) ++negative;
  }
  if (counted == 0) return ProrationCheck::NoLinesChosen;
  if (method == Method::Amount && zero == counted) return ProrationCheck::AllZeroByAmount;
  if (method == Method::Quantity && positive > 0 && negative > 0) {
    return ProrationCheck::InvoiceAndCreditByQuantity;
  }
  if (method == Method::Amount && zero > 0) return ProrationCheck::SomeZeroByAmount;
  return ProrationCheck::Ok;
}

ProrateResult BuildProrationLines(std::span<const StatementLine> lines, LineChoice choice,
                                  std::span<const BudgetRow> rows, Method method,
                                  ProrationPlan& plan) {
  ProrationPlan built;
  built.method = method;
  Arithmetic math(Dec64::kScale);
  std::map<std::pair<int32_t, int16_t>, std::vector<size_t>> rowsOfLine;
  for (size_t n = 0; n < rows.size(); ++n) rowsOfLine[{rows[n].po, rows[n].line}].push_back(n);
  for (const StatementLine& chosen : lines) {
    if (!Counts(chosen, choice)) continue;
    // Taken out, so a pair met again (or never read) has nothing to add.
    auto taken = rowsOfLine.extract({chosen.po, chosen.line});
    if (taken.empty()) continue;
    ProrationLine line;
    line.po = chosen.po;
    line.line = chosen.line;
    line.rows = std::move(taken.mapped());
    std::set<int16_t> items;
    for (size_t n : line.rows) {
      line.amount = math.Add(line.amount, rows[n].amount);
      items.insert(rows[n].item);
    }
    line.quantity = static_cast<int32_t>(items.size());
    if (method == Method::Amount) {
      built.totalAmount = math.Add(built.totalAmount, line.amount);
    } else {
      built.totalQuantity += line.quantity;
    }
    built.lines.push_back(std::move(line));
  }
  if (!math.ok()) return ProrateResult::Overflow;
  plan = std::move(built);
  return ProrateResult::Ok;
}

ProrateResult ProrateOneCharge(const ProrationPlan& plan, std::span<const BudgetRow> rows,
                               Dec64 charge, int digits, const ItemSplitReader& readSplit,
                               std::vector<ChargePart>& parts) {
  Arithmetic math(digits);
  LineSharer sharer(math, rows, readSplit);
  std::vector<ChargePart> made;
  Dec64 chargeLeft = charge;                   // R
  Dec64 amountLeft = plan.totalAmount;         // T by amount
  int64_t quantityLeft = plan.totalQuantity;   // T by quantity
  const bool byAmount = plan.method == Method::Amount;
  for (size_t n = 0; n < plan.lines.size(); ++n) {
    const ProrationLine& line = plan.lines[n];
    Dec64 share{};
    if (n + 1 == plan.lines.size()) {
      share = chargeLeft;
    } else if (byAmount && !amountLeft.IsZero()) {
      // Multiplied before dividing: a quotient held to six decimals and
      // then multiplied by a large amount is off by cents.
      share = math.Round(math.Div(math.Mul(line.amount, chargeLeft), amountLeft));
    } else if (!byAmount && quantityLeft != 0) {
      share = math.Round(math.DivInt(math.MulInt(chargeLeft, line.quantity), quantityLeft));
    }
    if (byAmount) {
      amountLeft = math.Sub(amountLeft, line.amount);
    } else {
      quantityLeft -= line.quantity;
    }
    chargeLeft = math.Sub(chargeLeft, share);
    const bool read = byAmount ? sharer.ShareByAmount(line, share, made)
                               : sharer.ShareByQuantity(line, share, made);
    if (!read) return ProrateResult::SplitNotRead;
  }
  if (!math.ok()) return ProrateResult::Overflow;
  parts.insert(parts.end(), made.begin(), made.end());
  return ProrateResult::Ok;
}

size_t ChargeTypesPerBatch(size_t chargeTypes, size_t budgetRows) {
  if (budgetRows == 0 || chargeTypes <= kMaxPartsPerBatch / budgetRows) return chargeTypes;
  return std::max<size_t>(1, kMaxPartsPerBatch / budgetRows);
}

size_t BudgetRowCount(const ProrationPlan& plan) {
  size_t count = 0;
  for (const ProrationLine& line : plan.lines) count += line.rows.size();
  return count;
}

}  // namespace acq::AcqProrateMath
