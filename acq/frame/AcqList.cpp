// AcqList: the list windows behind the find windows: the POs of a statement
// and the statements of a PO or a voucher.
#include "acq/frame/AcqList.h"

#include <algorithm>
#include <set>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqFind.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPo.h"
#include "acq/statement/AcqStatmnt.h"
#include "acq/statement/AcqVoucher.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqList {
namespace {

constexpr int kMsgPoFragment = 112;         // "PO %1 "
constexpr int kMsgListStatements = 116;     // "List: %1 Statements"
constexpr int kMsgVoucherFragment = 117;    // "Voucher %1 "
constexpr int kMsgListPos = 118;            // "List: %1 POs"
constexpr int kMsgStatementFragment = 119;  // "Statement %1 "
constexpr int kMsgListLines = 1221;         // "List: %1 Lines"
constexpr UINT kCmdOpen = 57601;

enum class ListKind { Pos, Statements, Lines };

// State record of one list window, in the registry until WM_DESTROY.
struct ListWindow {
  ListKind kind;
  HENVIR envir = nullptr;
  HLISTER lister = nullptr;
};

BktHandle windows = nullptr;

ListWindow* Find(HWND hwnd) {
  return windows == nullptr ? nullptr
                            : static_cast<ListWindow*>(AcqGlobal::WindowListFind(windows, hwnd));
}

AcqSecurity::Records RecordsOf(ListKind kind) {
  return kind == ListKind::Statements ? AcqSecurity::Records::Statements
                                      : AcqSecurity::Records::Pos;
}

// The selected rows' PO lines (a list of lines) or POs (line 0), each once.
std::vector<std::pair<int32_t, int16_t>> SelectedRows(const ListWindow& w,
                                                      std::vector<std::string>* numbers) {
  std::vector<std::pair<int32_t, int16_t>> keys;
  BktHandle rows = MrLister_Rows(w.lister);
  const int poCol = _BktGetColNum(rows, "po#");
  const int lineCol = w.kind == ListKind::Lines ? _BktGetColNum(rows, "line") : 0;
  const int numberCol = _BktGetColNum(rows, "po_number");
  if (poCol == 0) return keys;
  for (int row : MrLister_Selection(w.lister)) {
    const std::pair<int32_t, int16_t> key{
        _ColGetInt(rows, row, poCol),
        static_cast<int16_t>(lineCol != 0 ? _ColGetInt(rows, row, lineCol) : 0)};
    if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
    keys.push_back(key);
    if (numbers != nullptr)
      numbers->push_back(numberCol != 0 ? _ColGetStringW(rows, row, numberCol)
                                        : std::to_string(key.first));
  }
  return keys;
}

// Open: the PO window of each selected PO (of the first selected line of
// each PO in a list of lines); in a list of statements, the selected
// statement's window.
void OpenSelected(const ListWindow& w) {
  if (w.kind == ListKind::Statements) {
    int32_t statement = 0;
    std::string number;
    if (SelectedStatement(MrLister_Hwnd(w.lister), statement, number))
      AcqStatmnt::OpenStatement(statement, number);
    return;
  }
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::poOpen)) return;
  std::vector<std::string> numbers;
  const auto keys = SelectedRows(w, &numbers);
  std::vector<int32_t> opened;
  for (size_t n = 0; n < keys.size(); ++n) {
    if (std::find(opened.begin(), opened.end(), keys[n].first) != opened.end()) continue;
    opened.push_back(keys[n].first);
    AcqPo::OpenPoWithMode(keys[n].first, numbers[n], keys[n].second);
  }
}

LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ListWindow* w = Find(hwnd);
  if (msg == WM_COMMAND && w != nullptr && LOWORD(wParam) == kCmdOpen &&
      HIWORD(wParam) != EN_CHANGE) {
    OpenSelected(*w);
    return TRUE;
  }
  if (msg == kMrQueryCode && w != nullptr) {
    // A refresh reads the rows again: the list's privilege, every time.
    return AcqSecurity::MayRunListCode(RecordsOf(w->kind), static_cast<int>(wParam)) ? FALSE
                                                                                     : TRUE;
  }
  if (msg == WM_DESTROY && w != nullptr) {
    AcqGlobal::WindowListRemove(windows, hwnd);
    delete w;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

std::string Caption(int listMsg, int fragmentMsg, const std::string& number) {
  const std::string fragment = Lb_FormatMessage(AcqBase::LoadStrText(fragmentMsg), number);
  return Lb_FormatMessage(AcqBase::LoadStrText(listMsg), fragment);
}

// Opens a list after its privilege: a list of POs shows what the PO find
// window finds (poFind); a list of statements shows their amounts, which
// only those who may find statements see (stFind).
void Open(ListKind kind, const std::string& where, const std::string& caption) {
  if (!AcqSecurity::CheckPrivilege(kind == ListKind::Statements ? AcqSecurity::stFind
                                                                : AcqSecurity::poFind)) {
    return;
  }
  MucTools_HourGlass(true);
  auto* w = new ListWindow{kind};
  const char* view = kind == ListKind::Pos          ? "po_list"
                     : kind == ListKind::Statements ? "statement_list"
                                                    : "po_line_list";
  w->envir = MrProc_NewEnvir(AcqDbGlobal::Session(),
                             kind == ListKind::Statements ? "statmnt" : "poline");
  w->lister = MrLister_MrListerUserInst(w->envir, view, &ListDlgProc, PwMucBase_hwndClient, where,
                                        caption);
  if (w->lister != nullptr) {
    AcqGlobal::WindowListPut(windows, MrLister_Hwnd(w->lister), w);
    if (!MrLister_MrListerBegin(w->lister, MucTools_BuildSizeKey(view))) {
      DestroyWindow(MrLister_Hwnd(w->lister));
    }
  } else {
    MrProc_FreeEnvir(&w->envir);   // no window took it
    delete w;
  }
  MucTools_HourGlass(false);
}

void OpenPosOfStatement(int32_t statement, const std::string& number) {
  Open(ListKind::Pos,
       "po# in(select distinct po# from po_line_item_budget_amount where statement#=" +
           std::to_string(statement) + ")",
       Caption(kMsgListPos, kMsgStatementFragment, number));
}

void OpenStatementsOfPo(int32_t po, const std::string& number) {
  Open(ListKind::Statements,
       "statement# in(select distinct statement# from po_line_item_budget_amount where po#=" +
           std::to_string(po) + ")",
       Caption(kMsgListStatements, kMsgPoFragment, number));
}

void OpenStatementsOfVoucher(int32_t voucher, const std::string& number) {
  Open(ListKind::Statements,
       "statement# in(select distinct statement# from po_line_item_budget_amount where "
       "voucher#=" +
           std::to_string(voucher) + ")",
       Caption(kMsgListStatements, kMsgVoucherFragment, number));
}

void OpenLinesOfPo(int32_t po, const std::string& number) {
  // "List: PO 17 Lines": the fragment's own trailing blank is the joint.
  std::string fragment = Lb_FormatMessage(AcqBase::LoadStrText(kMsgPoFragment), number);
  while (!fragment.empty() && fragment.back() == ' ') fragment.pop_back();
  Open(ListKind::Lines, "po#=" + std::to_string(po),
       Lb_FormatMessage(AcqBase::LoadStrText(kMsgListLines), fragment));
}

// The PO or statement the active window stands for: a PO window's PO, or
// the first selected row in a find or list window.
bool ActivePo(HWND active, int32_t& po, std::string& number) {
  return AcqPo::PoOfWindow(active, po, number) || AcqFind::SelectedPo(active, po, number) ||
         SelectedPo(active, po, number);
}
bool ActiveStatement(HWND active, int32_t& statement, std::string& number) {
  return AcqFind::SelectedStatement(active, statement, number) ||
         SelectedStatement(active, statement, number);
}

bool SelectedKey(HWND hwnd, ListKind kind, const char* keyColumn, const char* numberColumn,
                 int32_t& key, std::string& number) {
  const ListWindow* w = Find(hwnd);
  if (w == nullptr || w->kind != kind) return false;
  BktHandle rows = MrLister_Rows(w->lister);
  const auto selection = MrLister_Selection(w->lister);
  const int keyCol = _BktGetColNum(rows, keyColumn);
  if (selection.empty() || keyCol == 0) return false;
  key = _ColGetInt(rows, selection.front(), keyCol);
  const int numberCol = _BktGetColNum(rows, numberColumn);
  number = numberCol != 0 ? _ColGetStringW(rows, selection.front(), numberCol) : std::to_string(key);
  return true;
}

}  // namespace

