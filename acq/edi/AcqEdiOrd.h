// AcqEdiOrd: one vendor's approved POs written as an EDIFACT ORDERS
// interchange.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqEdiOrd {

// The EDIFACT Orders command on `active`: a PO editor (its PO) or a PO list
// (its selected POs).
void EdifactOrdersCommand(HWND active);

}  // namespace acq::AcqEdiOrd
