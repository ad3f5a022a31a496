// Workstations (real processes) running money activities at once on a demo
// library started by the activity fixture: each on a line of its own of
// PO 1, all of them on its header, the budgets ADULT.2026 and REF.2026 and
// the contract STAND26. Shared by the multi-workstation tests of both
// engines; the activities themselves are in support/WorkstationSaves.h.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "DbActFixture.h"
#include "acq/db/AcqDbGlobal.h"
#include "support/Processes.h"
#include "support/WorkstationSaves.h"

namespace moneyws {

// What the workstations of one run met, summed over them.
struct Outcome {
  int failed = 0;                   // workstations that did not finish every activity
  uint64_t retries = 0;             // transactions run again after a write conflict
  uint64_t lockWaits = 0;           // statements that waited for another's lock
  std::vector<std::string> shown;   // everything any workstation was shown
};

// The lines for `workstations` workstations, each with the items its
// cancels take, made through the module by the parent.
inline std::vector<int16_t> MakeLines(int workstations, const testproc::MoneyPlan& plan) {
  std::vector<int16_t> lines;
  for (int w = 0; w < workstations; ++w) {
    const int16_t line = testproc::MakeMoneyLine(plan.cancels);
    EXPECT_NE(line, 0) << acqtest::ShownErrors().size() << " errors shown";
    lines.push_back(line);
  }
  return lines;
}

namespace detail {

// A workstation: a session of its own (the parent's connection is left
// alone), every activity of `plan` on `line`; what it met goes to `report`:
// its retries and lock waits on the first line, then each text it was shown
// (database errors and message boxes alike).
// Exit status 0 when every activity committed.
inline int Workstation(int16_t line, const testproc::MoneyPlan& plan, const testproc::Gate& gate,
                       const std::string& report) {
  DbMsg msg;
  HDb own = nullptr;
  if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) {
    std::ofstream(report) << "0 0\ncannot log in again: " << msg.text << "\n";
    return 10;
  }
  acq::AcqDbGlobal::Globals().session = own;
  acqtest::ShownErrors().clear();
  acttest::RecordingPerson person;   // a prompt is declined: the activity then fails
  const DbConflictStats before = _DbGetConflictStats();   // the parent's count came along
  gate.Wait();
  int status = 0;
  for (int n = 0; n < plan.Activities() && status == 0; ++n)
    if (!testproc::RunMoneyActivity(plan, n, line)) status = 11;
  const DbConflictStats after = _DbGetConflictStats();
  _DbLogout(&own);
  std::ofstream out(report);
  out << after.retries - before.retries << " " << after.lockWaits - before.lockWaits << "\n";
  std::vector<std::string> shown = acqtest::ShownErrors();
  shown.insert(shown.end(), person.shown.begin(), person.shown.end());
  for (std::string text : shown) {
    for (char& c : text)
      if (c == '\n') c = ' ';
    out << text << "\n";
  }
  return status != 0 ? status : shown.empty() ? 0 : 12;
}

}  // namespace detail

// Runs one workstation process per line, all started at once, and waits
// for them (a hang past `seconds` counts as a failure).
inline Outcome RunWorkstations(const std::vector<int16_t>& lines, const testproc::MoneyPlan& plan,
                               const std::string& dir, int seconds = 600) {
  testproc::Gate gate;
  std::vector<pid_t> children;
  std::vector<std::string> reports;
  for (size_t w = 0; w < lines.size(); ++w) {
    reports.push_back(dir + "/workstation" + std::to_string(w + 1));
    const int16_t line = lines[w];
    const std::string& report = reports.back();
    children.push_back(
        testproc::Spawn([&, line] { return detail::Workstation(line, plan, gate, report); }));
  }
  gate.Open(static_cast<int>(children.size()));
  Outcome outcome;
  for (size_t w = 0; w < children.size(); ++w) {
    const int status = testproc::WaitFor(children[w], seconds);
    if (status != 0) {
      ++outcome.failed;
      ADD_FAILURE() << "workstation " << w + 1 << " (line " << lines[w] << ") ended with "
                    << status;
    }
    std::ifstream in(reports[w]);
    uint64_t retries = 0, waits = 0;
    in >> retries >> waits;
    outcome.retries += retries;
    outcome.lockWaits += waits;
    std::string text;
    std::getline(in, text);
    while (std::getline(in, text)) outcome.shown.push_back(text);
  }
  return outcome;
}

// The contract's on_order and spent, as stored.
inline std::vector<std::string> ContractMoney(acttest::ActModule& m) {
  const acttest::Rows rows = m.Query(
      "select on_order, spent from vendor_contract where \"vendor#\"=1 and "
      "vendor_contract='STAND26'");
  EXPECT_EQ(rows.size(), 1u);
  return rows.size() == 1 && rows[0].size() == 2 ? rows[0] : std::vector<std::string>{"", ""};
}

// Cents as money.
inline Dec64 Cents(int64_t cents) { return Dec64::FromRaw(cents * (Dec64::kOne / 100)); }

// Each budget's totals moved as its money rows and its ledger did, the two
// shared budgets and the contract by what the activities imply, and every
// activity left its history.
inline void ExpectMoneyLanded(acttest::ActModule& m, const acttest::MoneyPicture& before,
                              const std::vector<std::string>& contractBefore,
                              const testproc::MoneyPlan& plan, int workstations) {
  using acttest::Sub;
  const testproc::MoneyMoves moves = testproc::MoneyMoves::Of(plan, workstations);
  const auto after = m.Money();
  acttest::ExpectMoneyAgrees(before, after, true);
  for (const char* budget : {"ADULT.2026", "REF.2026"})
    if (!before.count(budget) || !after.count(budget)) {
      ADD_FAILURE() << "no budget " << budget;
      return;
    }
  EXPECT_EQ(Sub(after.at("ADULT.2026").onOrder, before.at("ADULT.2026").onOrder),
            Cents(moves.adultOnOrder));
  EXPECT_EQ(Sub(after.at("ADULT.2026").spent, before.at("ADULT.2026").spent),
            Cents(moves.adultSpent));
  EXPECT_EQ(Sub(after.at("REF.2026").onOrder, before.at("REF.2026").onOrder),
            Cents(moves.refOnOrder));
  EXPECT_EQ(Sub(after.at("REF.2026").spent, before.at("REF.2026").spent), Cents(moves.refSpent));
  const auto contract = ContractMoney(m);
  EXPECT_EQ(Sub(acttest::Raw(contract[0]), acttest::Raw(contractBefore[0])),
            Cents(moves.adultOnOrder + moves.refOnOrder));
  EXPECT_EQ(Sub(acttest::Raw(contract[1]), acttest::Raw(contractBefore[1])),
            Cents(moves.adultSpent + moves.refSpent));
  const int64_t rounds = int64_t{workstations} * plan.rounds;
  const int64_t cancels = int64_t{workstations} * plan.cancels;
  EXPECT_EQ(m.Count("select count(*) from po_line_item_history where \"po#\"=1 and line>=4 and "
                    "po_activity_type<>'approve'"),
            rounds * 4 + cancels);
  EXPECT_EQ(m.Count("select count(*) from statement_line where \"statement#\"=20"), rounds);
}

}  // namespace moneyws
