// AcqPoApp: PO line approval and the approval list.
//
// Lines are approved one at a time, each in its own transaction
// (AcqDbAct::ApprovePoLine): a line refused by the approval rules (no
// items, budgets missing) is told and marked, and the lines after it are
// still approved.
#include "acq/po/AcqPoApp.h"

#include <climits>
#include <string>
#include <string_view>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPoApp {
namespace {

using AcqDbAct::ApproveResult;
using Lines = std::vector<std::pair<int32_t, int16_t>>;

constexpr int kMsgNothingToApprove = 259;   // PO %1 Line %2
constexpr int kMsgSelectionApproved = 262;
constexpr int kMsgMissingBudgets = 285;     // PO %1 Line %2
constexpr int kMsgNoItems = 327;            // PO %1 Line %2
constexpr int kMsgPoApproved = 328;
constexpr int kMsgSelectLines = 1260;

constexpr const char* kListView = "po_activity_approvepo";
constexpr const char* kEnvir = "poapprv";
constexpr UINT kCmdApprove = 1251;

// The approval list (one at a time), from OpenApprovalList to WM_DESTROY.
struct ListWindow {
  HLISTER lister = nullptr;
  HWND hwnd = nullptr;
};
ListWindow list;

void Tell(int message, std::string_view a1 = {}, std::string_view a2 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(message), a1, a2),
                     MB_OK | MB_ICONWARNING);
}

// The number people know the PO by (po# when it has none, or it cannot be
// read: the reason has been shown).
std::string PoNumber(int32_t po) {
  DbMsg msg;
  std::string number;
  if (!AcqDbGen::GetPoNumber(msg, po, number) || number.empty()) number = std::to_string(po);
  return number;
}

// Approves one line and tells why when it is refused; `nothingMessage` 0
// says nothing when the line has nothing left to approve.
ApproveResult ApproveTold(int32_t po, int16_t line, int nothingMessage,
                          const AcqPoAct::Refresh& onDone) {
  const ApproveResult result = AcqDbAct::ApprovePoLine(po, line);
  switch (result) {
    case ApproveResult::Approved:
      if (onDone) onDone(po, line);
      break;
    case ApproveResult::NothingToApprove:
      if (nothingMessage != 0) Tell(nothingMessage, PoNumber(po), std::to_string(line));
      break;
    case ApproveResult::NoItems: Tell(kMsgNoItems, PoNumber(po), std::to_string(line)); break;
    case ApproveResult::MissingBudgets:
      Tell(kMsgMissingBudgets, PoNumber(po), std::to_string(line));
      break;
    case ApproveResult::Failed: break;   // the database error has been shown
  }
  return result;
}

// The approval list shows what is left to approve, with `refused` marked.
void ShowInList(const Lines& refused) {
  if (list.lister == nullptr) return;
  if (!MrLister_MrListerBegin(list.lister, MucTools_BuildSizeKey(kListView))) return;
  BktHandle rows = MrLister_Rows(list.lister);
  const int colPo = _BktGetColNum(rows, "po#");
  const int colLine = _BktGetColNum(rows, "line");
  if (colPo == 0 || colLine == 0) return;
  for (const auto& [po, line] : refused) {
    int row = 0;
    bool found = _BktLocateKey(rows, colPo, BktKey::Int(po), colLine, BktKey::Int(line), row);
    if (!found && MrLister_FetchRows(list.lister, INT_MAX) > _BktCountAll(rows)) {
      rows = MrLister_Rows(list.lister);
      found = _BktLocateKey(rows, colPo, BktKey::Int(po), colLine, BktKey::Int(line), row);
    }
    if (found) MrLister_SetMark(list.lister, row, true);
  }
}

// The (po#, line) of the list's selected rows.
Lines SelectedLines() {
  Lines lines;
  BktHandle rows = MrLister_Rows(list.lister);
  const int colPo = _BktGetColNum(rows, "po#");
  const int colLine = _BktGetColNum(rows, "line");
  if (colPo == 0 || colLine == 0) return lines;
  for (int row : MrLister_Selection(list.lister))
    lines.emplace_back(_ColGetInt(rows, row, colPo),
                       static_cast<int16_t>(_ColGetInt(rows, row, colLine)));
  return lines;
}

void ApproveSelected() {
  const Lines lines = SelectedLines();
  if (lines.empty()) {
    Tell(kMsgSelectLines);
    return;
  }
  (void)ApproveLines(lines, false, nullptr);
}

LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == 0) MucTools_SetDefaultButton(hwnd, kCmdApprove);
      if (LOWORD(wParam) == kCmdApprove && list.hwnd == hwnd) {
        ApproveSelected();
        return TRUE;
      }
      break;
    case kMrQueryCode:
      // A search or refresh reads the lines again: poApprv each time, as
      // every list asks its privilege. Non-zero stops the code (told).
      if (wParam == kMrSearch || wParam == kMrRefresh)
        return AcqSecurity::CheckPrivilege(AcqSecurity::poApprv) ? FALSE : TRUE;
      break;
    case WM_DESTROY:
      if (list.hwnd == hwnd) list = ListWindow{};
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void OpenApprovalList() {
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::poApprv)) return;
  if (list.hwnd != nullptr) {
    MucTools_SetCurrKtView(list.hwnd);
    return;
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HLISTER lister =
      MrLister_MrListerUserInst(envir, kListView, &ListDlgProc, PwMucBase_hwndClient, "", "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);   // no window took it
  } else {
    list = ListWindow{lister, MrLister_Hwnd(lister)};
    if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(kListView))) {
      DestroyWindow(list.hwnd);   // WM_DESTROY forgets it
    }
  }
  MucTools_HourGlass(false);
}

int ApproveLines(const Lines& lines, bool wholePo, const AcqPoAct::Refresh& onDone) {
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::poApprv)) return 0;
  return ApproveLinesAsked(lines, wholePo, onDone);
}

int ApproveLinesAsked(const Lines& lines, bool wholePo, const AcqPoAct::Refresh& onDone) {
  int approved = 0;
  bool refusedAny = false;
  Lines refused;
  for (const auto& [po, line] : lines) {
    switch (ApproveTold(po, line, 0, onDone)) {
      case ApproveResult::Approved: ++approved; break;
      case ApproveResult::NothingToApprove: break;
      case ApproveResult::NoItems:
      case ApproveResult::MissingBudgets:
      case ApproveResult::Failed:
        refusedAny = true;
        refused.emplace_back(po, line);
        break;
    }
  }
  if (approved == 0 && !refusedAny) Tell(wholePo ? kMsgPoApproved : kMsgSelectionApproved);
  if (approved > 0 || refusedAny) ShowInList(refused);
  return approved;
}

bool ApproveLine(int32_t po, int16_t line, const AcqPoAct::Refresh& onDone) {
  const ApproveResult result = ApproveTold(po, line, kMsgNothingToApprove, onDone);
  if (result != ApproveResult::Approved && result != ApproveResult::NothingToApprove)
    ShowInList({{po, line}});
  else if (result == ApproveResult::Approved)
    ShowInList({});
  return result == ApproveResult::Approved;
}

bool IsApprovalList(HWND hwnd) { return hwnd != nullptr && hwnd == list.hwnd; }

void Initialize() { list = ListWindow{}; }

// The window itself closes with the client, before this runs.
void Terminate() { list = ListWindow{}; }

}  // namespace acq::AcqPoApp

ACQ_UNIT_BODY(AcqPoApp)
