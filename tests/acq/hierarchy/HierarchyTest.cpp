// Budget hierarchies: the editing rules of the Forest, the report's totals,
// and saving on the demo library (whole or not at all, also with two
// workstations saving at once).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../DbActFixture.h"
#include "acq/budget/AcqBHRpt.h"
#include "acq/budget/AcqDbBH.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/print/MucPrint.h"
#include "support/Processes.h"

namespace {

namespace bh = acq::AcqDbBH;
using acttest::ActModule;
using acttest::Money;

// Two hierarchies: "Main" (Print: ADULT.2026, REF.2026; Non-print: AV.2026)
// and "Other" (Mixed: ADULT.2026). Item ids follow the row order.
bh::Forest Sample() {
  return bh::Forest::FromRows({
      {1, 0, 0, "Main", "", 1},
      {2, 1, 1, "Print", "", 1},
      {3, 2, 2, "", "ADULT.2026", 1},
      {4, 2, 2, "", "REF.2026", 2},
      {5, 1, 1, "Non-print", "", 2},
      {6, 5, 2, "", "AV.2026", 1},
      {7, 0, 0, "Other", "", 2},
      {8, 7, 1, "Mixed", "", 1},
      {9, 8, 2, "", "ADULT.2026", 1},
  });
}

// The id of the item labelled `label` (budgets: by their budget).
int IdOf(const bh::Forest& f, const std::string& label, int from = 0) {
  for (int id : f.Subtree(from))
    if (f.Find(id)->label == label) return id;
  return -1;
}

std::vector<std::string> Labels(const bh::Forest& f, int parent) {
  std::vector<std::string> out;
  for (int id : f.Children(parent)) out.push_back(f.Find(id)->label);
  return out;
}

TEST(BudgetHierarchy, EditsAreRefusedByTheRulesAndLeaveTheTreeAlone) {
  enum Op { Group, Budgets, Rename, Move, Copy };
  struct Case {
    const char* name;
    Op op;
    const char* item;     // the selected or dragged item ("" = top)
    const char* target;   // drop target ("" = top) or new label
    std::vector<std::string> budgets;
    bh::Refusal expected;
  };
  const std::vector<Case> cases = {
      {"group under a budget", Group, "REF.2026", "", {}, bh::kChildOfBudget},
      {"budget at the top", Budgets, "", "", {"OPS.2026"}, bh::kBudgetAtTop},
      {"budget under a budget", Budgets, "AV.2026", "", {"OPS.2026"}, bh::kChildOfBudget},
      {"only budgets already there", Budgets, "Non-print", "", {"REF.2026", "ADULT.2026"},
       bh::kNoBudgets},
      {"relabel a budget", Rename, "AV.2026", "Films", {}, bh::kBudgetLabel},
      {"drop onto itself", Move, "Print", "Print", {}, bh::kIntoOwnSubtree},
      {"drop onto a descendant", Move, "Main", "Non-print", {}, bh::kIntoOwnSubtree},
      {"drop onto a budget", Move, "Non-print", "ADULT.2026", {}, bh::kChildOfBudget},
      {"copy within its hierarchy", Copy, "Print", "Non-print", {}, bh::kDuplicateBudget},
      {"move a duplicate across", Move, "Print", "Mixed", {}, bh::kDuplicateBudget},
      {"copy a budget to the top", Copy, "AV.2026", "", {}, bh::kBudgetAtTop},
      {"copy a hierarchy into another that has one of its budgets", Copy, "Other", "Print",
       {}, bh::kDuplicateBudget},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bh::Forest f = Sample();
    const int item = *c.item ? IdOf(f, c.item) : 0;
    const int target = *c.target ? IdOf(f, c.target) : 0;
    int made = 0;
    bh::Refusal got = bh::kDone;
    switch (c.op) {
      case Group: got = f.AddGroup(item, made); break;
      case Budgets: got = f.AddBudgets(item, c.budgets, nullptr); break;
      case Rename: got = f.Rename(item, c.target); break;
      case Move: got = f.Drop(item, target, false, made); break;
      case Copy: got = f.Drop(item, target, true, made); break;
    }
    EXPECT_EQ(got, c.expected);
    EXPECT_FALSE(f.Changed());
    EXPECT_EQ(f.Count(), 9);
    EXPECT_EQ(f.BudgetsUnder(IdOf(f, "Main")),
              (std::vector<std::string>{"ADULT.2026", "REF.2026", "AV.2026"}));
  }
}

TEST(BudgetHierarchy, AllowedEditsReshapeTheTree) {
  bh::Forest f = Sample();
  // Moving within one hierarchy takes its budgets along (no duplicate).
  int moved = 0;
  ASSERT_EQ(f.Drop(IdOf(f, "Print"), IdOf(f, "Non-print"), false, moved), bh::kDone);
  EXPECT_EQ(f.Find(moved)->parent, IdOf(f, "Non-print"));
  EXPECT_EQ(f.Find(moved)->kind, bh::Kind::Group);
  // A group dragged to the top becomes a hierarchy; copying it adds a new
  // hierarchy with the same budgets (allowed: another hierarchy).
  int copy = 0;
  ASSERT_EQ(f.Drop(moved, 0, true, copy), bh::kDone);
  EXPECT_EQ(f.Find(copy)->kind, bh::Kind::Hierarchy);
  EXPECT_EQ(f.BudgetsUnder(copy), (std::vector<std::string>{"ADULT.2026", "REF.2026"}));
  EXPECT_EQ(Labels(f, 0), (std::vector<std::string>{"Main", "Other", "Print"}));
  // Renaming groups works; removing takes the children along.
  EXPECT_EQ(f.Rename(IdOf(f, "Mixed"), "Shared"), bh::kDone);
  EXPECT_EQ(f.Remove(IdOf(f, "Non-print")), bh::kDone);
  EXPECT_EQ(f.BudgetsUnder(IdOf(f, "Main")), std::vector<std::string>{});
  EXPECT_EQ(f.Remove(999), bh::kNotRemoved);
  EXPECT_TRUE(f.Shift(IdOf(f, "Print"), -1));
  EXPECT_FALSE(f.Shift(IdOf(f, "Main"), -1));
  EXPECT_EQ(Labels(f, 0), (std::vector<std::string>{"Main", "Print", "Other"}));
  EXPECT_TRUE(f.Changed());
}

TEST(BudgetHierarchy, NewItemsAreNumberedAndBudgetsSortedByAccountThenYear) {
  bh::Forest f = bh::Forest::FromRows({{1, 0, 0, "New Hierarchy 1", "", 1},
                                       {2, 1, 1, "New Group 2", "", 1},
                                       {3, 2, 2, "", "REF.2026", 1}});
  int h = 0, g1 = 0, g2 = 0;
  ASSERT_EQ(f.AddHierarchy(h), bh::kDone);
  ASSERT_EQ(f.AddGroup(h, g1), bh::kDone);
  ASSERT_EQ(f.AddGroup(h, g2), bh::kDone);
  EXPECT_EQ(f.Find(h)->label, "New Hierarchy 2");
  EXPECT_EQ(f.Find(g1)->label, "New Group 1");
  EXPECT_EQ(f.Find(g2)->label, "New Group 3");

  std::vector<int> added;
  ASSERT_EQ(f.AddBudgets(2, {"REF.2027", "ADULT.2026", "REF.2026", "ADULT.", "ADULT.2025",
                             "ADULT.2026", "AV.999"},
                         &added),
            bh::kDone);
  std::vector<std::string> got;
  for (int id : added) got.push_back(f.Find(id)->label);
  EXPECT_EQ(got, (std::vector<std::string>{"ADULT.", "ADULT.2025", "ADULT.2026", "AV.999",
                                           "REF.2027"}));
  // Another hierarchy may hold them again.
  EXPECT_EQ(f.AddBudgets(g1, {"REF.2026"}, nullptr), bh::kDone);
  EXPECT_EQ(f.AddBudgets(g2, {"REF.2026"}, nullptr), bh::kNoBudgets);
}

TEST(BudgetHierarchy, TotalsAreExactAndCountEachBudgetOnce) {
  bh::Values a{Money("1000.00"), Money("250.00"), Money("500.00"), Money("250.00"),
               Money("500.00")};
  bh::Values b{Money("333.33"), Money("0.01"), Money("111.11"), Money("222.21"),
               Money("222.22")};
  acq::AcqReportTotals::Totals t;
  ASSERT_TRUE(bh::TotalOnce({"A.1", "A.1"}, {{"A.1", a}}, t));
  EXPECT_EQ(t.amount, Money("1000"));
  EXPECT_EQ(t.percent_on_order, Money("25"));
  EXPECT_EQ(t.percent_spent, Money("50"));
  EXPECT_EQ(t.percent_available, Money("25"));
  EXPECT_EQ(t.percent_unspent, Money("50"));

  // ADULT.2026 sits in both hierarchies: the grand total has it once, each
  // hierarchy's subtotal has it too.
  bh::Report r;
  ASSERT_TRUE(bh::BuildReport(Sample(), {{"ADULT.2026", a}, {"REF.2026", b}, {"AV.2026", b}}, r));
  EXPECT_EQ(r.budgets, 3);
  EXPECT_EQ(r.totals.amount, Money("1666.66"));
  EXPECT_EQ(r.totals.spent, Money("722.22"));
  ASSERT_EQ(r.lines.size(), 9u);
  EXPECT_EQ(r.lines[0].values.amount, Money("1666.66"));   // Main
  EXPECT_EQ(r.lines[6].values.amount, Money("1000.00"));   // Other
  EXPECT_EQ(r.lines[2].depth, 2);
  // A budget the user may not see is neither listed nor totalled.
  ASSERT_TRUE(bh::BuildReport(Sample(), {{"REF.2026", b}}, r));
  EXPECT_EQ(r.lines.size(), 6u);
  EXPECT_EQ(r.totals.amount, Money("333.33"));
}

// ---- on the demo library ---------------------------------------------------------------------

std::vector<std::string> StoredTree(ActModule& m) {
  std::vector<std::string> out;
  for (const auto& r : m.Query("select h.item_kind, h.label, coalesce(h.budget, ''), "
                               "coalesce(p.label, ''), h.position from budget_hierarchy h "
                               "left join budget_hierarchy p on p.item_key = h.parent_item_key "
                               "order by p.label, h.position"))
    out.push_back(r[0] + "|" + r[1] + "|" + r[2] + "|" + r[3] + "|" + r[4]);
  return out;
}

TEST(BudgetHierarchyDb, SavesTheWholeTreeInSiblingOrderAndReloadsIt) {
  ActModule m;
  bh::Forest f;
  ASSERT_TRUE(bh::Load(f));
  ASSERT_EQ(f.Count(), 8);
  const int print = IdOf(f, "Print");
  EXPECT_EQ(f.BudgetsUnder(print),
            (std::vector<std::string>{"ADULT.2026", "REF.2026", "CHILD.2026"}));
  ASSERT_TRUE(f.Shift(IdOf(f, "CHILD.2026"), -1));
  int h = 0;
  ASSERT_EQ(f.AddHierarchy(h), bh::kDone);
  ASSERT_EQ(f.AddBudgets(0, {"OPS.2026"}, nullptr), bh::kBudgetAtTop);
  int g = 0;
  ASSERT_EQ(f.AddGroup(h, g), bh::kDone);
  ASSERT_EQ(f.AddBudgets(g, {"OPS.2026", "ADULT.2026"}, nullptr), bh::kDone);
  ASSERT_TRUE(bh::Save(f));
  EXPECT_FALSE(f.Changed());
  EXPECT_TRUE(acqtest::ShownErrors().empty());

  bh::Forest again;
  ASSERT_TRUE(bh::Load(again));
  EXPECT_EQ(again.Count(), 12);
  EXPECT_EQ(again.BudgetsUnder(IdOf(again, "Print")),
            (std::vector<std::string>{"ADULT.2026", "CHILD.2026", "REF.2026"}));
  EXPECT_EQ(again.BudgetsUnder(IdOf(again, "New Hierarchy 1")),
            (std::vector<std::string>{"ADULT.2026", "OPS.2026"}));
  // Every parent is stored and is no budget.
  EXPECT_EQ(m.Count("select count(*) from budget_hierarchy h where parent_item_key is not null "
                    "and not exists (select 1 from budget_hierarchy p "
                    "where p.item_key = h.parent_item_key and p.item_kind <> 2)"),
            0);
}

TEST(BudgetHierarchyDb, FailedSaveLeavesTheStoredTreesAsTheyWere) {
  // Two groups of one label fail the second insert, after the delete ran.
  ActModule m("CREATE UNIQUE INDEX budget_hierarchy_one_label ON budget_hierarchy(label)");
  const auto before = StoredTree(m);
  bh::Forest f;
  ASSERT_TRUE(bh::Load(f));
  ASSERT_EQ(f.Rename(IdOf(f, "Non-print"), "Print"), bh::kDone);
  acqtest::ShownErrors().clear();
  EXPECT_FALSE(bh::Save(f));
  EXPECT_EQ(acqtest::ShownErrors().size(), 1u);
  EXPECT_TRUE(f.Changed());
  EXPECT_EQ(StoredTree(m), before);
  EXPECT_EQ(m.Count("select count(*) from budget_hierarchy"), 8);
}

TEST(BudgetHierarchyDb, TwoWorkstationsSavingAtOnceLeaveOneWholeSave) {
  ActModule m;
  // Each workstation stores a different shape many times; the last save
  // wins whole, never a mix of both.
  constexpr int kSaves = 8;
  testproc::Gate gate;
  std::vector<pid_t> children;
  for (int w = 0; w < 2; ++w) {
    children.push_back(testproc::Spawn([&, w] {
      DbMsg msg;
      HDb own = nullptr;
      if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
      acq::AcqDbGlobal::Globals().session = own;
      gate.Wait();
      for (int n = 0; n < kSaves; ++n) {
        bh::Forest f;
        int h = 0, g = 0;
        (void)f.AddHierarchy(h);
        (void)f.Rename(h, "Station " + std::to_string(w));
        (void)f.AddGroup(h, g);
        const std::vector<std::string> budgets =
            w == 0 ? std::vector<std::string>{"ADULT.2026", "REF.2026"}
                   : std::vector<std::string>{"AV.2026", "CHILD.2026", "OPS.2026"};
        (void)f.AddBudgets(g, budgets, nullptr);
        if (!bh::Save(f)) return 11;
      }
      _DbLogout(&own);
      return 0;
    }));
  }
  gate.Open(2);
  for (pid_t child : children) EXPECT_EQ(testproc::WaitFor(child, 300), 0);
  const auto count = m.Count("select count(*) from budget_hierarchy");
  const auto tops = m.Query("select label from budget_hierarchy where parent_item_key is null");
  ASSERT_EQ(tops.size(), 1u);
  EXPECT_EQ(count, tops[0][0] == "Station 0" ? 4 : 5) << tops[0][0];
}

TEST(BudgetHierarchyDb, StoredReportAgreesWithTheBudgets) {
  ActModule m;
  bh::Report r;
  ASSERT_TRUE(bh::LoadReport(r));
  EXPECT_EQ(r.lines.size(), 8u);
  const auto sums = m.Query(
      "select sum(amount), sum(on_order), sum(spent) from account_year where account in "
      "('ADULT', 'REF', 'CHILD', 'AV', 'SERIAL') and year = 2026");
  ASSERT_EQ(sums.size(), 1u);
  EXPECT_EQ(r.totals.amount, acttest::Raw(sums[0][0]));
  EXPECT_EQ(r.totals.on_order, acttest::Raw(sums[0][1]));
  EXPECT_EQ(r.totals.spent, acttest::Raw(sums[0][2]));
  EXPECT_EQ(r.totals.available.raw, r.totals.amount.raw - r.totals.on_order.raw -
                                        r.totals.spent.raw);
  EXPECT_EQ(r.lines[0].values.amount, r.totals.amount);
  EXPECT_EQ(r.budgets, 5);
}

// 10,000 budgets (1000.01 .. 1100.00 allocated, 250.00 on order, 500.00
// spent each) in two hierarchies: 100 groups of 100, and the first 500 again
// under one group.
std::vector<std::string> LargeLibrary() {
  const std::string n =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) ";
  const std::string account = "'B' || CAST(100000 + i AS VARCHAR(6))";
  return {
      "INSERT INTO account(account, descr) " + n + "SELECT " + account + ", 'Bench' FROM n",
      "INSERT INTO account_year(account, year, amount, on_order, spent) " + n + "SELECT " +
          account + ", 2026, 1000000000 + i * 10000, 250000000, 500000000 FROM n",
      "INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, position) "
      "VALUES (100000, NULL, 0, 'By group', 1), (100001, NULL, 0, 'All', 2), "
      "(100002, 100001, 1, 'Every budget', 1)",
      "INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, position) " +
          n + "SELECT 100100 + i, 100000, 1, 'Group ' || CAST(i AS VARCHAR(6)), i FROM n "
              "WHERE i <= 100",
      "INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, budget, "
      "position) " + n + "SELECT 200000 + i, 100100 + (i - 1) / 100 + 1, 2, " + account +
          " || '.2026', " + account + " || '.2026', i FROM n",
      "INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, budget, "
      "position) " + n + "SELECT 300000 + i, 100002, 2, " + account + " || '.2026', " +
          account + " || '.2026', i FROM n WHERE i <= 500",
  };
}

