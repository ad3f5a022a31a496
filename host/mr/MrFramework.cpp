// The framework's common ground: view definitions as records, values as a
// person reads and types them, its messages, the registry of environments,
// listers and editors, and the framework codes on the top window.
#include <algorithm>
#include <cctype>
#include <set>

#include "host/db/DbDabs.h"
#include "host/db/DbView.h"
#include "host/mr/MrInternal.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace mr {

namespace {

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Text(BktHandle bkt, int row, std::string_view column) {
  int col = _BktGetColNum(bkt, column);
  return col ? _ColGetStringW(bkt, row, col) : std::string();
}

int64_t Number(BktHandle bkt, int row, std::string_view column) {
  int col = _BktGetColNum(bkt, column);
  if (col == 0 || _ColIsNull(bkt, row, col)) return 0;
  return _ColGetInt(bkt, row, col);
}

int SizeMinus1(int type) { return type == kColInt32 ? 3 : type == kColInt16 ? 1 : 0; }

bool ParseWhole(std::string_view text, int64_t& out) {
  std::string t = Trim(text);
  size_t i = t.size() > 0 && (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size() || t.size() > 12) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(t[k]))) return false;
  out = std::stoll(t);
  return true;
}

// Registry of live objects: handles are checked before use, so a stale one
// (a window closed meanwhile) is refused rather than followed.
std::set<HENVIR>& Envirs() { static auto* s = new std::set<HENVIR>; return *s; }
std::set<HLISTER>& Listers() { static auto* s = new std::set<HLISTER>; return *s; }
std::set<HEDITOR>& Editors() { static auto* s = new std::set<HEDITOR>; return *s; }
// Bits the module gave its windows (MrProc_SetWindowMenuBits), and the codes
// it withholds on them (MrProc_WithholdCodes); an entry goes with its window.
std::map<HWND, uint32_t>& ModuleBits() { static auto* m = new std::map<HWND, uint32_t>; return *m; }
std::map<HWND, uint32_t>& Withheld() { static auto* m = new std::map<HWND, uint32_t>; return *m; }

void TraceCode(int code, HWND hwnd, std::string_view outcome) {
  if (Lib_TraceOn())
    Lib_Trace("MrProc: code " + std::to_string(code) + " on \"" + GetWindowTextW(hwnd) + "\": " +
              std::string(outcome));
}

}  // namespace

// ---- definitions -----------------------------------------------------------------------

const ViewColumn* ViewDef::Column(std::string_view column) const {
  const std::string wanted = Lower(column);
  for (const ViewColumn& c : columns)
    if (Lower(c.name) == wanted) return &c;
  // A person names a column by the heading they see.
  for (const ViewColumn& c : columns)
    if (Lower(c.heading) == wanted) return &c;
  return nullptr;
}

std::string ViewDef::SelectList() const {
  std::string out;
  for (const ViewColumn& c : columns) out += (out.empty() ? "" : ",") + c.name;
  for (const std::string& k : keys)
    if (!Column(k)) out += (out.empty() ? "" : ",") + k;
  return out;
}

bool ReadViewDef(std::string_view name, char kind, ViewDef& out, std::string& why) {
  BktHandle bkt = nullptr;
  int row = 0;
  bool found = kind == 'L' ? DbView_GetListViewBktRow(name, bkt, row)
                           : DbView_GetEdViewBktRow(name, bkt, row);
  if (!found) {
    why = std::string(kind == 'L' ? "lister" : "editor") + " definition '" + std::string(name) +
          "' is unknown";
    return false;
  }
  out = ViewDef{};
  out.name = Text(bkt, row, "view_name");
  out.kind = kind;
  out.source = Trim(Text(bkt, row, "source"));
  std::string keys = Text(bkt, row, "key_columns");
  for (size_t start = 0; start <= keys.size();) {
    size_t comma = keys.find(',', start);
    if (comma == std::string::npos) comma = keys.size();
    std::string key = Trim(std::string_view(keys).substr(start, comma - start));
    if (!key.empty()) out.keys.push_back(key);
    start = comma + 1;
  }
  out.where = Trim(Text(bkt, row, "where_clause"));
  out.orderBy = Trim(Text(bkt, row, "order_by"));
  out.caption = Text(bkt, row, "caption");
  out.dialogTemplate = static_cast<int>(Number(bkt, row, "dialog_template"));
  out.linkedView = Trim(Text(bkt, row, "linked_view"));
  out.searchFirst = Number(bkt, row, "search_first") != 0;
  BktHandle cols = nullptr;
  int first = 0, last = -1;
  if (!DbView_GetColumnRows(name, cols, first, last)) {
    why = "view definition '" + std::string(name) + "' has no columns";
    return false;
  }
  for (int r = first; r <= last; ++r) {
    ViewColumn c;
    c.name = Trim(Text(cols, r, "column_name"));
    c.heading = Text(cols, r, "heading");
    if (c.heading.empty()) c.heading = c.name;
    c.format = Lower(Trim(Text(cols, r, "format")));
    c.width = static_cast<int>(Number(cols, r, "width"));
    c.editable = Number(cols, r, "editable") != 0;
    c.searchable = Number(cols, r, "searchable") != 0;
    out.columns.push_back(std::move(c));
  }
  if (out.source.empty()) {
    why = "view definition '" + std::string(name) + "' names no source";
    return false;
  }
  return true;
}

