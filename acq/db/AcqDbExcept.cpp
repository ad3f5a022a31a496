// AcqDbExcept: the one policy for database failures, and the count of open
// transactions.
#include "acq/db/AcqDbExcept.h"

#include <string>

#include "acq/AcqUnit.h"
#include "host/sys/Bucket.h"
#include "host/sys/Semaphore.h"

namespace acq::AcqDbExcept {
namespace {

constexpr int kColCode = 1;
constexpr int kColMessage = 2;
constexpr const char* kSemName = "AcqDbExcept.dbErrorMsgBktSem";

void DummyDbErrorProc(std::string_view text) {
  KtSystem_Panic1(
      "AcqDbExcept.DummyDbErrorProc: DbErrorProc not installed! The actual error message "
      "follows: %s",
      text);
}

// A plain counter per thread: each thread that opens transactions (the
// user interface, the import thread) does so on its own session.
thread_local unsigned dbTransCount = 0;
// Errors held back while a transaction is open. Rows are added only while
// the count is above 0; a commit keeps them; the rollback that reaches 0, a
// flush or Terminate empties the list. Guarded by errorSem.
BktHandle errorBkt = nullptr;
HSem errorSem = nullptr;
DbErrorProc errorProc = &DummyDbErrorProc;

void ShowError(DbCode code, const DbMsg& msg) { errorProc(_DbErrStr(code, msg)); }

DbMsg MessageOfRow(BktHandle bkt, int row) {
  DbMsg msg;
  msg.Set(_ColGetStringW(bkt, row, kColMessage));
  return msg;
}

DbCode CodeOfRow(BktHandle bkt, int row) {
  int64_t code = 0;
  _ColGetScalar(bkt, row, kColCode, code, 0);
  return static_cast<DbCode>(code);
}

}  // namespace

void HandleDbError(const DbMsg& msg, DbCode code) {
  if (dbTransCount == 0) {
    ShowError(code, msg);
    return;
  }
  SemaphoreHold hold(errorSem, "AcqDbExcept.HandleDbError");
  int row = 0;
  _BktInsert(errorBkt, 0, row);
  _ColSetScalar(errorBkt, row, kColCode, code, 0);
  _ColSetTextW(errorBkt, row, kColMessage, msg.text);
}

void SetDbErrorProc(DbErrorProc proc) { errorProc = proc; }

void EnterTrans() { ++dbTransCount; }

void ExitTrans() {
  if (dbTransCount == 0) {
    KtSystem_Panic(
        "AcqDbExcept.ExitTrans: Programing Error - dbTransCount is already equal to 0 (zero)!");
  }
  --dbTransCount;
}

void AbortTrans() {
  if (dbTransCount == 0) {
    KtSystem_Panic(
        "AcqDbExcept.AbortTrans: Programing Error - dbTransCount is already equal to 0 (zero)!");
  }
  if (--dbTransCount > 0) return;  // an inner rollback: errors stay held back
  BucketHold copy;
  {
    SemaphoreHold hold(errorSem, "AcqDbExcept.AbortTrans");
    copy.get() = _BktDupe(errorBkt);
    _BktDeleteAll(errorBkt);
  }
  // Shown outside the lock: the error procedure waits for a person.
  for (int row = 1; row <= _BktCountAll(*copy); ++row) ShowError(CodeOfRow(*copy, row), MessageOfRow(*copy, row));
}

unsigned TransCount() { return dbTransCount; }

bool LastTBDbErrRetry() {
  _Request(errorSem, "AcqDbExc.LastTBDbErrRetry");
  const int rows = _BktCountAll(errorBkt);
  const bool retry = rows > 0 && DbIsRetryable(CodeOfRow(errorBkt, rows));
  _Release(errorSem, "AcqDbExcept.LastTBDbErrRetry");
  return retry;
}

void FlushDbErrMsgBkt() {
  _Request(errorSem, "AcqDbExc.FlushDbErrMsgBkt");
  _BktDeleteAll(errorBkt);
  _Release(errorSem, "AcqDbExcept.FlushDbErrMsgBkt");
}

int HeldErrorCount() {
  SemaphoreHold hold(errorSem, "AcqDbExcept.HeldErrorCount");
  return _BktCountAll(errorBkt);
}

void Initialize() {
  errorSem = _Create(kSemName, 1);
  SemaphoreHold hold(errorSem, "AcqDbExcept.Initialize");
  _BktCreate(errorBkt, 2, 1, 1);
  _BktSetColInfo(errorBkt, kColCode, "Database Error Code", 1, kColByte, 0);
  _BktSetColInfo(errorBkt, kColMessage, "Database Error Message", 301, kColText, 0);
  _BktSetSemaphore(errorBkt, errorSem);
  errorProc = &DummyDbErrorProc;
  dbTransCount = 0;
}

void Terminate() {
  if (dbTransCount != 0 && Lib_ktPhase() < 5) {
    KtSystem_Error1(
        "AcqDbExcept.Terminate: dbTransCount is not equal to 0 (zero)! The actual value is %u. "
        "Additional database errors may follow as separate messages.",
        std::to_string(dbTransCount));
  }
  _Request(errorSem, "AcqDbExcept.Terminate");
  for (int row = 1; row <= _BktCountAll(errorBkt); ++row) {
    KtSystem_Error(_DbErrStr(CodeOfRow(errorBkt, row), MessageOfRow(errorBkt, row)));
  }
  _BktDestroy(&errorBkt);
  _Release(errorSem, "AcqDbExcept.Terminate");
  _Destroy(&errorSem);
}

}  // namespace acq::AcqDbExcept

ACQ_UNIT_BODY(AcqDbExcept)
