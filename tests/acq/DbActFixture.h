// Shared by the activity tests: the PO and budget units started on a demo
// database, reads on a connection of the test's own, and each budget's
// money as three witnesses see it (its totals, its money rows, the ledger),
// so a test can check that an action moved all three alike.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ModuleFixture.h"
#include "acq/budget/AcqBudget.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqDbPrereq.h"
#include "acq/po/AcqDbAct.h"
#include "acq/po/AcqDbStat.h"
#include "host/muc/UiDriver.h"
#include "support/TestLibrary.h"

namespace acttest {

namespace act = acq::AcqDbAct;
using Rows = std::vector<std::vector<std::string>>;

inline Dec64 Money(const char* text) { return LbDec64_StrTo64(text).value_or(Dec64{}); }
inline Dec64 Raw(const std::string& text) { return Dec64::FromRaw(text.empty() ? 0 : std::stoll(text)); }
inline Dec64 Add(Dec64 a, Dec64 b) { return Dec64::FromRaw(a.raw + b.raw); }
inline Dec64 Sub(Dec64 a, Dec64 b) { return Dec64::FromRaw(a.raw - b.raw); }

// Every row of `sql`, each cell as text ("" for NULL).
inline Rows QueryRows(const std::string& path, const std::string& sql) {
  Rows rows;
  std::string error;
  EXPECT_TRUE(testlib::detail::Table(path, sql, "", rows, error)) << error << " in " << sql;
  return rows;
}

struct BudgetMoney {
  Dec64 onOrder, spent;               // the budget's totals
  Dec64 unspentRows, spentRows;       // its money rows, amount x rate each
  Dec64 ledgerOnOrder, ledgerSpent;   // its ledger, by amount type
};
using MoneyPicture = std::map<std::string, BudgetMoney>;

inline MoneyPicture TakeMoneyPicture(const std::string& path) {
  MoneyPicture p;
  for (const auto& r : QueryRows(path, "select budget, on_order, spent from budget"))
    p[r[0]].onOrder = Raw(r[1]), p[r[0]].spent = Raw(r[2]);
  for (const auto& r : QueryRows(path, "select budget, amount, exchange_rate, spent from "
                                       "po_line_item_budget_amount")) {
    Dec64 base;
    EXPECT_EQ(LbDec64_Mul64(Raw(r[1]), Raw(r[2]), base), DecStatus::Ok);
    Dec64& sum = r[3] == "1" ? p[r[0]].spentRows : p[r[0]].unspentRows;
    sum = Add(sum, base);
  }
  for (const auto& r : QueryRows(path, "select budget, amount_type, sum(trans_amount) from "
                                       "budget_transaction_detail group by budget, amount_type"))
    (r[1] == "1" ? p[r[0]].ledgerOnOrder : p[r[0]].ledgerSpent) = Raw(r[2]);
  return p;
}

// Each budget's totals moved exactly as its money rows and (`ledger`) its
// ledger did.
inline void ExpectMoneyAgrees(const MoneyPicture& before, const MoneyPicture& after, bool ledger) {
  for (const auto& [budget, a] : after) {
    const BudgetMoney b = before.count(budget) ? before.at(budget) : BudgetMoney{};
    const Dec64 onOrder = Sub(a.onOrder, b.onOrder), spent = Sub(a.spent, b.spent);
    EXPECT_EQ(onOrder, Sub(a.unspentRows, b.unspentRows)) << budget;
    EXPECT_EQ(spent, Sub(a.spentRows, b.spentRows)) << budget;
    if (!ledger) continue;
    EXPECT_EQ(onOrder, Sub(a.ledgerOnOrder, b.ledgerOnOrder)) << budget << " ledger";
    EXPECT_EQ(spent, Sub(a.ledgerSpent, b.ledgerSpent)) << budget << " ledger";
  }
}

// Keeps "Caption|Text" of every box; answers `yes` to Yes/No, else OK.
class RecordingPerson : public UiDriver {
 public:
  explicit RecordingPerson(bool answerYes = false) : yes_(answerYes) { Ui_SetDriver(this); }
  ~RecordingPerson() override { Ui_SetDriver(nullptr); }
  MsgAnswer MessageBox(std::string_view caption, std::string_view text, MsgButtons buttons,
                       MsgIcon) override {
    shown.push_back(std::string(caption) + "|" + std::string(text));
    if (onShow) onShow();
    if (buttons != MsgButtons::YesNo) return MsgAnswer::Ok;
    return yes_ ? MsgAnswer::Yes : MsgAnswer::No;
  }
  std::optional<Credentials> AskCredentials(std::string_view) override { return std::nullopt; }
  std::optional<std::string> AskText(std::string_view, std::string_view, bool) override {
    return std::nullopt;
  }
  void Notice(std::string_view, std::string_view) override {}
  std::optional<std::string> NextAction() override { return std::nullopt; }
  bool Failed(std::string*) const override { return false; }
  std::vector<std::string> shown;
  std::function<void()> onShow;   // runs as each box shows (no transaction is open then)

 private:
  bool yes_;
};

// A demo library with the units of an activity, logged in as admin after
// `sql` changed the database.
class ActModule {
 public:
  explicit ActModule(const std::string& sql = "") {
    if (!sql.empty()) db.Exec(sql);
    db.StartUnits();
    acq::AcqFundCtrl::Initialize();
    acq::AcqBudget::Initialize();
    acq::AcqDbBudget::Initialize();
    acq::AcqDbStat::Initialize();
    act::Initialize();
    EXPECT_EQ(db.Login(), kDbOk);
    EXPECT_TRUE(acq::AcqDbPrereq::LoadPrerequisites(acq::AcqDbPrereq::kFeatureMismatchMsg));
  }
  ~ActModule() {
    act::Terminate();
    acq::AcqDbStat::Terminate();
    acq::AcqDbBudget::Terminate();
    acq::AcqBudget::Terminate();
    acq::AcqFundCtrl::Terminate();
    acq::AcqFundCtrl::DestroyRestrictionBkt();
    _BktDestroy(&acq::AcqDbGlobal::Globals().marcUsageBkt);
  }
  Rows Query(const std::string& sql) { return QueryRows(db.Path(), sql); }
  int64_t Count(const std::string& sql) {
    const Rows r = Query(sql);
    return r.empty() || r[0][0].empty() ? 0 : std::stoll(r[0][0]);
  }
  MoneyPicture Money() { return TakeMoneyPicture(db.Path()); }
  static std::string Today() { return std::to_string(DbDabs_GetDate()); }
  // The activity's pending items of PO `po` line `line`, only `items` (item
  // numbers) when given; the caller holds the Bucket.
  static BktHandle Pending(act::Activity activity, int32_t po, int16_t line,
                           std::vector<int> items = {}, int32_t statement = 0) {
    BktHandle bkt = nullptr;
    EXPECT_TRUE(act::LoadPendingItems(activity, po, line, statement, bkt));
    for (int row = _BktCountAll(bkt); row >= 1 && !items.empty(); --row)
      if (std::find(items.begin(), items.end(),
                    _ColGetInt(bkt, row, _BktGetColNum(bkt, "item"))) == items.end())
        _BktDelete(bkt, row);
    return bkt;
  }

  acqtest::ModuleDb db;
};

}  // namespace acttest
