// A real library database in a temporary folder and the module's database
// units started on it, as the host would start them. The demo database is
// made once per test binary and copied for each test (hashing the demo
// users' passwords is deliberately slow).
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/db/PwDb.h"

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
  const std::string& Path() const { return path_; }
  std::filesystem::path Dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
  bool started_ = false;
};

// A second connection that holds the database's write lock while it lives,
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
  sqlite3* db_ = nullptr;
};

}  // namespace acqtest
