// The UI drivers' actions on the top window, done the way a person does
// them: typing into a field changes the control and tells the dialog
// (EN_CHANGE), a click is WM_COMMAND with the button's id, a key goes
// through the window's accelerator table, then the frame's, then the
// dialog keys (Enter: the default button, Escape: cancel).
//
// Besides a lister's rows a window may show lists of its own: an editor's
// child rows and the list controls of a dialog (grids). A person selects
// their rows and types into a cell of the one selected row; columns are
// named by name or by the heading shown.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <optional>

#include "host/mr/MrInternal.h"
#include "host/mr/MrUi.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/win32/DialogTree.h"

namespace mr {

// Modal windows of the framework, innermost last (see RunModal).
std::vector<HWND>& ModalWindows() {
  static auto* windows = new std::vector<HWND>;
  return *windows;
}

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The window actions apply to: the innermost modal window while one waits,
// else the current view.
HWND Target() {
  std::vector<HWND>& modal = ModalWindows();
  while (!modal.empty() && !IsWindow(modal.back())) modal.pop_back();
  return modal.empty() ? KtWin_GetTopKtWnd() : modal.back();
}

bool Fail(std::string& error, std::string reason) {
  error = std::move(reason);
  return false;
}

// A button's text as a person reads it ("&Open" reads "Open").
std::string Label(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != '&') out.push_back(c);
  return out;
}

bool IsNumber(std::string_view s) {
  return !s.empty() && s.size() <= 5 && std::all_of(s.begin(), s.end(), [](char c) {
           return std::isdigit(static_cast<unsigned char>(c));
         });
}

// Control `which` (an id, a name, or for buttons the text) of one of the
// kinds `fits` accepts; nullptr when there is none.
template <typename Fits>
const DialogControl* FindControl(const DialogTemplate& t, std::string_view which, Fits fits) {
  const int id = IsNumber(which) ? std::stoi(std::string(which)) : -1;
  const std::string wanted = Lower(which);
  for (const DialogControl& c : t.controls)
    if (fits(c.kind) && (c.id == id || (!c.name.empty() && Lower(c.name) == wanted))) return &c;
  for (const DialogControl& c : t.controls)
    if (fits(c.kind) && c.kind == ControlKind::Button && Lower(Label(c.text)) == wanted) return &c;
  return nullptr;
}

bool IsField(ControlKind k) {
  return k == ControlKind::Edit || k == ControlKind::Check || k == ControlKind::Radio ||
         k == ControlKind::Choice;
}
bool IsButton(ControlKind k) { return k == ControlKind::Button; }

void Click(HWND hwnd, int id) {
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(id), BN_CLICKED), 0);
}

// Dialogs under `root` (itself included), newest first.
void CollectDialogs(HWND root, std::vector<HWND>& out) {
  if (IsDialog(root)) out.push_back(root);
  for (HWND child = GetFirstChild(root); child; child = GetNextSibling(child))
    CollectDialogs(child, out);
}

// Every dialog of the frame, newest first.
std::vector<HWND> AllDialogs() {
  std::vector<HWND> dialogs;
  HWND root = PwMucBase_hwndFrame ? PwMucBase_hwndFrame : Target();
  while (root && GetParent(root)) root = GetParent(root);
  if (root) CollectDialogs(root, dialogs);
  return dialogs;
}

bool SelectWindow(const UiAction& a, std::string& error) {
  std::vector<HWND> dialogs;
  if (!ModalWindows().empty())
    dialogs.push_back(Target());
  else
    dialogs = AllDialogs();
  for (HWND hwnd : dialogs) {
    if (GetWindowTextW(hwnd).find(a.text) == std::string::npos) continue;
    MucTools_SetCurrKtView(hwnd);
    if (UiDriver* driver = Ui_Driver())
      driver->Notice("window", "current " + Quoted(GetWindowTextW(hwnd)));
    return true;
  }
  return Fail(error, ModalWindows().empty()
                         ? "no window's caption contains " + Quoted(a.text)
                         : Quoted(GetWindowTextW(Target())) + " waits for an answer first");
}

