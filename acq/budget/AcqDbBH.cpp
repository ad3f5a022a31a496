// AcqDbBH: budget hierarchies in memory, their rules, load and save.
#include "acq/budget/AcqDbBH.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>

#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbBH {
namespace {

// Attempts of the save before a write conflict is given up.
constexpr int kSaveRetries = 10;
constexpr const char* kNewHierarchy = "New Hierarchy %1";
constexpr const char* kNewGroup = "New Group %1";
const std::vector<int> kNoChildren;

std::string Numbered(const char* pattern, int n) {
  std::string text = pattern;
  text.replace(text.find("%1"), 2, std::to_string(n));
  return text;
}

int ColOf(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }

std::string TextAt(BktHandle bkt, int row, int col) {
  return col > 0 && !_ColIsNull(bkt, row, col) ? _ColGetStringW(bkt, row, col) : std::string();
}
int32_t IntAt(BktHandle bkt, int row, int col) {
  return col > 0 && !_ColIsNull(bkt, row, col) ? _ColGetInt(bkt, row, col) : 0;
}
Dec64 MoneyAt(BktHandle bkt, int row, int col) {
  return col > 0 && !_ColIsNull(bkt, row, col) ? _ColGetDec64(bkt, row, col) : Dec64{};
}

}  // namespace

// ---- the Forest ------------------------------------------------------------------------------

const std::vector<int>& Forest::Children(int id) const {
  if (id == 0) return tops_;
  const auto it = items_.find(id);
  return it == items_.end() ? kNoChildren : it->second.children;
}

const Item* Forest::Find(int id) const {
  const auto it = items_.find(id);
  return it == items_.end() ? nullptr : &it->second;
}

int Forest::HierarchyOf(int id) const {
  const Item* item = Find(id);
  while (item != nullptr && item->parent != 0) item = Find(item->parent);
  return item == nullptr ? 0 : item->id;
}

std::vector<int> Forest::Subtree(int id) const {
  std::vector<int> out;
  std::vector<int> stack;
  if (id == 0) {
    stack.assign(tops_.rbegin(), tops_.rend());
  } else if (Find(id) != nullptr) {
    stack.push_back(id);
  }
  while (!stack.empty()) {
    const int at = stack.back();
    stack.pop_back();
    out.push_back(at);
    const auto& kids = items_.at(at).children;
    stack.insert(stack.end(), kids.rbegin(), kids.rend());
  }
  return out;
}

std::vector<std::string> Forest::BudgetsUnder(int id) const {
  std::vector<std::string> budgets;
  std::set<std::string> seen;
  for (int at : Subtree(id)) {
    const Item& item = items_.at(at);
    if (item.kind == Kind::Budget && seen.insert(item.budget).second)
      budgets.push_back(item.budget);
  }
  return budgets;
}

std::vector<int>& Forest::SiblingsOf(int parent) {
  return parent == 0 ? tops_ : items_.at(parent).children;
}

int Forest::NewItem(int parent, Kind kind, std::string label, std::string budget, int position) {
  const int id = nextId_++;
  Item& item = items_[id];
  item.id = id;
  item.parent = parent;
  item.kind = kind;
  item.label = std::move(label);
  item.budget = std::move(budget);
  auto& siblings = SiblingsOf(parent);
  if (position < 0 || position >= static_cast<int>(siblings.size()))
    siblings.push_back(id);
  else
    siblings.insert(siblings.begin() + position, id);
  return id;
}

std::string Forest::NextLabel(const char* pattern, int& counter) const {
  // The running number skips labels already in use, so a loaded tree's
  // "New Group 1" is not given again.
  std::set<std::string> used;
  for (const auto& [id, item] : items_) used.insert(item.label);
  std::string label;
  do {
    label = Numbered(pattern, ++counter);
  } while (used.count(label) != 0);
  return label;
}

bool Forest::IsUnder(int id, int ancestor) const {
  for (const Item* item = Find(id); item != nullptr; item = Find(item->parent))
    if (item->id == ancestor) return true;
  return false;
}

