// AcqEdiUpld: the upload of EDIFACT files: choosing them (dialog 54),
// scheduling, the import thread and its progress window (dialog 55).
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqEdiUpld {

// The Upload EDIFACT Files command: message 316 while an upload runs,
// else the selection dialog.
void UploadCommand(HWND owner);
// Whether an upload (scheduled or reading) is running.
bool UploadRunning();

}  // namespace acq::AcqEdiUpld
