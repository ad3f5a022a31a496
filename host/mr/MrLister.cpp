// Listers: a dialog showing the rows a lister definition selects, with the
// module's extra condition and the search criteria the user set, and a
// selection of rows. The framework's dialog procedure handles its own part
// and hands every other message to the module's procedure.
//
// The rows Bucket is made once, typed from the source's columns, and keeps
// its handle: a reload replaces its rows. It holds the first rows of the
// list, fetched a page at a time: the list's order (OrderTerms) is total, so
// the rows after the last fetched one are those that sort after it, and a
// fetch asks for exactly those ("keyset" paging: rows another workstation
// adds or removes meanwhile shift nothing). Text cells are kept whole, so a
// row's values are the database's and the boundary is exact. The selection
// is a sorted list of row numbers; a reload keeps the records selected
// before it (found again by their key columns, wherever they now sort).
#include <algorithm>
#include <cctype>
#include <climits>
#include <map>
#include <memory>
#include <numeric>
#include <optional>

#include "host/db/DbView.h"
#include "host/db/SqlDialect.h"
#include "host/mr/MrInternal.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace mr {
namespace {

constexpr int kMaxCommand = 4095;   // the command's last index
// Rows a load fetches, and a move past the last fetched row adds.
constexpr int kPageRows = 50;

std::map<HWND, HLISTER>& ListerWindows() {
  static auto* m = new std::map<HWND, HLISTER>;
  return *m;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The blank-separated words of `s`.
std::vector<std::string> Words(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    const size_t start = i;
    while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i > start) out.emplace_back(s.substr(start, i - start));
  }
  return out;
}

