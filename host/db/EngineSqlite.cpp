// The SQLite engine behind DbConnection: one file per library database,
// opened in WAL mode by the session. This file and the test-only accessor
// of EngineSqlite.h are the only places of PwDb75 that call SQLite.
#include "host/db/EngineSqlite.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <random>
#include <thread>

#include "host/db/DbSession.h"

namespace pwdb {

namespace {

DbCode CodeOf(int rc) {
  // A read snapshot that went stale before the write is a conflict of the
  // same kind as a row changed since it was read.
  if (rc == SQLITE_BUSY_SNAPSHOT) return kDbLocked;
  switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return kDbOk;
    case SQLITE_BUSY: return kDbBusy;
    case SQLITE_LOCKED: return kDbLocked;
    case SQLITE_CONSTRAINT: return kDbConstraint;
    default: return kDbError;
  }
}

const char* OrEmpty(const char* s) { return s ? s : ""; }

// SQLite's own busy wait sleeps longer and longer (up to 100 ms a time), so
// a writer that keeps missing the moment the lock is free can starve while
// others get in. Short sleeps with jitter keep the waiters fair.
int WaitWhileBusy(void* timeoutMs, int count) {
  using Clock = std::chrono::steady_clock;
  thread_local Clock::time_point start;
  thread_local std::minstd_rand random(static_cast<unsigned>(
      std::random_device{}() ^ static_cast<unsigned>(getpid())));
  if (count == 0) {
    start = Clock::now();
    NoteLockWait(0, true);
  }
  const auto limit = std::chrono::milliseconds(reinterpret_cast<intptr_t>(timeoutMs));
  if (Clock::now() - start >= limit) return 0;
  const int most = std::min(1 + count, 8);   // ms
  const auto pause = std::chrono::microseconds(500 + random() % static_cast<unsigned>(most * 1000));
  std::this_thread::sleep_for(pause);
  NoteLockWait(static_cast<uint64_t>(pause.count()), false);
  return 1;
}

class SqliteConnection;

class SqliteStatement final : public DbStatement {
 public:
  // `observed` false for the engine's own reads of the catalogue, which a
  // statement observer does not see.
  SqliteStatement(SqliteConnection& conn, sqlite3_stmt* stmt, bool observed)
      : conn_(conn), stmt_(stmt), observed_(observed) {}
  ~SqliteStatement() override { sqlite3_finalize(stmt_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  DbCode BindNull(int at) override { return Bound(sqlite3_bind_null(stmt_, at)); }
  DbCode BindInt(int at, int64_t v) override { return Bound(sqlite3_bind_int64(stmt_, at, v)); }
  DbCode BindText(int at, std::string_view v) override {
    return Bound(sqlite3_bind_text(stmt_, at, v.data(), static_cast<int>(v.size()),
                                   SQLITE_TRANSIENT));
  }
  StepRc Step() override;
  void Reset() override {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    started_ = false;
  }
  bool ReadOnly() const override { return sqlite3_stmt_readonly(stmt_) != 0; }
  int ColumnCount() const override { return sqlite3_column_count(stmt_); }
  DbsColumn Column(int c) const override {
    return DbsColumn{OrEmpty(sqlite3_column_name(stmt_, c)),
                     OrEmpty(sqlite3_column_decltype(stmt_, c)),
                     OrEmpty(sqlite3_column_table_name(stmt_, c)),
                     OrEmpty(sqlite3_column_origin_name(stmt_, c))};
  }
  DbsValue Value(int c) override {
    switch (sqlite3_column_type(stmt_, c)) {
      case SQLITE_NULL: return DbsValue::Null();
      case SQLITE_INTEGER: return DbsValue::Int(sqlite3_column_int64(stmt_, c));
      case SQLITE_FLOAT:
        return DbsValue::Real(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c)));
      default: {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return DbsValue::Text(std::string_view(
            text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, c))));
      }
    }
  }
  bool IsNull(int c) override { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
  int64_t Int(int c) override { return sqlite3_column_int64(stmt_, c); }
  std::string Text(int c) override {
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
    return std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, c)));
  }

 private:
  DbCode Bound(int rc);

  SqliteConnection& conn_;
  sqlite3_stmt* stmt_;
  bool observed_;
  bool started_ = false;
};

