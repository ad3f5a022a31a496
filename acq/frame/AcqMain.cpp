// AcqMain: the module's main window procedure, start-up, help and close.
#include "acq/frame/AcqMain.h"

#include <string>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqAccount.h"
#include "acq/budget/AcqBHMan.h"
#include "acq/budget/AcqYearEnd.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/db/AcqDbNames.h"
#include "acq/edi/AcqBisac.h"
#include "acq/edi/AcqEdiInv.h"
#include "acq/edi/AcqEdiOrd.h"
#include "acq/edi/AcqEdiRsp.h"
#include "acq/edi/AcqEdiUpld.h"
#include "acq/frame/AcqDbPrereq.h"
#include "acq/frame/AcqFind.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqList.h"
#include "acq/frame/AcqParam.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPo.h"
#include "acq/po/AcqPoAct.h"
#include "acq/po/AcqPoApp.h"
#include "acq/po/AcqPoUndo.h"
#include "acq/po/AcqPr.h"
#include "acq/po/AcqTempPea.h"
#include "acq/po/AcqBibDelete.h"
#include "acq/po/AcqCopy.h"
#include "acq/print/AcqPPrint.h"
#include "acq/print/AcqReport.h"
#include "acq/print/AcqWrkBatch.h"
#include "acq/print/AcqWrkOptions.h"
#include "acq/renewal/AcqClaim.h"
#include "acq/renewal/AcqRenew.h"
#include "acq/statement/AcqPayables.h"
#include "acq/statement/AcqProrate.h"
#include "acq/statement/AcqStApp.h"
#include "acq/statement/AcqStatmnt.h"
#include "acq/statement/AcqVoucher.h"
#include "acq/statement/AcqCredits.h"
#include "host/mr/MrFramework.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/os2/PwOs.h"
#include "host/sys/LbStr.h"