// The text of row `row` of the lister as shown, one cell per column.
std::vector<std::string> RowCells(HLISTER lister, int row) {
  std::vector<std::string> cells;
  for (const ViewColumn& c : lister->def.columns) {
    int col = _BktGetColNum(lister->rows, c.name);
    cells.push_back(col ? FormatCell(lister->rows, row, col, c.format) : std::string());
  }
  return cells;
}

// ---- grids: an editor's child rows, a dialog's list controls ----------------------------------

struct Grid {
  HEDITOR editor = nullptr;   // its child rows; else list control `id` of `dialog`
  HWND dialog = nullptr;
  int id = 0;
  std::string name;
};

// The grids of `hwnd`, the editor's child rows first, then list controls
// (those given columns) in template order.
std::vector<Grid> Grids(HWND hwnd) {
  std::vector<Grid> out;
  if (HEDITOR editor = MrEditor_FromHwnd(hwnd); editor && editor->childRows)
    out.push_back(Grid{editor, hwnd, kMrChildListId, "rows"});
  std::vector<DialogControl> lists;   // copies: the calls below look the dialog up again
  if (const DialogTemplate* t = GetDialogTemplate(hwnd))
    for (const DialogControl& c : t->controls)
      if (c.kind == ControlKind::List && c.visible) lists.push_back(c);
  for (const DialogControl& c : lists)
    if (!GetDlgListColumns(hwnd, c.id).empty())
      out.push_back(Grid{nullptr, hwnd, c.id, c.name.empty() ? std::to_string(c.id) : c.name});
  return out;
}

std::vector<std::string> Headings(const Grid& g) {
  std::vector<std::string> out;
  if (g.editor) {
    for (const ViewColumn& c : g.editor->childColumns) out.push_back(c.heading);
  } else {
    for (const DlgListColumn& c : GetDlgListColumns(g.dialog, g.id))
      out.push_back(c.heading.empty() ? c.name : c.heading);
  }
  return out;
}

std::vector<UiWindowView::Row> GridRows(const Grid& g) {
  std::vector<UiWindowView::Row> out;
  if (g.editor) {
    const std::vector<int>& sel = g.editor->childSelection;
    BktHandle rows = g.editor->childRows;
    for (int row = 1; row <= _BktCountAll(rows); ++row)
      out.push_back(UiWindowView::Row{ChildCells(g.editor, row),
                                      std::binary_search(sel.begin(), sel.end(), row),
                                      _BktGetState(rows, row) == kRowDeleted ? "deleted" : ""});
    return out;
  }
  const std::vector<int> sel = GetDlgListSelection(g.dialog, g.id);
  const std::vector<int> marks = GetDlgListMarks(g.dialog, g.id);
  int row = 0;
  for (std::vector<std::string>& cells : GetDlgListRows(g.dialog, g.id)) {
    ++row;
    out.push_back(UiWindowView::Row{std::move(cells),
                                    std::binary_search(sel.begin(), sel.end(), row),
                                    std::binary_search(marks.begin(), marks.end(), row)
                                        ? "marked" : ""});
  }
  return out;
}

std::vector<int> GridSelection(const Grid& g) {
  return g.editor ? MrEditor_ChildSelection(g.editor) : GetDlgListSelection(g.dialog, g.id);
}

// The index of the column named or headed `column`; -1 when none.
int GridColumn(const Grid& g, std::string_view column) {
  if (g.editor) return ChildColumn(g.editor, column);
  const std::vector<DlgListColumn> columns = GetDlgListColumns(g.dialog, g.id);
  const std::string wanted = Lower(column);
  for (size_t n = 0; n < columns.size(); ++n)
    if (Lower(columns[n].name) == wanted) return static_cast<int>(n);
  for (size_t n = 0; n < columns.size(); ++n)
    if (!columns[n].heading.empty() && Lower(columns[n].heading) == wanted)
      return static_cast<int>(n);
  return -1;
}

