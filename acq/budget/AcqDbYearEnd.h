// AcqDbYearEnd: the database side of the year-end moves of money.
//
// Transfer of unspent: each pair (source budget, target budget) runs in its
// own transaction. The target's allocation grows by the source's unspent
// money (allocation less the spent money of its rows) times a percentage;
// the source is never reduced, so every transfer records its source on the
// ledger row and a second run can be recognised (AlreadyTransferred).
//
// Reassignment: moves a budget's attachments (line-item money, statement
// extra charges, statement budget rows) to a target budget, all pairs in
// one transaction through the money core and fund control, retried after
// the person confirmed the findings. Vouchered rows never move.
//
// Budgets are identified as account "." year; a budget without a year as
// account ".". Amounts are base-currency Dec64, never rounded here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "acq/budget/AcqFundCtrl.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbYearEnd {

namespace msg {
inline constexpr int kReassignNoAllocation = 374;
inline constexpr int kReassignNoTarget = 375;
inline constexpr int kReassignNoSourceYear = 376;
inline constexpr int kReassignNoTargetYear = 377;
inline constexpr int kTransferBadPercent = 380;
inline constexpr int kReassignNothing = 381;
inline constexpr int kReassignSameBudget = 382;
inline constexpr int kReassignSpentWarning = 383;
inline constexpr int kAllVouchered = 384;
inline constexpr int kSomeVouchered = 385;
inline constexpr int kTransferNoAllocation = 386;
inline constexpr int kTransferNoTarget = 387;
inline constexpr int kTransferNoSourceYear = 388;
inline constexpr int kTransferNoTargetYear = 389;
inline constexpr int kTransferNothing = 390;
inline constexpr int kTransferSameBudget = 391;
inline constexpr int kAllPartlySpent = 423;
inline constexpr int kSomePartlySpent = 424;
inline constexpr int kReassignClosedTarget = 1930;
inline constexpr int kTransferClosedTarget = 1931;
inline constexpr int kTransferredBefore = 1932;
inline constexpr int kStatementRowsDiffer = 1933;
inline constexpr int kTransferDone = 1934;
inline constexpr int kReassignDone = 1935;
inline constexpr int kNoAllocation = 1938;
}  // namespace msg

// A message id with its arguments; message 0 is "no refusal", -1 a
// database failure already reported.
struct Refusal {
  Refusal() = default;
  Refusal(int m, std::string x1 = {}, std::string x2 = {})
      : message(m), a1(std::move(x1)), a2(std::move(x2)) {}
  int message = 0;
  std::string a1, a2;
  explicit operator bool() const { return message != 0; }
};

// ---- budget identifiers -------------------------------------------------------------------
struct BudgetId {
  std::string account;
  std::optional<int16_t> year;
};
std::string BudgetOf(std::string_view account, std::optional<int16_t> year);
BudgetId SplitBudget(std::string_view budget);
// "account='X' and year=2026" or "... and year is null".
std::string BudgetWhere(std::string_view budget);

// ---- transfer of unspent --------------------------------------------------------------------
enum class Op { Transfer, Reassign };

// The options' percentage: NULL (none) or a whole percent 0..100.
bool ValidTransferPercent(std::optional<int> percent);
// The fraction (percent / 100) a pair transfers: the account's own unless
// `ignoreAccount` or it has none; else the options'; else 0. A percentage
// of 0 is a value and wins.
Dec64 TransferFraction(std::optional<int> accountPercent, bool ignoreAccount,
                       std::optional<int> optionsPercent);
// As TransferFraction with the account's percentage read from `account`.
bool GetTransferPercent(std::string_view account, bool ignoreAccount,
                        std::optional<int> optionsPercent, Dec64& fraction);
// (amount - spent) x fraction, not rounded; 0 when that is not above 0.
Dec64 TransferAmount(Dec64 amount, Dec64 spent, Dec64 fraction);

// One source budget of a transfer, as the lister shows it.
struct TransferRow {
  std::string source, account, descr, target;   // target "" when none proposed
  Dec64 amount, spent;
  std::optional<int> accountPercent;
  int status = 0;
};
// The options' years: 376/377 (388/389 for a transfer) when either has no
// allocation, 382/391 never here.
Refusal CheckYears(Op op, std::optional<int16_t> sourceYear, std::optional<int16_t> targetYear);
// The source budgets of `sourceYear` the user may use; target proposed as
// the same account in `targetYear`. Empty after filtering: 381/390.
bool LoadTransferRows(std::optional<int16_t> sourceYear, std::optional<int16_t> targetYear,
                      std::vector<TransferRow>& rows, Refusal& refusal);

struct Pair {
  std::string source, target;
};
// The selected pairs against the options: nothing selected 381/390; a
// missing target 375/387; a target not of the target year or without an
// allocation 374/386; the same budget 382/391.
Refusal CheckPairs(Op op, const std::vector<Pair>& pairs, std::optional<int16_t> targetYear);

// The allocation `target` received from `source` by earlier transfers (0
// when none; the ledger must be on to know).
bool AlreadyTransferred(std::string_view source, std::string_view target, Dec64& total);

// One pair in its own transaction (retried on write conflicts): the source's
// unspent x fraction added to the re-read target's amount, with a ledger row
// (amount type 0, prior_amount, the source recorded) when the ledger is on;
// statuses set when given. `transferred` 0 when nothing was due. A target
// that would be closed is refused (1931) with nothing changed.
bool TransferUnspent(Dec64 fraction, std::optional<int> targetStatus, std::string_view target,
                     std::optional<int> sourceStatus, std::string_view source,
                     std::string_view note, Dec64& transferred, Refusal& refusal);

// ---- reassignment ---------------------------------------------------------------------------
constexpr int kRollOnOrder = 1;
constexpr int kRollSpent = 2;
constexpr int kRollBoth = 3;

// One attachment row. source 1 line-item money, 2 extra charge, 3
// statement budget row.
struct Attachment {
  int source = 0;
  int32_t rowKey = 0, po = 0, statement = 0;
  int16_t line = 0, item = 0;
  std::string chargeType;
  Dec64 amount, rate;
  bool spent = false, vouchered = false, partlySpent = false;
};
bool LoadAttachments(std::string_view budget, int rollType, std::vector<Attachment>& rows);
// Whether a row moves under `rollType`: never with a voucher; spent rows
// only when spent is rolled; with on order only, not the on-order part of
// an item that is partly spent.
bool Moves(const Attachment& row, int rollType);

// Drops from `pairs` the budgets that have nothing to move: all their
// attachments vouchered (384 when that leaves nothing, else 385) or, with
// on order only, all partly spent (423/424). `warning` holds the message to
// show; an empty result with no other reason gives 381.
bool ScreenPairs(std::vector<Pair>& pairs, int rollType, Refusal& warning);

// Every pair in one transaction: each movable row's budget set to the
// target, its base money moved, fund control on the budgets after the move
// and, when the ledger is on, two detail rows per row (prior_amount in
// sequence) with `note`. A closed target is refused (1930) with nothing
// changed. Findings go to the person through fund control's handler; a
// confirmed set runs the whole move again. `moved` counts the rows moved.
bool Reassign(const std::vector<Pair>& pairs, int rollType, std::string_view note, int& moved,
              Refusal& refusal);
// One pass of Reassign inside the caller's transaction (false: roll back).
bool ReassignPass(const std::vector<Pair>& pairs, int rollType, std::string_view note,
                  AcqFundCtrl::BustList* list, int& moved, Refusal& refusal);

}  // namespace acq::AcqDbYearEnd