bool Forest::HierarchyHasBudget(int top, const std::string& budget, int exceptSubtree) const {
  for (int at : Subtree(top)) {
    const Item& item = items_.at(at);
    if (item.kind == Kind::Budget && item.budget == budget &&
        (exceptSubtree == 0 || !IsUnder(at, exceptSubtree)))
      return true;
  }
  return false;
}

Refusal Forest::AddHierarchy(int& id) {
  id = NewItem(0, Kind::Hierarchy, NextLabel(kNewHierarchy, hierarchyCounter_), {});
  changed_ = true;
  return kDone;
}

Refusal Forest::AddGroup(int parent, int& id) {
  id = 0;
  const Item* at = Find(parent);
  if (at == nullptr) return kNotRemoved;
  if (at->kind == Kind::Budget) return kChildOfBudget;
  id = NewItem(parent, Kind::Group, NextLabel(kNewGroup, groupCounter_), {});
  changed_ = true;
  return kDone;
}

Refusal Forest::AddBudgets(int parent, std::vector<std::string> budgets,
                           std::vector<int>* added) {
  if (added != nullptr) added->clear();
  if (parent == 0) return kBudgetAtTop;
  const Item* at = Find(parent);
  if (at == nullptr || at->kind == Kind::Budget) return kChildOfBudget;
  std::stable_sort(budgets.begin(), budgets.end(), BudgetLess);
  budgets.erase(std::unique(budgets.begin(), budgets.end()), budgets.end());
  const int top = HierarchyOf(parent);
  std::erase_if(budgets, [&](const std::string& b) {
    return b.empty() || HierarchyHasBudget(top, b, 0);
  });
  if (budgets.empty()) return kNoBudgets;
  for (auto& budget : budgets) {
    const int id = NewItem(parent, Kind::Budget, budget, budget);
    if (added != nullptr) added->push_back(id);
  }
  changed_ = true;
  return kDone;
}

Refusal Forest::Rename(int id, const std::string& label) {
  auto it = items_.find(id);
  if (it == items_.end()) return kNotRemoved;
  if (it->second.kind == Kind::Budget) return kBudgetLabel;
  if (it->second.label != label) {
    it->second.label = label;
    changed_ = true;
  }
  return kDone;
}

void Forest::Erase(int id) {
  for (int at : Subtree(id)) items_.erase(at);
}

Refusal Forest::Remove(int id) {
  const Item* item = Find(id);
  if (item == nullptr) return kNotRemoved;
  auto& siblings = SiblingsOf(item->parent);
  siblings.erase(std::find(siblings.begin(), siblings.end(), id));
  Erase(id);
  changed_ = true;
  return kDone;
}

Refusal Forest::CheckDrop(int dragged, int target, bool copy) const {
  const Item* item = Find(dragged);
  if (item == nullptr) return kNotRemoved;
  if (target == 0) return item->kind == Kind::Budget ? kBudgetAtTop : kDone;
  const Item* onto = Find(target);
  if (onto == nullptr) return kNotRemoved;
  if (IsUnder(target, dragged)) return kIntoOwnSubtree;
  if (onto->kind == Kind::Budget) return kChildOfBudget;
  // Budgets arriving in the target's hierarchy must not be there already;
  // a move within one hierarchy takes its own budgets along.
  const int top = HierarchyOf(target);
  const int except = copy ? 0 : dragged;
  for (const auto& budget : BudgetsUnder(dragged))
    if (HierarchyHasBudget(top, budget, except)) return kDuplicateBudget;
  return kDone;
}

int Forest::CopyTree(int source, int parent) {
  const Item src = items_.at(source);   // a copy: NewItem may rehash the map
  Kind kind = src.kind;
  if (kind != Kind::Budget) kind = parent == 0 ? Kind::Hierarchy : Kind::Group;
  const int id = NewItem(parent, kind, src.label, src.budget);
  for (int child : src.children) CopyTree(child, id);
  return id;
}

