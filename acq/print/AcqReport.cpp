// AcqReport: the report windows. Each is a list over its own definition
// (the rows come from the database as the framework fetches them) with the
// totals of every listed row under it, kept up to date after each search
// and reload. Saving and printing take every row of the current search.
#include "acq/print/AcqReport.h"

#include <climits>
#include <map>
#include <utility>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/print/AcqDbReport.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucFilet.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqReport {
namespace {

using AcqReportTable::ReportKind;

constexpr int kMsgNoSearchColumns = 394;
constexpr int kMsgBadYear = 2000, kMsgTotalsOverflow = 2001, kMsgNotWritten = 2002,
              kMsgNotPrinted = 2003, kStrSaveTitle = 2004, kStrPrintTitle = 2005,
              kStrSearchTitle = 2020, kMsgBadSearch = 2021;
constexpr int kYearDialog = 2010, kYearField = 2012;
constexpr int kTotalsText = 2020;
constexpr int kDialogOf[] = {2000, 2001, 2002, 2003, 2004, 2005};   // by ReportKind
constexpr UINT kCmdSaveToFile = 57604, kCmdPrint = 57607, kCmdSearch = 42102,
               kCmdReload = 42202;

// An open report window, from its opening to WM_DESTROY.
struct ReportWindow {
  ReportKind kind = ReportKind::BudgetStatus;
  HLISTER lister = nullptr;
  std::string title;
  std::vector<AcqDbReport::ReportColumn> columns;
};
std::map<HWND, ReportWindow>* windows = nullptr;

ReportWindow* Find(HWND hwnd) {
  if (windows == nullptr) return nullptr;
  auto it = windows->find(hwnd);
  return it == windows->end() ? nullptr : &it->second;
}

std::string CaptionOf(int id) {
  std::string s = AcqBase::LoadStr(id);
  if (const size_t bar = s.find('|'); bar != std::string::npos) s.resize(bar);
  return s;
}

void Tell(int id, std::string_view a1 = {}, std::string_view a2 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2),
                     MB_OK | MB_ICONINFORMATION);
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool BuildTable(const ReportWindow& w, AcqReportTable::Table& table) {
  // Saving and printing cover the whole list, not the rows fetched so far.
  (void)MrLister_FetchRows(w.lister, INT_MAX);
  return AcqReportTable::BuildTable(w.kind, MrLister_Rows(w.lister), w.columns, w.title, table);
}

// The totals under the list: the summary lines, or why there are none.
void ShowTotals(HWND hwnd, const ReportWindow& w) {
  AcqReportTable::Table table;
  std::string text;
  if (!BuildTable(w, table)) {
    text = AcqBase::LoadStrText(kMsgTotalsOverflow);
  } else {
    for (const auto& row : table.totals) {
      std::string line;
      for (size_t c = 0; c < row.size(); ++c) {
        if (row[c].empty()) continue;
        line += (line.empty() ? "" : "  ") + (c == 0 ? row[c] : table.headings[c] + " " + row[c]);
      }
      text += (text.empty() ? "" : "\n") + line;
    }
    if (w.kind == ReportKind::BudgetStatus) {
      text.clear();
      for (const std::string& s : table.summary) text += (text.empty() ? "" : "\n") + s;
    } else if (!table.summary.empty()) {
      text += (text.empty() ? "" : "\n") + table.summary.back();
    }
  }
  (void)SetDlgItemTextW(hwnd, kTotalsText, text);
}

LRESULT ReportDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      return TRUE;
    case kMrCodeDone:
      if ((wParam == static_cast<WPARAM>(kMrSearch) || wParam == static_cast<WPARAM>(kMrRefresh)) &&
          lParam != 0)
        if (const ReportWindow* w = Find(hwnd)) ShowTotals(hwnd, *w);
      break;
    case WM_DESTROY:
      if (windows != nullptr) windows->erase(hwnd);
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// ---- the year of the budget status -------------------------------------------------------

struct YearAsk {
  std::string offered;
  std::string chosen;
};

