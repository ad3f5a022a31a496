// Window and message-box tools of the host (PwMuc75) and its shared window
// variables.
#pragma once

#include <string>
#include <string_view>

#include "host/muc/UiDriver.h"
#include "host/win32/Win32.h"

extern HWND PwMucBase_hwndFrame;
extern HWND PwMucBase_hwndClient;

// Message-box flags, as Win32's MB_ values.
enum : unsigned {
  MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// Runs the module's start-up procedure with the hourglass on and the UI
// driver told; returns its result.
bool MucTools_StartupDLL(bool (*startup)());
void MucTools_HourGlass(bool on);   // wait cursor on or off (counted)
// Message box with `caption`; returns IDOK .. IDNO.
int MucTools_MsgBox(HWND owner, std::string_view caption, std::string_view text, unsigned flags);
// Message box from "Caption|Text" (caption empty when there is no bar).
int MucTools_MsgBoxCap(HWND owner, std::string_view message, unsigned flags);
// A file to read, asked of the person (a browser uploads it first): where
// it can be read; "" when the person cancelled.
std::string MucTools_AskOpenFile(std::string_view prompt, std::string_view initial);
// The folder for files written for the person (printed forms, order
// files): a browser session's own folder, from which the person downloads
// them; else the working folder.
std::string MucTools_OutputFolder();
// Tells the person of a file written for them (a browser offers it).
void MucTools_FileWritten(const std::string& path, std::string_view title);
// Long work: `done` of `total` steps, for a progress bar (total 0: ended).
void MucTools_Progress(std::string_view text, int64_t done, int64_t total);
// Yes/No question from "Caption|Text"; true for Yes.
bool MucTools_MsgBoxCapYNbool(HWND owner, std::string_view message);
// Window placement after a size change of the client window.
void MucTools_SizeYoink(LPARAM lParam, WPARAM wParam, HWND hwnd);
void MucTools_ReposMinimizedDlg(HWND hwnd);

// ---- window tools of the lister/editor windows ----------------------------------------
// Makes `hwnd` the current view (the top context window). A dialog
// becomes the current view when it is created; when the current view is
// destroyed, the one current before it is current again.
void MucTools_SetCurrKtView(HWND hwnd);
// The current view; nullptr when no window made current is left.
HWND MucTools_GetCurrKtView();
// Enables or disables command `command` in the frame's menu.
void MucTools_EnableMenuItem(UINT command, bool enabled);
bool MucTools_IsMenuItemEnabled(UINT command);
// Enables the clipboard commands (cut 57635, copy 57634, paste 57637, clear
// 57632) for the focused control of `hwnd`; all disabled for nullptr.
void MucTools_EnableEditMenu(HWND hwnd);
// Runs a clipboard command on the focused control of `hwnd`.
void MucTools_HandleEditCmd(UINT command, HWND hwnd);
void MucTools_ReplaceSysMenu(HWND hwnd);
void MucTools_SetDefaultButton(HWND hwnd, int id);
// The key a window's placement is saved under: "<name>" with the frame's size.
std::string MucTools_BuildSizeKey(std::string_view name);
// The about box of the client.
void MucTools_About(HWND owner);
