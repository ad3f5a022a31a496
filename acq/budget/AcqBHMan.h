// AcqBHMan: the budget hierarchy manager.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqBHMan {

// Whether the manager may close with the module; asks the user about unsaved
// changes when it has any. True when the manager is not open.
bool MayClose();
// Whether `hwnd` is the manager's window.
bool IsManagerWindow(HWND hwnd);
// Saves the manager's changes.
void Save();

}  // namespace acq::AcqBHMan
