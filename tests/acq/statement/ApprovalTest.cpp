// Statement approval on the demo library: when a statement balances, what
// approval spends and its undo takes back (every budget's totals, rows and
// ledger alike), the refusals and the GST verdict that leave everything as
// it was, fund control's prompt, and two workstations approving one
// statement.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "acq/db/AcqDbGlobal.h"
#include "acq/statement/AcqStApp.h"
#include "acq/statement/ApprovalSupport.h"
#include "support/Processes.h"

namespace {

using acttest::ActModule;
using acttest::Money;
namespace act = acq::AcqDbAct;
namespace stapp = acq::AcqStApp;
using apptest::Person;

std::string RawOf(const char* money) { return std::to_string(Money(money).raw); }

// Approved flag and the money of statement `s` as the database has them.
bool Approved(int32_t s) {
  bool approved = false;
  EXPECT_TRUE(stapp::IsApproved(s, approved));
  return approved;
}

TEST(StatementApproval, BalanceByStatementType) {
  struct Case {
    const char* name;
    int type;
    const char* amount;
    std::vector<const char*> lines, charged, open, prorated, budgets;
    bool balanced;
  };
  const Case cases[] = {
      {"nothing at all", 0, "0", {}, {}, {}, {}, {}, true},   // sums over no rows are zero
      {"an amount and no rows", 0, "10.00", {}, {}, {}, {}, {}, false},
      {"lines and a charged charge", 0, "109.50", {"30.00", "70.00"}, {"9.50"}, {}, {}, {}, true},
      {"open charge fully prorated", 0, "35.00", {"30.00"}, {}, {"5.00"}, {"2.50", "2.50"}, {},
       true},
      {"4.99 of 5.00 prorated", 0, "35.00", {"30.00"}, {}, {"5.00"}, {"4.99"}, {}, false},
      // prorated rows are not lines: 30 + 5 open is the total, not 40
      {"prorated rows counted as lines", 0, "40.00", {"30.00"}, {}, {"5.00"}, {"5.00"}, {}, false},
      {"open charge not prorated", 1, "35.00", {"30.00"}, {}, {"5.00"}, {}, {}, false},
      {"credit memo", 3, "-5.00", {"-5.00"}, {}, {}, {}, {}, true},
      {"invoice by budget", 2, "50.00", {}, {}, {}, {}, {"20.00", "30.00"}, true},
      {"budget type ignores lines", 2, "50.00", {"50.00"}, {}, {}, {}, {}, false},
      {"line type ignores statement budgets", 0, "50.00", {}, {}, {}, {}, {"50.00"}, false},
      {"refund by budget", 6, "-12.34", {}, {}, {}, {}, {"-12.34"}, true},
  };
  ActModule m;
  const char* const chargeTypes[] = {"SHIP", "HANDLE", "TAX", "SVC"};
  const char* const budgets[] = {"ADULT.2026", "REF.2026", "CHILD.2026"};
  int32_t statement = 30;
  for (const Case& c : cases) {
    const std::string s = std::to_string(++statement);
    std::string sql = "insert into statement(\"statement#\", statement_number, statement_type, "
                      "\"vendor#\", amount, currency) values (" + s + ", 'B" + s + "', " +
                      std::to_string(c.type) + ", 1, " + RawOf(c.amount) + ", 'USD');";
    auto money = [&](const char* amount, const char* charge) {
      sql += "insert into po_line_item_budget_amount(\"po#\", line, item, budget, amount, "
             "extra_charge_type, \"statement#\") values (1, 3, 1, 'ADULT.2026', " +
             RawOf(amount) + ", " + (charge ? std::string("'") + charge + "'" : "NULL") + ", " +
             s + ");";
    };
    for (const char* a : c.lines) money(a, nullptr);
    for (const char* a : c.prorated) money(a, "SVC");
    size_t type = 0;
    for (const char* a : c.charged)
      sql += "insert into statement_extra_charge(\"statement#\", extra_charge_type, amount, "
             "budget) values (" + s + ", '" + chargeTypes[type++] + "', " + RawOf(a) +
             ", 'OPS.2026');";
    for (const char* a : c.open)
      sql += "insert into statement_extra_charge(\"statement#\", extra_charge_type, amount) "
             "values (" + s + ", '" + chargeTypes[type++] + "', " + RawOf(a) + ");";
    size_t b = 0;
    for (const char* a : c.budgets)
      sql += "insert into statement_budget(\"statement#\", budget, amount) values (" + s + ", '" +
             budgets[b++] + "', " + RawOf(a) + ");";
    m.db.Exec(sql);
    bool balanced = !c.balanced;
    EXPECT_TRUE(stapp::IsStatementBalanced(statement, balanced)) << c.name;
    EXPECT_EQ(balanced, c.balanced) << c.name;
  }
  bool balanced = true;
  EXPECT_TRUE(stapp::IsStatementBalanced(999, balanced));
  EXPECT_FALSE(balanced) << "a statement that is not there";
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

// Demo statement 2: PO 1 line 1's three received items (24.95 each on
// ADULT.2026) and SHIP 9.50 charged to OPS.2026, all on order.
TEST(StatementApproval, ApprovalSpendsTheStatementAndUndoPutsItBack) {
  ActModule m("update po set completion_date=46100, last_update_date=46100 where \"po#\"=1");
  Person person;
  const apptest::Picture start = apptest::TakePicture(m.db.Path());
  ASSERT_EQ(apptest::InvariantBroken(start, start, true), "") << "the demo itself";

  ASSERT_TRUE(stapp::Approve(nullptr, 2));
  EXPECT_TRUE(person.shown.empty());
  EXPECT_TRUE(Approved(2));
  const apptest::Picture approved = apptest::TakePicture(m.db.Path());
  EXPECT_EQ(apptest::InvariantBroken(start, approved, true), "");
  using acttest::Sub;
  EXPECT_EQ(Sub(approved.at("ADULT.2026").spent, start.at("ADULT.2026").spent), Money("74.85"));
  EXPECT_EQ(Sub(approved.at("ADULT.2026").onOrder, start.at("ADULT.2026").onOrder),
            Money("-74.85"));
  EXPECT_EQ(Sub(approved.at("OPS.2026").spent, start.at("OPS.2026").spent), Money("9.50"));
  EXPECT_EQ(Sub(approved.at("OPS.2026").onOrder, start.at("OPS.2026").onOrder), Money("-9.50"));
  EXPECT_EQ(m.Query("select approve_date, last_update_date from statement where "
                    "\"statement#\"=2"),
            (acttest::Rows{{ActModule::Today(), ActModule::Today()}}));
  EXPECT_EQ(m.Count("select count(*) from po_line_item_budget_amount where \"statement#\"=2 and "
                    "spent=1"),
            3);
  EXPECT_EQ(m.Count("select spent from statement_extra_charge where \"statement#\"=2"), 1);

  ASSERT_TRUE(stapp::UndoApproval(nullptr, 2));
  EXPECT_EQ(person.shown, (std::vector<std::string>{
                              "Undo Statement Approval Message|OK to Undo Statement Approval?"}));
  EXPECT_FALSE(Approved(2));
  const apptest::Picture undone = apptest::TakePicture(m.db.Path());
  EXPECT_EQ(apptest::InvariantBroken(start, undone, true), "");
  for (const char* b : {"ADULT.2026", "OPS.2026"}) {
    EXPECT_EQ(undone.at(b).onOrder, start.at(b).onOrder) << b;
    EXPECT_EQ(undone.at(b).spent, start.at(b).spent) << b;
  }
  EXPECT_EQ(m.Count("select count(*) from po_line_item_budget_amount where \"statement#\"=2 and "
                    "spent=1"),
            0);
  EXPECT_EQ(m.Query("select completion_date, last_update_date from po where \"po#\"=1"),
            (acttest::Rows{{"", ActModule::Today()}}));
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

// An item invoiced before it is received stays on order at approval unless
// its PO spends on invoice; its receipt then spends it.
TEST(StatementApproval, OnlyMoneyTheModelSpendsTurnsSpent) {
  for (const int spentEvent : {0, 1}) {
    ActModule m("update po set spent_event=" + std::to_string(spentEvent) + " where \"po#\"=1");
    Person person;
    const apptest::Picture start = apptest::TakePicture(m.db.Path());
    BucketHold items(ActModule::Pending(act::Activity::Invoice, 1, 3, {1}));
    ASSERT_TRUE(act::RunActivity(act::Activity::Invoice, *items,
                                 {.amount = Money("40.00"), .statement = 2}));
    m.db.Exec("update statement set amount=amount+" + RawOf("40.00") + " where \"statement#\"=2");
    ASSERT_TRUE(stapp::Approve(nullptr, 2)) << spentEvent;
    const std::string line3Spent =
        "select count(*) from po_line_item_budget_amount where \"po#\"=1 and line=3 and "
        "\"statement#\"=2 and spent=1";
    EXPECT_EQ(m.Count(line3Spent), spentEvent ? 2 : 0) << "spent event " << spentEvent;
    EXPECT_EQ(apptest::InvariantBroken(start, apptest::TakePicture(m.db.Path()), true), "");
    BucketHold receive(ActModule::Pending(act::Activity::Receive, 1, 3, {1}));
    ASSERT_TRUE(act::RunActivity(act::Activity::Receive, *receive, {}));
    EXPECT_EQ(m.Count(line3Spent), 2) << "spent event " << spentEvent;
    EXPECT_EQ(apptest::InvariantBroken(start, apptest::TakePicture(m.db.Path()), true), "");
    EXPECT_TRUE(acqtest::ShownErrors().empty());
  }
}

// Each refusal is told and changes nothing; the GST verdict asks first.
TEST(StatementApproval, RefusalsAndTheGstVerdict) {
  enum Action { kApprove, kUndo };
  struct Case {
    const char* name;
    std::string setup;
    Action action;
    int32_t statement;
    std::deque<bool> okCancel;
    const char* told;   // the one box shown ("" none)
    bool approvedAfter;
  };
  const std::string unregistered = "update vendor set gst_number=NULL where \"vendor#\"=1;";
  const Case cases[] = {
      {"already approved", "", kApprove, 1, {},
       "Statement Approval Message|Statement TP-2025-118 is already approved.", true},
      {"not balanced", "update statement set amount=" + RawOf("84.36") + " where \"statement#\"=2",
       kApprove, 2, {},
       "Statement Approval Message|Statement NF-88123 is not balanced and cannot be approved.",
       false},
      {"undo with a voucher", "", kUndo, 1, {}, "Undo Approve Statement Message|Cannot undo statement approval, because", true},
      {"undo of a statement not approved", "", kUndo, 2, {},
       "Statement Message|Cannot continue with activity because the statement is not approved.",
       false},
      // (84.35 - 1.00) x 5 % = 4.1675, to the cent 4.17
      {"self-assessed GST differs, cancelled",
       unregistered + "update statement set gst=1, gst_amount=" + RawOf("1.00") +
           " where \"statement#\"=2",
       kApprove, 2, {false},
       "GST Self Assessed|The calculated GST amount of 4.17 does not match the invoice header "
       "amount 1.00",
       false},
      {"self-assessed GST differs, accepted",
       unregistered + "update statement set gst=1, gst_amount=" + RawOf("1.00") +
           " where \"statement#\"=2",
       kApprove, 2, {true}, "GST Self Assessed|The calculated GST amount of 4.17", true},
      // (84.35 - 4.02) x 5 % = 4.0165, to the cent 4.02
      {"self-assessed GST matches",
       unregistered + "update statement set gst=1, gst_amount=" + RawOf("4.02") +
           " where \"statement#\"=2",
       kApprove, 2, {}, "", true},
      {"vendor charges its own GST",
       "update vendor set gst_number='R100' where \"vendor#\"=1; update statement set gst=1, "
       "gst_amount=" + RawOf("1.00") + " where \"statement#\"=2",
       kApprove, 2, {}, "", true},
  };
  for (const Case& c : cases) {
    ActModule m(c.setup);
    Person person(c.okCancel);
    const apptest::Picture before = apptest::TakePicture(m.db.Path());
    const bool approvedBefore = Approved(c.statement);
    const bool done = c.action == kApprove ? stapp::Approve(nullptr, c.statement)
                                           : stapp::UndoApproval(nullptr, c.statement);
    EXPECT_EQ(done, approvedBefore != c.approvedAfter) << c.name;
    EXPECT_EQ(Approved(c.statement), c.approvedAfter) << c.name;
    if (std::string(c.told).empty()) {
      EXPECT_TRUE(person.shown.empty()) << c.name << ": " << person.shown.front();
    } else {
      ASSERT_EQ(person.shown.size(), 1u) << c.name;
      EXPECT_EQ(person.shown[0].rfind(c.told, 0), 0u) << c.name << ": " << person.shown[0];
    }
    const apptest::Picture after = apptest::TakePicture(m.db.Path());
    EXPECT_EQ(apptest::InvariantBroken(before, after, true), "") << c.name;
    if (!done)
      for (const auto& [budget, w] : after) {
        EXPECT_EQ(w.onOrder, before.at(budget).onOrder) << c.name << " " << budget;
        EXPECT_EQ(w.spent, before.at(budget).spent) << c.name << " " << budget;
      }
    EXPECT_TRUE(acqtest::ShownErrors().empty()) << c.name;
  }
}

// AV.2026 has a spent limit of 2500.00: a budget statement spending 2600.00
// asks (72); No leaves everything, Yes approves.
TEST(StatementApproval, SpentLimitIsAskedAndADeclineChangesNothing) {
  ActModule m("insert into statement(\"statement#\", statement_number, statement_type, "
              "\"vendor#\", amount, currency) values (40, 'AV-1', 2, 1, " + RawOf("2600.00") +
              ", 'USD')");
  Person person;
  ASSERT_TRUE(apptest::AddOwnMoney(40, "", "AV.2026", Money("2600.00"), Dec64::FromInt(1)));
  const apptest::Picture start = apptest::TakePicture(m.db.Path());
  person.yes = false;
  EXPECT_FALSE(stapp::Approve(nullptr, 40));
  ASSERT_EQ(person.shown.size(), 1u);
  EXPECT_EQ(person.shown[0].rfind("Budget Message|This action will exceed the spent limit for "
                                  "budget AV.2026 by $100.00",
                                  0),
            0u)
      << person.shown[0];
  EXPECT_FALSE(Approved(40));
  const apptest::Picture declined = apptest::TakePicture(m.db.Path());
  EXPECT_EQ(declined.at("AV.2026").spent, start.at("AV.2026").spent);
  EXPECT_EQ(m.Count("select spent from statement_budget where \"statement#\"=40"), 0);

  person.yes = true;
  EXPECT_TRUE(stapp::Approve(nullptr, 40));
  const apptest::Picture approved = apptest::TakePicture(m.db.Path());
  EXPECT_EQ(acttest::Sub(approved.at("AV.2026").spent, start.at("AV.2026").spent),
            Money("2600.00"));
  EXPECT_EQ(apptest::InvariantBroken(start, approved, true), "");
}

// A database that stays locked fails the approval once, with one error
// shown, and leaves the statement and every budget as they were.
TEST(StatementApproval, ALockedDatabaseFailsOnceAndChangesNothing) {
  ActModule m;
  Person person;
  const apptest::Picture start = apptest::TakePicture(m.db.Path());
  {
    acqtest::WriteLockHolder lock(m.db.Path());
    EXPECT_FALSE(stapp::Approve(nullptr, 2));
  }
  EXPECT_EQ(acqtest::ShownErrors().size(), 1u);
  EXPECT_TRUE(person.shown.empty());
  EXPECT_FALSE(Approved(2));
  const apptest::Picture after = apptest::TakePicture(m.db.Path());
  for (const auto& [budget, w] : after) {
    EXPECT_EQ(w.onOrder, start.at(budget).onOrder) << budget;
    EXPECT_EQ(w.spent, start.at(budget).spent) << budget;
  }
}

// Two workstations approve statement 2 at once: one approves it, the other
// is told it is approved already, and the money moves once.
TEST(StatementApproval, TwoWorkstationsApproveOnce) {
  ActModule m;
  const apptest::Picture start = apptest::TakePicture(m.db.Path());
  testproc::Gate gate;
  const std::string dir = m.db.Dir().string();
  std::vector<pid_t> children;
  for (int w = 0; w < 2; ++w) {
    const std::string report = dir + "/approver" + std::to_string(w);
    children.push_back(testproc::Spawn([&gate, report] {
      DbMsg msg;
      HDb own = nullptr;
      if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 20;
      acq::AcqDbGlobal::Globals().session = own;
      Person person;
      gate.Wait();
      const bool approved = stapp::Approve(nullptr, 2);
      _DbLogout(&own);
      std::ofstream out(report);
      for (const std::string& text : person.shown) out << text << "\n";
      for (const std::string& text : acqtest::ShownErrors()) out << text << "\n";
      if (approved) return person.shown.empty() ? 0 : 21;
      return person.shown.size() == 1 &&
                     person.shown[0] ==
                         "Statement Approval Message|Statement NF-88123 is already approved."
                 ? 1
                 : 22;
    }));
  }
  gate.Open(2);
  std::vector<int> results;
  for (pid_t child : children) results.push_back(testproc::WaitFor(child, 300));
  std::sort(results.begin(), results.end());
  EXPECT_EQ(results, (std::vector<int>{0, 1}));
  const apptest::Picture after = apptest::TakePicture(m.db.Path());
  EXPECT_EQ(apptest::InvariantBroken(start, after, true), "");
  EXPECT_EQ(acttest::Sub(after.at("ADULT.2026").spent, start.at("ADULT.2026").spent),
            Money("74.85"));
  EXPECT_EQ(acttest::Sub(after.at("OPS.2026").spent, start.at("OPS.2026").spent), Money("9.50"));
  EXPECT_EQ(m.Count("select count(*) from budget_transaction_detail where \"statement#\"=2"), 8);
}

}  // namespace
