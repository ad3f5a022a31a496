// AcqAccount: accounts and their budgets (a budget is an account's
// allocation for one fiscal year, a row of account_year), and the creation
// of next year's allocations.
#pragma once

namespace acq::AcqAccount {

// The account lister of command 261 (accounts), 262 (by budget) or 263 (by
// year); acFind has been asked.
void OpenAccounts(int command);
// The budgets (account years) with their editor and the creation of next
// year's allocations; acEdit has been asked.
void OpenAccountYears();

}  // namespace acq::AcqAccount
