// The one seam between PwDb75 and a database engine. The session, the
// stored procedures, the schema migrations and the demo library talk to the
// engine only through DbConnection and DbStatement, so each is written once
// for every engine. The module and the frame never see this header.
//
// Values cross the seam as DbsValue: whole numbers (keys, counts, day
// numbers, and money as a 64-bit count of millionths) as Int, texts as Text,
// NULL as Null. Failures come back as the session's codes (kDbBusy when
// another connection kept the write lock past the busy wait, kDbLocked for a
// row or snapshot changed since it was read, kDbConstraint, kDbError ...)
// with the engine's own text in DbConnection::ErrorText().
//
// A connection is used by one thread at a time (the session's mutex sees to
// that); it is closed when its object is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/Database.h"
#include "host/db/PwDb.h"
#include "host/db/SqlDialect.h"

namespace pwdb {

// The outcome of one step of a statement.
enum class StepRc : uint8_t { kRow, kDone, kFailed };

// One prepared statement; finalized when the object is destroyed. The
// connection that made it must outlive it.
class DbStatement {
 public:
  virtual ~DbStatement() = default;

  // Parameters are ?1, ?2 ... (1-based). A failed bind returns its code
  // with the connection's text set.
  virtual DbCode BindNull(int at) = 0;
  virtual DbCode BindInt(int at, int64_t v) = 0;
  virtual DbCode BindText(int at, std::string_view v) = 0;
  // Int as a whole number, Text and Real (a decimal text) as text, Null.
  DbCode Bind(int at, const DbsValue& v) {
    switch (v.kind) {
      case DbsValue::Kind::Null: return BindNull(at);
      case DbsValue::Kind::Int: return BindInt(at, v.i);
      default: return BindText(at, v.s);
    }
  }
  // Binds `values` to ?1 .. ?n in order.
  DbCode BindAll(const std::vector<DbsValue>& values) {
    for (size_t n = 0; n < values.size(); ++n)
      if (DbCode code = Bind(static_cast<int>(n + 1), values[n]); code != kDbOk) return code;
    return kDbOk;
  }

  // The next row (kRow), the end (kDone), or a failure (kFailed; the code
  // is DbConnection::ErrorCode(), the text ErrorText()).
  virtual StepRc Step() = 0;
  // Rewinds the statement for another run and drops its bindings; a
  // statement that is not reset keeps its read open.
  virtual void Reset() = 0;
  // True when the statement cannot change the database.
  virtual bool ReadOnly() const = 0;

  // Result columns, 0-based: the name, and for a plain column of a table
  // its declared type and where it comes from (empty for expressions).
  virtual int ColumnCount() const = 0;
  virtual DbsColumn Column(int c) const = 0;
  // The cell of column `c` of the current row.
  virtual DbsValue Value(int c) = 0;
  virtual bool IsNull(int c) = 0;
  virtual int64_t Int(int c) = 0;
  virtual std::string Text(int c) = 0;
};

// A table as the session's typing needs it.
struct DbTableColumn {
  std::string name;
  std::string decl;   // the declared type as written ("VARCHAR(10)", "DEC64")
  // Position in the table's key (1..), 0 when not a key column. The key is
  // the primary key, else the table's first UNIQUE constraint: on a server a
  // key whose columns may hold NULL cannot be a primary key.
  int pk = 0;
};

class DbConnection {
 public:
  virtual ~DbConnection() = default;

  // "sqlite" or "postgresql" (the scheme of its targets).
  virtual std::string_view EngineName() const = 0;
  // True for an engine on a database server: the database itself is made by
  // the site, and there are no files of it here.
  virtual bool IsServer() const = 0;
  // The dialect the module's SQL is translated to for this engine.
  virtual SqlBackend Dialect() const = 0;

  // Prepares the first statement of `sql`; `used` (optional) gets how many
  // characters it took, so a text of several statements can be run one by
  // one. Text of only blanks or comments gives kDbOk and no statement.
  // `keep` hints that the statement will be run many times.
  virtual DbCode Prepare(std::string_view sql, std::unique_ptr<DbStatement>& out,
                         size_t* used = nullptr, bool keep = false) = 0;
  // Runs every statement of `sql`, discarding rows.
  virtual DbCode Exec(std::string_view sql) = 0;

