// The PostgreSQL engine behind DbConnection, on libpq: one connection per
// session to a library database on a shared server. This file is the only
// place of PwDb75 that calls libpq.
//
// Isolation: every transaction the session begins is REPEATABLE READ, and
// writers queue as their transactions begin. The module's fund control
// reads a budget's totals inside the transaction that then writes money
// against it; two workstations doing that at once must not both pass a
// limit that only one of them may use. The queue (a lock on the key table,
// taken before the transaction's first read, so before its snapshot) makes
// writers follow one another as SQLite's BEGIN IMMEDIATE does: each reads
// what the one before it wrote, and the module's assumption that a
// transaction holds the write lock from its start holds here too. A writer
// that waits past the busy time-out (lock_timeout) gets kDbBusy (10) and
// the module retries it. A row that a write outside the queue changed after
// the snapshot fails the transaction's own write of it with a
// serialization failure (40001), as does a deadlock (40P01): kDbLocked (11),
// retried from the start. SERIALIZABLE would add predicate locks to every
// read for nothing the queue does not give already, and its lock table is
// a shared memory a busy server runs out of (seen with eight workstations
// and the server's default settings); optimistic serializable transactions
// without the queue would fail most writers on the rows every activity
// writes (a PO header, a budget); read committed would let a writer read
// totals that change under it.
//
// Statements are prepared on the server under names of their own ("a1",
// "a2" ...), so several can be open at once as on SQLite; one that is
// finalized is deallocated with the next command the connection sends.
// Results are read whole (PQexecPrepared), values arrive as text.
#include "host/db/EnginePostgres.h"

#include <libpq-fe.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

#include "host/db/DbSession.h"
#include "host/db/SqlPostgres.h"

namespace pwdb {

namespace {

// Type oids of the built-in types whose values cross as whole numbers.
constexpr Oid kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kOidOid = 26,
              kNumericOid = 1700, kFloat4Oid = 700, kFloat8Oid = 701;

// Frees a PGresult at the end of a scope.
struct Result {
  PGresult* r = nullptr;
  explicit Result(PGresult* result = nullptr) : r(result) {}
  ~Result() { PQclear(r); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  Result& operator=(PGresult* result) {
    PQclear(r);
    r = result;
    return *this;
  }
  bool Ok() const {
    const ExecStatusType s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
  }
};

DbCode CodeOfState(const char* state) {
  if (state == nullptr) return kDbError;
  const std::string_view s(state);
  if (s == "40001" || s == "40P01") return kDbLocked;   // serialization failure, deadlock
  if (s == "55P03") return kDbBusy;                      // lock not available (lock_timeout)
  if (s.substr(0, 2) == "23") return kDbConstraint;      // integrity constraint violation
  return kDbError;
}

// libpq's text on one line: "line one; line two".
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      while (i + 1 < text.size() && (text[i + 1] == '\t' || text[i + 1] == ' ')) ++i;
      out += "; ";
    } else {
      out += text[i];
    }
  }
  return out;
}

// The module's name of a column type PostgreSQL describes (format_type).
std::string DeclOf(std::string_view type) {
  struct Pair {
    std::string_view pg, decl;
  };
  static constexpr Pair kNames[] = {
      {"int64", "INTEGER"},   {"dec64", "DEC64"},     {"daynum", "DAYNUM"},     {"minute", "MINUTE"},
      {"tinyint", "TINYINT"}, {"bitflag", "BIT"},       {"bigint", "INTEGER"},
      {"integer", "INTEGER"}, {"smallint", "SMALLINT"}, {"text", "TEXT"},
      {"boolean", "BIT"},     {"numeric", "NUMERIC"},   {"double precision", "REAL"}};
  for (const Pair& p : kNames)
    if (type == p.pg) return std::string(p.decl);
  constexpr std::string_view kVarchar = "character varying", kChar = "character";
  if (type.substr(0, kVarchar.size()) == kVarchar)
    return "VARCHAR" + std::string(type.substr(kVarchar.size()));
  if (type.substr(0, kChar.size()) == kChar) return "CHAR" + std::string(type.substr(kChar.size()));
  std::string upper(type);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return upper;
}

