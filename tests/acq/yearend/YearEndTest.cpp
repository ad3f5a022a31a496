// The year-end moves on a real database: the transfer of unspent money
// (percentages, exactness, a second run, bad input) and the reassignment
// of attachments (what moves, statement rows that meet on the target, fund
// control), each checked against the budgets' rows and ledger.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acq/BudgetTestSupport.h"
#include "acq/budget/AcqDbYearEnd.h"
#include "support/TestLibrary.h"

namespace {

namespace ye = acq::AcqDbYearEnd;
using budgettest::AnsweringPerson;
using budgettest::BudgetModule;
using budgettest::Money;

// Accounts of their own (Y*) in 2040 and 2041, so the demo's money stays
// out of the sums. Each budget's totals start equal to its rows.
const char* const kSetup = R"(
INSERT INTO account(account, descr, transfer_unspent_percent) VALUES
  ('YA', 'Year A', 50), ('YB', 'Year B', NULL), ('YC', 'Year C', 0), ('YD', 'Year D', NULL);
INSERT INTO account_year(account, year, amount, on_order, spent, status) VALUES
  ('YA', 2040, 1000000000, 0, 800000000, 0), ('YA', 2041, 500000000, 0, 0, 0),
  ('YB', 2040, 333330000, 0, 0, 0),          ('YB', 2041, 0, 0, 0, 0),
  ('YC', 2040, 1000000000, 30000000, 1200000000, 0), ('YC', 2041, 0, 0, 0, 0),
  ('YD', 2040, 100000000, 0, 0, 0),          ('YD', 2041, 0, 0, 0, 2),
  ('YD', NULL, 0, 0, 0, 0);
INSERT INTO po_line_item_budget_amount("budget_amount#", "po#", line, item, budget, amount,
    exchange_rate, spent, extra_charge_type, "voucher#") VALUES
  (90001, 1, 1, 1, 'YA.2040', 800000000, 1000000, 1, NULL, NULL),
  (90002, 1, 1, 2, 'YC.2040', 1000000000, 1000000, 1, NULL, NULL),
  (90003, 1, 1, 2, 'YC.2040', 10000000, 1000000, 0, NULL, NULL),
  (90004, 1, 1, 3, 'YC.2040', 20000000, 1000000, 0, NULL, NULL),
  (90005, 1, 1, 4, 'YC.2040', 200000000, 1000000, 1, NULL, 1);
)";

// The demo library with `sql` run statement by statement (";" at a line's end
// ends one).
class YearModule : public BudgetModule {
 public:
  explicit YearModule(const std::string& sql) {
    size_t start = 0;
    for (size_t end; (end = sql.find(";\n", start)) != std::string::npos; start = end + 2)
      db.Exec(sql.substr(start, end - start));
  }
};

// The money of the Y budgets compared with their rows and ledger: one
// line per disagreement, "" when all agree. `seed` totals are the ones
// above (the ledger holds only the moves made since).
std::string Disagreements(BudgetModule& m) {
  const std::string base = "sum(amount * exchange_rate / 1000000)";
  std::string out;
  for (const char* budget : {"YA.2040", "YA.2041", "YB.2040", "YB.2041", "YC.2040", "YC.2041",
                             "YD.2040", "YD.2041"}) {
    const std::string b = std::string("'") + budget + "'";
    for (int spent : {0, 1}) {
      const std::string column = spent ? "spent" : "on_order";
      std::string rows;
      for (const char* table :
           {"po_line_item_budget_amount", "statement_extra_charge", "statement_budget"})
        rows += std::string(rows.empty() ? "" : " + ") + "coalesce((select " + base + " from " +
                table + " where budget=" + b + " and spent=" + std::to_string(spent) + "), 0)";
      const Dec64 total = m.Total(column, budget);
      const Dec64 fromRows = m.QueryMoney("select " + rows);
      if (total != fromRows) out += std::string(budget) + " " + column + " rows\n";
      // The last ledger row of the type ends at the total.
      const std::string last = m.Query(
          "select prior_amount + trans_amount from budget_transaction_detail where budget=" + b +
          " and amount_type=" + std::to_string(spent + 1) +
          " order by \"budget_transaction_detail#\" desc limit 1");
      if (!last.empty() && Dec64::FromRaw(std::stoll(last)) != total)
        out += std::string(budget) + " " + column + " ledger\n";
    }
  }
  return out;
}

