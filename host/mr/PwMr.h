// The host's lister/editor framework (PwMr75), as far as the module frame
// uses it: context windows and their close protocol, the framework's message
// handler, security prompts for privileges, and window helpers.
#pragma once

#include <cstdint>

#include "host/db/PwDb.h"
#include "host/win32/Win32.h"

// A context window is a module window the framework knows of (a lister or
// editor). Asking it whether it may close sends it kMrQueryClose; a result
// of 0 refuses.
constexpr UINT kMrQueryClose = 0x0E31;
void MrProc_RegisterContextWindow(HWND hwnd);
void MrProc_UnregisterContextWindow(HWND hwnd);
// Every context window asked in turn; false at the first refusal.
bool MrProc_MrCloseContextOk(HDb session);
// Destroys every context window that is a child of `client`.
void MrProc_CloseAllContextWindows(HWND client);
// The framework's handling of its own messages (0x0E2B .. 0x0EF4 family);
// messages it does not know go to DefWindowProcW.
LRESULT MrProc_MrWndProc(HDb session, LPARAM lParam, WPARAM wParam, UINT msg, HWND hwnd);

// Whether the current user holds `privilege`. When not, the prompting form
// asks (through the UI driver) for another user's name and password and
// grants when that user holds it and the password is right; a wrong answer
// is told and asked again, three times at most, and a cancel refuses. `c1`
// and `c2` are the module's constants 0 and 2 (2: allow the other user;
// any other `c2` never prompts; `c1` is not used here).
bool MrKeyStr_CheckSecurityUser(int32_t privilege, int c1, int c2, HDb session, HWND owner);
bool MrKeyStr_CheckSecurityUserNoPrompt(int32_t privilege, HDb session);

// Keeps the window open after a refused close (the frame stops closing).
void KtWin_WindowStayOpen(HWND hwnd);
bool KtWin_CloseRefused();          // the frame asks, and clears the mark
bool KtWin_PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
