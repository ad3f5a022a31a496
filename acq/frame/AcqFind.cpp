// AcqFind: the find windows for POs, PO lines and statements.
#include "acq/frame/AcqFind.h"

#include <set>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPo.h"
#include "acq/statement/AcqStatmnt.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"

namespace acq::AcqFind {
namespace {

constexpr UINT kCmdOpen = 57601;
constexpr UINT kCmdSearch = 57636;
constexpr UINT kMsgMenuState = 0x0798;
constexpr int kFindAccelerators = 2;

struct KindInfo {
  const char* view;
  const char* envir;
  AcqSecurity::AcqPrivilege privilege;
  const char* caption;
};
const KindInfo& Info(FindKind kind) {
  static const KindInfo kInfo[] = {
      {"po_find_head", "poline", AcqSecurity::poFind, "Find PO"},
      {"po_find_line", "poline", AcqSecurity::poFind, "Find PO Line"},
      {"statement_find", "statmnt", AcqSecurity::stFind, "Find Statement"},
  };
  return kInfo[static_cast<int>(kind)];
}

// State record of one find window, kept in the registry from its creation
// to WM_DESTROY.
struct FindWindow {
  FindKind kind;
  HENVIR envir = nullptr;
  HLISTER lister = nullptr;
};

// The open find windows ("HWND", "DATA" = FindWindow*), Initialize to
// Terminate.
BktHandle windows = nullptr;

FindWindow* Find(HWND hwnd) {
  return windows == nullptr ? nullptr : static_cast<FindWindow*>(AcqGlobal::WindowListFind(windows, hwnd));
}

HWND WindowOfKind(FindKind kind) {
  for (int row = 1; row <= _BktCountAll(windows); ++row) {
    auto* w = static_cast<FindWindow*>(_ColGetNonScalar(windows, row, 2));
    if (w->kind == kind) return static_cast<HWND>(_ColGetNonScalar(windows, row, 1));
  }
  return nullptr;
}

// Key and number of each selected row, by column names.
std::vector<std::pair<int32_t, std::string>> SelectedKeys(HLISTER lister, const char* keyColumn,
                                                          const char* numberColumn) {
  std::vector<std::pair<int32_t, std::string>> keys;
  BktHandle rows = MrLister_Rows(lister);
  const int keyCol = _BktGetColNum(rows, keyColumn);
  const int numberCol = _BktGetColNum(rows, numberColumn);
  if (keyCol == 0) return keys;
  std::set<int32_t> seen;
  for (int row : MrLister_Selection(lister)) {
    const int32_t key = _ColGetInt(rows, row, keyCol);
    if (!seen.insert(key).second) continue;
    keys.emplace_back(key, numberCol != 0 ? _ColGetStringW(rows, row, numberCol) : std::to_string(key));
  }
  return keys;
}

// The selected lines of a PO line find window, each (po#, line) once, with
// the numbers of their POs.
struct FoundLine {
  int32_t po;
  int16_t line;
  std::string number;
};
std::vector<FoundLine> SelectedFoundLines(HLISTER lister) {
  std::vector<FoundLine> lines;
  BktHandle rows = MrLister_Rows(lister);
  const int poCol = _BktGetColNum(rows, "po#");
  const int lineCol = _BktGetColNum(rows, "line");
  const int numberCol = _BktGetColNum(rows, "po_number");
  if (poCol == 0 || lineCol == 0) return lines;
  std::set<std::pair<int32_t, int16_t>> seen;
  for (int row : MrLister_Selection(lister)) {
    const int32_t po = _ColGetInt(rows, row, poCol);
    const auto line = static_cast<int16_t>(_ColGetInt(rows, row, lineCol));
    if (!seen.insert({po, line}).second) continue;
    lines.push_back({po, line,
                     numberCol != 0 ? _ColGetStringW(rows, row, numberCol) : std::to_string(po)});
  }
  return lines;
}

void OpenSelected(const FindWindow& w) {
  if (w.kind == FindKind::Statement) {
    for (const auto& [key, number] : SelectedKeys(w.lister, "statement#", "statement_number")) {
      AcqStatmnt::OpenStatement(key, number);
    }
    return;
  }
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::poOpen)) return;
  if (w.kind == FindKind::PoHead) {
    for (const auto& [key, number] : SelectedKeys(w.lister, "po#", "po_number"))
      AcqPo::OpenPoWithMode(key, number, 0);
    return;
  }
  // A PO line find window opens the POs its selected lines belong to, each
  // once, at the first of its selected lines.
  std::set<int32_t> opened;
  for (const FoundLine& f : SelectedFoundLines(w.lister))
    if (opened.insert(f.po).second) AcqPo::OpenPoWithMode(f.po, f.number, f.line);
}

// The framework asks the window (kMrQueryCode) before the search runs, and
// the window asks the find privilege there: one check however the search
// was started (this button, the menu, a script's search).
void Search() { MrProc_MrProcCmd(AcqDbGlobal::Session(), kMrSearch, PwMucBase_hwndClient); }

