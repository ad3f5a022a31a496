// AcqReport: the report windows (budget status, budget codes, PO lines by
// vendor, vendor contracts, the tax report): lists with totals that sort,
// select and search, and that save to a CSV file and print.
#pragma once

#include <string>

#include "acq/print/AcqReportTable.h"
#include "host/win32/Win32.h"

namespace acq::AcqReport {

// Opens the report of command 282-285, 340 or 350 (its privilege already
// granted): the budget status report asks for the year first (the site's
// fiscal year offered). Nothing opens when the person cancels.
void OpenReport(int command);
// Opens report `kind` directly; `year` only for the budget status ("" the
// budgets without a year). The window, or nullptr when it did not open.
HWND OpenReportWindow(AcqReportTable::ReportKind kind, const std::string& year);
bool IsReportWindow(HWND hwnd);
// The report-list commands on a report window: 57604 save to a file, 57607
// print, 42102 search, 42202 reload.
void ReportListCommand(int command, HWND window);
// The picture of what report window `hwnd` lists now (every row fetched),
// as it is saved and printed. False when `hwnd` is no report window or a
// total overflowed.
bool TableOfWindow(HWND hwnd, AcqReportTable::Table& table);

}  // namespace acq::AcqReport