LRESULT YearDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static std::map<HWND, YearAsk*> asks;
  switch (msg) {
    case WM_INITDIALOG:
      asks[hwnd] = reinterpret_cast<YearAsk*>(lParam);
      (void)SetDlgItemTextW(hwnd, kYearField, asks[hwnd]->offered);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        const std::string text = Trim(GetDlgItemTextW(hwnd, kYearField));
        int year = 0;
        bool ok = text.size() <= 4;
        for (char c : text) {
          ok = ok && c >= '0' && c <= '9';
          if (ok) year = year * 10 + (c - '0');
        }
        if (!ok || (!text.empty() && year < 1)) {
          Tell(kMsgBadYear);
          return TRUE;
        }
        asks[hwnd]->chosen = text.empty() ? "" : std::to_string(year);
        EndDialog(hwnd, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      asks.erase(hwnd);
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

bool AskYear(std::string& year) {
  const int16_t fiscal = AcqDbGlobal::Globals().params.fiscal_year;
  YearAsk ask{fiscal == AcqDbGlobal::kNoFiscalYear ? "" : std::to_string(fiscal), {}};
  if (DialogBoxParamW(AcqBase::ResourceInstance(), kYearDialog, PwMucBase_hwndClient,
                      &YearDlgProc, reinterpret_cast<LPARAM>(&ask)) != IDOK)
    return false;
  year = ask.chosen;
  return true;
}

// ---- search -------------------------------------------------------------------------------

struct SearchAsk {
  std::vector<const AcqDbReport::ReportColumn*> columns;
  std::vector<std::string> values;
};
constexpr int kSearchFieldBase = 3000;

LRESULT SearchDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static std::map<HWND, SearchAsk*> asks;
  switch (msg) {
    case WM_INITDIALOG:
      asks[hwnd] = reinterpret_cast<SearchAsk*>(lParam);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        SearchAsk* ask = asks[hwnd];
        ask->values.clear();
        for (size_t n = 0; n < ask->columns.size(); ++n)
          ask->values.push_back(
              Trim(GetDlgItemTextW(hwnd, kSearchFieldBase + 2 * static_cast<int>(n) + 1)));
        EndDialog(hwnd, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      asks.erase(hwnd);
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

DialogControl Control(int id, ControlKind kind, const std::string& name, const std::string& text) {
  DialogControl c;
  c.id = id;
  c.kind = kind;
  c.name = name;
  c.text = text;
  return c;
}

// Asks a value for each searchable column (empty: any) and runs the search.
void Search(HWND hwnd, ReportWindow& w) {
  SearchAsk ask;
  for (const auto& c : w.columns)
    if (c.searchable) ask.columns.push_back(&c);
  if (ask.columns.empty()) {
    Tell(kMsgNoSearchColumns);
    return;
  }
  DialogTemplate tmpl;
  tmpl.caption = CaptionOf(kStrSearchTitle);
  for (size_t n = 0; n < ask.columns.size(); ++n) {
    const int id = kSearchFieldBase + 2 * static_cast<int>(n);
    tmpl.controls.push_back(Control(id, ControlKind::Static, "-", ask.columns[n]->heading));
    tmpl.controls.push_back(Control(id + 1, ControlKind::Edit, ask.columns[n]->name, ""));
  }
  tmpl.controls.push_back(Control(IDOK, ControlKind::Button, "ok", "OK"));
  tmpl.controls.back().isDefault = true;
  tmpl.controls.push_back(Control(IDCANCEL, ControlKind::Button, "cancel", "Cancel"));
  if (DialogBoxIndirectParamW(tmpl, hwnd, &SearchDlgProc, reinterpret_cast<LPARAM>(&ask)) !=
      IDOK)
    return;
  for (size_t n = 0; n < ask.columns.size(); ++n) {
    if (!MrLister_SetSearch(w.lister, ask.columns[n]->name, ask.values[n])) {
      Tell(kMsgBadSearch, ask.values[n], ask.columns[n]->heading);
      return;
    }
  }
  MucTools_SetCurrKtView(hwnd);
  (void)MrProc_MrProcCmd(AcqDbGlobal::Session(), kMrSearch, PwMucBase_hwndClient);
}

void SaveToFile(const ReportWindow& w) {
  AcqReportTable::Table table;
  if (!BuildTable(w, table)) {
    Tell(kMsgTotalsOverflow);
    return;
  }
  std::string path;
  if (!MucFilet_FileSaveAsBox(CaptionOf(kStrSaveTitle),
                              std::string(AcqReportTable::ViewOf(w.kind)) + ".csv", path))
    return;
  std::string error;
  if (!AcqReportTable::WriteCsv(path, table, error)) {
    Tell(kMsgNotWritten, error);
    return;
  }
  MucFilet_FileWritten(path);
}

void Print(const ReportWindow& w) {
  AcqReportTable::Table table;
  if (!BuildTable(w, table)) {
    Tell(kMsgTotalsOverflow);
    return;
  }
  std::string printer = MucPrint_DefaultPrinter();
  if (!MucPrint_OpenPrinterDlgBox(CaptionOf(kStrPrintTitle), printer)) return;
  std::string error;
  if (AcqReportTable::PrintTable(printer, table, error) != MUCPRINT_OK)
    Tell(kMsgNotPrinted, error);
}

struct CommandReport {
  int command;
  ReportKind kind;
};
constexpr CommandReport kReports[] = {
    {282, ReportKind::BudgetStatus},    {283, ReportKind::BudgetCodes},
    {284, ReportKind::PoLinesByVendor}, {285, ReportKind::VendorContracts},
    {340, ReportKind::TaxDetail},       {350, ReportKind::TaxSummary},
};

}  // namespace

HWND OpenReportWindow(ReportKind kind, const std::string& year) {
  const char* view = AcqReportTable::ViewOf(kind);
  std::vector<std::string> conditions;
  if (kind == ReportKind::BudgetStatus)
    conditions.push_back(year.empty() ? "year IS NULL" : "year=" + year);
  if (AcqReportTable::ListsBudgets(kind)) {
    if (std::string where = AcqDbReport::UnusableAccountsWhere(); !where.empty())
      conditions.push_back(where);
  }
  std::string where;
  for (const std::string& c : conditions) where += (where.empty() ? "" : " AND ") + c;

  ReportWindow w;
  w.kind = kind;
  if (!AcqDbReport::LoadColumns(view, w.columns)) return nullptr;
  const auto tmpl = LoadDialogTemplate(AcqBase::ResourceInstance(),
                                       kDialogOf[static_cast<int>(kind)]);
  w.title = tmpl ? tmpl->caption : view;
  if (kind == ReportKind::BudgetStatus && !year.empty()) w.title += " " + year;

  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), "report");
  w.lister = MrLister_MrListerUserInst(envir, view, &ReportDlgProc, PwMucBase_hwndClient, where,
                                       w.title);
  HWND hwnd = nullptr;
  if (w.lister == nullptr) {
    MrProc_FreeEnvir(&envir);
  } else {
    hwnd = MrLister_Hwnd(w.lister);
    windows->insert_or_assign(hwnd, w);
    if (!MrLister_MrListerBegin(w.lister, MucTools_BuildSizeKey(view))) {
      DestroyWindow(hwnd);
      hwnd = nullptr;
    } else {
      // Print and save to file are offered on report lists alone.
      MrProc_SetWindowMenuBits(hwnd, (1u << kMrPrint) | (1u << kMrSaveToFile));
      ShowTotals(hwnd, *Find(hwnd));
    }
  }
  MucTools_HourGlass(false);
  return hwnd;
}

void OpenReport(int command) {
  for (const CommandReport& r : kReports) {
    if (r.command != command) continue;
    std::string year;
    if (r.kind == ReportKind::BudgetStatus && !AskYear(year)) return;
    (void)OpenReportWindow(r.kind, year);
    return;
  }
}

bool IsReportWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

void ReportListCommand(int command, HWND window) {
  ReportWindow* w = Find(window);
  if (w == nullptr) return;
  switch (command) {
    case kCmdSaveToFile: SaveToFile(*w); break;
    case kCmdPrint: Print(*w); break;
    case kCmdSearch: Search(window, *w); break;
    case kCmdReload:
      MucTools_SetCurrKtView(window);
      (void)MrProc_MrProcCmd(AcqDbGlobal::Session(), kMrRefresh, PwMucBase_hwndClient);
      break;
    default: break;
  }
}

bool TableOfWindow(HWND hwnd, AcqReportTable::Table& table) {
  const ReportWindow* w = Find(hwnd);
  return w != nullptr && BuildTable(*w, table);
}

void Initialize() { windows = new std::map<HWND, ReportWindow>(); }

void Terminate() {
  delete windows;
  windows = nullptr;
}

}  // namespace acq::AcqReport

ACQ_UNIT_BODY(AcqReport)