// ---- values ------------------------------------------------------------------------------

std::string FormatCell(BktHandle bkt, int row, int col, std::string_view format) {
  if (_ColIsNull(bkt, row, col)) return {};
  const int type = _BktGetColType(bkt, col);
  switch (type) {
    case kColByte:
    case kColInt16:
    case kColInt32: {
      int64_t v = 0;
      _ColGetScalar(bkt, row, col, v, SizeMinus1(type));
      if (format == "date") return DbDabs_DateToStr(static_cast<DayNum>(v));
      if (format == "bool") return v ? "Yes" : "No";
      return std::to_string(v);
    }
    case kColDec64: {
      Dec64 v = _ColGetDec64(bkt, row, col);
      return format == "money" ? LbDec64_StrFrom64(v, DbDabs_QueryMoneyFmt(0))
                               : LbDec64_StrFrom64(v);
    }
    case kColText: return _ColGetStringW(bkt, row, col);
    default: return {};
  }
}

bool ParseForColumn(BktHandle bkt, int col, std::string_view format, std::string_view text,
                    ParsedValue& out, std::string& error) {
  out = ParsedValue{};
  const int type = _BktGetColType(bkt, col);
  const std::string shown = "\"" + std::string(text) + "\"";
  if (Trim(text).empty()) {
    out.isNull = true;
    return true;
  }
  switch (type) {
    case kColByte:
    case kColInt16:
    case kColInt32: {
      int64_t v = 0;
      if (format == "date") {
        DayNum day = 0;
        if (!DbDabs_StrToDate(Trim(text), day)) {
          error = shown + " is not a date (YYYY-MM-DD).";
          return false;
        }
        v = day;
      } else if (format == "bool") {
        std::string t = Lower(Trim(text));
        if (t == "yes" || t == "y" || t == "1" || t == "true" || t == "on") {
          v = 1;
        } else if (t == "no" || t == "n" || t == "0" || t == "false" || t == "off") {
          v = 0;
        } else {
          error = shown + " is not Yes or No.";
          return false;
        }
      } else if (!ParseWhole(text, v)) {
        error = shown + " is not a whole number.";
        return false;
      }
      const int64_t low = type == kColInt32 ? INT32_MIN : type == kColInt16 ? -32768 : 0;
      const int64_t high = type == kColInt32 ? INT32_MAX : type == kColInt16 ? 32767 : 255;
      if (format != "date" && (v < low || v > high)) {
        error = shown + " is out of range (" + std::to_string(low) + " to " +
                std::to_string(high) + ").";
        return false;
      }
      out.number = v;
      return true;
    }
    case kColDec64: {
      std::optional<Dec64> v = LbDec64_StrTo64(text);
      if (!v) {
        error = shown + " is not an amount.";
        return false;
      }
      out.number = v->raw;
      return true;
    }
    case kColText: {
      const int length = _BktGetColLength(bkt, col);
      if (length > 0 && Lb_CharCount(text) > static_cast<size_t>(length)) {
        error = shown + " is longer than " + std::to_string(length) + " characters.";
        return false;
      }
      out.text = std::string(text);
      return true;
    }
    default:
      error = "This field cannot be typed into.";
      return false;
  }
}

void StoreParsed(BktHandle bkt, int row, int col, const ParsedValue& value) {
  if (value.isNull) {
    _ColSetNull(bkt, row, col);
    return;
  }
  switch (_BktGetColType(bkt, col)) {
    case kColDec64: _ColSetDec64(bkt, row, col, Dec64::FromRaw(value.number)); break;
    case kColText: _ColSetTextW(bkt, row, col, value.text); break;
    default:
      _ColSetScalar(bkt, row, col, value.number, SizeMinus1(_BktGetColType(bkt, col)));
  }
}

