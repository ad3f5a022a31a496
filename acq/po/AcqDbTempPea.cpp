// AcqDbTempPea: distribution patterns and PO templates, the database side.
#include "acq/po/AcqDbTempPea.h"

#include <algorithm>
#include <cctype>

#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/po/AcqDbAct.h"
#include "acq/po/AcqPoParts.h"
#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbTempPea {
namespace {

using AcqDbBase::RunStatement;
using AcqDbBase::SelectCount;
using AcqPo::parts::Quote;
using AcqPo::parts::TextOf;
using AcqPo::parts::WholeOf;

constexpr int kMsgSameBudget = 76;
constexpr int kMsgFullyApproved = 440;
constexpr int kMsgPatternPercents = 449;
constexpr int kMsgInvalidBudget = 454;
constexpr int kMsgDedupe = 455;
constexpr int kMsgPatternGone = 1842;
constexpr int kMsgTemplateGone = 1843;
constexpr int kMsgTemplateVendorGone = 1844;

constexpr int kRetries = 5;
constexpr size_t kNameChars = 30;

constexpr const char* kPatternTable = "po_line_pattern";
constexpr const char* kItemPatternTable = "po_line_item_pattern";
constexpr const char* kBudgetPatternTable = "po_line_item_budget_pattern";
constexpr const char* kPatternKey = "po_line_pattern#";
constexpr const char* kTemplateTable = "po_template";

// The item columns a pattern applied reads: what it copies, and the dates
// and links that decide whether an item may be replaced.
constexpr const char* kLineItemColumns =
    "po#,line,item,location,collection,itype,call_number,budget,budget_split,ship_to_address,"
    "approve_date,order_date,printed_date,receive_date,invoice_date,cancel_date,renew_item";

std::string Key(int64_t n) { return std::to_string(n); }

std::string Trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return std::string(s);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The column names of `table` as the database describes it (lower case).
bool ColumnsOf(std::string_view table, std::vector<std::string>& out) {
  BucketHold typed;
  if (!AcqDbBase::LoadBktFromCols(0, 0, typed.get(), "*", table)) return false;
  out.clear();
  for (int col = 1; col <= _BktGetNCols(*typed); ++col)
    out.push_back(Lower(_BktGetColName(*typed, col)));
  return true;
}

// The columns of `a` that `b` has too, less `except`, in `a`'s order.
std::vector<std::string> Shared(const std::vector<std::string>& a,
                                const std::vector<std::string>& b,
                                const std::vector<std::string>& except) {
  std::vector<std::string> out;
  for (const std::string& c : a)
    if (std::find(b.begin(), b.end(), c) != b.end() &&
        std::find(except.begin(), except.end(), c) == except.end())
      out.push_back(c);
  return out;
}

std::string Joined(const std::vector<std::string>& columns) {
  std::string out;
  for (const std::string& c : columns) out += (out.empty() ? "" : ",") + c;
  return out;
}

// The distribution columns an item and a pattern item share, by name.
bool DistributionColumns(std::vector<std::string>& out) {
  std::vector<std::string> item, pattern;
  if (!ColumnsOf(names::po_line_item, item) || !ColumnsOf(kItemPatternTable, pattern)) return false;
  out = Shared(pattern, item, {"po#", "line", "item", kPatternKey});
  return true;
}

bool NewPatternKey(int32_t& key) {
  DbMsg msg;
  const DbCode code = _DbGetNewKeyValidate(AcqDbGlobal::Session(), kPatternTable, kPatternTable,
                                           kPatternKey, key, msg);
  if (code == kDbOk) return true;
  AcqDbExcept::HandleDbError(msg, code);
  return false;
}

// One pass of a pattern save, inside its transaction.
bool SavePass(int32_t po, int16_t line, const std::string& name, bool replace,
              const std::vector<std::string>& columns, SaveResult& result, int32_t& key) {
  result = SaveResult::Failed;
  const std::string lineWhere = "po#=" + Key(po) + " and line=" + Key(line);
  int32_t items = 0;
  if (!SelectCount("select count(*) from po_line_item where " + lineWhere, items)) return false;
  if (items == 0) {
    result = SaveResult::NoItems;
    return false;
  }
  // The key first: its row stays locked to the end of the transaction, so
  // two saves serialise before either looks at the name.
  int32_t fresh = 0;
  if (!NewPatternKey(fresh)) return false;
  int32_t existing = 0;
  if (!SelectCount("select po_line_pattern# from po_line_pattern where pattern=" + Quote(name),
                   existing))
    return false;
  if (existing != 0 && !replace) {
    result = SaveResult::NameExists;
    return false;
  }
  key = existing != 0 ? existing : fresh;
  if (existing != 0) {
    if (!RunStatement("delete from po_line_item_budget_pattern where po_line_pattern#=" +
                      Key(key)) ||
        !RunStatement("delete from po_line_item_pattern where po_line_pattern#=" + Key(key)))
      return false;
  } else if (!RunStatement("insert into po_line_pattern(po_line_pattern#,pattern) values(" +
                           Key(key) + "," + Quote(name) + ")")) {
    return false;
  }
  const std::string copied = Joined(columns);
  if (!RunStatement("insert into po_line_item_pattern(po_line_pattern#,item" +
                    (copied.empty() ? "" : "," + copied) + ") select " + Key(key) + ",item" +
                    (copied.empty() ? "" : "," + copied) + " from po_line_item where " +
                    lineWhere) ||
      !RunStatement("insert into po_line_item_budget_pattern(po_line_pattern#,item,budget,"
                    "percentage) select " +
                    Key(key) +
                    ",item,budget,percentage from "
                    "po_line_item_budget where " +
                    lineWhere))
    return false;
  result = SaveResult::Saved;
  return true;
}

// An item of a pattern: its distribution and its split.
struct PatternItem {
  std::map<std::string, std::string> values;  // distribution column -> text ("" NULL)
  std::vector<AcqDbBudget::SplitEntry> split;
};

bool LoadPatternItems(int32_t key, const std::vector<std::string>& columns, bool& exists,
                      std::vector<PatternItem>& out) {
  out.clear();
  int32_t found = 0;
  if (!SelectCount("select count(*) from po_line_pattern where po_line_pattern#=" + Key(key),
                   found))
    return false;
  exists = found != 0;
  if (!exists) return true;
  BucketHold items, budgets;
  const std::string where = "po_line_pattern#=" + Key(key);
  if (!AcqDbBase::LoadRows("item," + Joined(columns), kItemPatternTable, where, "item", items) ||
      !AcqDbBase::LoadRows("item,budget,percentage", kBudgetPatternTable, where, "item,budget",
                           budgets))
    return false;
  for (int row = 1; row <= _BktCountAll(*items); ++row) {
    PatternItem p;
    for (const std::string& c : columns) p.values[c] = TextOf(*items, row, c);
    const auto item = WholeOf(*items, row, "item");
    for (int b = 1; b <= _BktCountAll(*budgets); ++b)
      if (WholeOf(*budgets, b, "item") == item)
        p.split.push_back({TextOf(*budgets, b, "budget"),
                           static_cast<int>(WholeOf(*budgets, b, "percentage").value_or(0))});
    out.push_back(std::move(p));
  }
  return true;
}

// Whether `budget` exists and the user may use it as it stands (a closed
// budget never; a frozen one is left to fund control at the save).
bool BudgetUsable(const std::string& budget, bool& usable) {
  int32_t found = 0;
  if (!SelectCount("select count(*) from budget where budget=" + Quote(budget), found))
    return false;
  usable = found != 0 && AcqFundCtrl::UserMayUseBudget(budget);
  if (!usable) return true;
  uint8_t status = 0;
  DbMsg msg;
  if (!AcqDbGen::GetBudgetStatus(msg, budget, status)) return false;
  usable = status != 2;
  return true;
}

// The budget field of an item from the pattern's split: one budget of
// 100 % stays a single budget; more become the split text.
int SplitOfPattern(const PatternItem& p, std::string& budget, std::string& splitText) {
  std::vector<AcqDbBudget::SplitEntry> split;
  for (const AcqDbBudget::SplitEntry& e : p.split)
    if (e.percentage != 0) split.push_back(e);
  budget.clear();
  splitText.clear();
  if (split.empty()) {
    auto at = p.values.find("budget");
    if (at != p.values.end()) budget = at->second;
    return 0;
  }
  int sum = 0;
  for (const AcqDbBudget::SplitEntry& e : split) sum += e.percentage;
  if (sum != 100) return kMsgPatternPercents;
  for (size_t b = 1; b < split.size(); ++b)
    for (size_t a = 0; a < b; ++a)
      if (Lower(split[a].budget) == Lower(split[b].budget)) return kMsgSameBudget;
  if (split.size() == 1) {
    budget = split.front().budget;
    return 0;
  }
  // The split rows carry no order: the pattern's own text gives the order
  // the person wrote the budgets in, when it holds the same entries.
  std::vector<AcqDbBudget::SplitEntry> written;
  if (auto text = p.values.find("budget_split");
      text != p.values.end() && AcqDbAct::ParseBudgetSplit(text->second, written)) {
    auto byBudget = [](const AcqDbBudget::SplitEntry& x, const AcqDbBudget::SplitEntry& y) {
      return x.budget < y.budget;
    };
    std::vector<AcqDbBudget::SplitEntry> sorted = written;
    std::sort(sorted.begin(), sorted.end(), byBudget);
    std::sort(split.begin(), split.end(), byBudget);
    const bool same = std::equal(sorted.begin(), sorted.end(), split.begin(), split.end(),
                                 [](const auto& x, const auto& y) {
                                   return x.budget == y.budget && x.percentage == y.percentage;
                                 });
    if (same) split = written;
  }
  std::vector<std::string> entries;
  for (const AcqDbBudget::SplitEntry& e : split) entries.push_back(AcqPo::parts::SplitEntryText(e));
  if (!AcqPo::parts::JoinSplitEntries(entries, splitText)) return kMsgDedupe;
  return 0;
}

bool ItemMayGo(BktHandle items, int row) {
  for (const char* c : {"approve_date", "order_date", "printed_date", "receive_date",
                        "invoice_date", "cancel_date", "renew_item"})
    if (WholeOf(items, row, c)) return false;
  return true;
}

// Rows of the line's items as the line save takes them: the items kept
// as they are, those that go marked deleted, and the pattern's added.
bool BuildItems(int32_t po, int16_t line, const std::vector<std::string>& columns,
                const std::vector<PatternItem>& pattern, BucketHold& items, Refusal& refusal) {
  DbMsg msg;
  const std::string where = "po#=" + Key(po) + " and line=" + Key(line);
  if (DbCode code = AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, "item", where, kLineItemColumns,
                                     names::po_line_item, items.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  const int stored = _BktCountAll(*items);
  int approved = 0;
  for (int row = 1; row <= stored; ++row)
    if (WholeOf(*items, row, "approve_date")) ++approved;
  if (stored > 0 && approved == stored) {
    refusal = {kMsgFullyApproved, "", Key(line)};
    return false;
  }
  for (int row = 1; row <= stored; ++row)
    if (ItemMayGo(*items, row)) _BktSetState(*items, row, kRowDeleted);
  for (const PatternItem& p : pattern) {
    std::string budget, splitText;
    if (const int id = SplitOfPattern(p, budget, splitText); id != 0) {
      refusal = {id};
      return false;
    }
    std::vector<std::string> used;
    for (const AcqDbBudget::SplitEntry& e : p.split) used.push_back(e.budget);
    if (!budget.empty()) used.push_back(budget);
    for (const std::string& b : used) {
      bool usable = false;
      if (!BudgetUsable(b, usable)) return false;
      if (!usable) {
        refusal = {kMsgInvalidBudget, b};
        return false;
      }
    }
    int row = 0;
    _BktInsert(*items, 0, row);
    _ColSetInt(*items, row, _BktGetColNum(*items, "po#"), po);
    _ColSetInt(*items, row, _BktGetColNum(*items, "line"), line);
    for (const std::string& c : columns) {
      if (c == "budget" || c == "budget_split") continue;
      const std::string& text = p.values.at(c);
      if (!text.empty()) _ColSetTextW(*items, row, _BktGetColNum(*items, c), text);
    }
    if (!budget.empty()) _ColSetTextW(*items, row, _BktGetColNum(*items, "budget"), budget);
    if (!splitText.empty())
      _ColSetTextW(*items, row, _BktGetColNum(*items, "budget_split"), splitText);
  }
  return true;
}

}  // namespace

bool LoadPatterns(std::vector<Pattern>& out) {
  out.clear();
  BucketHold rows;
  if (!AcqDbBase::LoadRows("po_line_pattern#,pattern", kPatternTable, "1=1", "pattern", rows))
    return false;
  for (int row = 1; row <= _BktCountAll(*rows); ++row)
    out.push_back({static_cast<int32_t>(WholeOf(*rows, row, kPatternKey).value_or(0)),
                   TextOf(*rows, row, "pattern")});
  return true;
}

SaveResult SavePattern(int32_t po, int16_t line, std::string_view name, bool replace,
                       int32_t& key) {
  key = 0;
  const std::string trimmed = Trimmed(name);
  std::vector<std::string> columns;
  if (trimmed.empty() || trimmed.size() > kNameChars || !DistributionColumns(columns))
    return SaveResult::Failed;
  SaveResult result = SaveResult::Failed;
  const bool saved = AcqDbBase::SaveWithReportedRetry(
      kRetries, [&] { return SavePass(po, line, trimmed, replace, columns, result, key); }, {});
  if (saved) return SaveResult::Saved;
  key = 0;
  return result == SaveResult::Saved ? SaveResult::Failed : result;
}

bool DeletePattern(int32_t key) {
  const std::string where = " where po_line_pattern#=" + Key(key);
  return AcqDbBase::SaveWithReportedRetry(
      kRetries,
      [&] {
        return RunStatement("update po_template set po_line_pattern#=NULL" + where) &&
               RunStatement(std::string("delete from ") + kBudgetPatternTable + where) &&
               RunStatement(std::string("delete from ") + kItemPatternTable + where) &&
               RunStatement(std::string("delete from ") + kPatternTable + where);
      },
      {});
}

ApplyResult ApplyPattern(int32_t key, int32_t po, int16_t line, Refusal& refusal) {
  refusal = {};
  std::vector<std::string> columns;
  if (!DistributionColumns(columns)) return ApplyResult::Failed;
  BucketHold poRow, lineRow;
  if (!AcqDbBase::LoadRows("po#,po_number,vendor#,vendor_contract,currency", names::po,
                           "po#=" + Key(po), "", poRow) ||
      !AcqDbBase::LoadRows("*", names::po_line, "po#=" + Key(po) + " and line=" + Key(line), "",
                           lineRow))
    return ApplyResult::Failed;
  if (_BktCountAll(*poRow) == 0 || _BktCountAll(*lineRow) == 0) return ApplyResult::Failed;
  AcqFundCtrl::BustListHold list;
  Refusal found;
  // The pattern and the line's items are read inside the transaction, so a
  // retry (or a second workstation's approval meanwhile) is seen; the line
  // save nests in it and moves the money of the items that go and come.
  auto steps = [&] {
    found = {};
    bool exists = false;
    std::vector<PatternItem> pattern;
    if (!LoadPatternItems(key, columns, exists, pattern)) return false;
    if (!exists) {
      found = {kMsgPatternGone};
      return false;
    }
    BucketHold items;
    if (!BuildItems(po, line, columns, pattern, items, found)) return false;
    return AcqDbAct::SavePoLine(*poRow, *lineRow, *items, list.get());
  };
  auto confirmAgain = [&] {
    const AcqFundCtrl::BustHandler handler = AcqFundCtrl::GetBustHandler();
    return found.id == 0 && AcqFundCtrl::BustListPending(list.get()) && handler != nullptr &&
           handler(list.get());
  };
  if (AcqDbBase::SaveWithReportedRetry(kRetries, steps, {lineRow.get()}, confirmAgain))
    return ApplyResult::Applied;
  if (found.id == 0) return ApplyResult::Failed;
  refusal = found;
  if (refusal.id == kMsgFullyApproved) refusal.a1 = TextOf(*poRow, 1, "po_number");
  return ApplyResult::Refused;
}

std::vector<std::string> TemplateHeaderColumns() {
  std::vector<std::string> tmpl, po;
  if (!ColumnsOf(kTemplateTable, tmpl) || !ColumnsOf(names::po, po)) return {};
  return Shared(tmpl, po,
                {"po_template", "po_template_descr", kPatternKey, "user_assign_po_number", "po#",
                 "po_number"});
}

bool LoadTemplate(std::string_view name, TemplateValues& out, Refusal& refusal) {
  out = {};
  refusal = {};
  const std::vector<std::string> columns = TemplateHeaderColumns();
  if (columns.empty()) return false;
  BucketHold row;
  if (!AcqDbBase::LoadRows(Joined(columns) + ",po_line_pattern#,user_assign_po_number",
                           kTemplateTable, "po_template=" + Quote(Trimmed(name)), "", row))
    return false;
  if (_BktCountAll(*row) == 0) {
    refusal = {kMsgTemplateGone, Trimmed(name)};
    return false;
  }
  for (const std::string& c : columns)
    if (std::string text = TextOf(*row, 1, c); !text.empty()) out.header[c] = text;
  out.pattern = static_cast<int32_t>(WholeOf(*row, 1, kPatternKey).value_or(0));
  out.userAssigns = WholeOf(*row, 1, "user_assign_po_number").value_or(0) != 0;
  if (auto vendor = out.header.find("vendor#"); vendor != out.header.end()) {
    int32_t found = 0;
    if (!SelectCount("select count(*) from vendor where vendor#=" + vendor->second, found))
      return false;
    if (found == 0) {
      refusal = {kMsgTemplateVendorGone, Trimmed(name), vendor->second};
      return false;
    }
  }
  return true;
}

bool LoadTemplates(std::vector<TemplateRow>& out) {
  out.clear();
  BucketHold rows;
  if (!AcqDbBase::LoadRows("po_template,po_template_descr,vendor#,vendor_name",
                           "po_template_with_vendor", "1=1", "po_template", rows))
    return false;
  for (int row = 1; row <= _BktCountAll(*rows); ++row)
    out.push_back({TextOf(*rows, row, "po_template"), TextOf(*rows, row, "po_template_descr"),
                   TextOf(*rows, row, "vendor#"), TextOf(*rows, row, "vendor_name")});
  return true;
}

bool PoHeaderValues(int32_t po, std::map<std::string, std::string>& header) {
  header.clear();
  const std::vector<std::string> columns = TemplateHeaderColumns();
  BucketHold row;
  if (columns.empty() ||
      !AcqDbBase::LoadRows(Joined(columns), names::po, "po#=" + Key(po), "", row))
    return false;
  if (_BktCountAll(*row) == 0) return false;
  for (const std::string& c : columns)
    if (std::string text = TextOf(*row, 1, c); !text.empty()) header[c] = text;
  return true;
}

TemplateSave SaveTemplate(std::string_view name, std::string_view description,
                          const TemplateValues& values, bool replace,
                          std::string_view renamedFrom) {
  const std::string trimmed = Trimmed(name);
  const std::string renamed = Trimmed(renamedFrom);
  const std::vector<std::string> known = TemplateHeaderColumns();
  if (trimmed.empty() || trimmed.size() > kNameChars || known.empty()) return TemplateSave::Failed;
  std::string columns = "po_template,po_template_descr,po_line_pattern#,user_assign_po_number";
  std::string texts =
      Quote(trimmed) + "," + (description.empty() ? "NULL" : Quote(Trimmed(description))) + "," +
      (values.pattern != 0 ? Key(values.pattern) : "NULL") + "," + (values.userAssigns ? "1" : "0");
  for (const auto& [column, text] : values.header) {
    if (std::find(known.begin(), known.end(), column) == known.end()) continue;
    columns += "," + column;
    texts += "," + Quote(text);
  }
  bool taken = false;
  auto steps = [&] {
    taken = false;
    // The key row locks out a second workstation's save until this one ends.
    int32_t lock = 0;
    DbMsg msg;
    if (DbCode code = _DbGetNewKeyNoValidate(AcqDbGlobal::Session(), kTemplateTable, lock, msg);
        code != kDbOk) {
      AcqDbExcept::HandleDbError(msg, code);
      return false;
    }
    int32_t found = 0;
    if (!SelectCount("select count(*) from po_template where po_template=" + Quote(trimmed), found))
      return false;
    if (found != 0 && !replace) {
      taken = true;
      return false;
    }
    if (found != 0 && !RunStatement("delete from po_template where po_template=" + Quote(trimmed)))
      return false;
    if (!renamed.empty() && renamed != trimmed &&
        !RunStatement("delete from po_template where po_template=" + Quote(renamed)))
      return false;
    return RunStatement("insert into po_template(" + columns + ") values(" + texts + ")");
  };
  if (AcqDbBase::SaveWithReportedRetry(kRetries, steps, {})) return TemplateSave::Saved;
  return taken ? TemplateSave::NameExists : TemplateSave::Failed;
}

}  // namespace acq::AcqDbTempPea
