// AcqDb: the module's only door to the database session.
#include "acq/db/AcqDb.h"

#include <memory>
#include <string>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/sys/Semaphore.h"

namespace acq::AcqDb {
namespace {

constexpr const char* kCacheSemName = "AcqDb.cachedDbTableBktSem";
constexpr int kCacheColTable = 1;
constexpr int kCacheColColumns = 2;
constexpr int kCacheColBkt = 3;

// The command being built: empty, or its text. At most one is pending per
// thread: a worker thread builds its commands on its own session.
thread_local std::unique_ptr<std::string> dbCmdPtr;

// A failure to open the command sequence (or a command abandoned because it
// overflowed): set by the append that met it, reported and cleared by the
// next run. Appends made while it is set are dropped.
struct CmdFailure {
  DbCode code = kDbOk;
  DbMsg msg;
};
thread_local CmdFailure cmdFailure;

// Empty typed Buckets per (table, columns), read-only, alive until Terminate.
BktHandle cacheBkt = nullptr;
HSem cacheSem = nullptr;

HDb Session() { return AcqDbGlobal::Session(); }

void RecordCmdFailure(DbCode code, const DbMsg& msg) {
  cmdFailure.code = code;
  cmdFailure.msg = msg;
}

// Makes sure a command is pending; false when the append must be dropped.
bool SetUpDbCmd() {
  if (dbCmdPtr) return true;
  if (cmdFailure.code != kDbOk) return false;
  DbMsg msg;
  if (DbCode code = _DbEnableHDb(Session(), 1, msg); code != kDbOk) {
    RecordCmdFailure(code, msg);
    return false;
  }
  dbCmdPtr = std::make_unique<std::string>();
  dbCmdPtr->reserve(kDbCmdMaxIndex + 1);
  return true;
}

void Append(std::string_view text, DbCode (*append)(std::string&, int, std::string_view)) {
  if (!SetUpDbCmd()) return;
  if (append(*dbCmdPtr, kDbCmdMaxIndex, text) == kDbOk) return;
  // Running a cut command could change its meaning: abandon it instead.
  DbMsg msg;
  msg.Set("Command text longer than 1024 characters: " + *dbCmdPtr);
  dbCmdPtr.reset();
  DbMsg closeMsg;
  (void)_DbEnableHDb(Session(), 0, closeMsg);
  RecordCmdFailure(kDbTooLong, msg);
}

DbCode SendDbCmd(DbMsg& msg) {
  if (dbCmdPtr) {
    const DbCode code = _DbCmd(Session(), *dbCmdPtr, kDbCmdMaxIndex);
    dbCmdPtr.reset();
    return code;
  }
  if (cmdFailure.code != kDbOk) {
    const DbCode code = cmdFailure.code;
    msg = cmdFailure.msg;
    cmdFailure = CmdFailure{};
    return code;
  }
  msg.Set("Tried to use DbCmd before setting up DbCmd");
  return kDbMisuse;
}

void ClearAllChanges(BktHandle bkt) {
  for (int row = 1; row <= _BktCountAll(bkt); ++row) _BktClearChg(bkt, row);
}

// The shared last step of every load.
DbCode LoadQuery(DbMsg& msg, ClearChanges clear, BktHandle& bkt, int mode, int initialRows,
                 int growth, int extra, std::string_view table, std::string_view columns,
                 std::string_view where, std::string_view orderBy) {
  const DbCode code = _DbLoadQuery(Session(), bkt, mode, initialRows, growth, extra, table,
                                   columns, where, orderBy, msg);
  if (code == kDbOk && clear == ClearChanges::Yes) ClearAllChanges(bkt);
  return code;
}

DbCode LoadDbCmdMode(DbMsg& msg, ClearChanges clear, BktHandle& bkt, int mode, int initialRows,
                     int growth, int extra) {
  DbMsg closeMsg;
  if (DbCode code = SendDbCmd(msg); code != kDbOk) {
    (void)_DbEnableHDb(Session(), 0, closeMsg);
    return code;
  }
  if (DbCode code = LoadQuery(msg, clear, bkt, mode, initialRows, growth, extra, {}, {}, {}, {});
      code != kDbOk) {
    (void)_DbEnableHDb(Session(), 0, closeMsg);
    return code;
  }
  return _DbEnableHDb(Session(), 0, msg);
}

std::string WithoutBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != ' ') out += c;
  }
  return out;
}

}  // namespace

