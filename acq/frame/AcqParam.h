// AcqParam: the acquisitions parameters editor. The site's settings, the one
// row of acq_parameter, in an editor of the framework ("acq_parameter",
// template 120), with the check each setting must pass: a value that fails
// is refused with a message and the field keeps its saved value. After a
// save the module reads its copy of the settings again, so they apply at
// once.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqParam {

// Command 291: after apEdit (with prompt), opens the editor on the row, or
// brings the open one to the top. With no row the editor starts a new one,
// which its save inserts; with several it tells the user and opens nothing.
void OpenParameters();

// Whether `hwnd` is the parameters editor.
bool IsParameterWindow(HWND hwnd);

// A record-change request of the parameters editor: apEdit, with prompt,
// each time it is asked; not asked twice while the editor opens on a new
// row (the command has just asked).
bool MayChangeRecord();

void Initialize();
void Terminate();

}  // namespace acq::AcqParam