// The declared type of a column of a table or view (relkind 'v'). A view
// column computed by an expression has no declared type on SQLite, and the
// session then types it by its name; the server gives every view column
// the type of its expression. The plain types of expressions are taken for
// computed columns (a text without its size is one whose arms of a union
// differ); domains, sized texts and small integers are what plain columns
// of tables carry.
std::string ColumnDecl(std::string_view relkind, std::string_view type) {
  if (relkind == "v" && (type == "text" || type == "bigint" || type == "integer" ||
                         type == "numeric" || type == "boolean" || type == "double precision" ||
                         type == "character varying"))
    return {};
  return DeclOf(type);
}

// What the library's SQL needs of a database beyond PostgreSQL's own types
// and functions. Safe to run again: creating and upgrading both run it.
constexpr const char* kSupport = R"SQL(
DO $$
BEGIN
  IF to_regtype('int64') IS NULL THEN CREATE DOMAIN int64 AS bigint; END IF;
  IF to_regtype('dec64') IS NULL THEN CREATE DOMAIN dec64 AS bigint; END IF;
  IF to_regtype('daynum') IS NULL THEN CREATE DOMAIN daynum AS integer; END IF;
  IF to_regtype('minute') IS NULL THEN CREATE DOMAIN minute AS integer; END IF;
  IF to_regtype('tinyint') IS NULL THEN CREATE DOMAIN tinyint AS smallint; END IF;
  IF to_regtype('bitflag') IS NULL THEN CREATE DOMAIN bitflag AS smallint; END IF;
END $$;
-- Equal when they differ only in case, as SQLite's NOCASE.
CREATE COLLATION IF NOT EXISTS nocase
  (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
-- Keys are 64-bit, and substr takes them as positions and lengths.
CREATE OR REPLACE FUNCTION substr(text, bigint) RETURNS text LANGUAGE sql IMMUTABLE
  AS $$ SELECT pg_catalog.substr($1, $2::integer) $$;
CREATE OR REPLACE FUNCTION substr(text, bigint, bigint) RETURNS text LANGUAGE sql IMMUTABLE
  AS $$ SELECT pg_catalog.substr($1, $2::integer, $3::integer) $$;
-- strftime for the one form the library uses: a date a number of days
-- after a base date, formatted with %Y, %m and %d.
CREATE OR REPLACE FUNCTION strftime(fmt text, base text, days text) RETURNS text
  LANGUAGE sql IMMUTABLE
  AS $$ SELECT to_char(base::date + split_part(days, ' ', 1)::integer,
                       replace(replace(replace(fmt, '%Y', 'YYYY'), '%m', 'MM'), '%d', 'DD')) $$;
-- An INTEGER PRIMARY KEY inserted without a key gets one more than the
-- largest, and the key of every insert is kept for the session.
CREATE OR REPLACE FUNCTION acq_assign_key() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  k bigint := (to_jsonb(NEW) ->> TG_ARGV[0])::bigint;
BEGIN
  IF k IS NULL THEN
    EXECUTE format('SELECT coalesce(max(%I), 0) + 1 FROM %I.%I', TG_ARGV[0], TG_TABLE_SCHEMA,
                   TG_TABLE_NAME) INTO k;
    NEW := jsonb_populate_record(NEW, jsonb_build_object(TG_ARGV[0], k));
  END IF;
  PERFORM set_config('acq.last_key', k::text, false);
  RETURN NEW;
END $$;
)SQL";

// Writers queue for the key table as their transactions begin: LOCK TABLE
// takes no snapshot, so a transaction that waited reads what the one before
// it wrote. SHARE ROW EXCLUSIVE conflicts with itself and with every write
// of the table, and not with reads.
constexpr const char* kQueue = "LOCK TABLE pw_key IN SHARE ROW EXCLUSIVE MODE";

// The advisory lock of schema changes: "acqS" as a number.
constexpr int64_t kSchemaLock = 0x61637153;

class PgConnection;

