// AcqDbBase: counted transactions, self-reporting loaders and the retry rule
// for write conflicts.
#include "acq/db/AcqDbBase.h"

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqDbBase {

void BeginTrans() {
  AcqDbExcept::EnterTrans();
  AcqDb::SessionBeginTrans();
}

namespace {

// Commits one level; a failure is the caller's to report.
DbCode TryCommitTrans(DbMsg& msg) {
  const DbCode code = AcqDb::SessionCommitTrans(msg);
  AcqDbExcept::ExitTrans();
  return code;
}

}  // namespace

bool CommitTrans() {
  DbMsg msg;
  const DbCode code = TryCommitTrans(msg);
  if (code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

void RollbackTrans() {
  DbMsg msg;
  const DbCode code = AcqDb::SessionRollbackTrans(msg);
  AcqDbExcept::AbortTrans();
  if (code != kDbOk) AcqDbExcept::HandleDbError(msg, code);
}

bool LoadBktFromCols(int cloneFlag1, int cloneFlag2, BktHandle& bkt, std::string_view columns,
                     std::string_view table) {
  DbMsg msg;
  if (DbCode code = AcqDb::BktFromCols(msg, cloneFlag1, cloneFlag2, bkt, columns, table);
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

bool RunStatement(const std::string& sql) {
  DbMsg msg;
  int32_t none = 0;
  if (DbCode code = AcqDb::ExecSP(msg, &none, sizeof none, "", sql); code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

bool SelectCount(const std::string& sql, int32_t& value) {
  DbMsg msg;
  value = 0;
  if (DbCode code = AcqDb::ExecSP(msg, &value, sizeof value, "", sql); code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

bool LoadRows(std::string_view columns, std::string_view table, const std::string& where,
              std::string_view orderBy, BucketHold& rows) {
  DbMsg msg;
  const DbCode code = AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, orderBy, where, columns,
                                       table, rows.get());
  if (code == kDbOk) return true;
  AcqDbExcept::HandleDbError(msg, code);
  return false;
}

bool LoadShrCodeBkt(std::string_view codeTable, BktHandle& bkt) {
  DbMsg msg;
  if (DbCode code = AcqDb::GetShrCodeBkt(msg, codeTable, bkt); code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  return true;
}

namespace {

// Copies of the edited Buckets, taken before the first attempt and put back
// before each retry so that every attempt writes exactly the same columns.
class Snapshots {
 public:
  explicit Snapshots(const std::vector<BktHandle>& edited) : edited_(edited) {
    for (BktHandle bkt : edited_) copies_.push_back(AcqGlobal::SnapshotBkt(bkt));
  }
  ~Snapshots() {
    for (BktHandle& copy : copies_) _BktDestroy(&copy);
  }
  Snapshots(const Snapshots&) = delete;
  Snapshots& operator=(const Snapshots&) = delete;
  void Restore() {
    for (size_t i = 0; i < edited_.size(); ++i) AcqGlobal::RestoreBkt(edited_[i], copies_[i]);
  }

 private:
  const std::vector<BktHandle>& edited_;
  std::vector<BktHandle> copies_;
};

}  // namespace

bool SaveWithReportedRetry(int maxRetries, const std::function<bool()>& steps,
                           const std::vector<BktHandle>& edited) {
  return SaveWithReportedRetry(maxRetries, steps, edited, nullptr);
}

bool SaveWithReportedRetry(int maxRetries, const std::function<bool()>& steps,
                           const std::vector<BktHandle>& edited,
                           const std::function<bool()>& confirmAgain) {
  Snapshots snapshots(edited);
  const bool outermost = AcqDbExcept::TransCount() == 0;
  for (int retries = 0;; ++retries) {
    BeginTrans();
    if (steps()) {
      DbMsg msg;
      const DbCode code = TryCommitTrans(msg);
      if (code == kDbOk) return true;
      // A database server may find the conflict only at the outermost
      // commit, which has then ended the transaction: retried alike.
      if (outermost && DbIsRetryable(code) && retries < maxRetries) {
        snapshots.Restore();
        _DbConflictPause(retries + 1);
        continue;
      }
      AcqDbExcept::HandleDbError(msg, code);
      return false;
    }
    const bool conflict = AcqDbExcept::LastTBDbErrRetry();
    const bool failedInDb = AcqDbExcept::HeldErrorCount() > 0;
    const bool again = conflict && retries < maxRetries;
    // Dropped before the rollback reaches level 0, so only the final failure
    // is ever shown.
    if (again) AcqDbExcept::FlushDbErrMsgBkt();
    RollbackTrans();
    snapshots.Restore();
    if (again) {
      _DbConflictPause(retries + 1);
      continue;
    }
    // Questions are asked only with no transaction open: inside a caller's
    // transaction the failure is the caller's to handle.
    if (failedInDb || !confirmAgain || !outermost || !confirmAgain()) return false;
    retries = -1;
  }
}

DbCode SaveWithCodeRetry(int maxAttempts, const std::function<DbCode(DbMsg&)>& steps,
                         const std::function<bool()>& reload) {
  DbMsg msg;
  DbCode code = kDbOk;
  const bool outermost = AcqDbExcept::TransCount() == 0;
  for (int attempts = 0; attempts < maxAttempts;) {
    msg.Clear();
    BeginTrans();
    code = steps(msg);
    if (code == kDbOk) {
      code = TryCommitTrans(msg);
      if (code == kDbOk) return kDbOk;
      // Only a conflict the server found at the outermost commit is run
      // again; any other failed commit is reported as code 1.
      if (!outermost || !DbIsRetryable(code)) {
        AcqDbExcept::HandleDbError(msg, code);
        return kDbError;
      }
    } else {
      RollbackTrans();
    }
    if (!DbIsRetryable(code)) break;
    ++attempts;
    if (attempts >= maxAttempts) break;
    _DbConflictPause(attempts);
    if (!reload()) {
      code = kDbMisuse;
      msg.Set("The rows could not be read again after a write conflict.");
      break;
    }
  }
  AcqDbExcept::HandleDbError(msg, code);
  return code;
}

}  // namespace acq::AcqDbBase

ACQ_UNIT_EMPTY(AcqDbBase)