Refusal Forest::Drop(int dragged, int target, bool copy, int& result) {
  result = 0;
  if (const Refusal r = CheckDrop(dragged, target, copy); r != kDone) return r;
  if (copy) {
    result = CopyTree(dragged, target);
  } else {
    Item& item = items_.at(dragged);
    auto& from = SiblingsOf(item.parent);
    from.erase(std::find(from.begin(), from.end(), dragged));
    item.parent = target;
    if (item.kind != Kind::Budget) item.kind = target == 0 ? Kind::Hierarchy : Kind::Group;
    SiblingsOf(target).push_back(dragged);
    result = dragged;
  }
  changed_ = true;
  return kDone;
}

bool Forest::Shift(int id, int delta) {
  const Item* item = Find(id);
  if (item == nullptr) return false;
  auto& siblings = SiblingsOf(item->parent);
  const auto at = std::find(siblings.begin(), siblings.end(), id) - siblings.begin();
  const auto to = at + delta;
  if (to < 0 || to >= static_cast<long>(siblings.size())) return false;
  std::swap(siblings[at], siblings[to]);
  changed_ = true;
  return true;
}

Forest Forest::FromRows(std::vector<Row> rows) {
  Forest forest;
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return a.position != b.position ? a.position < b.position : a.key < b.key;
  });
  std::map<int32_t, std::vector<const Row*>> byParent;
  std::set<int32_t> keys;
  for (const Row& row : rows) keys.insert(row.key);
  for (const Row& row : rows) {
    // A row naming a parent that is not there hangs from nothing: left out.
    if (row.parent != 0 && keys.count(row.parent) == 0) continue;
    byParent[row.parent].push_back(&row);
  }
  std::set<int32_t> placed;
  auto place = [&](auto& self, int32_t parentKey, int parentId) -> void {
    const auto it = byParent.find(parentKey);
    if (it == byParent.end()) return;
    for (const Row* row : it->second) {
      if (!placed.insert(row->key).second) continue;   // a cycle in damaged rows
      Kind kind = row->kind == 2 ? Kind::Budget : (parentId == 0 ? Kind::Hierarchy : Kind::Group);
      if (kind == Kind::Budget && (parentId == 0 || row->budget.empty())) continue;
      const int id = forest.NewItem(parentId, kind, kind == Kind::Budget ? row->budget : row->label,
                                    kind == Kind::Budget ? row->budget : std::string());
      if (kind != Kind::Budget) self(self, row->key, id);
    }
  };
  place(place, 0, 0);
  return forest;
}

// ---- budgets and totals ----------------------------------------------------------------------

void SplitBudget(const std::string& budget, std::string& account, std::string& year) {
  const auto dot = budget.find('.');
  account = budget.substr(0, dot);
  year = dot == std::string::npos ? std::string() : budget.substr(dot + 1);
}

bool BudgetLess(const std::string& a, const std::string& b) {
  std::string accountA, yearA, accountB, yearB;
  SplitBudget(a, accountA, yearA);
  SplitBudget(b, accountB, yearB);
  if (accountA != accountB) return accountA < accountB;
  if (yearA.empty() != yearB.empty()) return yearA.empty();
  const long na = std::strtol(yearA.c_str(), nullptr, 10);
  const long nb = std::strtol(yearB.c_str(), nullptr, 10);
  return na != nb ? na < nb : yearA < yearB;
}

namespace {
AcqReportTotals::Totals AsRow(const Values& v) {
  AcqReportTotals::Totals row;
  row.amount = v.amount;
  row.on_order = v.on_order;
  row.spent = v.spent;
  row.available = v.available;
  row.unspent = v.unspent;
  return row;
}
}  // namespace