class PgStatementImpl final : public DbStatement {
 public:
  PgStatementImpl(PgConnection& conn, std::string name, PgStatement stmt)
      : conn_(conn), name_(std::move(name)), stmt_(std::move(stmt)),
        values_(static_cast<size_t>(stmt_.params)) {}
  ~PgStatementImpl() override;
  PgStatementImpl(const PgStatementImpl&) = delete;
  PgStatementImpl& operator=(const PgStatementImpl&) = delete;

  DbCode BindNull(int at) override { return Store(at, std::nullopt); }
  DbCode BindInt(int at, int64_t v) override { return Store(at, std::to_string(v)); }
  DbCode BindText(int at, std::string_view v) override;
  StepRc Step() override;
  void Reset() override {
    result_ = nullptr;
    row_ = -1;
    for (auto& v : values_) v.reset();
  }
  bool ReadOnly() const override { return stmt_.readOnly; }
  int ColumnCount() const override;
  DbsColumn Column(int c) const override;
  DbsValue Value(int c) override;
  bool IsNull(int c) override { return PQgetisnull(result_.r, row_, c) != 0; }
  int64_t Int(int c) override;
  std::string Text(int c) override {
    if (IsNull(c)) return {};
    return std::string(PQgetvalue(result_.r, row_, c),
                       static_cast<size_t>(PQgetlength(result_.r, row_, c)));
  }

 private:
  DbCode Store(int at, std::optional<std::string> v);
  // The description of the result (the executed one, else asked for).
  const PGresult* Described() const;

  PgConnection& conn_;
  std::string name_;
  PgStatement stmt_;
  std::vector<std::optional<std::string>> values_;
  Result result_;
  mutable Result described_;
  int row_ = -1;   // -1: not run since the last reset
};

class PgConnection final : public DbConnection {
 public:
  explicit PgConnection(PGconn* conn) : conn_(conn) {}
  ~PgConnection() override { PQfinish(conn_); }
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  std::string_view EngineName() const override { return "postgresql"; }
  bool IsServer() const override { return true; }
  SqlBackend Dialect() const override { return SqlBackend::Postgres; }

  DbCode Prepare(std::string_view sql, std::unique_ptr<DbStatement>& out, size_t* used,
                 bool /*keep*/) override {
    out.reset();
    PgStatement stmt;
    size_t taken = 0;
    std::string error;
    if (!SqlPostgres_Translate(sql, libraryTypes_, stmt, taken, error)) {
      if (used) *used = sql.size();
      return FailedText(kDbError, error);
    }
    if (used) *used = taken;
    if (stmt.sql.empty()) return Succeeded();
    FlushDeallocations();
    const std::string name = "a" + std::to_string(++statements_);
    Result r(PQprepare(conn_, name.c_str(), stmt.sql.c_str(), 0, nullptr));
    if (!r.Ok()) return Failed(r.r);
    Succeeded();
    out = std::make_unique<PgStatementImpl>(*this, name, std::move(stmt));
    return kDbOk;
  }

  DbCode Exec(std::string_view sql) override {
    for (;;) {
      PgStatement stmt;
      size_t used = 0;
      std::string error;
      if (!SqlPostgres_Translate(sql, libraryTypes_, stmt, used, error))
        return FailedText(kDbError, error);
      sql.remove_prefix(std::min(used, sql.size()));
      if (!stmt.sql.empty()) {
        const bool guarded = !stmt.control && GuardStatement();
        DbCode code = Run(stmt.sql, stmt.text);
        if (code == kDbOk && !stmt.after.empty()) code = Run(stmt.after, {});
        if (stmt.schema) schemaChanged_ = true;
        if (code != kDbOk) return guarded ? Unguard() : code;
      }
      if (sql.empty() || used == 0) break;
    }
    return Succeeded();
  }

