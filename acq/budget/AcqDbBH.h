// AcqDbBH: the budget hierarchies as trees in memory, their editing rules,
// and their load and save. The window only shows a Forest and asks it to
// change; every rule on items holds here, whatever asks.
//
// Item kinds: a hierarchy is a top item, a group sits under a hierarchy or a
// group, a budget is a leaf naming one budget ("ACCOUNT.YEAR"; "ACCOUNT."
// for no year) and appears at most once in one hierarchy.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "acq/print/AcqReportTotals.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbBH {

enum class Kind : int { Hierarchy = 0, Group = 1, Budget = 2 };

// Why a change was refused: the message id shown for it (0: done).
enum Refusal : int {
  kDone = 0,
  kChildOfBudget = 396,
  kBudgetLabel = 397,
  kNotRemoved = 398,
  kNoBudgets = 399,
  kDuplicateBudget = 402,
  kBudgetAtTop = 412,
  kIntoOwnSubtree = 415,
};

struct Item {
  int id = 0;            // this Forest's handle; stable while the Forest lives
  int parent = 0;        // 0 for a top item
  Kind kind = Kind::Group;
  std::string label;
  std::string budget;    // budget items only
  std::vector<int> children;   // in sibling order
};

class Forest {
 public:
  // Top items in order (children of 0).
  const std::vector<int>& Tops() const { return tops_; }
  const std::vector<int>& Children(int id) const;
  const Item* Find(int id) const;
  int Count() const { return static_cast<int>(items_.size()); }
  // The top item above `id` (itself for a top item), 0 when unknown.
  int HierarchyOf(int id) const;
  // Budgets of the items at and under `id` (0: every item), in tree order,
  // each once.
  std::vector<std::string> BudgetsUnder(int id) const;
  // Every item at and under `id` in tree order (parents before children).
  std::vector<int> Subtree(int id) const;

  // Edits. Each either changes the Forest and gives kDone, or refuses and
  // leaves it as it was.
  Refusal AddHierarchy(int& id);
  Refusal AddGroup(int parent, int& id);
  // Adds `budgets` under `parent` sorted by account, then year (no year
  // first), leaving out those already in parent's hierarchy and repeats.
  Refusal AddBudgets(int parent, std::vector<std::string> budgets, std::vector<int>* added);
  Refusal Rename(int id, const std::string& label);
  Refusal Remove(int id);
  // Whether `dragged` may go under `target` (0: to the top) by move or copy.
  Refusal CheckDrop(int dragged, int target, bool copy) const;
  // Moves (or copies) the subtree of `dragged` to the end of `target`'s
  // children (0: the top). A group arriving at the top becomes a hierarchy,
  // a hierarchy arriving under an item a group. `result` is the moved item
  // or the copy's root.
  Refusal Drop(int dragged, int target, bool copy, int& result);
  // Moves `id` one place up (delta -1) or down (+1) among its siblings;
  // false at the end of the row.
  bool Shift(int id, int delta);

  // Builds the Forest from stored rows (any order); rows whose parent is
  // missing or is a budget are dropped, so a damaged table still loads.
  struct Row {
    int32_t key = 0;
    int32_t parent = 0;   // 0: none
    int kind = 0;
    std::string label;
    std::string budget;
    int position = 0;
  };
  static Forest FromRows(std::vector<Row> rows);
  // The rows to store: keys from `nextKey` (called once per item, parents
  // before children), positions 1.. among siblings.
  template <typename NextKey>
  bool ToRows(NextKey&& nextKey, std::vector<Row>& rows) const;

  bool Changed() const { return changed_; }
  void MarkSaved() { changed_ = false; }

 private:
  int NewItem(int parent, Kind kind, std::string label, std::string budget, int position = -1);
  std::vector<int>& SiblingsOf(int parent);
  std::string NextLabel(const char* pattern, int& counter) const;
  bool IsUnder(int id, int ancestor) const;
  bool HierarchyHasBudget(int top, const std::string& budget, int exceptSubtree) const;
  void Erase(int id);
  int CopyTree(int source, int parent);

  std::map<int, Item> items_;
  std::vector<int> tops_;
  int nextId_ = 1;
  int hierarchyCounter_ = 0;
  int groupCounter_ = 0;
  bool changed_ = false;
};

template <typename NextKey>
bool Forest::ToRows(NextKey&& nextKey, std::vector<Row>& rows) const {
  rows.clear();
  rows.reserve(items_.size());
  std::map<int, int32_t> keys;
  auto walk = [&](auto& self, const std::vector<int>& siblings, int32_t parentKey) -> bool {
    int position = 0;
    for (int id : siblings) {
      const Item& item = items_.at(id);
      int32_t key = 0;
      if (!nextKey(key)) return false;
      rows.push_back({key, parentKey, static_cast<int>(item.kind), item.label, item.budget,
                      ++position});
      if (!self(self, item.children, key)) return false;
    }
    return true;
  };
  return walk(walk, tops_, 0);
}

// Account and year of a budget identifier: before the first "." and the
// rest ("" = no year).
void SplitBudget(const std::string& budget, std::string& account, std::string& year);
// Orders budgets by account, then year numerically, a budget of no year first.
bool BudgetLess(const std::string& a, const std::string& b);

// One row of money: a budget's values or a total.
struct Values {
  Dec64 amount{}, on_order{}, spent{}, available{}, unspent{};
};
// The totals row of `budgets` (name -> values): each budget added once,
// however often it is listed, then the percentages. False on overflow.
bool TotalOnce(const std::vector<std::string>& listed,
               const std::map<std::string, Values>& values, AcqReportTotals::Totals& totals);

// Database. Failures go to HandleDbError and give false.
bool Load(Forest& forest);
// Replaces every stored hierarchy with `forest` in one transaction (the
// delete and every insert); on failure nothing stored changed. Retries a
// write conflict as every save does.
bool Save(Forest& forest);
// Values of `budgets` (those the user may see), from the stored budgets.
bool LoadValues(const std::vector<std::string>& budgets, std::map<std::string, Values>& values);
// Budgets the user may insert, from budget_code, sorted by account and year.
bool LoadBudgetCodes(std::vector<std::string>& budgets);

// A line of the stored hierarchy report: an item with its depth, and its
// budget's values (budget items), or its subtotal (hierarchies and groups:
// the budgets under it, each once).
struct ReportLine {
  int depth = 0;
  Kind kind = Kind::Group;
  std::string label;
  std::string budget;
  Values values;
};
struct Report {
  std::vector<ReportLine> lines;
  AcqReportTotals::Totals totals;   // every listed budget once
  int budgets = 0;                  // distinct budgets listed
};
// The report of the stored hierarchies (read from budget_hierarchy_report),
// of the budgets the user may see.
bool LoadReport(Report& report);
// The same over a Forest and values already read (no database).
bool BuildReport(const Forest& forest, const std::map<std::string, Values>& values,
                 Report& report);

}  // namespace acq::AcqDbBH
