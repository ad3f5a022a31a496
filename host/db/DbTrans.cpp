// Counted transactions: the outermost level is a deferred BEGIN ... COMMIT,
// inner levels are savepoints "lvlN" (N = the level they open). A deferred
// transaction takes the write lock at its first write; a conflicting writer
// in another program waits at most the busy timeout (250 ms) and then gets
// kDbBusy, a stale snapshot kDbBusy at once; either way the caller rolls the
// whole transaction back and runs it again.
#include "host/db/DbSession.h"
#include "host/sys/RunTime.h"

namespace {

using namespace pwdb;

int Exec(DbSessionImpl* s, const std::string& sql) {
  return sqlite3_exec(s->conn, sql.c_str(), nullptr, nullptr, nullptr);
}

std::string Savepoint(int level) { return "lvl" + std::to_string(level); }

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
  int rc = db->depth == 0 ? Exec(db, "BEGIN") : Exec(db, "SAVEPOINT " + Savepoint(db->depth + 1));
  if (rc != SQLITE_OK) {
    // BEGIN and SAVEPOINT take no locks; a failure here means the
    // connection is unusable. Refuse the level's statements.
    Lib_Trace(std::string("PwDb: begin failed: ") + sqlite3_errmsg(db->conn));
    db->txnLost = CodeFromSqlite(rc) == kDbOk ? DbCode{kDbError} : CodeFromSqlite(rc);
  }
  ++db->depth;
}

DbCode _DbCommitTrans(HDb db, DbMsg& msg) {
  if (db == nullptr) {
    msg.Set("No database session.");
    return kDbMisuse;
  }
  SessionLock lock(db->mutex);
  if (db->depth == 0 || db->commitFailed) {
    msg.Set("No transaction to commit.");
    return kDbMisuse;
  }
  if (db->txnLost != kDbOk) {
    DbCode code = db->txnLost;
    msg.Set("The transaction was ended by an earlier failure and is not committed.");
    if (--db->depth == 0) db->txnLost = kDbOk;
    return code;
  }
  if (db->depth > 1) {
    int rc = Exec(db, "RELEASE " + Savepoint(db->depth));
    if (rc != SQLITE_OK) return Fail(db, rc, msg);
    --db->depth;
    return kDbOk;
  }
  int rc = Exec(db, "COMMIT");
  if (rc == SQLITE_OK) {
    db->depth = 0;
    return kDbOk;
  }
  DbCode code = Fail(db, rc, msg);
  if (sqlite3_get_autocommit(db->conn)) {
    db->depth = 0;      // SQLite rolled it back itself
    db->txnLost = kDbOk;
  } else {
    db->commitFailed = true;   // still open: the caller's rollback ends it
  }
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
  if (db->commitFailed || db->depth == 1) {
    int rc = sqlite3_get_autocommit(db->conn) ? SQLITE_OK : Exec(db, "ROLLBACK");
    db->depth = 0;
    db->commitFailed = false;
    db->txnLost = kDbOk;
    return rc == SQLITE_OK ? DbCode{kDbOk} : Fail(db, rc, msg);
  }
  if (db->txnLost != kDbOk) {   // already undone by SQLite; just count down
    --db->depth;
    return kDbOk;
  }
  const std::string name = Savepoint(db->depth);
  int rc = Exec(db, "ROLLBACK TO " + name);
  if (rc == SQLITE_OK) rc = Exec(db, "RELEASE " + name);
  --db->depth;
  return rc == SQLITE_OK ? DbCode{kDbOk} : Fail(db, rc, msg);
}

int _DbTransDepth(HDb db) {
  if (db == nullptr) return 0;
  SessionLock lock(db->mutex);
  return db->depth;
}
