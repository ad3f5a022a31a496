// AcqTempPea: distribution patterns (the items of a model line and their
// budgets, reused by name on other lines), PO templates (header values and
// a pattern, reused by name for new POs) and the session's PO defaults.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "host/win32/Win32.h"

namespace acq::AcqTempPea {

// The PO window's pattern commands on PO window `poWindow`: Apply (191),
// Save (192), Delete (193) Pattern.
void ApplyPattern(HWND poWindow);
void SavePattern(HWND poWindow);
void DeletePattern(HWND poWindow);

// The template lister (166, dialog 79) and a new template (169).
void OpenTemplates();
void NewTemplate();

void Initialize();
void Terminate();

}  // namespace acq::AcqTempPea
