// AcqPayables: the outstanding payables (status, delete, the payable
// report, the cheque run), the cheque runs (reprinting a run's register or
// writing its file once) and the cheque updates (reconcile or void the
// issued cheques of a year). The database side is AcqDbPayables, the
// formatted cheque file AcqChequeFile.
//
// Each of the three lists is open at most once; opening it again brings it
// forward. Every search or refresh of a list asks zCheque again, as every
// list asks its privilege.
#include "acq/statement/AcqPayables.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/statement/AcqChequeFile.h"
#include "acq/statement/AcqDbPayables.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/print/MucPrint.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPayables {
namespace {

using AcqDbPayables::ChequeStatus;
using AcqDbPayables::Outcome;
using AcqDbPayables::PayableKey;
using AcqDbPayables::PayableStatus;
using AcqDbPayables::ReportRows;

// Messages and report texts (string table).
constexpr int kStrScheduleHeading = 500;
constexpr int kStrPayablesPrinter = 501;
constexpr int kMsgRunCompleted = 515;        // %1 run, %2 first and %3 last cheque
constexpr int kMsgFileCreated = 516;
constexpr int kMsgRegisterPrinted = 517;
constexpr int kMsgRunDone = 518;
constexpr int kMsgBadDate = 519;
constexpr int kMsgCannotProcessCheques = 521;
constexpr int kMsgOneRunOnly = 523;
constexpr int kMsgRegisterReprinted = 524;
constexpr int kMsgFileRecreated = 525;
constexpr int kMsgFileCannotBeRecreated = 526;
constexpr int kMsgMixedCurrencies = 528;
constexpr int kStrRegisterTitle = 534;
constexpr int kMsgCannotDelete = 541;
constexpr int kMsgSelectPayables = 1630;
constexpr int kMsgNothingToPay = 1631;
constexpr int kMsgSelectCheques = 1632;
constexpr int kMsgSelectRun = 1633;
constexpr int kMsgNoCheques = 1634;
constexpr int kMsgPayablesGone = 1636;       // %1 how many
constexpr int kMsgChequeNotIssued = 1637;    // %1 the cheque
constexpr int kStrRun = 1640, kStrCheque = 1641, kStrIssued = 1642, kStrVendor = 1643,
              kStrPayable = 1644, kStrInvoiceDate = 1645, kStrCode = 1646,
              kStrPayablesCount = 1647, kStrChequeAmount = 1648, kStrProcessDate = 1649,
              kStrHold = 1650, kStrVendorTotals = 1651, kStrFunding = 1652, kStrGlCity = 1653,
              kStrKtnInv = 1654, kStrGst = 1655, kStrPst = 1656, kStrGstSelf = 1657,
              kStrPstSelf = 1658, kStrAmount = 1659, kStrBudget = 1660, kStrCurrency = 1661,
              kStrYes = 1662, kStrNo = 1663;

// Dialogs and their controls.
constexpr int kStatusDialog = 520, kHoldRadio = 5201, kOpenRadio = 5202;
constexpr int kRunDialog = 530, kFileCheck = 5301, kRegisterCheck = 5302;
constexpr int kYearDialog = 560, kYearList = 1000;
constexpr int kDateDialog = 570, kDateEdit = 5702;
constexpr int kDeleteDialog = 590;
constexpr UINT kCmdStatus = 5001, kCmdReport = 5002, kCmdChequeRun = 5003, kCmdDelete = 5004;
constexpr UINT kCmdRegister = 5401, kCmdFile = 5402;
constexpr UINT kCmdReconcile = 5504, kCmdVoid = 5505;
constexpr int kYearText = 5501, kOpenChequesText = 5502, kOpenValueText = 5503;

constexpr const char* kPayablesView = "acq_outstanding_payables";
constexpr const char* kRunsView = "acq_cheque_runs";
constexpr const char* kUpdatesView = "acq_cheque_updates";
constexpr const char* kEnvir = "payables";

// An open list window, from its opening to WM_DESTROY.
struct ListWindow {
  HLISTER lister = nullptr;
  HWND hwnd = nullptr;
  std::string view;
};
ListWindow payablesList, runsList, updatesList;
int updatesYear = 0;   // the year updatesList shows

std::string Str(int id) { return AcqBase::LoadStr(id); }
// The caption part of a string (report titles and headings).
std::string Caption(int id) {
  std::string s = AcqBase::LoadStr(id);
  if (const size_t bar = s.find('|'); bar != std::string::npos) s.resize(bar);
  return s;
}

void Tell(int id, std::string_view a1 = {}, std::string_view a2 = {}, std::string_view a3 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(Str(id), a1, a2, a3),
                     MB_OK | MB_ICONINFORMATION);
}