// 100018 as "100,018".
std::string Grouped(int n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

HDb Session(HLISTER lister) { return SessionOf(lister->envir); }

std::string CaptionOf(HLISTER lister) { return GetWindowTextW(lister->hwnd); }

int Fetched(HLISTER lister) { return _BktCountAll(lister->rows); }

// The linked editor's definition; false when the lister has none.
bool LinkedEditor(HLISTER lister, ViewDef& editor) {
  std::string why;
  return !lister->def.linkedView.empty() && ReadViewDef(lister->def.linkedView, 'E', editor, why);
}

// ---- the list's order --------------------------------------------------------------------

struct OrderTerm {
  std::string column;   // as the rows Bucket names it
  bool descending = false;
};

// The list's order: the sort column, the definition's order, the key
// columns, each once. False when the definition's order is not a list of
// the rows' columns ("name [asc|desc], ...") or there are no key columns:
// the order is then not known to be total, and the list loads whole.
bool OrderTerms(HLISTER lister, std::vector<OrderTerm>& out) {
  out.clear();
  BktHandle rows = lister->rows;
  auto add = [&](std::string_view name, bool descending) {
    const int col = _BktGetColNum(rows, name);
    if (col == 0 || _BktGetColType(rows, col) == kColOpaque) return false;
    std::string column = _BktGetColName(rows, col);
    for (const OrderTerm& t : out)
      if (Lower(t.column) == Lower(column)) return true;   // sorted on already
    out.push_back(OrderTerm{std::move(column), descending});
    return true;
  };
  if (!lister->sortColumn.empty() && !add(lister->sortColumn, lister->sortDescending))
    return false;
  std::string_view rest = lister->def.orderBy;
  while (!Words(rest).empty()) {
    const size_t comma = rest.find(',');
    const std::vector<std::string> words = Words(rest.substr(0, comma));
    if (words.empty() || words.size() > 2) return false;
    const std::string direction = words.size() == 2 ? Lower(words[1]) : "asc";
    if ((direction != "asc" && direction != "desc") || !add(words[0], direction == "desc"))
      return false;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (lister->def.keys.empty()) return false;
  for (const std::string& key : lister->def.keys)
    if (!add(key, false)) return false;
  return true;
}

// NULLs come first in either direction, as the framework's own sort has them.
std::string OrderBySql(const std::vector<OrderTerm>& terms) {
  std::string out;
  for (const OrderTerm& t : terms)
    out += (out.empty() ? "" : ",") + t.column + (t.descending ? " desc" : "") + " nulls first";
  return out;
}

enum class Side { Before, After };

// The rows that sort before (or after) row `row` of `bkt` in the order
// `terms`: t1 beyond v1, or t1 = v1 and (t2 beyond v2, or ...).
std::string Beyond(const std::vector<OrderTerm>& terms, BktHandle bkt, int row, Side side) {
  auto literal = [&](const OrderTerm& t) {
    return SqlLiteral(bkt, row, _BktGetColNum(bkt, t.column));
  };
  std::string cond;
  for (size_t n = terms.size(); n-- > 0;) {
    const std::string& t = terms[n].column;
    const std::string v = literal(terms[n]);
    const bool isNull = v == "null";
    const char* op = (side == Side::After) != terms[n].descending ? ">" : "<";
    // NULLs sort first: after a NULL come all values, before one nothing.
    std::string strict;
    if (side == Side::After)
      strict = isNull ? t + " is not null" : t + op + v;
    else if (!isNull)
      strict = "(" + t + " is null or " + t + op + v + ")";
    if (cond.empty()) {
      cond = strict.empty() ? "1=0" : strict;
    } else {
      const std::string tie = "(" + t + (isNull ? " is null" : "=" + v) + " and (" + cond + "))";
      cond = strict.empty() ? tie : strict + " or " + tie;
    }
  }
  // Only an optimisation: a bound on the first term alone lets an index on
  // it start at the boundary rather than at the first row.
  if (side == Side::After && !terms.empty() && literal(terms[0]) != "null")
    cond = terms[0].column + (terms[0].descending ? "<=" : ">=") + literal(terms[0]) + " and (" +
           cond + ")";
  return cond;
}

// ---- loading -----------------------------------------------------------------------------

// The conditions every query of the lister has: the definition's, the
// module's, the search criteria.
std::vector<std::string> Conditions(HLISTER lister) {
  std::vector<std::string> out;
  if (!lister->def.where.empty()) out.push_back(lister->def.where);
  if (!lister->extraWhere.empty()) out.push_back(lister->extraWhere);
  for (const auto& [column, condition] : lister->search) out.push_back(condition);
  return out;
}

// "select [top n] <columns> from <source> [where ...] [order by ...]" into
// `cmd`; `top` 0 for no limit.
DbCode BuildSelect(HLISTER lister, std::string_view columns,
                   const std::vector<std::string>& conditions, int64_t top,
                   std::string_view orderBy, std::string& cmd) {
  cmd.clear();
  std::string head = "select ";
  if (top > 0) head += "top " + std::to_string(top) + " ";
  DbCode code = _DbAppend(cmd, kMaxCommand,
                          head + std::string(columns) + " from " + lister->def.source);
  for (size_t n = 0; code == kDbOk && n < conditions.size(); ++n)
    code = _DbAppend(cmd, kMaxCommand, (n ? " and (" : " where (") + conditions[n] + ")");
  if (code == kDbOk && !orderBy.empty())
    code = _DbAppend(cmd, kMaxCommand, " order by " + std::string(orderBy));
  return code;
}

DbCode LoadRows(HLISTER lister, BktHandle& into, int mode, const std::string& cmd, DbMsg& msg) {
  HDb db = Session(lister);
  DbCode code = _DbCmd(db, cmd, kMaxCommand);
  if (code == kDbOk) code = _DbLoadQuery(db, into, mode, 0, 0, 0, "", "", "", "", msg);
  return code;
}

DbCode CountRows(HLISTER lister, const std::vector<std::string>& conditions, int& count,
                 DbMsg& msg) {
  std::string cmd;
  DbCode code = BuildSelect(lister, "count(*)", conditions, 0, "", cmd);
  int32_t n = 0;
  if (code == kDbOk) code = _DbExecSP(Session(lister), cmd, "", &n, sizeof n, msg);
  count = n;
  return code;
}

void Fail(HLISTER lister, DbCode code, DbMsg& msg) {
  if (code == kDbTooLong) msg.Set("The search is too long.");
  ShowDbError(lister->hwnd, code, msg);
}

// Tells the person how much of the list is fetched, while some is not.
void ShowRowCount(HLISTER lister) {
  const int fetched = Fetched(lister);
  if (lister->complete) lister->total = fetched;
  lister->total = std::max(lister->total, fetched + (lister->complete ? 0 : 1));
  std::string text;
  if (!lister->complete)
    text = Grouped(lister->total) + " rows, showing 1-" + Grouped(fetched);
  SetDlgItemTextW(lister->hwnd, kRowCountControlId, text);
}

// Fetches the rows after the last fetched one until `upTo` rows are there
// or the list ends. False with the error shown.
bool Fetch(HLISTER lister, int upTo) {
  const int have = Fetched(lister);
  if (lister->complete || have >= upTo) return true;
  std::vector<OrderTerm> terms;
  OrderTerms(lister, terms);   // a list with rows left to fetch has its order
  std::vector<std::string> conditions = Conditions(lister);
  if (have > 0) conditions.push_back(Beyond(terms, lister->rows, have, Side::After));
  // One row more than asked for tells whether the list goes on.
  const int64_t limit = upTo == INT_MAX ? 0 : int64_t{upTo} - have + 1;
  std::string cmd;
  DbMsg msg;
  DbCode code = BuildSelect(lister, lister->def.SelectList(), conditions, limit,
                            OrderBySql(terms), cmd);
  if (code == kDbOk) code = LoadRows(lister, lister->rows, kLoadAppend, cmd, msg);
  if (code != kDbOk) {
    Fail(lister, code, msg);
    return false;
  }
  lister->complete = limit == 0 || Fetched(lister) - have < limit;
  if (!lister->complete) _BktDelete(lister->rows, Fetched(lister));
  ShowRowCount(lister);
  return true;
}

// Where the record of row `row` of `saved` is in the list now, fetching
// through it when it is further down than the rows fetched; 0 when it is
// no longer in the list.
int Refind(HLISTER lister, const std::vector<OrderTerm>& terms, BktHandle saved, int row) {
  const std::vector<std::string>& keys = lister->def.keys;
  for (int r = 1; r <= Fetched(lister); ++r)
    if (SameKeys(keys, saved, row, lister->rows, r)) return r;
  std::string where;
  if (lister->complete || !KeyWhere(keys, saved, row, where)) return 0;
  // Its values as they are now (an editor may have just changed them) say
  // where it sorts: after every row that sorts before it.
  BucketHold now;
  _BktClone(now.get(), 0, 0, lister->rows);
  std::vector<std::string> conditions = Conditions(lister);
  conditions.push_back(where);
  std::string cmd;
  DbMsg msg;
  DbCode code = BuildSelect(lister, lister->def.SelectList(), conditions, 1, "", cmd);
  if (code == kDbOk) code = LoadRows(lister, now.get(), kLoadReplace, cmd, msg);
  if (code == kDbOk && _BktCountAll(*now) == 0) return 0;
  int before = 0;
  if (code == kDbOk) {
    conditions.back() = Beyond(terms, *now, 1, Side::Before);
    code = CountRows(lister, conditions, before, msg);
  }
  if (code != kDbOk) {
    Fail(lister, code, msg);
    return 0;
  }
  if (!Fetch(lister, before + 1)) return 0;
  for (int r = std::min(before + 1, Fetched(lister)); r >= 1; --r)
    if (SameKeys(keys, *now, 1, lister->rows, r)) return r;
  return 0;
}

// Sorts the rows on `col` and carries the selection along.
void SortRows(HLISTER lister, int col, bool descending) {
  BktHandle rows = lister->rows;
  const int count = _BktCountAll(rows);
  std::vector<int> order(static_cast<size_t>(count));
  std::iota(order.begin(), order.end(), 1);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    int r = _ColCompare(rows, a, col, rows, b, col);
    // NULLs first either way, as _BktSort has them.
    if (descending && !_ColIsNull(rows, a, col) && !_ColIsNull(rows, b, col)) r = -r;
    return r < 0;
  });
  BucketHold before(_BktDupe(rows));
  std::vector<int> newRow(static_cast<size_t>(count) + 1);
  for (int n = 1; n <= count; ++n) {
    _BktRowCopy(rows, n, *before, order[static_cast<size_t>(n - 1)]);
    newRow[static_cast<size_t>(order[static_cast<size_t>(n - 1)])] = n;
  }
  for (std::vector<int>* rowSet : {&lister->selection, &lister->marks}) {
    for (int& row : *rowSet) row = newRow[static_cast<size_t>(row)];
    std::sort(rowSet->begin(), rowSet->end());
  }
}