bool TotalOnce(const std::vector<std::string>& listed, const std::map<std::string, Values>& values,
               AcqReportTotals::Totals& totals) {
  totals = {};
  std::set<std::string> counted;
  for (const auto& budget : listed) {
    const auto it = values.find(budget);
    if (it == values.end() || !counted.insert(budget).second) continue;
    if (!AcqReportTotals::AddRow(totals, AsRow(it->second))) return false;
  }
  return AcqReportTotals::ComputePercentages(totals);
}

bool BuildReport(const Forest& forest, const std::map<std::string, Values>& values,
                 Report& report) {
  report = {};
  std::vector<std::string> listed;
  auto walk = [&](auto& self, const std::vector<int>& siblings, int depth) -> bool {
    for (int id : siblings) {
      const Item& item = *forest.Find(id);
      ReportLine line;
      line.depth = depth;
      line.kind = item.kind;
      line.label = item.label;
      line.budget = item.budget;
      if (item.kind == Kind::Budget) {
        const auto it = values.find(item.budget);
        if (it == values.end()) continue;   // not the user's to see
        line.values = it->second;
        listed.push_back(item.budget);
        report.lines.push_back(line);
        continue;
      }
      AcqReportTotals::Totals sub;
      if (!TotalOnce(forest.BudgetsUnder(id), values, sub)) return false;
      line.values = {sub.amount, sub.on_order, sub.spent, sub.available, sub.unspent};
      report.lines.push_back(line);
      if (!self(self, item.children, depth + 1)) return false;
    }
    return true;
  };
  if (!walk(walk, forest.Tops(), 0)) return false;
  if (!TotalOnce(listed, values, report.totals)) return false;
  std::sort(listed.begin(), listed.end());
  report.budgets = static_cast<int>(std::unique(listed.begin(), listed.end()) - listed.begin());
  return true;
}

// ---- database --------------------------------------------------------------------------------

