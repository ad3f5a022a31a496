// AcqPoUndo: taking activities back, the undo part of the activity unit.
// Undo of one activity group on the selected PO lines (approval, receipt,
// cancellation, discontinue or renewal), each line refused or undone in a
// transaction of its own; and undo of whole orders, back to the unordered
// state.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "host/win32/Win32.h"

namespace acq::AcqPoUndo {

// The activity group an undo command takes back.
enum class UndoKind { Approve, Receive, Cancel, DiscontinueOrRenew };

// Undo of `kind` on `lines` (po#, line): asks its confirmation, undoes each
// line, names the refused lines in one message and reloads the PO windows
// of the lines. The command's privilege has been asked by the caller.
void UndoLines(UndoKind kind, const std::vector<std::pair<int32_t, int16_t>>& lines);

// Undo order of the POs selected in `listWindow` (the PO find window or a
// list of POs); nothing for any other window. poUndo asked by the caller.
void UndoOrders(HWND listWindow);

}  // namespace acq::AcqPoUndo