// Copies of rows `rowSet` of the lister's rows (for finding them again
// after a reload); an empty Bucket when there are none or no keys to find
// them by.
void SaveRows(HLISTER lister, const std::vector<int>& rowSet, BucketHold& out) {
  if (rowSet.empty() || lister->def.keys.empty()) return;
  _BktClone(out.get(), 0, 0, lister->rows);
  for (int row : rowSet) {
    int copy = 0;
    _BktInsert(*out, 0, copy);
    _BktRowCopy(*out, copy, lister->rows, row);
  }
}

enum class Reload { Fresh, KeepSelection };

// Loads the list from its first row: a page, or with KeepSelection as many
// rows as were fetched, the records selected before staying selected where
// they are still listed. False with the error shown.
bool Load(HLISTER lister, Reload how) {
  // The selected and marked records stay so where they are still listed.
  BucketHold selected, marked;
  if (how == Reload::KeepSelection) {
    SaveRows(lister, lister->selection, selected);
    SaveRows(lister, lister->marks, marked);
  }
  const int extent =
      how == Reload::KeepSelection ? std::max(kPageRows, Fetched(lister)) : kPageRows;
  lister->selection.clear();
  lister->marks.clear();
  if (lister->def.searchFirst && lister->search.empty()) {
    // Nothing asked for yet: an empty list rather than the whole table.
    _BktDeleteAll(lister->rows);
    lister->complete = true;
    ShowRowCount(lister);
    return true;
  }
  std::vector<OrderTerm> terms;
  const bool paged = OrderTerms(lister, terms);
  const std::vector<std::string> conditions = Conditions(lister);
  std::string cmd;
  DbMsg msg;
  DbCode code = BuildSelect(lister, lister->def.SelectList(), conditions, paged ? extent + 1 : 0,
                            paged ? OrderBySql(terms) : lister->def.orderBy, cmd);
  if (code == kDbOk) code = LoadRows(lister, lister->rows, kLoadReplace, cmd, msg);
  if (code == kDbOk) {
    lister->complete = !paged || Fetched(lister) <= extent;
    if (!lister->complete) {
      _BktDelete(lister->rows, Fetched(lister));   // the row past the page
      code = CountRows(lister, conditions, lister->total, msg);
    }
  } else if (code != kDbTooLong) {
    // A failed load may have replaced part of the rows: show none.
    _BktDeleteAll(lister->rows);
    lister->complete = true;
  }
  ShowRowCount(lister);
  if (code != kDbOk) {
    Fail(lister, code, msg);
    return false;
  }
  if (!paged && !lister->sortColumn.empty()) {
    if (int col = _BktGetColNum(lister->rows, lister->sortColumn))
      SortRows(lister, col, lister->sortDescending);
  }
  auto refind = [&](BktHandle saved, std::vector<int>& rowSet) {
    for (int s = 1; saved && s <= _BktCountAll(saved); ++s)
      if (int row = Refind(lister, terms, saved, s)) rowSet.push_back(row);
    std::sort(rowSet.begin(), rowSet.end());
    rowSet.erase(std::unique(rowSet.begin(), rowSet.end()), rowSet.end());
  };
  refind(*selected, lister->selection);
  refind(*marked, lister->marks);
  return true;
}