  DbCode Begin() override {
    guard_ = false;
    observe("BEGIN");
    if (!queue_) {
      // The queue is the key table of a library; a database being made (or
      // one of tests' own tables) has none yet. Asked before BEGIN: a query
      // inside would fix the transaction's snapshot before the wait.
      Result r(PQexec(conn_, "SELECT to_regclass('pw_key') IS NOT NULL"));
      queue_ = r.Ok() && PQntuples(r.r) == 1 && PQgetvalue(r.r, 0, 0)[0] == 't';
    }
    if (!queue_) return Run("BEGIN ISOLATION LEVEL REPEATABLE READ", {});
    // A free queue is taken at once, in the same round trip as BEGIN.
    const DbCode code = Run("BEGIN ISOLATION LEVEL REPEATABLE READ; SAVEPOINT acq_wait; " +
                                std::string(kQueue) + " NOWAIT; RELEASE SAVEPOINT acq_wait",
                            {});
    if (code != kDbBusy) return code == kDbOk ? code : Abandon();
    NoteLockWait(0, true);
    const auto start = std::chrono::steady_clock::now();
    const DbCode waited =
        Run("ROLLBACK TO SAVEPOINT acq_wait; RELEASE SAVEPOINT acq_wait; " + std::string(kQueue),
            {});
    NoteLockWait(static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()),
                 false);
    return waited == kDbOk ? waited : Abandon();
  }
  // A transaction that could not begin is not left open, as on SQLite; the
  // failure that ended it is kept.
  DbCode Abandon() {
    const DbCode code = code_;
    const std::string text = text_;
    if (PQtransactionStatus(conn_) != PQTRANS_IDLE) Result r(PQexec(conn_, "ROLLBACK"));
    code_ = code;
    text_ = text;
    return code_;
  }
  DbCode Commit() override {
    guard_ = false;
    observe("COMMIT");
    Result r(PQexec(conn_, "COMMIT"));
    if (!r.Ok()) return Failed(r.r);
    // COMMIT of a transaction that an earlier failure ended rolls it back.
    if (std::strcmp(PQcmdStatus(r.r), "ROLLBACK") == 0)
      return FailedText(kDbError, "The transaction was rolled back after an earlier failure.");
    return Succeeded();
  }
  DbCode Rollback() override {
    guard_ = false;
    return Run("ROLLBACK", "ROLLBACK");
  }
  // The statement guard is always the newest savepoint: it goes before a
  // savepoint of the caller's is set, and with any the caller ends.
  DbCode Savepoint(std::string_view name) override {
    std::string sql = guard_ ? "RELEASE SAVEPOINT acq_stmt; " : "";
    guard_ = false;
    return Run(sql + "SAVEPOINT " + std::string(name), {});
  }
  DbCode ReleaseSavepoint(std::string_view name) override {
    guard_ = false;
    return Run("RELEASE SAVEPOINT " + std::string(name), {});
  }
  DbCode RollbackToSavepoint(std::string_view name) override {
    guard_ = false;
    return Run("ROLLBACK TO SAVEPOINT " + std::string(name), {});
  }
  bool InTransaction() const override {
    const PGTransactionStatusType s = PQtransactionStatus(conn_);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
  }

  DbCode LockSchema() override {
    // A schema change may take a while: wait for it longer than for a row.
    if (DbCode code = Run("SET LOCAL lock_timeout = '120s'", {}); code != kDbOk) return code;
    DbCode code = Run("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLock) + ")", {});
    if (code != kDbOk) return code;
    return Run("SET LOCAL lock_timeout = " + std::to_string(busyMs_), {});
  }
  DbCode InstallSupport() override {
    schemaChanged_ = true;
    const DbCode code = Run(kSupport, {});
    if (code == kDbOk) libraryTypes_ = true;
    return code;
  }

  DbCode Configure() override { return Succeeded(); }
  DbCode Checkpoint() override { return Succeeded(); }
  DbCode Close() override {
    PQfinish(conn_);
    conn_ = nullptr;
    return Succeeded();
  }

  void SetBusyTimeout(int ms) override {
    busyMs_ = ms < 0 ? 0 : ms;
    // 0 would mean "wait for ever" to the server: the shortest wait instead.
    Run("SET lock_timeout = " + std::to_string(busyMs_ == 0 ? 1 : busyMs_), {});
  }

  int64_t LastInsertKey() const override {
    Result r(PQexec(conn_, "SELECT current_setting('acq.last_key', true)"));
    if (PQresultStatus(r.r) != PGRES_TUPLES_OK || PQntuples(r.r) != 1 || PQgetisnull(r.r, 0, 0))
      return 0;
    return std::strtoll(PQgetvalue(r.r, 0, 0), nullptr, 10);
  }
  int64_t Changes() const override { return changes_; }

  DbCode DescribeTable(std::string_view table, bool& exists,
                       std::vector<DbTableColumn>& out) override {
    out.clear();
    exists = false;
    const std::string name(table);
    const char* values[] = {name.c_str()};
    Result r(PQexecParams(conn_,
                          "SELECT a.attname, format_type(a.atttypid, a.atttypmod), "
                          "coalesce((SELECT k.n FROM pg_index i, unnest(i.indkey) "
                          "WITH ORDINALITY AS k(att, n) WHERE i.indrelid = c.oid "
                          "AND i.indisprimary AND k.att = a.attnum), "
                          "(SELECT k.n FROM unnest((SELECT o.conkey FROM pg_constraint o "
                          "WHERE o.conrelid = c.oid AND o.contype = 'u' AND NOT EXISTS "
                          "(SELECT 1 FROM pg_index p WHERE p.indrelid = c.oid AND p.indisprimary) "
                          "ORDER BY o.oid LIMIT 1)) WITH ORDINALITY AS k(att, n) "
                          "WHERE k.att = a.attnum), 0) "
                          ", c.relkind FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
                          "WHERE c.relname = lower($1) "
                          "AND c.relnamespace = current_schema()::regnamespace "
                          "AND c.relkind IN ('r','v','m','p','f') "
                          "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
                          1, nullptr, values, nullptr, nullptr, 0));
    if (!r.Ok()) return Failed(r.r);
    for (int row = 0; row < PQntuples(r.r); ++row) {
      exists = true;
      out.push_back(DbTableColumn{PQgetvalue(r.r, row, 0),
                                  ColumnDecl(PQgetvalue(r.r, row, 3), PQgetvalue(r.r, row, 1)),
                                  std::atoi(PQgetvalue(r.r, row, 2))});
    }
    return Succeeded();
  }

  DbCode TableNames(std::vector<std::string>& out) override {
    out.clear();
    Result r(PQexec(conn_,
                    "SELECT c.relname FROM pg_class c WHERE c.relkind IN ('r','v','m','p','f') "
                    "AND c.relnamespace = current_schema()::regnamespace ORDER BY 1"));
    if (!r.Ok()) return Failed(r.r);
    for (int row = 0; row < PQntuples(r.r); ++row) out.emplace_back(PQgetvalue(r.r, row, 0));
    return Succeeded();
  }

  // Asked before most session calls: the catalogue is read again when this
  // connection changed the schema, else at most once a second (another
  // workstation's upgrade is rare, and is seen within that second).
  DbCode SchemaStamp(int64_t& out) override {
    const auto now = std::chrono::steady_clock::now();
    if (!schemaChanged_ && stampRead_ && now - stampAt_ < std::chrono::seconds(1)) {
      out = stamp_;
      return Succeeded();
    }
    // Every table, view, column or type change writes a new version of a
    // catalogue row of the schema; a dropped relation lowers the count.
    Result r(PQexec(conn_,
                    "SELECT count(*) * 4294967296 + coalesce(max(xmin::text::bigint), 0) "
                    "FROM pg_class WHERE relnamespace = current_schema()::regnamespace"));
    if (!r.Ok()) return Failed(r.r);
    stamp_ = out = std::strtoll(PQgetvalue(r.r, 0, 0), nullptr, 10);
    stampAt_ = now;
    stampRead_ = true;
    schemaChanged_ = false;
    return Succeeded();
  }
  void NoteSchemaChange() { schemaChanged_ = true; }
  void FindLibraryTypes() {
    Result r(PQexec(conn_, "SELECT to_regtype('int64') IS NOT NULL"));
    libraryTypes_ = r.Ok() && PQntuples(r.r) == 1 && PQgetvalue(r.r, 0, 0)[0] == 't';
  }

  bool IsReadOnly() override {
    Result r(PQexec(conn_, "SELECT current_setting('transaction_read_only') = 'on' "
                           "OR pg_is_in_recovery()"));
    return r.Ok() && PQntuples(r.r) == 1 && PQgetvalue(r.r, 0, 0)[0] == 't';
  }

  DbCode ErrorCode() const override { return code_; }
  const std::string& ErrorText() const override { return text_; }
  bool ErrorWasReadOnly() const override { return readOnly_; }

  void SetStatementObserver(std::function<void(std::string_view)> observer) override {
    observer_ = std::move(observer);
  }

  // For the statements of this connection.
  PGconn* Handle() const { return conn_; }
  DbCode Failed(const PGresult* r) {
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    code_ = CodeOfState(state);
    readOnly_ = state != nullptr && std::strcmp(state, "25006") == 0;
    const char* primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (primary != nullptr) {
      text_ = primary;
      if (const char* detail = PQresultErrorField(r, PG_DIAG_MESSAGE_DETAIL))
        text_ += std::string(" (") + detail + ")";
    } else {
      text_ = OneLine(PQerrorMessage(conn_));
      if (text_.empty()) text_ = "The connection to the database server failed.";
    }
    if (PQstatus(conn_) == CONNECTION_BAD)
      text_ = "The connection to the database server was lost: " + text_;
    return code_;
  }
  DbCode FailedText(DbCode code, std::string text) {
    code_ = code;
    readOnly_ = false;
    text_ = std::move(text);
    return code_;
  }
  DbCode Succeeded() {
    code_ = kDbOk;
    readOnly_ = false;
    return kDbOk;
  }
  void observe(std::string_view text) {
    if (observer_ && !text.empty()) observer_(text);
  }
  void NoteChanges(const PGresult* r) {
    const char* n = PQcmdTuples(const_cast<PGresult*>(r));
    changes_ = n && *n ? std::strtoll(n, nullptr, 10) : 0;
  }
  void Deallocate(std::string name) { dead_.push_back(std::move(name)); }

  // On SQLite a failed statement leaves the transaction it ran in usable;
  // the server would abort the whole transaction. So inside a transaction
  // every statement runs behind a savepoint of its own ("acq_stmt", set
  // again before each statement), and a failure rolls back to it: only
  // the failed statement is undone. True when the guard was set.
  bool GuardStatement() {
    if (PQtransactionStatus(conn_) != PQTRANS_INTRANS) return false;
    Result r(PQexec(conn_, guard_ ? "RELEASE SAVEPOINT acq_stmt; SAVEPOINT acq_stmt"
                                  : "SAVEPOINT acq_stmt"));
    guard_ = r.Ok();
    return guard_;
  }
  // After a guarded statement failed: undoes it, keeping its failure.
  DbCode Unguard() {
    const DbCode code = code_;
    const std::string text = text_;
    const bool readOnly = readOnly_;
    if (guard_ && PQtransactionStatus(conn_) == PQTRANS_INERROR) {
      Result r(PQexec(conn_, "ROLLBACK TO SAVEPOINT acq_stmt"));
      // A transaction that ended with the failure (a serialization failure
      // ends none; a lost connection does) is left to the caller's rollback.
      if (!r.Ok()) guard_ = false;
    }
    code_ = code;
    text_ = text;
    readOnly_ = readOnly;
    return code_;
  }
  // The module's type of a column of a table or view, by the table's oid
  // and the column's number; read from the catalogue once per table.
  struct Origin {
    std::string table, column, decl;
  };
  const Origin* OriginOf(Oid table, int column);

  // Runs `sql` (no parameters; several statements allowed) as it stands.
  DbCode Run(const std::string& sql, std::string_view shown) {
    observe(shown);
    FlushDeallocations();
    Result r(PQexec(conn_, sql.c_str()));
    if (!r.Ok()) return Failed(r.r);
    NoteChanges(r.r);
    return Succeeded();
  }

 private:
  // Statements finalized since the last command go with the next one; not
  // inside a failed transaction, where the server refuses every command.
  void FlushDeallocations() {
    if (dead_.empty() || PQtransactionStatus(conn_) == PQTRANS_INERROR) return;
    std::string sql;
    for (const std::string& name : dead_) sql += "DEALLOCATE " + name + ";";
    dead_.clear();
    Result r(PQexec(conn_, sql.c_str()));
  }

  PGconn* conn_;
  DbCode code_ = kDbOk;
  bool readOnly_ = false;
  std::string text_;
  int64_t changes_ = 0;
  int busyMs_ = kDbBusyTimeoutMs;
  bool guard_ = false;   // the savepoint acq_stmt is set
  bool queue_ = false;   // the database has the writers' queue (pw_key)
  bool libraryTypes_ = false;   // the database has the library's domains
  bool schemaChanged_ = false, stampRead_ = false;
  int64_t stamp_ = 0;
  std::chrono::steady_clock::time_point stampAt_;
  uint64_t statements_ = 0;
  std::vector<std::string> dead_;
  std::map<std::pair<Oid, int>, Origin> origins_;
  std::map<Oid, bool> tablesRead_;
  std::function<void(std::string_view)> observer_;
};