void SelectGridRows(const Grid& g, const std::vector<int>& rows) {
  if (g.editor) {
    SelectChildRows(g.editor, rows);
    return;
  }
  SetDlgListSelection(g.dialog, g.id, rows);
  SetDlgFocus(g.dialog, g.id);
  SendMessageW(g.dialog, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(g.id), LBN_SELCHANGE), 0);
}

// The grids of `hwnd` with the one `select` works on first: the focused
// list control, else the first grid.
std::vector<Grid> GridsCurrentFirst(HWND hwnd) {
  std::vector<Grid> grids = Grids(hwnd);
  const int focus = GetDlgFocus(hwnd);
  auto current = std::find_if(grids.begin(), grids.end(),
                              [focus](const Grid& g) { return !g.editor && g.id == focus; });
  if (current != grids.end()) std::rotate(grids.begin(), current, current + 1);
  return grids;
}

bool SelectGridRowsAction(const Grid& g, const UiAction& a, std::string& error) {
  const std::vector<UiWindowView::Row> shown = GridRows(g);
  const int count = static_cast<int>(shown.size());
  std::vector<int> rows;
  if (!a.text.empty()) {
    const std::string wanted = Lower(a.text);
    for (int row = 1; row <= count; ++row)
      for (const std::string& cell : shown[static_cast<size_t>(row - 1)].cells)
        if (Lower(cell).find(wanted) != std::string::npos) {
          rows.push_back(row);
          break;
        }
    if (rows.empty()) return Fail(error, "no row contains " + Quoted(a.text));
  }
  for (int row : a.rows) {
    if (row > count)
      return Fail(error, "there is no row " + std::to_string(row) + " (" +
                             std::to_string(count) + " rows)");
    rows.push_back(row);
  }
  SelectGridRows(g, rows);
  return true;
}

// `field COLUMN "v"` on a grid: the cell of the one selected row. A value
// the window refuses (not a number, say) is told by the window.
bool TypeIntoGridCell(HWND top, const Grid& g, int column, const UiAction& a,
                      std::string& error) {
  const std::vector<int> sel = GridSelection(g);
  if (sel.size() != 1)
    return Fail(error, "select one row of the list before typing into " + Quoted(a.name) + " (" +
                           std::to_string(sel.size()) + " selected)");
  const int row = sel.front();
  if (g.editor) {
    std::string why;
    if (!ChildCellTakesTyping(g.editor, row, column, why)) return Fail(error, why);
    if (!TypeIntoChildCell(g.editor, row, column, a.text, why))
      ShowUserError(top, GetWindowTextW(top), why);
    return true;
  }
  const std::vector<DlgListColumn> columns = GetDlgListColumns(g.dialog, g.id);
  const DlgListColumn& c = columns[static_cast<size_t>(column)];
  if (!c.editable)
    return Fail(error, "the column " + Quoted(c.heading.empty() ? c.name : c.heading) +
                           " is read-only");
  SetDlgListCell(g.dialog, g.id, row, column, a.text);
  SetDlgListFocusColumn(g.dialog, g.id, c.name);
  SetDlgFocus(g.dialog, g.id);
  SendMessageW(g.dialog, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(g.id), EN_CHANGE), 0);
  return true;
}

bool SelectRows(HWND top, const UiAction& a, std::string& error) {
  HLISTER lister = MrLister_FromHwnd(top);
  if (lister == nullptr) {
    const std::vector<Grid> grids = GridsCurrentFirst(top);
    if (!grids.empty()) return SelectGridRowsAction(grids.front(), a, error);
    return Fail(error, Quoted(GetWindowTextW(top)) + " has no rows to select");
  }
  // A long list fetches rows as they are reached: first down to the rows
  // asked for (every row when a text is looked for).
  int wanted = a.text.empty() ? 0 : INT_MAX;
  for (int row : a.rows) wanted = std::max(wanted, row);
  const int count = MrLister_FetchRows(lister, wanted);
  std::vector<int> rows;
  if (!a.text.empty()) {
    const std::string wanted = Lower(a.text);
    for (int row = 1; row <= count; ++row)
      for (const std::string& cell : RowCells(lister, row))
        if (Lower(cell).find(wanted) != std::string::npos) {
          rows.push_back(row);
          break;
        }
    if (rows.empty()) return Fail(error, "no row contains " + Quoted(a.text));
  }
  for (int row : a.rows) {
    if (row > count)
      return Fail(error, "there is no row " + std::to_string(row) + " (" +
                             std::to_string(count) + " rows)");
    rows.push_back(row);
  }
  MrLister_SetSelection(lister, rows);
  return true;
}

