// Counted transactions: the outermost level is BEGIN IMMEDIATE ... COMMIT,
// inner levels are savepoints "lvlN" (N = the level they open).
//
// The outermost level takes the write lock as it begins, so every read of
// the transaction sees the latest committed rows and nobody can write
// between its reads and its writes. While another workstation holds the
// lock, BEGIN waits up to the session's busy timeout
// (kDefaultBusyTimeoutMs); if the lock is still held then, the transaction
// is lost with kDbBusy and every statement of it is refused with that code
// until the caller rolls back and runs the whole transaction again.
//
// A failed outermost COMMIT ends the transaction at once (rolled back), so
// the write lock is free before anyone is told of the failure.
#include "host/db/DbSession.h"
#include "host/sys/RunTime.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

namespace {

using namespace pwdb;

std::string Savepoint(int level) { return "lvl" + std::to_string(level); }

void EndTransaction(DbSessionImpl* s) {
  s->depth = 0;
  s->txnLost = kDbOk;
  s->txnLostText.clear();
}

}  // namespace

void _DbBeginTrans(HDb db) {
  if (db == nullptr) return;
  SessionLock lock(db->mutex);
  DbMsg ignored;
  if (Enter(db, ignored) != kDbOk && db->txnLost == kDbOk) return;
  if (db->txnLost != kDbOk) {
    // Statements are refused until the caller rolls back; just count.
    ++db->depth;
    return;
  }
  const DbCode code = db->depth == 0 ? db->conn->Begin()
                                      : db->conn->Savepoint(Savepoint(db->depth + 1));
  if (code != kDbOk) {
    db->txnLost = code;
    db->txnLostText =
        code == kDbBusy
            ? "The database is locked: another workstation kept it locked for more than " +
                  std::to_string(db->busyTimeoutMs) + " ms, so the transaction could not begin."
            : "The transaction could not begin: " + db->conn->ErrorText();
    Lib_Trace("PwDb: begin failed: " + db->txnLostText);
  }
  ++db->depth;
}

DbCode _DbCommitTrans(HDb db, DbMsg& msg) {
  if (db == nullptr) {
    msg.Set("No database session.");
    return kDbMisuse;
  }
  SessionLock lock(db->mutex);
  if (db->depth == 0) {
    msg.Set("No transaction to commit.");
    return kDbMisuse;
  }
  if (db->txnLost != kDbOk) {
    DbCode code = db->txnLost;
    msg.Set(db->txnLostText);
    if (--db->depth == 0) EndTransaction(db);
    return code;
  }
  if (db->depth > 1) {
    DbCode code = db->conn->ReleaseSavepoint(Savepoint(db->depth));
    if (code != kDbOk) return Fail(db, code, msg);
    --db->depth;
    return kDbOk;
  }
  DbCode code = db->conn->Commit();
  if (code == kDbOk) {
    EndTransaction(db);
    return kDbOk;
  }
  msg.Set(db->conn->ErrorText());
  // The writes are lost either way; holding the lock while the caller
  // reports that would stop every other workstation.
  if (db->conn->InTransaction()) db->conn->Rollback();
  EndTransaction(db);
  return code;
}

DbCode _DbRollbackTrans(HDb db, std::string_view /*name*/, DbMsg& msg) {
  if (db == nullptr) {
    msg.Set("No database session.");
    return kDbMisuse;
  }
  SessionLock lock(db->mutex);
  if (db->depth == 0) {
    msg.Set("No transaction to roll back.");
    return kDbMisuse;
  }
  if (db->depth == 1) {
    DbCode code = db->conn->InTransaction() ? db->conn->Rollback() : DbCode{kDbOk};
    EndTransaction(db);
    return code == kDbOk ? DbCode{kDbOk} : Fail(db, code, msg);
  }
  if (db->txnLost != kDbOk) {   // already undone; just count down
    --db->depth;
    return kDbOk;
  }
  const std::string name = Savepoint(db->depth);
  DbCode code = db->conn->RollbackToSavepoint(name);
  if (code == kDbOk) code = db->conn->ReleaseSavepoint(name);
  --db->depth;
  return code == kDbOk ? DbCode{kDbOk} : Fail(db, code, msg);
}

int _DbTransDepth(HDb db) {
  if (db == nullptr) return 0;
  SessionLock lock(db->mutex);
  return db->depth;
}

void _DbSetBusyTimeout(HDb db, int ms) {
  if (db == nullptr) return;
  SessionLock lock(db->mutex);
  db->busyTimeoutMs = std::max(ms, 0);
  if (db->conn) db->conn->SetBusyTimeout(db->busyTimeoutMs);
}

void _DbConflictPause(int retry) {
  // 10, 20, 40 ... 320 ms on average, each drawn from half to one and a half
  // times that, so that workstations that met do not meet again in step.
  thread_local std::minstd_rand random(std::random_device{}());
  CountRetry();
  const int base = 10 << std::clamp(retry - 1, 0, 5);
  const int ms = base / 2 + static_cast<int>(random() % static_cast<unsigned>(base + 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
