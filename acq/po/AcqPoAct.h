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
// Approve has no window: the line's items are approved at once (the
// approval rules of AcqPoApp). The window commits on OK (or Save): it
// checks the entry, runs the activity, closes and calls `onDone`; a
// refused entry is told with the focus on its field and the window stays
// open with everything typed.
bool OpenActivity(AcqDbAct::Activity kind, int32_t po, int16_t line, const Refresh& onDone);

// The activity on several lines in turn (the selected lines of a PO window
// or a line list): the privilege is asked once, then one window per line,
// each opened when the one before it closes (committed or not), its
// caption telling which line of how many. Lines that cannot take the
// activity (nothing pending, items not approved) are told and passed over.
void RunOnLines(AcqDbAct::Activity kind, const std::vector<std::pair<int32_t, int16_t>>& lines,
                const Refresh& onDone);

// The activity on every line of PO `po`: refused with one message when any
// line has items that are not approved; otherwise as RunOnLines.
void RunOnPo(AcqDbAct::Activity kind, int32_t po, const Refresh& onDone);

// Whether `hwnd` is an activity window (message routing).
bool IsActivityWindow(HWND hwnd);

// Ends activity window `hwnd` as its OK (IDOK: commit, closing when it
// did) or Cancel button would (any other result). Nothing when `hwnd` is no
// activity window. The routing of the end-modal message (0x0EF3) lands here.
void EndActivity(HWND hwnd, int result);

void Initialize();
void Terminate();

}  // namespace acq::AcqPoAct
