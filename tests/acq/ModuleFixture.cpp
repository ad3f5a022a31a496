#include "ModuleFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "host/db/DbAdmin.h"
#include "host/sys/RunTime.h"

namespace acqtest {
namespace fs = std::filesystem;

std::vector<std::string>& ShownErrors() {
  static std::vector<std::string> shown;
  return shown;
}

namespace {

void RecordError(std::string_view text) { ShownErrors().emplace_back(text); }

const std::string& TemplateDatabase() {
  static std::once_flag once;
  static std::string path;
  std::call_once(once, [] {
    const fs::path dir = fs::temp_directory_path() / ("acq-template-" + std::to_string(getpid()));
    fs::create_directories(dir);
    path = (dir / "template.db").string();
    DbMsg msg;
    ASSERT_EQ(DbAdmin_CreateDatabase(path, true, msg), kDbOk) << msg.text;
    std::atexit([] { fs::remove_all(fs::path(path).parent_path()); });
  });
  return path;
}

void LoadStringTable() {
  static std::once_flag once;
  std::call_once(once, [] {
    HINSTANCE inst = Lib_RegisterInstance(ACQ_BIN_DIR "/libPwAcq75.so", nullptr);
    acq::AcqBase::SetInstance(inst);
    Lib_ResetTermChain();
    acq::AcqBase::Body();
  });
}

}  // namespace

ModuleDb::ModuleDb() {
  static int serial = 0;
  dir_ = fs::temp_directory_path() /
         ("acq-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
  // A folder of this name can only be left by an earlier process that had
  // this process id and was killed before it cleaned up: it is stale.
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  path_ = (dir_ / "library.db").string();
  fs::copy_file(TemplateDatabase(), path_);
  setenv("ACQ_WORKSTATION", (dir_ / "workstation.ini").c_str(), 1);
}

ModuleDb::~ModuleDb() {
  if (started_) {
    acq::AcqDb::Logout();
    acq::AcqDb::Terminate();
    acq::AcqDbGlobal::Terminate();
    acq::AcqDbExcept::Terminate();
  }
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

void ModuleDb::StartUnits() {
  LoadStringTable();
  acq::AcqDbExcept::Initialize();
  acq::AcqDbGlobal::Initialize();
  acq::AcqDb::Initialize();
  acq::AcqDbExcept::SetDbErrorProc(&RecordError);
  ShownErrors().clear();
  started_ = true;
}

DbCode ModuleDb::Login(const std::string& user, const std::string& password) {
  DbGlobal_globRec = DbGlobalRec{path_, user, password, "acq", "MAIN"};
  DbMsg msg;
  return acq::AcqDb::Login(msg);
}

void ModuleDb::Exec(const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << " in " << sql;
  sqlite3_free(error);
  sqlite3_close(db);
}

WriteLockHolder::WriteLockHolder(const std::string& path) {
  EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  _DbSetBusyTimeout(acq::AcqDbGlobal::Session(), 20);
}

WriteLockHolder::~WriteLockHolder() {
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db_);
  _DbSetBusyTimeout(acq::AcqDbGlobal::Session(), kDbBusyTimeoutMs);
}

}  // namespace acqtest
