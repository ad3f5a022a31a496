// Raw messages from a driver (`send` and `post` actions) to the module's
// client window. A driver gives numbers; where the module reads a parameter
// as a window handle or follows it as a pointer, the frame passes a real
// object instead, or refuses the action, so no driver can make the module
// touch memory that is not what it expects.
#pragma once

#include <deque>
#include <string>

#include "host/muc/UiDriver.h"
#include "host/win32/Win32.h"

// The windows the frame can name for a raw message.
struct RawMessageWindows {
  HWND top = nullptr;      // the top module window (nullptr when none is open)
  HWND client = nullptr;   // the module's client window
};

// Fills `wParam` and `lParam` for `action` (a Send or Post). Parameters of
// the module's window messages:
//   a window (0x0E2C, 0x0E2D, 0x0E30 wParam; 0x0EF2, 0x0EF3 lParam): 0 for
//     the top module window (refused when none is open), else the handle
//     of an open window;
//   a window or none (0x146B wParam): 0 for none, else an open window;
//   a pointer to a window handle (0x0EF4 lParam): 0 for the top module
//     window (the client window when none is open), else an open window;
//     the module gets the address of a slot in `held` holding it, which
//     stays valid for as long as `held` lives (a posted message is
//     dispatched later).
// Every other parameter passes as given. False with the reason when a
// number is no open window.
bool PrepareRawMessage(const UiAction& action, const RawMessageWindows& windows,
                       std::deque<HWND>& held, WPARAM& wParam, LPARAM& lParam,
                       std::string& error);