std::string SqlLiteral(BktHandle bkt, int row, int col) {
  if (_ColIsNull(bkt, row, col)) return "null";
  const int type = _BktGetColType(bkt, col);
  if (type == kColText) {
    std::string out;
    std::string value = _ColGetStringW(bkt, row, col);
    // The buffer limit is the command's; a key value always fits it.
    if (_DbQuoteAppend(out, static_cast<int>(value.size()) * 2 + 8, value) != kDbOk) return "null";
    return out;
  }
  if (type == kColDec64) return std::to_string(_ColGetDec64(bkt, row, col).raw);  // millionths
  int64_t v = 0;
  _ColGetScalar(bkt, row, col, v, SizeMinus1(type));
  return std::to_string(v);
}

bool KeyWhere(const std::vector<std::string>& keys, BktHandle bkt, int row, std::string& out) {
  out.clear();
  if (keys.empty()) return false;
  for (const std::string& key : keys) {
    int col = _BktGetColNum(bkt, key);
    if (col == 0) return false;
    std::string literal = SqlLiteral(bkt, row, col);
    out += (out.empty() ? "" : " and ") + key + (literal == "null" ? " is null" : "=" + literal);
  }
  return true;
}

bool SameKeys(const std::vector<std::string>& keys, BktHandle ba, int a, BktHandle bb, int b) {
  if (keys.empty()) return false;
  for (const std::string& key : keys) {
    int ca = _BktGetColNum(ba, key), cb = _BktGetColNum(bb, key);
    if (ca == 0 || cb == 0 || _BktGetColType(ba, ca) != _BktGetColType(bb, cb) ||
        _ColCompare(ba, a, ca, bb, b, cb) != 0)
      return false;
  }
  return true;
}

// ---- writes ----------------------------------------------------------------------------------

DbCode WriteInTransaction(HDb db, const std::function<DbCode(DbMsg&)>& write,
                          const std::function<void()>& undo, DbMsg& msg) {
  constexpr int kTries = 6;
  const int before = _DbTransDepth(db);
  DbCode code = kDbOk;
  for (int attempt = 1;; ++attempt) {
    msg.Clear();
    _DbBeginTrans(db);
    code = write(msg);
    if (code == kDbOk) code = _DbCommitTrans(db, msg);
    if (code == kDbOk) return kDbOk;
    DbMsg ignored;   // the write's failure is the one to tell
    if (_DbTransDepth(db) > before) (void)_DbRollbackTrans(db, "MrFramework.Write", ignored);
    undo();
    if (before > 0 || code != kDbBusy || attempt == kTries) return code;
    _DbConflictPause(attempt);
  }
}

// ---- messages ------------------------------------------------------------------------------

void ShowDbError(HWND owner, DbCode code, const DbMsg& msg) {
  MucTools_MsgBoxCap(owner, _DbErrStr(code, msg), MB_OK | MB_ICONERROR);
}

void ShowUserError(HWND owner, std::string_view caption, std::string_view text) {
  MucTools_MsgBox(owner, caption, text, MB_OK | MB_ICONWARNING);
}

