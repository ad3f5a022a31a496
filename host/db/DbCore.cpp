// The session's plumbing: result codes and messages, opening a library
// file, the statement cache, schema knowledge (table columns, keys, the
// column-name type map) and the conversion of cells between the engine and
// Buckets.
#include "host/db/DbSession.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <limits>

#include "host/sys/LbStr.h"

// ---- messages and command texts --------------------------------------------------------

void DbMsg::Set(std::string_view t) { text = Lb_CutChars(t, kMaxChars); }

std::string _DbErrStr(DbCode code, const DbMsg& msg) {
  return "Database Error|" + msg.text + " (" + std::to_string(code) + ")";
}

DbCode _DbAppend(std::string& buf, int maxIndex, std::string_view text) {
  if (maxIndex < 0 || Lb_CharCount(buf) + Lb_CharCount(text) > static_cast<size_t>(maxIndex) + 1)
    return kDbTooLong;
  buf += text;
  return kDbOk;
}

DbCode _DbQuoteAppend(std::string& buf, int maxIndex, std::string_view text) {
  std::string literal = "'";
  for (char c : text) {
    if (c == '\'') literal += '\'';
    literal += c;
  }
  literal += '\'';
  return _DbAppend(buf, maxIndex, literal);
}

namespace pwdb {

bool CaseLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](unsigned char x, unsigned char y) {
                                        return std::tolower(x) < std::tolower(y);
                                      });
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

constexpr int64_t kMillion = 1'000'000;

int SizeMinus1(int type) {
  return type == kColByte ? 0 : type == kColInt16 ? 1 : 3;
}

bool ParseWhole(std::string_view text, int64_t& n) {
  text = Trim(text);
  int64_t raw = 0;
  if (!Database_ParseDecimal(text, raw) || raw % kMillion != 0) return false;
  n = raw / kMillion;
  return true;
}

bool WholeNumber(const DbsValue& v, int64_t& n) {
  if (v.kind == DbsValue::Kind::Int) {
    n = v.i;
    return true;
  }
  return ParseWhole(v.s, n);
}

std::string ValueText(const DbsValue& v) {
  return v.kind == DbsValue::Kind::Int ? std::to_string(v.i) : v.s;
}

}  // namespace

// ---- types -----------------------------------------------------------------------

BktType TypeFromDecl(std::string_view decl) {
  std::string d = Upper(Trim(decl));
  std::string base = d.substr(0, d.find('('));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  int length = 0;
  if (size_t open = d.find('('); open != std::string::npos)
    length = std::atoi(d.c_str() + open + 1);
  BktType t;
  t.known = true;
  if (base == "INTEGER" || base == "INT" || base == "BIGINT" || base == "MEDIUMINT") {
    t.type = kColInt32;
  } else if (base == "SMALLINT" || base == "DAYNUM" || base == "MINUTE") {
    t.type = kColInt16;
  } else if (base == "TINYINT" || base == "BIT" || base == "BOOLEAN" || base == "BOOL") {
    t.type = kColByte;
  } else if (base == "DEC64" || base == "MONEY") {
    t.type = kColDec64;
  } else if (base == "TEXT" || base == "VARCHAR" || base == "CHAR" || base == "NVARCHAR" ||
             base == "NCHAR" || base == "CHARACTER" || base == "VARYING CHARACTER") {
    t.type = kColText;
    t.length = length > 0 ? length : 0;
  } else {
    t.known = false;
  }
  return t;
}

bool DeclIsDayNum(std::string_view decl) { return EqualNoCase(Trim(decl), "DAYNUM"); }

const ColumnDef* TableDef::Find(std::string_view column) const {
  for (const ColumnDef& c : columns)
    if (EqualNoCase(c.name, column)) return &c;
  return nullptr;
}