bool SortRows(HWND top, const UiAction& a, std::string& error) {
  HLISTER lister = MrLister_FromHwnd(top);
  if (lister == nullptr) return Fail(error, Quoted(GetWindowTextW(top)) + " has no rows to sort");
  const ViewColumn* c = lister->def.Column(a.name);
  if (c == nullptr || !MrLister_Sort(lister, c->name, a.descending))
    return Fail(error, "the list has no column " + Quoted(a.name));
  return true;
}

bool Search(HWND top, const UiAction& a, std::string& error) {
  HLISTER lister = MrLister_FromHwnd(top);
  if (lister == nullptr) return Fail(error, Quoted(GetWindowTextW(top)) + " cannot be searched");
  const ViewColumn* c = lister->def.Column(a.name);
  if (c == nullptr || !c->searchable)
    return Fail(error, "the list cannot be searched on " + Quoted(a.name));
  std::string refused;
  if (!SetSearchCriterion(lister, c->name, a.text, refused)) {
    ShowUserError(top, GetWindowTextW(top), refused);
    return true;
  }
  // Through the framework's code path, so the window's module is asked (its
  // privilege, every time) exactly as for the Search button or the menu.
  MrProc_MrProcCmd(nullptr, kMrSearch, PwMucBase_hwndClient);
  return true;
}

bool TypeIntoField(HWND top, const UiAction& a, std::string& error) {
  const DialogTemplate* t = GetDialogTemplate(top);
  const DialogControl* c = t ? FindControl(*t, a.name, IsField) : nullptr;
  // An editor's field by the heading of its column.
  HEDITOR editor = MrEditor_FromHwnd(top);
  const ViewColumn* shown = editor && c == nullptr ? editor->def.Column(a.name) : nullptr;
  if (shown) c = FindControl(*t, shown->name, IsField);
  if (c == nullptr) {
    // Not a field: a column of one of the window's lists (the current one first).
    for (const Grid& g : GridsCurrentFirst(top))
      if (int column = GridColumn(g, a.name); column >= 0)
        return TypeIntoGridCell(top, g, column, a, error);
    return Fail(error, Quoted(GetWindowTextW(top)) + " has no field " + Quoted(a.name));
  }
  if (!c->visible) return Fail(error, "the field " + Quoted(a.name) + " is hidden");
  if (!c->enabled) return Fail(error, "the field " + Quoted(a.name) + " is read-only");
  const int id = c->id;
  SetDlgFocus(top, id);
  if (c->kind == ControlKind::Check) {
    const std::string v = Lower(a.text);
    const bool on = v == "1" || v == "yes" || v == "y" || v == "on" || v == "true";
    if (!on && v != "0" && v != "no" && v != "n" && v != "off" && v != "false")
      return Fail(error, "a check box takes yes or no, not " + Quoted(a.text));
    CheckDlgButton(top, id, on);
    Click(top, id);
    return true;
  }
  if (c->kind == ControlKind::Radio) {
    // A radio is chosen, never unchosen: a person picks another of its group.
    const std::string v = Lower(a.text);
    if (v != "1" && v != "yes" && v != "y" && v != "on" && v != "true")
      return Fail(error, "a radio button takes yes (choose another of its group instead of no)");
    CheckDlgButton(top, id, true);
    Click(top, id);
    return true;
  }
  if (c->kind == ControlKind::Choice) {
    // One of the options, any case; "" or "(none)" chooses none.
    const std::string v = Lower(a.text);
    std::string chosen;
    if (!v.empty() && v != "(none)") {
      const std::vector<std::string> options = GetDlgChoices(top, id);
      const auto at = std::find_if(options.begin(), options.end(),
                                   [&v](const std::string& o) { return Lower(o) == v; });
      if (at == options.end())
        return Fail(error, "the choice " + Quoted(a.name) + " has no option " + Quoted(a.text));
      chosen = *at;
    }
    SetDlgChoice(top, id, chosen);
    SendMessageW(top, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(id), CBN_SELCHANGE), 0);
    return true;
  }
  SetDlgItemTextW(top, id, a.text);
  SendMessageW(top, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(id), EN_CHANGE), 0);
  return true;
}