  // Transactions. On SQLite, Begin takes the write lock at once (waiting up
  // to the busy timeout), so a transaction that began never meets a lock
  // later. On the server it takes nothing: a row another transaction holds
  // makes a statement wait up to the busy timeout (then kDbBusy), and a
  // transaction that cannot be put in order with the others fails at a
  // statement or at Commit with kDbLocked. Either way a failed statement
  // leaves its transaction usable, with only that statement undone.
  virtual DbCode Begin() = 0;
  virtual DbCode Commit() = 0;
  virtual DbCode Rollback() = 0;
  virtual DbCode Savepoint(std::string_view name) = 0;
  virtual DbCode ReleaseSavepoint(std::string_view name) = 0;
  virtual DbCode RollbackToSavepoint(std::string_view name) = 0;
  // True while a transaction is open (false after the engine ended one on
  // its own after a failure).
  virtual bool InTransaction() const = 0;

  // Sets the connection up for a library database: a write-ahead log (so
  // readers never wait for the writer), foreign keys enforced, commits
  // durable at checkpoints. It writes to the database, so it is called
  // only once the file is known to be a library database (or is new).
  virtual DbCode Configure() = 0;
  // Inside a transaction: waits until no other connection is changing the
  // library's schema and keeps them out until the transaction ends. Creating
  // and upgrading take it right after Begin() and then read the version, so
  // two workstations upgrading at once apply each migration once.
  virtual DbCode LockSchema() = 0;
  // Inside the creating or upgrading transaction, before the migrations:
  // what the library's SQL needs of the engine beyond its built-ins (types,
  // functions). Running it again changes nothing.
  virtual DbCode InstallSupport() = 0;
  // Writes everything the log holds back into the database itself and
  // empties the log (a new file is complete without its log).
  virtual DbCode Checkpoint() = 0;
  // Closes the connection now; a failure says it could not be closed
  // cleanly. Statements of the connection must be gone. The destructor
  // closes a connection still open.
  virtual DbCode Close() = 0;

  // A statement that meets another connection's lock waits for it for at
  // most `ms` milliseconds (0: fails at once), then fails with kDbBusy.
  virtual void SetBusyTimeout(int ms) = 0;

  // The key of the row the last insert made; rows the last write changed.
  virtual int64_t LastInsertKey() const = 0;
  virtual int64_t Changes() const = 0;

  // The columns of a table or view in declared order; `exists` false (and
  // no columns) when there is none of that name.
  virtual DbCode DescribeTable(std::string_view table, bool& exists,
                               std::vector<DbTableColumn>& out) = 0;
  // The names of every table and view (not the engine's own).
  virtual DbCode TableNames(std::vector<std::string>& out) = 0;
  // A number that changes whenever the schema changes.
  virtual DbCode SchemaStamp(int64_t& out) = 0;
  // True when this process cannot write the database.
  virtual bool IsReadOnly() = 0;

  // The last failure: its session code (kDbOk when the last call worked),
  // the engine's text, and whether it was a write refused because the file
  // or the database is read-only.
  virtual DbCode ErrorCode() const = 0;
  virtual const std::string& ErrorText() const = 0;
  virtual bool ErrorWasReadOnly() const = 0;

  // Called with the text of each statement as it starts to run (tests use it
  // to see what ran inside one transaction). An empty function removes it.
  virtual void SetStatementObserver(std::function<void(std::string_view)> observer) = 0;
};

// True when `target` names a database on a server: a libpq connection URI
// ("postgresql://user@host:port/db", "postgres://...", with "?service=NAME"
// for libpq's service file). Anything else names an SQLite file.
bool DbEngine_IsServerTarget(std::string_view target);
// `target` fit to show: a password written into a URI becomes "***".
std::string DbEngine_ShownTarget(std::string_view target);

// Opens a connection to `target` ("sqlite:/path/file.db", or a bare path
// for SQLite; a URI for PostgreSQL, whose database must exist: `create`
// makes nothing there). `create` makes a new, empty database; otherwise it must
// exist and be writable. Failures: kDbCannotOpen with the engine's text in
// `error`. Extended codes and the fair busy wait are set up.
DbCode DbEngine_Open(std::string_view target, bool create, std::unique_ptr<DbConnection>& out,
                     std::string& error);

}  // namespace pwdb
