// AcqYearCreate: the window that creates next year's allocations: the
// user's options, the candidates (budgets of the "from" year without a
// budget for the "for" year), and "&Create" on the selected ones.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqYearCreate {

// Options, then the candidates until closed; acEdit has been asked.
void OpenCreateFiscalYear(HWND owner);

}  // namespace acq::AcqYearCreate
