// The engine seam on a real database (an SQLite file, or a database on the
// test server): failures as the session's codes with the engine's text,
// values that cross unchanged, transactions and savepoints, the table
// descriptions the session types Buckets with, and the statement observer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/db/DbEngine.h"
#include "support/TestLibrary.h"

namespace {

using pwdb::DbConnection;
using pwdb::DbStatement;
using pwdb::StepRc;

// A new, empty database of the test's own, with one connection to it.
class EngineFile {
 public:
  EngineFile() : lib_(false) {
    conn = Open();
    // What the library's SQL needs of the engine (a server's domains).
    if (conn) {
      EXPECT_EQ(conn->Begin(), kDbOk) << conn->ErrorText();
      EXPECT_EQ(conn->InstallSupport(), kDbOk) << conn->ErrorText();
      EXPECT_EQ(conn->Commit(), kDbOk) << conn->ErrorText();
    }
  }
  ~EngineFile() { conn.reset(); }
  EngineFile(const EngineFile&) = delete;
  EngineFile& operator=(const EngineFile&) = delete;

  // Another connection to the same database, as another workstation has.
  std::unique_ptr<DbConnection> Open() const {
    std::unique_ptr<DbConnection> c;
    std::string error;
    EXPECT_EQ(pwdb::DbEngine_Open(lib_.Target(), true, c, error), kDbOk) << error;
    if (c) {
      EXPECT_EQ(c->Configure(), kDbOk) << c->ErrorText();
    }
    return c;
  }

  std::unique_ptr<DbConnection> conn;

