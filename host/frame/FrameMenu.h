// The frame's menu bar: thirteen popups whose items carry the module's
// command numbers.
#pragma once

#include "host/win32/Win32.h"

// A new menu bar; the frame window owns it (destroyed with the window).
HMENU BuildFrameMenu();
