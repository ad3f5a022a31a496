// AcqPoApp: approval of PO lines: the approval list (the lines waiting for
// approval, of every PO) and approving the lines selected in it or in a PO
// window, line by line, with refused lines marked and the others approved.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "acq/po/AcqPoAct.h"
#include "host/win32/Win32.h"

namespace acq::AcqPoApp {

// The approval list window (privilege poApprv), or the open one brought to
// the top. Its Approve button approves the selected lines (ApproveLines);
// the list then shows what is left to approve, refused lines marked.
void OpenApprovalList();

// Approves `lines` (po#, line) after asking poApprv; tells the person about
// refused lines (messages 327, 285) and when nothing was left to approve
// (262 for a selection, 328 for a whole PO). Returns the lines approved.
// `onDone` runs for each line approved.
int ApproveLines(const std::vector<std::pair<int32_t, int16_t>>& lines, bool wholePo,
                 const AcqPoAct::Refresh& onDone);
// The same when the caller has asked poApprv already.
int ApproveLinesAsked(const std::vector<std::pair<int32_t, int16_t>>& lines, bool wholePo,
                      const AcqPoAct::Refresh& onDone);
// One line, poApprv asked by the caller: refusals told as above, and 259
// when it has nothing to approve. True when approved.
bool ApproveLine(int32_t po, int16_t line, const AcqPoAct::Refresh& onDone);

// Whether `hwnd` is the approval list.
bool IsApprovalList(HWND hwnd);

void Initialize();
void Terminate();

}  // namespace acq::AcqPoApp
