// Inside PwDb75: the session record behind an HDb and the helpers the
// session's source files share. Not part of the library's contract.
//
// Locking: every exported call that takes an HDb holds the session's
// mutex for its whole run (the module shares one session between the user
// interface and the import thread); the helpers below expect it held.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "database/Database.h"
#include "host/db/DbEngine.h"
#include "host/db/PwDb.h"
#include "host/db/SqlDialect.h"

namespace pwdb {

struct CaseLess {
  bool operator()(std::string_view a, std::string_view b) const;
  using is_transparent = void;
};
bool EqualNoCase(std::string_view a, std::string_view b);

// A declared column type as a Bucket column type; `known` false for a type
// the session does not recognise (then the value decides).
struct BktType {
  int type = kColText;
  int length = 0;     // characters for text; 0 = unlimited
  bool known = false;
};
BktType TypeFromDecl(std::string_view decl);
bool DeclIsDayNum(std::string_view decl);

struct ColumnDef {
  std::string name;
  std::string decl;
  BktType type;
  int pk = 0;   // position in the primary key (1..), 0 when not a key column
};

struct TableDef {
  bool exists = false;
  std::vector<ColumnDef> columns;
  std::vector<std::string> pkColumns;   // in key order
  const ColumnDef* Find(std::string_view column) const;
};

// Rewinds a cached statement (and drops its bindings) when the holder
// leaves scope, so the cache never keeps a read open.
class StmtReset {
 public:
  explicit StmtReset(DbStatement* s) : stmt_(s) {}
  ~StmtReset() {
    if (stmt_) stmt_->Reset();
  }
  StmtReset(const StmtReset&) = delete;
  StmtReset& operator=(const StmtReset&) = delete;

 private:
  DbStatement* stmt_;
};

// ---- opening a library database (session and admin tools) ---------------------------
// Opens an existing library database read-write, never creating one:
// `target` is a file's path or a server's URI (DbEngine_IsServerTarget).
// Checks it is a library database of this program's version or older,
// writing nothing until it is, and sets the connection up (on SQLite WAL,
// foreign keys, the busy wait of kDefaultBusyTimeoutMs, synchronous
// NORMAL). `version` gets the schema version; an older one is left for the
// caller to upgrade. Failures: kDbCannotOpen (no such file, the server
// unreachable, the log-in refused, no such database; the engine's text on
// one line), kDbBadSchema (not a library database, or a newer one). Messages
// show the target without a password. On failure nothing stays open.
DbCode OpenLibrary(const std::string& target, std::unique_ptr<DbConnection>& out, int& version,
                   DbMsg& msg);

constexpr int kDefaultBusyTimeoutMs = kDbBusyTimeoutMs;
// Records one wait for another connection's lock (`first` at its start)
// and the time slept, for _DbGetConflictStats.
void NoteLockWait(uint64_t sleptUs, bool first);
// Counts a retry for _DbGetConflictStats.
void CountRetry();
// What the engine opens for a resolved target: the path of "sqlite:/x/y.db"
// (or "/x/y.db"), a server URI as it is.
std::string PathOfTarget(std::string_view target);

// A server's text on one line, trimmed: libpq ends its lines with newlines
// and indents the hints under them.
std::string OneLineText(std::string_view text);

// SQL text shortened for a message.
std::string ShortSql(std::string_view sql);

}  // namespace pwdb

struct DbSessionImpl {
  std::recursive_mutex mutex;
  // The engine connection; every statement cached below refers to it, so
  // the cache is cleared before it is closed.
  std::unique_ptr<pwdb::DbConnection> conn;
  std::string path;      // the database: a file's path or a server URI
  std::string server;    // as given at log-in
  std::string user;
  std::string database;

  // Transactions: `depth` counts open levels (1 = BEGIN IMMEDIATE, deeper =
  // SAVEPOINT lvlN). `txnLost` is the code of the failure after which the
  // transaction is gone (the engine ended it, or its BEGIN never got the write
  // lock), with `txnLostText` saying why: further statements are refused
  // with them until the caller rolls back to level 0.
  int depth = 0;
  DbCode txnLost = kDbOk;
  std::string txnLostText;