// The sum of a column over a year's Y budgets.
Dec64 YearSum(BudgetModule& m, const std::string& column, int year) {
  return m.QueryMoney("select coalesce(sum(" + column +
                      "), 0) from account_year where account like 'Y%' and year=" +
                      std::to_string(year));
}

TEST(YearEnd, TransferPercentagesAndAmountsAreExact) {
  struct Case {
    std::optional<int> account;
    bool ignore;
    std::optional<int> options;
    const char* amount;
    const char* spent;
    const char* expected;
  };
  const Case cases[] = {
      {50, false, 10, "1000.00", "800.00", "100.00"},
      {50, false, 10, "1000.00", "1200.00", "0"},      // overspent: nothing
      {std::nullopt, false, 25, "1000.00", "800.00", "50.00"},   // NULL falls back
      {50, true, 25, "1000.00", "800.00", "50.00"},    // ignore flag
      {0, false, 25, "1000.00", "800.00", "0"},        // 0 is a value and wins
      {std::nullopt, false, std::nullopt, "1000.00", "0", "0"},
      {100, false, std::nullopt, "1000.00", "1000.00", "0"},
      {100, false, std::nullopt, "1000.00", "0.01", "999.99"},
      {33, false, std::nullopt, "333.33", "0", "109.9989"},   // not rounded
      {3, false, std::nullopt, "0.01", "0", "0.0003"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.amount) + " " + c.spent + " -> " + c.expected);
    const Dec64 fraction = ye::TransferFraction(c.account, c.ignore, c.options);
    EXPECT_EQ(ye::TransferAmount(Money(c.amount), Money(c.spent), fraction), Money(c.expected));
  }
  for (int bad : {-1, 101}) EXPECT_FALSE(ye::ValidTransferPercent(bad));
  for (int good : {0, 100}) EXPECT_TRUE(ye::ValidTransferPercent(good));
  EXPECT_TRUE(ye::ValidTransferPercent(std::nullopt));

  // Identifiers: a budget without a year reads back as one.
  EXPECT_EQ(ye::BudgetOf("ART", std::nullopt), "ART.");
  EXPECT_FALSE(ye::SplitBudget("ART.").year.has_value());
  EXPECT_EQ(ye::SplitBudget("ART.2041").year, std::optional<int16_t>(2041));
}

