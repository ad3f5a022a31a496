// Fund control and its prompts: limits and busts, which changes raise which
// question, confirmations that hold only for the amounts confirmed,
// unauthorised budgets, contracts, the editors' pre-check, and the whole
// confirm-and-retry loop of an action on a real database.
#include <gtest/gtest.h>

#include "BudgetTestSupport.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/frame/AcqBase.h"
#include "host/sys/LbStr.h"

namespace {

namespace fc = acq::AcqFundCtrl;
using budgettest::AnsweringPerson;
using budgettest::BudgetModule;
using budgettest::Money;
using budgettest::Rows;
using Cells = std::vector<std::string>;

constexpr const char* kChecksOff = "update acq_parameter set budget_contract_checks=0";

// Budget rows as the `budget` view gives them: budget, status, amount,
// on order, spent, on-order limit and percent flag, spent limit and flag.
BktHandle Budgets(const std::vector<Cells>& rows) {
  return Rows({"budget:t", "status:s", "amount:d", "on_order:d", "spent:d", "on_order_limit:d",
               "on_order_limit_percent:b", "spent_limit:d", "spent_limit_percent:b"},
              rows);
}
BktHandle Deltas(const std::vector<Cells>& rows) {
  return Rows({"budget:t", "on_order:d", "spent:d"}, rows);
}

std::string Text(int id, const std::string& a1, const std::string& a2 = {},
                 const std::string& a3 = {}, const std::string& a4 = {}) {
  return Lb_FormatMessage(acq::AcqBase::LoadStr(id), a1, a2, a3, a4);
}

TEST(FundCtrl, LimitsAndBustsOfARow) {
  BudgetModule module;
  struct Case {
    const char* note;
    int type;
    Cells row;   // amount 1000 throughout
    const char* limit;   // nullptr: no limit
    const char* limitBust;
    const char* amountBust;
  };
  const Case cases[] = {
      {"90 %, total 950", 1, {"A.1", "0", "1000", "950", "0", "90", "1"}, "900", "50", "0"},
      {"on order counts spent", 1, {"A.1", "0", "1000", "900", "50", "90", "1"}, "900", "50", "0"},
      {"past the amount too", 1, {"A.1", "0", "1000", "1100", "0", "90", "1"}, "900", "200", "100"},
      {"at the limit", 1, {"A.1", "0", "1000", "900", "0", "90", "1"}, "900", "0", "0"},
      {"no limit, far past the amount", 1, {"A.1", "0", "1000", "5000", "0", "", "0"}, nullptr,
       "0", "0"},
      // Divided first: 33.333333 / 100 = 0.333333, x 1000 = 333.333 (not 333.33333).
      {"percent divided first", 1, {"A.1", "0", "1000", "333.3335", "0", "33.333333", "1"},
       "333.333", "0.0005", "0"},
      {"spent limit", 2, {"A.1", "0", "1000", "0", "1200", "", "0", "1100", "0"}, "1100", "100",
       "200"},
      {"spent ignores on order", 2, {"A.1", "0", "1000", "2000", "500", "", "0", "600", "0"},
       "600", "0", "0"},
      {"type 0", 0, {"A.1", "0", "1000", "5000", "0", "10", "0"}, nullptr, "0", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    BucketHold rows(Budgets({c.row}));
    Dec64 limit, amountBust, limitBust;
    EXPECT_EQ(fc::GetLimit(limit, c.type, 1, *rows), c.limit != nullptr);
    if (c.limit) {
      EXPECT_EQ(limit, Money(c.limit));
    }
    fc::ComputeBusts(amountBust, limitBust, c.type, 1, *rows);
    EXPECT_EQ(limitBust, Money(c.limitBust));
    EXPECT_EQ(amountBust, Money(c.amountBust));
  }
  // Without the percent flag's column there is no limit at all.
  BucketHold partial(Rows({"amount:d", "on_order:d", "on_order_limit:d"}, {{"10", "500", "1"}}));
  Dec64 limit;
  EXPECT_FALSE(fc::GetLimit(limit, 1, 1, *partial));
}

TEST(FundCtrl, WhichChangesRaiseWhichQuestion) {
  BudgetModule module;
  struct Case {
    const char* note;
    Cells row;
    std::vector<Cells> deltas;
    std::string asked;   // "" when nothing is asked
  };
  const Case cases[] = {
      {"frozen, on order relieved", {"CHILD.2026", "1", "6000", "200", "0"},
       {{"CHILD.2026", "-10", "0"}}, ""},
      {"frozen, spent against", {"CHILD.2026", "1", "6000", "200", "0"},
       {{"CHILD.2026", "-10", "10"}}, ""},
      {"frozen, more on order", {"CHILD.2026", "1", "6000", "200", "0"},
       {{"CHILD.2026", "10", "0"}}, Text(62, "CHILD.2026")},
      {"closed, relieved", {"ADULT.2025", "2", "1000", "200", "0"}, {{"ADULT.2025", "-10", "0"}},
       Text(70, "ADULT.2025")},
      {"closed, not among the deltas", {"ADULT.2025", "2", "1000", "0", "0"}, {},
       Text(70, "ADULT.2025")},
      {"past its on-order limit, only spent rises", {"REF.2026", "0", "1000", "950", "0", "500", "0"},
       {{"REF.2026", "0", "5"}}, ""},
      {"past its on-order limit, on order falls", {"REF.2026", "0", "1000", "950", "0", "500", "0"},
       {{"REF.2026", "-5", "0"}}, ""},
      {"on-order limit only", {"A.1", "0", "1000", "950", "0", "90", "1"}, {{"A.1", "10", "0"}},
       Text(71, "A.1", "$50.00")},
      {"on-order limit and amount", {"A.1", "0", "1000", "1100", "0", "90", "1"},
       {{"A.1", "10", "0"}}, Text(215, "A.1", "$200.00", "$100.00")},
      {"spent limit only", {"A.1", "0", "1000", "0", "950", "", "0", "900", "0"},
       {{"A.1", "0", "5"}}, Text(72, "A.1", "$50.00")},
      {"spent limit and amount", {"A.1", "0", "1000", "0", "1200", "", "0", "1100", "0"},
       {{"A.1", "0", "10"}}, Text(216, "A.1", "$100.00", "$200.00")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fc::BustListHold list;
    BucketHold rows(Budgets({c.row}));
    BucketHold deltas(Deltas(c.deltas));
    EXPECT_EQ(fc::CheckBudgetBusts(list.get(), *deltas, *rows), !c.asked.empty());
    EXPECT_EQ(fc::BustListPending(list.get()), !c.asked.empty());
    AnsweringPerson person({true});
    EXPECT_TRUE(acq::AcqBudget::ConfirmBusts(list.get()));
    EXPECT_EQ(person.shown, c.asked.empty() ? Cells{} : Cells{c.asked});
    EXPECT_FALSE(fc::BustListPending(list.get()));
  }
}

TEST(FundCtrl, ConfirmationHoldsOnlyForTheAmountsConfirmed) {
  BudgetModule module;
  fc::BustListHold list;
  BucketHold deltas(Deltas({{"ADULT.2026", "10", "0"}}));
  BucketHold at950(Budgets({{"ADULT.2026", "1", "1000", "950", "0", "90", "1"}}));
  ASSERT_TRUE(fc::CheckBudgetBusts(list.get(), *deltas, *at950));
  {
    AnsweringPerson person({true, true});   // frozen, then the bust of 50
    ASSERT_TRUE(acq::AcqBudget::ConfirmBusts(list.get()));
    EXPECT_EQ(person.shown.size(), 2u);
  }
  EXPECT_FALSE(fc::CheckBudgetBusts(list.get(), *deltas, *at950));   // the retry: same totals
  // Another user added 10 meanwhile: a bust of 60 is asked again, the
  // frozen status stays confirmed.
  BucketHold at960(Budgets({{"ADULT.2026", "1", "1000", "960", "0", "90", "1"}}));
  EXPECT_TRUE(fc::CheckBudgetBusts(list.get(), *deltas, *at960));
  AnsweringPerson person({false});
  EXPECT_FALSE(acq::AcqBudget::ConfirmBusts(list.get()));
  EXPECT_EQ(person.shown, Cells{Text(71, "ADULT.2026", "$60.00")});
}

TEST(FundCtrl, WithoutLimitChecksOnlyStatusIsAsked) {
  BudgetModule module(kChecksOff);
  fc::BustListHold list;
  BucketHold rows(Budgets({{"CHILD.2026", "1", "1000", "5000", "0", "10", "0"}}));
  BucketHold deltas(Deltas({{"CHILD.2026", "10", "0"}}));
  EXPECT_TRUE(fc::CheckBudgetBusts(list.get(), *deltas, *rows));
  EXPECT_EQ(_BktCountAll(list.get()->budgetBusts), 0);
  EXPECT_EQ(_BktCountAll(list.get()->status), 1);
  BucketHold contracts(Rows({"vendor#:i", "vendor_contract:t", "amount:d", "on_order:d",
                             "on_order_limit:d", "on_order_limit_percent:b"},
                            {{"1", "C", "100", "500", "10", "0"}}));
  BucketHold contractDeltas(Rows({"vendor#:i", "vendor_contract:t", "on_order:d"},
                                 {{"1", "C", "5"}}));
  EXPECT_FALSE(fc::CheckContractBusts(list.get(), *contractDeltas, *contracts));
}

// SPECIAL is open to admin only.
TEST(FundCtrl, UnauthorisedBudgetsAreReportedNeverConfirmed) {
  BudgetModule module("", "clerk");
  EXPECT_TRUE(fc::UserMayUseBudget("SPECIAL.2026", "admin"));
  EXPECT_FALSE(fc::UserMayUseBudget("SPECIAL", "clerk"));   // no year: all of it the account
  EXPECT_TRUE(fc::UserMayUseBudget("ADULT.2026"));

  fc::BustListHold list;
  BucketHold rows(Budgets({{"SPECIAL.2026", "0", "10", "0", "0"},
                           {"ADULT.2025", "2", "10", "0", "0"},
                           {"SPECIAL.2025", "0", "10", "0", "0"}}));
  EXPECT_TRUE(fc::CheckBudgetAuthorization(list.get(), *rows));
  EXPECT_TRUE(fc::CheckBudgetAuthorization(list.get(), *rows));   // listed once only
  EXPECT_TRUE(fc::CheckBudgetBusts(list.get(), nullptr, *rows));   // closed ADULT.2025
  AnsweringPerson person({true});
  EXPECT_FALSE(acq::AcqBudget::ConfirmBusts(list.get()));
  EXPECT_EQ(person.shown, Cells{"Budget Message|You are not authorized to use the following "
                                "budgets: SPECIAL.2026, SPECIAL.2025."});

  // An editor's pre-check reports them too and keeps nothing.
  fc::BustListHold editorList;
  EXPECT_FALSE(acq::AcqBudget::PreCheckBudgets(editorList.get(), nullptr, *rows));
  EXPECT_EQ(person.shown.back(), person.shown.front());
  EXPECT_EQ(_BktCountAll(editorList.get()->unauthorized), 0);
  EXPECT_FALSE(acq::AcqBudget::ConfirmBudgetUse("SPECIAL.2026"));
  EXPECT_EQ(person.shown.back(), Text(61, "SPECIAL.2026"));

  // Pick lists drop them: by the account column when there is one.
  fc::FilterBudgetsForUser(*rows);
  ASSERT_EQ(_BktCountAll(*rows), 1);
  BucketHold byAccount(Rows({"budget:t", "account:t"},
                            {{"ADULT.2026", "SPECIAL"}, {"SPECIAL.2026", "REF"}}));
  fc::FilterBudgetsForUser(*byAccount);
  ASSERT_EQ(_BktCountAll(*byAccount), 1);
  EXPECT_EQ(_ColGetStringW(*byAccount, 1, 2), "REF");
}

TEST(FundCtrl, ContractPromptsNameTheVendor) {
  BudgetModule module;
  struct Case {
    const char* vendor;
    const char* onOrder;
    std::string asked;
  };
  const Case cases[] = {
      {"999", "95", Text(73, "", "GHOST", "$5.00")},   // no such vendor: no name
      {"1", "120", Text(217, "Northfield Book Distributors", "GHOST", "$30.00", "$20.00")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    BucketHold totals(Rows({"vendor#:i", "vendor_contract:t", "amount:d", "on_order:d",
                            "spent:d", "on_order_limit:d", "on_order_limit_percent:b"},
                           {{c.vendor, "GHOST", "100", c.onOrder, "0", "90", "0"}}));
    BucketHold deltas(Rows({"vendor#:i", "vendor_contract:t", "on_order:d", "spent:d"},
                           {{c.vendor, "GHOST", "5", "0"}}));
    fc::BustListHold list;
    EXPECT_TRUE(fc::CheckContractBusts(list.get(), *deltas, *totals));
    AnsweringPerson person({true});
    EXPECT_TRUE(acq::AcqBudget::ConfirmBusts(list.get()));
    EXPECT_EQ(person.shown, Cells{c.asked});
    EXPECT_FALSE(fc::CheckContractBusts(list.get(), *deltas, *totals));   // confirmed
  }
}

TEST(FundCtrl, EditorPreCheckKeepsOnlyWhatWasConfirmed) {
  BudgetModule module;
  BucketHold rows(Budgets({{"CHILD.2026", "1", "1000", "200", "0"}}));
  BucketHold deltas(Deltas({{"CHILD.2026", "10", "0"}}));
  fc::BustListHold list;
  AnsweringPerson person({false, true});
  EXPECT_FALSE(acq::AcqBudget::PreCheckBudgets(list.get(), *deltas, *rows));
  EXPECT_EQ(_BktCountAll(list.get()->status), 0);   // declined: asked again next save
  EXPECT_TRUE(acq::AcqBudget::PreCheckBudgets(list.get(), *deltas, *rows));
  EXPECT_TRUE(acq::AcqBudget::PreCheckBudgets(list.get(), *deltas, *rows));   // kept
  EXPECT_EQ(person.shown.size(), 2u);
}

// An action through the retry loop every budget-moving action uses: 10700.00
// more on order busts ADULT.2026's limit (90 % of 12000.00; 273.37 on order,
// nothing spent) by 173.37; SPECIAL.2026 is not the clerk's to use at all.
TEST(FundCtrl, ConfirmedActionCommitsOnceDeclinedWritesNothing) {
  struct Case {
    const char* user;
    const char* budget;
    bool answer;
    int passes;   // 2: confirmed and committed
    int message;  // the one question asked: 71 with the bust, or 144
  };
  const Case cases[] = {
      {"admin", "ADULT.2026", true, 2, 71}, {"admin", "ADULT.2026", false, 1, 71},
      {"clerk", "ADULT.2026", true, 1, 71},   // Yes, but no buOrLim and nobody grants it
      {"clerk", "SPECIAL.2026", true, 1, 144},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + " " + c.budget + (c.answer ? " Yes" : " No"));
    BudgetModule module("", c.user);
    // The string table is the loaded module's: read once it is there.
    const std::string asked = c.message == 71 ? Text(71, "ADULT.2026", "$173.37")
                                              : Text(144, "SPECIAL.2026");
    ASSERT_FALSE(asked.empty());
    AnsweringPerson person({c.answer});
    const Dec64 before = module.Total("on_order", c.budget);
    fc::BustListHold list;
    acq::AcqDbBudget::BudgetMoves moves;
    int passes = 0;
    const bool saved = acq::AcqDbBase::SaveWithReportedRetry(
        5,
        [&] {
          ++passes;
          moves.Reset();
          acq::AcqDbBudget::IncreaseOnOrder(1, Money("10700"), c.budget, moves.deltas(),
                                            moves.detail());
          return acq::AcqDbBudget::ApplyBudgetUpdate(list.get(), moves, 3, 1, nullptr);
        },
        {},
        [&] {
          return fc::BustListPending(list.get()) && fc::GetBustHandler() &&
                 fc::GetBustHandler()(list.get());
        });
    const bool committed = c.passes == 2;
    EXPECT_EQ(saved, committed);
    EXPECT_EQ(passes, c.passes);
    EXPECT_EQ(person.shown, Cells{asked});
    Dec64 added;
    ASSERT_EQ(LbDec64_Add64(before, Money("10700"), added), DecStatus::Ok);
    EXPECT_EQ(module.Total("on_order", c.budget), committed ? added : before);
    EXPECT_EQ(module.Query("select count(*) from budget_transaction"), committed ? "1" : "0");
    EXPECT_EQ(acq::AcqDbExcept::TransCount(), 0u);
    EXPECT_TRUE(acqtest::ShownErrors().empty());
  }
}

}  // namespace
