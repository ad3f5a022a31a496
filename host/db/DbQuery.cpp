// Commands and queries: the current command, loading result rows into
// Buckets with columns typed from the schema, single values of procedures
// and statements, several result sets, empty typed Buckets and the shared
// code tables.
//
// Column typing of a result: the declared type of a plain table column;
// else, for an expression, the type that every table declares for a column
// of the result's name ("amount=sum(amount)" stays DEC64); else the first
// non-NULL value decides (integer 32-bit, real Dec64, text text), and a
// column that is NULL throughout is text.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

#include "host/db/DbSession.h"
#include "host/sys/LbStr.h"

namespace pwdb {

namespace {

// Rows of one result, from a statement or from a procedure's result set.
class RowSource {
 public:
  virtual ~RowSource() = default;
  const std::vector<DbsColumn>& Columns() const { return columns_; }
  // kRow with `row` filled, kDone at the end, else kFailed (the
  // connection has the code and text).
  virtual StepRc Next(std::vector<DbsValue>& row) = 0;
  // Whether Next has reported the end.
  bool Exhausted() const { return exhausted_; }

 protected:
  std::vector<DbsColumn> columns_;
  bool exhausted_ = false;
};

class StmtSource : public RowSource {
 public:
  explicit StmtSource(DbStatement* stmt) : stmt_(stmt) {
    for (int c = 0, n = stmt->ColumnCount(); c < n; ++c) columns_.push_back(stmt->Column(c));
  }
  StepRc Next(std::vector<DbsValue>& row) override {
    StepRc rc = stmt_->Step();
    if (rc != StepRc::kRow) {
      exhausted_ = rc == StepRc::kDone;
      return rc;
    }
    row.resize(columns_.size());
    for (size_t c = 0; c < columns_.size(); ++c) row[c] = stmt_->Value(static_cast<int>(c));
    return StepRc::kRow;
  }

 private:
  DbStatement* stmt_;
};

class SetSource : public RowSource {
 public:
  explicit SetSource(const DbsResultSet& set) : set_(set) { columns_ = set.columns; }
  StepRc Next(std::vector<DbsValue>& row) override {
    if (next_ >= set_.rows.size()) {
      exhausted_ = true;
      return StepRc::kDone;
    }
    row = set_.rows[next_++];
    row.resize(columns_.size());
    return StepRc::kRow;
  }

