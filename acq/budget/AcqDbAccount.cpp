// AcqDbAccount: next year's allocations, built in memory and saved with
// their ledger in one transaction.
#include "acq/budget/AcqDbAccount.h"

#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/db/PwDb.h"

namespace acq::AcqDbAccount {
namespace {

using AcqDbExcept::HandleDbError;

constexpr int kMaxRetries = 5;   // write conflicts retried, as every save
constexpr const char* kAccountYear = "account_year";
constexpr const char* kOptionsTable = "account_year_create_options";
constexpr int kMinPercent = -100;
constexpr int kTypeAllocation = 0;   // budget_transaction_detail.amount_type

// The columns a new budget takes from its source unchanged.
constexpr const char* kCopied[] = {"account", "on_order_limit", "on_order_limit_percent",
                                   "spent_limit", "spent_limit_percent", "status"};

int Col(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }
std::optional<int16_t> Year(BktHandle bkt, int row, const char* name) {
  const int col = Col(bkt, name);
  if (col == 0 || _ColIsNull(bkt, row, col)) return std::nullopt;
  return static_cast<int16_t>(_ColGetInt(bkt, row, col));
}
void SetOptional(BktHandle bkt, int row, const char* name, std::optional<int16_t> value) {
  const int col = Col(bkt, name);
  if (value)
    _ColSetInt(bkt, row, col, *value);
  else
    _ColSetNull(bkt, row, col);
}
std::string Quoted(std::string_view text) {
  std::string out;
  (void)_DbQuoteAppend(out, static_cast<int>(2 * text.size() + 2), text);
  return out;
}
std::string YearIs(std::optional<int16_t> year) {
  return year ? "year=" + std::to_string(*year) : std::string("year IS NULL");
}

// Inside the save's transaction: does the account have a budget for the year?
bool BudgetExists(std::string_view account, std::optional<int16_t> year, bool& exists) {
  int32_t count = 0;
  if (!AcqDbBase::SelectCount("select count(*) from account_year where account=" +
                                  Quoted(account) + " and " + YearIs(year),
                              count))
    return false;
  exists = count > 0;
  return true;
}

// One ledger row: the new budget's allocation from nothing.
void AddAllocationDetail(BktHandle detail, std::string_view budget, Dec64 amount) {
  if (detail == nullptr || amount.IsZero()) return;
  int row = 0;
  _BktInsert(detail, 0, row);
  _ColSetTextW(detail, row, Col(detail, "budget"), budget);
  _ColSetInt(detail, row, Col(detail, "amount_type"), kTypeAllocation);
  _ColSetDec64(detail, row, Col(detail, "trans_amount"), amount);
  _ColSetDec64(detail, row, Col(detail, "prior_amount"), Dec64{});
}

}  // namespace

std::string BudgetId(std::string_view account, std::optional<int16_t> year) {
  std::string id(account);
  id += '.';
  if (year) id += std::to_string(*year);
  return id;
}

int CheckCreateOptions(const CreateOptions& options) {
  if (options.inflationFactor && *options.inflationFactor < kMinPercent) return 370;
  if (options.fromYear == options.forYear) return 371;   // two NULLs are equal too
  return 0;
}

bool LoadCreateOptions(std::string_view user, CreateOptions& options) {
  options = CreateOptions{};
  BucketHold rows;
  if (!AcqDbBase::LoadRows("*", kOptionsTable, "user_id=" + Quoted(user), "", rows))
    return false;
  if (_BktCountAll(*rows) < 1) return true;
  options.fromYear = Year(*rows, 1, "create_from_year");
  options.forYear = Year(*rows, 1, "create_for_year");
  options.inflationFactor = Year(*rows, 1, "inflation_factor");
  options.noAccountInflation = _ColGetBoolean(*rows, 1, Col(*rows, "no_account_inflation"));
  options.newStatus = Year(*rows, 1, "new_status");
  return true;
}

bool SaveCreateOptions(std::string_view user, const CreateOptions& options) {
  auto steps = [&] {
    BucketHold rows;
    if (!AcqDbBase::LoadRows("*", kOptionsTable, "user_id=" + Quoted(user), "", rows))
      return false;
    const bool exists = _BktCountAll(*rows) > 0;
    int row = 1;
    if (!exists) {
      _BktInsert(*rows, 0, row);
      _ColSetTextW(*rows, row, Col(*rows, "user_id"), user);
    }
    SetOptional(*rows, row, "create_from_year", options.fromYear);
    SetOptional(*rows, row, "create_for_year", options.forYear);
    SetOptional(*rows, row, "inflation_factor", options.inflationFactor);
    _ColSetBoolean(*rows, row, Col(*rows, "no_account_inflation"), options.noAccountInflation);
    SetOptional(*rows, row, "new_status", options.newStatus);
    DbMsg msg;
    const DbCode code = exists ? AcqDb::UpdateRow(msg, row, *rows, kOptionsTable)
                               : AcqDb::InsertRow(msg, row, *rows, kOptionsTable);
    if (code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    return true;
  };
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {});
}

bool LoadYearsToCreate(const CreateOptions& options, BktHandle& rows) {
  DbMsg msg;
  if (const DbCode code = AcqDbGen::LoadByYears(msg, AcqDbGen::proc::load_account_years_to_create,
                                                options.fromYear, options.forYear, rows);
      code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  AcqFundCtrl::FilterBudgetsForUser(rows);
  return true;
}

Dec64 InflationFactorOf(const CreateOptions& options, std::optional<int16_t> accountPercent) {
  std::optional<int16_t> percent = options.inflationFactor;
  if (!options.noAccountInflation && accountPercent) percent = accountPercent;
  if (!percent) return Dec64{};
  // A whole percent over 100 is exact in millionths: n x 10^4.
  return Dec64::FromRaw(static_cast<int64_t>(*percent) * (Dec64::kOne / 100));
}

Dec64 GetInflationFactor(const CreateOptions& options, BktHandle rows, int row) {
  return InflationFactorOf(options, Year(rows, row, "account_inflation_factor"));
}

bool InflateAmount(Dec64 amount, Dec64 factor, Dec64& result) {
  Dec64 increment{};
  if (LbDec64_Mul64(amount, factor, increment) != DecStatus::Ok) return false;
  if (increment.IsZero()) {
    result = amount;
    return true;
  }
  return LbDec64_Add64(amount, increment, result) == DecStatus::Ok;
}

bool CreateYearRows(const CreateOptions& options, BktHandle sourceRows, BktHandle& newRows) {
  if (!AcqDbBase::LoadBktFromCols(0, 0, newRows, "*", kAccountYear)) return false;
  for (int src = 1; src <= _BktCountAll(sourceRows); ++src) {
    int row = 0;
    _BktInsert(newRows, 0, row);
    for (const char* name : kCopied) {
      if (Col(sourceRows, name) != 0) _ColCopy(newRows, row, Col(newRows, name), sourceRows, src,
                                               Col(sourceRows, name));
    }
    SetOptional(newRows, row, "year", options.forYear);
    _ColSetDec64(newRows, row, Col(newRows, "on_order"), Dec64{});
    _ColSetDec64(newRows, row, Col(newRows, "spent"), Dec64{});
    if (options.newStatus) _ColSetInt(newRows, row, Col(newRows, "status"), *options.newStatus);
    Dec64 amount{};
    if (!InflateAmount(_ColGetDec64(sourceRows, src, Col(sourceRows, "amount")),
                       GetInflationFactor(options, sourceRows, src), amount))
      return false;
    _ColSetDec64(newRows, row, Col(newRows, "amount"), amount);
  }
  return true;
}

CreateOutcome CreateYearAllocations(const CreateOptions& options, BktHandle sourceRows,
                                    std::string_view note, int& created) {
  created = 0;
  BucketHold newRows;
  if (!CreateYearRows(options, sourceRows, newRows.get())) {
    DbMsg msg;
    msg.Set("A new allocation is too large to be held.");
    HandleDbError(msg, kDbError);
    return CreateOutcome::kFailed;
  }
  AcqDbBudget::BudgetMoves moves;
  if (!moves.ok()) return CreateOutcome::kFailed;
  bool raced = false;
  auto steps = [&] {
    moves.Reset();
    raced = false;
    const int accountCol = Col(*newRows, "account");
    for (int row = 1; row <= _BktCountAll(*newRows); ++row) {
      const std::string account = _ColGetStringW(*newRows, row, accountCol);
      bool exists = false;
      if (!BudgetExists(account, options.forYear, exists)) return false;
      // Created meanwhile (a second run, another workstation): nothing of
      // this batch is written, so no budget is ever doubled.
      if (exists) {
        raced = true;
        return false;
      }
      DbMsg msg;
      if (const DbCode code = AcqDb::InsertRow(msg, row, *newRows, kAccountYear); code != kDbOk) {
        HandleDbError(msg, code);
        return false;
      }
      AddAllocationDetail(moves.detail(), BudgetId(account, options.forYear),
                          _ColGetDec64(*newRows, row, Col(*newRows, "amount")));
    }
    if (moves.detail() == nullptr || _BktCountAll(moves.detail()) == 0) return true;
    return AcqDbBudget::WriteBudgetTransactionNote(note, moves.detail());
  };
  if (!AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {*newRows})) {
    return raced ? CreateOutcome::kAlreadyCreated : CreateOutcome::kFailed;
  }
  created = _BktCountAll(*newRows);
  return CreateOutcome::kCreated;
}

}  // namespace acq::AcqDbAccount