// The `node`, `rename` and `drag` actions on the window's first tree shown.
bool TreeAction(HWND top, const UiAction& a, std::string& error) {
  int id = 0;
  bool enabled = true;
  if (const DialogTemplate* t = GetDialogTemplate(top))
    for (const DialogControl& c : t->controls)
      if (c.kind == ControlKind::Tree && c.visible) {
        id = c.id;
        enabled = c.enabled;
        break;
      }
  if (id == 0) return Fail(error, Quoted(GetWindowTextW(top)) + " has no tree");
  if (!enabled) return Fail(error, "the tree of " + Quoted(GetWindowTextW(top)) + " is read-only");
  const std::vector<DialogTreeNode> shown = TreeView_GetVisibleItems(top, id);
  // Item number `n` as shown (from 1); 0 when there is none.
  auto itemAt = [&shown](int n) {
    return n >= 1 && static_cast<size_t>(n) <= shown.size() ? shown[n - 1].item : 0;
  };
  auto noItem = [&](int n) {
    return Fail(error, "the tree has no item " + std::to_string(n) + " (it shows " +
                           std::to_string(shown.size()) + ")");
  };
  using K = UiAction::Kind;
  const int first = a.rows.empty() ? 0 : a.rows[0];
  HTREEITEM item = itemAt(first);
  if (a.kind == K::Node && !a.text.empty()) {
    const std::string wanted = Lower(a.text);
    const auto at = std::find_if(shown.begin(), shown.end(), [&wanted](const DialogTreeNode& n) {
      return Lower(n.label).find(wanted) != std::string::npos;
    });
    if (at == shown.end()) return Fail(error, "the tree has no item labelled " + Quoted(a.text));
    item = at->item;
  } else if (item == 0) {
    return noItem(first);
  }
  SetDlgFocus(top, id);
  if (a.kind == K::Node) {
    TreeView_PersonSelects(top, id, item);
  } else if (a.kind == K::Rename) {
    TreeView_PersonEditsLabel(top, id, item, a.text);   // refused: the label stays
  } else {
    const int second = a.rows.size() > 1 ? a.rows[1] : 0;
    const HTREEITEM target = itemAt(second);
    if (target == 0) return noItem(second);
    if (target == item) return Fail(error, "an item cannot be dropped onto itself");
    TreeView_PersonDrops(top, id, item, target);
  }
  return true;
}

bool Press(HWND top, const UiAction& a, std::string& error) {
  const DialogTemplate* t = GetDialogTemplate(top);
  const DialogControl* c = t ? FindControl(*t, a.name, IsButton) : nullptr;
  if (c == nullptr)
    return Fail(error, Quoted(GetWindowTextW(top)) + " has no button " + Quoted(a.name));
  if (!c->visible) return Fail(error, "the button " + Quoted(a.name) + " is hidden");
  if (!c->enabled) return Fail(error, "the button " + Quoted(a.name) + " is disabled");
  Click(top, c->id);
  return true;
}