std::string QuoteId(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

// ---- codes and failures ---------------------------------------------------------------

std::string ShortSql(std::string_view sql) {
  sql = Trim(sql);
  std::string out;
  bool blank = false;
  for (char c : sql) {   // one line, runs of blanks as one
    if (std::isspace(static_cast<unsigned char>(c))) {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += c;
  }
  return Lb_CharCount(out) > 160 ? Lb_CutChars(out, 157) + "..." : out;
}

namespace {

void NoteTransactionLoss(DbSessionImpl* s, DbCode code, std::string_view text) {
  if (s->depth > 0 && !s->conn->InTransaction() && !s->txnLost) {
    s->txnLost = code == kDbOk ? DbCode{kDbError} : code;
    s->txnLostText = "The transaction was ended by an earlier failure (" + std::string(text) +
                     "); roll it back and try again.";
  }
}

}  // namespace

DbCode Fail(DbSessionImpl* s, DbCode code, DbMsg& msg, std::string_view sql) {
  std::string text = s->conn->ErrorText();
  if (!sql.empty()) text += " [" + ShortSql(sql) + "]";
  return FailText(s, code, text, msg);
}

DbCode FailText(DbSessionImpl* s, DbCode code, std::string_view text, DbMsg& msg) {
  if (code == kDbOk) code = kDbError;
  msg.Set(text);
  NoteTransactionLoss(s, code, text);
  return code;
}

DbCode Enter(DbSessionImpl* s, DbMsg& msg) {
  if (s == nullptr || !s->conn) {
    msg.Set("No database session.");
    return kDbMisuse;
  }
  if (s->depth > 0 && s->txnLost != kDbOk) {
    msg.Set(s->txnLostText);
    return s->txnLost;
  }
  return kDbOk;
}

// ---- statement cache ---------------------------------------------------------------------

DbCode Cached(DbSessionImpl* s, const std::string& sql, DbStatement*& out) {
  if (auto it = s->stmtCache.find(sql); it != s->stmtCache.end()) {
    out = it->second.get();
    return kDbOk;
  }
  constexpr size_t kMaxCached = 200;
  if (s->stmtCache.size() >= kMaxCached) ClearStmtCache(s);
  std::unique_ptr<DbStatement> stmt;
  DbCode code = s->conn->Prepare(sql, stmt, nullptr, true);
  if (code != kDbOk) return code;
  if (!stmt) return kDbMisuse;
  out = stmt.get();
  s->stmtCache.emplace(sql, std::move(stmt));
  return kDbOk;
}

void ClearStmtCache(DbSessionImpl* s) { s->stmtCache.clear(); }

DbCode Translate(DbSessionImpl* s, std::string_view moduleSql, std::string& out, DbMsg& msg) {
  std::string error;
  if (!SqlDialect_Translate(moduleSql, s->conn->Dialect(), out, error)) {
    msg.Set(error + " [" + ShortSql(moduleSql) + "]");
    return kDbError;
  }
  return kDbOk;
}

// ---- schema knowledge ------------------------------------------------------------------

void RefreshSchema(DbSessionImpl* s) {
  int64_t cookie = 0;
  if (s->conn->SchemaStamp(cookie) != kDbOk) return;
  if (cookie == s->schemaCookie) return;
  s->schemaCookie = cookie;
  s->tables.clear();
  s->nameTypes.clear();
  s->nameTypesBuilt = false;
}

namespace {

TableDef ReadTable(DbSessionImpl* s, std::string_view name) {
  TableDef t;
  bool exists = false;
  std::vector<DbTableColumn> columns;
  if (s->conn->DescribeTable(name, exists, columns) != kDbOk) return t;
  std::vector<std::pair<int, std::string>> keys;
  for (DbTableColumn& column : columns) {
    ColumnDef c;
    c.name = std::move(column.name);
    c.decl = std::move(column.decl);
    c.type = TypeFromDecl(c.decl);
    c.pk = column.pk;
    if (c.pk > 0) keys.emplace_back(c.pk, c.name);
    t.columns.push_back(std::move(c));
  }
  std::sort(keys.begin(), keys.end());
  for (auto& k : keys) t.pkColumns.push_back(k.second);
  t.exists = !t.columns.empty();
  return t;
}

void BuildNameTypes(DbSessionImpl* s) {
  s->nameTypesBuilt = true;
  std::vector<std::string> names;
  if (s->conn->TableNames(names) != kDbOk) return;
  std::map<std::string, bool, CaseLess> ambiguous;
  for (const std::string& name : names) {
    for (const ColumnDef& c : Table(s, name).columns) {
      if (!c.type.known) continue;
      auto [it, added] = s->nameTypes.emplace(c.name, c.type);
      if (!added && (it->second.type != c.type.type || it->second.length != c.type.length))
        ambiguous[c.name] = true;
    }
  }
  for (auto& [name, yes] : ambiguous) s->nameTypes.erase(name);
}

}  // namespace

const TableDef& Table(DbSessionImpl* s, std::string_view name) {
  auto it = s->tables.find(name);
  if (it == s->tables.end()) it = s->tables.emplace(std::string(name), ReadTable(s, name)).first;
  return it->second;
}

BktType NameType(DbSessionImpl* s, std::string_view column) {
  if (!s->nameTypesBuilt) BuildNameTypes(s);
  auto it = s->nameTypes.find(column);
  return it == s->nameTypes.end() ? BktType{} : it->second;
}

// ---- cells ---------------------------------------------------------------------------------

bool StoreCell(BktHandle bkt, int row, int col, const DbsValue& v, std::string& error) {
  if (v.IsNull()) {
    _ColSetNull(bkt, row, col);
    return true;
  }
  int type = _BktGetColType(bkt, col);
  auto fail = [&](std::string_view why) {
    error = "Column '" + _BktGetColName(bkt, col) + "': '" + Lb_CutChars(ValueText(v), 40) +
            "' " + std::string(why);
    return false;
  };
  switch (type) {
    case kColByte:
    case kColInt16:
    case kColInt32: {
      int64_t n = 0;
      if (!WholeNumber(v, n)) return fail("is not a whole number.");
      // 16-bit cells hold day numbers up to 65535 as well as signed counts.
      int64_t low = type == kColInt32 ? std::numeric_limits<int32_t>::min()
                    : type == kColInt16 ? -32768 : -128;
      int64_t high = type == kColInt32 ? std::numeric_limits<int32_t>::max()
                     : type == kColInt16 ? 65535 : 255;
      if (n < low || n > high) return fail("does not fit the column.");
      _ColSetScalar(bkt, row, col, n, SizeMinus1(type));
      return true;
    }
    case kColDec64: {
      int64_t raw = 0;
      if (v.kind == DbsValue::Kind::Int) {
        raw = v.i;   // money is stored as millionths
      } else if (!Database_ParseDecimal(v.s, raw)) {
        return fail("is not an amount.");
      }
      _ColSetDec64(bkt, row, col, Dec64::FromRaw(raw));
      return true;
    }
    case kColText:
      _ColSetTextW(bkt, row, col, ValueText(v));
      return true;
    default:
      return true;   // opaque cells never come from the database
  }
}

bool CellForColumn(BktHandle bkt, int row, int col, const ColumnDef* def, DbsValue& out,
                   std::string& error) {
  out = DbsValue::Null();
  if (_ColIsNull(bkt, row, col)) return true;
  BktType target = def ? def->type : BktType{};
  auto fail = [&](std::string_view what, std::string_view why) {
    error = "Column '" + _BktGetColName(bkt, col) + "': '" + Lb_CutChars(what, 40) + "' " +
            std::string(why);
    return false;
  };
  int type = _BktGetColType(bkt, col);
  switch (type) {
    case kColByte:
    case kColInt16:
    case kColInt32: {
      int64_t n = 0;
      _ColGetScalar(bkt, row, col, n, SizeMinus1(type));
      if (def && DeclIsDayNum(def->decl) && n < 0) n += 65536;
      if (target.known && target.type == kColDec64) {
        out = DbsValue::Int(n * kMillion);
      } else if (target.known && target.type == kColText) {
        out = DbsValue::Text(std::to_string(n));
      } else {
        out = DbsValue::Int(n);
      }
      return true;
    }
    case kColDec64: {
      Dec64 d = _ColGetDec64(bkt, row, col);
      if (target.known && target.type != kColDec64 && target.type != kColText) {
        if (d.raw % kMillion != 0) return fail(LbDec64_StrFrom64(d), "is not a whole number.");
        out = DbsValue::Int(d.raw / kMillion);
      } else if (target.known && target.type == kColText) {
        out = DbsValue::Text(LbDec64_StrFrom64(d));
      } else {
        out = DbsValue::Int(d.raw);
      }
      return true;
    }
    case kColText: {
      std::string text = _ColGetStringW(bkt, row, col);
      if (target.known && target.type != kColText) {
        if (Trim(text).empty()) return true;   // no number given: NULL
        int64_t n = 0;
        if (target.type == kColDec64) {
          if (!Database_ParseDecimal(text, n)) return fail(text, "is not an amount.");
        } else if (!ParseWhole(text, n)) {
          return fail(text, "is not a whole number.");
        }
        out = DbsValue::Int(n);
        return true;
      }
      out = DbsValue::Text(text);
      return true;
    }
    default:
      return true;
  }
}


// ---- opening ----------------------------------------------------------------------------

std::string PathOfTarget(std::string_view target) {
  constexpr std::string_view kScheme = "sqlite:";
  if (target.substr(0, kScheme.size()) == kScheme) target.remove_prefix(kScheme.size());
  return std::string(target);
}

namespace {

std::atomic<uint64_t> lockWaits{0}, lockWaitUs{0}, retries{0};

// A file must be there and be a file before the engine sees it: SQLite
// would make a new, empty one. Empty when it is fine.
std::string WhyNoFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    return errno == ENOENT ? std::string("no such file.") : std::string(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return "not a file.";
  return {};
}

}  // namespace

std::string OneLineText(std::string_view text) {
  std::string out;
  bool blank = false;
  for (char c : Trim(text)) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      blank = true;
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

void NoteLockWait(uint64_t sleptUs, bool first) {
  if (first) ++lockWaits;
  lockWaitUs += sleptUs;
}

void CountRetry() { ++retries; }

DbCode OpenLibrary(const std::string& target, std::unique_ptr<DbConnection>& out, int& version,
                   DbMsg& msg) {
  out.reset();
  version = 0;
  const bool server = DbEngine_IsServerTarget(target);
  const std::string shown = DbEngine_ShownTarget(target);
  const std::string prefix = "Cannot open database '" + shown + "': ";
  // A server's database is the site's to make; there is nothing to look at
  // here before connecting.
  if (!server) {
    if (std::string why = WhyNoFile(target); !why.empty()) {
      msg.Set(prefix + why);
      return kDbCannotOpen;
    }
  }
  std::unique_ptr<DbConnection> conn;
  std::string error;
  if (DbEngine_Open(target, false, conn, error) != kDbOk) {
    msg.Set(prefix + (server ? OneLineText(error) : error));
    return kDbCannotOpen;
  }

  // The version is read before any setting is changed, so a database that
  // is not ours is never written to.
  bool isLibrary = false;
  DbCode rc = Database_ReadVersion(*conn, version, isLibrary, error);
  DbCode code = kDbOk;
  if (rc != kDbOk) {
    code = rc;
    if (code != kDbBusy && code != kDbLocked) code = kDbCannotOpen;
    msg.Set(prefix + (server ? OneLineText(error) : error));
  } else if (!isLibrary) {
    code = kDbBadSchema;
    std::vector<std::string> tables;
    // An empty server database is one the site made for `acq init`.
    if (server && conn->TableNames(tables) == kDbOk && tables.empty())
      msg.Set("'" + shown + "' is not a library database: it holds no tables yet ('acq init "
              "--db URI' makes the library in it).");
    else
      msg.Set("'" + shown + "' is not a library database.");
  } else if (version > Database_SchemaVersion()) {
    code = kDbBadSchema;
    msg.Set("'" + shown + "' schema version " + std::to_string(version) +
            " is newer than this program (" + std::to_string(Database_SchemaVersion()) + ").");
  } else {
    if (conn->Configure() != kDbOk) {
      code = conn->ErrorCode() == kDbBusy ? DbCode{kDbBusy} : DbCode{kDbCannotOpen};
      msg.Set(prefix + (server ? OneLineText(conn->ErrorText()) : conn->ErrorText()));
    }
  }
  if (code != kDbOk) return code;
  out = std::move(conn);
  return kDbOk;
}

}  // namespace pwdb

DbConflictStats _DbGetConflictStats() {
  DbConflictStats stats;
  stats.lockWaits = pwdb::lockWaits;
  stats.lockWaitMs = pwdb::lockWaitUs / 1000;
  stats.retries = pwdb::retries;
  return stats;
}