DbCode Login(DbMsg& msg) {
  const DbGlobalRec& rec = DbGlobal_globRec;
  auto& g = AcqDbGlobal::Globals();
  if (DbCode code = _DbLogin(g.session, rec.server, rec.user, rec.password, rec.database, msg);
      code != kDbOk) {
    return code;
  }
  return DbSe_SeCreateHSrch(rec.server, rec.user, rec.password, rec.database, g.search, msg);
}

void Logout() {
  auto& g = AcqDbGlobal::Globals();
  if (g.search != nullptr) DbSe_SeDestroyHSrch(&g.search);
  if (g.session != nullptr) _DbLogout(&g.session);
}

void AppendDbCmd(std::string_view text) { Append(text, &_DbAppend); }
void QuoteAppendDbCmd(std::string_view text) { Append(text, &_DbQuoteAppend); }
bool DbCmdPending() { return dbCmdPtr != nullptr; }

DbCode LoadDbCmd(DbMsg& msg, ClearChanges clear, BktHandle& bkt) {
  return LoadDbCmdMode(msg, clear, bkt, kLoadAppend, 0, 0, 0);
}
DbCode LoadDbCmdReplace(DbMsg& msg, ClearChanges clear, BktHandle& bkt) {
  return LoadDbCmdMode(msg, clear, bkt, kLoadReplace, 0, 0, 0);
}
DbCode LoadDbCmdCreate(DbMsg& msg, ClearChanges clear, BktHandle& bkt, int initialRows,
                       int growth, int extra) {
  return LoadDbCmdMode(msg, clear, bkt, kLoadCreate, initialRows, growth, extra);
}

DbCode LoadTable(DbMsg& msg, ClearChanges clear, std::string_view orderBy, std::string_view where,
                 std::string_view columns, std::string_view table, BktHandle& bkt) {
  return LoadQuery(msg, clear, bkt, kLoadCreate, 8, 8, 0, table, columns, where, orderBy);
}
DbCode LoadTableReplace(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                        std::string_view where, std::string_view columns, std::string_view table,
                        BktHandle& bkt) {
  return LoadQuery(msg, clear, bkt, kLoadReplace, 0, 0, 0, table, columns, where, orderBy);
}
DbCode LoadTableAppend(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                       std::string_view where, std::string_view columns, std::string_view table,
                       BktHandle& bkt) {
  return LoadQuery(msg, clear, bkt, kLoadAppend, 0, 0, 0, table, columns, where, orderBy);
}
DbCode LoadTableAppendMax(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                          std::string_view where, std::string_view columns,
                          std::string_view table, BktHandle& bkt, int extra) {
  return LoadQuery(msg, clear, bkt, kLoadAppendMax, 0, 0, extra, table, columns, where, orderBy);
}
DbCode LoadTableSized(DbMsg& msg, ClearChanges clear, std::string_view orderBy,
                      std::string_view where, std::string_view columns, std::string_view table,
                      BktHandle& bkt, int initialRows, int growth) {
  return LoadQuery(msg, clear, bkt, kLoadCreate, initialRows, growth, 0, table, columns, where,
                   orderBy);
}

DbCode MultLoad(DbMsg& msg, std::vector<BktHandle>& bkts, std::string_view params,
                std::string_view procedure) {
  return _DbMultLoad(Session(), bkts, procedure, params, msg);
}

DbCode ExecSP(DbMsg& msg, void* result, size_t size, std::string_view params,
              std::string_view procedureOrStatement) {
  return _DbExecSP(Session(), procedureOrStatement, params, result, size, msg);
}

