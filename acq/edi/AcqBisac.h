// AcqBisac: one vendor's approved POs written as a BISAC order file.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqBisac {

// The BISAC Orders command on `active`: a PO editor (its PO) or a PO list
// (its selected POs).
void BisacOrdersCommand(HWND active);

}  // namespace acq::AcqBisac