 private:
  testlib::TestLibrary lib_;
};

std::vector<std::vector<DbsValue>> Rows(DbConnection& c, const std::string& sql,
                                        const std::vector<DbsValue>& binds = {}) {
  DbsResultSet rs;
  std::string error;
  EXPECT_EQ(Database_Query(c, sql, binds, rs, error), kDbOk) << error;
  return rs.rows;
}

constexpr const char* kTable =
    "CREATE TABLE t(k INTEGER PRIMARY KEY, v TEXT NOT NULL, amount DEC64);"
    "INSERT INTO t(k, v) VALUES(1, 'one')";

TEST(DbEngine, FailuresComeBackAsSessionCodesWithTheEnginesText) {
  struct Case {
    const char* sql;
    DbCode code;
    const char* text;
  };
  using testlib::ByEngine;
  const Case cases[] = {
      {"INSERT INTO t(k, v) VALUES(2, NULL)", kDbConstraint, ByEngine("NOT NULL", "not-null")},
      {"INSERT INTO t(k, v) VALUES(1, 'again')", kDbConstraint, ByEngine("UNIQUE", "unique")},
      {"SELEC 1", kDbError, "syntax error"},
      {"SELECT * FROM no_such_table", kDbError, ByEngine("no such table", "does not exist")},
  };
  EngineFile f;
  ASSERT_EQ(f.conn->Exec(kTable), kDbOk) << f.conn->ErrorText();
  for (const Case& c : cases) {
    EXPECT_EQ(f.conn->Exec(c.sql), c.code) << c.sql;
    EXPECT_EQ(f.conn->ErrorCode(), c.code) << c.sql;
    EXPECT_NE(f.conn->ErrorText().find(c.text), std::string::npos)
        << c.sql << ": " << f.conn->ErrorText();
  }
  EXPECT_EQ(Rows(*f.conn, "SELECT count(*) FROM t")[0][0].i, 1);   // nothing half-written
}

TEST(DbEngine, WriteLockHeldPastTheWaitIsBusyAndAStaleReadIsLocked) {
  EngineFile f;
  ASSERT_EQ(f.conn->Exec(kTable), kDbOk);
  std::unique_ptr<DbConnection> other = f.Open();
  ASSERT_TRUE(other);

  // SQLite: the write lock is the whole file's, taken as a transaction
  // begins; a server: every table is locked against writers.
  ASSERT_EQ(testlib::HoldWriteLock(*f.conn), "");
  other->SetBusyTimeout(30);
  DbCode code = other->Begin();
  if (code == kDbOk) code = other->Exec("UPDATE t SET v='eins' WHERE k=1");
  EXPECT_EQ(code, kDbBusy) << other->ErrorText();
  if (other->InTransaction()) {
    ASSERT_EQ(other->Rollback(), kDbOk);
  }
  ASSERT_EQ(f.conn->Rollback(), kDbOk);
  EXPECT_EQ(other->Begin(), kDbOk);   // free again
  EXPECT_EQ(other->Exec("UPDATE t SET v='one' WHERE k=1"), kDbOk) << other->ErrorText();
  ASSERT_EQ(other->Rollback(), kDbOk);

  // A read transaction whose snapshot another connection then overtook
  // cannot write: the row it read may have changed.
  // (On SQLite Begin() takes the write lock, so the reading transaction is
  // begun deferred; a server's Begin() takes no lock.)
  ASSERT_EQ(other->IsServer() ? other->Begin() : other->Exec("BEGIN"), kDbOk);
  EXPECT_EQ(Rows(*other, "SELECT v FROM t WHERE k=1")[0][0].s, "one");
  ASSERT_EQ(f.conn->Exec("UPDATE t SET v='uno' WHERE k=1"), kDbOk);
  EXPECT_EQ(other->Exec("UPDATE t SET v='eins' WHERE k=1"), kDbLocked);
  ASSERT_EQ(other->Rollback(), kDbOk);
  EXPECT_EQ(Rows(*other, "SELECT v FROM t WHERE k=1")[0][0].s, "uno");
}

TEST(DbEngine, ValuesCrossTheSeamUnchanged) {
  const DbsValue values[] = {
      DbsValue::Int(std::numeric_limits<int64_t>::max()),   // money: millionths
      DbsValue::Int(std::numeric_limits<int64_t>::min()),
      DbsValue::Int(0),
      DbsValue::Text("O'Brien's"),
      DbsValue::Text("M\xC3\xBCller \xE2\x82\xAC"),
      DbsValue::Text(std::string_view("a\0b", 3)),
      DbsValue::Text(""),
      DbsValue::Null(),
  };
  EngineFile f;
  // A parameter the statement gives no type of its own is typed by the
  // server when it prepares it (as text), so whole numbers go through a
  // statement that says so.
  std::unique_ptr<DbStatement> whole, stmt;
  ASSERT_EQ(f.conn->Prepare("SELECT CAST(?1 AS INTEGER) AS value", whole, nullptr, true), kDbOk);
  ASSERT_EQ(f.conn->Prepare("SELECT ?1 AS value", stmt, nullptr, true), kDbOk);
  for (const DbsValue& v : values) {
    // A server's texts cannot hold a NUL character.
    if (f.conn->IsServer() && v.s.find('\0') != std::string::npos) continue;
    DbStatement* statement = v.kind == DbsValue::Kind::Int ? whole.get() : stmt.get();
    ASSERT_EQ(statement->Bind(1, v), kDbOk);
    ASSERT_EQ(statement->Step(), StepRc::kRow);
    const DbsValue got = statement->Value(0);
    EXPECT_EQ(got.kind, v.kind) << v.s;
    EXPECT_EQ(got.i, v.i);
    EXPECT_EQ(got.s, v.s);
    EXPECT_EQ(statement->IsNull(0), v.IsNull());
    EXPECT_EQ(statement->Step(), StepRc::kDone);
    statement->Reset();
  }
  EXPECT_EQ(stmt->Column(0).name, "value");

  ASSERT_EQ(f.conn->Exec(kTable), kDbOk);
  ASSERT_EQ(f.conn->Prepare("SELECT amount AS a, k + 1 FROM t", stmt), kDbOk);
  ASSERT_EQ(stmt->ColumnCount(), 2);
  const DbsColumn plain = stmt->Column(0), computed = stmt->Column(1);
  EXPECT_EQ(plain.name, "a");
  EXPECT_EQ(plain.declType, "DEC64");
  EXPECT_EQ(plain.originTable, "t");
  EXPECT_EQ(plain.originColumn, "amount");
  EXPECT_EQ(computed.declType, "");
  EXPECT_EQ(computed.originTable, "");
  EXPECT_TRUE(stmt->ReadOnly());
}

TEST(DbEngine, SavepointsUndoOnlyTheirOwnWrites) {
  EngineFile f;
  DbConnection& c = *f.conn;
  ASSERT_EQ(c.Exec(kTable), kDbOk);
  EXPECT_FALSE(c.InTransaction());
  ASSERT_EQ(c.Begin(), kDbOk);
  EXPECT_TRUE(c.InTransaction());
  std::string error;
  ASSERT_EQ(Database_Exec(c, "INSERT INTO t(v) VALUES(?1)", {DbsValue::Text("two")}, error),
            kDbOk);
  EXPECT_EQ(c.LastInsertKey(), 2);
  ASSERT_EQ(c.Savepoint("lvl2"), kDbOk);
  int changes = 0;
  ASSERT_EQ(Database_Exec(c, "UPDATE t SET v=v||'!'", {}, error, &changes), kDbOk);
  EXPECT_EQ(changes, 2);
  ASSERT_EQ(c.RollbackToSavepoint("lvl2"), kDbOk);
  ASSERT_EQ(c.ReleaseSavepoint("lvl2"), kDbOk);
  EXPECT_TRUE(c.InTransaction());
  ASSERT_EQ(c.Commit(), kDbOk);
  EXPECT_FALSE(c.InTransaction());
  const auto rows = Rows(c, "SELECT k, v FROM t ORDER BY k");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1].s, "one");
  EXPECT_EQ(rows[1][1].s, "two");
}