// The `wait` actions. A plain wait only waits: the loop that ran it then
// handles what was posted. `wait until enabled` handles posted messages
// itself, one at a time and in order, until the button of the window that
// was current is enabled (and shown); a quit or a close of the frame is
// left in the queue for the loop and ends the wait unsuccessfully.
bool Wait(const UiAction& a, std::string& error) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(a.seconds);
  auto leftMs = [deadline] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
  };
  if (a.name.empty()) {
    WaitMessageTimeout(leftMs());
    return true;
  }
  HWND window = Target();
  if (window == nullptr) return Fail(error, "no window is open");
  const std::string caption = Quoted(GetWindowTextW(window));
  const std::string button = "the button " + Quoted(a.name) + " of " + caption;
  for (;;) {
    if (!IsWindow(window)) return Fail(error, caption + " closed while waiting for " + button);
    const DialogTemplate* t = GetDialogTemplate(window);
    const DialogControl* c = t ? FindControl(*t, a.name, IsButton) : nullptr;
    if (c == nullptr) return Fail(error, caption + " has no button " + Quoted(a.name));
    if (c->enabled && c->visible) return true;
    MSG msg;
    if (PeekMessageW(msg, false)) {
      const bool frameCloses =
          msg.message == WM_QUIT ||
          (msg.message == WM_CLOSE && msg.hwnd &&
           (msg.hwnd == PwMucBase_hwndClient || msg.hwnd == PwMucBase_hwndFrame));
      if (frameCloses) return Fail(error, "the program is closing while waiting for " + button);
      PeekMessageW(msg, true);
      DispatchMessageW(msg);
      continue;
    }
    const int left = leftMs();
    if (left <= 0)
      return Fail(error, button + " is still not enabled after " + std::to_string(a.seconds) +
                             " seconds");
    WaitMessageTimeout(left);
  }
}

// `top` may be nullptr: with no window open the frame's keys still work.
bool PressKey(HWND top, const UiAction& a, std::string& error) {
  if (UINT command = top ? TranslateAcceleratorKey(top, a.text) : 0) {
    SendMessageW(top, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(command), ACCEL_COMMAND), 0);
    return true;
  }
  // The frame's keys are out of reach while a modal window waits.
  if (ModalWindows().empty() && PwMucBase_hwndClient) {
    if (UINT command = TranslateAcceleratorKey(PwMucBase_hwndFrame, a.text)) {
      SendMessageW(PwMucBase_hwndClient, WM_COMMAND,
                   MAKEWPARAM(static_cast<uint16_t>(command), ACCEL_COMMAND), 0);
      return true;
    }
  }
  const std::string key = Lower(a.text);
  if (IsDialog(top) && (key == "enter" || key == "return")) {
    const int id = GetDefaultDlgButton(top);
    const DialogTemplate* t = GetDialogTemplate(top);
    const DialogControl* c = t && id ? FindControl(*t, std::to_string(id), IsButton) : nullptr;
    if (c && c->enabled && c->visible) {
      Click(top, id);
      return true;
    }
  }
  if (IsDialog(top) && (key == "escape" || key == "esc")) {
    Click(top, IDCANCEL);
    return true;
  }
  return Fail(error, "the key " + Quoted(a.text) + " does nothing" +
                         (top ? " on " + Quoted(GetWindowTextW(top)) : std::string()));
}

bool RunFramework(HWND top, const UiAction& a, std::string& error) {
  const int code = static_cast<int>(a.message);
  if ((MrProc_MrProcMenuSet(top) & (1u << code)) == 0 ||
      (!MrLister_FromHwnd(top) && !MrEditor_FromHwnd(top)))
    return Fail(error, "framework code " + std::to_string(code) + " is not available on " +
                           Quoted(GetWindowTextW(top)));
  MrProc_MrProcCmd(nullptr, code, PwMucBase_hwndClient);   // a refusal is the window's to tell
  return true;
}

}  // namespace

