// AcqBHMan: the budget hierarchy manager. The window shows a Forest
// (AcqDbBH) in a tree control and asks it to change; the Forest enforces the
// rules, the window tells the person what was refused. The tree control is
// rebuilt from the Forest after each change, so the two never disagree.
#include "acq/budget/AcqBHMan.h"

#include <functional>
#include <map>
#include <memory>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqBHRpt.h"
#include "acq/budget/AcqDbBH.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"
#include "host/win32/DialogTree.h"

namespace acq::AcqBHMan {
namespace {

namespace bh = AcqDbBH;

// Dialogs and controls.
constexpr int kManagerDialog = 1960;
constexpr int kTree = 1961;
constexpr int kInsertHierarchy = 1962;
constexpr int kInsertGroup = 1963;
constexpr int kInsertBudget = 1964;
constexpr int kRemoveItem = 1965;
constexpr int kShowValues = 1966;
constexpr int kShowReport = 1967;
constexpr int kSaveButton = 1968;
constexpr int kPickDialog = 1970;
constexpr int kPickList = 1971;
constexpr int kValuesDialog = 1975;
constexpr int kValuesList = 1976;
constexpr int kValuesTotals = 1977;
constexpr int kReportDialog = 1980;
constexpr int kReportList = 1981;
constexpr int kReportTotals = 1982;
constexpr int kPrintButton = 1983;

// Messages.
constexpr int kMsgRemoveItem = 395;
constexpr int kMsgNotRemoved = 398;
constexpr int kMsgSaveBeforeClosing = 408;
constexpr int kMsgChildOfBudget = 396;
constexpr int kMsgBudgetAtTop = 412;

// Commands of the frame on the manager window.
constexpr int kCmdAddToHierarchy = 134;
constexpr int kCmdRemoveFromHierarchy = 135;
constexpr int kCmdMoveUp = 136;
constexpr int kCmdMoveDown = 137;

// The drag menu.
constexpr UINT kMenuMove = 1;
constexpr UINT kMenuCopy = 2;

struct Manager {
  HWND hwnd = nullptr;
  bh::Forest forest;
};
Manager* manager = nullptr;

void Tell(HWND owner, int id) {
  MucTools_MsgBoxCap(owner, AcqBase::LoadStr(id), MB_OK | MB_ICONWARNING);
}

// Tells a refusal; true when the change was made.
bool Done(HWND owner, bh::Refusal r) {
  if (r != bh::kDone) Tell(owner, r);
  return r == bh::kDone;
}

std::string Money(Dec64 v) { return LbDec64_StrFrom64(v, DbDabs_QueryMoneyFmt(0).decimals); }

// ---- the tree control ------------------------------------------------------------------------

int SelectedId(HWND hwnd) {
  TreeItemInfo info;
  const HTREEITEM item = TreeView_GetSelection(hwnd, kTree);
  if (item == 0 || !TreeView_GetItem(hwnd, kTree, item, info)) return 0;
  return static_cast<int>(info.value);
}

int IdOfItem(HWND hwnd, HTREEITEM item) {
  TreeItemInfo info;
  if (item == 0 || !TreeView_GetItem(hwnd, kTree, item, info)) return 0;
  return static_cast<int>(info.value);
}

// Fills the control from the Forest and selects `select` (a Forest id).
void Show(int select) {
  const HWND hwnd = manager->hwnd;
  const bh::Forest& f = manager->forest;
  TreeView_DeleteItem(hwnd, kTree, TVI_ROOT);
  HTREEITEM selected = 0;
  auto fill = [&](auto& self, int parentId, HTREEITEM parent) -> void {
    for (int id : f.Children(parentId)) {
      const bh::Item* item = f.Find(id);
      const HTREEITEM h = TreeView_InsertItem(hwnd, kTree, parent, TVI_LAST, item->label,
                                              static_cast<int>(item->kind), id);
      if (h == 0) return;
      if (id == select) selected = h;
      self(self, id, h);
    }
  };
  fill(fill, 0, TVI_ROOT);
  TreeView_Select(hwnd, kTree, selected);
}

bool MayChange() { return AcqSecurity::CheckManPrivilege(AcqSecurity::modBHM); }

// ---- commands --------------------------------------------------------------------------------

// A modal dialog: `init` fills it, `ok` reads it (false keeps it open);
// the dialog's own buttons (like Print) go to `command`.
struct Modal {
  std::function<void(HWND)> init;
  std::function<bool(HWND)> ok;
  std::function<void(HWND, int)> command;
};
std::map<HWND, Modal*> modals;

LRESULT ModalDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      Modal* m = reinterpret_cast<Modal*>(lParam);
      modals[hwnd] = m;
      if (m != nullptr && m->init) m->init(hwnd);
      return TRUE;
    }
    case WM_COMMAND: {
      Modal* m = modals.count(hwnd) ? modals[hwnd] : nullptr;
      if (LOWORD(wParam) == IDOK) {
        if (m == nullptr || !m->ok || m->ok(hwnd)) EndDialog(hwnd, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      if (m != nullptr && m->command && HIWORD(wParam) == BN_CLICKED) {
        m->command(hwnd, LOWORD(wParam));
        return TRUE;
      }
      break;
    }
    case WM_DESTROY:
      modals.erase(hwnd);
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

bool RunModal(HWND owner, int dialog, Modal& modal) {
  return DialogBoxParamW(AcqBase::ResourceInstance(), dialog, owner, &ModalDlgProc,
                         reinterpret_cast<LPARAM>(&modal)) == IDOK;
}

const std::vector<DlgListColumn> kValueColumns = {
    {"label", "Item"},     {"budget", "Budget"},       {"amount", "Amount"},
    {"on_order", "On Order"}, {"spent", "Spent"},     {"available", "Available"},
    {"unspent", "Unspent"}};

std::string TotalsText(const AcqReportTotals::Totals& totals) {
  std::string text;
  for (const auto& line : AcqBHRpt::TotalLines(totals)) text += (text.empty() ? "" : "\n") + line;
  return text;
}

void InsertHierarchy(HWND hwnd) {
  if (!MayChange()) return;
  int id = 0;
  if (Done(hwnd, manager->forest.AddHierarchy(id))) Show(id);
}

void InsertGroup(HWND hwnd) {
  if (!MayChange()) return;
  const int parent = SelectedId(hwnd);
  if (parent == 0) return Tell(hwnd, kMsgBudgetAtTop);
  int id = 0;
  if (Done(hwnd, manager->forest.AddGroup(parent, id))) Show(id);
}

void InsertBudgets(HWND hwnd) {
  if (!MayChange()) return;
  const int parent = SelectedId(hwnd);
  if (parent == 0) return Tell(hwnd, kMsgBudgetAtTop);
  // Refused before the person picks anything.
  if (manager->forest.Find(parent)->kind == bh::Kind::Budget) return Tell(hwnd, kMsgChildOfBudget);
  std::vector<std::string> codes;
  if (!bh::LoadBudgetCodes(codes)) return;
  std::vector<std::string> picked;
  Modal modal;
  modal.init = [&](HWND dlg) {
    SetDlgListColumns(dlg, kPickList, {{"budget", "Budget"}});
    std::vector<std::vector<std::string>> rows;
    for (const auto& c : codes) rows.push_back({c});
    SetDlgListRows(dlg, kPickList, rows);
  };
  modal.ok = [&](HWND dlg) {
    for (int row : GetDlgListSelection(dlg, kPickList))
      if (row >= 1 && row <= static_cast<int>(codes.size())) picked.push_back(codes[row - 1]);
    return true;
  };
  if (!RunModal(hwnd, kPickDialog, modal) || picked.empty()) return;
  std::vector<int> added;
  if (Done(hwnd, manager->forest.AddBudgets(parent, picked, &added))) Show(added.front());
}

void RemoveItem(HWND hwnd) {
  if (!MayChange()) return;
  const int id = SelectedId(hwnd);
  if (id == 0) return Tell(hwnd, kMsgNotRemoved);
  if (MucTools_MsgBoxCap(hwnd, AcqBase::LoadStr(kMsgRemoveItem), MB_YESNO | MB_ICONQUESTION) !=
      IDYES)
    return;
  const int parent = manager->forest.Find(id)->parent;
  if (Done(hwnd, manager->forest.Remove(id))) Show(parent);
}

void ShiftItem(HWND hwnd, int delta) {
  const int id = SelectedId(hwnd);
  if (id != 0 && manager->forest.Shift(id, delta)) Show(id);
}

void ShowValues(HWND hwnd) {
  const int id = SelectedId(hwnd);
  const auto budgets = manager->forest.BudgetsUnder(id);
  std::map<std::string, bh::Values> values;
  if (!bh::LoadValues(budgets, values)) return;
  AcqReportTotals::Totals totals;
  if (!bh::TotalOnce(budgets, values, totals)) return;
  Modal modal;
  modal.init = [&](HWND dlg) {
    SetDlgListColumns(dlg, kValuesList, kValueColumns);
    std::vector<std::vector<std::string>> rows;
    for (const auto& b : budgets) {
      const auto it = values.find(b);
      if (it == values.end()) continue;
      const auto& v = it->second;
      rows.push_back({b, b, Money(v.amount), Money(v.on_order), Money(v.spent),
                      Money(v.available), Money(v.unspent)});
    }
    SetDlgListRows(dlg, kValuesList, rows);
    SetDlgItemTextW(dlg, kValuesTotals, TotalsText(totals));
  };
  RunModal(hwnd, kValuesDialog, modal);
}

void ShowReport(HWND owner) {
  bh::Report report;
  MucTools_HourGlass(true);
  const bool loaded = bh::LoadReport(report);
  MucTools_HourGlass(false);
  if (!loaded) return;
  Modal modal;
  modal.init = [&](HWND dlg) {
    SetDlgListColumns(dlg, kReportList, kValueColumns);
    SetDlgListRows(dlg, kReportList, AcqBHRpt::ReportRows(report));
    SetDlgItemTextW(dlg, kReportTotals, TotalsText(report.totals));
  };
  modal.command = [&](HWND, int id) {
    if (id == kPrintButton) (void)AcqBHRpt::Print(report);
  };
  RunModal(owner, kReportDialog, modal);
}

// A label typed into the tree: TRUE takes it.
LRESULT EndLabelEdit(HWND hwnd) {
  const int id = IdOfItem(hwnd, TreeView_GetEditItem(hwnd, kTree));
  if (id == 0 || !MayChange()) return FALSE;
  return Done(hwnd, manager->forest.Rename(id, TreeView_GetEditText(hwnd, kTree))) ? TRUE : FALSE;
}

void DropItem(HWND hwnd) {
  const TreeDrag drag = TreeView_GetDrag(hwnd, kTree);
  const int dragged = IdOfItem(hwnd, drag.dragged);
  const int target = IdOfItem(hwnd, drag.target);
  if (dragged == 0 || !MayChange()) return;
  // What refuses both a move and a copy is told before the menu.
  const bh::Refusal r = manager->forest.CheckDrop(dragged, target, true);
  if (r == bh::kIntoOwnSubtree || r == bh::kChildOfBudget || r == bh::kBudgetAtTop)
    return Tell(hwnd, r);
  const UINT choice = TrackPopupMenuItems(hwnd, {{kMenuMove, "&Move Item"}, {kMenuCopy, "&Copy Item"}});
  if (choice == 0) return;
  int result = 0;
  if (Done(hwnd, manager->forest.Drop(dragged, target, choice == kMenuCopy, result))) Show(result);
}

bool SaveNow(HWND hwnd) {
  MucTools_HourGlass(true);
  const bool saved = bh::Save(manager->forest);
  MucTools_HourGlass(false);
  if (saved) Show(SelectedId(hwnd));
  return saved;
}

// Asks about unsaved changes: true when the window may close.
bool AskToClose() {
  if (manager == nullptr || !manager->forest.Changed()) return true;
  switch (MucTools_MsgBoxCap(manager->hwnd, AcqBase::LoadStr(kMsgSaveBeforeClosing),
                             MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES: return SaveNow(manager->hwnd);
    case IDNO: return true;
    default: return false;
  }
}

LRESULT ManagerDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      MrProc_SetWindowMenuBits(hwnd, 1u << kMrSaveWindow);   // File/Save (57603)
      if (manager != nullptr) {
        manager->hwnd = hwnd;
        Show(0);
      }
      return TRUE;
    case WM_COMMAND:
      if (manager == nullptr || manager->hwnd != hwnd) break;
      if (LOWORD(wParam) == kTree) {
        if (HIWORD(wParam) == TVN_ENDLABELEDIT) return EndLabelEdit(hwnd);
        if (HIWORD(wParam) == TVN_DROP) DropItem(hwnd);
        return TRUE;
      }
      switch (LOWORD(wParam)) {
        case kInsertHierarchy: InsertHierarchy(hwnd); return TRUE;
        case kInsertGroup: InsertGroup(hwnd); return TRUE;
        case kInsertBudget: InsertBudgets(hwnd); return TRUE;
        case kRemoveItem: RemoveItem(hwnd); return TRUE;
        case kShowValues: ShowValues(hwnd); return TRUE;
        case kShowReport: OpenHierarchyReport(); return TRUE;
        case kSaveButton: SaveNow(hwnd); return TRUE;
        case IDCANCEL:
          if (AskToClose()) DestroyWindow(hwnd);
          return TRUE;
        default: break;
      }
      break;
    case WM_CLOSE:
      if (AskToClose()) DestroyWindow(hwnd);
      return TRUE;
    case WM_DESTROY:
      if (manager != nullptr && manager->hwnd == hwnd) {
        delete manager;
        manager = nullptr;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void OpenManager() {
  if (manager != nullptr && manager->hwnd != nullptr) {
    MucTools_SetCurrKtView(manager->hwnd);
    return;
  }
  auto fresh = std::make_unique<Manager>();
  MucTools_HourGlass(true);
  const bool loaded = bh::Load(fresh->forest);
  MucTools_HourGlass(false);
  if (!loaded) return;
  manager = fresh.release();
  if (CreateDialogParamW(AcqBase::ResourceInstance(), kManagerDialog, PwMucBase_hwndClient,
                         &ManagerDlgProc, 0) == nullptr) {
    delete manager;   // no template: no window took it
    manager = nullptr;
  }
}

void OpenHierarchyReport() {
  if (!AcqSecurity::CheckManPrivilege(AcqSecurity::viewBHR)) return;
  ShowReport(manager != nullptr ? manager->hwnd : PwMucBase_hwndClient);
}

void TreeCommand(int command, HWND active) {
  if (!IsManagerWindow(active)) return;
  switch (command) {
    case kCmdAddToHierarchy: InsertBudgets(active); break;
    case kCmdRemoveFromHierarchy: RemoveItem(active); break;
    case kCmdMoveUp: ShiftItem(active, -1); break;
    case kCmdMoveDown: ShiftItem(active, +1); break;
    default: break;
  }
}

bool MayClose() { return AskToClose(); }

bool IsManagerWindow(HWND hwnd) {
  return manager != nullptr && hwnd != nullptr && manager->hwnd == hwnd;
}

void Save() {
  if (manager != nullptr && manager->hwnd != nullptr) SaveNow(manager->hwnd);
}

void Initialize() { manager = nullptr; }

void Terminate() {
  if (manager != nullptr && manager->hwnd != nullptr) DestroyWindow(manager->hwnd);
  delete manager;
  manager = nullptr;
}

}  // namespace acq::AcqBHMan

ACQ_UNIT_BODY(AcqBHMan)