AcqSecurity::Records RecordsOf(const FindWindow& w) {
  return w.kind == FindKind::Statement ? AcqSecurity::Records::Statements
                                       : AcqSecurity::Records::Pos;
}

// Menu refresh for one command: the order-generation and printing commands
// need a PO window; the PO line list is never offered here.
LRESULT MenuState(HWND hwnd, const FindWindow& w, unsigned command) {
  MucTools_SetCurrKtView(hwnd);
  if (command >= 156 && command <= 159) {
    MucTools_EnableMenuItem(command, w.kind != FindKind::Statement);
    return TRUE;
  }
  if (command == 160) {
    MucTools_EnableMenuItem(command, false);
    return TRUE;
  }
  return FALSE;
}

LRESULT FindDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  FindWindow* w = Find(hwnd);
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      _Win32_SetAccelTable(hwnd, LoadAcceleratorsW(AcqBase::ResourceInstance(), kFindAccelerators));
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == 0) MucTools_SetDefaultButton(hwnd, kCmdOpen);
      if (w != nullptr && LOWORD(wParam) == kCmdOpen) {
        OpenSelected(*w);
        return TRUE;
      }
      if (w != nullptr && LOWORD(wParam) == kCmdSearch) {
        Search();
        return TRUE;
      }
      break;
    case kMrQueryCode:
      // Non-zero stops the code: the privilege prompt has told the person.
      if (w != nullptr) {
        return AcqSecurity::MayRunListCode(RecordsOf(*w), static_cast<int>(wParam)) ? FALSE
                                                                                    : TRUE;
      }
      break;
    case kMsgMenuState:
      if (w != nullptr) return MenuState(hwnd, *w, HIWORD(wParam));
      break;
    case WM_DESTROY:
      if (w != nullptr) {
        AcqGlobal::WindowListRemove(windows, hwnd);
        delete w;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void OpenFindWindow(FindKind kind) {
  const KindInfo& info = Info(kind);
  if (!AcqSecurity::CheckPrivilege(info.privilege)) return;
  if (HWND open = WindowOfKind(kind); open != nullptr) {
    MucTools_SetCurrKtView(open);
    return;
  }
  MucTools_HourGlass(true);
  auto* w = new FindWindow{kind};
  w->envir = MrProc_NewEnvir(AcqDbGlobal::Session(), info.envir);
  w->lister = MrLister_MrListerUserInst(w->envir, info.view, &FindDlgProc,
                                        PwMucBase_hwndClient, "", info.caption);
  if (w->lister != nullptr) {
    // Registered before the lister starts, so its first messages find it.
    AcqGlobal::WindowListPut(windows, MrLister_Hwnd(w->lister), w);
    if (!MrLister_MrListerBegin(w->lister, MucTools_BuildSizeKey(info.view))) {
      DestroyWindow(MrLister_Hwnd(w->lister));  // WM_DESTROY frees the record
    }
  } else {
    MrProc_FreeEnvir(&w->envir);   // no window took it
    delete w;
  }
  MucTools_HourGlass(false);
}

bool IsFindWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

bool IsFindWindow(HWND hwnd, FindKind kind) {
  const FindWindow* w = Find(hwnd);
  return w != nullptr && w->kind == kind;
}

bool SelectedPo(HWND hwnd, int32_t& po, std::string& number) {
  const FindWindow* w = Find(hwnd);
  if (w == nullptr || w->kind == FindKind::Statement) return false;
  const auto keys = SelectedKeys(w->lister, "po#", "po_number");
  if (keys.empty()) return false;
  po = keys.front().first;
  number = keys.front().second;
  return true;
}

std::vector<std::pair<int32_t, std::string>> SelectedPos(HWND hwnd) {
  const FindWindow* w = Find(hwnd);
  if (w == nullptr || w->kind != FindKind::PoHead) return {};
  return SelectedKeys(w->lister, "po#", "po_number");
}

std::vector<std::pair<int32_t, int16_t>> SelectedLines(HWND hwnd) {
  std::vector<std::pair<int32_t, int16_t>> lines;
  const FindWindow* w = Find(hwnd);
  if (w == nullptr || w->kind != FindKind::PoLine) return lines;
  for (const FoundLine& f : SelectedFoundLines(w->lister)) lines.emplace_back(f.po, f.line);
  return lines;
}

bool SelectedStatement(HWND hwnd, int32_t& statement, std::string& number) {
  const FindWindow* w = Find(hwnd);
  if (w == nullptr || w->kind != FindKind::Statement) return false;
  const auto keys = SelectedKeys(w->lister, "statement#", "statement_number");
  if (keys.empty()) return false;
  statement = keys.front().first;
  number = keys.front().second;
  return true;
}

void Initialize() { windows = AcqGlobal::CreateWindowList(); }

void Terminate() {
  // The windows themselves are closed with the client; their records go here.
  for (int row = 1; row <= _BktCountAll(windows); ++row) {
    delete static_cast<FindWindow*>(_ColGetNonScalar(windows, row, 2));
  }
  AcqGlobal::DestroyWindowList(&windows);
}

}  // namespace acq::AcqFind

ACQ_UNIT_BODY(AcqFind)
