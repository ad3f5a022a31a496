// Dialog windows: a window of the dialog class whose procedure hands each
// message to the dialog procedure and, when that did not handle it
// (returned 0), to the default handling. The dialog keeps a copy of its
// template whose controls carry the current values, the default button and
// the focus; the user interface reads and operates it through the calls of
// Dialog.h. Also the clipboard.
//
// Dialogs live on the user-interface thread; the registry lock only guards
// the maps and is never held while a procedure or the observer runs.
#include <algorithm>
#include <functional>
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "host/win32/Dialog.h"
#include "host/win32/DialogInternal.h"

namespace {

constexpr const char* kDialogClass = "#32770";
constexpr int kIdCancel = 2;

// A list control's grid. Rows hold as many cells as there are columns.
struct ListState {
  std::vector<DlgListColumn> columns;
  std::vector<std::vector<std::string>> rows;
  std::vector<int> selection;   // ascending, unique, 1..rows
  std::vector<int> marks;       // ascending, unique, 1..rows
  std::string focusColumn;      // name of the column typed into last
};

struct DialogState {
  DialogTemplate tmpl;     // controls with their current values
  std::map<int, ListState> lists;   // by control id; list controls only
  DLGPROC proc = nullptr;
  int defaultId = 0;
  int focusId = 0;
};

struct DialogRegistry {
  std::mutex mutex;
  std::map<HWND, DialogState> dialogs;   // node addresses stay put: templates are handed out
  std::string clipboard;
};

DialogRegistry& Reg() {
  static DialogRegistry* registry = new DialogRegistry;
  return *registry;
}

std::atomic<DialogObserver> observer{nullptr};

void Tell(HWND dialog, DialogEvent event) {
  if (DialogObserver o = observer.load()) o(dialog, event);
}

DLGPROC ProcOf(HWND hwnd) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.dialogs.find(hwnd);
  return it == reg.dialogs.end() ? nullptr : it->second.proc;
}

// Control `id` of dialog `hwnd` while the caller holds the lock; nullptr
// when either is unknown.
DialogControl* FindControl(DialogRegistry& reg, HWND hwnd, int id) {
  auto it = reg.dialogs.find(hwnd);
  if (it == reg.dialogs.end()) return nullptr;
  for (DialogControl& c : it->second.tmpl.controls)
    if (c.id == id) return &c;
  return nullptr;
}

// The template of dialog `hwnd` while the caller holds the lock.
const DialogTemplate* GetTemplateLocked(DialogRegistry& reg, HWND hwnd) {
  auto it = reg.dialogs.find(hwnd);
  return it == reg.dialogs.end() ? nullptr : &it->second.tmpl;
}

// The grid of list control `id` while the caller holds the lock; nullptr
// when the dialog has no such list.
ListState* FindList(DialogRegistry& reg, HWND hwnd, int id) {
  DialogControl* c = FindControl(reg, hwnd, id);
  if (c == nullptr || c->kind != ControlKind::List) return nullptr;
  return &reg.dialogs[hwnd].lists[id];
}

// `rows` sorted, unique, within 1..count.
std::vector<int> RowSet(std::vector<int> rows, size_t count) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::erase_if(rows, [count](int r) { return r < 1 || static_cast<size_t>(r) > count; });
  return rows;
}

void FitCells(ListState& list) {
  for (std::vector<std::string>& row : list.rows) row.resize(list.columns.size());
}

LRESULT DialogWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  DLGPROC proc = ProcOf(hwnd);
  if (proc == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);  // WM_CREATE
  if (msg == WM_DESTROY) {
    Tell(hwnd, DialogEvent::Destroyed);
    proc(hwnd, msg, wParam, lParam);
    DialogRegistry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.dialogs.erase(hwnd);
    return 0;
  }
  LRESULT result = proc(hwnd, msg, wParam, lParam);
  if (result != 0 || msg == WM_INITDIALOG) return result;
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// The first control that takes input, for the initial focus.
int FirstInputControl(const DialogTemplate& tmpl) {
  for (const DialogControl& c : tmpl.controls)
    if (c.enabled && c.visible && (c.kind == ControlKind::Edit || c.kind == ControlKind::List ||
                      c.kind == ControlKind::Check || c.kind == ControlKind::Radio ||
                      c.kind == ControlKind::Choice || c.kind == ControlKind::Tree))
      return c.id;
  return 0;
}

}  // namespace

