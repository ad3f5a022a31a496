// The frame's menu bar: thirteen popups whose items carry the module's
// command numbers.
#pragma once

#include <string>

#include "host/win32/Win32.h"

// A new menu bar; the frame window owns it (destroyed with the window).
HMENU BuildFrameMenu();
// The text of command `id` in the frame's menu as a person reads it
// ("Save Record"); "" when the menu has no such item.
std::string FrameMenuText(UINT id);