// Reads the list's rows again (after a change), keeping it open.
void Reload(const ListWindow& w) {
  if (w.lister != nullptr) (void)MrLister_MrListerBegin(w.lister, MucTools_BuildSizeKey(w.view));
}

// The integer columns `cols` of each selected row of the list, in list order.
std::vector<std::vector<int32_t>> Selected(const ListWindow& w,
                                           const std::vector<std::string_view>& cols) {
  std::vector<std::vector<int32_t>> out;
  if (w.lister == nullptr) return out;
  BktHandle rows = MrLister_Rows(w.lister);
  std::vector<int> nums;
  for (std::string_view c : cols) nums.push_back(_BktGetColNum(rows, c));
  for (int row : MrLister_Selection(w.lister)) {
    std::vector<int32_t> values;
    for (int n : nums) values.push_back(n == 0 ? 0 : _ColGetInt(rows, row, n));
    out.push_back(std::move(values));
  }
  return out;
}

// ---- modal dialogs --------------------------------------------------------------------
// What a modal dialog does on opening and on OK (false keeps it open).
struct Modal {
  std::function<void(HWND)> init;
  std::function<bool(HWND)> ok;
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
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        Modal* m = modals.count(hwnd) ? modals[hwnd] : nullptr;
        if (m == nullptr || !m->ok || m->ok(hwnd)) EndDialog(hwnd, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      modals.erase(hwnd);
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

bool RunModal(int dialog, Modal& modal) {
  return DialogBoxParamW(AcqBase::ResourceInstance(), dialog, PwMucBase_hwndClient, &ModalDlgProc,
                         reinterpret_cast<LPARAM>(&modal)) == IDOK;
}

// ---- reports ---------------------------------------------------------------------------
// A report: sections of rows under column headings, each closed by lines.
struct Section {
  std::string title;                    // bold, above the headings ("" none)
  std::vector<std::string> headings;
  ReportRows rows;
  std::vector<std::string> footer;      // lines under the rows
};

std::vector<MucPrintCell> Cells(const std::vector<std::string>& texts, size_t columns,
                                MucPrintStyle style) {
  std::vector<MucPrintCell> out;
  const int n = static_cast<int>(std::max<size_t>(1, columns));
  for (int c = 0; c < n; ++c)
    out.push_back(MucPrintCell{c < static_cast<int>(texts.size()) ? texts[c] : "", c * 1000 / n,
                               (c + 1) * 1000 / n, MUCPRINT_LEFT, style});
  return out;
}

// Prints the report under `heading` as job "Payables Printer", after the
// person chose the printer. True when the job went out; told otherwise.
bool PrintReport(const std::string& heading, const std::vector<Section>& sections) {
  const std::string jobTitle = Caption(kStrPayablesPrinter);
  std::string printer = MucPrint_DefaultPrinter();
  if (!MucPrint_OpenPrinterDlgBox(jobTitle, printer)) return false;
  MucPrintJobHold job;
  std::string why;
  MucPrintCode code = MucPrint_OpenPrinter(printer, MucPrint_QueryPageSetup(), job.out(), &why);
  if (code == MUCPRINT_OK) code = MucPrint_StartPrint(job.get(), jobTitle);
  if (code == MUCPRINT_OK) code = MucPrint_StartDocument(job.get(), heading);
  for (const Section& s : sections) {
    if (code == MUCPRINT_OK && !s.title.empty())
      code = MucPrint_PrintStr(job.get(), s.title, MUCPRINT_LEFT, MUCPRINT_BOLD);
    const auto headings = Cells(s.headings, s.headings.size(), MUCPRINT_BOLD);
    if (code == MUCPRINT_OK) code = MucPrint_PrintCells(job.get(), headings);
    if (code == MUCPRINT_OK) code = MucPrint_SetRunningHeading(job.get(), headings);
    for (size_t r = 0; code == MUCPRINT_OK && r < s.rows.size(); ++r)
      code = MucPrint_PrintCells(job.get(), Cells(s.rows[r], s.headings.size(), MUCPRINT_REGULAR));
    if (code == MUCPRINT_OK) code = MucPrint_SetRunningHeading(job.get(), {});
    for (size_t f = 0; code == MUCPRINT_OK && f < s.footer.size(); ++f)
      code = MucPrint_PrintStr(job.get(), s.footer[f], MUCPRINT_LEFT, MUCPRINT_BOLD);
    if (code == MUCPRINT_OK) code = MucPrint_PrintStr(job.get(), "", MUCPRINT_LEFT, MUCPRINT_REGULAR);
  }
  if (code == MUCPRINT_OK) code = MucPrint_EndPrint(job.get());
  if (code == MUCPRINT_OK) return true;
  if (job.get() != nullptr) why = MucPrint_ErrorText(job.get());
  MucTools_MsgBoxCap(PwMucBase_hwndClient, jobTitle + "|" + why, MB_OK | MB_ICONWARNING);
  return false;
}

Dec64 Amount(const std::string& text) { return LbDec64_StrTo64(text).value_or(Dec64{}); }
std::string AmountText(Dec64 amount) {
  return LbDec64_StrFrom64(amount, DbDabs_QueryMoneyFmt(0).decimals);
}

// The cheque register of a run: per cheque its run, number, date and
// vendor, its payables, and their count and the cheque's amount.
bool PrintRegister(int32_t run) {
  ReportRows rows;
  if (!AcqDbPayables::ReadChequeRegister(run, rows)) return false;
  std::vector<Section> sections;
  for (size_t r = 0; r < rows.size();) {
    const std::vector<std::string>& first = rows[r];
    Section s;
    s.title = Caption(kStrRun) + " " + first[0] + "   " + Caption(kStrCheque) + " " + first[1] +
              "   " + Caption(kStrIssued) + " " + first[2] + "   " + Caption(kStrVendor) + " " +
              first[3];
    s.headings = {Caption(kStrPayable), Caption(kStrInvoiceDate), Caption(kStrCode),
                  Caption(kStrAmount)};
    Dec64 total{};
    for (; r < rows.size() && rows[r][1] == first[1]; ++r) {
      s.rows.push_back({rows[r][4], rows[r][5], rows[r][6], rows[r][7]});
      (void)LbDec64_Add64(total, Amount(rows[r][7]), total);
    }
    s.footer = {Caption(kStrPayablesCount) + std::to_string(s.rows.size()),
                Caption(kStrChequeAmount) + AmountText(total)};
    sections.push_back(std::move(s));
  }
  return PrintReport(Caption(kStrRegisterTitle), sections);
}

// The schedule of cheque payment: the outstanding payables by status and
// vendor with each vendor's totals, then their funding by budget and by
// account reference.
bool PrintPayableReport() {
  AcqDbPayables::PayableReport report;
  if (!AcqDbPayables::ReadPayableReport(report)) return false;
  std::vector<Section> sections;
  const std::vector<std::string> headings = {
      Caption(kStrPayable), Caption(kStrKtnInv),  Caption(kStrInvoiceDate), Caption(kStrProcessDate),
      Caption(kStrHold),    Caption(kStrAmount),  Caption(kStrCurrency),    Caption(kStrGst),
      Caption(kStrPst),     Caption(kStrGstSelf), Caption(kStrPstSelf)};
  const ReportRows& rows = report.payables;   // status_descr, vendor_name, voucher#, ...
  for (size_t r = 0; r < rows.size();) {
    Section s;
    s.title = rows[r][1] + " (" + rows[r][12] + ")";
    s.headings = headings;
    Dec64 total{}, gst{}, pst{};
    const size_t first = r;
    for (; r < rows.size() && rows[r][0] == rows[first][0] && rows[r][1] == rows[first][1] &&
           rows[r][12] == rows[first][12];
         ++r) {
      const auto& p = rows[r];
      s.rows.push_back({p[2], p[3], p[4], p[5], p[0] == "Hold" ? Caption(kStrYes) : Caption(kStrNo),
                        p[6], p[7], p[8], p[9], p[10], p[11]});
      (void)LbDec64_Add64(total, Amount(p[6]), total);
      (void)LbDec64_Add64(gst, Amount(p[8]), gst);
      (void)LbDec64_Add64(pst, Amount(p[9]), pst);
    }
    s.footer = {Caption(kStrVendorTotals) + ": " + AmountText(total) + "   " + Caption(kStrGst) +
                AmountText(gst) + "   " + Caption(kStrPst) + AmountText(pst)};
    sections.push_back(std::move(s));
  }
  sections.push_back(Section{Caption(kStrFunding),
                             {Caption(kStrPayable), Caption(kStrBudget), Caption(kStrAmount)},
                             report.budgets,
                             {}});
  sections.push_back(Section{Caption(kStrGlCity),
                             {Caption(kStrPayable), Caption(kStrGlCity), Caption(kStrAmount)},
                             report.accounts,
                             {}});
  return PrintReport(Caption(kStrScheduleHeading), sections);
}

// ---- outstanding payables --------------------------------------------------------------------
std::vector<PayableKey> SelectedPayables() {
  std::vector<PayableKey> keys;
  for (const auto& v : Selected(payablesList, {"voucher#", "statement#"}))
    keys.push_back(PayableKey{v[0], v[1]});
  return keys;
}

void SetStatusOfSelected() {
  const std::vector<PayableKey> keys = SelectedPayables();
  if (keys.empty()) return Tell(kMsgSelectPayables);
  bool open = false;
  Modal modal{nullptr, [&](HWND hwnd) {
                open = IsDlgButtonChecked(hwnd, kOpenRadio);
                return true;
              }};
  if (!RunModal(kStatusDialog, modal)) return;
  if (AcqDbPayables::SetPayablesStatus(keys, open ? PayableStatus::Open : PayableStatus::Hold) ==
      Outcome::Refused)
    Tell(kMsgMixedCurrencies);
  Reload(payablesList);
}

void DeleteSelected() {
  const std::vector<PayableKey> keys = SelectedPayables();
  if (keys.empty()) return Tell(kMsgSelectPayables);
  Modal modal;
  if (!RunModal(kDeleteDialog, modal)) return;
  int refused = 0;
  if (AcqDbPayables::SetPayablesStatus(keys, PayableStatus::Deleted, &refused) == Outcome::Refused)
    MucTools_MsgBoxCap(PwMucBase_hwndClient,
                       Str(kMsgCannotDelete) +
                           Lb_FormatMessage(AcqBase::LoadStrText(kMsgPayablesGone),
                                            std::to_string(refused)),
                       MB_OK | MB_ICONWARNING);
  Reload(payablesList);
}

void RunChequeRun() {
  bool file = true, registerReport = true;
  Modal modal{nullptr, [&](HWND hwnd) {
                file = IsDlgButtonChecked(hwnd, kFileCheck);
                registerReport = IsDlgButtonChecked(hwnd, kRegisterCheck);
                return true;
              }};
  if (!RunModal(kRunDialog, modal)) return;
  MucTools_HourGlass(true);
  AcqDbPayables::RunResult run;
  const Outcome outcome = AcqDbPayables::CreateChequeRun(run);
  MucTools_HourGlass(false);
  if (outcome == Outcome::Refused) Tell(kMsgNothingToPay);
  if (outcome != Outcome::Done) return Reload(payablesList);
  Reload(payablesList);
  Tell(kMsgRunCompleted, std::to_string(run.run), std::to_string(run.firstCheque),
       std::to_string(run.lastCheque));
  if (file && AcqChequeFile::WriteChequeFile(PwMucBase_hwndClient, run.run) ==
                  AcqChequeFile::FileResult::Written)
    Tell(kMsgFileCreated);
  if (registerReport && PrintRegister(run.run)) Tell(kMsgRegisterPrinted);
  Tell(kMsgRunDone);
}

void UpdateSelectedCheques(ChequeStatus status);

// A list window's dialog procedure: the buttons of its kind, and zCheque
// before each search or refresh.
LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != ACCEL_COMMAND) break;
      if (hwnd == payablesList.hwnd) {
        switch (LOWORD(wParam)) {
          case kCmdStatus: SetStatusOfSelected(); return TRUE;
          case kCmdReport: (void)PrintPayableReport(); return TRUE;
          case kCmdChequeRun: RunChequeRun(); return TRUE;
          case kCmdDelete: DeleteSelected(); return TRUE;
          default: break;
        }
      } else if (hwnd == runsList.hwnd &&
                 (LOWORD(wParam) == kCmdRegister || LOWORD(wParam) == kCmdFile)) {
        const auto runs = Selected(runsList, {"cheque_run#"});
        if (runs.empty()) {
          Tell(kMsgSelectRun);
        } else if (runs.size() > 1) {
          Tell(kMsgOneRunOnly);
        } else if (LOWORD(wParam) == kCmdRegister) {
          if (PrintRegister(runs[0][0])) Tell(kMsgRegisterReprinted);
        } else {
          switch (AcqChequeFile::WriteChequeFile(PwMucBase_hwndClient, runs[0][0])) {
            case AcqChequeFile::FileResult::Written: Tell(kMsgFileRecreated); break;
            case AcqChequeFile::FileResult::AlreadyCreated: Tell(kMsgFileCannotBeRecreated); break;
            case AcqChequeFile::FileResult::Cancelled:
            case AcqChequeFile::FileResult::Failed: break;
          }
          Reload(runsList);
        }
        return TRUE;
      } else if (hwnd == updatesList.hwnd &&
                 (LOWORD(wParam) == kCmdReconcile || LOWORD(wParam) == kCmdVoid)) {
        UpdateSelectedCheques(LOWORD(wParam) == kCmdVoid ? ChequeStatus::Void
                                                         : ChequeStatus::Reconciled);
        return TRUE;
      }
      break;
    case kMrQueryCode:
      if (wParam == kMrSearch || wParam == kMrRefresh)
        return AcqSecurity::CheckPrivilege(AcqSecurity::zCheque) ? FALSE : TRUE;
      break;
    case WM_DESTROY:
      for (ListWindow* w : {&payablesList, &runsList, &updatesList})
        if (w->hwnd == hwnd) *w = ListWindow{};
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// Opens list `view` (with `where` added) into `w`, or brings it forward.
bool OpenList(ListWindow& w, const char* view, const std::string& where) {
  if (w.hwnd != nullptr) {
    MucTools_SetCurrKtView(w.hwnd);
    return true;
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HLISTER lister =
      MrLister_MrListerUserInst(envir, view, &ListDlgProc, PwMucBase_hwndClient, where, "");
  bool ok = lister != nullptr;
  if (!ok) {
    MrProc_FreeEnvir(&envir);   // no window took it
  } else {
    w = ListWindow{lister, MrLister_Hwnd(lister), view};
    if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(view))) {
      DestroyWindow(w.hwnd);   // WM_DESTROY forgets it
      ok = false;
    }
  }
  MucTools_HourGlass(false);
  return ok;
}