bool AskDelete(HWND owner, int count) {
  return MucTools_MsgBox(owner, "Delete", "Delete " + std::to_string(count) + " record(s)?",
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool RecordChangeAllowed(HWND editor, UINT request) {
  if (!IsWindow(PwMucBase_hwndClient)) return true;   // no module to ask
  // The lister the editor came from tells the module whose records these
  // are (a PO list's editor edits POs) when the editor is not its own.
  const HEDITOR opened = MrEditor_FromHwnd(editor);
  const HWND lister = opened != nullptr && IsWindow(opened->listerHwnd) ? opened->listerHwnd
                                                                        : nullptr;
  return SendMessageW(PwMucBase_hwndClient, request, reinterpret_cast<WPARAM>(editor),
                      reinterpret_cast<LPARAM>(lister)) != 0;
}

bool RouteCommandToClient(HWND dialog, WPARAM wParam) {
  const int id = LOWORD(wParam);
  const uint16_t note = HIWORD(wParam);
  if ((note != BN_CLICKED && note != ACCEL_COMMAND) || !IsWindow(PwMucBase_hwndClient) ||
      dialog == PwMucBase_hwndClient)
    return false;
  if (const DialogTemplate* t = GetDialogTemplate(dialog))
    for (const DialogControl& c : t->controls)
      if (c.id == id) return false;
  SendMessageW(PwMucBase_hwndClient, WM_COMMAND, wParam, 0);
  return true;
}

// ---- registry ------------------------------------------------------------------------------

bool IsLive(HENVIR envir) { return envir && Envirs().count(envir); }
bool IsLive(HLISTER lister) { return lister && Listers().count(lister); }
bool IsLive(HEDITOR editor) { return editor && Editors().count(editor); }
void Register(HLISTER lister) { Listers().insert(lister); }
void Register(HEDITOR editor) { Editors().insert(editor); }
void Unregister(HLISTER lister) { Listers().erase(lister); }
void Unregister(HEDITOR editor) { Editors().erase(editor); }

void AttachWindow(HENVIR envir, HWND hwnd) {
  if (IsLive(envir)) envir->windows.push_back(hwnd);
}

void DetachWindow(HENVIR envir, HWND hwnd) {
  ModuleBits().erase(hwnd);
  Withheld().erase(hwnd);
  if (!IsLive(envir)) return;
  auto& windows = envir->windows;
  windows.erase(std::remove(windows.begin(), windows.end(), hwnd), windows.end());
  if (windows.empty()) {
    Envirs().erase(envir);
    delete envir;
  }
}

HDb SessionOf(HENVIR envir) { return IsLive(envir) ? envir->session : nullptr; }

}  // namespace mr

using namespace mr;

// ---- environments --------------------------------------------------------------------------

HENVIR MrProc_NewEnvir(HDb session, std::string_view name) {
  auto* envir = new EnvirImpl{session, std::string(name), {}};
  Envirs().insert(envir);
  return envir;
}

void MrProc_FreeEnvir(HENVIR* envir) {
  if (envir == nullptr || !IsLive(*envir)) return;
  HENVIR doomed = *envir;
  *envir = nullptr;
  // Its windows go first; the last one to go frees the environment.
  const std::vector<HWND> windows = doomed->windows;
  for (HWND hwnd : windows) {
    MrProc_UnregisterContextWindow(hwnd);
    DestroyWindow(hwnd);
  }
  if (IsLive(doomed)) {
    Envirs().erase(doomed);
    delete doomed;
  }
}

std::string MrProc_EnvirName(HENVIR envir) { return IsLive(envir) ? envir->name : std::string(); }

// ---- the framework on the top window ---------------------------------------------------------

HWND KtWin_GetTopKtWnd() { return MucTools_GetCurrKtView(); }

uint32_t MrProc_MrProcMenuSet(HWND hwnd) {
  uint32_t bits = 0;
  if (auto it = ModuleBits().find(hwnd); it != ModuleBits().end()) bits = it->second;
  if (HLISTER lister = MrLister_FromHwnd(hwnd)) bits |= ListerBits(lister);
  if (HEDITOR editor = MrEditor_FromHwnd(hwnd)) bits |= EditorBits(editor);
  if (auto it = Withheld().find(hwnd); it != Withheld().end()) bits &= ~it->second;
  return bits;
}

void MrProc_SetWindowMenuBits(HWND hwnd, uint32_t bits) {
  // Entries of windows closed meanwhile go (a handle never comes back).
  std::erase_if(ModuleBits(), [](const auto& entry) { return !IsWindow(entry.first); });
  if (IsWindow(hwnd)) ModuleBits()[hwnd] = bits;
}

void MrProc_WithholdCodes(HWND hwnd, uint32_t bits) {
  std::erase_if(Withheld(), [](const auto& entry) { return !IsWindow(entry.first); });
  if (IsWindow(hwnd)) Withheld()[hwnd] = bits;
}

bool MrProc_MrProcCmd(HDb, int code, HWND) {
  HWND top = KtWin_GetTopKtWnd();
  if (code < 0 || code > 31 || (MrProc_MrProcMenuSet(top) & (1u << code)) == 0) {
    TraceCode(code, top, "not available");
    return false;
  }
  HLISTER lister = MrLister_FromHwnd(top);
  HEDITOR editor = MrEditor_FromHwnd(top);
  if (lister == nullptr && editor == nullptr) return false;   // a module bit: the module acts
  // The module decides every time: a privilege granted once by another
  // user's authorisation covers that one run, not the next search.
  if (SendMessageW(top, kMrQueryCode, static_cast<WPARAM>(code), 0) != 0) {
    TraceCode(code, top, "refused by the window");
    return false;
  }
  // The module's answer may have closed the window (or its editor).
  lister = MrLister_FromHwnd(top);
  editor = MrEditor_FromHwnd(top);
  const bool done = lister ? ListerCommand(lister, code) : editor ? EditorCommand(editor, code)
                                                                  : false;
  TraceCode(code, top, done ? "done" : "not done");
  if (IsWindow(top)) SendMessageW(top, kMrCodeDone, static_cast<WPARAM>(code), done ? 1 : 0);
  return done;
}
