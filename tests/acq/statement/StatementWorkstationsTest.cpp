// Workstations (real processes, each with a session of its own) saving the
// same statement at once, each over the statement as its window read it:
// exactly one save lands, every other is told that the statement changed
// elsewhere, and the budget carries the winner's charge only.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "acq/BudgetTestSupport.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/statement/AcqDbStmnt.h"
#include "support/Processes.h"

namespace {

namespace st = acq::AcqDbStmnt;
using budgettest::BudgetModule;
using budgettest::Money;

std::string Raw(const char* money) { return std::to_string(Money(money).raw); }

// Workstation `n`: its SHIP charge is n + 1 whole units. Writes "saved",
// the refusal's message id, or "failed" (a database error or a prompt)
// into `report`.
int Workstation(int n, const st::Statement& shown, const testproc::Gate& gate,
                const std::string& report) {
  DbMsg msg;
  HDb own = nullptr;
  if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
  acq::AcqDbGlobal::Globals().session = own;
  acqtest::ShownErrors().clear();
  st::Statement edited = shown;
  edited.header.note = "workstation " + std::to_string(n);
  edited.charges[0].amount = Dec64::FromInt(n + 1);
  gate.Wait();
  st::Refusal refused;
  const bool saved = st::SaveStatement(shown, edited, refused);
  _DbLogout(&own);
  std::ofstream out(report);
  if (saved) {
    out << "saved\n";
  } else if (refused.message != 0 && acqtest::ShownErrors().empty()) {
    out << refused.message << "\n";
  } else {
    out << "failed\n";
  }
  return 0;
}

TEST(StatementWorkstations, OneOfSeveralSimultaneousSavesLandsAndTheOthersAreTold) {
  constexpr int kWorkstations = 4;
  BudgetModule m(
      "INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
      "amount, currency, exchange_rate) VALUES (40, 'S-40', 0, 1, " + Raw("30") + ", 'USD', " +
      Raw("1") + ");"
      "INSERT INTO statement_extra_charge(\"statement#\", extra_charge_type, amount, "
      "exchange_rate, budget) VALUES (40, 'SHIP', " + Raw("5") + ", " + Raw("1") +
      ", 'OPS.2026');"
      "UPDATE account_year SET on_order = on_order + " + Raw("5") +
      " WHERE account = 'OPS' AND year = 2026;");
  const Dec64 before = m.Total("on_order", "OPS.2026");
  st::Statement shown;
  bool found = false;
  ASSERT_TRUE(st::LoadStatement(40, shown, found));
  ASSERT_TRUE(found);
  ASSERT_EQ(shown.charges.size(), 1u);

  testproc::Gate gate;
  std::vector<pid_t> children;
  std::vector<std::string> reports;
  for (int n = 0; n < kWorkstations; ++n) {
    reports.push_back((m.db.Dir() / ("workstation" + std::to_string(n))).string());
    const std::string& report = reports.back();
    children.push_back(testproc::Spawn([&, n] { return Workstation(n, shown, gate, report); }));
  }
  gate.Open(kWorkstations);
  int winner = -1, told = 0;
  for (int n = 0; n < kWorkstations; ++n) {
    EXPECT_EQ(testproc::WaitFor(children[static_cast<size_t>(n)], 300), 0) << n;
    std::string result;
    std::ifstream(reports[static_cast<size_t>(n)]) >> result;
    if (result == "saved") {
      EXPECT_EQ(winner, -1) << "workstations " << winner << " and " << n << " both saved";
      winner = n;
    } else {
      EXPECT_EQ(result, std::to_string(st::kMsgChangedElsewhere)) << n;
      ++told;
    }
  }
  ASSERT_NE(winner, -1);
  EXPECT_EQ(told, kWorkstations - 1);
  EXPECT_EQ(m.Query("select note from statement where \"statement#\"=40"),
            "workstation " + std::to_string(winner));
  // The budget lost the 5.00 read by everyone and carries the winner's charge.
  EXPECT_EQ(m.Total("on_order", "OPS.2026").raw,
            before.raw - Money("5").raw + Dec64::FromInt(winner + 1).raw);
}

}  // namespace
