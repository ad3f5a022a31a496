// AcqPoAct: the activity window. One editor over a PO line, opened with an
// activity kind that picks its editor definition; it offers the number of
// pending items, takes the quantity, the notes and (for money activities)
// the statement and amount, checks them and runs the activity.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "acq/po/AcqDbAct.h"
#include "host/win32/Win32.h"

namespace acq::AcqPoAct {

// Called after an activity committed, with the PO and line it changed (the
// PO window reloads that line and its totals).
using Refresh = std::function<void(int32_t po, int16_t line)>;

// Opens the activity window of `kind` on line `line` of PO `po`, after its
// privilege and the approval rule (every item of the line approved). Says
// so and returns false when the line has nothing pending for the activity.
bool OpenActivity(AcqDbAct::Activity kind, int32_t po, int16_t line, const Refresh& onDone);

// The activity on several lines in turn (the selected lines of a PO window
// or a line list): one window per line.
void RunOnLines(AcqDbAct::Activity kind, const std::vector<std::pair<int32_t, int16_t>>& lines,
                const Refresh& onDone);

// Whether `hwnd` is an activity window (message routing).
bool IsActivityWindow(HWND hwnd);

void Initialize();
void Terminate();

}  // namespace acq::AcqPoAct