namespace acq::AcqMain {
namespace {

constexpr int kHelpPathChars = 255;
constexpr unsigned kHelpQuit = 2;
constexpr int kLocationChars = 61;
// Sub-menus of the frame that get a context-help id equal to their position
// (6 twice, as the frame's menu has always been set up).
constexpr int kHelpSubMenus[] = {0, 1, 2, 3, 6, 4, 5, 6, 7, 9, 11, 12};

bool closing = false;
bool startedUp = false;   // the start-up result flag: log-in succeeded
// The whole start-up succeeded. From then on windows hold the session, so a
// repeated start-up message must neither log out nor in again.
bool ready = false;
std::string helpPath;
std::string helpPathHost;

bool StartupProc() {
  DbMsg msg;
  if (DbCode code = AcqDb::Login(msg); code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

// The workstation location's address_position: false unless its row says so.
void ReadAddressPosition() {
  bool& flag = AcqDbGlobal::Globals().addressPosition;
  flag = false;
  BktHandle locations = nullptr;  // the session's shared rows: not ours to free
  if (!AcqDbBase::LoadShrCodeBkt(names::location, locations)) return;
  const int colLocation = _BktGetColNum(locations, "location");
  const int colPosition = _BktGetColNum(locations, "address_position");
  if (colLocation == 0 || colPosition == 0) return;
  const std::string here = Lb_CutChars(DbGlobal_globRec.location, kLocationChars);
  int row = 0;
  if (_BktLocateKey(locations, colLocation, BktKey::Text(here), 0, {}, row)) {
    flag = _ColGetBoolean(locations, row, colPosition);
  }
}

void SetUpHelp() {
  helpPath = Lb_GetPathFromEnv("PWHELP", "Acq.hlp", kHelpPathChars);
  helpPathHost = Lb_PathToHostForm(helpPath);
  _Win32_SetHelpFile(PwMucBase_hwndFrame, helpPathHost);
  AcqGlobal::SetFrameHwnd(PwMucBase_hwndFrame);
  HMENU menu = GetMenu(PwMucBase_hwndFrame);
  if (menu == nullptr) return;
  for (int position : kHelpSubMenus) {
    if (HMENU sub = GetSubMenu(menu, position); sub != nullptr) {
      SetMenuContextHelpId(sub, static_cast<uint32_t>(position));
    }
  }
}

LRESULT Startup() {
  if (ready) {
    Lib_Trace("AcqMain.Startup: started up already; the repeated start-up changes nothing");
    return 0;
  }
  if (AcqDbGlobal::Session() != nullptr) {
    // An earlier start-up logged in but failed after: its session and the
    // Buckets it loaded go before the next try makes new ones.
    Lib_Trace("AcqMain.Startup: releasing the session of a start-up that failed");
    AcqDbPrereq::FreePrerequisites();
    AcqDbGlobal::ResetPrerequisites();
  }
  startedUp = MucTools_StartupDLL(&StartupProc);
  if (!startedUp) return -1;
  MucTools_HourGlass(true);
  ReadAddressPosition();
  if (AcqDbPrereq::LoadPrerequisites(AcqDbPrereq::kFeatureMismatchMsg)) {
    MucTools_HourGlass(false);
    SetUpHelp();
    ready = true;
    return 0;
  }
  MucTools_HourGlass(false);
  KtWin_PostMessage(PwMucBase_hwndClient, WM_CLOSE, 0, 0);
  return -1;
}

LRESULT CloseRequest(HWND hwnd) {
  closing = true;
  if (MrProc_MrCloseContextOk(AcqDbGlobal::Session()) && AcqBHMan::MayClose()) {
    MrProc_CloseAllContextWindows(PwMucBase_hwndClient);
    return 0;
  }
  closing = false;
  KtWin_WindowStayOpen(hwnd);
  return 1;
}

void PaintClient(HWND hwnd) {
  PAINTSTRUCT ps;
  RECT rect;
  HDC dc = _Win32_BeginPaint(hwnd, ps, rect);
  FillRect(dc, rect, GetSysColorBrush(COLOR_APPWORKSPACE));
  _Win32_EndPaint(hwnd, ps);
}

void SetClassBackground(HWND hwnd) {
  HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_APPWORKSPACE));
  SetClassLongW(hwnd, GCL_HBRBACKGROUND, brush);
  DeleteObject(brush);
}

LRESULT Framework(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return MrProc_MrWndProc(AcqDbGlobal::Session(), lParam, wParam, msg, hwnd);
}

// The records a find or list window shows; false for any other window.
bool RecordsOf(HWND hwnd, AcqSecurity::Records& records) {
  using AcqFind::FindKind;
  using AcqSecurity::Records;
  if (AcqFind::IsFindWindow(hwnd, FindKind::PoHead) ||
      AcqFind::IsFindWindow(hwnd, FindKind::PoLine) || AcqList::IsListWindow(hwnd, Records::Pos)) {
    records = Records::Pos;
    return true;
  }
  if (AcqFind::IsFindWindow(hwnd, FindKind::Statement) ||
      AcqList::IsListWindow(hwnd, Records::Statements)) {
    records = Records::Statements;
    return true;
  }
  return false;
}

// A record-change request for the editor in wParam (lParam: the lister it
// was opened from, or 0): the window's privilege, asked each time. The
// parameters editor needs apEdit; the PO editors ask theirs (a new header
// poHead, else poEdit); an editor opened from a find or list window changes
// that window's records (poEdit, poHead; stHead). The distribution editor
// and the account editor are not part of this build. Refused: 0.
LRESULT RecordChange(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const HWND editor = reinterpret_cast<HWND>(wParam);
  AcqSecurity::Records records{};
  if (AcqParam::IsParameterWindow(editor)) {
    if (!AcqParam::MayChangeRecord()) return 0;
  } else if (AcqPo::IsPoEditor(editor)) {
    if (!AcqPo::MayChangeRecord(editor, msg == kMsgRecordChange2)) return 0;
  } else if (RecordsOf(reinterpret_cast<HWND>(lParam), records)) {
    const int code = msg == kMsgRecordChange1 ? kMrEdit : kMrNew;
    if (!AcqSecurity::MayRunListCode(records, code)) return 0;
  }
  return Framework(hwnd, msg, wParam, lParam);
}

// ---- command dispatch ----------------------------------------------------

// A privilege a command checks, with prompt, before it acts.
struct Privilege {
  enum Program { None, Acq, AcqMan } program = None;
  int position = 0;
};
constexpr Privilege kNone{};
constexpr Privilege Acq(AcqSecurity::AcqPrivilege p) { return {Privilege::Acq, p}; }
constexpr Privilege Man(AcqSecurity::AcqManPrivilege p) { return {Privilege::AcqMan, p}; }

bool Granted(const Privilege& p) {
  switch (p.program) {
    case Privilege::Acq:
      return AcqSecurity::CheckPrivilege(static_cast<AcqSecurity::AcqPrivilege>(p.position));
    case Privilege::AcqMan:
      return AcqSecurity::CheckManPrivilege(static_cast<AcqSecurity::AcqManPrivilege>(p.position));
    case Privilege::None:
      break;
  }
  return true;
}

struct Command;
using CommandProc = void (*)(const Command&, HWND);
struct Command {
  uint16_t number;
  const char* name;
  CommandProc run;
  int arg = 0;                 // framework code or find-window kind
  Privilege privilege = kNone;
};

// The window commands act on: the top module window.
HWND Active() { return KtWin_GetTopKtWnd(); }
HDb Session() { return AcqDbGlobal::Session(); }

void RunFramework(const Command& c, HWND) { MrProc_MrProcCmd(Session(), c.arg, PwMucBase_hwndClient); }

// Edit and delete act through the framework, which asks the window's
// module before the code runs (kMrQueryCode): find and list windows ask
// their family's privilege there (PO windows poEdit and poDel, statement
// windows stHead), the parameters editor withholds delete, and an editor
// asks its privilege in the record-change request that edit mode sends.
// So the check is made once, whether the code came from this command, a
// key or a script.
//
// On a PO window, which is the module's own, edit and delete act on its
// selected line (delete asks poDel) and refresh reloads it.
void RunEdit(const Command&, HWND) {
  if (AcqPo::IsPoWindow(Active())) {
    AcqPo::EditSelectedLine(Active());
    return;
  }
  MrProc_MrProcCmd(Session(), kMrEdit, PwMucBase_hwndClient);
}
void RunDelete(const Command&, HWND) {
  if (AcqPo::IsPoWindow(Active())) {
    AcqPo::DeleteSelectedLine(Active());
    return;
  }
  MrProc_MrProcCmd(Session(), kMrDelete, PwMucBase_hwndClient);
}
void RunRefresh(const Command& c, HWND hwnd) {
  if (AcqPo::IsPoWindow(Active())) {
    AcqPo::Reload(Active());
    return;
  }
  if (AcqStatmnt::IsStatementWindow(Active())) {
    AcqStatmnt::Reload(Active());
    return;
  }
  RunFramework(c, hwnd);
}

void RunClipboard(const Command& c, HWND) { MucTools_HandleEditCmd(c.number, Active()); }
void RunAbout(const Command&, HWND) { MucTools_About(PwMucBase_hwndFrame); }
void RunClose(const Command&, HWND) { KtWin_PostMessage(PwMucBase_hwndClient, WM_CLOSE, 0, 0); }

void RunPlaceholder(const Command& c, HWND) { AcqGlobal::ShowComingSoon(c.name); }


void RunSaveBudgetHierarchy(const Command&, HWND) {
  if (AcqBHMan::IsManagerWindow(Active())) AcqBHMan::Save();
}

// Report-list commands act only on report windows.
void RunReportList(const Command& c, HWND) {
  if (AcqReport::IsReportWindow(Active())) AcqReport::ReportListCommand(c.number, Active());
}
void RunReport(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqReport::OpenReport(c.number);
}

void RunAccounts(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqAccount::OpenAccounts(c.number);
}
void RunAccountYears(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqAccount::OpenAccountYears();
}
void RunReassign(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqYearEnd::OpenReassign();
}
void RunTransferUnspent(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqYearEnd::OpenTransferUnspent();
}
void RunHierarchyManager(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqBHMan::OpenManager();
}
// viewBHR is asked by the report window itself.
void RunHierarchyReport(const Command&, HWND) { AcqBHMan::OpenHierarchyReport(); }
// The manager's tree commands act only on the manager window.
void RunHierarchyTree(const Command& c, HWND) {
  const HWND active = Active();
  if (AcqBHMan::IsManagerWindow(active) && Granted(c.privilege))
    AcqBHMan::TreeCommand(static_cast<int>(c.number), active);
}

void RunFind(const Command& c, HWND) { AcqFind::OpenFindWindow(static_cast<AcqFind::FindKind>(c.arg)); }
void RunParameters(const Command&, HWND) { AcqParam::OpenParameters(); }
void RunWorkslipOptions(const Command&, HWND) { AcqWrkOptions::OpenOptions(PwMucBase_hwndClient); }
void RunWorkslipBatches(const Command&, HWND) { AcqWrkBatch::OpenBatches(); }
// The voucher list (vFind asked by the frame) and the credits of the active
// statement window (nothing elsewhere).
void RunVouchers(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqVoucher::OpenVoucherList();
}
void RunCredits(const Command&, HWND) { AcqCredits::OpenCredits(Active()); }

// The selected lines of the active PO window, list of lines or PO line
// find window; none elsewhere.
AcqPo::LineKeys LinesOfActive() {
  const HWND active = Active();
  if (AcqPo::IsPoWindow(active)) return AcqPo::SelectedLines(active);
  AcqPo::LineKeys lines = AcqList::SelectedLines(active);
  if (lines.empty()) lines = AcqFind::SelectedLines(active);
  return lines;
}

// Undo of an activity group (arg) on the selected lines, after the group's
// privilege.
void RunUndoLines(const Command& c, HWND) {
  if (!Granted(c.privilege)) return;
  AcqPoUndo::UndoLines(static_cast<AcqPoUndo::UndoKind>(c.arg), LinesOfActive());
}
// Undo order starts from a list of POs (the PO find window or a list of
// POs; a PO line find window lists lines): elsewhere it does nothing, and
// asks nothing.
void RunUndoOrder(const Command& c, HWND) {
  const HWND active = Active();
  if (!AcqFind::IsFindWindow(active, AcqFind::FindKind::PoHead) &&
      !AcqList::IsListWindow(active, AcqSecurity::Records::Pos))
    return;
  if (Granted(c.privilege)) AcqPoUndo::UndoOrders(active);
}
// Items and copies of the selected lines, and the bibliographic records
// their orders created (poDelBi asked by the unit).
void RunCreateItems(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqCopy::CreateItems(LinesOfActive());
}
void RunCreateCopies(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqCopy::CreateCopies(LinesOfActive());
}
void RunCopiesOfLine(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqCopy::CopiesOfLine(LinesOfActive());
}
void RunBibRecord(const Command&, HWND) { AcqBibDelete::DeleteBibs(LinesOfActive()); }
// Patterns act on the active PO window; nothing elsewhere.
void RunPattern(const Command& c, HWND) {
  const HWND active = Active();
  if (!AcqPo::IsPoWindow(active)) return;
  if (c.number == 191) AcqTempPea::ApplyPattern(active);
  if (c.number == 192) AcqTempPea::SavePattern(active);
  if (c.number == 193) AcqTempPea::DeletePattern(active);
}
void RunTemplates(const Command&, HWND) { AcqTempPea::OpenTemplates(); }
void RunNewTemplate(const Command&, HWND) { AcqTempPea::NewTemplate(); }
void RunRequests(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqPr::OpenRequests();
}
void RunFindRequests(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqPr::FindRequests();
}
void RunRenewalCandidates(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqRenew::OpenRenewalCandidates();
}
void RunSetRenewalOrders(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqRenew::OpenSetRenewalOrders();
}
void RunPosOfStatement(const Command&, HWND) { AcqList::ListPosOfActiveStatement(Active()); }
// A new statement of the command's type (arg), the statement mode choice
// and the undo of a statement window's selected lines.
void RunNewStatement(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqStatmnt::NewStatement(c.arg);
}
void RunStatementMode(const Command&, HWND) { AcqStatmnt::StatementMode(Active()); }
void RunUndoStatement(const Command& c, HWND) {
  if (AcqStatmnt::IsStatementWindow(Active()) && Granted(c.privilege))
    AcqStatmnt::UndoStatement(Active());
}

// New POs (they ask poHead), the approval list (poApprv) and the lists of a
// PO's lines.
void RunNewPoForVendor(const Command&, HWND) { AcqPo::NewPoForVendor(); }
void RunNewPo(const Command&, HWND) { AcqPo::NewPo(); }
void RunApprovalList(const Command&, HWND) { AcqPoApp::OpenApprovalList(); }
void RunUpload(const Command&, HWND) { AcqEdiUpld::UploadCommand(PwMucBase_hwndClient); }
void RunOrderResponses(const Command&, HWND) { AcqEdiRsp::OrderResponsesCommand(PwMucBase_hwndClient); }
void RunEdifactInvoices(const Command&, HWND) { AcqEdiInv::InvoicesCommand(PwMucBase_hwndClient); }
void RunEdifactOrders(const Command&, HWND) { AcqEdiOrd::EdifactOrdersCommand(Active()); }
void RunBisacOrders(const Command&, HWND) { AcqBisac::BisacOrdersCommand(Active()); }
void RunClaimsReview(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqClaim::OpenClaimsReview();
}
void RunPrintClaims(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqClaim::PrintClaims(PwMucBase_hwndClient);
}
void RunLinesOfPoWindow(const Command&, HWND) { AcqList::ListLinesOfPoWindow(Active()); }
void RunLinesOfActive(const Command&, HWND) { AcqList::ListLinesOfActive(Active()); }

// An activity on the selected lines of the active PO window, list of lines
// or PO line find window; the activity asks its privilege. Nothing
// elsewhere.
void RunLineActivity(const Command& c, HWND) {
  const auto kind = static_cast<AcqDbAct::Activity>(c.arg);
  const HWND active = Active();
  if (AcqPo::IsPoWindow(active)) {
    AcqPo::RunActivity(active, kind);
    return;
  }
  AcqPo::LineKeys lines = AcqList::SelectedLines(active);
  if (lines.empty()) lines = AcqFind::SelectedLines(active);
  AcqPo::RunActivityOnLines(kind, lines);
}
void RunStatementsOfActive(const Command&, HWND) { AcqList::ListStatementsOfActive(Active()); }
void RunPrintPos(const Command& c, HWND) { if (Granted(c.privilege)) AcqPPrint::RunPrintPos(Active()); }
void RunPrintDraftPos(const Command& c, HWND) { if (Granted(c.privilege)) AcqPPrint::RunPrintDraftPos(Active()); }
void RunListForActive(const Command&, HWND) { AcqList::ListForActive(Active()); }
// Payables and cheques: their lists ask zCheque first.
void RunOutstandingPayables(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqPayables::OpenOutstandingPayables();
}
void RunChequeRuns(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqPayables::OpenChequeRuns();
}
void RunChequeUpdates(const Command& c, HWND) {
  if (Granted(c.privilege)) AcqPayables::OpenChequeUpdates();
}
// Proration on the active statement window, and one line's prorated charges.
void RunProrate(const Command&, HWND) {
  if (AcqStatmnt::IsStatementWindow(Active())) AcqProrate::Prorate(Active());
}
void RunLineCharges(const Command&, HWND) {
  if (AcqStatmnt::IsStatementWindow(Active())) AcqProrate::ListLineCharges(Active());
}
// Statement approval: the list, and approval and its undo on the active window.
void RunStatementsToApprove(const Command&, HWND) { AcqStApp::OpenStatementsToApprove(); }
void RunApproveStatement(const Command& c, HWND) { if (Granted(c.privilege)) AcqStApp::ApproveActive(Active()); }
void RunUndoStatementApproval(const Command& c, HWND) { if (Granted(c.privilege)) AcqStApp::UndoApprovalActive(Active()); }

using AcqSecurity::AcqPrivilege;
using AcqSecurity::AcqManPrivilege;
constexpr int kHead = static_cast<int>(AcqFind::FindKind::PoHead);
constexpr int kLine = static_cast<int>(AcqFind::FindKind::PoLine);
constexpr int kStmt = static_cast<int>(AcqFind::FindKind::Statement);
constexpr int kApprove = static_cast<int>(AcqDbAct::Activity::Approve);
constexpr int kReceive = static_cast<int>(AcqDbAct::Activity::Receive);
constexpr int kCancel = static_cast<int>(AcqDbAct::Activity::Cancel);
constexpr int kBackOrder = static_cast<int>(AcqDbAct::Activity::BackOrder);
constexpr int kUndoApprove = static_cast<int>(AcqPoUndo::UndoKind::Approve);
constexpr int kUndoReceive = static_cast<int>(AcqPoUndo::UndoKind::Receive);
constexpr int kUndoCancel = static_cast<int>(AcqPoUndo::UndoKind::Cancel);
constexpr int kUndoDiscRenew = static_cast<int>(AcqPoUndo::UndoKind::DiscontinueOrRenew);

// Every command of the module. Any number not here does nothing.
const Command kCommands[] = {
    {12, "Edit", RunEdit},
    {13, "Delete", RunDelete},
    {42012, "Previous Record", RunFramework, kMrPrevious},
    {42423, "Next Record", RunFramework, kMrNext},
    {42409, "First Record", RunFramework, kMrFirst},
    {42404, "Last Record", RunFramework, kMrLast},
    {42424, "New Record", RunFramework, kMrNew},
    {42425, "Copy Record", RunFramework, kMrCopy},
    {42313, "Save Record", RunFramework, kMrSave},
    {42411, "Cancel Changes", RunFramework, kMrCancel},
    {57642, "Refresh", RunRefresh, kMrRefresh},
    {57632, "Undo", RunClipboard},
    {57634, "Copy", RunClipboard},
    {57635, "Cut", RunClipboard},
    {57637, "Paste", RunClipboard},
    {57664, "About", RunAbout},
    {57665, "Exit", RunClose},
    {57603, "Save Budget Hierarchy", RunSaveBudgetHierarchy},
    {57604, "Save List to File", RunReportList},
    {57607, "Print List", RunReportList},
    {42102, "Search List", RunReportList},
    {42202, "Reload List", RunReportList},
    {109, "Upload EDIFACT Files", RunUpload},
    {134, "Budget Hierarchy: Add", RunHierarchyTree, 0, Man(AcqSecurity::modBHM)},
    {135, "Budget Hierarchy: Remove", RunHierarchyTree, 0, Man(AcqSecurity::modBHM)},
    {136, "Budget Hierarchy: Move Up", RunHierarchyTree, 0, Man(AcqSecurity::modBHM)},
    {137, "Budget Hierarchy: Move Down", RunHierarchyTree, 0, Man(AcqSecurity::modBHM)},
    {151, "New PO for Vendor", RunNewPoForVendor},  // poHead asked by the PO unit
    {165, "New PO", RunNewPo},
    {166, "PO Templates", RunTemplates},
    {169, "PO Template", RunNewTemplate},
    {152, "Find PO", RunFind, kHead},
    {153, "Find PO Line", RunFind, kLine},
    {154, "List POs of Statement", RunPosOfStatement},
    {155, "PO Line Approval", RunApprovalList},
    {156, "EDIFACT Orders", RunEdifactOrders, 0, Acq(AcqSecurity::poPross)},
    {157, "BISAC Orders", RunBisacOrders, 0, Acq(AcqSecurity::poPross)},
    {158, "Print POs", RunPrintPos, 0, Acq(AcqSecurity::poPross)},
    {159, "Print Draft POs", RunPrintDraftPos, 0, Acq(AcqSecurity::poDraft)},
    {160, "PO Lines", RunLinesOfPoWindow},
    {161, "Cancel PO", RunPlaceholder},
    {162, "Renewal Candidates", RunRenewalCandidates, 0, Acq(AcqSecurity::poRenew)},
    {163, "Set Renewal Orders", RunSetRenewalOrders, 0, Acq(AcqSecurity::poSetRw)},
    {164, "EDIFACT Order Responses", RunOrderResponses, 0, Acq(AcqSecurity::poHead)},
    {170, "Workslip Batches", RunWorkslipBatches},
    {171, "PO Line List", RunLinesOfActive},
    {172, "Approve PO Lines", RunLineActivity, kApprove},
    {173, "Receive", RunLineActivity, kReceive},
    {174, "Cancel", RunLineActivity, kCancel},
    {175, "Back Order", RunLineActivity, kBackOrder},
    {176, "Create Items", RunCreateItems, 0, Acq(AcqSecurity::poCItem)},
    {178, "Create Copies", RunCreateCopies, 0, Acq(AcqSecurity::poCCopy)},
    {177, "Copies", RunCopiesOfLine, 0, Acq(AcqSecurity::poEdit)},
    {253, "Copies", RunCopiesOfLine, 0, Acq(AcqSecurity::poEdit)},
    {179, "Prorated Extra Charges", RunLineCharges},
    {180, "Bibliographic Record", RunBibRecord},
    {191, "Apply Pattern", RunPattern},
    {192, "Save Pattern", RunPattern},
    {193, "Delete Pattern", RunPattern},
    // Undo: one command per activity group, each with its group's privilege.
    {201, "Undo Approval", RunUndoLines, kUndoApprove, Acq(AcqSecurity::poUnApp)},
    {202, "Undo Receive", RunUndoLines, kUndoReceive, Acq(AcqSecurity::poUnRC)},
    {203, "Undo Cancel", RunUndoLines, kUndoCancel, Acq(AcqSecurity::poUnRC)},
    {204, "Undo Discontinue or Renew", RunUndoLines, kUndoDiscRenew, Acq(AcqSecurity::poUnRD)},
    {205, "Undo Order", RunUndoOrder, 0, Acq(AcqSecurity::poUndo)},
    {211, "Statement", RunNewStatement, 0, Acq(AcqSecurity::stHead)},
    {215, "Statement", RunNewStatement, 1, Acq(AcqSecurity::stHead)},
    {219, "Statement", RunNewStatement, 2, Acq(AcqSecurity::stHead)},
    {216, "Statement", RunNewStatement, 3, Acq(AcqSecurity::stHead)},
    {220, "Statement", RunNewStatement, 4, Acq(AcqSecurity::stHead)},
    {217, "Statement", RunNewStatement, 5, Acq(AcqSecurity::stHead)},
    {221, "Statement", RunNewStatement, 6, Acq(AcqSecurity::stHead)},
    {212, "Find Statement", RunFind, kStmt},
    {213, "List Statements", RunStatementsOfActive},
    {214, "Credits Applied to Invoices", RunCredits},
    {218, "Statement Mode", RunStatementMode},
    {222, "Undo Statement", RunUndoStatement, 0, Acq(AcqSecurity::stUndo)},
    {224, "Undo Approval", RunUndoStatementApproval, 0, Acq(AcqSecurity::stUnApp)},
    {223, "Statements to Approve", RunStatementsToApprove},
    {225, "EDIFACT Invoices", RunEdifactInvoices, 0, Acq(AcqSecurity::stHead)},
    {231, "Prorate Extra Charges", RunProrate},
    {232, "Approve Statement", RunApproveStatement, 0, Acq(AcqSecurity::stApprv)},
    {241, "Vouchers", RunVouchers, 0, Acq(AcqSecurity::vFind)},
    {242, "List", RunListForActive},
    {251, "Purchase Requests", RunRequests, 0, Acq(AcqSecurity::prEdit)},
    {252, "Find Purchase Requests", RunFindRequests, 0, Acq(AcqSecurity::prFind)},
    {261, "Accounts", RunAccounts, 0, Man(AcqSecurity::acFind)},
    {262, "Accounts", RunAccounts, 0, Man(AcqSecurity::acFind)},
    {263, "Accounts", RunAccounts, 0, Man(AcqSecurity::acFind)},
    {265, "Account Years", RunAccountYears, 0, Man(AcqSecurity::acEdit)},
    {266, "Reassign Budget", RunReassign, 0, Man(AcqSecurity::reasBud)},
    {267, "Transfer Unspent", RunTransferUnspent, 0, Man(AcqSecurity::tranUns)},
    {264, "Budget Hierarchy Manager", RunHierarchyManager, 0, Man(AcqSecurity::useBHM)},
    {281, "Budget Hierarchy Manager", RunHierarchyManager, 0, Man(AcqSecurity::useBHM)},
    {268, "Budget Hierarchy Report", RunHierarchyReport},
    {271, "Claims Review", RunClaimsReview, 0, Acq(AcqSecurity::clmRev)},
    {272, "Print Claims", RunPrintClaims, 0, Acq(AcqSecurity::clmPrt)},
    {282, "Budget Status Report", RunReport, 0, Man(AcqSecurity::rptBSR)},
    {283, "Budget Codes Report", RunReport, 0, Man(AcqSecurity::rptTB)},
    {284, "PO Lines by Vendor Report", RunReport, 0, Man(AcqSecurity::rptTV)},
    {285, "Vendor Contracts Report", RunReport, 0, Man(AcqSecurity::rptTV)},
    {291, "Acquisitions Parameters", RunParameters},  // apEdit asked by the editor
    {292, "Workslip Printer Options", RunWorkslipOptions},
    {310, "Outstanding Payables", RunOutstandingPayables, 0, Acq(AcqSecurity::zCheque)},
    {320, "Cheque Runs", RunChequeRuns, 0, Acq(AcqSecurity::zCheque)},
    {330, "Cheque Updates", RunChequeUpdates, 0, Acq(AcqSecurity::zCheque)},
    {340, "Tax Report", RunReport, 0, Acq(AcqSecurity::zCheque)},
    {350, "Tax Report", RunReport, 0, Acq(AcqSecurity::zCheque)},
};

const Command* FindCommand(unsigned number) {
  for (const Command& c : kCommands) {
    if (c.number == number) return &c;
  }
  return nullptr;
}

// Menu state: the command is enabled exactly when its bit is set in the
// framework's set of operations for the window.
struct MenuBit {
  unsigned command;
  unsigned bit;
};
constexpr MenuBit kMenuBits[] = {
    {13, 4},     {57603, 2},  {42423, 5},  {42012, 6},  {57607, 7},  {12, 8},    {57604, 9},
    {42409, 10}, {42404, 11}, {42424, 12}, {42425, 13}, {42313, 14}, {42411, 15}, {57642, 24},
    // A report window's search and reload go with its print.
    {42102, 7},  {42202, 7},
};

bool IsClipboardCommand(unsigned command) {
  return command == 57632 || command == 57634 || command == 57635 || command == 57637;
}

}  // namespace

LRESULT DispatchCommand(unsigned command, HWND hwnd) {
  if (const Command* c = FindCommand(command); c != nullptr) {
    if (Lib_TraceOn()) Lib_Trace("command " + std::to_string(command) + " " + c->name);
    c->run(*c, hwnd);
  }
  return 0;
}

bool IsModuleCommand(unsigned command, HWND hwnd) {
  MucTools_SetCurrKtView(hwnd);
  for (const MenuBit& m : kMenuBits) {
    if (m.command == command) {
      MucTools_EnableMenuItem(command, (MrProc_MrProcMenuSet(hwnd) >> m.bit) & 1u);
      return true;
    }
  }
  if (IsClipboardCommand(command)) {
    MucTools_EnableEditMenu(hwnd == PwMucBase_hwndClient ? nullptr : hwnd);
    return true;
  }
  return false;
}

bool Closing() { return closing; }
bool StartedUp() { return startedUp; }

void Initialize() {
  closing = false;
  startedUp = false;
  ready = false;
  helpPath.clear();
  helpPathHost.clear();
}

void Terminate() {
  AcqDbPrereq::FreePrerequisites();
  if (!helpPathHost.empty()) KtRTL_WinHelp(PwMucBase_hwndFrame, helpPathHost, kHelpQuit, 0);
}

}  // namespace acq::AcqMain