const PgConnection::Origin* PgConnection::OriginOf(Oid table, int column) {
  if (table == InvalidOid || column <= 0) return nullptr;
  if (!tablesRead_[table]) {
    const std::string oid = std::to_string(table);
    const char* values[] = {oid.c_str()};
    Result r(PQexecParams(conn_,
                          "SELECT c.relname, a.attnum, a.attname, "
                          "format_type(a.atttypid, a.atttypmod), c.relkind FROM pg_attribute a "
                          "JOIN pg_class c ON c.oid = a.attrelid "
                          "WHERE a.attrelid = $1::oid AND a.attnum > 0",
                          1, nullptr, values, nullptr, nullptr, 0));
    if (PQresultStatus(r.r) != PGRES_TUPLES_OK) return nullptr;
    tablesRead_[table] = true;
    for (int row = 0; row < PQntuples(r.r); ++row)
      origins_[{table, std::atoi(PQgetvalue(r.r, row, 1))}] =
          Origin{PQgetvalue(r.r, row, 0), PQgetvalue(r.r, row, 2),
                 ColumnDecl(PQgetvalue(r.r, row, 4), PQgetvalue(r.r, row, 3))};
  }
  auto it = origins_.find({table, column});
  return it == origins_.end() ? nullptr : &it->second;
}