  // How long a statement waits for another connection's lock (ms).
  int busyTimeoutMs = pwdb::kDefaultBusyTimeoutMs;

  // Commands: the current command set by _DbCmd, consumed by _DbLoadQuery.
  bool sequenceOpen = false;
  bool hasCommand = false;
  std::string command;

  // Shared code tables, read once, read-only, destroyed at log-out.
  std::map<std::string, BktHandle, pwdb::CaseLess> codeTables;

  // Schema knowledge, dropped when the file's schema version changes.
  int64_t schemaCookie = -1;
  std::map<std::string, pwdb::TableDef, pwdb::CaseLess> tables;
  bool nameTypesBuilt = false;
  // Column name -> type, for names every table declares alike.
  std::map<std::string, pwdb::BktType, pwdb::CaseLess> nameTypes;

  // Prepared statements of the session's own SQL (row writes, key generator).
  std::unordered_map<std::string, std::unique_ptr<pwdb::DbStatement>> stmtCache;

  // A log-in (not a clone): holds the view definitions until its log-out.
  bool holdsViews = false;
};

namespace pwdb {

using SessionLock = std::lock_guard<std::recursive_mutex>;

// Before a call runs statements: refuses an empty handle, ends a transaction
// whose COMMIT failed, refuses statements inside a transaction the engine ended.
DbCode Enter(DbSessionImpl* s, DbMsg& msg);

// The start of an exported call that runs statements: holds the session's
// mutex for the holder's life and enters the session. An empty handle takes
// no lock and gives kDbMisuse ("No database session."). Test code() before
// touching the session.
class SessionCall {
 public:
  SessionCall(DbSessionImpl* s, DbMsg& msg)
      : lock_(s ? std::unique_lock<std::recursive_mutex>(s->mutex)
                : std::unique_lock<std::recursive_mutex>()),
        code_(Enter(s, msg)) {}
  SessionCall(const SessionCall&) = delete;
  SessionCall& operator=(const SessionCall&) = delete;
  [[nodiscard]] DbCode code() const { return code_; }

 private:
  std::unique_lock<std::recursive_mutex> lock_;
  DbCode code_;
};
// Records a failed statement: `code`, the engine's text (with the
// statement when given) in `msg`, and whether the transaction was lost.
DbCode Fail(DbSessionImpl* s, DbCode code, DbMsg& msg, std::string_view sql = {});
// Same with a text of our own instead of the engine's.
DbCode FailText(DbSessionImpl* s, DbCode code, std::string_view text, DbMsg& msg);

// Statement cache of the session's own SQL; the statement stays prepared
// and belongs to the cache.
DbCode Cached(DbSessionImpl* s, const std::string& sql, DbStatement*& out);
void ClearStmtCache(DbSessionImpl* s);

// Translates module SQL for the session's engine; kDbError with the
// translator's text.
DbCode Translate(DbSessionImpl* s, std::string_view moduleSql, std::string& out, DbMsg& msg);

// Schema knowledge (drops stale caches first).
void RefreshSchema(DbSessionImpl* s);
const TableDef& Table(DbSessionImpl* s, std::string_view name);
BktType NameType(DbSessionImpl* s, std::string_view column);
std::string QuoteId(std::string_view name);

// Stores `v` into cell (row, col) of `bkt` converted to the column's type;
// false with a message naming the column when it does not fit.
bool StoreCell(BktHandle bkt, int row, int col, const DbsValue& v, std::string& error);
// The value of cell (row, col) as the table column `def` stores it.
bool CellForColumn(BktHandle bkt, int row, int col, const ColumnDef* def, DbsValue& out,
                   std::string& error);

// View definitions (DbView.cpp): read at log-in, made current, and held
// until the matching release at log-out.
DbCode LoadViewDefinitions(DbConnection& conn, DbMsg& msg);
void ReleaseViewDefinitions();

// A procedure call: `text` names a registered procedure, alone or as
// "[exec] name args". `isCall` false means it is SQL.
DbCode CallProcedure(DbSessionImpl* s, std::string_view text, std::string_view params,
                     bool& isCall, std::vector<DbsResultSet>& results, DbMsg& msg);

}  // namespace pwdb
