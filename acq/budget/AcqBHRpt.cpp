// AcqBHRpt: the budget hierarchy report printed through the host's
// printing services.
#include "acq/budget/AcqBHRpt.h"

#include "acq/AcqUnit.h"
#include "host/db/DbDabs.h"
#include "host/muc/MucTools.h"
#include "host/print/MucPrint.h"
#include "host/win32/Win32.h"

namespace acq::AcqBHRpt {
namespace {

constexpr const char* kTitle = "Budget Hierarchy Report";
// Each level of the tree indents its label by this many blanks.
constexpr int kIndent = 3;

std::string Money(Dec64 value) { return LbDec64_StrFrom64(value, DbDabs_QueryMoneyFmt(0).decimals); }
// Percentages are shown as computed: not rounded.
std::string Percent(Dec64 value) { return LbDec64_StrFrom64(value); }

std::vector<MucPrintCell> Cells(const std::vector<std::string>& texts, MucPrintStyle style) {
  // Label wide, budget medium, the five money columns alike.
  static constexpr int kEdges[] = {0, 280, 400, 520, 640, 760, 880, 1000};
  std::vector<MucPrintCell> out;
  for (size_t c = 0; c + 1 < std::size(kEdges); ++c)
    out.push_back(MucPrintCell{c < texts.size() ? texts[c] : "", kEdges[c], kEdges[c + 1],
                               c < 2 ? MUCPRINT_LEFT : MUCPRINT_RIGHT, style});
  return out;
}

}  // namespace

std::vector<std::vector<std::string>> ReportRows(const AcqDbBH::Report& report) {
  std::vector<std::vector<std::string>> rows;
  rows.reserve(report.lines.size());
  for (const auto& line : report.lines) {
    const auto& v = line.values;
    rows.push_back({std::string(static_cast<size_t>(line.depth * kIndent), ' ') + line.label,
                    line.budget, Money(v.amount), Money(v.on_order), Money(v.spent),
                    Money(v.available), Money(v.unspent)});
  }
  return rows;
}

std::vector<std::string> TotalLines(const AcqReportTotals::Totals& t) {
  return {"Total Amount: " + Money(t.amount),
          "Total On Order: " + Money(t.on_order),
          "Total Spent: " + Money(t.spent),
          "Total Available: " + Money(t.available),
          "Total Unspent: " + Money(t.unspent),
          "Total Percent On Order: " + Percent(t.percent_on_order),
          "Total Percent Spent: " + Percent(t.percent_spent),
          "Total Percent Available: " + Percent(t.percent_available),
          "Total Percent Unspent: " + Percent(t.percent_unspent)};
}

bool PrintTo(std::string_view printer, const AcqDbBH::Report& report, std::string& output,
             std::string& why) {
  output.clear();
  MucPrintJobHold job;
  MucPrintCode code = MucPrint_OpenPrinter(printer, MucPrint_QueryPageSetup(), job.out(), &why);
  if (code == MUCPRINT_OK) code = MucPrint_StartPrint(job.get(), kTitle);
  if (code == MUCPRINT_OK) code = MucPrint_StartDocument(job.get(), kTitle);
  const auto headings = Cells({"Item", "Budget", "Amount", "On Order", "Spent", "Available",
                               "Unspent"},
                              MUCPRINT_BOLD);
  if (code == MUCPRINT_OK) code = MucPrint_PrintCells(job.get(), headings);
  if (code == MUCPRINT_OK) code = MucPrint_SetRunningHeading(job.get(), headings);
  for (const auto& row : ReportRows(report)) {
    if (code != MUCPRINT_OK) break;
    code = MucPrint_PrintCells(job.get(), Cells(row, MUCPRINT_REGULAR));
  }
  if (code == MUCPRINT_OK) code = MucPrint_SetRunningHeading(job.get(), {});
  if (code == MUCPRINT_OK) code = MucPrint_PrintRule(job.get(), '-');
  for (const auto& line : TotalLines(report.totals)) {
    if (code != MUCPRINT_OK) break;
    code = MucPrint_PrintStr(job.get(), line, MUCPRINT_LEFT, MUCPRINT_BOLD);
  }
  if (code == MUCPRINT_OK) code = MucPrint_EndPrint(job.get());
  if (code == MUCPRINT_OK) {
    output = MucPrint_OutputPath(job.get());
    return true;
  }
  if (job.get() != nullptr) why = MucPrint_ErrorText(job.get());
  return false;
}

bool Print(const AcqDbBH::Report& report) {
  std::string printer = MucPrint_DefaultPrinter();
  if (!MucPrint_OpenPrinterDlgBox(kTitle, printer)) return false;
  std::string output, why;
  MucTools_HourGlass(true);
  const bool printed = PrintTo(printer, report, output, why);
  MucTools_HourGlass(false);
  if (!printed)
    MucTools_MsgBoxCap(PwMucBase_hwndClient, std::string(kTitle) + "|" + why,
                       MB_OK | MB_ICONWARNING);
  return printed;
}

}  // namespace acq::AcqBHRpt

ACQ_UNIT_EMPTY(AcqBHRpt)