// Asks for a value of each searchable column; false when the person
// cancelled (or nobody can be asked).
bool AskSearch(HLISTER lister) {
  UiDriver* driver = Ui_Driver();
  if (driver == nullptr) return false;
  for (const ViewColumn& c : lister->def.columns) {
    if (!c.searchable) continue;
    for (;;) {
      std::optional<std::string> value = driver->AskText("Search: " + c.heading, "", false);
      if (!value) return false;
      std::string error;
      if (SetSearchCriterion(lister, c.name, *value, error)) break;
      ShowUserError(lister->hwnd, CaptionOf(lister), error);
    }
  }
  return true;
}

bool DeleteSelected(HLISTER lister) {
  ViewDef editor;
  if (lister->selection.empty() || !LinkedEditor(lister, editor)) return false;
  const std::vector<int> doomed = lister->selection;
  if (!AskDelete(lister->hwnd, static_cast<int>(doomed.size()))) return false;
  HDb db = Session(lister);
  DbMsg msg;
  DbCode code = WriteInTransaction(
      db,
      [&](DbMsg& m) {
        for (int row : doomed) {
          DbCode c = _DbxDeleteRowU(db, editor.source, lister->rows, row, 1, m);
          if (c != kDbOk) return c;
        }
        return DbCode{kDbOk};
      },
      [] {}, msg);
  if (code != kDbOk) {
    ShowDbError(lister->hwnd, code, msg);
    return false;
  }
  for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) _BktDelete(lister->rows, *it);
  lister->selection.clear();
  // Marks of the rows left move up with them.
  std::vector<int> marks;
  for (int row : lister->marks) {
    const auto gone = std::lower_bound(doomed.begin(), doomed.end(), row);
    if (gone == doomed.end() || *gone != row)
      marks.push_back(row - static_cast<int>(gone - doomed.begin()));
  }
  lister->marks = std::move(marks);
  lister->total -= static_cast<int>(doomed.size());
  ShowRowCount(lister);
  return true;
}

