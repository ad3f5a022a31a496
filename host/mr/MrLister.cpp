// Listers: a dialog showing the rows a lister definition selects, with the
// module's extra condition and the search criteria the user set, and a
// selection of rows. The framework's dialog procedure handles its own part
// and hands every other message to the module's procedure.
//
// The rows Bucket is made once, typed from the source's columns, and keeps
// its handle: a reload replaces its rows. The selection is a sorted list of
// row numbers; a reload keeps the records selected before it (found again
// by their key columns).
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <numeric>
#include <optional>

#include "host/db/DbView.h"
#include "host/mr/MrInternal.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"

namespace mr {
namespace {

constexpr int kMaxCommand = 4095;   // the command's last index

std::map<HWND, HLISTER>& ListerWindows() {
  static auto* m = new std::map<HWND, HLISTER>;
  return *m;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

HDb Session(HLISTER lister) { return SessionOf(lister->envir); }

std::string CaptionOf(HLISTER lister) { return GetWindowTextW(lister->hwnd); }

// The linked editor's definition; false when the lister has none.
bool LinkedEditor(HLISTER lister, ViewDef& editor) {
  std::string why;
  return !lister->def.linkedView.empty() && ReadViewDef(lister->def.linkedView, 'E', editor, why);
}

// "select <columns> from <source> [where ...] [order by ...]" into `cmd`.
DbCode BuildSelect(HLISTER lister, std::string& cmd) {
  const ViewDef& def = lister->def;
  cmd.clear();
  DbCode code = _DbAppend(cmd, kMaxCommand, "select " + def.SelectList() + " from " + def.source);
  std::vector<std::string> conditions;
  if (!def.where.empty()) conditions.push_back(def.where);
  if (!lister->extraWhere.empty()) conditions.push_back(lister->extraWhere);
  for (const auto& [column, condition] : lister->search) conditions.push_back(condition);
  for (size_t n = 0; code == kDbOk && n < conditions.size(); ++n)
    code = _DbAppend(cmd, kMaxCommand, (n ? " and (" : " where (") + conditions[n] + ")");
  if (code == kDbOk && !def.orderBy.empty())
    code = _DbAppend(cmd, kMaxCommand, " order by " + def.orderBy);
  return code;
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
  for (int& row : lister->selection) row = newRow[static_cast<size_t>(row)];
  std::sort(lister->selection.begin(), lister->selection.end());
}

// Loads the rows; with `keepSelection` the records selected before stay
// selected where they are still listed. False with the error shown.
bool Load(HLISTER lister, bool keepSelection) {
  HDb db = Session(lister);
  BucketHold selected;
  if (keepSelection && !lister->selection.empty() && !lister->def.keys.empty()) {
    _BktClone(selected.get(), 0, 0, lister->rows);
    for (int row : lister->selection) {
      int copy = 0;
      _BktInsert(*selected, 0, copy);
      _BktRowCopy(*selected, copy, lister->rows, row);
    }
  }
  if (lister->def.searchFirst && lister->search.empty()) {
    // Nothing asked for yet: an empty list rather than the whole table.
    _BktDeleteAll(lister->rows);
    lister->selection.clear();
    return true;
  }
  std::string cmd;
  DbMsg msg;
  DbCode code = BuildSelect(lister, cmd);
  if (code == kDbTooLong) msg.Set("The search is too long.");
  if (code == kDbOk) code = _DbCmd(db, cmd, kMaxCommand);
  if (code == kDbOk)
    code = _DbLoadQuery(db, lister->rows, kLoadReplace, 0, 0, 0, "", "", "", "", msg);
  lister->selection.clear();
  if (code != kDbOk) {
    ShowDbError(lister->hwnd, code, msg);
    return false;
  }
  if (*selected) {
    for (int s = 1; s <= _BktCountAll(*selected); ++s)
      for (int row = 1; row <= _BktCountAll(lister->rows); ++row)
        if (SameKeys(lister->def.keys, *selected, s, lister->rows, row)) {
          lister->selection.push_back(row);
          break;
        }
  }
  std::sort(lister->selection.begin(), lister->selection.end());
  lister->selection.erase(std::unique(lister->selection.begin(), lister->selection.end()),
                          lister->selection.end());
  if (!lister->sortColumn.empty()) {
    if (int col = _BktGetColNum(lister->rows, lister->sortColumn))
      SortRows(lister, col, lister->sortDescending);
  }
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
  const int col = _BktGetColNum(lister->rows, column);
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
  std::string condition = c->name;
  const int type = _BktGetColType(lister->rows, col);
  if (type == kColText) {
    // Starts with the value: LIKE with its own wildcards escaped.
    std::string pattern;
    for (char ch : parsed.text) {
      if (ch == '%' || ch == '_' || ch == '\\') pattern += '\\';
      pattern += ch;
    }
    condition += " like ";
    if (_DbQuoteAppend(condition, kMaxCommand, pattern + "%") != kDbOk) {
      error = "The search value is too long.";
      return false;
    }
    condition += " escape '\\'";
  } else {
    condition += "=" + std::to_string(parsed.number);   // millionths for amounts
  }
  lister->search[key] = condition;
  return true;
}

uint32_t ListerBits(HLISTER lister) {
  const int count = _BktCountAll(lister->rows);
  const std::vector<int>& sel = lister->selection;
  uint32_t bits = 1u << kMrRefresh;
  for (const ViewColumn& c : lister->def.columns)
    if (c.searchable) bits |= 1u << kMrSearch;
  if (count > 0) bits |= (1u << kMrFirst) | (1u << kMrLast);
  if (count > 0 && (sel.empty() || sel.back() < count)) bits |= 1u << kMrNext;
  if (!sel.empty() && sel.front() > 1) bits |= 1u << kMrPrevious;
  ViewDef editor;
  if (LinkedEditor(lister, editor)) {
    bits |= 1u << kMrNew;
    if (!sel.empty()) bits |= (1u << kMrEdit) | (1u << kMrDelete);
  }
  return bits;
}

bool ListerCommand(HLISTER lister, int code) {
  const int count = _BktCountAll(lister->rows);
  switch (code) {
    case kMrRefresh: return Load(lister, true);
    case kMrSearch:
      if (lister->search.empty() && !AskSearch(lister)) return false;
      return Load(lister, false);
    case kMrFirst: Select(lister, 1); return true;
    case kMrLast: Select(lister, count); return true;
    case kMrNext:
      Select(lister, lister->selection.empty() ? 1 : lister->selection.back() + 1);
      return true;
    case kMrPrevious: Select(lister, lister->selection.front() - 1); return true;
    case kMrEdit: return OpenEditor(lister, false);
    case kMrNew: return OpenEditor(lister, true);
    case kMrDelete: return DeleteSelected(lister);
    default: return false;
  }
}

bool ReloadLister(HLISTER lister) { return IsLive(lister) && Load(lister, true); }

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
  return Load(lister, false);
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
  const int count = _BktCountAll(lister->rows);
  std::vector<int> sel;
  for (int row : rows)
    if (row >= 1 && row <= count) sel.push_back(row);
  std::sort(sel.begin(), sel.end());
  sel.erase(std::unique(sel.begin(), sel.end()), sel.end());
  lister->selection = std::move(sel);
}

bool MrLister_SetSearch(HLISTER lister, std::string_view column, std::string_view value) {
  std::string error;
  return IsLive(lister) && SetSearchCriterion(lister, column, value, error);
}

bool MrLister_Sort(HLISTER lister, std::string_view column, bool descending) {
  if (!IsLive(lister)) return false;
  const int col = _BktGetColNum(lister->rows, column);
  if (col == 0 || _BktGetColType(lister->rows, col) == kColOpaque) return false;
  lister->sortColumn = _BktGetColName(lister->rows, col);
  lister->sortDescending = descending;
  SortRows(lister, col, descending);
  return true;
}