HWND CreateDialogIndirectParamW(const DialogTemplate& tmpl, HWND parent, DLGPROC proc,
                                LPARAM param) {
  if (proc == nullptr) return nullptr;
  RegisterClassW(kDialogClass, DialogWndProc);  // false once registered: fine
  HWND hwnd = CreateWindowW(kDialogClass, tmpl.caption, parent);
  if (hwnd == nullptr) return nullptr;
  {
    DialogState state;
    state.tmpl = tmpl;
    state.proc = proc;
    for (const DialogControl& c : tmpl.controls)
      if (c.isDefault) state.defaultId = c.id;
    state.focusId = FirstInputControl(tmpl);
    DialogRegistry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.dialogs[hwnd] = std::move(state);
  }
  SendMessageW(hwnd, WM_INITDIALOG, 0, param);
  if (!IsWindow(hwnd)) return nullptr;  // the procedure gave up on it
  Tell(hwnd, DialogEvent::Created);
  return hwnd;
}

bool IsDialog(HWND hwnd) { return ProcOf(hwnd) != nullptr; }

LRESULT _Win32_DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  // The dialog may be gone already: a procedure that handed the message
  // here itself and then returned 0 brings it here a second time.
  if (!IsDialog(hwnd)) return 0;
  if (msg == WM_CLOSE || (msg == WM_COMMAND && LOWORD(wParam) == kIdCancel)) DestroyWindow(hwnd);
  return 0;
}

const DialogTemplate* GetDialogTemplate(HWND dialog) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.dialogs.find(dialog);
  if (it == reg.dialogs.end()) return nullptr;
  it->second.tmpl.caption = GetWindowTextW(dialog);
  return &it->second.tmpl;
}

bool _Win32_WithDlgControl(HWND dialog, int id, const std::function<bool(DialogControl&)>& use) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  DialogControl* c = FindControl(reg, dialog, id);
  return c != nullptr && use(*c);
}

std::string GetDlgItemTextW(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  DialogControl* c = FindControl(reg, dialog, id);
  return c ? c->text : std::string();
}

bool SetDlgItemTextW(HWND dialog, int id, std::string_view text) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  DialogControl* c = FindControl(reg, dialog, id);
  if (c == nullptr) return false;
  // A choice holds only one of its options (or none).
  if (c->kind == ControlKind::Choice && !text.empty() &&
      std::find(c->options.begin(), c->options.end(), text) == c->options.end())
    return false;
  c->text = std::string(text);
  return true;
}

bool EnableDlgItem(HWND dialog, int id, bool enabled) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  DialogControl* c = FindControl(reg, dialog, id);
  if (c == nullptr) return false;
  c->enabled = enabled;
  return true;
}

bool SetDefaultDlgButton(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  DialogControl* c = FindControl(reg, dialog, id);
  if (c == nullptr || c->kind != ControlKind::Button) return false;
  DialogState& state = reg.dialogs[dialog];
  for (DialogControl& other : state.tmpl.controls) other.isDefault = other.id == id;
  state.defaultId = id;
  return true;
}

int GetDefaultDlgButton(HWND dialog) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.dialogs.find(dialog);
  return it == reg.dialogs.end() ? 0 : it->second.defaultId;
}

void SetDlgFocus(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (FindControl(reg, dialog, id)) reg.dialogs[dialog].focusId = id;
}

int GetDlgFocus(HWND dialog) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.dialogs.find(dialog);
  return it == reg.dialogs.end() ? 0 : it->second.focusId;
}

bool CheckDlgButton(HWND dialog, int id, bool checked) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  DialogControl* c = FindControl(reg, dialog, id);
  if (c == nullptr) return false;
  if (c->kind == ControlKind::Check) {
    c->checked = checked;
    return true;
  }
  if (c->kind != ControlKind::Radio || !checked) return false;
  for (int other : RadioGroupOf(*GetTemplateLocked(reg, dialog), id))
    FindControl(reg, dialog, other)->checked = other == id;
  return true;
}

