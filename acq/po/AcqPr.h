// AcqPr: purchase requests (titles asked for, with their own distribution
// of copies) and turning them into PO lines.
#pragma once

#include "host/win32/Win32.h"

namespace acq::AcqPr {

// The purchase requests (251, prEdit asked by the caller) and their find
// window (252, prFind asked by the caller).
void OpenRequests();
void FindRequests();

// Whether `hwnd` is one of the request windows (the list, the find window
// or a request's editor).
bool IsRequestWindow(HWND hwnd);

void Initialize();
void Terminate();

}  // namespace acq::AcqPr
