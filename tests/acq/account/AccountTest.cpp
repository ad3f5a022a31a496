// Accounts and budgets on the demo library: the inflation of next year's
// allocations, their creation with the ledger (once only), the questions
// asked before an edited budget is saved, and an edit that must not
// overwrite money moved meanwhile.
//
// Demo accounts: ADULT inflates 5 %, SERIAL 8 %, the others have no
// percent of their own. ADULT.2026: 12000.00, 273.37 on order on open
// orders, an on-order limit of 90 %.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "../DbActFixture.h"
#include "acq/budget/AcqAccount.h"
#include "acq/budget/AcqDbAccount.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbGen.h"
#include "support/TestLibrary.h"

namespace {

namespace account = acq::AcqDbAccount;
using acttest::ActModule;
using acttest::Money;
using acttest::RecordingPerson;
using account::CreateOptions;
using account::CreateOutcome;

std::string Raw(const char* money) { return std::to_string(Money(money).raw); }

TEST(AcqDbAccount, InflatesByTheAccountsOwnPercentElseTheOptions) {
  struct Case {
    const char* note;
    std::optional<int16_t> options, account;
    bool noAccount;
    const char* amount;
    const char* expected;
  };
  const Case cases[] = {
      {"0 % leaves the amount", 0, std::nullopt, false, "1000.00", "1000.00"},
      {"3 %", 3, std::nullopt, false, "1000.00", "1030.00"},
      {"5 % is not rounded to cents", 5, std::nullopt, false, "333.33", "349.9965"},
      {"a remainder below a cent is kept", 3, std::nullopt, false, "0.01", "0.0103"},
      {"100 % doubles", 100, std::nullopt, false, "250.00", "500.00"},
      {"-100 % gives nothing", -100, std::nullopt, false, "1000.00", "0"},
      {"no percent anywhere: unchanged", std::nullopt, std::nullopt, false, "1000.00", "1000.00"},
      {"the account's own percent wins", 10, 5, false, "1000.00", "1050.00"},
      {"an account's 0 % wins over the options'", 10, 0, false, "1000.00", "1000.00"},
      {"a NULL account percent falls back", 10, std::nullopt, false, "1000.00", "1100.00"},
      {"no_account_inflation ignores the account", 10, 5, true, "1000.00", "1100.00"},
      {"no_account_inflation without options' percent", std::nullopt, 5, true, "1000.00",
       "1000.00"},
      {"a negative account percent", std::nullopt, -20, false, "1000.00", "800.00"},
  };
  for (const Case& c : cases) {
    CreateOptions options;
    options.inflationFactor = c.options;
    options.noAccountInflation = c.noAccount;
    Dec64 got{};
    ASSERT_TRUE(account::InflateAmount(Money(c.amount),
                                       account::InflationFactorOf(options, c.account), got))
        << c.note;
    EXPECT_EQ(got, Money(c.expected)) << c.note << ": " << LbDec64_StrFrom64(got);
  }
  Dec64 untouched = Money("1.00");
  EXPECT_FALSE(account::InflateAmount(Dec64::FromRaw(INT64_MAX / 2), Dec64::FromInt(2),
                                      untouched));
  EXPECT_EQ(untouched, Money("1.00"));
}

TEST(AcqDbAccount, RefusesBadCreateOptions) {
  struct Case {
    std::optional<int16_t> from, to, factor;
    int message;
  };
  const Case cases[] = {
      {2026, 2027, -101, 370}, {2026, 2027, -100, 0}, {2026, 2027, std::nullopt, 0},
      {2027, 2027, 5, 371},    {std::nullopt, std::nullopt, 0, 371},   // NULL = NULL
      {std::nullopt, 2027, 0, 0}, {2027, std::nullopt, 0, 0},
  };
  for (const Case& c : cases) {
    CreateOptions o;
    o.fromYear = c.from, o.forYear = c.to, o.inflationFactor = c.factor;
    EXPECT_EQ(account::CheckCreateOptions(o), c.message)
        << c.from.value_or(-1) << "->" << c.to.value_or(-1) << " " << c.factor.value_or(0);
  }
}

TEST(AcqDbAccount, CreatesNextYearOnceWithItsLedger) {
  ActModule m;
  CreateOptions o;
  o.fromYear = 2026, o.forYear = 2028, o.inflationFactor = 3, o.newStatus = 1;
  BucketHold rows;
  ASSERT_TRUE(account::LoadYearsToCreate(o, rows.get()));
  ASSERT_EQ(_BktCountAll(*rows), 7);
  const int64_t ledgerBefore = m.Count("select count(*) from budget_transaction");
  int created = 0;
  ASSERT_EQ(account::CreateYearAllocations(o, *rows, "year end", created),
            CreateOutcome::kCreated);
  EXPECT_EQ(created, 7);

  // amount inflated; money zero; limits copied; status set.
  const acttest::Rows expected = {
      {"ADULT.2028", Raw("12600.00"), "0", "0", Raw("90"), "1", "", "0", "1"},
      {"AV.2028", Raw("3090.00"), "0", "0", "", "0", Raw("2500.00"), "0", "1"},
      {"REF.2028", Raw("8240.00"), "0", "0", Raw("4000.00"), "0", Raw("95"), "1", "1"},
      {"SERIAL.2028", Raw("10800.00"), "0", "0", "", "0", "", "0", "1"},
  };
  EXPECT_EQ(m.Query("select budget, amount, on_order, spent, on_order_limit, "
                    "on_order_limit_percent, spent_limit, spent_limit_percent, status from budget "
                    "where year = 2028 and account in ('ADULT', 'AV', 'REF', 'SERIAL') "
                    "order by budget"),
            expected);
  // One ledger transaction with the note; each detail row the new amount from 0.
  EXPECT_EQ(m.Count("select count(*) from budget_transaction"), ledgerBefore + 1);
  EXPECT_EQ(m.Count("select count(*) from budget_transaction where note = 'year end'"), 1);
  EXPECT_EQ(m.Query("select d.budget from budget_transaction_detail d join budget b "
                    "on b.budget = d.budget where b.year = 2028 and (d.amount_type <> 0 "
                    "or d.prior_amount <> 0 or d.trans_amount <> b.amount)"),
            acttest::Rows{});
  EXPECT_EQ(m.Count("select count(*) from budget_transaction_detail where budget like '%.2028'"),
            7);

  // A second run finds nothing; replaying the old list creates nothing.
  BucketHold again;
  ASSERT_TRUE(account::LoadYearsToCreate(o, again.get()));
  EXPECT_EQ(_BktCountAll(*again), 0);
  EXPECT_EQ(account::CreateYearAllocations(o, *rows, "", created), CreateOutcome::kAlreadyCreated);
  EXPECT_EQ(created, 0);
  EXPECT_EQ(m.Count("select count(*) from account_year where year = 2028"), 7);
  EXPECT_EQ(m.Count("select count(*) from budget_transaction"), ledgerBefore + 1);
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

// Another workstation's allocation for the same year, not yet committed
// when this one checks, commits while this one writes: this one writes
// nothing and says they were created meanwhile, on either engine (on a
// server the insert meets the other's key only at the unique index).
TEST(AcqDbAccount, ACreationRacingAnotherWorkstationWritesNothingAndSaysSo) {
  ActModule m;
  CreateOptions o;
  o.fromYear = 2026, o.forYear = 2028, o.inflationFactor = 3;
  BucketHold rows;
  ASSERT_TRUE(account::LoadYearsToCreate(o, rows.get()));
  std::atomic<int> stage{0};   // 1: the other's row is written, 2: committed
  std::thread other([&] {
    DbMsg msg;
    HDb own = nullptr;
    if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) {
      stage = -1;
      return;
    }
    {
      acq::AcqDbGlobal::ThreadSessionHold hold(own);
      acq::AcqDbBase::BeginTrans();
      acq::AcqDbBase::RunStatement(
          "insert into account_year(account, year, amount) values('ADULT', 2028, 0)");
      stage = 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      acq::AcqDbBase::CommitTrans();
      stage = 2;
    }
    _DbLogout(&own);
  });
  while (stage == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  int created = -1;
  const CreateOutcome outcome = account::CreateYearAllocations(o, *rows, "", created);
  other.join();
  ASSERT_EQ(stage.load(), 2);
  EXPECT_EQ(outcome, CreateOutcome::kAlreadyCreated);
  EXPECT_EQ(created, 0);
  EXPECT_EQ(m.Count("select count(*) from account_year where year = 2028"), 1);
  EXPECT_TRUE(acqtest::ShownErrors().empty()) << acqtest::ShownErrors().front();
}

TEST(AcqDbAccount, CreatesBudgetsWithoutAYear) {
  ActModule m;
  CreateOptions o;
  o.fromYear = 2027, o.inflationFactor = -100, o.noAccountInflation = true;
  BucketHold rows;
  ASSERT_TRUE(account::LoadYearsToCreate(o, rows.get()));
  ASSERT_EQ(_BktCountAll(*rows), 7);
  const int64_t ledgerBefore = m.Count("select count(*) from budget_transaction");
  int created = 0;
  ASSERT_EQ(account::CreateYearAllocations(o, *rows, "", created), CreateOutcome::kCreated);
  EXPECT_EQ(m.Query("select budget, amount, status from budget where year is null "
                    "and account = 'ADULT'"),
            (acttest::Rows{{"ADULT.", "0", "0"}}));   // -100 % over its own 5 %; status kept
  // Every amount was zero: no ledger rows, so no transaction either.
  EXPECT_EQ(m.Count("select count(*) from budget_transaction"), ledgerBefore);

  // From the rows without a year to 2029: the NULL year is matched with IS.
  CreateOptions back;
  back.forYear = 2029;
  ASSERT_TRUE(account::LoadYearsToCreate(back, rows.get()));
  EXPECT_EQ(_BktCountAll(*rows), 7);
  ASSERT_TRUE(account::LoadYearsToCreate(o, rows.get()));
  EXPECT_EQ(_BktCountAll(*rows), 0);
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

// The budget ADULT.2026 as the editor holds it; `change` edits it.
struct Edit {
  const char* note;
  std::function<void(BktHandle)> change;
  bool answer;
  bool saved;
  std::vector<std::string> asked;   // a piece of each question's text, in order
};

TEST(AcqAccount, AsksBeforeAnEditedBudgetIsSaved) {
  auto set = [](const char* column, const char* value) {
    return [=](BktHandle b) {
      const int col = _BktGetColNum(b, column);
      if (_BktGetColType(b, col) == kColDec64)
        _ColSetDec64(b, 1, col, Money(value));
      else
        _ColSetInt(b, 1, col, std::stoi(value));
    };
  };
  const Edit edits[] = {
      {"nothing changed", [](BktHandle) {}, false, true, {}},
      {"closing with orders, No", set("status", "2"), false, false, {"outstanding orders"}},
      {"closing with orders, Yes", set("status", "2"), true, true, {"outstanding orders"}},
      {"freezing is not asked", set("status", "1"), false, true, {}},
      {"on order changed", set("on_order", "1.00"), false, false, {"the On Order amount"}},
      {"spent changed", set("spent", "1.00"), true, true, {"the Spent amount"}},
      // 90 % of 250.00 is 225.00, below the 273.37 on order.
      {"amount under the on-order limit", set("amount", "250.00"), true, true,
       {"The On Order amount for budget ADULT.2026 exceeds the On Order limit"}},
      {"raising the amount passes", set("amount", "20000.00"), false, true, {}},
      {"a spent limit of 0.01 is passed by nothing spent", set("spent_limit", "0.01"), false,
       true, {}},
      {"spent over a new spent limit", [&](BktHandle b) { set("spent_limit", "0.50")(b);
                                                          set("spent", "1.00")(b); },
       true, true, {"the Spent amount", "The Spent amount for budget ADULT.2026 exceeds"}},
  };
  ActModule m;
  for (const Edit& e : edits) {
    BucketHold row;
    DbMsg msg;
    ASSERT_EQ(acq::AcqDbGen::LoadBudget(msg, "ADULT.2026", row.get()), kDbOk);
    e.change(*row);
    RecordingPerson person(e.answer);
    EXPECT_EQ(acq::AcqAccount::ValidateBudgetEdit(*row, 1), e.saved) << e.note;
    ASSERT_EQ(person.shown.size(), e.asked.size()) << e.note;
    for (size_t i = 0; i < e.asked.size(); ++i)
      EXPECT_NE(person.shown[i].find(e.asked[i]), std::string::npos) << e.note << ": "
                                                                    << person.shown[i];
  }
}

TEST(AcqDbAccount, AnEditNeverOverwritesMoneyMovedMeanwhile) {
  ActModule m;
  auto load = [](BucketHold& b) {
    DbMsg msg;
    ASSERT_EQ(acq::AcqDbGen::LoadBudget(msg, "ADULT.2026", b.get()), kDbOk);
  };
  BucketHold edited, asRead;
  load(edited);
  load(asRead);
  m.db.Exec("UPDATE account_year SET on_order = on_order + 1000000 "
            "WHERE account = 'ADULT' AND year = 2026");   // an order elsewhere: +1.00
  _ColSetDec64(*edited, 1, _BktGetColNum(*edited, "amount"), Money("13000.00"));
  EXPECT_EQ(account::SaveBudgetEdit(*edited, 1, *asRead), account::SaveOutcome::kSaved);
  EXPECT_EQ(m.Query("select amount, on_order from budget where budget = 'ADULT.2026'"),
            (acttest::Rows{{Raw("13000.00"), Raw("274.37")}}));

  // The person changed on_order too, from a value that is no longer there.
  _ColSetDec64(*edited, 1, _BktGetColNum(*edited, "on_order"), Money("0"));
  EXPECT_EQ(account::SaveBudgetEdit(*edited, 1, *asRead), account::SaveOutcome::kStale);
  EXPECT_EQ(m.Query("select on_order from budget where budget = 'ADULT.2026'"),
            (acttest::Rows{{Raw("274.37")}}));

  bool hasBudgets = false;
  EXPECT_FALSE(account::DeleteAccount("ADULT", hasBudgets));
  EXPECT_TRUE(hasBudgets);
  m.db.Exec("INSERT INTO account(account, descr) VALUES('NEW', 'Unused')");
  EXPECT_TRUE(account::DeleteAccount("NEW", hasBudgets));
  EXPECT_EQ(m.Count("select count(*) from account where account = 'NEW'"), 0);
}

}  // namespace