void SessionBeginTrans() { _DbBeginTrans(Session()); }
DbCode SessionCommitTrans(DbMsg& msg) { return _DbCommitTrans(Session(), msg); }
DbCode SessionRollbackTrans(DbMsg& msg) { return _DbRollbackTrans(Session(), "", msg); }

DbCode InsertRow(DbMsg& msg, int row, BktHandle bkt, std::string_view table) {
  return _DbxInsertRow(Session(), table, bkt, row, 1, msg);
}
DbCode UpdateRow(DbMsg& msg, int row, BktHandle bkt, std::string_view table) {
  return _DbxUpdateRowU(Session(), table, bkt, row, 1, msg);
}
DbCode DeleteRow(DbMsg& msg, int row, BktHandle bkt, std::string_view table) {
  return _DbxDeleteRowU(Session(), table, bkt, row, 1, msg);
}

DbCode GetShrCodeBkt(DbMsg& msg, std::string_view codeTable, BktHandle& bkt) {
  return _DbGetShrCodeBkt(Session(), codeTable, bkt, msg);
}

DbCode BktFromCols(DbMsg& msg, int cloneFlag1, int cloneFlag2, BktHandle& bkt,
                   std::string_view columns, std::string_view table) {
  const std::string keyTable = WithoutBlanks(table);
  const std::string keyColumns = WithoutBlanks(columns);
  SemaphoreHold hold(cacheSem, "AcqDb.BktFromCols");
  int row = 0;
  if (!_BktLocateKey(cacheBkt, kCacheColTable, BktKey::Text(keyTable), kCacheColColumns,
                     BktKey::Text(keyColumns), row)) {
    BktHandle typed = nullptr;
    if (DbCode code = _DbBktFromCols(Session(), keyTable, keyColumns, typed, 1, 1, msg);
        code != kDbOk) {
      _BktDestroy(&typed);
      return code;
    }
    _BktSetReadOnly(typed, true);
    _BktInsert(cacheBkt, 0, row);
    _ColSetTextW(cacheBkt, row, kCacheColTable, keyTable);
    _ColSetTextW(cacheBkt, row, kCacheColColumns, keyColumns);
    _ColSetNonScalar(cacheBkt, row, kCacheColBkt, typed);
  }
  auto* cached = static_cast<BktHandle>(_ColGetNonScalar(cacheBkt, row, kCacheColBkt));
  _BktClone(bkt, cloneFlag1, cloneFlag2, cached);
  return kDbOk;
}

int CachedTableCount() {
  SemaphoreHold hold(cacheSem, "AcqDb.CachedTableCount");
  return _BktCountAll(cacheBkt);
}

void Initialize() {
  cacheSem = _Create(kCacheSemName, 1);
  SemaphoreHold hold(cacheSem, "AcqDb.Initialize");
  _BktCreate(cacheBkt, 3, 32, 32);
  _BktSetColInfo(cacheBkt, kCacheColTable, "table", 0, kColText, 0);
  _BktSetColInfo(cacheBkt, kCacheColColumns, "columns", 0, kColText, 0);
  _BktSetColInfo(cacheBkt, kCacheColBkt, "bkt", 0, kColOpaque, 0);
  _BktSetSemaphore(cacheBkt, cacheSem);
  dbCmdPtr.reset();
  cmdFailure = CmdFailure{};
}

void Terminate() {
  _Request(cacheSem, "AcqDb.Terminate");
  for (int row = 1; row <= _BktCountAll(cacheBkt); ++row) {
    auto* cached = static_cast<BktHandle>(_ColGetNonScalar(cacheBkt, row, kCacheColBkt));
    _BktDestroy(&cached);
  }
  _BktDestroy(&cacheBkt);
  _Release(cacheSem, "AcqDb.Terminate");
  _Destroy(&cacheSem);
  if (dbCmdPtr) {
    KtSystem_Panic1("AcqDb.Terminate: dbCmdPtr is not equal to NIL! The actual value is '%s'.",
                    *dbCmdPtr);
  }
}

}  // namespace acq::AcqDb

ACQ_UNIT_BODY(AcqDb)
