// Test fixtures for the database session: a library database of the test's
// own (tests/support/TestLibrary.h: an SQLite file, or a database on the
// server ACQ_TEST_SERVER names), a workstation configuration whose server
// "test" names it, and a logged-in session.
#pragma once

// Some tests about SQLite files use its handle directly; they get its header
// from here until they include it themselves.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/PwDb.h"
#include "support/TestLibrary.h"

namespace testdb {

namespace fs = std::filesystem;
using testlib::detail::MakeTempDir;

// How a [Servers] entry names `target` (a file path or a server URI).
inline std::string ServerEntry(const std::string& target) {
  return testlib::OnServer() ? target : "sqlite:" + target;
}

// A copy of the demo library (or, when `demo` is false, a database left for
// the test to make) with ACQ_WORKSTATION naming a configuration whose
// [Servers] entry "test" points at it. Restores ACQ_WORKSTATION and removes
// the database and the folder at the end.
class TempDb {
 public:
  explicit TempDb(bool demo = true) : lib_(demo) {
    const char* old = std::getenv("ACQ_WORKSTATION");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    WriteIni("[Servers]\ntest=" + ServerEntry(path()) + "\n");
    setenv("ACQ_WORKSTATION", ini().c_str(), 1);
  }
  ~TempDb() {
    if (hadOld_) {
      setenv("ACQ_WORKSTATION", old_.c_str(), 1);
    } else {
      unsetenv("ACQ_WORKSTATION");
    }
  }
  TempDb(const TempDb&) = delete;
  TempDb& operator=(const TempDb&) = delete;

  // The database: the file's path, or the server database's URI.
  const std::string& path() const { return lib_.Target(); }
  const std::string& dir() const { return lib_.Dir(); }
  const testlib::TestLibrary& lib() const { return lib_; }
  std::string ini() const { return dir() + "/workstation.ini"; }
  void WriteIni(const std::string& text) const { std::ofstream(ini()) << text; }

  // Runs `sql` directly, outside any session; true on success.
  bool Exec(const std::string& sql) const { return lib_.Exec(sql).empty(); }

  // The first column of each row `sql` gives ("-" for NULL), on a
  // connection of its own.
  std::vector<std::string> Column(const std::string& sql) const {
    std::vector<std::string> rows = lib_.Rows(sql, "-");
    for (std::string& row : rows)
      if (row.rfind("error: ", 0) != 0) row = row.substr(0, row.find('|'));
    return rows;
  }

 private:
  testlib::TestLibrary lib_;
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
