// A real library database of the test's own (tests/support/TestLibrary.h:
// a copy of the demo library in a temporary folder, or a database cloned
// from it on the test server) and the module's database units started on it,
// as the host would start them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/db/DbEngine.h"
#include "host/db/PwDb.h"
#include "support/TestLibrary.h"

namespace acqtest {

// Display texts the error procedure was asked to show, in order.
std::vector<std::string>& ShownErrors();

class ModuleDb {
 public:
  ModuleDb();
  ~ModuleDb();
  ModuleDb(const ModuleDb&) = delete;
  ModuleDb& operator=(const ModuleDb&) = delete;

  // Starts AcqDbExcept, AcqDbGlobal and AcqDb (and the string table), with
  // an error procedure that records into ShownErrors().
  void StartUnits();
  // Logs the module in through AcqDb::Login; the code.
  DbCode Login(const std::string& user = "admin", const std::string& password = "admin");
  // Runs SQL on a connection of the test's own (not the module's session).
  void Exec(const std::string& sql);
  // The database: the file's path or the server database's URI.
  const std::string& Path() const { return lib_.Target(); }
  std::filesystem::path Dir() const { return lib_.Dir(); }
  const testlib::TestLibrary& Lib() const { return lib_; }

 private:
  testlib::TestLibrary lib_;
  bool started_ = false;
};

// The rows of `table` where `where` holds, loaded fresh through the module's
// session (a failed load fails the test and gives no Bucket).
BktHandle LoadRows(const std::string& table, const std::string& where);

// A second connection that holds the database's write lock while it lives
// (SQLite: a transaction begun for writing; a server: a transaction holding
// every table of the library in EXCLUSIVE mode, which keeps readers in),
// so every write of the module's session meets a conflict. Meanwhile the
// module's session waits only briefly for it (a lock held past every wait,
// without each attempt of a retry waiting the full busy timeout).
class WriteLockHolder {
 public:
  explicit WriteLockHolder(const std::string& path);
  ~WriteLockHolder();
  WriteLockHolder(const WriteLockHolder&) = delete;
  WriteLockHolder& operator=(const WriteLockHolder&) = delete;

 private:
  std::unique_ptr<pwdb::DbConnection> conn_;
};

}  // namespace acqtest