TEST(YearEnd, TransferAddsToTheTargetOncePerRunAndSaysSo) {
  YearModule module(kSetup);
  std::vector<ye::TransferRow> rows;
  ye::Refusal refusal;
  ASSERT_TRUE(ye::LoadTransferRows(2040, 2041, rows, refusal));
  ASSERT_FALSE(refusal);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].source, "YA.2040");
  EXPECT_EQ(rows[0].target, "YA.2041");
  EXPECT_EQ(rows[0].spent, Money("800.00"));    // from the rows
  EXPECT_EQ(rows[2].spent, Money("1200.00"));   // vouchered money is spent too

  // Percent of the options 10; YB has none of its own, YC has 0.
  struct Pair {
    const char* source;
    const char* target;
    const char* expected;
  };
  const Pair pairs[] = {{"YA.2040", "YA.2041", "100.00"},
                        {"YB.2040", "YB.2041", "33.333"},
                        {"YC.2040", "YC.2041", "0"}};
  const Dec64 before2040 = YearSum(module, "amount", 2040);
  Dec64 sent;
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.source);
    Dec64 fraction, moved;
    ASSERT_TRUE(ye::GetTransferPercent(ye::SplitBudget(p.source).account, false, 10, fraction));
    ASSERT_TRUE(ye::TransferUnspent(fraction, 1, p.target, std::nullopt, p.source, "year end",
                                    moved, refusal));
    EXPECT_EQ(moved, Money(p.expected));
    (void)LbDec64_Add64(sent, moved, sent);
  }
  EXPECT_EQ(module.Total("amount", "YA.2041"), Money("600.00"));
  EXPECT_EQ(module.Total("status", "YA.2041"), Dec64::FromRaw(1));   // target status set
  EXPECT_EQ(module.Total("status", "YC.2041"), Dec64{});   // nothing due: nothing changed
  EXPECT_EQ(YearSum(module, "amount", 2040), before2040);  // sources never reduced
  EXPECT_EQ(module.QueryMoney("select sum(trans_amount) from budget_transaction_detail "
                              "where amount_type=0 and source_budget like 'Y%.2040'"),
            sent);
  EXPECT_EQ(module.Query("select prior_amount || ' ' || trans_amount || ' ' || source_budget "
                         "from budget_transaction_detail where budget='YA.2041'"),
            "500000000 100000000 YA.2040");
  EXPECT_EQ(module.Query("select note from budget_transaction order by "
                         "\"budget_transaction#\" desc limit 1"),
            "year end");

  // A second run would transfer again: what was sent is known beforehand.
  Dec64 earlier;
  ASSERT_TRUE(ye::AlreadyTransferred("YA.2040", "YA.2041", earlier));
  EXPECT_EQ(earlier, Money("100.00"));
  ASSERT_TRUE(ye::AlreadyTransferred("YC.2040", "YC.2041", earlier));
  EXPECT_EQ(earlier, Dec64{});
  EXPECT_EQ(Disagreements(module), "");
}

TEST(YearEnd, BadTransferInputChangesNothing) {
  YearModule module(kSetup);
  AnsweringPerson person;
  EXPECT_EQ(ye::CheckYears(ye::Op::Transfer, 1999, 2041).message, ye::msg::kTransferNoSourceYear);
  EXPECT_EQ(ye::CheckYears(ye::Op::Transfer, 2040, 1999).message, ye::msg::kTransferNoTargetYear);
  EXPECT_EQ(ye::CheckYears(ye::Op::Reassign, 1999, 2041).message, ye::msg::kReassignNoSourceYear);
  EXPECT_FALSE(ye::CheckYears(ye::Op::Transfer, std::nullopt, 2041));   // YD. has no year

  struct Case {
    std::vector<ye::Pair> pairs;
    int transfer, reassign;
  };
  const Case cases[] = {
      {{}, ye::msg::kTransferNothing, ye::msg::kReassignNothing},
      {{{"YA.2040", ""}}, ye::msg::kTransferNoTarget, ye::msg::kReassignNoTarget},
      {{{"YA.2040", "YA.2040"}}, ye::msg::kTransferNoAllocation, ye::msg::kReassignNoAllocation},
      {{{"YA.2040", "ZZ.2041"}}, ye::msg::kTransferNoAllocation, ye::msg::kReassignNoAllocation},
      {{{"YA.2041", "YA.2041"}}, ye::msg::kTransferSameBudget, ye::msg::kReassignSameBudget},
      {{{"YA.2040", "YB.2041"}}, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ye::CheckPairs(ye::Op::Transfer, c.pairs, 2041).message, c.transfer);
    EXPECT_EQ(ye::CheckPairs(ye::Op::Reassign, c.pairs, 2041).message, c.reassign);
  }

  // YD.2041 is closed: refused whole, unless the transfer reopens it.
  Dec64 moved;
  ye::Refusal refusal;
  const Dec64 fraction = ye::TransferFraction(std::nullopt, false, 100);
  EXPECT_FALSE(ye::TransferUnspent(fraction, std::nullopt, "YD.2041", 1, "YD.2040", "", moved,
                                   refusal));
  EXPECT_EQ(refusal.message, ye::msg::kTransferClosedTarget);
  EXPECT_EQ(module.Total("amount", "YD.2041"), Dec64{});
  EXPECT_EQ(module.Total("status", "YD.2040"), Dec64{});
  EXPECT_EQ(module.Query("select count(*) from budget_transaction_detail where budget like 'YD%'"),
            "0");
  EXPECT_TRUE(ye::TransferUnspent(fraction, 0, "YD.2041", std::nullopt, "YD.2040", "", moved,
                                  refusal));
  EXPECT_EQ(module.Total("amount", "YD.2041"), Money("100.00"));
}

