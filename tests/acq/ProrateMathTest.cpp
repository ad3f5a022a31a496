// Extra-charge proration arithmetic: which lines take part, the shares of
// lines and of their budget rows by amount and by quantity, zero items
// shared by their split, and that the parts always add up to the charge.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "acq/statement/AcqProrateMath.h"

namespace {

using namespace acq::AcqProrateMath;
using acq::AcqDbBudget::SplitEntry;

Dec64 M(std::string_view text) { return LbDec64_StrTo64(text).value(); }
std::string Text(Dec64 value) { return LbDec64_StrFrom64(value); }

// Every zero item's split: A 60 %, B 40 %, no entry for any other budget.
bool SixtyForty(int32_t, int16_t, int16_t, std::vector<SplitEntry>& split) {
  split = {{"A", 60}, {"B", 40}};
  return true;
}

// PO 1 rows written "line.item budget:amount", as "2.1A:-30".
std::vector<BudgetRow> RowsOf(const std::string& text) {
  std::vector<BudgetRow> rows;
  std::istringstream in(text);
  for (std::string t; in >> t;) {
    const size_t dot = t.find('.'), colon = t.find(':');
    rows.push_back({1, static_cast<int16_t>(std::stoi(t.substr(0, dot))),
                    static_cast<int16_t>(std::stoi(t.substr(dot + 1))), t.substr(colon - 1, 1),
                    M(t.substr(colon + 1))});
  }
  return rows;
}

// Every line of the rows counted, in the order of its rows.
std::vector<StatementLine> LinesOf(const std::vector<BudgetRow>& rows) {
  std::vector<StatementLine> lines;
  for (const BudgetRow& row : rows) lines.push_back({row.po, row.line, M("1"), false});
  return lines;
}

// The part of each row ("-" for none) separated by blanks, or "failed".
std::string Parts(const std::string& rowText, Method method, const char* charge, int digits,
                  const ItemSplitReader& reader = SixtyForty) {
  const std::vector<BudgetRow> rows = RowsOf(rowText);
  ProrationPlan plan;
  std::vector<ChargePart> parts = {{99, M("1")}};   // an earlier charge's, kept
  EXPECT_EQ(BuildProrationLines(LinesOf(rows), LineChoice::All, rows, method, plan),
            ProrateResult::Ok);
  if (ProrateOneCharge(plan, rows, M(charge), digits, reader, parts) != ProrateResult::Ok) {
    return parts.size() == 1 ? "failed" : "failed, parts changed";
  }
  std::vector<std::string> byRow(rows.size(), "-");
  for (size_t n = 1; n < parts.size(); ++n) byRow.at(parts[n].row) = Text(parts[n].amount);
  std::string joined;
  for (const std::string& part : byRow) joined += (joined.empty() ? "" : " ") + part;
  return joined;
}

TEST(ProrateMath, ChecksBeforeProrating) {
  const StatementLine ten{1, 1, M("10"), true}, zero{1, 2, M("0"), false},
      credit{1, 3, M("-5"), false}, unset{1, 4, std::nullopt, true};
  const auto A = Method::Amount, Q = Method::Quantity;
  const auto all = LineChoice::All, sel = LineChoice::Selected, unsel = LineChoice::AllButSelected;
  struct Case {
    const char* note; std::vector<StatementLine> lines; LineChoice c; Method m; int want;
  };
  const Case cases[] = {   // want: the message number, 0 for none
      {"no lines", {}, all, A, 248},
      {"a null amount is not counted", {unset}, all, Q, 248},
      {"all but selected, all selected", {ten, unset}, unsel, A, 248},
      {"selected, none selected", {zero, credit}, sel, A, 248},
      {"all zero by amount", {zero, unset}, all, A, 355},
      {"all zero by quantity", {zero}, all, Q, 0},
      {"invoice and credit by quantity", {ten, zero, credit}, all, Q, 249},
      {"invoice and credit by amount", {ten, credit}, all, A, 0},
      {"zero is no invoice", {zero, credit}, all, Q, 0},
      {"unselected credit left out", {ten, credit}, sel, Q, 0},
      {"some zero by amount", {zero, ten}, all, A, 356},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(CheckBeforeProrating(c.lines, c.c, c.m)), c.want) << c.note;
  }
}

