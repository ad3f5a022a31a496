// AcqPPrint: printing of POs, drafts, cancellation notices and claim
// letters: the choice of form, the selection checks, one print job for all
// the POs, and the marking of each PO once the job went out.
#include "acq/print/AcqPPrint.h"

#include <set>
#include <string_view>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqFind.h"
#include "acq/frame/AcqList.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPo.h"
#include "acq/print/AcqPrint.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/print/MucPrint.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPPrint {
namespace {

constexpr int kPrintDialog = 21;
constexpr int kRadioNegotiable = 2101;
constexpr int kRadioDraft = 2102;
constexpr int kRadioCancellation = 2103;

constexpr int kStrJobName = 21;          // "Purchase Order"
constexpr int kStrPage = 26;
constexpr int kStrOf = 27;
constexpr int kMsgFontTooLarge = 238;
constexpr int kMsgPoNotApproved = 346;   // %1 the PO number
constexpr int kMsgNothingCancelled = 498;   // %1 the PO number

// Attempts of one PO's marking when another workstation's write meets it.
constexpr int kMarkAttempts = 10;

std::string Caption(int id) {
  std::string s = AcqBase::LoadStr(id);
  if (const size_t bar = s.find('|'); bar != std::string::npos) s.resize(bar);
  return s;
}

void Tell(int message, std::string_view a1 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(message), a1),
                     MB_OK | MB_ICONWARNING);
}

// A failure of the host's printing, in its own words under the job's name.
void TellPrinter(const std::string& why) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Caption(kStrJobName) + "|" + why,
                     MB_OK | MB_ICONWARNING);
}


// A negotiable order goes out only when every item of the PO is approved,
// as the PO's activities require (message 346 otherwise).
bool PassesSelection(const AcqPrint::Document& doc, Form form) {
  switch (form) {
    case Form::Negotiable: {
      int32_t unapproved = 0;
      if (!AcqDbBase::SelectCount("select count(*) from po_line_item where po#=" +
                                      std::to_string(doc.po) + " and approve_date IS NULL",
                                  unapproved))
        return false;
      if (unapproved == 0) return true;
      Tell(kMsgPoNotApproved, doc.poNumber);
      return false;
    }
    case Form::Draft: return true;
    // A notice or a letter with nothing to tell the vendor is not sent.
    case Form::Cancellation:
      if (!doc.entries.empty()) return true;
      Tell(kMsgNothingCancelled, doc.poNumber);
      return false;
    case Form::Claim: return !doc.entries.empty();
  }
  return false;
}

const char* MarkingProcedure(Form form) {
  switch (form) {
    case Form::Negotiable: return "print_po_update_db";
    case Form::Cancellation: return "print_change_po_update_db";
    case Form::Claim: return "print_claim_update_db";
    case Form::Draft: break;
  }
  return nullptr;
}

// Marks one printed PO in a transaction of its own (retried on a write
// conflict); a failure is shown once and leaves this PO unmarked.
bool Mark(int32_t po, Form form) {
  const char* procedure = MarkingProcedure(form);
  if (procedure == nullptr) return true;
  const DbCode code = AcqDbBase::SaveWithCodeRetry(
      kMarkAttempts,
      [&](DbMsg& msg) {
        int32_t marked = 0;
        return AcqDb::ExecSP(msg, &marked, sizeof marked, std::to_string(po), procedure);
      },
      [] { return true; });
  return code == kDbOk;
}

LRESULT PrintDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      CheckRadioButton(hwnd, kRadioNegotiable, kRadioCancellation, kRadioNegotiable);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        const int chosen = IsDlgButtonChecked(hwnd, kRadioDraft)          ? kRadioDraft
                           : IsDlgButtonChecked(hwnd, kRadioCancellation) ? kRadioCancellation
                                                                          : kRadioNegotiable;
        EndDialog(hwnd, chosen);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  (void)lParam;
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

