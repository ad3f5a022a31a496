// Shared by the approval tests: a person answering OK/Cancel and Yes/No
// boxes, statement money of its own saved as the statement window saves it
// (row and budget on order in one transaction), and the spent invariant:
// every budget's on_order and spent are the sums of its money rows, and its
// ledger moved exactly as its totals did.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "acq/DbActFixture.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "host/muc/UiDriver.h"

namespace apptest {

using acttest::Raw;

// Yes/No boxes Yes; OK/Cancel boxes from `okCancel` in order (OK once it
// runs out); every box kept as "Caption|Text".
class Person : public UiDriver {
 public:
  explicit Person(std::deque<bool> okCancel = {}) : okCancel(std::move(okCancel)) {
    Ui_SetDriver(this);
  }
  ~Person() override { Ui_SetDriver(nullptr); }
  MsgAnswer MessageBox(std::string_view caption, std::string_view text, MsgButtons buttons,
                       MsgIcon) override {
    shown.push_back(std::string(caption) + "|" + std::string(text));
    if (buttons == MsgButtons::YesNo) return yes ? MsgAnswer::Yes : MsgAnswer::No;
    if (buttons != MsgButtons::OkCancel) return MsgAnswer::Ok;
    const bool ok = okCancel.empty() || okCancel.front();
    if (!okCancel.empty()) okCancel.pop_front();
    return ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
  }
  std::optional<Credentials> AskCredentials(std::string_view) override { return std::nullopt; }
  std::optional<std::string> AskText(std::string_view, std::string_view, bool) override {
    return std::nullopt;
  }
  void Notice(std::string_view, std::string_view) override {}
  std::optional<std::string> NextAction() override { return std::nullopt; }
  bool Failed(std::string*) const override { return false; }
  // Whether a box whose text starts like message `text` was shown.
  bool Saw(const std::string& text) const {
    for (const std::string& s : shown)
      if (s.find(text) != std::string::npos) return true;
    return false;
  }

  std::deque<bool> okCancel;
  bool yes = true;
  std::vector<std::string> shown;
};

// Inserts a charged extra charge (`chargeType` non-empty) or a statement
// budget and puts its base on the budget's on order, in one transaction of
// the module's session, as the statement window's save does. False when
// the database or fund control refused (rolled back).
inline bool AddOwnMoney(int32_t statement, const std::string& chargeType,
                        const std::string& budget, Dec64 amount, Dec64 rate) {
  namespace b = acq::AcqDbBudget;
  acq::AcqFundCtrl::BustListHold bust;
  b::BudgetMoves moves;
  acq::AcqDbBase::TransactionHold transaction;
  const std::string values = std::to_string(statement) + ",'" + budget + "'," +
                             std::to_string(amount.raw) + "," + std::to_string(rate.raw);
  const std::string sql =
      chargeType.empty()
          ? "insert into statement_budget(statement#,budget,amount,exchange_rate) values(" +
                values + ")"
          : "insert into statement_extra_charge(statement#,extra_charge_type,budget,amount,"
            "exchange_rate) values(" + std::to_string(statement) + ",'" + chargeType + "','" +
                budget + "'," + std::to_string(amount.raw) + "," + std::to_string(rate.raw) + ")";
  DbMsg msg;
  int32_t none = 0;
  if (acq::AcqDb::ExecSP(msg, &none, sizeof none, "", sql) != kDbOk) {
    ADD_FAILURE() << msg.text << " in " << sql;
    return false;
  }
  Dec64 base;
  if (LbDec64_Mul64(amount, rate, base) != DecStatus::Ok) return false;
  b::IncreaseExtraOnOrder(chargeType, base, budget, moves.deltas(), moves.detail());
  if (!b::ApplyStatementBudgetUpdate(bust.get(), moves, false, statement, nullptr)) return false;
  return transaction.Commit();
}

// Each budget's totals and what its rows and ledger say.
struct Witnesses {
  Dec64 onOrder, spent;             // the totals
  Dec64 rowsOnOrder, rowsSpent;     // money rows of the three tables, amount x rate
  Dec64 ledgerOnOrder, ledgerSpent; // the ledger's sums by amount type
};
using Picture = std::map<std::string, Witnesses>;

inline Picture TakePicture(const std::string& path) {
  using acttest::Add;
  Picture p;
  for (const auto& r : acttest::QueryRows(path, "select budget, on_order, spent from budget"))
    p[r[0]].onOrder = Raw(r[1]), p[r[0]].spent = Raw(r[2]);
  for (const auto& r : acttest::QueryRows(
           path,
           "select budget, amount, exchange_rate, spent from po_line_item_budget_amount "
           "union all select budget, amount, exchange_rate, spent from statement_extra_charge "
           "where budget is not null union all select budget, amount, exchange_rate, spent "
           "from statement_budget")) {
    Dec64 base;
    EXPECT_EQ(LbDec64_Mul64(Raw(r[1]), Raw(r[2]), base), DecStatus::Ok);
    Dec64& sum = r[3] == "1" ? p[r[0]].rowsSpent : p[r[0]].rowsOnOrder;
    sum = Add(sum, base);
  }
  for (const auto& r : acttest::QueryRows(path, "select budget, amount_type, sum(trans_amount) "
                                                "from budget_transaction_detail group by "
                                                "budget, amount_type"))
    (r[1] == "1" ? p[r[0]].ledgerOnOrder : p[r[0]].ledgerSpent) = Raw(r[2]);
  return p;
}

// "" when every budget's totals equal its rows, and (`ledger`) its totals
// moved since `start` exactly as its ledger did; else what is wrong.
inline std::string InvariantBroken(const Picture& start, const Picture& now, bool ledger) {
  using acttest::Sub;
  std::string wrong;
  for (const auto& [budget, w] : now) {
    auto money = [](Dec64 v) { return LbDec64_StrFrom64(v); };
    if (w.onOrder != w.rowsOnOrder)
      wrong += budget + " on_order " + money(w.onOrder) + " rows " + money(w.rowsOnOrder) + "; ";
    if (w.spent != w.rowsSpent)
      wrong += budget + " spent " + money(w.spent) + " rows " + money(w.rowsSpent) + "; ";
    if (!ledger) continue;
    const Witnesses s = start.count(budget) ? start.at(budget) : Witnesses{};
    if (Sub(w.onOrder, s.onOrder) != Sub(w.ledgerOnOrder, s.ledgerOnOrder))
      wrong += budget + " on_order moved unlike its ledger; ";
    if (Sub(w.spent, s.spent) != Sub(w.ledgerSpent, s.ledgerSpent))
      wrong += budget + " spent moved unlike its ledger; ";
  }
  return wrong;
}

}  // namespace apptest
