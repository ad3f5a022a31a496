// Services of the session: the key generator, usage statistics, the
// catalogue's duplicate-search index and the MARC map.
#include "host/db/DbDabs.h"
#include "host/db/DbSession.h"

namespace {

using namespace pwdb;

// Steps a cached statement once: kRow, kDone, or kFailed with the code in
// Failure(s).
StepRc StepOnce(DbSessionImpl* s, const std::string& sql, const std::vector<DbsValue>& values,
                DbStatement*& stmt) {
  stmt = nullptr;
  if (Cached(s, sql, stmt) != kDbOk || stmt->BindAll(values) != kDbOk) return StepRc::kFailed;
  return stmt->Step();
}

DbCode Failure(DbSessionImpl* s) {
  DbCode code = s->conn->ErrorCode();
  return code == kDbOk ? DbCode{kDbError} : code;
}

// The next free key inside the current transaction (which holds the write
// lock after the first UPDATE).
DbCode NextKey(DbSessionImpl* s, std::string_view keyTable, std::string_view dataTable,
               std::string_view keyColumn, int32_t& key, DbMsg& msg) {
  const std::string take =
      "UPDATE pw_key SET next_key=next_key+1 WHERE key_table=?1 RETURNING next_key-1";
  const std::string maxUsed =
      "SELECT coalesce(max(" + QuoteId(keyColumn) + "),0)+1 FROM " + QuoteId(dataTable);
  const std::string used =
      "SELECT 1 FROM " + QuoteId(dataTable) + " WHERE " + QuoteId(keyColumn) + "=?1 LIMIT 1";
  const DbsValue name = DbsValue::Text(keyTable);
  // Without a data table the key is not checked against one.
  const bool validate = !dataTable.empty() && !keyColumn.empty();
  for (;;) {
    DbStatement* stmt = nullptr;
    int64_t candidate = 0;
    bool found = false;
    {
      StepRc rc = StepOnce(s, take, {name}, stmt);
      StmtReset reset(stmt);
      if (rc == StepRc::kRow) {
        found = true;
        candidate = stmt->Int(0);
        // RETURNING rows are all produced by the first step; finish it.
        while ((rc = stmt->Step()) == StepRc::kRow) {
        }
      }
      if (rc != StepRc::kDone) return Fail(s, Failure(s), msg, take);
    }
    if (!found) {
      // No row yet for this key name: start after the highest key in use.
      candidate = 1;
      if (validate) {
        StepRc rc = StepOnce(s, maxUsed, {}, stmt);
        StmtReset reset(stmt);
        if (rc != StepRc::kRow) return Fail(s, Failure(s), msg, maxUsed);
        candidate = stmt->Int(0);
      }
      DbStatement* insert = nullptr;
      StepRc rc = StepOnce(s, "INSERT INTO pw_key(key_table, next_key) VALUES(?1, ?2)",
                    {name, DbsValue::Int(candidate + 1)}, insert);
      StmtReset resetInsert(insert);
      if (rc != StepRc::kDone) return Fail(s, Failure(s), msg);
    }
    if (candidate > INT32_MAX || candidate < 1) {
      msg.Set("The keys of '" + std::string(keyTable) + "' are used up.");
      return kDbError;
    }
    if (!validate) {
      key = static_cast<int32_t>(candidate);
      return kDbOk;
    }
    StepRc rc = StepOnce(s, used, {DbsValue::Int(candidate)}, stmt);
    StmtReset reset(stmt);
    if (rc == StepRc::kDone) {
      key = static_cast<int32_t>(candidate);
      return kDbOk;
    }
    if (rc != StepRc::kRow) return Fail(s, Failure(s), msg, used);
    // Taken already (written without the generator): skip past every used key.
    DbStatement* bump = nullptr;
    rc = StepOnce(s, "UPDATE pw_key SET next_key=max(next_key, (" + maxUsed + ")) WHERE key_table=?1",
                  {name}, bump);
    StmtReset resetBump(bump);
    if (rc != StepRc::kDone) return Fail(s, Failure(s), msg);
  }
}

}  // namespace