// ---- cheque updates --------------------------------------------------------------------------
void ShowOpenTotals() {
  int32_t count = 0;
  Dec64 value{};
  if (updatesList.hwnd == nullptr ||
      !AcqDbPayables::GetOpenChequeTotals(updatesYear, count, value))
    return;
  SetDlgItemTextW(updatesList.hwnd, kYearText, std::to_string(updatesYear));
  SetDlgItemTextW(updatesList.hwnd, kOpenChequesText, std::to_string(count));
  SetDlgItemTextW(updatesList.hwnd, kOpenValueText, AmountText(value));
}

std::string Trimmed(std::string text) {
  const size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

// Reconciles or voids the cheques selected in the cheque updates list, as
// of the processed date the person gives (asked again until it is a date).
void UpdateSelectedCheques(ChequeStatus status) {
  std::vector<int32_t> cheques;
  for (const auto& v : Selected(updatesList, {"cheque#"})) cheques.push_back(v[0]);
  if (cheques.empty()) return Tell(kMsgSelectCheques);
  DayNum processed = DbDabs_GetDate();
  Modal modal{[&](HWND hwnd) { SetDlgItemTextW(hwnd, kDateEdit, DbDabs_DateToStr(processed)); },
              [&](HWND hwnd) {
                if (DbDabs_StrToDate(Trimmed(GetDlgItemTextW(hwnd, kDateEdit)), processed))
                  return true;
                Tell(kMsgBadDate);
                return false;
              }};
  if (!RunModal(kDateDialog, modal)) return;
  int32_t refused = 0;
  if (AcqDbPayables::UpdateChequeStatus(cheques, processed, status, refused) == Outcome::Refused)
    MucTools_MsgBoxCap(PwMucBase_hwndClient,
                       Str(kMsgCannotProcessCheques) + " " +
                           Lb_FormatMessage(AcqBase::LoadStrText(kMsgChequeNotIssued),
                                            std::to_string(refused)),
                       MB_OK | MB_ICONWARNING);
  Reload(updatesList);
  ShowOpenTotals();
}

}  // namespace

