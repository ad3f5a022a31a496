// AcqStatmnt: the statement window: a vendor's invoice, supplemental
// invoice, credit memo or refund (and their budget-based forms), its
// header, its lines, its extra charges and its statement budgets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acq/statement/AcqProrateMath.h"
#include "host/win32/Win32.h"

namespace acq::AcqStatmnt {

// Statement types; the budget-based forms (2, 4, 6) have no lines and are
// balanced against their statement_budget rows.
enum StatementType : int {
  kInvoice = 0,
  kInvoiceBudget = 2,
  kSupInvoice = 1,
  kCredit = 3,
  kCreditBudget = 4,
  kRefund = 5,
  kRefundBudget = 6,
};
inline bool IsBudgetType(int type) { return type == 2 || type == 4 || type == 6; }

// Opens statement `statement` (its number `number` for captions), or brings
// its window to the front when it is open already.
void OpenStatement(int32_t statement, const std::string& number);

// A new, empty statement window of `type` (0 to 6).
void NewStatement(int type);

// The statement the window `hwnd` (a statement window or one of its child
// windows) shows; false for any other window and for a statement not yet
// saved.
bool ActiveStatement(HWND hwnd, int32_t& statement, std::string& number);

// Whether the statement window `hwnd` may hand its statement to an
// operation that reads it from the database (approval, undo of approval,
// proration): false, after showing `unsavedMsg`, when it has unsaved
// changes, and after showing `headerOpenMsg` when its header editor is
// open. A window that is not a statement window passes.
bool ReadyFor(HWND hwnd, int unsavedMsg, int headerOpenMsg);

// Re-reads every open window of `statement` after a change made elsewhere
// (approval, proration, a voucher, credits).
void StatementChanged(int32_t statement);

// The rows of the statement window's line list in display order, with
// their selection; false when `hwnd` is not a statement window.
bool LineRows(HWND hwnd, std::vector<AcqProrateMath::StatementLine>& rows);

// The selected line rows (po#, line) of the statement window `hwnd`.
struct LineKey {
  int32_t po = 0;
  int16_t line = 0;
};
bool SelectedLines(HWND hwnd, std::vector<LineKey>& lines);

// Whether `hwnd` is a statement window.
bool IsStatementWindow(HWND hwnd);
// Refresh (57642) on statement window `hwnd`: unsaved changes are asked
// about (Yes saves, No drops them, Cancel keeps them and reads nothing),
// then the statement is read again.
void Reload(HWND hwnd);

// Command 218 on the active window: the mode selection of the statement a
// statement window, find window or statement list shows.
void StatementMode(HWND active);
// Command 222 (stUndo): undoes the selected lines of statement window
// `hwnd` after asking; nothing for any other window.
void UndoStatement(HWND hwnd);

void Initialize();
void Terminate();

}  // namespace acq::AcqStatmnt
