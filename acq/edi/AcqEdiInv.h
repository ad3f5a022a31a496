// AcqEdiInv: EDIFACT invoices: the message list (dialog 56), checking a
// stored INVOIC message against the POs and making it a statement.
#pragma once

#include <cstdint>

#include "host/win32/Win32.h"

namespace acq::AcqEdiInv {

// The EDIFACT Invoices command: opens the message list.
void InvoicesCommand(HWND owner);

void Initialize();
void Terminate();

}  // namespace acq::AcqEdiInv
