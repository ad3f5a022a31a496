// Four workstations (real processes) run money activities at once on one
// PO, its contract and two shared budgets: every activity goes through,
// nobody is shown a busy or locked error, and the budgets, the contract,
// the money rows and the ledger end exactly where the activities take
// them, worked out by hand.
//
// Each workstation cancels what was made for it, then adds items to its
// own line one at a time through the line save and takes each through
// approval, invoice, receipt, supplemental invoice and credit.
// ACQ_ACTIVITIES_PER_WORKSTATION sets how many activities each runs
// (250 by default).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "MoneyWorkstations.h"

namespace {

int ActivitiesPerWorkstation() {
  const char* text = std::getenv("ACQ_ACTIVITIES_PER_WORKSTATION");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : 250;
}

TEST(ActivityWorkstations, MoneyActivitiesAtOnceLandExactlyOnSharedBudgets) {
  constexpr int kWorkstations = 4;
  const auto plan = testproc::MoneyPlan::For(ActivitiesPerWorkstation());
  acttest::ActModule m(testproc::kMoneySetUp);
  const std::vector<int16_t> lines = moneyws::MakeLines(kWorkstations, plan);
  const auto before = m.Money();
  const auto contractBefore = moneyws::ContractMoney(m);

  const moneyws::Outcome outcome = moneyws::RunWorkstations(lines, plan, m.db.Dir().string());
  EXPECT_EQ(outcome.failed, 0);
  for (const std::string& shown : outcome.shown) ADD_FAILURE() << "shown: " << shown;
  std::printf("[ %d workstations ] %llu retries, %llu lock waits\n", kWorkstations,
              static_cast<unsigned long long>(outcome.retries),
              static_cast<unsigned long long>(outcome.lockWaits));
  moneyws::ExpectMoneyLanded(m, before, contractBefore, plan, kWorkstations);
}

}  // namespace
