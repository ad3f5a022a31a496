// AcqProrate: the proration of a statement's extra charges over its lines,
// its undo, and the prorated charges of one line.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqProrate {

// The proration options dialog for the statement window `hwnd` (command 231).
void Prorate(HWND statementWindow);
// The undo dialog: the person picks the prorated charge types to take back.
void UndoProration(HWND statementWindow);
// The prorated extra charges of the one selected line (command 179).
void ListLineCharges(HWND statementWindow);

}  // namespace acq::AcqProrate