bool CheckRadioButton(HWND dialog, int first, int last, int id) {
  {
    DialogRegistry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const DialogTemplate* t = GetTemplateLocked(reg, dialog);
    if (t == nullptr) return false;
    const std::vector<int> group = RadioGroupOf(*t, id);
    auto at = [&group](int x) { return std::find(group.begin(), group.end(), x) - group.begin(); };
    const auto from = at(first), to = at(last), pos = at(id);
    if (from > pos || pos > to || to == static_cast<long>(group.size())) return false;
  }
  return CheckDlgButton(dialog, id, true);
}

std::vector<int> RadioGroupOf(const DialogTemplate& tmpl, int id) {
  std::vector<int> group;
  bool found = false;
  for (const DialogControl& c : tmpl.controls) {
    if (c.kind != ControlKind::Radio || c.groupStart) {
      if (found) break;
      group.clear();
    }
    if (c.kind != ControlKind::Radio) continue;
    group.push_back(c.id);
    found = found || c.id == id;
  }
  if (!found) group.clear();
  return group;
}

bool IsDlgButtonChecked(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  DialogControl* c = FindControl(reg, dialog, id);
  return c && (c->kind == ControlKind::Check || c->kind == ControlKind::Radio) && c->checked;
}

void SetDlgListColumns(HWND dialog, int id, const std::vector<DlgListColumn>& columns) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (ListState* list = FindList(reg, dialog, id)) {
    list->columns = columns;
    FitCells(*list);
  }
}

std::vector<DlgListColumn> GetDlgListColumns(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  ListState* list = FindList(reg, dialog, id);
  return list ? list->columns : std::vector<DlgListColumn>();
}

void SetDlgListRows(HWND dialog, int id, const std::vector<std::vector<std::string>>& rows) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  ListState* list = FindList(reg, dialog, id);
  if (list == nullptr) return;
  list->rows = rows;
  FitCells(*list);
  list->selection = RowSet(std::move(list->selection), rows.size());
  list->marks = RowSet(std::move(list->marks), rows.size());
}

std::vector<std::vector<std::string>> GetDlgListRows(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  ListState* list = FindList(reg, dialog, id);
  return list ? list->rows : std::vector<std::vector<std::string>>();
}

std::vector<int> GetDlgListSelection(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  ListState* list = FindList(reg, dialog, id);
  return list ? list->selection : std::vector<int>();
}

void SetDlgListSelection(HWND dialog, int id, const std::vector<int>& rows) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (ListState* list = FindList(reg, dialog, id)) list->selection = RowSet(rows, list->rows.size());
}

void SetDlgListMarks(HWND dialog, int id, const std::vector<int>& rows) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (ListState* list = FindList(reg, dialog, id)) list->marks = RowSet(rows, list->rows.size());
}

std::vector<int> GetDlgListMarks(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  ListState* list = FindList(reg, dialog, id);
  return list ? list->marks : std::vector<int>();
}

bool SetDlgListCell(HWND dialog, int id, int row, int column, std::string_view text) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  ListState* list = FindList(reg, dialog, id);
  if (list == nullptr || row < 1 || static_cast<size_t>(row) > list->rows.size() || column < 0 ||
      static_cast<size_t>(column) >= list->columns.size())
    return false;
  list->rows[row - 1][column] = std::string(text);
  return true;
}

std::string GetDlgListFocusColumn(HWND dialog, int id) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  ListState* list = FindList(reg, dialog, id);
  return list ? list->focusColumn : std::string();
}

void SetDlgListFocusColumn(HWND dialog, int id, std::string_view column) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (ListState* list = FindList(reg, dialog, id)) list->focusColumn = std::string(column);
}

void _Win32_SetDialogObserver(DialogObserver o) { observer.store(o); }

void SetClipboardText(std::string_view text) {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  reg.clipboard = std::string(text);
}

std::string GetClipboardText() {
  DialogRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return reg.clipboard;
}
