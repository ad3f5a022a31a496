// AcqCopy: ordered copies in the catalogue before they arrive: catalogue
// items (barcoded pieces) and serial copies for the selected PO lines, as
// the PO's item_creation asks; attaching and detaching copies; item detail.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "host/win32/Win32.h"

namespace acq::AcqCopy {

using LineKeys = std::vector<std::pair<int32_t, int16_t>>;

// Create Items (176) and Create Copies (178) on `lines`: confirmation,
// each line checked and created on its own, refusals told; the PO windows
// of the lines reload. The privilege has been asked by the caller.
void CreateItems(const LineKeys& lines);
void CreateCopies(const LineKeys& lines);

// Copies of the selected line (177, 253): the copy candidates or the
// attached copy of one of its items, attach and detach (poCAtt), and the
// line's item detail. Exactly one line (224).
void CopiesOfLine(const LineKeys& lines);

// Every open PO window of the POs of `lines` shows its lines again.
void ReloadPoWindows(const LineKeys& lines);

void Initialize();
void Terminate();

}  // namespace acq::AcqCopy