ACQ_UNIT_BODY(AcqMain)

using namespace acq::AcqMain;

extern "C" __attribute__((visibility("default"))) void SetHwnd(HWND frame, HWND client) {
  PwMucBase_hwndFrame = frame;
  PwMucBase_hwndClient = client;
}

extern "C" __attribute__((visibility("default"))) LRESULT MainWndProc(HWND hwnd, UINT msg,
                                                                     WPARAM wParam,
                                                                     LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      SetClassBackground(hwnd);
      return 0;
    case WM_SIZE:
      MucTools_SizeYoink(lParam, wParam, hwnd);
      if (hwnd == PwMucBase_hwndClient) MucTools_ReposMinimizedDlg(hwnd);
      return 0;
    case WM_PAINT:
      PaintClient(hwnd);
      return 0;
    case WM_CLOSE:
      return CloseRequest(hwnd);
    case WM_COMMAND:
      DispatchCommand(LOWORD(wParam), hwnd);
      return 0;
    case kMsgPrDistribution:
      // The purchase-request distribution editor answers when it is open.
      return 0;
    case kMsgMenuState:
      return IsModuleCommand(HIWORD(wParam), hwnd) ? TRUE : FALSE;
    case kMsgStartup:
      return Startup();
    case kMsgFramework1:
    case kMsgFramework2:
      return Framework(hwnd, msg, wParam, lParam);
    case kMsgRecordChange1:
    case kMsgRecordChange2:
      return RecordChange(hwnd, msg, wParam, lParam);
    case kMsgNotify:
      // Offered to the PO and statement editors; none owns it in this build.
      return 0;
    case kMsgChildNotify:
      // The owners (statement extra charges, renewals, PO editors) come
      // first; with none open the framework handles it.
      return Framework(hwnd, msg, wParam, lParam);
    case kMsgEndModal: {
      // The activity window and the PO editors end as their OK or Cancel
      // would; any other window is the framework's.
      const HWND target = reinterpret_cast<HWND>(lParam);
      if (acq::AcqPoAct::IsActivityWindow(target)) {
        acq::AcqPoAct::EndActivity(target, LOWORD(wParam));
        return 0;
      }
      if (acq::AcqPo::IsPoEditor(target)) {
        acq::AcqPo::EndEditor(target, LOWORD(wParam));
        return 0;
      }
      return Framework(hwnd, msg, wParam, lParam);
    }
    case kMsgCommandFor: {
      const auto* target = reinterpret_cast<const HWND*>(lParam);
      return DispatchCommand(LOWORD(wParam), target != nullptr ? *target : nullptr);
    }
    case kMsgFrameHandle:
      return reinterpret_cast<LRESULT>(acq::AcqGlobal::FrameHwnd());
    case kMsgExtraChargeApply:
    case kMsgPoEditor:
    case kMsgExtraCharge:
    case kMsgEdiUpload:
      // Their windows (extra charges, PO editor, EDIFACT upload) are not part
      // of this build; nothing to do.
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
