// AcqStApp: Statement approval.
#include "acq/statement/AcqStApp.h"

#include "acq/AcqUnit.h"

namespace acq::AcqStApp {

bool IsStatementBalanced(int32_t, bool& balanced) { balanced = false; return true; }
bool Approve(HWND, int32_t) { return false; }
bool UndoApproval(HWND, int32_t) { return false; }
bool IsApproved(int32_t, bool& approved) { approved = false; return true; }
void OpenStatementsToApprove() {}

}  // namespace acq::AcqStApp

ACQ_UNIT_EMPTY(AcqStApp)
