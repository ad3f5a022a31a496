// Shared by the fund-control and budget-money tests: the budget units
// started on a demo library, a person answering Yes/No boxes from a list,
// Buckets written as tables, and reads on a connection of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "ModuleFixture.h"
#include "acq/budget/AcqBudget.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqDbPrereq.h"
#include "host/muc/UiDriver.h"
#include "support/TestLibrary.h"

namespace budgettest {

inline Dec64 Money(const std::string& text) {
  std::optional<Dec64> value = LbDec64_StrTo64(text);
  EXPECT_TRUE(value.has_value()) << text;
  return value.value_or(Dec64{});
}

// Columns "name:k" (k: t text, s 16-bit, i 32-bit, d Dec64, b flag) and
// rows of cells as text; "" is NULL.
inline BktHandle Rows(const std::vector<std::string>& columns,
                      const std::vector<std::vector<std::string>>& rows) {
  BktHandle bkt = nullptr;
  _BktCreate(bkt, static_cast<int>(columns.size()), 4, 4);
  std::string kinds;
  for (size_t c = 0; c < columns.size(); ++c) {
    const char kind = columns[c].back();
    kinds += kind;
    const int type = kind == 't' ? kColText : kind == 's' ? kColInt16 : kind == 'i' ? kColInt32
                     : kind == 'd' ? kColDec64 : kColByte;
    _BktSetColInfo(bkt, static_cast<int>(c + 1), columns[c].substr(0, columns[c].size() - 2), 0,
                   type, 0);
  }
  for (const auto& cells : rows) {
    int row = 0;
    _BktInsert(bkt, 0, row);
    for (size_t c = 0; c < cells.size(); ++c) {
      const int col = static_cast<int>(c + 1);
      if (cells[c].empty()) continue;
      if (kinds[c] == 't') _ColSetTextW(bkt, row, col, cells[c]);
      else if (kinds[c] == 'd') _ColSetDec64(bkt, row, col, Money(cells[c]));
      else _ColSetInt(bkt, row, col, std::stoi(cells[c]));
    }
  }
  return bkt;
}

// Answers Yes/No boxes from `answers` in order (No once they run out) and
// every other box OK; never gives credentials, so a privilege the user
// lacks is refused. `shown` holds "Caption|Text" of every box.
class AnsweringPerson : public UiDriver {
 public:
  AnsweringPerson(std::deque<bool> answers = {}) : answers(std::move(answers)) {
    Ui_SetDriver(this);
  }
  ~AnsweringPerson() override { Ui_SetDriver(nullptr); }
  MsgAnswer MessageBox(std::string_view caption, std::string_view text, MsgButtons buttons,
                       MsgIcon) override {
    shown.push_back(std::string(caption) + "|" + std::string(text));
    if (buttons != MsgButtons::YesNo) return MsgAnswer::Ok;
    const bool yes = !answers.empty() && answers.front();
    if (!answers.empty()) answers.pop_front();
    return yes ? MsgAnswer::Yes : MsgAnswer::No;
  }
  std::optional<Credentials> AskCredentials(std::string_view) override { return std::nullopt; }
  std::optional<std::string> AskText(std::string_view, std::string_view, bool) override {
    return std::nullopt;
  }
  void Notice(std::string_view, std::string_view) override {}
  std::optional<std::string> NextAction() override { return std::nullopt; }
  bool Failed(std::string*) const override { return false; }

  std::deque<bool> answers;
  std::vector<std::string> shown;
};

// A demo library (ledger and limit checks on) changed by `sql`, with the
// budget units started and `user` logged in.
class BudgetModule {
 public:
  explicit BudgetModule(const std::string& sql = "", const std::string& user = "admin") {
    if (!sql.empty()) db.Exec(sql);
    db.StartUnits();
    acq::AcqFundCtrl::Initialize();
    acq::AcqBudget::Initialize();
    acq::AcqDbBudget::Initialize();
    EXPECT_EQ(db.Login(user, user), kDbOk);
    EXPECT_TRUE(acq::AcqDbPrereq::LoadPrerequisites(acq::AcqDbPrereq::kFeatureMismatchMsg));
  }
  ~BudgetModule() {
    acq::AcqDbBudget::Terminate();
    acq::AcqBudget::Terminate();
    acq::AcqFundCtrl::Terminate();
    _BktDestroy(&acq::AcqDbGlobal::Globals().marcUsageBkt);
  }

  // The first column of the first row of `sql` as text ("" for none or NULL).
  std::string Query(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    std::string error;
    EXPECT_TRUE(testlib::detail::Table(db.Path(), sql, "", rows, error)) << error << " in " << sql;
    return rows.empty() || rows[0].empty() ? "" : rows[0][0];
  }
  // A money column (stored in millionths).
  Dec64 QueryMoney(const std::string& sql) {
    const std::string text = Query(sql);
    return Dec64::FromRaw(text.empty() ? 0 : std::stoll(text));
  }
  Dec64 Total(const std::string& column, const std::string& budget) {
    return QueryMoney("select " + column + " from budget where budget='" + budget + "'");
  }

  acqtest::ModuleDb db;
};

}  // namespace budgettest