class SqliteConnection final : public DbConnection {
 public:
  explicit SqliteConnection(sqlite3* db) : db_(db) {}
  ~SqliteConnection() override {
    described_.reset();
    stamp_.reset();
    sqlite3_close_v2(db_);
  }
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  std::string_view EngineName() const override { return "sqlite"; }
  bool IsServer() const override { return false; }
  SqlBackend Dialect() const override { return SqlBackend::Sqlite; }

  DbCode Prepare(std::string_view sql, std::unique_ptr<DbStatement>& out, size_t* used,
                 bool keep) override {
    return PrepareStatement(sql, out, used, keep, true);
  }

  DbCode PrepareStatement(std::string_view sql, std::unique_ptr<DbStatement>& out, size_t* used,
                          bool keep, bool observed) {
    out.reset();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                                keep ? SQLITE_PREPARE_PERSISTENT : 0, &stmt, &tail);
    if (used) *used = tail ? static_cast<size_t>(tail - sql.data()) : sql.size();
    if (rc != SQLITE_OK) return Failed(rc);
    Succeeded();
    if (stmt) out = std::make_unique<SqliteStatement>(*this, stmt, observed);
    return kDbOk;
  }

  DbCode Exec(std::string_view sql) override {
    for (;;) {
      while (!sql.empty() && std::isspace(static_cast<unsigned char>(sql.front())))
        sql.remove_prefix(1);
      if (sql.empty()) break;
      std::unique_ptr<DbStatement> stmt;
      size_t used = 0;
      if (DbCode code = Prepare(sql, stmt, &used, false); code != kDbOk) return code;
      sql.remove_prefix(std::min(used, sql.size()));
      if (!stmt) break;
      StepRc step;
      while ((step = stmt->Step()) == StepRc::kRow) {
      }
      if (step == StepRc::kFailed) return code_;
    }
    return kDbOk;
  }

  DbCode Begin() override { return Exec("BEGIN IMMEDIATE"); }
  DbCode Commit() override { return Exec("COMMIT"); }
  DbCode Rollback() override { return Exec("ROLLBACK"); }
  DbCode Savepoint(std::string_view name) override {
    return Exec("SAVEPOINT " + std::string(name));
  }
  DbCode ReleaseSavepoint(std::string_view name) override {
    return Exec("RELEASE " + std::string(name));
  }
  DbCode RollbackToSavepoint(std::string_view name) override {
    return Exec("ROLLBACK TO " + std::string(name));
  }
  bool InTransaction() const override { return db_ && sqlite3_get_autocommit(db_) == 0; }

  // BEGIN IMMEDIATE already holds the one write lock of the file.
  DbCode LockSchema() override { return kDbOk; }
  DbCode InstallSupport() override { return kDbOk; }

  DbCode Configure() override {
    return Exec("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL");
  }
  DbCode Checkpoint() override { return Exec("PRAGMA wal_checkpoint(TRUNCATE)"); }
  DbCode Close() override {
    described_.reset();
    stamp_.reset();
    int rc = sqlite3_close(db_);
    if (rc != SQLITE_OK) return Failed(rc);
    db_ = nullptr;
    return kDbOk;
  }

  void SetBusyTimeout(int ms) override {
    if (ms <= 0) {
      sqlite3_busy_handler(db_, nullptr, nullptr);
      return;
    }
    sqlite3_busy_handler(db_, WaitWhileBusy, reinterpret_cast<void*>(static_cast<intptr_t>(ms)));
  }

  int64_t LastInsertKey() const override { return sqlite3_last_insert_rowid(db_); }
  int64_t Changes() const override { return sqlite3_changes(db_); }

  DbCode DescribeTable(std::string_view table, bool& exists,
                       std::vector<DbTableColumn>& out) override {
    out.clear();
    exists = false;
    if (!described_) {
      // The key: the primary key, else the first UNIQUE constraint (as on
      // a server, where a key whose columns may hold NULL cannot be primary).
      DbCode code = PrepareStatement(
          "SELECT t.name, t.type, CASE WHEN EXISTS (SELECT 1 FROM pragma_table_info(?1) "
          "WHERE pk > 0) THEN t.pk ELSE coalesce((SELECT i.seqno + 1 FROM pragma_index_info("
          "(SELECT l.name FROM pragma_index_list(?1) l WHERE l.origin = 'u' ORDER BY l.name "
          "LIMIT 1)) i WHERE i.cid = t.cid), 0) END FROM pragma_table_info(?1) t ORDER BY t.cid",
          described_, nullptr, true, false);
      if (code != kDbOk) return code;
    }
    described_->Reset();
    if (DbCode code = described_->BindText(1, table); code != kDbOk) return code;
    StepRc step;
    while ((step = described_->Step()) == StepRc::kRow) {
      exists = true;
      out.push_back(DbTableColumn{described_->Text(0), described_->Text(1),
                                  static_cast<int>(described_->Int(2))});
    }
    described_->Reset();
    return step == StepRc::kDone ? DbCode{kDbOk} : code_;
  }

  DbCode TableNames(std::vector<std::string>& out) override {
    out.clear();
    std::unique_ptr<DbStatement> stmt;
    DbCode code = PrepareStatement(
        "SELECT name FROM sqlite_schema WHERE type IN ('table','view') "
        "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
        stmt, nullptr, false, false);
    if (code != kDbOk || !stmt) return code;
    StepRc step;
    while ((step = stmt->Step()) == StepRc::kRow) out.push_back(stmt->Text(0));
    return step == StepRc::kDone ? DbCode{kDbOk} : code_;
  }

  DbCode SchemaStamp(int64_t& out) override {
    if (!stamp_) {
      DbCode code = PrepareStatement("PRAGMA schema_version", stamp_, nullptr, true, false);
      if (code != kDbOk) return code;
    }
    StepRc step = stamp_->Step();
    if (step == StepRc::kRow) out = stamp_->Int(0);
    stamp_->Reset();
    return step == StepRc::kRow ? DbCode{kDbOk} : code_;
  }

  bool IsReadOnly() override { return sqlite3_db_readonly(db_, "main") == 1; }

  DbCode ErrorCode() const override { return code_; }
  const std::string& ErrorText() const override { return text_; }
  bool ErrorWasReadOnly() const override { return readOnly_; }

  void SetStatementObserver(std::function<void(std::string_view)> observer) override {
    observer_ = std::move(observer);
  }

  // For the statements of this connection.
  DbCode Failed(int rc) {
    code_ = CodeOf(rc);
    if (code_ == kDbOk) code_ = kDbError;
    readOnly_ = (rc & 0xff) == SQLITE_READONLY;
    text_ = sqlite3_errmsg(db_);
    return code_;
  }
  void Succeeded() {
    code_ = kDbOk;
    readOnly_ = false;
  }
  void Observe(sqlite3_stmt* stmt) {
    if (observer_) observer_(OrEmpty(sqlite3_sql(stmt)));
  }
  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_;
  DbCode code_ = kDbOk;
  bool readOnly_ = false;
  std::string text_;
  std::function<void(std::string_view)> observer_;
  std::unique_ptr<DbStatement> described_;
  std::unique_ptr<DbStatement> stamp_;
};