// The linked editor on the first selected row, or on a new record.
bool OpenEditor(HLISTER lister, bool newRecord) {
  ViewDef editor;
  if (!LinkedEditor(lister, editor)) return false;
  std::string where;
  if (!newRecord) {
    if (lister->selection.empty()) return false;
    if (!KeyWhere(editor.keys, lister->rows, lister->selection.front(), where)) {
      ShowUserError(lister->hwnd, CaptionOf(lister),
                    "The rows of this list do not carry the key of '" + editor.name + "'.");
      return false;
    }
  }
  HEDITOR opened = MrEditor_Open(lister->envir, editor.name, nullptr, GetParent(lister->hwnd),
                                 where, newRecord, "");
  if (opened == nullptr) return false;
  opened->listerHwnd = lister->hwnd;
  return true;
}

void Select(HLISTER lister, int row) { lister->selection = {row}; }

LRESULT ListerDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HLISTER lister = nullptr;
  if (msg == WM_INITDIALOG) {
    lister = reinterpret_cast<HLISTER>(lParam);
    lister->hwnd = hwnd;
    ListerWindows()[hwnd] = lister;
    MrProc_RegisterContextWindow(hwnd);
    AttachWindow(lister->envir, hwnd);
    if (lister->dlgProc == nullptr) return TRUE;
    return lister->dlgProc(hwnd, msg, wParam, reinterpret_cast<LPARAM>(lister));
  }
  auto it = ListerWindows().find(hwnd);
  if (it == ListerWindows().end()) return 0;
  lister = it->second;
  const UINT command = msg == WM_COMMAND ? LOWORD(wParam) : 0;
  if (msg == kMrQueryClose) return 1;   // nothing unsaved in a list
  if (lister->picker && (command == IDOK || command == IDCANCEL)) {
    if (command == IDOK && lister->selection.empty()) {
      ShowUserError(hwnd, CaptionOf(lister), "Select a row first.");
      return TRUE;
    }
    lister->ended = true;
    lister->picked = command == IDOK;
    return TRUE;
  }
  LRESULT result = lister->dlgProc ? lister->dlgProc(hwnd, msg, wParam, lParam) : 0;
  if (msg == WM_DESTROY) {
    MrProc_UnregisterContextWindow(hwnd);
    ListerWindows().erase(hwnd);
    Unregister(lister);
    _BktDestroy(&lister->rows);
    HENVIR envir = lister->envir;
    delete lister;
    DetachWindow(envir, hwnd);
    return TRUE;
  }
  // The module's procedure may have closed the window.
  if (result != 0 || !IsWindow(hwnd)) return result;
  if (command == IDOK && (ListerBits(lister) & (1u << kMrEdit))) return OpenEditor(lister, false);
  if (msg == WM_COMMAND && RouteCommandToClient(hwnd, wParam)) return TRUE;
  return 0;
}

}  // namespace

bool SetSearchCriterion(HLISTER lister, std::string_view column, std::string_view value,
                        std::string& error) {
  const ViewColumn* c = lister->def.Column(column);
  const int col = c ? _BktGetColNum(lister->rows, c->name) : 0;
  if (c == nullptr || !c->searchable || col == 0) {
    error = "The list cannot be searched on '" + std::string(column) + "'.";
    return false;
  }
  const std::string key = Lower(c->name);
  ParsedValue parsed;
  if (!ParseForColumn(lister->rows, col, c->format, value, parsed, error)) return false;
  if (parsed.isNull) {
    lister->search.erase(key);
    return true;
  }
  std::string condition;
  if (_BktGetColType(lister->rows, col) == kColText) {
    // Starts with the value, in any case: a range an index answers.
    if (!SqlDialect_StartsWith(c->name, parsed.text, condition)) {
      error = "The search value is not valid text.";
      return false;
    }
    if (Lb_CharCount(condition) > kMaxCommand) {
      error = "The search value is too long.";
      return false;
    }
  } else {
    condition = c->name + "=" + std::to_string(parsed.number);   // millionths for amounts
  }
  lister->search[key] = condition;
  return true;
}