namespace acq::AcqDbAccount {
namespace {

// The columns a person may change in the budget editor, as account_year names them.
constexpr const char* kEditable[] = {"amount",      "on_order",            "spent",
                                     "on_order_limit", "on_order_limit_percent", "spent_limit",
                                     "spent_limit_percent", "status"};

bool SameCell(BktHandle a, int rowA, BktHandle b, int rowB, const char* name) {
  const int colA = Col(a, name), colB = Col(b, name);
  if (colA == 0 || colB == 0) return true;
  return _ColCompare(a, rowA, colA, b, rowB, colB) == 0;
}

std::string BudgetWhere(BktHandle bkt, int row) {
  return "account=" + Quoted(_ColGetStringW(bkt, row, Col(bkt, "account"))) + " and " +
         YearIs(Year(bkt, row, "year"));
}

bool LoadStored(BktHandle bkt, int row, BucketHold& stored) {
  return AcqDbBase::LoadRows("*", kAccountYear, BudgetWhere(bkt, row), "", stored);
}

// Inserts the edited row whole into a Bucket typed like account_year.
bool InsertBudget(BktHandle edited, int row) {
  BucketHold fresh;
  if (!AcqDbBase::LoadBktFromCols(0, 0, fresh.get(), "*", kAccountYear)) return false;
  int to = 0;
  _BktInsert(*fresh, 0, to);
  for (int col = 1; col <= _BktGetNCols(*fresh); ++col) {
    const int from = _BktGetColNum(edited, _BktGetColName(*fresh, col));
    if (from != 0) _ColCopy(*fresh, to, col, edited, row, from);
  }
  DbMsg msg;
  if (const DbCode code = AcqDb::InsertRow(msg, to, *fresh, kAccountYear); code != kDbOk) {
    HandleDbError(msg, code);
    return false;
  }
  return true;
}

}  // namespace

SaveOutcome SaveBudgetEdit(BktHandle edited, int row, BktHandle asRead) {
  bool stale = false;
  auto steps = [&] {
    stale = false;
    BucketHold stored;
    if (!LoadStored(edited, row, stored)) return false;
    if (_BktCountAll(*stored) == 0) return InsertBudget(edited, row);
    bool any = false;
    for (const char* name : kEditable) {
      if (asRead != nullptr && SameCell(edited, row, asRead, 1, name)) continue;
      if (asRead != nullptr && !SameCell(*stored, 1, asRead, 1, name)) {
        stale = true;
        return false;
      }
      _ColCopy(*stored, 1, Col(*stored, name), edited, row, Col(edited, name));
      any = true;
    }
    if (!any) return true;
    // Only the copied cells are flagged changed, so only they are written.
    DbMsg msg;
    if (const DbCode code = AcqDb::UpdateRow(msg, 1, *stored, kAccountYear); code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    return true;
  };
  if (AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {})) return SaveOutcome::kSaved;
  return stale ? SaveOutcome::kStale : SaveOutcome::kFailed;
}

int CheckAccount(const AccountRow& row) {
  if (row.inflationFactor && *row.inflationFactor < kMinPercent) return 379;
  if (row.transferUnspentPercent &&
      (*row.transferUnspentPercent < 0 || *row.transferUnspentPercent > 100))
    return 378;
  return 0;
}

bool SaveAccount(const AccountRow& a, bool isNew) {
  auto steps = [&] {
    BucketHold rows;
    if (!AcqDbBase::LoadRows("*", "account", "account=" + Quoted(a.account), "", rows))
      return false;
    int row = 1;
    if (isNew || _BktCountAll(*rows) == 0) {
      _BktInsert(*rows, 0, row);
      _ColSetTextW(*rows, row, Col(*rows, "account"), a.account);
    }
    _ColSetTextW(*rows, row, Col(*rows, "descr"), a.descr);
    if (a.acctRef.empty())
      _ColSetNull(*rows, row, Col(*rows, "acct_ref"));
    else
      _ColSetTextW(*rows, row, Col(*rows, "acct_ref"), a.acctRef);
    SetOptional(*rows, row, "inflation_factor", a.inflationFactor);
    SetOptional(*rows, row, "transfer_unspent_percent", a.transferUnspentPercent);
    DbMsg msg;
    const DbCode code = _BktGetState(*rows, row) == kRowNew
                            ? AcqDb::InsertRow(msg, row, *rows, "account")
                            : AcqDb::UpdateRow(msg, row, *rows, "account");
    if (code != kDbOk) {
      HandleDbError(msg, code);
      return false;
    }
    return true;
  };
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {});
}

bool DeleteAccount(std::string_view account, bool& hasBudgets) {
  hasBudgets = false;
  auto steps = [&] {
    int32_t budgets = 0;
    if (!AcqDbBase::SelectCount("select count(*) from account_year where account=" +
                                    Quoted(account),
                                budgets))
      return false;
    hasBudgets = budgets > 0;
    return !hasBudgets &&
           AcqDbBase::RunStatement("delete from account where account=" + Quoted(account));
  };
  return AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {});
}

}  // namespace acq::AcqDbAccount
