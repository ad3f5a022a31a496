// AcqStApp: statement approval: balance, approval and its undo, and the
// list of statements to approve.
#pragma once

#include <cstdint>

#include "host/win32/Win32.h"

namespace acq::AcqStApp {

// Whether `statement` balances; false on a database failure (reported).
bool IsStatementBalanced(int32_t statement, bool& balanced);

// Approves `statement` after its checks (292, 293, the GST verdict 533) in
// one transaction with the budgets' spent money. `owner` owns the prompts.
// The caller has checked that a statement window is saved and its header
// closed (AcqStatmnt::ReadyFor with 297 and 349). True when approved.
bool Approve(HWND owner, int32_t statement);

// Undoes the approval of `statement` after asking 299 (333 when a voucher
// exists). The caller has checked ReadyFor with 300 and 350.
bool UndoApproval(HWND owner, int32_t statement);

// Whether `statement` is approved; false on a database failure (reported).
bool IsApproved(int32_t statement, bool& approved);

// The list "approve_statement" (command 223).
void OpenStatementsToApprove();

// Command 232 on the active window: the statement of a statement window
// (after AcqStatmnt::ReadyFor with 297 and 349), or the selected rows of
// the statements-to-approve list. The caller has checked stApprv.
void ApproveActive(HWND active);
// Command 224 on the active statement window (ReadyFor with 300 and 350).
// The caller has checked stUnApp.
void UndoApprovalActive(HWND active);
// Whether `hwnd` is the statements-to-approve list.
bool IsApprovalList(HWND hwnd);

void Initialize();
void Terminate();

}  // namespace acq::AcqStApp