uint32_t ListerBits(HLISTER lister) {
  const int count = Fetched(lister);
  const std::vector<int>& sel = lister->selection;
  uint32_t bits = 1u << kMrRefresh;
  for (const ViewColumn& c : lister->def.columns)
    if (c.searchable) bits |= 1u << kMrSearch;
  if (count > 0) bits |= (1u << kMrFirst) | (1u << kMrLast);
  if (count > 0 && (sel.empty() || sel.back() < count || !lister->complete))
    bits |= 1u << kMrNext;
  if (!sel.empty() && sel.front() > 1) bits |= 1u << kMrPrevious;
  ViewDef editor;
  if (LinkedEditor(lister, editor)) {
    bits |= 1u << kMrNew;
    if (!sel.empty()) bits |= (1u << kMrEdit) | (1u << kMrDelete);
  }
  return bits;
}

bool ListerCommand(HLISTER lister, int code) {
  switch (code) {
    case kMrRefresh: return Load(lister, Reload::KeepSelection);
    case kMrSearch:
      if (lister->search.empty() && !AskSearch(lister)) return false;
      return Load(lister, Reload::Fresh);
    case kMrFirst: Select(lister, 1); return true;
    case kMrLast:
      if (!Fetch(lister, INT_MAX)) return false;
      Select(lister, Fetched(lister));
      return true;
    case kMrNext: {
      const int next = lister->selection.empty() ? 1 : lister->selection.back() + 1;
      if (next > Fetched(lister) && !Fetch(lister, Fetched(lister) + kPageRows)) return false;
      if (next > Fetched(lister)) return false;
      Select(lister, next);
      return true;
    }
    case kMrPrevious: Select(lister, lister->selection.front() - 1); return true;
    case kMrEdit: return OpenEditor(lister, false);
    case kMrNew: return OpenEditor(lister, true);
    case kMrDelete: return DeleteSelected(lister);
    default: return false;
  }
}

bool ReloadLister(HLISTER lister) { return IsLive(lister) && Load(lister, Reload::KeepSelection); }

void MakePicker(HLISTER lister) { lister->picker = true; }

bool PickerEnded(HLISTER lister, bool& picked) {
  picked = lister->picked;
  return lister->ended;
}

DialogTemplate GenericListerTemplate(const ViewDef& def, std::string_view caption) {
  DialogTemplate t;
  t.caption = std::string(caption);
  t.controls.push_back(MakeControl(kListControlId, ControlKind::List, def.name, ""));
  t.controls.push_back(MakeControl(IDOK, ControlKind::Button, "ok", "OK", true));
  t.controls.push_back(MakeControl(IDCANCEL, ControlKind::Button, "cancel", "Cancel"));
  return t;
}

}  // namespace mr

using namespace mr;

HLISTER MrLister_MrListerUserInst(HENVIR envir, std::string_view viewName, DLGPROC dlgProc,
                                  HWND parent, std::string_view extraWhere,
                                  std::string_view caption) {
  std::string why;
  auto lister = std::make_unique<ListerImpl>();
  if (!IsLive(envir)) why = "no environment";
  if (why.empty()) ReadViewDef(viewName, 'L', lister->def, why);
  DbMsg msg;
  if (why.empty() && _DbBktFromCols(SessionOf(envir), lister->def.source,
                                    lister->def.SelectList(), lister->rows, 32, 32,
                                    msg) != kDbOk)
    why = msg.text;
  if (!why.empty()) {
    Lib_Trace("MrLister_MrListerUserInst: " + std::string(viewName) + ": " + why);
    return nullptr;
  }
  // Text is kept whole: a list shows the database's values, and a page ends
  // on a row whose values are exactly the database's.
  for (int col = 1; col <= _BktGetNCols(lister->rows); ++col)
    if (_BktGetColType(lister->rows, col) == kColText)
      _BktSetColInfo(lister->rows, col, _BktGetColName(lister->rows, col), 0, kColText,
                     _BktIsKeyCol(lister->rows, col) ? 1 : 0);
  lister->envir = envir;
  lister->dlgProc = dlgProc;
  lister->extraWhere = std::string(extraWhere);
  std::string title(caption);
  if (title.empty()) title = lister->def.caption.empty() ? lister->def.name : lister->def.caption;
  std::optional<DialogTemplate> tmpl;
  if (lister->def.dialogTemplate != 0) {
    tmpl = LoadDialogTemplate(LbUtil_LanguageInstance(), lister->def.dialogTemplate);
    if (!tmpl)
      Lib_Trace("MrLister: template " + std::to_string(lister->def.dialogTemplate) + " of " +
                std::string(viewName) + " is missing; the generic one is used");
  }
  if (!tmpl) tmpl = GenericListerTemplate(lister->def, title);
  tmpl->caption = title;
  tmpl->controls.push_back(MakeControl(kRowCountControlId, ControlKind::Static, "", ""));
  HLISTER handle = lister.release();
  Register(handle);
  // WM_INITDIALOG binds the window; a procedure that refuses it destroys
  // the window, and WM_DESTROY frees the lister.
  if (CreateDialogIndirectParamW(*tmpl, parent, ListerDlgProc, reinterpret_cast<LPARAM>(handle)) ==
      nullptr) {
    if (IsLive(handle)) {   // not even created: nothing freed it
      Unregister(handle);
      _BktDestroy(&handle->rows);
      delete handle;
    }
    return nullptr;
  }
  return handle;
}

