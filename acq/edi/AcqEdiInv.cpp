// AcqEdiInv: the list of uploaded invoice messages (dialog 56): Process
// turns the selected ones into statements, Remove takes them off the list
// unprocessed, Select All selects every message or none. The checks and
// the writing are AcqDbEdiInv's; this unit shows what they found.
#include "acq/edi/AcqEdiInv.h"

#include <climits>
#include <string>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/edi/AcqDbEdiInv.h"
#include "acq/frame/AcqBase.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqEdiInv {
namespace {

using AcqDbEdiInv::MessageKey;
using AcqDbEdiInv::Outcome;

constexpr int kMsgReviewExceptions = 317;
constexpr int kMsgConfirmRemove = 457;
constexpr int kMsgSelectMessages = 1763;

constexpr UINT kCmdProcess = 5601, kCmdRemove = 5602, kCmdSelectAll = 5603;
constexpr const char* kView = "acq_edifact_invoices";
constexpr const char* kEnvir = "edifact_invoices";

// The open list, from its opening to WM_DESTROY (at most one).
HLISTER lister = nullptr;
HWND listHwnd = nullptr;

void Show(int id, std::string_view arg = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(id), arg),
                     MB_OK | MB_ICONWARNING);
}

void Reload() {
  if (lister != nullptr) (void)MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(kView));
  if (listHwnd != nullptr) (void)CheckDlgButton(listHwnd, kCmdSelectAll, false);
}

std::vector<MessageKey> SelectedMessages() {
  std::vector<MessageKey> keys;
  if (lister == nullptr) return keys;
  BktHandle rows = MrLister_Rows(lister);
  const int e = _BktGetColNum(rows, "edifact#"), m = _BktGetColNum(rows, "message#");
  if (e == 0 || m == 0) return keys;
  for (int row : MrLister_Selection(lister))
    keys.push_back({_ColGetInt(rows, row, e), _ColGetInt(rows, row, m)});
  return keys;
}

// Each selected message in its own transaction, so that one refused
// message keeps none of the others from becoming a statement. Every
// finding is shown; 317 once at the end when any was written.
void ProcessSelected() {
  const std::vector<MessageKey> keys = SelectedMessages();
  if (keys.empty()) return Show(kMsgSelectMessages);
  bool written = false;
  MucTools_HourGlass(true);
  for (const MessageKey& key : keys) {
    const AcqDbEdiInv::Result r = AcqDbEdiInv::ProcessMessage(key);
    if (r.outcome == Outcome::Failed || r.outcome == Outcome::AlreadyDone) continue;
    for (const AcqDbEdiInv::Finding& f : r.findings) Show(f.message, f.arg);
    written = written || !r.findings.empty();
  }
  MucTools_HourGlass(false);
  if (written) Show(kMsgReviewExceptions);
  Reload();
}

void RemoveSelected() {
  const std::vector<MessageKey> keys = SelectedMessages();
  if (keys.empty()) return Show(kMsgSelectMessages);
  if (!MucTools_MsgBoxCapYNbool(PwMucBase_hwndClient, AcqBase::LoadStr(kMsgConfirmRemove)))
    return;
  int removed = 0;
  (void)AcqDbEdiInv::RemoveMessages(keys, removed);
  Reload();
}

// Every row of the list, or none.
void ToggleSelectAll() {
  if (lister == nullptr) return;
  if (IsDlgButtonChecked(listHwnd, kCmdSelectAll)) {
    const int count = MrLister_FetchRows(lister, INT_MAX);
    std::vector<int> all;
    for (int row = 1; row <= count; ++row) all.push_back(row);
    MrLister_SetSelection(lister, all);
  } else {
    MrLister_SetSelection(lister, {});
  }
}

LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != ACCEL_COMMAND) break;
      switch (LOWORD(wParam)) {
        case kCmdProcess: ProcessSelected(); return TRUE;
        case kCmdRemove: RemoveSelected(); return TRUE;
        case kCmdSelectAll: ToggleSelectAll(); return TRUE;
        default: break;
      }
      break;
    case WM_DESTROY:
      if (hwnd == listHwnd) lister = nullptr, listHwnd = nullptr;
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void InvoicesCommand(HWND) {
  if (listHwnd != nullptr) {
    MucTools_SetCurrKtView(listHwnd);
    return;
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  lister = MrLister_MrListerUserInst(envir, kView, &ListDlgProc, PwMucBase_hwndClient, "", "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);   // no window took it
  } else {
    listHwnd = MrLister_Hwnd(lister);
    if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(kView)))
      DestroyWindow(listHwnd);   // WM_DESTROY forgets it
  }
  MucTools_HourGlass(false);
}

void Initialize() { lister = nullptr, listHwnd = nullptr; }
void Terminate() { lister = nullptr, listHwnd = nullptr; }

}  // namespace acq::AcqEdiInv

ACQ_UNIT_BODY(AcqEdiInv)
