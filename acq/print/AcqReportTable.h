// AcqReportTable: a report list as a person reads it: the rows in text
// under their headings, subtotal rows where the report has groups, and the
// totals; written to a CSV file or printed from that one picture, so the
// file, the paper and the window agree.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "acq/print/AcqDbReport.h"
#include "acq/print/AcqReportTotals.h"
#include "host/print/MucPrint.h"
#include "host/sys/Bucket.h"

namespace acq::AcqReportTable {

// The reports; each is one list definition.
enum class ReportKind { BudgetStatus, BudgetCodes, PoLinesByVendor, VendorContracts, TaxDetail,
                        TaxSummary };

// The list definition of a report ("acq_budget_status", ...).
const char* ViewOf(ReportKind kind);
// Whether the report's rows are budgets (kept to those the user may use).
bool ListsBudgets(ReportKind kind);

struct Table {
  std::string title;
  std::vector<std::string> headings;
  std::vector<bool> numeric;                     // per column: right-aligned
  std::vector<int> widths;                       // per column: share of the line
  std::vector<std::vector<std::string>> rows;    // as listed, with subtotal rows
  std::vector<std::vector<std::string>> totals;  // under the rows, one cell per column
  std::vector<std::string> summary;              // "Total Amount: 1,000.00" lines
};

// The budget status totals of `rows` (columns amount, on_order, spent,
// available, unspent): each column added exactly, then the percentages of
// the amount. False on overflow.
[[nodiscard]] bool BudgetStatusTotals(BktHandle rows, AcqReportTotals::Totals& totals);

// Builds the picture of `rows` (a list's rows; not changed) for `kind`:
// for a report of budgets only those the logged-in user may use
// (AcqFundCtrl::FilterBudgetsForUser), with per-vendor subtotals for the PO
// lines, and totals of the money columns (per currency where the rows
// carry one). False when a total overflows (the rows are still there).
[[nodiscard]] bool BuildTable(ReportKind kind, BktHandle rows,
                              const std::vector<AcqDbReport::ReportColumn>& columns,
                              const std::string& title, Table& table);

// One cell as the list shows it: money in the site's money format, dates
// as the workstation writes them, other amounts exact without trailing
// zeros ("25", "33.333333"), NULL as "".
std::string CellText(BktHandle rows, int row, int col, std::string_view format);

// `cells` as one CSV record (fields with a comma, a quote or a line end
// quoted, quotes doubled), without the line end.
std::string CsvRecord(const std::vector<std::string>& cells);

// Writes the headings, the rows, the totals and the summary to `path` as
// CSV, one record a line. False with the reason in `error` (the incomplete
// file erased).
[[nodiscard]] bool WriteCsv(const std::string& path, const Table& table, std::string& error);

// Prints the table on `printer` (a name of MucPrint_ListPrinters): the
// title heads every page with its number, the headings repeat on every
// page, the totals and summary follow the rows. `outputPath` gets the PDF
// written for "PDF file". MUCPRINT_OK or the failure with `error`.
[[nodiscard]] MucPrintCode PrintTable(std::string_view printer, const Table& table,
                                      std::string& error, std::string* outputPath = nullptr);

}  // namespace acq::AcqReportTable