bool MrLister_MrListerBegin(HLISTER lister, std::string_view sizeKey) {
  if (!IsLive(lister)) return false;
  Lib_Trace("MrLister: " + lister->def.name + " placed by " + std::string(sizeKey));
  return Load(lister, Reload::Fresh);
}

HWND MrLister_Hwnd(HLISTER lister) { return IsLive(lister) ? lister->hwnd : nullptr; }

HLISTER MrLister_FromHwnd(HWND hwnd) {
  auto it = ListerWindows().find(hwnd);
  return it == ListerWindows().end() ? nullptr : it->second;
}

std::string MrLister_ViewName(HLISTER lister) {
  return IsLive(lister) ? lister->def.name : std::string();
}

BktHandle MrLister_Rows(HLISTER lister) { return IsLive(lister) ? lister->rows : nullptr; }

std::vector<int> MrLister_Selection(HLISTER lister) {
  return IsLive(lister) ? lister->selection : std::vector<int>();
}

void MrLister_SetSelection(HLISTER lister, const std::vector<int>& rows) {
  if (!IsLive(lister)) return;
  if (!rows.empty()) Fetch(lister, *std::max_element(rows.begin(), rows.end()));
  const int count = Fetched(lister);
  std::vector<int> sel;
  for (int row : rows)
    if (row >= 1 && row <= count) sel.push_back(row);
  std::sort(sel.begin(), sel.end());
  sel.erase(std::unique(sel.begin(), sel.end()), sel.end());
  lister->selection = std::move(sel);
}

int MrLister_FetchRows(HLISTER lister, int row) {
  if (!IsLive(lister)) return 0;
  Fetch(lister, row);
  return Fetched(lister);
}

int MrLister_RowCount(HLISTER lister) {
  if (!IsLive(lister)) return 0;
  return lister->complete ? Fetched(lister) : std::max(lister->total, Fetched(lister));
}

bool MrLister_SetSearch(HLISTER lister, std::string_view column, std::string_view value) {
  std::string error;
  return IsLive(lister) && SetSearchCriterion(lister, column, value, error);
}

bool MrLister_Sort(HLISTER lister, std::string_view column, bool descending) {
  if (!IsLive(lister)) return false;
  const ViewColumn* shown = lister->def.Column(column);
  const int col = _BktGetColNum(lister->rows, shown ? std::string_view(shown->name) : column);
  if (col == 0 || _BktGetColType(lister->rows, col) == kColOpaque) return false;
  lister->sortColumn = _BktGetColName(lister->rows, col);
  lister->sortDescending = descending;
  if (!lister->complete) return Load(lister, Reload::KeepSelection);
  SortRows(lister, col, descending);
  return true;
}

void MrLister_SetMark(HLISTER lister, int row, bool marked) {
  if (!IsLive(lister) || row < 1 || row > Fetched(lister)) return;
  std::vector<int>& marks = lister->marks;
  auto at = std::lower_bound(marks.begin(), marks.end(), row);
  const bool there = at != marks.end() && *at == row;
  if (marked && !there) marks.insert(at, row);
  if (!marked && there) marks.erase(at);
}

bool MrLister_IsMarked(HLISTER lister, int row) {
  return IsLive(lister) && std::binary_search(lister->marks.begin(), lister->marks.end(), row);
}