void RunModal(HWND dialog, const std::function<bool()>& ended) {
  ModalWindows().push_back(dialog);
  for (;;) {
    MSG msg;
    bool quit = false;
    while (!quit && PeekMessageW(msg, true)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));   // for the frame's loop
        quit = true;
      } else {
        DispatchMessageW(msg);
      }
    }
    UiDriver* driver = Ui_Driver();
    if (quit || !IsWindow(dialog) || ended() || driver == nullptr) break;
    std::optional<std::string> text = driver->NextAction();
    if (!text) break;
    UiAction action;
    std::string error;
    if (!Ui_ParseAction(*text, action, &error)) {
      driver->ActionFailed("not an action: " + *text + " (" + error + ")");
    } else if (!action.IsWindowAction()) {
      driver->ActionFailed(Quoted(GetWindowTextW(dialog)) + " waits for an answer; '" + *text +
                           "' cannot run now");
    } else if (!MrUi_RunWindowAction(action, error)) {
      driver->ActionFailed(error);
    }
  }
  auto& modal = ModalWindows();
  modal.erase(std::remove(modal.begin(), modal.end(), dialog), modal.end());
}

}  // namespace mr

using namespace mr;

std::vector<HWND> MrUi_OpenWindows() {
  std::vector<HWND> windows = AllDialogs();
  std::reverse(windows.begin(), windows.end());
  return windows;
}

HWND MrUi_ModalWindow() {
  HWND top = Target();
  return ModalWindows().empty() ? nullptr : top;
}

HWND MrUi_TopWindow() { return Target(); }

bool MrUi_MakeCurrent(HWND hwnd, std::string& error) {
  if (!IsWindow(hwnd) || !IsDialog(hwnd)) return Fail(error, "that window is not open");
  if (HWND modal = MrUi_ModalWindow(); modal && modal != hwnd)
    return Fail(error, Quoted(GetWindowTextW(modal)) + " waits for an answer first");
  if (Target() != hwnd) MucTools_SetCurrKtView(hwnd);
  return true;
}

bool MrUi_RunWindowAction(const UiAction& a, std::string& error) {
  using K = UiAction::Kind;
  if (a.kind == K::Window) return SelectWindow(a, error);
  if (a.kind == K::Wait) return Wait(a, error);
  HWND top = Target();
  if (a.kind == K::Key && top == nullptr) return PressKey(nullptr, a, error);
  if (top == nullptr) return Fail(error, "no window is open");
  MucTools_SetCurrKtView(top);
  switch (a.kind) {
    case K::Select: return SelectRows(top, a, error);
    case K::Sort: return SortRows(top, a, error);
    case K::Search: return Search(top, a, error);
    case K::Field: return TypeIntoField(top, a, error);
    case K::Press: return Press(top, a, error);
    case K::Key: return PressKey(top, a, error);
    case K::Framework: return RunFramework(top, a, error);
    case K::Node:
    case K::Rename:
    case K::Drag: return TreeAction(top, a, error);
    case K::Show:
      if (UiDriver* driver = Ui_Driver()) driver->ShowWindow(MrUi_DescribeWindow(top));
      return true;
    default: return Fail(error, "not an action on a window");
  }
}

