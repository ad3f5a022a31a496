// A library database for one test, on the engine the suite runs on.
//
// ACQ_TEST_SERVER unset: the database is an SQLite file in a fresh temporary
// folder, a copy of the demo library made once per test program (hashing the
// demo passwords is slow on purpose).
//
// ACQ_TEST_SERVER set to a base URI ("postgresql://acq@127.0.0.1:55432/acq",
// the password from libpq's password file, PGPASSFILE): the database is a
// fresh database on that server, "acq_t<pid>_<n>", cloned from a template
// "acq_demo_v<schema version>" holding the demo library. The template is made
// once per server and schema version under an advisory lock on the base
// database, built under a temporary name and renamed only when complete, so
// parallel test programs make it once and never clone a half-made one. Each
// test's database is dropped at its end; one left by a crashed test is a
// throw-away that the next process of the same id drops before reusing the
// name.
//
// Everything here talks to the engine through host/db/DbEngine.h only.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "host/db/DbAdmin.h"
#include "host/db/DbEngine.h"

namespace testlib {

// True when ACQ_TEST_SERVER is set: the tests run on the server engine.
inline bool OnServer() {
  const char* base = std::getenv("ACQ_TEST_SERVER");
  return base != nullptr && *base != '\0';
}

// In a test body: skips it on the server engine, with the reason.
#define ACQ_SQLITE_ONLY(reason) \
  if (testlib::OnServer()) GTEST_SKIP() << (reason)

namespace detail {

namespace fs = std::filesystem;

inline std::string MakeTempDir(const char* stem) {
  std::string pattern = (fs::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

inline std::string ServerBase() {
  const char* base = std::getenv("ACQ_TEST_SERVER");
  return base ? base : "";
}

// `base` with the database it names replaced by `name`; user, host, port and
// the query (service, sslmode ...) stay. A "dbname=" in the query, which
// libpq would take over the path, is replaced too.
inline std::string WithDatabase(const std::string& base, const std::string& name) {
  const size_t scheme = base.find("://");
  if (scheme == std::string::npos) return base;
  const size_t authority = scheme + 3;
  const size_t queryAt = base.find_first_of("?#", authority);
  const size_t authorityEnd = std::min(base.find('/', authority), queryAt);
  std::string head = base.substr(0, authorityEnd);
  std::string tail = queryAt == std::string::npos ? "" : base.substr(queryAt);
  for (size_t p = tail.find("dbname="); p != std::string::npos; p = tail.find("dbname=", p + 1)) {
    if (p != 1 && tail[p - 1] != '&') continue;
    const size_t from = p + 7;
    const size_t to = tail.find_first_of("&#", from);
    tail.replace(from, (to == std::string::npos ? tail.size() : to) - from, name);
  }
  return head + "/" + name + tail;
}

inline std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// A connection to `target`; null with the reason in `error`.
inline std::unique_ptr<pwdb::DbConnection> Open(const std::string& target, std::string& error) {
  std::unique_ptr<pwdb::DbConnection> conn;
  if (pwdb::DbEngine_Open(target, false, conn, error) != kDbOk) return nullptr;
  return conn;
}

// Runs one statement on `conn`; "" or the engine's text.
inline std::string Run(pwdb::DbConnection& conn, const std::string& sql) {
  if (conn.Exec(sql) == kDbOk) return {};
  std::string text = conn.ErrorText();
  return text.empty() ? "failed (code " + std::to_string(conn.ErrorCode()) + ")" : text;
}

// The rows of `sql` on `target`, on a connection of its own, each cell as
// text (NULL as `null`); false with the engine's text in `error` when the
// statement failed (the rows before the failure are kept).
inline bool Table(const std::string& target, const std::string& sql, const std::string& null,
                  std::vector<std::vector<std::string>>& rows, std::string& error) {
  auto conn = Open(target, error);
  if (!conn) return false;
  std::unique_ptr<pwdb::DbStatement> stmt;
  if (conn->Prepare(sql, stmt) != kDbOk || !stmt) {
    error = conn->ErrorText();
    return false;
  }
  pwdb::StepRc rc;
  while ((rc = stmt->Step()) == pwdb::StepRc::kRow) {
    std::vector<std::string>& row = rows.emplace_back();
    for (int c = 0; c < stmt->ColumnCount(); ++c) row.push_back(stmt->IsNull(c) ? null : stmt->Text(c));
  }
  if (rc != pwdb::StepRc::kFailed) return true;
  error = conn->ErrorText();
  return false;
}

// The rows of `sql` on `target`: each row's columns joined by "|", NULL as
// `null`; a failure ends them with one row "error: <the engine's text>".
inline std::vector<std::string> Rows(const std::string& target, const std::string& sql,
                                     const std::string& null) {
  std::vector<std::vector<std::string>> table;
  std::string error;
  const bool ok = Table(target, sql, null, table, error);
  std::vector<std::string> out;
  for (const auto& cells : table) {
    std::string row;
    for (size_t c = 0; c < cells.size(); ++c) row += (c > 0 ? "|" : "") + cells[c];
    out.push_back(std::move(row));
  }
  if (!ok) out.push_back("error: " + error);
  return out;
}

// The demo library file, made once per program; removed when the program
// that made it ends.
class SqliteTemplate {
 public:
  static const SqliteTemplate& Get() {
    static SqliteTemplate t;
    return t;
  }
  ~SqliteTemplate() {
    std::error_code ec;
    if (getpid() == owner_) fs::remove_all(dir_, ec);
  }
  std::string path;
  std::string error;

 private:
  SqliteTemplate() : dir_(MakeTempDir("acq-demo")), owner_(getpid()) {
    if (dir_.empty()) {
      error = "cannot make a temporary folder";
      return;
    }
    path = dir_ + "/demo.db";
    DbMsg msg;
    if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk) {
      error = "cannot make the demo library: " + msg.text;
      path.clear();
    }
  }
  std::string dir_;
  pid_t owner_;
};

// The advisory lock the template's makers take on the base database.
constexpr int64_t kTemplateLock = 0x6163715f74706cLL;   // "acq_tpl"

// Makes sure the server holds the demo template of this build's schema
// version; its name, or "" with the reason in `error`. Asks the server once
// per program.
inline std::string ServerTemplate(pwdb::DbConnection& base, const std::string& baseUri,
                                  std::string& error) {
  static std::mutex mutex;
  static std::map<std::string, std::string> made;   // base URI -> template name
  std::lock_guard<std::mutex> hold(mutex);
  if (auto it = made.find(baseUri); it != made.end()) return it->second;

  const std::string name = "acq_demo_v" + std::to_string(DbAdmin_SchemaVersion());
  if (error = Run(base, "SELECT pg_advisory_lock(" + std::to_string(kTemplateLock) + ")");
      !error.empty())
    return {};
  // The databases of the server (under the lock no one else is making a
  // template: a half-made one is a dead maker's).
  std::vector<std::string> names;
  {
    std::unique_ptr<pwdb::DbStatement> stmt;
    if (base.Prepare("SELECT datname FROM pg_database", stmt) != kDbOk || !stmt) {
      error = base.ErrorText();
    } else {
      pwdb::StepRc rc;
      while ((rc = stmt->Step()) == pwdb::StepRc::kRow) names.push_back(stmt->Text(0));
      if (rc == pwdb::StepRc::kFailed) error = base.ErrorText();
    }
  }
  const std::string making = name + "_making_";
  bool found = false;
  for (const std::string& db : names) {
    found = found || db == name;
    if (error.empty() && db.rfind(making, 0) == 0)
      error = Run(base, "DROP DATABASE IF EXISTS " + Quoted(db) + " WITH (FORCE)");
  }
  if (error.empty() && !found) {
    const std::string temp = making + std::to_string(getpid());
    error = Run(base, "CREATE DATABASE " + Quoted(temp) + " TEMPLATE template0");
    if (error.empty()) {
      DbMsg msg;
      if (DbAdmin_CreateDatabase(WithDatabase(baseUri, temp), true, msg) != kDbOk)
        error = "cannot make the demo library: " + msg.text;
    }
    // Renamed only when complete: no one ever clones a half-made template.
    if (error.empty())
      error = Run(base, "ALTER DATABASE " + Quoted(temp) + " RENAME TO " + Quoted(name));
    if (!error.empty()) Run(base, "DROP DATABASE IF EXISTS " + Quoted(temp) + " WITH (FORCE)");
  }
  Run(base, "SELECT pg_advisory_unlock(" + std::to_string(kTemplateLock) + ")");
  if (!error.empty()) return {};
  made[baseUri] = name;
  return name;
}

}  // namespace detail

// `sqlite` on SQLite, `server` on the server engine: for what the engines
// word differently (their error texts).
inline const char* ByEngine(const char* sqlite, const char* server) {
  return OnServer() ? server : sqlite;
}

// Begins a transaction on `conn` that keeps every other connection from
// writing the library until it ends: on SQLite the write lock taken as the
// transaction begins, on a server every table and view locked in EXCLUSIVE
// mode (readers still read). "" or the engine's text.
inline std::string HoldWriteLock(pwdb::DbConnection& conn) {
  if (conn.Begin() != kDbOk) return conn.ErrorText();
  if (!conn.IsServer()) return {};
  std::vector<std::string> tables;
  if (conn.TableNames(tables) != kDbOk) return conn.ErrorText();
  std::string list;
  for (const std::string& table : tables) list += (list.empty() ? "" : ", ") + detail::Quoted(table);
  return detail::Run(conn, "LOCK TABLE " + list + " IN EXCLUSIVE MODE");
}

// A fresh library database for one test, removed (file) or dropped (server
// database) at the end. `demo` false: on SQLite no file yet, on the server an
// empty database; either way DbAdmin_CreateDatabase(Target()) then makes the
// library. A database that cannot be made fails the test (Target() is then
// a name that opens nothing).
class TestLibrary {
 public:
  explicit TestLibrary(bool demo = true)
      : dir_(detail::MakeTempDir("acq-db")), owner_(getpid()) {
    if (dir_.empty()) {
      ADD_FAILURE() << "cannot make a temporary folder";
      return;
    }
    if (OnServer()) {
      MakeServerDatabase(demo);
      return;
    }
    target_ = dir_ + "/library.db";
    if (!demo) return;
    const detail::SqliteTemplate& demoFile = detail::SqliteTemplate::Get();
    std::error_code ec;
    if (!demoFile.error.empty()) {
      ADD_FAILURE() << demoFile.error;
    } else if (!detail::fs::copy_file(demoFile.path, target_, ec)) {
      ADD_FAILURE() << "cannot copy the demo library: " << ec.message();
    }
  }
  ~TestLibrary() {
    // A forked child (a workstation of a test) leaves the cleaning to its parent.
    if (getpid() != owner_) return;
    if (!database_.empty()) {
      std::string error;
      if (auto base = detail::Open(detail::ServerBase(), error))
        detail::Run(*base, "DROP DATABASE IF EXISTS " + detail::Quoted(database_) + " WITH (FORCE)");
    }
    std::error_code ec;
    if (!dir_.empty()) detail::fs::remove_all(dir_, ec);
  }
  TestLibrary(const TestLibrary&) = delete;
  TestLibrary& operator=(const TestLibrary&) = delete;