PgStatementImpl::~PgStatementImpl() { conn_.Deallocate(name_); }

DbCode PgStatementImpl::Store(int at, std::optional<std::string> v) {
  if (at < 1 || at > static_cast<int>(values_.size()))
    return conn_.FailedText(kDbMisuse, "Parameter " + std::to_string(at) + " is out of range.");
  values_[static_cast<size_t>(at - 1)] = std::move(v);
  return conn_.Succeeded();
}

DbCode PgStatementImpl::BindText(int at, std::string_view v) {
  // The server's texts cannot hold NUL: the text ends there, as it would
  // for a C string.
  const size_t nul = v.find('\0');
  return Store(at, std::string(v.substr(0, nul)));
}

StepRc PgStatementImpl::Step() {
  if (row_ < 0) {
    conn_.observe(stmt_.text);
    std::vector<const char*> values(values_.size());
    for (size_t i = 0; i < values_.size(); ++i)
      values[i] = values_[i] ? values_[i]->c_str() : nullptr;
    const bool guarded = !stmt_.control && conn_.GuardStatement();
    result_ = PQexecPrepared(conn_.Handle(), name_.c_str(), static_cast<int>(values.size()),
                             values.data(), nullptr, nullptr, 0);
    bool ok = result_.Ok();
    if (!ok) conn_.Failed(result_.r);
    if (ok) conn_.NoteChanges(result_.r);
    if (ok && !stmt_.after.empty()) ok = conn_.Run(stmt_.after, {}) == kDbOk;
    if (stmt_.schema) conn_.NoteSchemaChange();
    if (!ok) {
      result_ = nullptr;
      if (guarded) conn_.Unguard();
      return StepRc::kFailed;
    }
    conn_.Succeeded();
    row_ = 0;
  } else {
    ++row_;
  }
  if (PQresultStatus(result_.r) == PGRES_TUPLES_OK && row_ < PQntuples(result_.r))
    return StepRc::kRow;
  return StepRc::kDone;
}

