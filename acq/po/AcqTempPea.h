// AcqTempPea: distribution patterns (the items of a model line and their
// budgets, reused by name on other lines), PO templates (header values and
// a pattern, reused by name for new POs) and the session's PO defaults.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/win32/Win32.h"

namespace acq::AcqTempPea {

// The PO window's pattern commands on PO window `poWindow`: Apply (191),
// Save (192), Delete (193) Pattern.
void ApplyPattern(HWND poWindow);
// The names of the patterns (the PO windows' choice; empty when the
// database failed, reported), and the one offered first in this session:
// the pattern saved or applied last, or the template's or session
// defaults' pattern of the last new PO ("" none).
std::vector<std::string> PatternNames();
std::string OfferedPattern();
void SavePattern(HWND poWindow);
void DeletePattern(HWND poWindow);

// The template lister (166, dialog 79) and a new template (169).
void OpenTemplates();
void NewTemplate();

// From PO window `poWindow`: its header kept as a template (dialog 82), or
// as the session's defaults for new POs (dialog 81).
void SaveTemplate(HWND poWindow);
void StoreSessionDefaults(HWND poWindow);
// The session's defaults shown (446; 447 when none) and cleared (asked).
void DisplaySessionDefaults();
void ClearSessionDefaults();
// A new PO (command 165): true when the session has defaults and a new
// header was opened with them; false leaves the plain new header to the
// caller.
bool NewPoFromSessionDefaults();

void Initialize();
void Terminate();

}  // namespace acq::AcqTempPea
