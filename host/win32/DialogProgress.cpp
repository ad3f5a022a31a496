// Hidden controls and progress bars of dialogs. (Stub.)
#include "host/win32/Dialog.h"

bool ShowDlgItem(HWND, int, bool) { return false; }
bool IsDlgItemVisible(HWND, int) { return true; }
bool SetDlgProgress(HWND, int, int64_t, int64_t, uint32_t, uint32_t) { return false; }
int64_t GetDlgProgressDone(HWND, int) { return 0; }
