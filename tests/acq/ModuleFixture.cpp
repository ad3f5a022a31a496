#include "ModuleFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "host/sys/RunTime.h"

namespace acqtest {
namespace fs = std::filesystem;

std::vector<std::string>& ShownErrors() {
  static std::vector<std::string> shown;
  return shown;
}

namespace {

void RecordError(std::string_view text) { ShownErrors().emplace_back(text); }

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
  setenv("ACQ_WORKSTATION", (Dir() / "workstation.ini").c_str(), 1);
}

ModuleDb::~ModuleDb() {
  if (started_) {
    acq::AcqDb::Logout();
    acq::AcqDb::Terminate();
    acq::AcqDbGlobal::Terminate();
    acq::AcqDbExcept::Terminate();
  }
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
  DbGlobal_globRec = DbGlobalRec{Path(), user, password, "acq", "MAIN"};
  DbMsg msg;
  return acq::AcqDb::Login(msg);
}

BktHandle LoadRows(const std::string& table, const std::string& where) {
  DbMsg msg;
  BktHandle rows = nullptr;
  EXPECT_EQ(acq::AcqDb::LoadTable(msg, acq::AcqDb::ClearChanges::Yes, "", where, "*", table, rows),
            kDbOk)
      << msg.text;
  return rows;
}

void ModuleDb::Exec(const std::string& sql) {
  std::unique_ptr<pwdb::DbConnection> conn = lib_.Connect();
  ASSERT_TRUE(conn);
  conn->SetBusyTimeout(5000);
  EXPECT_EQ(conn->Exec(sql), kDbOk) << conn->ErrorText() << " in " << sql;
}

WriteLockHolder::WriteLockHolder(const std::string& path) {
  std::string error;
  EXPECT_EQ(pwdb::DbEngine_Open(path, false, conn_, error), kDbOk) << error;
  if (!conn_) return;
  EXPECT_EQ(testlib::HoldWriteLock(*conn_), "");
  _DbSetBusyTimeout(acq::AcqDbGlobal::Session(), 20);
}

WriteLockHolder::~WriteLockHolder() {
  if (conn_) conn_->Rollback();
  conn_.reset();
  _DbSetBusyTimeout(acq::AcqDbGlobal::Session(), kDbBusyTimeoutMs);
}

}  // namespace acqtest