void ListPosOfActiveStatement(HWND active) {
  int32_t statement = 0;
  std::string number;
  if (ActiveStatement(active, statement, number)) OpenPosOfStatement(statement, number);
}

void ListStatementsOfActive(HWND active) {
  int32_t key = 0;
  std::string number;
  if (ActivePo(active, key, number)) {
    OpenStatementsOfPo(key, number);
  } else if (AcqVoucher::ActiveVoucher(active, key, number)) {
    OpenStatementsOfVoucher(key, number);
  }
}

void ListForActive(HWND active) {
  int32_t key = 0;
  std::string number;
  if (ActivePo(active, key, number)) {
    OpenStatementsOfPo(key, number);
  } else if (ActiveStatement(active, key, number)) {
    OpenPosOfStatement(key, number);
  } else if (AcqVoucher::ActiveVoucher(active, key, number)) {
    OpenStatementsOfVoucher(key, number);
  }
}

void ListLinesOfPoWindow(HWND active) {
  int32_t po = 0;
  std::string number;
  if (AcqPo::PoOfWindow(active, po, number)) OpenLinesOfPo(po, number);
}

void ListLinesOfActive(HWND active) {
  int32_t po = 0;
  std::string number;
  if (ActivePo(active, po, number)) OpenLinesOfPo(po, number);
}

std::vector<std::pair<int32_t, int16_t>> SelectedLines(HWND hwnd) {
  const ListWindow* w = Find(hwnd);
  if (w == nullptr || w->kind != ListKind::Lines) return {};
  return SelectedRows(*w, nullptr);
}

bool IsListWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

bool IsListWindow(HWND hwnd, AcqSecurity::Records records) {
  const ListWindow* w = Find(hwnd);
  return w != nullptr && RecordsOf(w->kind) == records;
}

bool SelectedPo(HWND hwnd, int32_t& po, std::string& number) {
  return SelectedKey(hwnd, ListKind::Pos, "po#", "po_number", po, number) ||
         SelectedKey(hwnd, ListKind::Lines, "po#", "po_number", po, number);
}

std::vector<std::pair<int32_t, std::string>> SelectedPos(HWND hwnd) {
  std::vector<std::pair<int32_t, std::string>> pos;
  const ListWindow* w = Find(hwnd);
  if (w == nullptr || w->kind != ListKind::Pos) return pos;
  BktHandle rows = MrLister_Rows(w->lister);
  const int keyCol = _BktGetColNum(rows, "po#");
  const int numberCol = _BktGetColNum(rows, "po_number");
  if (keyCol == 0) return pos;
  std::set<int32_t> seen;
  for (int row : MrLister_Selection(w->lister)) {
    const int32_t po = _ColGetInt(rows, row, keyCol);
    if (!seen.insert(po).second) continue;
    pos.emplace_back(po, numberCol != 0 ? _ColGetStringW(rows, row, numberCol)
                                        : std::to_string(po));
  }
  return pos;
}

bool SelectedStatement(HWND hwnd, int32_t& statement, std::string& number) {
  return SelectedKey(hwnd, ListKind::Statements, "statement#", "statement_number", statement,
                     number);
}

void Initialize() { windows = AcqGlobal::CreateWindowList(); }

void Terminate() {
  for (int row = 1; row <= _BktCountAll(windows); ++row) {
    delete static_cast<ListWindow*>(_ColGetNonScalar(windows, row, 2));
  }
  AcqGlobal::DestroyWindowList(&windows);
}

}  // namespace acq::AcqList

ACQ_UNIT_BODY(AcqList)