  // What --db, a [Servers] value and the DbAdmin_* calls take: the file's
  // absolute path, or the database's postgresql:// URI.
  const std::string& Target() const { return target_; }
  // A fresh temporary folder of the test's own (INI files, scripts,
  // transcripts; on SQLite the database file lives in it too).
  const std::string& Dir() const { return dir_; }

  // Runs `sql` (one or more statements, the portable SQL) on a connection of
  // its own; "" on success, else the engine's text.
  std::string Exec(const std::string& sql) const {
    std::string error;
    auto conn = detail::Open(target_, error);
    if (!conn) return error.empty() ? "cannot open " + target_ : error;
    return detail::Run(*conn, sql);
  }

  // The rows of `sql`, each row's columns joined by "|", NULL as `null`. A
  // failure gives one row "error: <the engine's text>".
  std::vector<std::string> Rows(const std::string& sql, const std::string& null = "") const {
    return detail::Rows(target_, sql, null);
  }

  // A connection of the test's own (kept by the caller); null (with a
  // failure of the test) when it cannot be opened. It is not configured as
  // the session configures its own: Configure() does that.
  std::unique_ptr<pwdb::DbConnection> Connect() const {
    std::string error;
    auto conn = detail::Open(target_, error);
    if (!conn) ADD_FAILURE() << "cannot open " << pwdb::DbEngine_ShownTarget(target_) << ": " << error;
    return conn;
  }

