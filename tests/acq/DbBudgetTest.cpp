// Budget money on a real database: splitting an item's amount over its
// budgets, the totals and the ledger an update writes (with the ledger on
// and off), cancelling pairs of a statement, contracts, and an update that
// fund control stops.
#include <gtest/gtest.h>

#include <random>

#include "BudgetTestSupport.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"

namespace {

namespace money = acq::AcqDbBudget;
namespace fc = acq::AcqFundCtrl;
using acq::AcqDbBase::TransactionHold;
using budgettest::BudgetModule;
using budgettest::Money;

constexpr const char* kLedgerOff = "update acq_parameter set track_budget_trans=0";

std::vector<money::SplitEntry> Split(const std::vector<int>& percents) {
  std::vector<money::SplitEntry> split;
  for (int p : percents) split.push_back({"B.2026", p});
  return split;
}

// One update in a transaction of its own, committed whatever it answers
// (so that only what the update itself wrote can show).
bool Update(money::BudgetMoves& moves, int32_t po = 7, BktHandle poRow = nullptr) {
  TransactionHold hold;
  fc::BustListHold list;
  const bool ok = money::ApplyBudgetUpdate(list.get(), moves, po, 2, poRow);
  EXPECT_TRUE(hold.Commit());
  return ok;
}

TEST(DbBudget, SharesOfASplitAddUpToTheAmount) {
  BudgetModule module;   // two money digits
  struct Case {
    const char* amount;
    std::vector<int> percents;
    std::vector<const char*> shares;
  };
  const Case cases[] = {
      {"100.00", {33, 33, 34}, {"33.00", "33.00", "34.00"}},   // 67.00 x 33 / 67
      {"0.10", {33, 33, 34}, {"0.03", "0.03", "0.04"}},        // 0.07 x 33 / 67 = 0.0344..
      {"-0.10", {33, 33, 34}, {"-0.03", "-0.03", "-0.04"}},    // a credit
      {"0.01", {50, 50}, {"0.01", "0.00"}},                    // half a cent away from zero
      {"12.345", {100}, {"12.345"}},                           // the last takes what remains
      {"0", {40, 60}, {"0", "0"}},
      {"8.00", {100, 0}, {"8.00", "0"}},
  };
  for (const Case& c : cases) {
    const std::vector<Dec64> shares = money::SplitShares(Money(c.amount), Split(c.percents));
    ASSERT_EQ(shares.size(), c.shares.size());
    for (size_t n = 0; n < shares.size(); ++n)
      EXPECT_EQ(shares[n], Money(c.shares[n])) << c.amount << " share " << n;
  }
  std::mt19937 random(20260206);
  for (int round = 0; round < 2000; ++round) {
    std::vector<int> percents;   // whole percents adding up to 100
    int left = 100;
    for (int n = std::uniform_int_distribution<int>(1, 6)(random); n > 1 && left > 1; --n) {
      percents.push_back(std::uniform_int_distribution<int>(1, left - 1)(random));
      left -= percents.back();
    }
    percents.push_back(left);
    const Dec64 amount = Dec64::FromRaw(
        std::uniform_int_distribution<int64_t>(-1'000'000'000'000, 1'000'000'000'000)(random));
    const std::vector<Dec64> shares = money::SplitShares(amount, Split(percents));
    Dec64 sum;
    for (size_t n = 0; n < shares.size(); ++n) {
      ASSERT_EQ(LbDec64_Add64(sum, shares[n], sum), DecStatus::Ok);
      if (n + 1 < shares.size()) {
        EXPECT_EQ(shares[n].raw % 10'000, 0) << "not rounded to cents";
      }
    }
    ASSERT_EQ(sum, amount) << LbDec64_StrFrom64(amount);
  }
}

TEST(DbBudget, LedgerChainsPriorAmountsAndRecordsTheSource) {
  BudgetModule module;
  money::BudgetMoves moves;
  ASSERT_NE(moves.detail(), nullptr);
  money::IncreaseOnOrder(1, Money("10.00"), "ADULT.2026", moves.deltas(), moves.detail());
  money::IncreaseOnOrder(2, Money("2.50"), "ADULT.2026", moves.deltas(), moves.detail());
  money::DecreaseOnOrder(1, Money("1.25"), "REF.2026", moves.deltas(), moves.detail());
  money::IncreaseSpent(1, Money("0"), "REF.2026", moves.deltas(), moves.detail());
  ASSERT_TRUE(Update(moves));
  EXPECT_EQ(module.Total("on_order", "ADULT.2026"), Money("285.87"));
  EXPECT_EQ(module.Total("on_order", "REF.2026"), Money("275.87"));
  EXPECT_EQ(module.Query("select count(*) || ',' || min(transaction_source) || ',' || "
                         "min(user_id) || ',' || count(note) from budget_transaction"),
            "1,1,admin,0");
  // budget, type, trans, prior, po#, line, item, in the order applied.
  EXPECT_EQ(module.Query("select group_concat(budget || ' ' || amount_type || ' ' || "
                         "trans_amount || ' ' || prior_amount || ' ' || \"po#\" || ' ' || line "
                         "|| ' ' || item, '; ') from budget_transaction_detail"),
            "ADULT.2026 1 10000000 273370000 7 2 1; ADULT.2026 1 2500000 283370000 7 2 2; "
            "REF.2026 1 -1250000 277120000 7 2 1; REF.2026 2 0 0 7 2 1");

  struct Case {
    bool statement;
    const char* charge;   // nullptr: an item's money
    const char* expected;   // source, note, detail rows
  };
  const Case cases[] = {
      {true, nullptr, "2,-,2"}, {true, "SHIP", "3,-,2"},
      {false, nullptr, "0,year-end fix,1"},   // manual: zero rows dropped, the note kept
  };
  for (const Case& c : cases) {
    money::BudgetMoves more;
    if (c.charge) {
      money::IncreaseExtraSpent(c.charge, Money("3.00"), "OPS.2026", more.deltas(), more.detail());
    } else {
      money::IncreaseSpent(4, Money("3.00"), "OPS.2026", more.deltas(), more.detail());
    }
    money::IncreaseSpent(5, Money("0"), "OPS.2026", more.deltas(), more.detail());
    if (c.statement) {
      TransactionHold hold;
      fc::BustListHold list;
      EXPECT_TRUE(money::ApplyStatementBudgetUpdate(list.get(), more, false, 2, nullptr));
      ASSERT_TRUE(hold.Commit());
    } else {
      ASSERT_TRUE(money::WriteBudgetTransactionNote("year-end fix", more.detail()));
    }
    EXPECT_EQ(module.Query("select transaction_source || ',' || coalesce(note, '-') || ',' || "
                           "(select count(*) from budget_transaction_detail d where "
                           "d.\"budget_transaction#\" = t.\"budget_transaction#\") from "
                           "budget_transaction t order by \"budget_transaction#\" desc"),
              c.expected);
  }
  EXPECT_EQ(module.Total("spent", "OPS.2026"), Money("6.00"));   // the two statements
}

TEST(DbBudget, WithoutLedgerZeroDeltasAreDroppedAndNothingIsLogged) {
  BudgetModule module(kLedgerOff);
  money::BudgetMoves moves;
  EXPECT_EQ(moves.detail(), nullptr);
  money::IncreaseOnOrder(1, Money("4.00"), "AV.2026", moves.deltas(), moves.detail());
  money::DecreaseOnOrder(1, Money("4.00"), "AV.2026", moves.deltas(), moves.detail());
  money::IncreaseSpent(2, Money("1.10"), "SERIAL.2026", moves.deltas(), moves.detail());
  // SPECIAL.2025 is closed: a zero change of it is no change, and not asked about.
  money::IncreaseOnOrder(3, Money("0"), "SPECIAL.2025", moves.deltas(), moves.detail());
  ASSERT_TRUE(Update(moves));
  EXPECT_EQ(_BktCountAll(moves.deltas()), 1);
  EXPECT_EQ(module.Total("on_order", "AV.2026"), Money("126.93"));
  EXPECT_EQ(module.Total("spent", "SERIAL.2026"), Money("1.10"));
  EXPECT_EQ(module.Query("select count(*) from budget_transaction"), "0");
}

TEST(DbBudget, CancellingPairsOfAStatementLeaveNoLedgerRows) {
  BudgetModule module;
  for (bool cancel : {false, true}) {
    money::BudgetMoves moves;
    money::IncreaseExtraOnOrder("SHIP", Money("5.00"), "OPS.2026", moves.deltas(), moves.detail());
    money::IncreaseExtraOnOrder("TAX", Money("2.00"), "OPS.2026", moves.deltas(), moves.detail());
    money::DecreaseExtraOnOrder("SHIP", Money("5.00"), "OPS.2026", moves.deltas(), moves.detail());
    // Opposite amounts of another type are no pair.
    money::IncreaseExtraSpent("SHIP", Money("5.00"), "OPS.2026", moves.deltas(), moves.detail());
    BucketHold totals;
    ASSERT_TRUE(money::ApplyStatementTransactions(cancel, 2, totals.get(), moves.detail()));
    EXPECT_EQ(_BktCountAll(moves.detail()), cancel ? 2 : 4);
    ASSERT_EQ(_BktCountAll(*totals), 1);
    EXPECT_EQ(_ColGetDec64(*totals, 1, _BktGetColNum(*totals, "on_order")), Money("11.50"));
    EXPECT_EQ(_ColGetDec64(*totals, 1, _BktGetColNum(*totals, "spent")), Money("5.00"));
    EXPECT_EQ(_ColGetInt(moves.detail(), 1, _BktGetColNum(moves.detail(), "statement#")), 2);
  }
}

// PO 1 buys on contract STAND26 of vendor 1; PO 2 has no contract.
TEST(DbBudget, ContractMovesByTheTotalOfTheBudgets) {
  BudgetModule module(kLedgerOff);
  for (int po : {1, 2}) {
    money::BudgetMoves moves;
    money::IncreaseOnOrder(1, Money("10.00"), "ADULT.2026", moves.deltas(), moves.detail());
    money::IncreaseOnOrder(2, Money("5.00"), "REF.2026", moves.deltas(), moves.detail());
    money::DecreaseOnOrder(3, Money("1.00"), "REF.2026", moves.deltas(), moves.detail());
    money::IncreaseSpent(3, Money("0.75"), "REF.2026", moves.deltas(), moves.detail());
    BucketHold poRow;
    DbMsg msg;
    ASSERT_EQ(acq::AcqDb::LoadTable(msg, acq::AcqDb::ClearChanges::Yes, "",
                                    "po#=" + std::to_string(po), "po#,vendor#,vendor_contract",
                                    "po", poRow.get()),
              kDbOk);
    ASSERT_TRUE(Update(moves, po, *poRow));
  }
  // Only PO 1's moves reach it: 486.85 + 14.00 on order, 0 + 0.75 spent.
  EXPECT_EQ(module.Query("select on_order || ' ' || spent from vendor_contract"
                         " where vendor_contract='STAND26'"),
            "500850000 750000");
  // The budgets move for both POs: 273.37 + 2 x 10.00.
  EXPECT_EQ(module.Total("on_order", "ADULT.2026"), Money("293.37"));
}

TEST(DbBudget, AFindingStopsTheUpdateBeforeAnythingIsWritten) {
  BudgetModule module;
  // A closed budget; REF.2026 past its on-order limit of 4000.00.
  for (const char* busted : {"ADULT.2025", "REF.2026"}) {
    money::BudgetMoves moves;
    money::IncreaseOnOrder(1, Money("2.00"), "AV.2026", moves.deltas(), moves.detail());
    money::IncreaseOnOrder(1, Money("3800.00"), busted, moves.deltas(), moves.detail());
    EXPECT_FALSE(Update(moves)) << busted;
    EXPECT_EQ(module.Query("select count(*) from budget_transaction_detail"), "0");
    EXPECT_EQ(module.Total("on_order", "AV.2026"), Money("126.93"));
    EXPECT_TRUE(acqtest::ShownErrors().empty());
  }
}

// An item's money made, read back and partly removed; the totals follow the
// rows' base amounts (amount x rate, not rounded to cents).
TEST(DbBudget, ItemMoneyRowsAndTheirMoves) {
  BudgetModule module(kLedgerOff);
  module.db.Exec("INSERT INTO po_line_item(\"po#\", line, item, location, budget) "
                 "VALUES (6, 1, 11, 'MAIN', 'AV.2026')");
  {
    money::BudgetMoves moves;
    TransactionHold hold;
    ASSERT_TRUE(money::SplitLineItemBudgets(
        6, 1, 11, {{"REF.2026", 33}, {"ADULT.2026", 33}, {"SERIAL.2026", 34}}, Money("0.10"),
        Money("1.333333"), false, true, {}, moves));
    fc::BustListHold list;
    ASSERT_TRUE(money::ApplyBudgetUpdate(list.get(), moves, 6, 1, nullptr));
    ASSERT_TRUE(hold.Commit());
  }
  EXPECT_EQ(module.Query("select group_concat(budget || ' ' || amount || ' ' || spent, '; ') "
                         "from po_line_item_budget_amount where \"po#\"=6 and item=11"),
            "REF.2026 30000 0; ADULT.2026 30000 0; SERIAL.2026 40000 0");
  // 0.03 x 1.333333 = 0.04 (0.03999999 to six places); 0.04 x 1.333333 = 0.053333.
  EXPECT_EQ(module.Total("on_order", "REF.2026"), Money("277.16"));
  EXPECT_EQ(module.Total("on_order", "SERIAL.2026"), Money("476.303333"));

  std::vector<money::SplitEntry> split;
  ASSERT_TRUE(money::LoadItemSplit(6, 1, 11, split));
  ASSERT_EQ(split.size(), 3u);
  EXPECT_EQ(split[0].budget + " " + split[2].budget + " " + std::to_string(split[2].percentage),
            "ADULT.2026 SERIAL.2026 34");   // in budget order
  ASSERT_TRUE(money::LoadItemSplit(6, 1, 1, split));   // no rows: the item's own budget
  ASSERT_EQ(split.size(), 1u);
  EXPECT_EQ(split[0].budget + " " + std::to_string(split[0].percentage), "AV.2026 100");

  {
    money::BudgetMoves moves;
    TransactionHold hold;
    ASSERT_TRUE(money::RemoveItemBudgetAmounts(6, 1, 11, "budget<>'REF.2026'", moves));
    fc::BustListHold list;
    ASSERT_TRUE(money::ApplyBudgetUpdate(list.get(), moves, 6, 1, nullptr));
    ASSERT_TRUE(hold.Commit());
  }
  EXPECT_EQ(module.Query("select count(*) from po_line_item_budget_amount where item=11"), "1");
  EXPECT_EQ(module.Total("on_order", "SERIAL.2026"), Money("476.25"));
  EXPECT_EQ(module.Total("on_order", "ADULT.2026"), Money("273.37"));
}

}  // namespace
