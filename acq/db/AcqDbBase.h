// AcqDbBase: counted transactions, loaders that report their own failures,
// and the one retry rule for write conflicts that every multi-step save
// follows.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/PwDb.h"
#include "host/sys/Bucket.h"

namespace acq::AcqDbBase {

// Counts up, then begins on the session (a savepoint when nested).
void BeginTrans();
// Commits on the session, then counts down. A failure goes to HandleDbError
// (shown at once when this was the outermost level) and gives false.
bool CommitTrans();
// Rolls back on the session, then counts down; the outermost rollback shows
// the errors held back meanwhile.
void RollbackTrans();

// As AcqDb::BktFromCols and AcqDb::GetShrCodeBkt, reporting a failure
// through HandleDbError and returning false.
bool LoadBktFromCols(int cloneFlag1, int cloneFlag2, BktHandle& bkt, std::string_view columns,
                     std::string_view table);
bool LoadShrCodeBkt(std::string_view codeTable, BktHandle& bkt);
// Runs a complete statement (an insert, update or delete) on the session,
// reporting a failure through HandleDbError and returning false.
bool RunStatement(const std::string& sql);
// The single number `sql` selects (0 for no row or NULL) into `value`;
// a failure is reported through HandleDbError and returns false.
bool SelectCount(const std::string& sql, int32_t& value);
// Loads `columns` of `table` where `where`, ordered by `orderBy`, into
// `rows` (its rows replaced); a failure is reported and returns false.
bool LoadRows(std::string_view columns, std::string_view table, const std::string& where,
              std::string_view orderBy, BucketHold& rows);

// Holds a transaction level for a scope: rolled back unless Commit was
// called (so an early return can never leave a level open).
class TransactionHold {
 public:
  TransactionHold() { BeginTrans(); }
  ~TransactionHold() {
    if (open_) RollbackTrans();
  }
  TransactionHold(const TransactionHold&) = delete;
  TransactionHold& operator=(const TransactionHold&) = delete;
  bool Commit() {
    open_ = false;
    return CommitTrans();
  }
  void Rollback() {
    open_ = false;
    RollbackTrans();
  }

 private:
  bool open_ = true;
};

// The retry rule for a save whose steps report their failures through
// HandleDbError (held back, because they run inside the transaction).
// Each attempt: begin, run `steps`; true → commit (the result). False: when
// the last held-back error is a write conflict and fewer than `maxRetries`
// retries were made, the held-back errors are dropped, the transaction rolled
// back, every Bucket of `edited` restored from its copy taken before the
// first attempt, and after a pause that grows with each retry (with jitter:
// _DbConflictPause) the steps run again; so they do when the outermost
// commit fails with a write conflict (a database server may find one only
// there). Otherwise the rollback shows the final failure, the Buckets are
// restored, and the result is false.
// So a save that keeps conflicting shows exactly one error.
bool SaveWithReportedRetry(int maxRetries, const std::function<bool()>& steps,
                           const std::vector<BktHandle>& edited);
// The same with a second way to run again: when an attempt fails without a
// write conflict (fund control noted findings, say), after the rollback at
// the outermost level and the restore, `confirmAgain` is asked (it may show
// prompts: no transaction is open then); true runs the steps again with
// the conflict retries counted from zero. Used by every action that moves
// budget money (the confirm-and-retry protocol).
bool SaveWithReportedRetry(int maxRetries, const std::function<bool()>& steps,
                           const std::vector<BktHandle>& edited,
                           const std::function<bool()>& confirmAgain);

// The retry rule for a save whose steps return their codes. Each attempt:
// begin, `steps(msg)`; 0 → commit. Non-zero: roll back, and when the code is
// a write conflict and fewer than `maxAttempts` attempts were made, after a
// pause that grows with each retry `reload` refreshes the caller's rows (a
// failed reload ends the save with code 2) and the steps run again; so they
// do when the outermost commit fails with a write conflict. The last
// non-zero code goes to HandleDbError once. Returns the final code (0 when
// committed; any other failed commit is reported and gives code 1).
DbCode SaveWithCodeRetry(int maxAttempts, const std::function<DbCode(DbMsg&)>& steps,
                         const std::function<bool()>& reload);

}  // namespace acq::AcqDbBase
