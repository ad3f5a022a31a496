// AcqReport: the report windows.
#include "acq/print/AcqReport.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqReport {

void OpenReport(int /*command*/) { AcqGlobal::ShowComingSoon("Report"); }
bool IsReportWindow(HWND /*hwnd*/) { return false; }
void ReportListCommand(int /*command*/, HWND /*window*/) {}

}  // namespace acq::AcqReport

ACQ_UNIT_EMPTY(AcqReport)
