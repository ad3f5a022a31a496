// MessageBeep. (Stub.)
#include "host/win32/Win32.h"

bool MessageBeep(UINT) { return true; }