UiWindowView MrUi_DescribeWindow(HWND hwnd) {
  UiWindowView view;
  view.caption = GetWindowTextW(hwnd);
  const DialogTemplate* t = GetDialogTemplate(hwnd);
  HLISTER lister = MrLister_FromHwnd(hwnd);
  HEDITOR editor = MrEditor_FromHwnd(hwnd);
  if (lister) {
    view.kind = "lister " + lister->def.name;
  } else if (editor) {
    // A saved record in edit mode (its change was allowed) says so: the
    // person sees whether the form takes their typing as a change yet.
    view.kind = "editor " + editor->def.name + (editor->isNew ? ", new" : "") +
                (!editor->isNew && editor->editing ? ", editing" : "") +
                (MrEditor_IsChanged(editor) ? ", changed" : "");
  } else {
    view.kind = t ? "dialog " + std::to_string(t->id) : "window";
  }
  // A field bound to a column of the view is headed as the column is.
  const ViewDef* def = lister ? &lister->def : editor ? &editor->def : nullptr;
  auto headingOf = [def](const std::string& name) {
    if (def && !name.empty())
      for (const ViewColumn& c : def->columns)
        if (Lower(c.name) == Lower(name)) return c.heading;
    return std::string();
  };
  std::vector<std::pair<int, UiWindowView::Tree>> trees;   // by control id
  if (t) {
    for (const DialogControl& c : t->controls) {
      if (!c.visible) continue;   // a hidden control is not there for the person
      UiWindowView::Item item;
      item.id = c.id;
      item.enabled = c.enabled;
      switch (c.kind) {
        case ControlKind::Edit:
        case ControlKind::Check:
          item.kind = UiWindowView::Item::Kind::Field;
          item.name = c.name.empty() ? std::to_string(c.id) : c.name;
          item.text = c.kind == ControlKind::Check ? (c.checked ? "Yes" : "No") : c.text;
          item.isCheck = c.kind == ControlKind::Check;
          item.label = headingOf(c.name);
          break;
        case ControlKind::Radio: {
          item.kind = UiWindowView::Item::Kind::Field;
          item.name = c.name.empty() ? std::to_string(c.id) : c.name;
          item.text = c.checked ? "Yes" : "No";
          item.isCheck = true;
          item.label = c.text;
          // The group goes by the id of its first radio.
          const std::vector<int> group = RadioGroupOf(*t, c.id);
          item.radioGroup = group.empty() ? 0 : group.front();
          break;
        }
        case ControlKind::Button:
          item.kind = UiWindowView::Item::Kind::Button;
          item.text = c.text;
          item.isDefault = c.isDefault;
          break;
        case ControlKind::Static:
          if (c.text.empty()) continue;
          item.kind = UiWindowView::Item::Kind::Label;
          item.text = c.text;
          break;
        case ControlKind::Progress:
          item.kind = UiWindowView::Item::Kind::Field;
          item.name = c.name.empty() ? std::to_string(c.id) : c.name;
          item.text = std::to_string(DlgProgressPercent(c.done, c.total)) + "%";
          item.enabled = false;   // shows, takes no typing
          item.isProgress = true;
          item.done = c.done;
          item.total = c.total;
          item.fill = c.fill;
          item.background = c.background;
          break;
        case ControlKind::Choice:
          item.kind = UiWindowView::Item::Kind::Field;
          item.name = c.name.empty() ? std::to_string(c.id) : c.name;
          item.text = c.text;
          item.label = c.label.empty() ? headingOf(c.name) : c.label;
          item.isChoice = true;
          item.options = c.options;
          break;
        case ControlKind::List:
          continue;   // a lister's rows follow
        case ControlKind::Tree: {
          UiWindowView::Tree tree;
          tree.name = c.name.empty() ? std::to_string(c.id) : c.name;
          tree.label = c.label;
          tree.enabled = c.enabled;
          trees.push_back(std::make_pair(c.id, std::move(tree)));
          continue;
        }
      }
      view.items.push_back(std::move(item));
    }
  }
  // The items come from the control after the template walk: the calls
  // look the dialog up again.
  for (auto& [id, tree] : trees) {
    const HTREEITEM selected = TreeView_GetSelection(hwnd, id);
    const std::vector<DialogTreeNode> shown = TreeView_GetVisibleItems(hwnd, id);
    for (const DialogTreeNode& node : shown) {
      tree.nodes.push_back(UiWindowView::TreeNode{
          node.depth, node.label, node.image, node.item == selected,
          !node.expanded && TreeView_GetChild(hwnd, id, node.item) != 0});
    }
    view.trees.push_back(std::move(tree));
  }
  if (lister) {
    for (const ViewColumn& c : lister->def.columns) {
      view.headings.push_back(c.heading);
      view.searchable.push_back(c.searchable);
    }
    const std::vector<int>& sel = lister->selection;
    for (int row = 1; row <= _BktCountAll(lister->rows); ++row)
      view.rows.push_back(UiWindowView::Row{
          RowCells(lister, row), std::binary_search(sel.begin(), sel.end(), row),
          MrLister_IsMarked(lister, row) ? "marked" : ""});
  }
  for (const Grid& g : Grids(hwnd)) {
    if (view.headings.empty()) {
      view.headings = Headings(g);
      view.rows = GridRows(g);
    } else {
      view.lists.push_back(UiWindowView::List{g.name, Headings(g), GridRows(g)});
    }
  }
  return view;
}
