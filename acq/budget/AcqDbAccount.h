// AcqDbAccount: the database side of accounts and budgets: the inflation
// factor of an account, the rows of next year's allocations built in memory,
// and their save with the ledger in one transaction. Nothing here shows a
// window; failures are reported through HandleDbError (or a message of its
// own where said) and answer false.
//
// Percentages are whole numbers as stored (SMALLINT, NULL = none); factors
// are Dec64 fractions (percent / 100). Amounts are multiplied exactly and
// never rounded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbAccount {

// Budget status codes of account_year.status.
constexpr int kStatusOpen = 0;
constexpr int kStatusFrozen = 1;
constexpr int kStatusClosed = 2;

// The options of the creation of next year's allocations (one row of
// account_year_create_options). An absent year is NULL; an absent
// newStatus is "No Change".
struct CreateOptions {
  std::optional<int16_t> fromYear;
  std::optional<int16_t> forYear;
  std::optional<int16_t> inflationFactor;   // whole percent, >= -100
  bool noAccountInflation = false;
  std::optional<int16_t> newStatus;
};

// Checks of the options: 0 when they may be used, else the message number
// to show (370: factor below -100; 371: equal years, two NULLs included).
int CheckCreateOptions(const CreateOptions& options);

// The user's options row; defaults (all NULL, inflation off) when none.
// SaveCreateOptions writes it (insert or update) in its own transaction.
bool LoadCreateOptions(std::string_view user, CreateOptions& options);
bool SaveCreateOptions(std::string_view user, const CreateOptions& options);

// The candidates: the "from" rows with no row for the "for" year
// (load_account_years_to_create), the rows the current user may not use
// removed. `rows` is created (or its rows replaced) with the columns of
// account_year plus `budget`, `descr` and `account_inflation_factor`.
// False on a database failure (reported).
bool LoadYearsToCreate(const CreateOptions& options, BktHandle& rows);

// The factor of row `row` of a candidate Bucket (its column
// `account_inflation_factor`): the account's own percent / 100 unless
// `noAccountInflation` or NULL; else the options' percent / 100; else 0.
Dec64 GetInflationFactor(const CreateOptions& options, BktHandle rows, int row);
// The same from plain values, for callers without a Bucket.
Dec64 InflationFactorOf(const CreateOptions& options, std::optional<int16_t> accountPercent);
// amount + amount x factor, not rounded; false on overflow (result unchanged).
bool InflateAmount(Dec64 amount, Dec64 factor, Dec64& result);

// Builds in `newRows` (created; columns of account_year) one row per row of
// `sourceRows`: year := forYear, on_order and spent 0, limits copied,
// status := newStatus unless "No Change", amount inflated. False on an
// overflow of an amount (nothing reported; newRows incomplete).
bool CreateYearRows(const CreateOptions& options, BktHandle sourceRows, BktHandle& newRows);

// What a save ended with.
enum class CreateOutcome {
  kCreated,          // every row saved, `created` of them
  kAlreadyCreated,   // another workstation created one of them first: nothing saved
  kFailed,           // database failure or overflow (reported): nothing saved
};

// Creates next year's allocations of every row of `sourceRows` (candidate
// rows as LoadYearsToCreate gives them) in ONE transaction, with the
// module's conflict retry: inserts into account_year and, with the site's
// track_budget_trans on, one budget transaction with `note` (empty: none)
// whose detail rows are amount_type 0, prior_amount 0, trans_amount the new
// amount (zero amounts dropped). Inside the transaction each "for" row is
// looked up first, so a year end run twice, or on two workstations at
// once, never creates a budget twice. Nothing is shown to anyone.
CreateOutcome CreateYearAllocations(const CreateOptions& options, BktHandle sourceRows,
                                    std::string_view note, int& created);

// ---- a budget edited in its editor ---------------------------------------------------------
// What a save of an edited budget ended with.
enum class SaveOutcome {
  kSaved,
  kStale,    // a column the person changed was changed meanwhile elsewhere: nothing written
  kFailed,   // database failure (reported): nothing written
};
// Saves row `row` of `edited` (columns of the budget view) in its own
// transaction with the conflict retry. An existing budget (found by account
// and year) gets only the columns that differ from `asRead` (the row as the
// editor read it) written, after checking inside the transaction that each
// still holds its value as read: so a budget's on_order and spent, moved by
// orders meanwhile, are never overwritten by an edit that did not touch
// them. A budget not found is inserted whole (a new budget; `asRead` null).
SaveOutcome SaveBudgetEdit(BktHandle edited, int row, BktHandle asRead);

// ---- accounts ---------------------------------------------------------------------------------
struct AccountRow {
  std::string account;   // at most 8 characters
  std::string descr;
  std::string acctRef;
  std::optional<int16_t> inflationFactor;          // whole percent, >= -100
  std::optional<int16_t> transferUnspentPercent;   // whole percent, 0..100
};
// 0 when the row may be saved, else the message: 379 (inflation below
// -100), 378 (transfer percent outside 0..100).
int CheckAccount(const AccountRow& row);
// Inserts (`isNew`) or updates the account in its own transaction; a
// failure (a duplicate account, say) is reported and gives false.
bool SaveAccount(const AccountRow& row, bool isNew);

// Deletes the account; false with `hasBudgets` set, nothing deleted, when
// it has budgets; false on a database failure (reported).
bool DeleteAccount(std::string_view account, bool& hasBudgets);

// Budget identifier "ACCT.2026", "ACCT." for a NULL year.
std::string BudgetId(std::string_view account, std::optional<int16_t> year);

}  // namespace acq::AcqDbAccount
