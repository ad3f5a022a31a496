// Saving a statement on a real database: new statements and their on-order
// money, the header rules (each refusal leaves every row and total as it
// was), a save over a statement another workstation changed meanwhile, the
// default budget of an extra-charge type, and undo of statement lines.
#include <gtest/gtest.h>

#include "acq/BudgetTestSupport.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/statement/AcqDbStmnt.h"

namespace {

namespace st = acq::AcqDbStmnt;
using budgettest::BudgetModule;
using budgettest::Money;

std::string Raw(const char* money) { return std::to_string(Money(money).raw); }

// Statement 40 of vendor 1 in USD, not approved: an invoice of 30.00 with a
// budgeted SHIP charge of 5.00 on OPS.2026 (its money on order) and an open
// HANDLE charge of 2.00. `extra` adds rows for one case.
std::string Statement40(const std::string& extra = "") {
  return "INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
         "amount, currency, exchange_rate, note) VALUES (40, 'S-40', 0, 1, " + Raw("30") +
         ", 'USD', " + Raw("1") + ", 'first');"
         "INSERT INTO statement_extra_charge(\"statement#\", extra_charge_type, amount, "
         "exchange_rate, budget) VALUES (40, 'SHIP', " + Raw("5") + ", " + Raw("1") +
         ", 'OPS.2026'), (40, 'HANDLE', " + Raw("2") + ", " + Raw("1") + ", NULL);"
         "UPDATE account_year SET on_order = on_order + " + Raw("5") +
         " WHERE account = 'OPS' AND year = 2026;" + extra;
}

// Everything a save may touch, as text, to show that a refusal wrote nothing.
std::string Picture(BudgetModule& m) {
  std::string out;
  for (const char* sql :
       {"select statement_number||'/'||statement_type||'/'||\"vendor#\"||'/'||amount||'/'||"
        "coalesce(currency,'')||'/'||coalesce(note,'') from statement where \"statement#\"=40",
        "select count(*)||'/'||coalesce(sum(amount),0) from statement_extra_charge where "
        "\"statement#\"=40",
        "select count(*) from statement_budget where \"statement#\"=40",
        "select on_order from budget where budget='OPS.2026'"})
    out += m.Query(sql) + "|";
  return out;
}

st::Statement Load(int32_t statement) {
  st::Statement s;
  bool found = false;
  EXPECT_TRUE(st::LoadStatement(statement, s, found));
  EXPECT_TRUE(found) << statement;
  return s;
}

// A credit memo: amounts typed positive are stored negative, so its
// budgeted charge takes money off the budget's on order.
TEST(StatementSave, NewStatementPutsBudgetedChargesOnOrderAndEditsMoveOnlyTheDifference) {
  BudgetModule m;
  const Dec64 before = m.Total("on_order", "OPS.2026");
  st::Statement shown, edited;
  edited.header = {0, "NEW-1", 3, 2, Money("12.50"), "USD", Money("1"), {}, "a credit",
                   false, false, {}, {}, {}};
  edited.charges = {{"HANDLE", Money("1.25"), "", false, false},
                    {"SHIP", Money("4.00"), "OPS.2026", false, false}};
  st::Refusal refused;
  ASSERT_TRUE(st::SaveStatement(shown, edited, refused)) << refused.message;
  const int32_t key = edited.header.statement;
  ASSERT_GT(key, 2);
  EXPECT_EQ(m.Query("select statement_number from statement where \"statement#\"=" +
                    std::to_string(key)),
            "NEW-1");
  EXPECT_EQ(m.Total("on_order", "OPS.2026").raw - before.raw, Money("-4").raw);

  // The window reads it back, changes one charge and drops the other.
  st::Statement again = Load(key);
  EXPECT_EQ(again.header.type, 3);
  EXPECT_EQ(again.header.amount, Money("-12.50"));
  ASSERT_EQ(again.charges.size(), 2u);
  EXPECT_EQ(again.charges[0].amount, Money("-1.25"));
  st::Statement next = again;
  next.charges = {{"SHIP", Money("6.50"), "OPS.2026", false, false}};
  ASSERT_TRUE(st::SaveStatement(again, next, refused)) << refused.message;
  EXPECT_EQ(m.Total("on_order", "OPS.2026").raw - before.raw, Money("-6.5").raw);
  // An invoice keeps what was typed, a negative adjustment too.
  st::Statement invoice = Load(key);
  st::Statement asInvoice = invoice;
  asInvoice.header.type = 0;
  asInvoice.charges[0].amount = Money("-0.50");
  ASSERT_TRUE(st::SaveStatement(invoice, asInvoice, refused)) << refused.message;
  EXPECT_EQ(m.Total("on_order", "OPS.2026").raw - before.raw, Money("-0.5").raw);
  EXPECT_EQ(m.Query("select count(*) from statement_extra_charge where \"statement#\"=" +
                    std::to_string(key)),
            "1");
}

TEST(StatementSave, StatementBudgetOverItsLimitIsAskedAndADeclineWritesNothing) {
  // OPS.2026 may have 1.00 more on order; the credit by budget puts 10.00.
  const std::string limit =
      "UPDATE account_year SET on_order_limit = on_order + " + Raw("1") +
      ", on_order_limit_percent = 0 WHERE account = 'OPS' AND year = 2026";
  for (const bool yes : {false, true}) {
    BudgetModule m(limit);
    budgettest::AnsweringPerson person({yes});
    const Dec64 before = m.Total("on_order", "OPS.2026");
    st::Statement shown, edited;
    edited.header.number = "B-1";
    edited.header.type = 2;
    edited.header.vendor = 1;
    edited.header.amount = Money("10");
    edited.budgets = {{"OPS.2026", Money("10"), false, false}};
    st::Refusal refused;
    EXPECT_EQ(st::SaveStatement(shown, edited, refused), yes);
    EXPECT_EQ(refused.message, 0);
    ASSERT_EQ(person.shown.size(), 1u) << yes;
    EXPECT_NE(person.shown[0].find("on order limit for budget OPS.2026"), std::string::npos)
        << person.shown[0];
    EXPECT_EQ(m.Query("select count(*) from statement where statement_number='B-1'"),
              yes ? "1" : "0");
    EXPECT_EQ(m.Total("on_order", "OPS.2026").raw - before.raw, yes ? Money("10").raw : 0);
  }
}

TEST(StatementSave, HeaderRulesRefuseAndLeaveEverythingAsItWas) {
  // A credit applied to statement 40 (as invoice) of 20.00; a prorated
  // share of its HANDLE charge; a vouchered charge on a second copy.
  const std::string linker =
      "INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
      "amount, currency) VALUES (41, 'C-41', 3, 1, " + Raw("20") + ", 'USD');"
      "INSERT INTO statement_linker(\"invoice_statement#\", \"credit_statement#\", "
      "amount_applied) VALUES (40, 41, " + Raw("20") + ");";
  const std::string lineRow =
      "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount, "
      "exchange_rate, \"statement#\") VALUES (1, 2, 1, 'ADULT.2026', " + Raw("30") + ", " +
      Raw("1") + ", 40);";
  const std::string prorated =
      lineRow + "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount, "
      "exchange_rate, \"statement#\", extra_charge_type) VALUES (1, 2, 1, 'ADULT.2026', " +
      Raw("2") + ", " + Raw("1") + ", 40, 'HANDLE');";
  const std::string vouchered =
      "UPDATE statement_extra_charge SET \"voucher#\" = 1 WHERE \"statement#\" = 40 AND "
      "extra_charge_type = 'SHIP';";
  const std::string approved = "UPDATE statement SET approve_date = 40000 WHERE \"statement#\"=40;";

  struct Case {
    const char* what;
    std::string setup;
    std::function<void(st::Statement&)> edit;
    int message;
    const char* arg;
  };
  const Case cases[] = {
      {"approved: amount", approved, [](st::Statement& s) { s.header.amount = Money("31"); }, 302, ""},
      {"approved: a charge", approved,
       [](st::Statement& s) { s.charges[0].amount = Money("3"); }, 296, ""},
      {"type with lines", lineRow, [](st::Statement& s) { s.header.type = 1; }, 106, ""},
      {"type with a vouchered charge", vouchered, [](st::Statement& s) { s.header.type = 1; },
       106, ""},
      {"currency with lines", lineRow, [](st::Statement& s) { s.header.currency = "CAD"; }, 107,
       ""},
      {"currency with credits", linker, [](st::Statement& s) { s.header.currency = "CAD"; }, 107,
       ""},
      {"vouchered charge amount", vouchered,
       [](st::Statement& s) { s.charges[1].amount = Money("6"); }, 132, ""},
      {"vouchered charge budget", vouchered,
       [](st::Statement& s) { s.charges[1].budget = "ADULT.2026"; }, 132, ""},
      {"vouchered charge deleted", vouchered, [](st::Statement& s) { s.charges.pop_back(); },
       133, ""},
      {"prorated charge amount", prorated,
       [](st::Statement& s) { s.charges[0].amount = Money("3"); }, 134, "HANDLE"},
      {"prorated charge deleted", prorated,
       [](st::Statement& s) { s.charges.erase(s.charges.begin()); }, 134, "HANDLE"},
      {"vendor with credits", linker, [](st::Statement& s) { s.header.vendor = 2; }, 136, ""},
      {"amount below credits", linker, [](st::Statement& s) { s.header.amount = Money("19.99"); },
       137, ""},
  };
  for (const Case& c : cases) {
    BudgetModule m(Statement40(c.setup));
    const std::string before = Picture(m);
    st::Statement shown = Load(40);
    ASSERT_EQ(shown.charges.size(), 2u) << c.what;   // HANDLE, SHIP
    st::Statement edited = shown;
    c.edit(edited);
    st::Refusal refused;
    EXPECT_FALSE(st::SaveStatement(shown, edited, refused)) << c.what;
    EXPECT_EQ(refused.message, c.message) << c.what;
    EXPECT_EQ(refused.arg, c.arg) << c.what;
    EXPECT_EQ(Picture(m), before) << c.what;
  }
}

TEST(StatementSave, AllowedChangesNextToTheRulesGoThrough) {
  struct Case {
    const char* what;
    std::string setup;
    std::function<void(st::Statement&)> edit;
  };
  const Case cases[] = {
      // Only the note of an approved statement.
      {"approved: note", "UPDATE statement SET approve_date = 40000 WHERE \"statement#\"=40;",
       [](st::Statement& s) { s.header.note = "second"; }},
      // Unvouchered charges and no lines: type and currency are free.
      {"type and currency", "", [](st::Statement& s) {
         s.header.type = 1;
         s.header.currency = "CAD";
       }},
      // Exactly the credit applied is enough.
      {"amount at credits",
       "INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
       "amount) VALUES (41, 'C-41', 3, 1, " + Raw("20") + ");"
       "INSERT INTO statement_linker(\"invoice_statement#\", \"credit_statement#\", "
       "amount_applied) VALUES (40, 41, " + Raw("20") + ");",
       [](st::Statement& s) { s.header.amount = Money("20"); }},
  };
  for (const Case& c : cases) {
    BudgetModule m(Statement40(c.setup));
    st::Statement shown = Load(40);
    st::Statement edited = shown;
    c.edit(edited);
    st::Refusal refused;
    EXPECT_TRUE(st::SaveStatement(shown, edited, refused)) << c.what << " " << refused.message;
    EXPECT_TRUE(Load(40) == edited) << c.what;
  }
}

TEST(StatementSave, SecondWorkstationSavingTheSameStatementIsToldAndLosesNothingSilently) {
  BudgetModule m(Statement40());
  const st::Statement shown = Load(40);   // both windows read it

  st::Statement first = shown;
  first.header.note = "first workstation";
  first.charges[1].amount = Money("7");   // SHIP 5.00 -> 7.00
  st::Refusal refused;
  ASSERT_TRUE(st::SaveStatement(shown, first, refused));

  st::Statement second = shown;
  second.header.note = "second workstation";
  second.charges[1].amount = Money("9");
  EXPECT_FALSE(st::SaveStatement(shown, second, refused));
  EXPECT_EQ(refused.message, st::kMsgChangedElsewhere);
  EXPECT_EQ(refused.arg, "S-40");
  EXPECT_EQ(m.Query("select note from statement where \"statement#\"=40"), "first workstation");
  EXPECT_EQ(m.QueryMoney("select amount from statement_extra_charge where \"statement#\"=40 "
                         "and extra_charge_type='SHIP'"),
            Money("7"));

  // A change made on another connection counts the same; a statement
  // deleted there is told as gone.
  const st::Statement now = Load(40);
  m.db.Exec("UPDATE statement SET amount = " + Raw("33") + " WHERE \"statement#\"=40");
  st::Statement third = now;
  third.header.note = "third";
  EXPECT_FALSE(st::SaveStatement(now, third, refused));
  EXPECT_EQ(refused.message, st::kMsgChangedElsewhere);
  m.db.Exec("DELETE FROM statement WHERE \"statement#\"=40");
  EXPECT_FALSE(st::SaveStatement(now, third, refused));
  EXPECT_EQ(refused.message, st::kMsgStatementGone);
}

TEST(StatementSave, DefaultChargeBudgetPrefersFourDigitYearThenTwoDigits) {
  // Account FRT with budgets for fiscal 2031 in both forms, 2032 in the
  // two-digit form only, none for 2033; the calendar year's budget too.
  int month = 0, day = 0, year = 0;
  DbDabs_DateToMDY(DbDabs_GetDate(), month, day, year);
  const std::string setup =
      "INSERT INTO account(account, descr) VALUES ('FRT', 'Freight');"
      "INSERT INTO extra_charge_type(extra_charge_type, descr, account) VALUES "
      "('FRT1', 'Freight', 'FRT');"
      "INSERT INTO account_year(account, year) VALUES ('FRT', 2031), ('FRT', 31), ('FRT', 32), "
      "('FRT', " + std::to_string(year) + ");";
  BudgetModule m(setup);
  struct Case {
    const char* type;
    int16_t fiscal;
    std::string expected;
  };
  const Case cases[] = {
      {"FRT1", 2031, "FRT.2031"},
      {"FRT1", 2032, "FRT.32"},
      {"FRT1", 2033, ""},
      {"FRT1", acq::AcqDbGlobal::kNoFiscalYear, "FRT." + std::to_string(year)},
      {"SVC", 2031, ""},    // a type without an account
      {"NONE", 2031, ""},   // no such type
  };
  const int16_t saved = acq::AcqDbGlobal::Globals().params.fiscal_year;
  for (const Case& c : cases) {
    acq::AcqDbGlobal::Globals().params.fiscal_year = c.fiscal;
    std::string budget = "stale";
    EXPECT_TRUE(st::DefaultChargeBudget(c.type, budget));
    EXPECT_EQ(budget, c.expected) << c.type << " " << c.fiscal;
  }
  acq::AcqDbGlobal::Globals().params.fiscal_year = saved;
}

TEST(StatementSave, UndoLinesTakesTheirMoneyOffAndPutsTheOrderBack) {
  // Statement 2: PO 1 line 1, three items of 24.95 on ADULT.2026.
  {
    BudgetModule m;
    const Dec64 onOrder = m.Total("on_order", "ADULT.2026");
    st::Refusal refused;
    ASSERT_TRUE(st::UndoStatementLines(2, {1}, refused)) << refused.message;
    EXPECT_EQ(m.Query("select count(*) from statement_line where \"statement#\"=2"), "0");
    EXPECT_EQ(m.Query("select count(*) from po_line_item_budget_amount where \"statement#\"=2"),
              "0");
    EXPECT_EQ(m.Query("select count(*) from po_line_item_history where \"statement#\"=2 and "
                      "transaction_type=2"),
              "3");
    EXPECT_EQ(m.Query("select count(*) from po_line_item where \"po#\"=1 and line=1 and "
                      "invoice_date IS NOT NULL"),
              "0");
    // The items are on order again at their line's price.
    const Dec64 price = m.QueryMoney("select unit_price from po_line where \"po#\"=1 and line=1");
    EXPECT_EQ(m.Total("on_order", "ADULT.2026").raw,
              onOrder.raw - 3 * Money("24.95").raw + 3 * price.raw);
  }
  struct Case {
    const char* what;
    std::string setup;
    int message;
  };
  const Case refusals[] = {
      {"approved", "UPDATE statement SET approve_date = 40000 WHERE \"statement#\"=2", 303},
      {"prorated", "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount, "
                   "\"statement#\", extra_charge_type) VALUES (1, 1, 1, 'ADULT.2026', " +
                       Raw("1") + ", 2, 'SHIP')",
       244},
  };
  for (const Case& c : refusals) {
    BudgetModule m(c.setup);
    st::Refusal refused;
    EXPECT_FALSE(st::UndoStatementLines(2, {1}, refused)) << c.what;
    EXPECT_EQ(refused.message, c.message) << c.what;
    EXPECT_EQ(m.Query("select count(*) from statement_line where \"statement#\"=2"), "1")
        << c.what;
  }
}

}  // namespace
