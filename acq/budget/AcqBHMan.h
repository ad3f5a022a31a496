// AcqBHMan: the budget hierarchy manager: the hierarchies as trees
// (hierarchies, groups, budget leaves), edited and saved as a whole, their
// budget values and the hierarchy report.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqBHMan {

// Opens the manager (useBHM has been asked), or brings it forward.
void OpenManager();
// The hierarchy report window (asks viewBHR).
void OpenHierarchyReport();
// Commands 134-137 on the manager window `active` (modBHM has been asked):
// add to hierarchy, remove from hierarchy, move up, move down.
void TreeCommand(int command, HWND active);
// Whether the manager may close with the module; asks the user about unsaved
// changes when it has any. True when the manager is not open.
bool MayClose();
// Whether `hwnd` is the manager's window.
bool IsManagerWindow(HWND hwnd);
// Saves the manager's changes.
void Save();

void Initialize();
void Terminate();

}  // namespace acq::AcqBHMan