DbCode _DbGetNewKeyValidate(HDb db, std::string_view keyTable, std::string_view dataTable,
                            std::string_view keyColumn, int32_t& key, DbMsg& msg) {
  key = 0;
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  if (db->depth > 0) return NextKey(db, keyTable, dataTable, keyColumn, key, msg);
  // Outside a transaction: a short one of its own that takes the write lock
  // at once, so two programs never read the same next key.
  DbCode code = db->conn->Begin();
  if (code != kDbOk) return Fail(db, code, msg);
  code = NextKey(db, keyTable, dataTable, keyColumn, key, msg);
  if (code == kDbOk && (code = db->conn->Commit()) != kDbOk) code = Fail(db, code, msg);
  if (code != kDbOk) {
    if (db->conn->InTransaction()) db->conn->Rollback();
    key = 0;
  }
  return code;
}

namespace {

// One statistics_event row, on the session and in no transaction of its own:
// inside the caller's the row shares its fate. The event's class, value and
// key are NULL when not given.
DbCode InsertStat(HDb db, std::string_view eventCode, DbsValue statClass, DbsValue value,
                  DbsValue key, DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  DayNum date = 0;
  MinuteOfDay time = 0;
  DbDabs_GetDateTime(date, time);
  const std::string sql =
      "INSERT INTO statistics_event(stat_code, user_name, event_date, event_time, location, "
      "stat_class, value, key_value) VALUES(?1,?2,?3,?4,?5,?6,?7,?8)";
  DbStatement* stmt = nullptr;
  StepRc rc = StepOnce(db, sql,
                       {DbsValue::Text(eventCode), DbsValue::Text(db->user), DbsValue::Int(date),
                        DbsValue::Int(time), DbsValue::Text(DbGlobal_globRec.location),
                        statClass, value, key},
                       stmt);
  StmtReset reset(stmt);
  return rc == StepRc::kDone ? DbCode{kDbOk} : Fail(db, Failure(db), msg, sql);
}

}  // namespace

DbCode DbStat_LogStat(HDb db, std::string_view statCode) {
  DbMsg msg;   // the statistics call reports no text
  return InsertStat(db, statCode, DbsValue::Null(), DbsValue::Null(), DbsValue::Null(), msg);
}

DbCode DbStat_LogStat(HDb db, int32_t statClass, std::string_view eventCode, Dec64 value,
                      int32_t key, DbMsg& msg) {
  msg.Clear();
  return InsertStat(db, eventCode, DbsValue::Int(statClass), DbsValue::Int(value.raw),
                    key != 0 ? DbsValue::Int(key) : DbsValue::Null(), msg);
}

std::string DbSer_NormalizeIndexValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '-' || c == ' ' || c == '\t') continue;
    out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return out;
}

DbCode DbSer_SearchDupIndex(HDb db, std::string_view index, std::string_view value,
                            std::vector<int32_t>& bibs, DbMsg& msg) {
  bibs.clear();
  msg.Clear();
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  const std::string wanted = DbSer_NormalizeIndexValue(value);
  if (wanted.empty()) return kDbOk;
  // norm_value is the schema's normalised copy of the catalogued value;
  // the index (index_name, norm_value) answers this without a scan.
  const std::string sql =
      "SELECT DISTINCT \"bib#\" FROM bib_index WHERE index_name=?1 "
      "AND norm_value=?2 ORDER BY \"bib#\"";
  DbStatement* stmt = nullptr;
  StepRc rc = StepOnce(db, sql, {DbsValue::Text(index), DbsValue::Text(wanted)}, stmt);
  StmtReset reset(stmt);
  while (rc == StepRc::kRow) {
    bibs.push_back(static_cast<int32_t>(stmt->Int(0)));
    rc = stmt->Step();
  }
  if (rc != StepRc::kDone) {
    bibs.clear();
    return Fail(db, Failure(db), msg, sql);
  }
  return kDbOk;
}

DbCode _DbLoadMarcMap(HDb db, MarcMap& out, DbMsg& msg) {
  out.clear();
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  DbsResultSet rs;
  std::string error;
  DbCode rc = Database_Query(*db->conn,
                             "SELECT field, tag, subfields FROM pw_marc_map ORDER BY field", {},
                             rs, error);
  if (rc != kDbOk) return FailText(db, rc, error, msg);
  for (auto& row : rs.rows) out.push_back(MarcMapEntry{row[0].s, row[1].s, row[2].s});
  return kDbOk;
}
