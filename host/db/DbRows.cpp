// Saving single Bucket rows: insert, update of the changed columns, delete,
// each a prepared statement with bound values (a value never becomes SQL
// text). Rows are found by the table's primary key; a table without one is
// found by the Bucket's key columns. Bucket columns the table does not have
// (display columns of a view, say) are not written.
//
// Browse mode: an update of a row that was read from the database writes
// only while the columns it writes still hold what was read. When another
// workstation changed one of them in between, nothing is written and the
// result is the write conflict kDbLocked ("changed by another user"): the
// caller reloads instead of overwriting that change unseen. Changes to
// columns this update does not write never conflict.
//
// The `flag` argument of the three row calls is accepted and ignored.
#include "host/db/DbSession.h"

namespace {

using namespace pwdb;

struct Bound {
  int col;                 // Bucket column
  const ColumnDef* def;    // table column
};

// Key columns of `table` in `bkt`; kDbError naming what is missing.
DbCode KeyColumns(const TableDef& table, std::string_view tableName, BktHandle bkt,
                  std::vector<Bound>& keys, DbMsg& msg) {
  keys.clear();
  if (!table.pkColumns.empty()) {
    for (const std::string& name : table.pkColumns) {
      int col = _BktGetColNum(bkt, name);
      if (col == 0) {
        msg.Set("The row of '" + std::string(tableName) + "' lacks its key column '" + name +
                "'.");
        return kDbError;
      }
      keys.push_back({col, table.Find(name)});
    }
    return kDbOk;
  }
  for (int col = 1, n = _BktGetNCols(bkt); col <= n; ++col) {
    const ColumnDef* def = table.Find(_BktGetColName(bkt, col));
    if (_BktIsKeyCol(bkt, col) && def) keys.push_back({col, def});
  }
  if (keys.empty()) {
    msg.Set("Table '" + std::string(tableName) + "' has no key to find the row by.");
    return kDbError;
  }
  return kDbOk;
}

bool IsKey(const std::vector<Bound>& keys, int col) {
  for (const Bound& k : keys)
    if (k.col == col) return true;
  return false;
}

// Runs cached `sql` with `values`; `changes` gets the rows changed.
DbCode Run(DbSessionImpl* s, const std::string& sql, const std::vector<DbsValue>& values,
           int& changes, DbMsg& msg) {
  DbStatement* stmt = nullptr;
  DbCode code = Cached(s, sql, stmt);
  if (code != kDbOk) return Fail(s, code, msg, sql);
  StmtReset reset(stmt);
  code = stmt->BindAll(values);
  if (code != kDbOk) return Fail(s, code, msg, sql);
  if (stmt->Step() != StepRc::kDone) return Fail(s, s->conn->ErrorCode(), msg, sql);
  changes = static_cast<int>(s->conn->Changes());
  return kDbOk;
}

// " WHERE k1=? AND k2 IS NULL ..." with the key values appended to `values`.
DbCode WhereKeys(const std::vector<Bound>& keys, BktHandle bkt, int row, std::string& sql,
                 std::vector<DbsValue>& values, DbMsg& msg) {
  sql += " WHERE ";
  for (size_t n = 0; n < keys.size(); ++n) {
    if (n) sql += " AND ";
    DbsValue v;
    std::string error;
    if (!CellForColumn(bkt, row, keys[n].col, keys[n].def, v, error)) {
      msg.Set(error);
      return kDbError;
    }
    sql += QuoteId(keys[n].def->name);
    if (v.IsNull()) {
      sql += " IS NULL";
    } else {
      sql += "=?";
      values.push_back(std::move(v));
    }
  }
  return kDbOk;
}

// Common start of the three row calls, the session entered: the row is in
// range and the table exists. With `keys` (update and delete), also the key
// columns that find the row.
DbCode Begin(DbSessionImpl* s, std::string_view table, BktHandle bkt, int row,
             const TableDef*& def, std::vector<Bound>* keys, DbMsg& msg) {
  if (bkt == nullptr || row < 1 || row > _BktCountAll(bkt)) {
    msg.Set("No row " + std::to_string(row) + " to write to '" + std::string(table) + "'.");
    return kDbMisuse;
  }
  RefreshSchema(s);
  def = &Table(s, table);
  if (!def->exists) {
    msg.Set("Table '" + std::string(table) + "' does not exist.");
    return kDbError;
  }
  return keys ? KeyColumns(*def, table, bkt, *keys, msg) : DbCode{kDbOk};
}

// Whether the row the keys find exists (after an update that matched none).
DbCode RowExists(DbSessionImpl* s, std::string_view table, const std::vector<Bound>& keys,
                 BktHandle bkt, int row, bool& exists, DbMsg& msg) {
  std::string sql = "SELECT 1 FROM " + QuoteId(table);
  std::vector<DbsValue> values;
  DbCode code = WhereKeys(keys, bkt, row, sql, values, msg);
  if (code != kDbOk) return code;
  DbStatement* stmt = nullptr;
  code = Cached(s, sql, stmt);
  if (code != kDbOk) return Fail(s, code, msg, sql);
  StmtReset reset(stmt);
  stmt->BindAll(values);
  StepRc rc = stmt->Step();
  if (rc == StepRc::kFailed) return Fail(s, s->conn->ErrorCode(), msg, sql);
  exists = rc == StepRc::kRow;
  return kDbOk;
}

// Runs `sql` (an UPDATE or DELETE, `values` bound to its marks) on the row
// its keys find and whose columns match `guard` (" AND c IS ?...", its values
// in `guardValues`). kDbNotFound when the row is gone, kDbLocked when it is
// there but a guarded column no longer holds its value as read.
DbCode RunOnRow(DbSessionImpl* s, std::string_view table, const std::vector<Bound>& keys,
                BktHandle bkt, int row, std::string sql, std::vector<DbsValue>& values,
                const std::string& guard, std::vector<DbsValue>& guardValues, DbMsg& msg) {
  DbCode code = WhereKeys(keys, bkt, row, sql, values, msg);
  if (code != kDbOk) return code;
  sql += guard;
  for (DbsValue& v : guardValues) values.push_back(std::move(v));
  int changes = 0;
  code = Run(s, sql, values, changes, msg);
  if (code != kDbOk) return code;
  if (changes > 0) return kDbOk;
  bool exists = false;
  if (!guard.empty()) {
    code = RowExists(s, table, keys, bkt, row, exists, msg);
    if (code != kDbOk) return code;
  }
  if (exists) {
    msg.Set("The row of '" + std::string(table) +
            "' was changed by another user after it was read; read it again and redo the "
            "change.");
    return kDbLocked;
  }
  msg.Set("The row of '" + std::string(table) + "' is gone: another user deleted it.");
  return kDbNotFound;
}

// The row now holds what the database holds.
void MarkSaved(BktHandle bkt, int row) {
  _BktClearChg(bkt, row);
  _BktSetState(bkt, row, kRowExisting);
  _BktMarkRead(bkt, row);
}

// `moduleSql` run to its end, the session entered.
DbCode RawStatement(DbSessionImpl* s, const std::string& moduleSql, DbMsg& msg) {
  std::string sql;
  DbCode code = Translate(s, moduleSql, sql, msg);
  if (code != kDbOk) return code;
  std::unique_ptr<DbStatement> stmt;
  code = s->conn->Prepare(sql, stmt);
  if (code != kDbOk) return Fail(s, code, msg, sql);
  if (!stmt) return FailText(s, kDbMisuse, "Empty statement.", msg);
  StepRc rc;
  while ((rc = stmt->Step()) == StepRc::kRow) {
  }
  return rc == StepRc::kDone ? DbCode{kDbOk} : Fail(s, s->conn->ErrorCode(), msg, sql);
}

}  // namespace

