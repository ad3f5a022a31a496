// Workstations on a database server (real processes, run only when the
// suite runs on the server engine): eight of them running money
// activities at once meet write conflicts, retry every one and land the
// money exactly; a workstation whose server connection is killed in the
// middle of an activity leaves nothing of it behind and is told why.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MoneyWorkstations.h"
#include "host/db/DbEngine.h"

namespace {

using acttest::ActModule;

constexpr const char* kNeedsServer =
    "needs a database server (ACQ_TEST_SERVER); workstations on one SQLite file are "
    "ActivityWorkstations' and Workstations'";

// Another program that writes a budget now and then outside any
// transaction (a budget editor saving its row): an activity that read the
// row before and writes it after meets a write conflict the server finds
// (a serialization failure, code 11). `times` writes, `pauseMs` apart.
int BudgetEditor(const testlib::TestLibrary& lib, int times, int pauseMs) {
  std::unique_ptr<pwdb::DbConnection> conn = lib.Connect();
  if (!conn) return 20;
  // It waits for a workstation's row however long that takes.
  conn->SetBusyTimeout(60000);
  for (int n = 0; n < times; ++n) {
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    if (conn->Exec("UPDATE account_year SET amount = amount WHERE account = 'ADULT' "
                   "AND year = 2026") != kDbOk) {
      std::fprintf(stderr, "budget editor: %s\n", conn->ErrorText().c_str());
      return 21;
    }
  }
  return 0;
}

// 8 x 250 activities; every one moves the same PO header, two budgets and
// a contract. Writers queue on the server as their transactions begin (the
// queue's waits are counted), and a budget editor's writes make activities
// meet conflicts that the module must run again.
TEST(ServerWorkstations, EightAtOnceMeetConflictsRetryThemAndLandExactly) {
  if (!testlib::OnServer()) GTEST_SKIP() << kNeedsServer;
  constexpr int kWorkstations = 8;
  const auto plan = testproc::MoneyPlan::For(250);
  ActModule m(testproc::kMoneySetUp);
  const std::vector<int16_t> lines = moneyws::MakeLines(kWorkstations, plan);
  const auto before = m.Money();
  const auto contractBefore = moneyws::ContractMoney(m);

  const pid_t editor = testproc::Spawn([&] { return BudgetEditor(m.db.Lib(), 60, 150); });
  const moneyws::Outcome outcome = moneyws::RunWorkstations(lines, plan, m.db.Dir().string());
  EXPECT_EQ(testproc::WaitFor(editor, 120), 0);
  // Every activity committed and nothing was shown: each conflict the
  // server raised was retried by the module, none reached a person.
  EXPECT_EQ(outcome.failed, 0);
  for (const std::string& shown : outcome.shown) ADD_FAILURE() << "shown: " << shown;
  EXPECT_GT(outcome.retries, 0u) << "the workstations never met a write conflict";
  EXPECT_GT(outcome.lockWaits, 0u) << "the workstations never waited for one another";
  std::printf("[ %d workstations ] %llu retries after write conflicts, %llu lock waits\n",
              kWorkstations, static_cast<unsigned long long>(outcome.retries),
              static_cast<unsigned long long>(outcome.lockWaits));
  moneyws::ExpectMoneyLanded(m, before, contractBefore, plan, kWorkstations);
}

// What an activity writes, as rows: none may change when it is cut off.
std::vector<std::string> ActivityRows(const testlib::TestLibrary& lib, int16_t line) {
  std::vector<std::string> all;
  const std::string queries[] = {
      "select * from po_line_item where \"po#\"=1 and line=" + std::to_string(line) +
          " order by item",
      "select * from po_line where \"po#\"=1 and line=" + std::to_string(line),
      "select last_update_date, completion_date from po where \"po#\"=1",
      "select count(*) from po_line_item_history",
      "select count(*) from statement_line",
      "select count(*) from po_line_item_budget_amount",
      "select budget, on_order, spent from budget order by budget",
      "select on_order, spent from vendor_contract order by \"vendor#\", vendor_contract",
      "select count(*) from budget_transaction",
      "select count(*) from budget_transaction_detail",
      "select count(*) from statistics_event",
  };
  for (const std::string& sql : queries)
    for (std::string& row : lib.Rows(sql, "null")) all.push_back(sql + ": " + row);
  return all;
}

// Ends the connection of the workstation waiting for a lock in this
// database once its activity has written history rows (so it is inside
// the activity's transaction); true when one was ended, false when none
// came within `seconds`.
bool KillWaitingWorkstation(pwdb::DbConnection& killer, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    std::unique_ptr<pwdb::DbStatement> stmt;
    EXPECT_EQ(killer.Prepare(
                  "SELECT pg_terminate_backend(a.pid) FROM pg_stat_activity a"
                  " WHERE a.datname = current_database() AND a.pid <> pg_backend_pid()"
                  "   AND a.wait_event_type = 'Lock'"
                  "   AND EXISTS (SELECT 1 FROM pg_locks l JOIN pg_class c ON c.oid = l.relation"
                  "               WHERE l.pid = a.pid AND c.relname = 'po_line_item_history'"
                  "                 AND l.mode = 'RowExclusiveLock')",
                  stmt),
              kDbOk)
        << killer.ErrorText();
    if (!stmt) return false;
    const pwdb::StepRc rc = stmt->Step();
    EXPECT_NE(rc, pwdb::StepRc::kFailed) << killer.ErrorText();
    if (rc == pwdb::StepRc::kRow) return stmt->Int(0) != 0;
    if (rc == pwdb::StepRc::kFailed) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// The invoice of one item on a session of its own; its result and what it
// was shown go to `report` ("committed N" on the first line).
int InvoiceWorkstation(int16_t line, const std::string& report) {
  DbMsg msg;
  HDb own = nullptr;
  if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
  acq::AcqDbGlobal::Globals().session = own;
  acqtest::ShownErrors().clear();
  acttest::RecordingPerson person;
  const bool committed =
      testproc::RunOnFirstPending(acq::AcqDbAct::Activity::Invoice, line, 20, "12.50");
  std::ofstream out(report);
  out << "committed " << committed << "\n";
  for (const std::string& shown : acqtest::ShownErrors()) out << shown << "\n";
  for (const std::string& shown : person.shown) out << shown << "\n";
  _DbLogout(&own);
  return 0;
}

TEST(ServerWorkstations, KilledConnectionMidActivityLeavesNothingAndIsTold) {
  if (!testlib::OnServer()) GTEST_SKIP() << kNeedsServer;
  ActModule m(testproc::kMoneySetUp);
  const int16_t line = testproc::MakeMoneyLine(1);
  ASSERT_NE(line, 0);
  const testlib::TestLibrary& lib = m.db.Lib();
  const std::vector<std::string> before = ActivityRows(lib, line);

  // Another connection holds ADULT.2026's row, so the invoice waits when it
  // comes to the budget, its item and history rows already written. A plain
  // transaction of the server's: it holds the row and nothing else.
  std::unique_ptr<pwdb::DbConnection> holder = lib.Connect(), killer = lib.Connect();
  ASSERT_TRUE(holder && killer);
  ASSERT_EQ(holder->Exec("BEGIN"), kDbOk) << holder->ErrorText();
  ASSERT_EQ(holder->Exec("SELECT on_order FROM account_year WHERE account='ADULT' AND "
                         "year=2026 FOR UPDATE"),
            kDbOk)
      << holder->ErrorText();
  const std::string report = m.db.Dir().string() + "/invoice";
  const pid_t workstation = testproc::Spawn([&] { return InvoiceWorkstation(line, report); });
  const bool killed = KillWaitingWorkstation(*killer, 60);
  EXPECT_EQ(holder->Exec("ROLLBACK"), kDbOk) << holder->ErrorText();
  // Not a crash: the workstation ran to its end.
  EXPECT_EQ(testproc::WaitFor(workstation, 120), 0);
  ASSERT_TRUE(killed) << "the workstation never waited inside its activity";

  std::ifstream in(report);
  std::string first, text;
  std::getline(in, first);
  EXPECT_EQ(first, "committed 0");
  std::vector<std::string> shown;
  while (std::getline(in, text))
    if (!text.empty()) shown.push_back(text);
  ASSERT_FALSE(shown.empty()) << "the workstation was not told";
  for (const std::string& s : shown) {
    std::printf("[ told ] %s\n", s.c_str());
    // The server's own words: the connection was ended, not some other failure.
    EXPECT_NE(s.find("connection"), std::string::npos) << s;
    EXPECT_NE(s.find("Database Error"), std::string::npos) << s;
  }
  EXPECT_EQ(ActivityRows(lib, line), before);

  // Nothing was left half done: another workstation invoices the item.
  const auto money = m.Money();
  EXPECT_TRUE(testproc::RunOnFirstPending(acq::AcqDbAct::Activity::Invoice, line, 20, "12.50"));
  acttest::ExpectMoneyAgrees(money, m.Money(), true);
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

}  // namespace