int PdfPages(const std::string& path) {
  std::FILE* out = ::popen(("pdfinfo '" + path + "' 2>/dev/null").c_str(), "r");
  if (out == nullptr) return -1;
  char line[256];
  int pages = -1;
  while (std::fgets(line, sizeof line, out) != nullptr)
    if (std::sscanf(line, "Pages: %d", &pages) == 1) break;
  ::pclose(out);
  return pages;
}

TEST(BudgetHierarchyDb, ReportOverTenThousandBudgetsTotalsOnceAndPrints) {
  ActModule m;
  for (const auto& sql : LargeLibrary()) m.db.Exec(sql);
  bh::Report r;
  ASSERT_TRUE(bh::LoadReport(r));
  EXPECT_EQ(r.budgets, 10005);   // and the demo's five
  // Sum of 1000.00 + i x 0.01 for i = 1..10000: 10,000,000.00 + 500,050.00.
  const auto demo = m.Query("select sum(amount) from account_year where year = 2026 and account "
                            "in ('ADULT', 'REF', 'CHILD', 'AV', 'SERIAL')");
  ASSERT_EQ(demo.size(), 1u);
  EXPECT_EQ(r.totals.amount.raw - acttest::Raw(demo[0][0]).raw, Money("10500050.00").raw);

  std::string output, why;
  ASSERT_TRUE(acq::AcqBHRpt::PrintTo(kMucPrintPdfFile, r, output, why)) << why;
  ASSERT_TRUE(std::filesystem::exists(output)) << output;
  EXPECT_GT(std::filesystem::file_size(output), 100000u);
  // About 10,600 lines at some 40 to 80 a page.
  if (const int pages = PdfPages(output); pages > 0) {
    EXPECT_GT(pages, 10600 / 90);
    EXPECT_LT(pages, 10600 / 30);
  }
  std::filesystem::remove(output);
}

}  // namespace