DbCode _DbxInsertRow(HDb db, std::string_view table, BktHandle bkt, int row, int /*flag*/,
                     DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  const TableDef* def = nullptr;
  DbCode code = Begin(db, table, bkt, row, def, nullptr, msg);
  if (code != kDbOk) return code;
  std::string names, marks;
  std::vector<DbsValue> values;
  for (int col = 1, n = _BktGetNCols(bkt); col <= n; ++col) {
    const ColumnDef* c = def->Find(_BktGetColName(bkt, col));
    if (c == nullptr || _BktGetColType(bkt, col) == kColOpaque || _ColIsNull(bkt, row, col))
      continue;
    DbsValue v;
    std::string error;
    if (!CellForColumn(bkt, row, col, c, v, error)) {
      msg.Set(error);
      return kDbError;
    }
    names += (names.empty() ? "" : ",") + QuoteId(c->name);
    marks += marks.empty() ? "?" : ",?";
    values.push_back(std::move(v));
  }
  std::string sql = "INSERT INTO " + QuoteId(table) +
                    (values.empty() ? " DEFAULT VALUES" : "(" + names + ") VALUES(" + marks + ")");
  int changes = 0;
  code = Run(db, sql, values, changes, msg);
  if (code != kDbOk) return code;
  // A single INTEGER key left NULL was assigned by the database: hand it back.
  if (def->pkColumns.size() == 1) {
    const ColumnDef* key = def->Find(def->pkColumns[0]);
    int col = _BktGetColNum(bkt, key->name);
    if (col && EqualNoCase(key->decl, "INTEGER") && _ColIsNull(bkt, row, col) &&
        _BktGetColType(bkt, col) == kColInt32)
      _ColSetInt(bkt, row, col, static_cast<int32_t>(db->conn->LastInsertKey()));
  }
  MarkSaved(bkt, row);
  return kDbOk;
}