namespace {

bool LoadStoredRows(std::string_view columns, std::string_view table,
                    std::vector<Forest::Row>& rows, BucketHold& hold) {
  if (!AcqDbBase::LoadRows(columns, table, "", "item_key", hold)) return false;
  BktHandle bkt = *hold;
  const int key = ColOf(bkt, "item_key"), parent = ColOf(bkt, "parent_item_key");
  const int kind = ColOf(bkt, "item_kind"), label = ColOf(bkt, "label");
  const int budget = ColOf(bkt, "budget"), position = ColOf(bkt, "position");
  rows.clear();
  for (int row = 1; row <= _BktCountAll(bkt); ++row)
    rows.push_back({IntAt(bkt, row, key), IntAt(bkt, row, parent), IntAt(bkt, row, kind),
                    TextAt(bkt, row, label), TextAt(bkt, row, budget),
                    IntAt(bkt, row, position)});
  return true;
}

// Budgets the user may see: names from the budget view, filtered by fund
// control's restrictions.
bool VisibleBudgets(BucketHold& hold) {
  if (!AcqDbBase::LoadRows("budget, account, amount, on_order, spent", "budget", "", "budget",
                           hold))
    return false;
  AcqFundCtrl::FilterBudgetsForUser(*hold);
  return true;
}

bool InsertAll(const std::vector<Forest::Row>& rows) {
  BucketHold hold;
  if (!AcqDbBase::LoadBktFromCols(0, 0, hold.get(),
                                  "item_key,parent_item_key,item_kind,label,budget,position",
                                  names::budget_hierarchy))
    return false;
  BktHandle bkt = *hold;
  const int key = ColOf(bkt, "item_key"), parent = ColOf(bkt, "parent_item_key");
  const int kind = ColOf(bkt, "item_kind"), label = ColOf(bkt, "label");
  const int budget = ColOf(bkt, "budget"), position = ColOf(bkt, "position");
  for (const auto& r : rows) {
    int row = 0;
    _BktInsert(bkt, 0, row);
    _ColSetInt(bkt, row, key, r.key);
    if (r.parent == 0) _ColSetNull(bkt, row, parent); else _ColSetInt(bkt, row, parent, r.parent);
    _ColSetInt(bkt, row, kind, r.kind);
    _ColSetTextW(bkt, row, label, r.label);
    if (r.budget.empty()) _ColSetNull(bkt, row, budget); else _ColSetTextW(bkt, row, budget, r.budget);
    _ColSetInt(bkt, row, position, r.position);
    DbMsg msg;
    if (const DbCode code = AcqDb::InsertRow(msg, row, bkt, names::budget_hierarchy);
        code != kDbOk) {
      AcqDbExcept::HandleDbError(msg, code);
      return false;
    }
    _BktDeleteAll(bkt);
  }
  return true;
}

bool NewKey(int32_t& key) {
  DbMsg msg;
  if (const DbCode code =
          _DbGetNewKeyValidate(AcqDbGlobal::Session(), names::budget_hierarchy,
                               names::budget_hierarchy, "item_key", key, msg);
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

}  // namespace

bool Load(Forest& forest) {
  std::vector<Forest::Row> rows;
  BucketHold hold;
  if (!LoadStoredRows("item_key,parent_item_key,item_kind,label,budget,position",
                      names::budget_hierarchy, rows, hold))
    return false;
  forest = Forest::FromRows(std::move(rows));
  return true;
}

bool Save(Forest& forest) {
  // The delete of the query library runs as a nested level of this
  // transaction, so the delete and the inserts commit or vanish together;
  // a second workstation saving meanwhile conflicts and runs again whole.
  const bool saved = AcqDbBase::SaveWithReportedRetry(
      kSaveRetries,
      [&] {
        std::vector<Forest::Row> rows;
        return AcqDbGen::DeleteBudgetHierarchies() && forest.ToRows(NewKey, rows) &&
               InsertAll(rows);
      },
      {});
  if (saved) forest.MarkSaved();
  return saved;
}

bool LoadValues(const std::vector<std::string>& budgets, std::map<std::string, Values>& values) {
  values.clear();
  BucketHold hold;
  if (!VisibleBudgets(hold)) return false;
  const std::set<std::string> wanted(budgets.begin(), budgets.end());
  BktHandle bkt = *hold;
  const int name = ColOf(bkt, "budget"), amount = ColOf(bkt, "amount");
  const int onOrder = ColOf(bkt, "on_order"), spent = ColOf(bkt, "spent");
  for (int row = 1; row <= _BktCountAll(bkt); ++row) {
    const std::string budget = TextAt(bkt, row, name);
    if (wanted.count(budget) == 0) continue;
    Values v;
    v.amount = MoneyAt(bkt, row, amount);
    v.on_order = MoneyAt(bkt, row, onOrder);
    v.spent = MoneyAt(bkt, row, spent);
    v.available = Dec64::FromRaw(v.amount.raw - v.on_order.raw - v.spent.raw);
    v.unspent = Dec64::FromRaw(v.amount.raw - v.spent.raw);
    values[budget] = v;
  }
  return true;
}

bool LoadBudgetCodes(std::vector<std::string>& budgets) {
  budgets.clear();
  BucketHold hold;
  if (!AcqDbBase::LoadRows("budget, account, year", "budget_code", "", "account, year", hold))
    return false;
  AcqFundCtrl::FilterBudgetsForUser(*hold);
  const int name = ColOf(*hold, "budget");
  for (int row = 1; row <= _BktCountAll(*hold); ++row) {
    std::string budget = TextAt(*hold, row, name);
    if (!budget.empty()) budgets.push_back(std::move(budget));
  }
  std::stable_sort(budgets.begin(), budgets.end(), BudgetLess);
  return true;
}

bool LoadReport(Report& report) {
  // The stored trees and the budgets' values read apart: joining the report
  // view on the budget identifier (an expression) scans every budget for
  // every item on an embedded database.
  report = {};
  Forest forest;
  if (!Load(forest)) return false;
  std::map<std::string, Values> values;
  if (!LoadValues(forest.BudgetsUnder(0), values)) return false;
  return BuildReport(forest, values, report);
}

}  // namespace acq::AcqDbBH