TEST(ProrateMath, LinesAreTheDistinctCountedPairsWithRows) {
  std::vector<BudgetRow> rows = RowsOf("1.1A:10 1.1B:5 1.2A:5 2.1A:7");
  rows.push_back({2, 1, 1, "A", M("20")});
  const std::vector<StatementLine> lines = {{2, 1, M("20"), false}, {1, 1, M("10"), false},
                                            {2, 1, M("20"), false}, {1, 2, std::nullopt, false},
                                            {3, 1, M("4"), false},  {1, 1, M("10"), true}};
  ProrationPlan plan;
  ASSERT_EQ(BuildProrationLines(lines, LineChoice::All, rows, Method::Quantity, plan),
            ProrateResult::Ok);
  ASSERT_EQ(plan.lines.size(), 2u);   // (1,2) not counted, (3,1) has no rows
  EXPECT_EQ(plan.lines[0].po, 2);
  EXPECT_EQ(plan.lines[1].rows, (std::vector<size_t>{0, 1, 2}));
  EXPECT_EQ(plan.lines[1].quantity, 2);
  EXPECT_EQ(plan.totalQuantity, 3);
  ASSERT_EQ(BuildProrationLines(lines, LineChoice::Selected, rows, Method::Amount, plan),
            ProrateResult::Ok);
  ASSERT_EQ(plan.lines.size(), 1u);
  EXPECT_EQ(Text(plan.totalAmount), "20");
}

TEST(ProrateMath, SharesOfLinesAndRows) {
  const auto amount = Method::Amount, quantity = Method::Quantity;
  struct Case { const char* note; Method method; int digits; const char* charge, *rows, *want; };
  const Case cases[] = {
      {"30/70", amount, 2, "10", "1.1A:30 2.1A:70", "3 7"},
      {"1/2/3: 10x1/6, 8.33x2/5, the rest", amount, 2, "10", "1.1A:1 2.1A:2 3.1A:3", "1.67 3.33 5"},
      {"no decimals", amount, 0, "10", "1.1A:1 2.1A:2 3.1A:3", "2 3 5"},
      {"one unit", quantity, 2, "10", "1.1A:4", "10"},
      {"two units", quantity, 2, "10", "1.1A:4 2.1A:0", "5 5"},
      {"three units: 6.67/2 rounds half up", quantity, 2, "10", "1.1A:1 2.1A:1 3.1A:9",
       "3.33 3.34 3.33"},
      {"1 and 3 items", quantity, 2, "1", "1.1A:4 2.1A:2 2.2A:2 2.3B:2", "0.25 0.25 0.25 0.25"},
      {"not amount/total first (10000.00)", amount, 2, "30000.03", "1.1A:1 2.1A:2",
       "10000.01 20000.02"},
      {"not charge/total first (3.30)", amount, 2, "10", "1.1A:100000 2.1A:200000", "3.33 6.67"},
      {"item ratio first: 0.333333 x 30000.03", quantity, 2, "30000.03", "1.1A:1 1.1B:2",
       "10000 20000.03"},
      {"credit lines", amount, 2, "10", "1.1A:-30 2.1A:-70", "3 7"},
      {"credit charge", amount, 2, "-10", "1.1A:30 1.1B:70", "-3 -7"},
      {"credit item by quantity", quantity, 2, "2", "1.1A:-1 1.1B:-3", "0.5 1.5"},
      {"lines netting to zero: the last takes all", amount, 2, "10", "1.1A:10 2.1A:-10", "- 10"},
      {"zero line gets no row", amount, 2, "10", "1.1A:5 2.1A:0 3.1A:5", "5 - 5"},
      {"rows of a line: last takes the rest", amount, 2, "1", "1.1A:1 1.2A:1 1.3A:1",
       "0.33 0.34 0.33"},
      {"an item's parts come off at the next item", quantity, 2, "1", "1.1A:1 1.1B:1 1.2A:2",
       "0.25 0.25 0.5"},
      {"zero items by split 60/40", quantity, 2, "1", "1.1A:0 1.1B:0 1.2A:0 1.2B:0",
       "0.3 0.2 0.3 0.2"},
      {"budget not in the split", quantity, 2, "1", "1.1A:0 1.1C:0 1.2A:5", "0.3 - 0.7"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Parts(c.rows, c.method, c.charge, c.digits), c.want) << c.note;
  }
}