const PGresult* PgStatementImpl::Described() const {
  if (result_.r != nullptr && PQresultStatus(result_.r) == PGRES_TUPLES_OK) return result_.r;
  if (described_.r == nullptr) described_ = PQdescribePrepared(conn_.Handle(), name_.c_str());
  return described_.r;
}

int PgStatementImpl::ColumnCount() const {
  const PGresult* r = Described();
  return r ? PQnfields(r) : 0;
}

DbsColumn PgStatementImpl::Column(int c) const {
  const PGresult* r = Described();
  DbsColumn col{r ? PQfname(r, c) : "", "", "", ""};
  if (r == nullptr) return col;
  if (const PgConnection::Origin* o = conn_.OriginOf(PQftable(r, c), PQftablecol(r, c))) {
    col.declType = o->decl;
    col.originTable = o->table;
    col.originColumn = o->column;
  }
  return col;
}

DbsValue PgStatementImpl::Value(int c) {
  if (IsNull(c)) return DbsValue::Null();
  const char* text = PQgetvalue(result_.r, row_, c);
  switch (PQftype(result_.r, c)) {
    case kBoolOid: return DbsValue::Int(text[0] == 't' ? 1 : 0);
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid: return DbsValue::Int(std::strtoll(text, nullptr, 10));
    case kNumericOid: {
      // Sums of whole numbers come back as numeric: whole ones stay whole.
      errno = 0;
      char* end = nullptr;
      const long long n = std::strtoll(text, &end, 10);
      if (errno == 0 && end != text && (*end == '\0' || (*end == '.' && std::strspn(end + 1, "0") ==
                                                                           std::strlen(end + 1))))
        return DbsValue::Int(n);
      return DbsValue::Real(text);
    }
    case kFloat4Oid:
    case kFloat8Oid: return DbsValue::Real(text);
    default: return DbsValue::Text(Text(c));
  }
}

