// The module's database and money units, started on a library as the host
// starts them, for the benchmarks that drive money activities.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "acq/budget/AcqBudget.h"
#include "acq/budget/AcqDbBudget.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqDbPrereq.h"
#include "acq/po/AcqDbAct.h"
#include "acq/po/AcqDbStat.h"

namespace bench {

// The database error procedure of the benchmarks: the text on stderr.
inline void ShowError(std::string_view text) {
  std::fprintf(stderr, "database error: %.*s\n", static_cast<int>(text.size()), text.data());
}

// Runs `sql` (one or more statements) straight on SQLite while a benchmark
// builds its library; a failure is told on stderr with the statement.
inline bool Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return true;
  std::fprintf(stderr, "%s in %.200s\n", error ? error : "?", sql.c_str());
  sqlite3_free(error);
  return false;
}

// Milliseconds since `start` on the steady clock.
inline double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The units on `target`, logged in as admin, with the start-up load;
// database errors go to `showError`. False (with the reason on stderr) when
// the log-in or the load failed.
inline bool StartModule(const std::string& target, acq::AcqDbExcept::DbErrorProc showError) {
  acq::AcqDbExcept::Initialize();
  acq::AcqDbGlobal::Initialize();
  acq::AcqDb::Initialize();
  acq::AcqDbExcept::SetDbErrorProc(showError);
  acq::AcqFundCtrl::Initialize();
  acq::AcqBudget::Initialize();
  acq::AcqDbBudget::Initialize();
  acq::AcqDbStat::Initialize();
  acq::AcqDbAct::Initialize();
  DbGlobal_globRec = DbGlobalRec{target, "admin", "admin", "acq", "MAIN"};
  DbMsg msg;
  if (acq::AcqDb::Login(msg) != kDbOk) {
    std::fprintf(stderr, "cannot log in: %s\n", msg.text.c_str());
    return false;
  }
  return acq::AcqDbPrereq::LoadPrerequisites(acq::AcqDbPrereq::kFeatureMismatchMsg);
}

// Logs out and ends the units, last started first.
inline void StopModule() {
  acq::AcqDb::Logout();
  acq::AcqDbAct::Terminate();
  acq::AcqDbStat::Terminate();
  acq::AcqDbBudget::Terminate();
  acq::AcqBudget::Terminate();
  acq::AcqFundCtrl::Terminate();
  acq::AcqDbPrereq::FreePrerequisites();
  acq::AcqDb::Terminate();
  acq::AcqDbGlobal::Terminate();
  acq::AcqDbExcept::Terminate();
}

}  // namespace bench
