// AcqAccount: accounts and their budgets (a budget is an account's
// allocation for one fiscal year, a row of account_year), and the creation
// of next year's allocations.
#pragma once

#include "host/sys/Bucket.h"

namespace acq::AcqAccount {

// The account lister of command 261 (accounts), 262 (by budget) or 263 (by
// year); acFind has been asked.
void OpenAccounts(int command);
// The budgets (account years) with their editor and the creation of next
// year's allocations; acEdit has been asked.
void OpenAccountYears();

// True when row `row` of `edited` (columns of the budget view) may be
// saved. Compared with the budget as stored (a new budget: with zero money
// and an open status), each warning is a Yes/No question and No refuses:
// closing a budget with orders on it (362), a changed on_order or spent
// (363), a limit the edited totals pass (364, once per amount type).
// A failure to read the stored budget is reported and refuses.
bool ValidateBudgetEdit(BktHandle edited, int row);

}  // namespace acq::AcqAccount