 private:
  void MakeServerDatabase(bool demo) {
    static std::atomic<int> counter{0};
    const std::string baseUri = detail::ServerBase();
    std::string name = "acq_t" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    target_ = detail::WithDatabase(baseUri, name);
    std::string error;
    auto base = detail::Open(baseUri, error);
    if (!base) {
      ADD_FAILURE() << "cannot reach the test server " << pwdb::DbEngine_ShownTarget(baseUri)
                    << ": " << error;
      return;
    }
    std::string from = "template0";
    if (demo) {
      from = detail::ServerTemplate(*base, baseUri, error);
      if (from.empty()) {
        ADD_FAILURE() << "cannot make the demo template on " << pwdb::DbEngine_ShownTarget(baseUri)
                      << ": " << error;
        return;
      }
    }
    // A database of this name is left by a crashed process of the same id.
    error = detail::Run(*base, "DROP DATABASE IF EXISTS " + detail::Quoted(name) + " WITH (FORCE)");
    if (error.empty())
      error = detail::Run(*base, "CREATE DATABASE " + detail::Quoted(name) + " TEMPLATE " +
                                     detail::Quoted(from));
    if (!error.empty()) {
      ADD_FAILURE() << "cannot create the test database " << name << ": " << error;
      return;
    }
    database_ = std::move(name);
  }

  std::string dir_;
  std::string target_;
  std::string database_;   // the server database to drop, when there is one
  pid_t owner_;
};

}  // namespace testlib
