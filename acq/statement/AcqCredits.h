// AcqCredits: credit memos applied to invoices, seen from either side.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqCredits {

// The credits applied to the invoice, or the invoices a credit is applied
// to, of the statement window `hwnd` (command 214).
void OpenCredits(HWND statementWindow);

}  // namespace acq::AcqCredits