// Reassignment fixture rows: a statement with its own budget rows (one on
// the target already) and an extra charge.
const char* const kStatements = R"(
INSERT INTO statement("statement#", statement_number, "vendor#", amount)
  SELECT 90001, 'Y-1', min("vendor#"), 0 FROM vendor;
INSERT INTO statement_budget("statement#", budget, amount, exchange_rate, spent) VALUES
  (90001, 'YA.2040', 40000000, 1500000, 0), (90001, 'YA.2041', 2000000, 1500000, 0);
INSERT INTO statement_extra_charge("statement#", extra_charge_type, amount, exchange_rate,
    budget, spent) VALUES (90001, 'SHIP', 5000000, 1000000, 'YA.2040', 1);
UPDATE account_year SET on_order = 60000000, spent = 805000000 WHERE account='YA' AND year=2040;
UPDATE account_year SET on_order = 3000000 WHERE account='YA' AND year=2041;
)";

TEST(YearEnd, ReassignMovesWhatTheRollTypeSaysAndKeepsTheBooks) {
  struct Case {
    int roll;
    const char* onOrder2041;   // YA.2041 after
    const char* spent2041;
    int moved;
  };
  const Case cases[] = {
      {ye::kRollOnOrder, "63.00", "0", 1},    // the statement row, merged into YA.2041's
      {ye::kRollSpent, "3.00", "805.00", 2},  // the item's spent money and the charge
      {ye::kRollBoth, "63.00", "805.00", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.roll);
    YearModule module(std::string(kSetup) + kStatements);
    AnsweringPerson person;
    const Dec64 before = YearSum(module, "on_order + spent", 2040);
    const Dec64 before2041 = YearSum(module, "on_order + spent", 2041);
    int moved = 0;
    ye::Refusal refusal;
    ASSERT_TRUE(ye::Reassign({{"YA.2040", "YA.2041"}}, c.roll, "rolled", moved, refusal));
    EXPECT_EQ(moved, c.moved);
    EXPECT_EQ(module.Total("on_order", "YA.2041"), Money(c.onOrder2041));
    EXPECT_EQ(module.Total("spent", "YA.2041"), Money(c.spent2041));
    // What left 2040 arrived in 2041, to the last digit.
    Dec64 left, arrived;
    (void)LbDec64_Sub64(before, YearSum(module, "on_order + spent", 2040), left);
    (void)LbDec64_Sub64(YearSum(module, "on_order + spent", 2041), before2041, arrived);
    EXPECT_EQ(left, arrived);
    EXPECT_EQ(module.Query("select count(*) from statement_budget where \"statement#\"=90001"),
              c.roll == ye::kRollSpent ? "2" : "1");
    EXPECT_EQ(Disagreements(module), "");
    EXPECT_EQ(module.Query("select count(*) from budget_transaction where note='rolled'"), "1");
    // Two ledger rows per moved row, target first, with the row's keys.
    EXPECT_EQ(module.Query("select count(*) from budget_transaction_detail where "
                           "budget like 'YA.%' and amount_type in (1, 2)"),
              std::to_string(2 * c.moved));
    EXPECT_EQ(module.Query("select count(*) from budget_transaction_detail where budget like "
                           "'YA.%' and \"po#\" is null and \"statement#\" is null"),
              "0");
  }
}