StepRc SqliteStatement::Step() {
  if (!started_) {
    started_ = true;
    if (observed_) conn_.Observe(stmt_);
  }
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return StepRc::kRow;
  if (rc == SQLITE_DONE) return StepRc::kDone;
  conn_.Failed(rc);
  return StepRc::kFailed;
}

DbCode SqliteStatement::Bound(int rc) { return rc == SQLITE_OK ? DbCode{kDbOk} : conn_.Failed(rc); }

}  // namespace

DbCode SqliteEngine_Open(std::string_view target, bool create,
                         std::unique_ptr<DbConnection>& out, std::string& error) {
  out.reset();
  constexpr std::string_view kScheme = "sqlite:";
  if (target.substr(0, kScheme.size()) == kScheme) target.remove_prefix(kScheme.size());
  const std::string path(target);
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    return kDbCannotOpen;
  }
  sqlite3_extended_result_codes(db, 1);
  auto conn = std::make_unique<SqliteConnection>(db);
  conn->SetBusyTimeout(kDbBusyTimeoutMs);
  out = std::move(conn);
  return kDbOk;
}

sqlite3* SqliteEngine_HandleForTest(DbConnection* conn) {
  auto* sqlite = dynamic_cast<SqliteConnection*>(conn);
  return sqlite ? sqlite->Handle() : nullptr;
}

}  // namespace pwdb

sqlite3* DbSession_SqliteHandleForTest(HDb db) {
  if (db == nullptr) return nullptr;
  pwdb::SessionLock lock(db->mutex);
  return pwdb::SqliteEngine_HandleForTest(db->conn.get());
}
