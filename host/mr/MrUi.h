// The user interface's side of the framework: the actions a UI driver
// takes on the top window (the current view, or the modal window a
// framework call is waiting on) and what a person sees of a window. The
// frame runs these for its driver's window actions; the vendor finder runs
// them itself while it waits for its answer.
#pragma once

#include <string>
#include <vector>

#include "host/muc/UiDriver.h"
#include "host/win32/Win32.h"

// Runs a window action (UiAction::IsWindowAction) on the top window, which
// it makes the current view. False with the reason when it cannot be done
// as written: no window, or no such row, column, field, button, key
// command or available framework code there. A value the window refuses
// (a date that is none) is not a failure: the window tells the person.
bool MrUi_RunWindowAction(const UiAction& action, std::string& error);

// The module's open windows, oldest first; the one a framework call waits
// on (nullptr: none); the window actions apply to (that one, else the
// current view).
std::vector<HWND> MrUi_OpenWindows();
HWND MrUi_ModalWindow();
HWND MrUi_TopWindow();
// Makes `hwnd` the current view, as `window` does by caption. False with
// the reason when it is not open or another window waits for an answer.
bool MrUi_MakeCurrent(HWND hwnd, std::string& error);

// What a person sees of `hwnd`: its caption and kind, its fields (an
// editor's with the record's values), buttons and labels, and a lister's
// columns and rows with the selection.
UiWindowView MrUi_DescribeWindow(HWND hwnd);