int64_t PgStatementImpl::Int(int c) {
  if (IsNull(c)) return 0;
  const char* text = PQgetvalue(result_.r, row_, c);
  if (PQftype(result_.r, c) == kBoolOid) return text[0] == 't' ? 1 : 0;
  return std::strtoll(text, nullptr, 10);
}

void IgnoreNotice(void*, const char*) {}

}  // namespace

DbCode PostgresEngine_Open(std::string_view target, std::unique_ptr<DbConnection>& out,
                           std::string& error) {
  out.reset();
  const std::string uri(target);
  // The URI comes last, so what it says wins over these defaults.
  const char* keys[] = {"fallback_application_name", "client_encoding", "connect_timeout",
                        "dbname", nullptr};
  const char* values[] = {"acq", "UTF8", "10", uri.c_str(), nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (conn == nullptr) {
    error = "out of memory";
    return kDbCannotOpen;
  }
  if (PQstatus(conn) != CONNECTION_OK) {
    error = OneLine(PQerrorMessage(conn));
    PQfinish(conn);
    return kDbCannotOpen;
  }
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  auto pg = std::make_unique<PgConnection>(conn);
  // Texts compare as written (standard strings: a backslash is a character).
  if (pg->Run("SET standard_conforming_strings = on; SET DateStyle = 'ISO'; "
              "SET intervalstyle = 'postgres'; SET extra_float_digits = 3",
              {}) != kDbOk) {
    error = pg->ErrorText();
    return kDbCannotOpen;
  }
  pg->SetBusyTimeout(kDbBusyTimeoutMs);
  pg->FindLibraryTypes();
  out = std::move(pg);
  return kDbOk;
}

}  // namespace pwdb
