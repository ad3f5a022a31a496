// Operating-system services of the host (PwOs275): paint wrappers, help
// files, and the workstation profile.
#pragma once

#include <string>
#include <string_view>

#include "host/win32/Win32.h"

// Paint of a window: the rectangle to fill comes back in `rect`.
HDC _Win32_BeginPaint(HWND hwnd, PAINTSTRUCT& ps, RECT& rect);
void _Win32_EndPaint(HWND hwnd, const PAINTSTRUCT& ps);

// Help: the frame's help file. The path is kept for the window; help is
// shown through the UI driver when asked for (there is no help viewer).
void _Win32_SetHelpFile(HWND hwnd, std::string_view path);
std::string _Win32_GetHelpFile(HWND hwnd);
// command 2: quit help for the file. Any other command is handed to the
// help viewer (PwMuc75 installs one that tells the UI driver).
bool KtRTL_WinHelp(HWND hwnd, std::string_view path, unsigned command, uintptr_t data);
using HelpViewer = void (*)(HWND hwnd, std::string_view path, unsigned command, uintptr_t data);
void Os_SetHelpViewer(HelpViewer viewer);
// Host form of a path (here: the path itself, '\\' turned into '/').
std::string Lb_PathToHostForm(std::string_view path);

// Workstation profile: section and key in the workstation's configuration
// file (Lb_WorkstationIniPath). A profile handle is the file's path.
struct ProfileImpl;
using HPROFILE = ProfileImpl*;
HPROFILE _Win32_OpenProfile();
void _Win32_CloseProfile(HPROFILE* profile);
// The workstation profile open for a scope.
class ProfileHold {
 public:
  ProfileHold() : profile_(_Win32_OpenProfile()) {}
  ~ProfileHold() { _Win32_CloseProfile(&profile_); }
  ProfileHold(const ProfileHold&) = delete;
  ProfileHold& operator=(const ProfileHold&) = delete;
  HPROFILE get() const { return profile_; }

 private:
  HPROFILE profile_;
};
// `fallback` when absent; at most `maxChars` characters.
std::string _Win32_QueryProfileString(HPROFILE profile, std::string_view section,
                                      std::string_view key, std::string_view fallback,
                                      int maxChars);
bool _Win32_WriteProfileString(HPROFILE profile, std::string_view section,
                               std::string_view key, std::string_view value);
// Binary data as hexadecimal text.
bool _Win32_QueryProfileData(HPROFILE profile, std::string_view section,
                             std::string_view key, std::string& data);
bool _Win32_WriteProfileData(HPROFILE profile, std::string_view section,
                             std::string_view key, std::string_view data);