TEST(YearEnd, ReassignScreensVoucheredAndPartlySpentBudgets) {
  YearModule module(kSetup);
  struct Case {
    int roll;
    std::vector<ye::Pair> pairs;
    int warning;
    size_t kept;
  };
  // YC.2040: item 2 partly spent, item 3 on order, item 4 spent and vouchered.
  const Case cases[] = {
      {ye::kRollOnOrder, {{"YC.2040", "YC.2041"}}, 0, 1},
      {ye::kRollSpent, {{"YC.2040", "YC.2041"}}, 0, 1},
      {ye::kRollOnOrder, {{"YB.2040", "YB.2041"}}, ye::msg::kReassignNothing, 0},
  };
  for (const Case& c : cases) {
    std::vector<ye::Pair> pairs = c.pairs;
    ye::Refusal warning;
    ASSERT_TRUE(ye::ScreenPairs(pairs, c.roll, warning));
    EXPECT_EQ(warning.message, c.warning);
    EXPECT_EQ(pairs.size(), c.kept);
  }
  // With item 3 gone only the partly spent item is on order: dropped.
  module.db.Exec("DELETE FROM po_line_item_budget_amount WHERE \"budget_amount#\"=90004");
  std::vector<ye::Pair> pairs = {{"YC.2040", "YC.2041"}, {"YA.2040", "YA.2041"}};
  ye::Refusal warning;
  ASSERT_TRUE(ye::ScreenPairs(pairs, ye::kRollOnOrder, warning));
  EXPECT_EQ(warning.message, ye::msg::kSomePartlySpent);
  // Only vouchered money left: dropped with 384.
  module.db.Exec(
      "DELETE FROM po_line_item_budget_amount WHERE \"budget_amount#\" IN (90002, 90003)");
  pairs = {{"YC.2040", "YC.2041"}};
  ASSERT_TRUE(ye::ScreenPairs(pairs, ye::kRollBoth, warning));
  EXPECT_EQ(warning.message, ye::msg::kAllVouchered);

  // A reassignment of YC with both types leaves the vouchered row behind.
  int moved = 0;
  ye::Refusal refusal;
  AnsweringPerson person;
  ASSERT_TRUE(ye::Reassign({{"YC.2040", "YC.2041"}}, ye::kRollBoth, "", moved, refusal));
  EXPECT_EQ(moved, 0);
  EXPECT_EQ(module.Query("select budget from po_line_item_budget_amount where "
                         "\"budget_amount#\"=90005"),
            "YC.2040");
}

TEST(YearEnd, ReassignGoesThroughFundControl) {
  struct Case {
    const char* sql;
    std::deque<bool> answers;
    bool done;
    int refused;
  };
  const Case cases[] = {
      {"UPDATE account_year SET status=2 WHERE account='YC' AND year=2041", {true}, false,
       ye::msg::kReassignClosedTarget},
      {"UPDATE account_year SET status=1 WHERE account='YC' AND year=2041", {false}, false, 0},
      {"UPDATE account_year SET status=1 WHERE account='YC' AND year=2041", {true}, true, 0},
      // Over the target's spent limit (its amount is 0): asked, declined.
      {"UPDATE account_year SET spent_limit=1000000 WHERE account='YC' AND year=2041", {false},
       false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    YearModule module(std::string(kSetup) + c.sql + ";\n");
    AnsweringPerson person(c.answers);
    int moved = 0;
    ye::Refusal refusal;
    EXPECT_EQ(ye::Reassign({{"YC.2040", "YC.2041"}}, ye::kRollBoth, "", moved, refusal), c.done);
    EXPECT_EQ(refusal.message, c.refused);
    EXPECT_EQ(module.Query("select count(*) from po_line_item_budget_amount where "
                           "budget='YC.2041'"),
              c.done ? "3" : "0");
    EXPECT_EQ(module.Total("spent", "YC.2041"), c.done ? Money("1000.00") : Dec64{});
    if (!c.done) {
      EXPECT_EQ(module.Query("select count(*) from budget_transaction_detail "
                             "where budget like 'YC%'"),
                "0");
    }
    EXPECT_EQ(Disagreements(module), "");
  }
}

}  // namespace