TEST(DbEngine, DescribeTableGivesColumnsDeclaredTypesAndKeyOrder) {
  EngineFile f;
  DbConnection& c = *f.conn;
  ASSERT_EQ(c.Exec("CREATE TABLE two(a VARCHAR(10), b DEC64, c INTEGER, PRIMARY KEY(c, a));"
                   "CREATE VIEW two_view AS SELECT a, b FROM two;"
                   "CREATE TABLE unique_only(a VARCHAR(4) NOT NULL, y SMALLINT, v INTEGER, "
                   "UNIQUE(a, y));"
                   "CREATE TABLE both_keys(a INTEGER NOT NULL PRIMARY KEY, b INTEGER UNIQUE)"),
            kDbOk);
  int64_t stamp = 0;
  ASSERT_EQ(c.SchemaStamp(stamp), kDbOk);

  struct Case {
    const char* table;
    bool exists;
    std::vector<std::string> columns;   // "name decl pk"
  };
  const Case cases[] = {
      {"two", true, {"a VARCHAR(10) 2", "b DEC64 0", "c INTEGER 1"}},
      {"TWO", true, {"a VARCHAR(10) 2", "b DEC64 0", "c INTEGER 1"}},
      {"two_view", true, {"a VARCHAR(10) 0", "b DEC64 0"}},
      // No primary key: the UNIQUE constraint keys the rows (NULLs allowed).
      {"unique_only", true, {"a VARCHAR(4) 1", "y SMALLINT 2", "v INTEGER 0"}},
      {"both_keys", true, {"a INTEGER 1", "b INTEGER 0"}},
      {"nothing_here", false, {}},
  };
  for (const Case& k : cases) {
    bool exists = !k.exists;
    std::vector<pwdb::DbTableColumn> columns;
    ASSERT_EQ(c.DescribeTable(k.table, exists, columns), kDbOk) << k.table;
    EXPECT_EQ(exists, k.exists) << k.table;
    std::vector<std::string> got;
    for (const auto& col : columns)
      got.push_back(col.name + " " + col.decl + " " + std::to_string(col.pk));
    EXPECT_EQ(got, k.columns) << k.table;
  }
  std::vector<std::string> names;
  ASSERT_EQ(c.TableNames(names), kDbOk);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"both_keys", "two", "two_view", "unique_only"}));

  int64_t unchanged = 0, changed = 0;
  ASSERT_EQ(c.SchemaStamp(unchanged), kDbOk);
  EXPECT_EQ(unchanged, stamp);
  ASSERT_EQ(c.Exec("CREATE TABLE three(x INTEGER)"), kDbOk);
  ASSERT_EQ(c.SchemaStamp(changed), kDbOk);
  EXPECT_NE(changed, stamp);
}

TEST(DbEngine, TextOfSeveralStatementsRunsOneByOneAndTheObserverSeesEach) {
  EngineFile f;
  DbConnection& c = *f.conn;
  // Each statement's text, without the blanks and the ';' around it.
  std::vector<std::string> seen;
  c.SetStatementObserver([&seen](std::string_view sql) {
    while (!sql.empty() && (sql.front() == ' ' || sql.front() == '\n')) sql.remove_prefix(1);
    while (!sql.empty() && (sql.back() == ';' || sql.back() == ' ')) sql.remove_suffix(1);
    seen.emplace_back(sql);
  });
  ASSERT_EQ(c.Exec("CREATE TABLE t(k INTEGER PRIMARY KEY); INSERT INTO t VALUES(7); "
                   "/* only a comment */ "),
            kDbOk);
  bool exists = false;
  std::vector<pwdb::DbTableColumn> columns;
  ASSERT_EQ(c.DescribeTable("t", exists, columns), kDbOk);   // the engine's own read
  EXPECT_EQ(seen, (std::vector<std::string>{"CREATE TABLE t(k INTEGER PRIMARY KEY)",
                                            "INSERT INTO t VALUES(7)"}));

  const std::string text = "SELECT k FROM t; SELECT k + 1 FROM t";
  std::unique_ptr<DbStatement> stmt;
  size_t used = 0;
  ASSERT_EQ(c.Prepare(text, stmt, &used), kDbOk);
  EXPECT_EQ(text.substr(0, used), "SELECT k FROM t;");
  ASSERT_EQ(stmt->Step(), StepRc::kRow);
  EXPECT_EQ(stmt->Int(0), 7);
  ASSERT_EQ(c.Prepare(std::string_view(text).substr(used), stmt), kDbOk);
  ASSERT_EQ(stmt->Step(), StepRc::kRow);
  EXPECT_EQ(stmt->Text(0), "8");
  ASSERT_EQ(c.Prepare("  -- nothing\n", stmt, &used), kDbOk);
  EXPECT_FALSE(stmt);

  c.SetStatementObserver({});
  seen.clear();
  ASSERT_EQ(c.Exec("DELETE FROM t"), kDbOk);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(c.Changes(), 1);
}

}  // namespace
