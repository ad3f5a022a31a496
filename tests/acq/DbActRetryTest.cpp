// An activity is all or nothing: a write conflict runs it again and it
// writes everything once; a confirmed fund-control finding whose amount
// moved meanwhile is asked again; a workstation killed at any statement of
// an activity leaves all of it or none of it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <optional>

#include "DbActFixture.h"
#include "support/Processes.h"

namespace {

using acttest::ActModule;
using acttest::Money;
namespace act = acq::AcqDbAct;
using act::Activity;

// Calls `observer` with each statement the module's session starts.
void ObserveStatements(std::function<void(std::string_view)> observer) {
  DbSession_SetStatementObserver(acq::AcqDbGlobal::Session(), std::move(observer));
}

// Another workstation holds the write lock through the first attempt and
// lets go as the second begins.
struct LockedOnce {
  std::optional<acqtest::WriteLockHolder> lock;
  int begins = 0;
};
void LetGoAtSecondBegin(LockedOnce& s, std::string_view sql) {
  if (sql.starts_with("BEGIN") && ++s.begins == 2) s.lock.reset();
}

TEST(DbActRetry, WriteConflictRunsTheActivityAgainAndWritesEverythingOnce) {
  ActModule m;
  const auto before = m.Money();
  BucketHold items(ActModule::Pending(Activity::Invoice, 1, 2));
  LockedOnce locked;
  locked.lock.emplace(m.db.Path());
  ObserveStatements([&locked](std::string_view sql) { LetGoAtSecondBegin(locked, sql); });
  const bool done = act::RunActivity(Activity::Invoice, *items, {.amount = Money("140.01"), .statement = 2});
  ObserveStatements({});
  ASSERT_TRUE(done);
  EXPECT_EQ(locked.begins, 2);
  EXPECT_TRUE(acqtest::ShownErrors().empty());
  EXPECT_EQ(m.Query("select (select count(*) from po_line_item_history where "
                    "po_activity_type='invoice' and \"po#\"=1 and line=2), (select count(*) from "
                    "statement_line), (select count(*) from budget_transaction)"),
            (acttest::Rows{{"2", "4", "1"}}));
  const auto after = m.Money();
  EXPECT_EQ(acttest::Sub(after.at("REF.2026").onOrder, before.at("REF.2026").onOrder), Money("10.01"));
  acttest::ExpectMoneyAgrees(before, after, true);
  EXPECT_FALSE(_BktRowIsChanged(*items, 1));   // the caller's rows are as committed
}

// AV.2026 may have 100.00 on order and has 126.93: approving PO 6 line 1 at
// its new price (2.02 more) is 28.95 past the limit.
constexpr const char* kTightLimit =
    "update account_year set on_order_limit=100000000, on_order_limit_percent=0 "
    "where account='AV' and year=2026;"
    "update po_line set unit_price=31000000 where \"po#\"=6 and line=1";

TEST(DbActRetry, ConfirmedBustIsAskedAgainWhenItsAmountMovedAndWrittenOnce) {
  ActModule m(kTightLimit);
  const auto before = m.Money();
  acttest::RecordingPerson person(true);
  person.onShow = [&] {   // another workstation spends 1.00 before the first answer
    if (person.shown.size() == 1)
      m.db.Exec("update account_year set on_order=on_order+1000000 where account='AV'");
  };
  EXPECT_EQ(act::ApprovePoLine(6, 1), act::ApproveResult::Approved);
  ASSERT_EQ(person.shown.size(), 2u);
  EXPECT_NE(person.shown[0].find("AV.2026 by $28.95"), std::string::npos) << person.shown[0];
  EXPECT_NE(person.shown[1].find("AV.2026 by $29.95"), std::string::npos) << person.shown[1];
  EXPECT_EQ(m.Count("select count(*) from po_line_item_history where po_activity_type='approve' "
                    "and \"po#\"=6 and line=1"), 2);
  EXPECT_EQ(m.Count("select count(*) from budget_transaction_detail"), 2);
  EXPECT_EQ(acttest::Sub(m.Money().at("AV.2026").onOrder, before.at("AV.2026").onOrder), Money("3.02"));
}

TEST(DbActRetry, DeclinedBustWritesNothing) {
  ActModule m(kTightLimit);
  acttest::RecordingPerson person;   // answers No
  EXPECT_EQ(act::ApprovePoLine(6, 1), act::ApproveResult::Failed);
  EXPECT_EQ(person.shown.size(), 1u);
  EXPECT_EQ(m.Count("select count(*) from po_line_item where approve_date is not null and \"po#\"=6"), 0);
  EXPECT_EQ(m.Count("select count(*) from budget_transaction_detail"), 0);
}

// Kills the process as the activity's statement `killAt` begins (the
// engine's own reads of the schema are not statements of the activity).
struct KillSwitch {
  int seen = 0, killAt = 0;
};

// In a child, on a connection of its own: a credit of two items, one with
// a prorated charge.
int CreditInChild(int killAt) {
  DbMsg msg;
  HDb own = nullptr;
  if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
  acq::AcqDbGlobal::Globals().session = own;
  BucketHold items(ActModule::Pending(Activity::Credit, 1, 1, {1, 2}, 10));
  KillSwitch k{0, killAt};
  ObserveStatements([&k](std::string_view) {
    if (++k.seen == k.killAt) kill(getpid(), SIGKILL);
  });
  return act::RunActivity(Activity::Credit, *items,
                          {.changeOrderNote = "Wrong edition", .amount = Money("-6.00"), .statement = 10})
             ? 0
             : 12;
}

// Everything an activity could change, as text.
std::string Fingerprint(ActModule& m) {
  std::string out;
  for (const char* sql :
       {"select * from po_line_item where \"po#\"=1", "select * from po_line_item_history",
        "select * from po_line_item_budget_amount", "select * from statement_line",
        "select * from account_year", "select * from vendor_contract",
        "select * from budget_transaction_detail", "select * from budget_transaction",
        "select * from statistics_event", "select * from po where \"po#\"=1",
        "select * from po_line where \"po#\"=1"})
    for (const auto& row : m.Query(sql))
      for (const auto& cell : row) out += cell + "|";
  return out;
}

TEST(DbActAtomic, KilledAtAnyStatementTheActivityIsWhollyThereOrNot) {
  ActModule m(
      "insert into statement(\"statement#\", statement_number, statement_type, \"vendor#\") "
      "values (10, 'NF-CR-1', 3, 1);"
      "insert into po_line_item_budget_amount(\"po#\", line, item, budget, amount, spent,"
      " extra_charge_type, \"statement#\", statement_line, statement_line_type)"
      " values (1, 1, 1, 'ADULT.2026', 2000000, 0, 'SHIP', 2, 1, 0);");
  const std::string untouched = Fingerprint(m);
  const auto before = m.Money();
  int killAt = 1;
  for (; killAt < 500; ++killAt) {
    const int status = testproc::WaitFor(testproc::Spawn([killAt] { return CreditInChild(killAt); }), 120);
    if (status == 0) break;   // it ran to its end before statement `killAt`
    ASSERT_EQ(status, -1) << "the child failed, statement " << killAt;
    ASSERT_EQ(Fingerprint(m), untouched) << "killed at statement " << killAt;
  }
  EXPECT_GT(killAt, 30);
  EXPECT_EQ(m.Query("select count(*), sum(amount) from po_line_item_history where "
                    "change_order_note='Wrong edition'"),
            (acttest::Rows{{"3", "-8000000"}}));   // two credits of 3.00 and the charge's 2.00
  acttest::ExpectMoneyAgrees(before, m.Money(), true);
  std::printf("[ activity ] the credit ran %d statements\n", killAt - 1);
}

}  // namespace
