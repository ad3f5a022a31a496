// Test fixtures for the database session: a library database in a fresh
// temporary folder (a copy of the demo library, made once per test program
// because hashing the demo passwords is slow on purpose), a workstation
// configuration whose server "test" names it, and a logged-in session.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/DbAdmin.h"
#include "host/db/PwDb.h"

namespace testdb {

namespace fs = std::filesystem;

inline std::string MakeTempDir(const char* stem) {
  std::string pattern = (fs::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

// The demo library created once; removed when the program that made it ends.
class DemoTemplate {
 public:
  static const std::string& Path() {
    static DemoTemplate t;
    return t.path_;
  }
  ~DemoTemplate() {
    if (getpid() == owner_) fs::remove_all(dir_);
  }

 private:
  DemoTemplate() : dir_(MakeTempDir("acq-demo")), path_(dir_ + "/demo.db"), owner_(getpid()) {
    DbMsg msg;
    if (DbAdmin_CreateDatabase(path_, true, msg) != kDbOk) path_.clear();
  }
  std::string dir_;
  std::string path_;
  pid_t owner_;
};

// A copy of the demo library (or a file left for the test to make when
// `demo` is false) with ACQ_WORKSTATION naming a configuration whose
// [Servers] entry "test" points at it. Restores ACQ_WORKSTATION and removes
// the folder at the end.
class TempDb {
 public:
  explicit TempDb(bool demo = true) : dir_(MakeTempDir("acq-db")), path_(dir_ + "/library.db") {
    if (demo) fs::copy_file(DemoTemplate::Path(), path_);
    const char* old = std::getenv("ACQ_WORKSTATION");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    WriteIni("[Servers]\ntest=sqlite:" + path_ + "\n");
    setenv("ACQ_WORKSTATION", ini().c_str(), 1);
  }
  ~TempDb() {
    if (hadOld_) {
      setenv("ACQ_WORKSTATION", old_.c_str(), 1);
    } else {
      unsetenv("ACQ_WORKSTATION");
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  TempDb(const TempDb&) = delete;
  TempDb& operator=(const TempDb&) = delete;

  const std::string& path() const { return path_; }
  const std::string& dir() const { return dir_; }
  std::string ini() const { return dir_ + "/workstation.ini"; }
  void WriteIni(const std::string& text) const { std::ofstream(ini()) << text; }

  // Runs `sql` on the file directly, outside any session; true on success.
  bool Exec(const std::string& sql) const {
    sqlite3* conn = nullptr;
    bool ok = sqlite3_open(path_.c_str(), &conn) == SQLITE_OK &&
              sqlite3_exec(conn, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(conn);
    return ok;
  }

  // The first column of each row `sql` gives ("-" for NULL), on a
  // connection of its own.
  std::vector<std::string> Column(const std::string& sql) const {
    sqlite3* conn = nullptr;
    sqlite3_open(path_.c_str(), &conn);
    sqlite3_stmt* stmt = nullptr;
    std::vector<std::string> out;
    if (sqlite3_prepare_v2(conn, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
      out.push_back(std::string("error: ") + sqlite3_errmsg(conn));
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      out.emplace_back(text ? reinterpret_cast<const char*>(text) : "-");
    }
    sqlite3_finalize(stmt);
    sqlite3_close(conn);
    return out;
  }

 private:
  std::string dir_;
  std::string path_;
  bool hadOld_ = false;
  std::string old_;
};

// A session logged in for the scope; `code` and `msg` tell how the log-in went.
class Session {
 public:
  explicit Session(std::string_view user = "admin", std::string_view password = "admin",
                   std::string_view server = "test") {
    code = _DbLogin(db, server, user, password, "", msg);
  }
  ~Session() { _DbLogout(&db); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  operator HDb() const { return db; }

  HDb db = nullptr;
  DbCode code = kDbOk;
  DbMsg msg;
};

}  // namespace testdb