 private:
  const DbsResultSet& set_;
  size_t next_ = 0;
};

struct LoadSpec {
  int mode = kLoadCreate;
  int initialRows = 8;
  int growth = 32;
  int extra = 0;
};

struct ColumnPlan {
  BktType type;
  bool key = false;
  int target = 0;   // Bucket column, 0 = not loaded
};

bool KeyOfOrigin(DbSessionImpl* s, const DbsColumn& c) {
  if (c.originTable.empty()) return false;
  const ColumnDef* def = Table(s, c.originTable).Find(c.originColumn);
  return def && def->pk > 0;
}

// Loads the rows of `src` into `bkt` as `load` says.
DbCode Load(DbSessionImpl* s, RowSource& src, BktHandle& bkt, const LoadSpec& load,
            DbMsg& msg) {
  if (load.mode != kLoadCreate && load.mode != kLoadReplace && load.mode != kLoadAppend &&
      load.mode != kLoadAppendMax) {
    msg.Set("Unknown load mode " + std::to_string(load.mode) + ".");
    return kDbMisuse;
  }
  if (load.mode != kLoadCreate && bkt == nullptr) {
    msg.Set("No Bucket to load into.");
    return kDbMisuse;
  }
  const std::vector<DbsColumn>& cols = src.Columns();
  std::vector<ColumnPlan> plan(cols.size());
  std::vector<size_t> undecided;
  for (size_t c = 0; c < cols.size(); ++c) {
    plan[c].type = TypeFromDecl(cols[c].declType);
    if (!plan[c].type.known) plan[c].type = NameType(s, cols[c].name);
    if (!plan[c].type.known) undecided.push_back(c);
    plan[c].key = KeyOfOrigin(s, cols[c]);
  }

  // Rows read ahead until every undecided column has shown a value.
  std::vector<std::vector<DbsValue>> ahead;
  std::vector<DbsValue> row;
  StepRc rc = StepRc::kRow;
  while (!undecided.empty()) {
    rc = src.Next(row);
    if (rc != StepRc::kRow) break;
    ahead.push_back(row);
    std::erase_if(undecided, [&](size_t c) {
      switch (row[c].kind) {
        case DbsValue::Kind::Null: return false;
        case DbsValue::Kind::Int: plan[c].type = BktType{kColInt32, 0, true}; break;
        case DbsValue::Kind::Real: plan[c].type = BktType{kColDec64, 0, true}; break;
        case DbsValue::Kind::Text: plan[c].type = BktType{kColText, 0, true}; break;
      }
      return true;
    });
  }
  if (rc == StepRc::kFailed) return Fail(s, s->conn->ErrorCode(), msg);
  bool ended = rc == StepRc::kDone;

  bool created = false;
  if (load.mode == kLoadCreate) {
    _BktCreate(bkt, static_cast<int>(cols.size()), std::max(load.initialRows, 1),
               std::max(load.growth, 1));
    created = true;
    for (size_t c = 0; c < cols.size(); ++c) {
      int col = static_cast<int>(c + 1);
      _BktSetColInfo(bkt, col, cols[c].name, plan[c].type.length, plan[c].type.type,
                     plan[c].key ? 1 : 0);
      plan[c].target = col;
    }
  } else {
    for (size_t c = 0; c < cols.size(); ++c) plan[c].target = _BktGetColNum(bkt, cols[c].name);
    if (load.mode == kLoadReplace) _BktDeleteAll(bkt);
  }

  auto failLoad = [&](DbCode code) {
    if (created) _BktDestroy(&bkt);
    return code;
  };
  int loaded = 0;
  auto add = [&](const std::vector<DbsValue>& values) -> bool {
    int r = 0;
    _BktInsert(bkt, 0, r);
    for (size_t c = 0; c < plan.size(); ++c) {
      if (plan[c].target == 0 || values[c].IsNull()) continue;
      std::string error;
      if (!StoreCell(bkt, r, plan[c].target, values[c], error)) {
        msg.Set(error);
        return false;
      }
    }
    _BktClearChg(bkt, r);
    _BktSetState(bkt, r, kRowExisting);
    _BktMarkRead(bkt, r);   // browse mode: a save checks the row is still as read
    ++loaded;
    return true;
  };
  auto full = [&] { return load.mode == kLoadAppendMax && loaded >= load.extra; };
  for (const auto& values : ahead) {
    if (full()) return kDbOk;
    if (!add(values)) return failLoad(kDbError);
  }
  if (ended) return kDbOk;
  while (!full()) {
    rc = src.Next(row);
    if (rc == StepRc::kDone) break;
    if (rc != StepRc::kRow) return failLoad(Fail(s, s->conn->ErrorCode(), msg));
    if (!add(row)) return failLoad(kDbError);
  }
  return kDbOk;
}

// Runs each statement of translated SQL. `onRows` gets every statement that
// returns columns (positioned before its first row) and may step it, setting
// `finished` when it stepped to the end; a read-only statement left part
// way is dropped, any other is run to completion (stepping a finished
// statement again would run it twice).
template <typename F>
DbCode RunStatements(DbSessionImpl* s, const std::string& sql, DbMsg& msg, F&& onRows) {
  std::string_view rest(sql);
  while (!rest.empty()) {
    std::unique_ptr<DbStatement> stmt;
    size_t used = 0;
    DbCode code = s->conn->Prepare(rest, stmt, &used);
    if (code != kDbOk) return Fail(s, code, msg, rest);
    std::string_view text = rest.substr(0, used);
    rest.remove_prefix(std::min(used, rest.size()));
    if (!stmt) {   // blanks or a comment
      if (used == 0) break;
      continue;
    }
    if (stmt->ColumnCount() > 0) {
      bool finished = false;
      code = onRows(stmt.get(), text, finished);
      if (code != kDbOk) return code;
      if (finished || stmt->ReadOnly()) continue;
    }
    StepRc rc;
    while ((rc = stmt->Step()) == StepRc::kRow) {
    }
    if (rc != StepRc::kDone) return Fail(s, s->conn->ErrorCode(), msg, text);
  }
  return kDbOk;
}

// Empty result of a command that returns no rows, for mode 0.
void CreateEmpty(BktHandle& bkt, const LoadSpec& load) {
  _BktCreate(bkt, 0, std::max(load.initialRows, 1), std::max(load.growth, 1));
}

// Loads the first result of `text` (a procedure call or module SQL).
DbCode LoadCommand(DbSessionImpl* s, std::string_view text, BktHandle& bkt, const LoadSpec& load,
                   DbMsg& msg) {
  bool isCall = false;
  std::vector<DbsResultSet> results;
  DbCode code = CallProcedure(s, text, {}, isCall, results, msg);
  if (isCall) {
    if (code != kDbOk) return code;
    if (results.empty()) {
      if (load.mode == kLoadCreate) CreateEmpty(bkt, load);
      return kDbOk;
    }
    SetSource src(results.front());
    return Load(s, src, bkt, load, msg);
  }
  std::string sql;
  code = Translate(s, text, sql, msg);
  if (code != kDbOk) return code;
  bool loaded = false;
  code = RunStatements(s, sql, msg,
                       [&](DbStatement* stmt, std::string_view, bool& finished) -> DbCode {
                         if (loaded) return kDbOk;
                         loaded = true;
                         StmtSource src(stmt);
                         DbCode c = Load(s, src, bkt, load, msg);
                         finished = src.Exhausted();
                         return c;
                       });
  if (code == kDbOk && !loaded && load.mode == kLoadCreate) CreateEmpty(bkt, load);
  return code;
}

// Every result of `text` as result sets.
DbCode RunToResults(DbSessionImpl* s, std::string_view text, std::string_view params,
                    std::vector<DbsResultSet>& results, DbMsg& msg) {
  bool isCall = false;
  DbCode code = CallProcedure(s, text, params, isCall, results, msg);
  if (isCall) return code;
  std::string sql;
  code = Translate(s, text, sql, msg);
  if (code != kDbOk) return code;
  return RunStatements(
      s, sql, msg, [&](DbStatement* stmt, std::string_view sqlText, bool& finished) -> DbCode {
        StmtSource src(stmt);
        DbsResultSet set;
        set.columns = src.Columns();
        std::vector<DbsValue> row;
        StepRc rc;
        while ((rc = src.Next(row)) == StepRc::kRow) set.rows.push_back(row);
        if (rc != StepRc::kDone) return Fail(s, s->conn->ErrorCode(), msg, sqlText);
        finished = true;
        results.push_back(std::move(set));
        return kDbOk;
      });
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Result value as the buffer of _DbExecSP wants it.
bool WholeOf(const DbsValue& v, int64_t& n) {
  if (v.kind == DbsValue::Kind::Int) {
    n = v.i;
    return true;
  }
  int64_t raw = 0;
  if (v.IsNull() || !Database_ParseDecimal(v.s, raw) || raw % 1'000'000 != 0) return false;
  n = raw / 1'000'000;
  return true;
}

bool RawOf(const DbsValue& v, int64_t& raw) {
  if (v.kind == DbsValue::Kind::Int) {
    raw = v.i;   // money is stored as millionths
    return true;
  }
  return !v.IsNull() && Database_ParseDecimal(v.s, raw);
}

DbCode WriteSingle(const DbsResultSet& set, void* result, size_t size, DbMsg& msg) {
  auto* out = static_cast<unsigned char*>(result);
  std::memset(out, 0, size);
  if (set.rows.empty() || set.columns.empty()) return kDbOk;
  const std::vector<DbsValue>& row = set.rows.front();
  auto value = [&](size_t c) { return c < row.size() ? row[c] : DbsValue::Null(); };
  auto bad = [&](size_t c) {
    msg.Set("The result '" + value(c).s + "' does not fit a " + std::to_string(size) +
            "-byte value.");
    return kDbError;
  };
  auto whole = [&](size_t c, auto& dest) -> bool {
    DbsValue v = value(c);
    if (v.IsNull()) return true;
    int64_t n = 0;
    if (!WholeOf(v, n)) return false;
    dest = static_cast<std::remove_reference_t<decltype(dest)>>(n);
    return true;
  };
  auto raw = [&](size_t c, int64_t& dest) -> bool {
    DbsValue v = value(c);
    return v.IsNull() || RawOf(v, dest);
  };
  switch (size) {
    case 1: { uint8_t v = 0; if (!whole(0, v)) return bad(0); std::memcpy(out, &v, 1); break; }
    case 2: { uint16_t v = 0; if (!whole(0, v)) return bad(0); std::memcpy(out, &v, 2); break; }
    case 4: { int32_t v = 0; if (!whole(0, v)) return bad(0); std::memcpy(out, &v, 4); break; }
    case 6: {
      int32_t key = 0;
      uint16_t line = 0;
      if (!whole(0, key)) return bad(0);
      if (!whole(1, line)) return bad(1);
      std::memcpy(out, &key, 4);
      std::memcpy(out + 4, &line, 2);
      break;
    }
    case 8: { int64_t v = 0; if (!raw(0, v)) return bad(0); std::memcpy(out, &v, 8); break; }
    case 16: {
      int64_t a = 0, b = 0;
      if (!raw(0, a)) return bad(0);
      if (!raw(1, b)) return bad(1);
      std::memcpy(out, &a, 8);
      std::memcpy(out + 8, &b, 8);
      break;
    }
    default: {
      if (size == 0) break;
      DbsValue v = value(0);
      std::string text = v.kind == DbsValue::Kind::Int ? std::to_string(v.i) : v.s;
      // Cut to the buffer without splitting a character.
      size_t n = std::min(text.size(), size - 1);
      while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
      std::memcpy(out, text.data(), n);
      out[n] = 0;
    }
  }
  return kDbOk;
}

}  // namespace

DbCode CallProcedure(DbSessionImpl* s, std::string_view text, std::string_view params,
                     bool& isCall, std::vector<DbsResultSet>& results, DbMsg& msg) {
  isCall = false;
  static std::once_flag libraryProcedures;
  std::call_once(libraryProcedures, Database_RegisterLibraryProcedures);
  std::string name(TrimBlanks(text));
  std::string args(params);
  DbsProcedure proc;
  bool found = Database_FindProcedure(name, proc);
  if (!found) {
    std::string callName, callArgs;
    if (!SqlDialect_SplitProcedureCall(text, callName, callArgs)) return kDbOk;   // SQL
    name = callName;
    if (args.empty()) args = callArgs;
    found = Database_FindProcedure(name, proc);
  }
  isCall = true;
  if (!found) {
    msg.Set("Could not find stored procedure '" + name + "'.");
    return kDbNoProcedure;
  }
  std::vector<DbsValue> values;
  std::string error;
  if (!Database_ParseArgs(args, values, error)) {
    msg.Set(name + ": " + error);
    return kDbError;
  }
  DbCode rc = proc(*s->conn, values, results, error);
  if (rc != kDbOk) return FailText(s, rc, name + ": " + error, msg);
  return kDbOk;
}

}  // namespace pwdb

using namespace pwdb;

DbCode _DbEnableHDb(HDb db, int enable, DbMsg& msg) {
  if (db == nullptr) {
    msg.Set("No database session.");
    return kDbMisuse;
  }
  SessionLock lock(db->mutex);
  db->sequenceOpen = enable != 0;
  return kDbOk;
}

DbCode _DbCmd(HDb db, std::string_view text, int maxIndex) {
  if (db == nullptr) return kDbMisuse;
  if (maxIndex < 0 || Lb_CharCount(text) > static_cast<size_t>(maxIndex) + 1) return kDbTooLong;
  SessionLock lock(db->mutex);
  db->command = text;
  db->hasCommand = true;
  return kDbOk;
}

DbCode _DbLoadQuery(HDb db, BktHandle& bkt, int mode, int initialRows, int growth, int extra,
                    std::string_view table, std::string_view columns, std::string_view where,
                    std::string_view orderBy, DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  RefreshSchema(db);
  LoadSpec load{mode, initialRows, growth, extra};
  std::string text;
  if (TrimBlanks(table).empty()) {
    if (!db->hasCommand) {
      msg.Set("No command to run.");
      return kDbMisuse;
    }
    text = std::move(db->command);
    db->command.clear();
    db->hasCommand = false;
  } else {
    text = "select ";
    text += TrimBlanks(columns).empty() ? std::string_view("*") : columns;
    text += " from ";
    text += table;
    if (!TrimBlanks(where).empty()) text += " where " + std::string(where);
    if (!TrimBlanks(orderBy).empty()) text += " order by " + std::string(orderBy);
  }
  return LoadCommand(db, text, bkt, load, msg);
}

DbCode _DbMultLoad(HDb db, std::vector<BktHandle>& out, std::string_view procedure,
                   std::string_view params, DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  RefreshSchema(db);
  std::vector<DbsResultSet> results;
  DbCode code = RunToResults(db, procedure, params, results, msg);
  if (code != kDbOk) return code;
  for (const DbsResultSet& set : results) {
    SetSource src(set);
    BktHandle bkt = nullptr;
    LoadSpec load{kLoadCreate, static_cast<int>(std::max<size_t>(set.rows.size(), 1)), 32, 0};
    code = Load(db, src, bkt, load, msg);
    if (code != kDbOk) return code;
    out.push_back(bkt);
  }
  return kDbOk;
}

DbCode _DbExecSP(HDb db, std::string_view procedureOrStatement, std::string_view params,
                 void* result, size_t size, DbMsg& msg) {
  if (result && size) std::memset(result, 0, size);
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  std::vector<DbsResultSet> results;
  DbCode code = RunToResults(db, procedureOrStatement, params, results, msg);
  if (code != kDbOk || result == nullptr || size == 0 || results.empty()) return code;
  return WriteSingle(results.front(), result, size, msg);
}

DbCode _DbBktFromCols(HDb db, std::string_view table, std::string_view columns, BktHandle& out,
                      int f1, int f2, DbMsg& msg) {
  out = nullptr;
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  RefreshSchema(db);
  std::string tableName(TrimBlanks(table));
  const TableDef& def = Table(db, tableName);
  if (!def.exists) {
    msg.Set("Table or view '" + tableName + "' does not exist.");
    return kDbError;
  }
  std::vector<const ColumnDef*> chosen;
  if (TrimBlanks(columns) == "*") {
    for (const ColumnDef& c : def.columns) chosen.push_back(&c);
  } else {
    std::string_view rest = columns;
    while (true) {
      size_t comma = rest.find(',');
      std::string_view name = TrimBlanks(rest.substr(0, comma));
      const ColumnDef* c = def.Find(name);
      if (c == nullptr) {
        msg.Set("Column '" + std::string(name) + "' is not in '" + tableName + "'.");
        return kDbError;
      }
      chosen.push_back(c);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  _BktCreate(out, static_cast<int>(chosen.size()), std::max(f1, 1), std::max(f2, 1));
  for (size_t n = 0; n < chosen.size(); ++n) {
    BktType t = chosen[n]->type.known ? chosen[n]->type : NameType(db, chosen[n]->name);
    if (!t.known) t = BktType{kColText, 0, true};
    _BktSetColInfo(out, static_cast<int>(n + 1), chosen[n]->name, t.length, t.type,
                   chosen[n]->pk > 0 ? 1 : 0);
  }
  return kDbOk;
}

DbCode _DbGetShrCodeBkt(HDb db, std::string_view codeTable, BktHandle& out, DbMsg& msg) {
  out = nullptr;
  if (db == nullptr) {
    msg.Set("No database session.");
    return kDbMisuse;
  }
  SessionLock lock(db->mutex);
  // A table read already is handed out before entering the session: no
  // statement runs, so a transaction in trouble does not refuse it.
  std::string name(TrimBlanks(codeTable));
  if (auto it = db->codeTables.find(name); it != db->codeTables.end()) {
    out = it->second;
    return kDbOk;
  }
  DbCode code = Enter(db, msg);
  if (code != kDbOk) return code;
  RefreshSchema(db);
  if (!Table(db, name).exists) {
    msg.Set("Table or view '" + name + "' does not exist.");
    return kDbError;
  }
  BktHandle bkt = nullptr;
  code = LoadCommand(db, "select * from " + name, bkt, LoadSpec{kLoadCreate, 32, 32, 0}, msg);
  if (code != kDbOk) return code;
  _BktSetReadOnly(bkt, true);
  db->codeTables.emplace(name, bkt);
  out = bkt;
  return kDbOk;
}
