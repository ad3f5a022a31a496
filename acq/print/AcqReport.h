// AcqReport: the report windows (budget status, budget codes, PO lines by
// vendor, vendor contracts, the tax report): listers with totals that
// print, save to a file and search.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqReport {

// Opens the report of command 282-285, 340 or 350 (its privilege asked).
void OpenReport(int command);
bool IsReportWindow(HWND hwnd);
// The report-list commands on a report window: 57604 save to a file, 57607
// print, 42102 search, 42202 reload.
void ReportListCommand(int command, HWND window);

}  // namespace acq::AcqReport