DbCode _DbxUpdateRowU(HDb db, std::string_view table, BktHandle bkt, int row, int /*flag*/,
                      DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  const TableDef* def = nullptr;
  std::vector<Bound> keys;
  DbCode code = Begin(db, table, bkt, row, def, &keys, msg);
  if (code != kDbOk) return code;
  // Only the changed columns are written, so another session's change to a
  // different column of the same row survives. Key columns find the row and
  // are never written.
  std::string sql = "UPDATE " + QuoteId(table) + " SET ";
  std::vector<DbsValue> values;
  BucketHold asRead(_BktRowAsRead(bkt, row));   // empty unless read from the database
  std::string guard;
  std::vector<DbsValue> guardValues;
  for (int col = 1, n = _BktGetNCols(bkt); col <= n; ++col) {
    if (!_ColIsChanged(bkt, row, col) || IsKey(keys, col) ||
        _BktGetColType(bkt, col) == kColOpaque)
      continue;
    const ColumnDef* c = def->Find(_BktGetColName(bkt, col));
    if (c == nullptr) continue;
    DbsValue v;
    std::string error;
    if (!CellForColumn(bkt, row, col, c, v, error)) {
      msg.Set(error);
      return kDbError;
    }
    sql += (values.empty() ? "" : ",") + QuoteId(c->name) + "=?";
    values.push_back(std::move(v));
    DbsValue old;
    if (*asRead && CellForColumn(*asRead, 1, col, c, old, error)) {
      guard += " AND " + QuoteId(c->name) + " IS ?";
      guardValues.push_back(std::move(old));
    }
  }
  if (values.empty()) return kDbOk;   // nothing changed: nothing to run
  code = RunOnRow(db, table, keys, bkt, row, std::move(sql), values, guard, guardValues, msg);
  if (code != kDbOk) return code;
  MarkSaved(bkt, row);
  return kDbOk;
}

// On success the row's change flags are cleared; its state and its place in
// the Bucket are the caller's to settle.
DbCode _DbxDeleteRowU(HDb db, std::string_view table, BktHandle bkt, int row, int /*flag*/,
                      DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  const TableDef* def = nullptr;
  std::vector<Bound> keys;
  DbCode code = Begin(db, table, bkt, row, def, &keys, msg);
  if (code != kDbOk) return code;
  std::vector<DbsValue> values, noGuard;
  code = RunOnRow(db, table, keys, bkt, row, "DELETE FROM " + QuoteId(table), values, "", noGuard,
                  msg);
  if (code != kDbOk) return code;
  _BktClearChg(bkt, row);
  return kDbOk;
}

DbCode _DbRawUpdate(HDb db, std::string_view table, std::string_view column,
                    std::string_view value, std::string_view where, DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  std::string sql = "update " + std::string(table) + " set " + std::string(column) + "=" +
                    std::string(value);
  if (where.find_first_not_of(" \t\r\n") != std::string_view::npos)
    sql += " where " + std::string(where);
  return RawStatement(db, sql, msg);
}

DbCode _DbRawDelete(HDb db, std::string_view table, std::string_view where, DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  std::string sql = "delete from " + std::string(table);
  if (where.find_first_not_of(" \t\r\n") != std::string_view::npos)
    sql += " where " + std::string(where);
  return RawStatement(db, sql, msg);
}
