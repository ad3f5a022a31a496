// AcqBHRpt: the budget hierarchy report on paper or as a PDF file: one line
// per item indented by depth (groups and hierarchies with their subtotals),
// then the totals row with its percentages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "acq/budget/AcqDbBH.h"

namespace acq::AcqBHRpt {

// The printed lines of `report` (cells: label, budget, amount, on order,
// spent, available, unspent), the totals last; for the window as well.
std::vector<std::vector<std::string>> ReportRows(const AcqDbBH::Report& report);
// The totals as "caption: value" lines ("Total Amount: 1000.00", ...).
std::vector<std::string> TotalLines(const AcqReportTotals::Totals& totals);

// Prints `report` to `printer` (kMucPrintPdfFile keeps a PDF file). True
// when the job went out; `output` gets the PDF file's path (a PDF job).
// A failure gives false and its reason in `why`.
bool PrintTo(std::string_view printer, const AcqDbBH::Report& report, std::string& output,
             std::string& why);
// Asks for the printer, then prints; a failure is shown. True when printed.
bool Print(const AcqDbBH::Report& report);

}  // namespace acq::AcqBHRpt
