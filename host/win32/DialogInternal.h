// Between the parts of the dialog implementation: one control of a live
// dialog, changed or read under the registry's lock.
#pragma once

#include <functional>

#include "host/win32/Dialog.h"

// Calls `use` with control `id` of `dialog` while the dialogs are locked;
// its result, or false when there is no such dialog or control. `use` must
// not call back into the dialog functions.
bool _Win32_WithDlgControl(HWND dialog, int id, const std::function<bool(DialogControl&)>& use);