TEST(ProrateMath, FailuresLeaveThePartsAsTheyWere) {
  int reads = 0;
  const ItemSplitReader failing = [&](int32_t, int16_t, int16_t, std::vector<SplitEntry>&) {
    ++reads;
    return false;
  };
  // A zero item on the line's last row needs no split.
  EXPECT_EQ(Parts("1.1A:2 1.2A:0", Method::Quantity, "1", 2, failing), "0.5 0.5");
  EXPECT_EQ(reads, 0);
  EXPECT_EQ(Parts("1.1A:0 1.2A:0", Method::Quantity, "1", 2, failing), "failed");
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(Parts("1.1A:5000000 2.1A:1", Method::Amount, "5000000", 2), "failed");
}

TEST(ProrateMath, ChargeTypesPerBatch) {
  EXPECT_EQ(ChargeTypesPerBatch(5, 13107), 5u);    // 65535 rows exactly
  EXPECT_EQ(ChargeTypesPerBatch(6, 13107), 5u);
  EXPECT_EQ(ChargeTypesPerBatch(3, 70000), 1u);    // one type is already too many
}

// Random statements (seeded, so a failure repeats): whatever the lines,
// rows, signs, splits and precision, the parts add up to the charge, each
// is a whole number of the money unit, and each row gets at most one.
TEST(ProrateMath, PartsAlwaysAddUpToTheCharge) {
  std::mt19937 random(20261206);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution(low, high)(random); };
  const ItemSplitReader split = [&](int32_t, int16_t, int16_t, std::vector<SplitEntry>& out) {
    const int a = pick(0, 100);
    out = {{"A", a}, {"B", 100 - a}};
    return true;
  };
  for (int n = 0; n < 3000; ++n) {
    std::string text;   // lines 1..6 of 1..4 items on A and some of B, C; a fifth all zero
    const int sign = pick(-1, 1);   // 0: both signs
    for (int line = 1, lines = pick(1, 6); line <= lines; ++line) {
      for (int item = 1, items = pick(1, 4); item <= items; ++item) {
        const bool zeroItem = pick(0, 4) == 0;
        for (const char* budget : {"A", "B", "C"}) {
          if (budget[0] != 'A' && pick(0, 2) == 0) continue;
          const int cents = zeroItem ? 0 : pick(0, 50000) * (sign ? sign : pick(0, 1) * 2 - 1);
          text += std::to_string(line) + "." + std::to_string(item) + budget + ":" +
                  Text(Dec64::FromRaw(cents * 10000LL)) + " ";
        }
      }
    }
    const std::vector<BudgetRow> rows = RowsOf(text);
    std::vector<StatementLine> lines = LinesOf(rows);
    std::shuffle(lines.begin(), lines.end(), random);
    const Method method = pick(0, 1) ? Method::Quantity : Method::Amount;
    const int digits = pick(0, 4);
    int64_t unit = Dec64::kOne;   // the money unit in millionths
    for (int d = 0; d < digits; ++d) unit /= 10;
    const Dec64 charge = Dec64::FromRaw(pick(-100000, 100000) * unit);
    ProrationPlan plan;
    std::vector<ChargePart> parts;
    ASSERT_EQ(BuildProrationLines(lines, LineChoice::All, rows, method, plan), ProrateResult::Ok);
    ASSERT_EQ(ProrateOneCharge(plan, rows, charge, digits, split, parts), ProrateResult::Ok);
    int64_t sum = 0;
    std::map<size_t, int> partsOfRow;
    for (const ChargePart& part : parts) {
      sum += part.amount.raw;
      EXPECT_TRUE(part.amount.raw % unit == 0 && !part.amount.IsZero()) << n;
      EXPECT_EQ(++partsOfRow[part.row], 1) << n;
    }
    ASSERT_EQ(sum, charge.raw) << "case " << n;
  }
}

}  // namespace