int PrintPosOn(const std::string& printer, const std::vector<int32_t>& pos, Form form) {
  if (pos.empty()) return 0;
  const DayNum today = DbDabs_GetDate();
  // Read and checked first, so a PO that cannot go out costs no paper.
  std::vector<AcqPrint::Document> docs;
  for (int32_t po : pos) {
    AcqPrint::Document doc;
    if (!AcqPrint::LoadDocument(po, form, today, doc)) continue;
    if (PassesSelection(doc, form)) docs.push_back(std::move(doc));
  }
  if (docs.empty()) return 0;

  MucPrintJobHold job;
  std::string why;
  if (MucPrint_OpenPrinter(printer, MucPrint_QueryPageSetup(), job.out(), &why) != MUCPRINT_OK) {
    TellPrinter(why);
    return 0;
  }
  MucPrintCode code = MucPrint_StartPrint(job.get(), Caption(kStrJobName));
  MucPrint_SetPageWords(job.get(), Caption(kStrPage), Caption(kStrOf));
  for (size_t n = 0; code == MUCPRINT_OK && n < docs.size(); ++n)
    code = AcqPrint::PrintDocument(job.get(), docs[n]);
  if (code == MUCPRINT_OK) code = MucPrint_EndPrint(job.get());
  if (code == MUCPRINT_FONT_TOO_LARGE) {
    Tell(kMsgFontTooLarge);
    return 0;
  }
  if (code != MUCPRINT_OK) {
    TellPrinter(MucPrint_ErrorText(job.get()));
    return 0;
  }
  // The job went out: each PO is marked on its own, and the first that
  // cannot be stops the marking (those before it stay marked).
  int done = 0;
  for (const AcqPrint::Document& doc : docs) {
    if (!Mark(doc.po, form)) break;
    ++done;
  }
  return done;
}

int PrintPos(HWND owner, const std::vector<int32_t>& pos, Form form) {
  if (pos.empty()) return 0;
  std::string printer = MucPrint_DefaultPrinter();
  (void)owner;
  if (!MucPrint_OpenPrinterDlgBox(Caption(kStrJobName), printer)) return 0;
  return PrintPosOn(printer, pos, form);
}

std::vector<int32_t> SelectedPos(HWND active) {
  std::vector<int32_t> pos;
  std::set<int32_t> seen;
  auto add = [&](int32_t po) {
    if (seen.insert(po).second) pos.push_back(po);
  };
  int32_t po = 0;
  std::string number;
  if (AcqPo::PoOfWindow(active, po, number)) {
    add(po);
    return pos;
  }
  if (AcqFind::IsFindWindow(active, AcqFind::FindKind::PoHead) ||
      AcqList::IsListWindow(active, AcqSecurity::Records::Pos)) {
    if (HLISTER lister = MrLister_FromHwnd(active); lister != nullptr) {
      BktHandle rows = MrLister_Rows(lister);
      if (const int col = _BktGetColNum(rows, "po#"); col != 0)
        for (int row : MrLister_Selection(lister)) add(_ColGetInt(rows, row, col));
    }
    return pos;
  }
  auto lines = AcqList::SelectedLines(active);
  if (lines.empty()) lines = AcqFind::SelectedLines(active);
  for (const auto& [p, line] : lines) add(p);
  return pos;
}

void RunPrintPos(HWND active) {
  const std::vector<int32_t> pos = SelectedPos(active);
  if (pos.empty()) return;
  const INT_PTR chosen = DialogBoxParamW(AcqBase::ResourceInstance(), kPrintDialog,
                                         PwMucBase_hwndClient, &PrintDlgProc, 0);
  Form form;
  switch (chosen) {
    case kRadioNegotiable: form = Form::Negotiable; break;
    case kRadioCancellation: form = Form::Cancellation; break;
    case kRadioDraft:
      if (!AcqSecurity::CheckPrivilege(AcqSecurity::poDraft)) return;
      form = Form::Draft;
      break;
    default: return;
  }
  (void)PrintPos(PwMucBase_hwndClient, pos, form);
}

void RunPrintDraftPos(HWND active) {
  (void)PrintPos(PwMucBase_hwndClient, SelectedPos(active), Form::Draft);
}

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqPPrint

ACQ_UNIT_BODY(AcqPPrint)