void OpenOutstandingPayables() { (void)OpenList(payablesList, kPayablesView, ""); }

void OpenChequeRuns() { (void)OpenList(runsList, kRunsView, ""); }

void OpenChequeUpdates() {
  std::vector<int> years;
  if (!AcqDbPayables::ReadChequeYears(years)) return;
  if (years.empty()) return Tell(kMsgNoCheques);
  int year = years.front();
  Modal modal{[&](HWND hwnd) {
                SetDlgListColumns(hwnd, kYearList, {{"year", "Year"}});
                std::vector<std::vector<std::string>> rows;
                for (int y : years) rows.push_back({std::to_string(y)});
                SetDlgListRows(hwnd, kYearList, rows);
                SetDlgListSelection(hwnd, kYearList, {1});
              },
              [&](HWND hwnd) {
                const std::vector<int> sel = GetDlgListSelection(hwnd, kYearList);
                if (sel.size() != 1) return false;
                year = years[static_cast<size_t>(sel[0] - 1)];
                return true;
              }};
  if (!RunModal(kYearDialog, modal)) return;
  if (updatesList.hwnd != nullptr && updatesYear != year) DestroyWindow(updatesList.hwnd);
  updatesYear = year;
  if (OpenList(updatesList, kUpdatesView, "year=" + std::to_string(year))) ShowOpenTotals();
}

void Initialize() {
  payablesList = runsList = updatesList = ListWindow{};
  updatesYear = 0;
}

void Terminate() {
  payablesList = runsList = updatesList = ListWindow{};
  modals.clear();
}

}  // namespace acq::AcqPayables

ACQ_UNIT_BODY(AcqPayables)
