// Extra-charge proration on a real database: the shares written for the
// worked examples, the budgets and contracts moved by exactly the base of
// the rows, history and ledger, undo putting every total back, the
// refusals, and a statement large enough to be taken in several batches.
#include <gtest/gtest.h>

#include <map>

#include "acq/BudgetTestSupport.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/statement/AcqDbProrate.h"
#include "support/Processes.h"

namespace {

namespace prorate = acq::AcqDbProrate;
namespace math = acq::AcqProrateMath;
using budgettest::BudgetModule;
using budgettest::Money;

constexpr int32_t kStatement = 30;

// One line money row of the statement: PO 1 (contract STAND26 of vendor 1).
struct SourceRow {
  int16_t line;
  int16_t item;
  const char* budget;
  const char* amount;
};

// Statement 30 of vendor 1 at `rate`, its `rows`, and open charges `charges`
// (type, amount); split percentages for PO 1 line 3 are the demo's (60/40).
std::string StatementSql(const std::vector<SourceRow>& rows,
                  const std::vector<std::pair<const char*, const char*>>& charges,
                  const char* rate = "1") {
  auto raw = [](const char* money) { return std::to_string(Money(money).raw); };
  std::string sql =
      "INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
      "amount, currency, exchange_rate) VALUES (30, 'T-30', 0, 1, 0, 'USD', " + raw(rate) + ");";
  for (const SourceRow& r : rows)
    sql += "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount, "
           "exchange_rate, spent, \"statement#\", statement_line, statement_line_type) VALUES "
           "(1, " + std::to_string(r.line) + ", " + std::to_string(r.item) + ", '" + r.budget +
           "', " + raw(r.amount) + ", " + raw(rate) + ", 0, 30, 1, 0);";
  for (const auto& [type, amount] : charges)
    sql += "INSERT INTO statement_extra_charge(\"statement#\", extra_charge_type, amount, "
           "exchange_rate) VALUES (30, '" + std::string(type) + "', " + raw(amount) + ", " +
           raw(rate) + ");";
  return sql;
}

// The statement's window rows: one per line, its amount the rows' sum.
std::vector<math::StatementLine> LinesOf(const std::vector<SourceRow>& rows,
                                         const std::vector<int16_t>& selected = {}) {
  std::vector<math::StatementLine> lines;
  for (const SourceRow& r : rows) {
    if (!lines.empty() && lines.back().line == r.line) {
      (void)LbDec64_Add64(*lines.back().itemAmount, Money(r.amount), *lines.back().itemAmount);
      continue;
    }
    const bool sel = std::find(selected.begin(), selected.end(), r.line) != selected.end();
    lines.push_back({1, r.line, Money(r.amount), sel});
  }
  return lines;
}

// "line/item budget amount" of each prorated row, in the order written.
std::vector<std::string> Prorated(BudgetModule& m, const char* type) {
  std::vector<std::vector<std::string>> rows;
  std::string error;
  EXPECT_TRUE(testlib::detail::Table(
      m.db.Path(),
      "select line, item, budget, amount from po_line_item_budget_amount where \"statement#\"=30"
      " and extra_charge_type='" + std::string(type) + "' order by \"budget_amount#\"",
      "", rows, error))
      << error;
  std::vector<std::string> out;
  for (const auto& r : rows)
    out.push_back(r[0] + "/" + r[1] + " " + r[2] + " " +
                  LbDec64_StrFrom64(Dec64::FromRaw(std::stoll(r[3]))));
  return out;
}

std::string Text(const char* money) { return LbDec64_StrFrom64(Money(money)); }

TEST(ProrateDb, WorkedExamplesWriteTheirShares) {
  struct Case {
    const char* name;
    std::vector<SourceRow> rows;
    math::Method method;
    const char* charge;
    std::vector<std::string> shares;   // "line/item budget amount"
  };
  const Case cases[] = {
      {"30/70 by amount", {{1, 1, "ADULT.2026", "30.00"}, {2, 1, "REF.2026", "70.00"}},
       math::Method::Amount, "10.00",
       {"1/1 ADULT.2026 " + Text("3.00"), "2/1 REF.2026 " + Text("7.00")}},
      // 10 x 1 / 6 = 1.67; then 8.33 x 2 / 5 = 3.33; the last takes 5.00.
      {"1/2/3 by amount",
       {{1, 1, "ADULT.2026", "1.00"}, {2, 1, "REF.2026", "2.00"}, {3, 1, "ADULT.2026", "3.00"}},
       math::Method::Amount, "10.00",
       {"1/1 ADULT.2026 " + Text("1.67"), "2/1 REF.2026 " + Text("3.33"),
        "3/1 ADULT.2026 " + Text("5.00")}},
      {"1 and 3 items by quantity",
       {{1, 1, "ADULT.2026", "5.00"}, {2, 1, "REF.2026", "5.00"}, {2, 2, "REF.2026", "5.00"},
        {2, 3, "REF.2026", "5.00"}},
       math::Method::Quantity, "1.00",
       {"1/1 ADULT.2026 " + Text("0.25"), "2/1 REF.2026 " + Text("0.25"),
        "2/2 REF.2026 " + Text("0.25"), "2/3 REF.2026 " + Text("0.25")}},
      // Items of zero amount share by their split (60/40): item 1 takes
      // 3.00 + 2.00 of 10.00 over two items; item 2 the remaining 5.00.
      {"zero items by their split",
       {{3, 1, "ADULT.2026", "0"}, {3, 1, "REF.2026", "0"}, {3, 2, "ADULT.2026", "0"},
        {3, 2, "REF.2026", "0"}},
       math::Method::Quantity, "10.00",
       {"3/1 ADULT.2026 " + Text("3.00"), "3/1 REF.2026 " + Text("2.00"),
        "3/2 ADULT.2026 " + Text("3.00"), "3/2 REF.2026 " + Text("2.00")}},
      // A credit line shares a negative charge by amount.
      {"credit by amount", {{1, 1, "ADULT.2026", "-20.00"}, {2, 1, "ADULT.2026", "-10.00"}},
       math::Method::Amount, "-1.00",
       {"1/1 ADULT.2026 " + Text("-0.67"), "2/1 ADULT.2026 " + Text("-0.33")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BudgetModule m(StatementSql(c.rows, {{"SHIP", c.charge}}));
    prorate::ProrateReport report;
    EXPECT_TRUE(prorate::ProrateCharges(kStatement, LinesOf(c.rows), math::LineChoice::All,
                                        c.method, {"SHIP"}, report));
    EXPECT_EQ(report.refusal, 0);
    EXPECT_EQ(Prorated(m, "SHIP"), c.shares);
    EXPECT_TRUE(acqtest::ShownErrors().empty());
  }
}

TEST(ProrateDb, MoneyMovesByTheExactBaseAndUndoPutsItBack) {
  // At 1.25 the shares' bases have four decimals: they must not be rounded.
  const std::vector<SourceRow> rows = {
      {1, 1, "ADULT.2026", "1.00"}, {2, 1, "REF.2026", "2.00"}, {3, 1, "ADULT.2026", "3.00"}};
  BudgetModule m(StatementSql(rows, {{"SHIP", "10.00"}, {"HANDLE", "0.05"}}, "1.25"));
  const std::string adultBefore = m.Query("select on_order from budget where budget='ADULT.2026'");
  const std::string refBefore = m.Query("select on_order from budget where budget='REF.2026'");
  const std::string contractBefore =
      m.Query("select on_order from vendor_contract where vendor_contract='STAND26'");
  prorate::ProrateReport report;
  ASSERT_TRUE(prorate::ProrateCharges(kStatement, LinesOf(rows), math::LineChoice::All,
                                      math::Method::Amount, {"SHIP", "HANDLE"}, report));
  EXPECT_EQ(report.batches, 1u);
  // SHIP 1.67 + 5.00 on ADULT, 3.33 on REF; HANDLE 0.01 + 0.02 (last) on
  // ADULT, 0.02 on REF. Base x 1.25: ADULT 6.70 x 1.25, REF 3.35 x 1.25.
  EXPECT_EQ(m.Total("on_order", "ADULT.2026").raw,
            std::stoll(adultBefore) + 8375000);
  EXPECT_EQ(m.Total("on_order", "REF.2026").raw, std::stoll(refBefore) + 4187500);
  EXPECT_EQ(std::stoll(m.Query(
                "select on_order from vendor_contract where vendor_contract='STAND26'")),
            std::stoll(contractBefore) + 8375000 + 4187500);
  for (const char* type : {"SHIP", "HANDLE"}) {
    const std::string charge = m.Query(
        std::string("select amount from statement_extra_charge where \"statement#\"=30 and "
                    "extra_charge_type='") +
        type + "'");
    EXPECT_EQ(m.Query(std::string("select sum(amount) from po_line_item_budget_amount where "
                                  "\"statement#\"=30 and extra_charge_type='") + type + "'"),
              charge)
        << type;
  }
  // History: one row per item and type, transaction type 0; the ledger
  // names the item of each extra-charge move.
  EXPECT_EQ(m.Query("select count(*) from po_line_item_history where po_activity_type="
                    "'extchrg' and transaction_type=0 and \"statement#\"=30"),
            "6");
  EXPECT_EQ(m.Query("select count(*) from budget_transaction_detail where \"statement#\"=30 "
                    "and extra_charge_type is not null and \"po#\"=1 and item=1"),
            "6");

  int refusal = -1;
  ASSERT_TRUE(prorate::UndoCharges(kStatement, {"SHIP"}, refusal));
  EXPECT_EQ(refusal, 0);
  EXPECT_EQ(Prorated(m, "SHIP"), std::vector<std::string>{});
  EXPECT_EQ(Prorated(m, "HANDLE").size(), 3u);
  ASSERT_TRUE(prorate::UndoCharges(kStatement, {}, refusal));
  EXPECT_EQ(m.Query("select on_order from budget where budget='ADULT.2026'"), adultBefore);
  EXPECT_EQ(m.Query("select on_order from budget where budget='REF.2026'"), refBefore);
  EXPECT_EQ(m.Query("select on_order from vendor_contract where vendor_contract='STAND26'"),
            contractBefore);
  EXPECT_EQ(m.Query("select count(*) from po_line_item_history where po_activity_type="
                    "'extchrg' and transaction_type=2 and \"statement#\"=30"),
            "6");
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

TEST(ProrateDb, RefusalsLeaveEverythingAsItWas) {
  const std::vector<SourceRow> rows = {{1, 1, "ADULT.2026", "30.00"}, {2, 1, "REF.2026", "70.00"}};
  struct Case {
    const char* name;
    const char* sql;             // run after the set-up
    bool undo;                   // undo (else prorate) after a first proration of SHIP
    bool prorateFirst;
    std::vector<int16_t> selected;
    math::LineChoice choice;
    int refusal;
  };
  const Case cases[] = {
      {"undo with nothing prorated", "", true, false, {}, math::LineChoice::All, 250},
      {"undo of a vouchered share",
       "update po_line_item_budget_amount set \"voucher#\"=1 where extra_charge_type='SHIP'",
       true, true, {}, math::LineChoice::All, 251},
      {"undo on an approved statement",
       "update statement set approve_date=46000 where \"statement#\"=30", true, true, {},
       math::LineChoice::All, 304},
      {"prorate on an approved statement",
       "update statement set approve_date=46000 where \"statement#\"=30", false, false, {},
       math::LineChoice::All, 295},
      {"prorate a type prorated already", "", false, true, {}, math::LineChoice::All, 1570},
      {"all but selected with every line selected", "", false, false, {1, 2},
       math::LineChoice::AllButSelected, 248},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BudgetModule m(StatementSql(rows, {{"SHIP", "10.00"}}));
    prorate::ProrateReport report;
    if (c.prorateFirst) {
      ASSERT_TRUE(prorate::ProrateCharges(kStatement, LinesOf(rows), math::LineChoice::All,
                                          math::Method::Amount, {"SHIP"}, report));
    }
    if (c.sql[0] != '\0') m.db.Exec(c.sql);
    const std::string before = m.Query(
        "select sum(on_order) || '/' || (select count(*) from po_line_item_budget_amount) || "
        "'/' || (select count(*) from po_line_item_history) from budget");
    int refusal = 0;
    if (c.undo) {
      EXPECT_FALSE(prorate::UndoCharges(kStatement, {"SHIP"}, refusal));
    } else {
      EXPECT_FALSE(prorate::ProrateCharges(kStatement, LinesOf(rows, c.selected), c.choice,
                                           math::Method::Amount, {"SHIP"}, report));
      refusal = report.refusal;
    }
    EXPECT_EQ(refusal, c.refusal);
    EXPECT_EQ(m.Query("select sum(on_order) || '/' || (select count(*) from "
                      "po_line_item_budget_amount) || '/' || (select count(*) from "
                      "po_line_item_history) from budget"),
              before);
  }
}

// 13107 lines of 5 items: 65535 line rows, so two charge types take two
// transactions of 65535 shares each. The ledger is off here (the tests
// above check it): on a server its row-at-a-time writes would dominate.
TEST(ProrateDb, A65535RowStatementTakesOneTransactionPerType) {
  std::string sql = StatementSql({}, {{"SHIP", "655.35"}, {"HANDLE", "7.77"}});
  sql += "UPDATE acq_parameter SET track_budget_trans=0;";
  sql += "WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n WHERE k < 65534) "
         "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount, "
         "exchange_rate, spent, \"statement#\") "
         "SELECT 8, k / 5 + 1, k % 5 + 1, 'ADULT.2026', 1000000, 1000000, 0, 30 "
         "FROM n";
  BudgetModule m(sql);
  std::vector<math::StatementLine> lines;
  for (int line = 1; line <= 13107; ++line)
    lines.push_back({8, static_cast<int16_t>(line), Money("5.00"), false});
  const int64_t before = m.Total("on_order", "ADULT.2026").raw;
  prorate::ProrateReport report;
  ASSERT_TRUE(prorate::ProrateCharges(kStatement, lines, math::LineChoice::All,
                                      math::Method::Amount, {"SHIP", "HANDLE"}, report));
  EXPECT_EQ(report.batches, 2u);
  EXPECT_EQ(report.committed, 2u);
  // 655.35 gives every row 0.01; 7.77 leaves most rows nothing.
  EXPECT_EQ(m.Query("select count(*) from po_line_item_budget_amount where "
                    "extra_charge_type='SHIP' and amount=10000"),
            "65535");
  EXPECT_EQ(std::to_string(report.rows),
            m.Query("select count(*) from po_line_item_budget_amount where "
                    "extra_charge_type is not null"));
  EXPECT_EQ(m.Query("select sum(amount) from po_line_item_budget_amount where "
                    "extra_charge_type='HANDLE'"),
            std::to_string(Money("7.77").raw));
  EXPECT_EQ(m.Total("on_order", "ADULT.2026").raw, before + Money("663.12").raw);
  int refusal = 0;
  ASSERT_TRUE(prorate::UndoCharges(kStatement, {}, refusal));
  EXPECT_EQ(m.Total("on_order", "ADULT.2026").raw, before);
}

// Two workstations (processes) prorate the same charge at once: one
// writes it, the other finds it prorated when it re-reads the statement
// inside its transaction and is refused; the shares and the money are there
// exactly once. Exit status: 0 committed, else 100 + the refusal message.
TEST(ProrateDb, TwoWorkstationsProratingOneChargeWriteItOnce) {
  const std::vector<SourceRow> rows = {{1, 1, "ADULT.2026", "30.00"}, {2, 1, "REF.2026", "70.00"}};
  BudgetModule m(StatementSql(rows, {{"SHIP", "10.00"}}));
  const int64_t adult = m.Total("on_order", "ADULT.2026").raw;
  const std::vector<math::StatementLine> lines = LinesOf(rows);
  testproc::Gate gate;
  std::vector<pid_t> children;
  for (int w = 0; w < 2; ++w) {
    children.push_back(testproc::Spawn([&] {
      DbMsg msg;
      HDb own = nullptr;
      if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
      acq::AcqDbGlobal::Globals().session = own;
      gate.Wait();
      prorate::ProrateReport report;
      const bool done = prorate::ProrateCharges(kStatement, lines, math::LineChoice::All,
                                                math::Method::Amount, {"SHIP"}, report);
      _DbLogout(&own);
      return done ? 0 : 100 + (report.refusal - 1500);
    }));
  }
  gate.Open(2);
  std::vector<int> statuses;
  for (pid_t child : children) statuses.push_back(testproc::WaitFor(child, 120));
  std::sort(statuses.begin(), statuses.end());
  EXPECT_EQ(statuses, (std::vector<int>{0, 100 + 70})) << "1570: prorated meanwhile";
  EXPECT_EQ(Prorated(m, "SHIP"),
            (std::vector<std::string>{"1/1 ADULT.2026 " + Text("3.00"),
                                      "2/1 REF.2026 " + Text("7.00")}));
  EXPECT_EQ(m.Total("on_order", "ADULT.2026").raw, adult + Money("3.00").raw);
}

}  // namespace
