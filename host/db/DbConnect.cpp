// Log-in and log-out: resolving the server name through the workstation's
// configuration, opening the library database, checking the user's
// password, bringing an older schema up to date once the user is in, and
// the process-wide facts a log-in sets (the user, the site's features, the
// money format).
#include <sodium.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>

#include "host/db/DbAdmin.h"
#include "host/db/DbDabs.h"
#include "host/db/DbSession.h"
#include "host/sys/LbStr.h"
#include "host/sys/RunTime.h"

DbGlobalRec DbGlobal_globRec;

struct SearchImpl {
  std::string target;
  std::string user;
  std::string database;
};

namespace {

using namespace pwdb;

// What a successful log-in leaves for the calls that take no session.
struct LoginState {
  std::mutex mutex;
  std::string user;
  std::set<std::string, CaseLess> features;
  // The last successful log-in, so the search handle that follows it with
  // the same texts needs no second password check.
  std::string server, database, loginUser;
  unsigned char passwordDigest[crypto_generichash_BYTES] = {};
  bool hasLogin = false;
};

LoginState& State() {
  static LoginState state;
  return state;
}

void Digest(std::string_view password, unsigned char (&out)[crypto_generichash_BYTES]) {
  crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(password.data()),
                     password.size(), nullptr, 0);
}

DbCode LoginFailed(std::string_view user, DbMsg& msg) {
  msg.Set("Login failed for user '" + Lb_CutForMessage(user) + "'.");
  return kDbLoginFailed;
}

// Checks `user` and `password` against pw_user on `conn` (a table of every
// schema version). Every refusal costs one password check: an unknown or
// inactive name is checked too (against no hash, at the cost of a real
// one), so the time a refusal takes does not tell which names exist.
DbCode CheckUser(DbConnection& conn, std::string_view user, std::string_view password, DbMsg& msg) {
  DbsResultSet rs;
  std::string error;
  DbCode rc = Database_Query(conn, "SELECT password_hash, active FROM pw_user WHERE user_name=?",
                             {DbsValue::Text(user)}, rs, error);
  if (rc != kDbOk) {
    msg.Set(error);
    return rc;
  }
  const bool known = rs.rows.size() == 1;
  const bool matches = Database_VerifyPassword(known ? rs.rows[0][0].s : std::string(), password);
  if (!known || rs.rows[0][1].i == 0 || !matches) return LoginFailed(user, msg);
  return kDbOk;
}

// A file that cannot be opened for writing: the plain reason and what to do,
// in place of SQLite's "attempt to write a readonly database". A database
// on a server has no file here: its own text stands.
void ExplainUnwritable(const std::string& path, DbMsg& msg) {
  if (DbEngine_IsServerTarget(path)) return;
  const std::string why = DbAdmin_WhyNotWritable(path);
  if (!why.empty()) msg.Set("Cannot open database '" + Lb_CutForMessage(path, 200) + "': " + why);
}

// Site features and money format, read once per log-in.
DbCode LoadSiteFacts(DbConnection& conn, DbMsg& msg) {
  DbsResultSet features, money;
  std::string error;
  DbCode rc = Database_Query(conn, "SELECT feature FROM pw_site_feature", {}, features, error);
  if (rc == kDbOk)
    rc = Database_Query(conn, "SELECT decimal_digits, currency_symbol FROM matham", {}, money,
                        error);
  if (rc != kDbOk) {
    msg.Set(error);
    return rc;
  }
  MoneyFmt fmt;   // 2 decimals, no symbol unless matham holds exactly one row
  if (money.rows.size() == 1) {
    fmt.decimals = static_cast<int>(std::clamp<int64_t>(money.rows[0][0].i, 0, 6));
    fmt.symbol = money.rows[0][1].s;
  }
  DbDabs_SetMoneyFmt(fmt);
  LoginState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  st.features.clear();
  for (auto& row : features.rows) st.features.insert(row[0].s);
  return kDbOk;
}

DbSessionImpl* NewSession(std::unique_ptr<DbConnection> conn, const std::string& path) {
  auto* s = new DbSessionImpl;
  s->conn = std::move(conn);
  s->path = path;
  return s;
}

}  // namespace

DbCode DbConfig_ResolveServer(std::string_view server, std::string& target, DbMsg& msg) {
  namespace fs = std::filesystem;
  // A server URI names its database itself (the frame's --db, or a name
  // that is one): it goes to libpq as written, so the service file, the
  // password file and the PG* environment variables work as libpq says.
  if (DbEngine_IsServerTarget(server)) {
    target = std::string(server);
    return kDbOk;
  }
  // "sqlite:PATH", the form of a [Servers] value, names a file directly
  // (the frame's --db); a relative path is taken from the working folder.
  constexpr std::string_view kSqlite = "sqlite:";
  if (server.substr(0, kSqlite.size()) == kSqlite && server.size() > kSqlite.size()) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(server.substr(kSqlite.size())), ec);
    target = "sqlite:" + (ec ? std::string(server.substr(kSqlite.size()))
                             : p.lexically_normal().string());
    return kDbOk;
  }
  const std::string ini = Lb_WorkstationIniPath();
  std::string value = server.empty() ? std::string() : Lb_IniRead(ini, "Servers", server);
  if (!value.empty()) {
    if (DbEngine_IsServerTarget(value)) {
      target = value;
      return kDbOk;
    }
    std::string path = PathOfTarget(value);
    if (path.size() != value.size() || fs::path(path).extension() == ".db" ||
        path.find(':') == std::string::npos) {
      // A relative path is taken from the configuration file's folder.
      fs::path p(path);
      if (p.is_relative()) p = fs::path(ini).parent_path() / p;
      target = "sqlite:" + p.lexically_normal().string();
      return kDbOk;
    }
    msg.Set("Server '" + Lb_CutForMessage(server) + "' uses an unsupported backend: " +
            Lb_CutForMessage(value, 200));
    return kDbCannotOpen;
  }
  if (server.size() > 3 && server.substr(server.size() - 3) == ".db") {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(server), ec);
    target = "sqlite:" + (ec ? std::string(server) : p.lexically_normal().string());
    return kDbOk;
  }
  msg.Set("Unknown server name '" + Lb_CutForMessage(server) + "'.");
  return kDbCannotOpen;
}

bool DbConfig_IsServerTarget(std::string_view target) { return DbEngine_IsServerTarget(target); }

std::string DbConfig_ShownTarget(std::string_view target) { return DbEngine_ShownTarget(target); }

namespace {

// Brings the database of a checked log-in to the current schema.
DbCode Upgrade(DbConnection& conn, const std::string& path, DbMsg& msg) {
  int from = 0;
  std::string error;
  DbCode rc = Database_Upgrade(conn, from, error);
  const std::string shown = DbEngine_ShownTarget(path);
  if (rc != kDbOk) {
    const std::string why = DbEngine_IsServerTarget(path) ? "" : DbAdmin_WhyNotWritable(path);
    msg.Set("Cannot upgrade '" + shown + "': " + (why.empty() ? error : why));
    return rc;
  }
  Lib_Trace("PwDb: upgraded '" + shown + "' from schema version " + std::to_string(from));
  return kDbOk;
}

// The connection of a log-in: resolves the server, opens the database,
// checks the user on the schema the database has, and only then brings an
// older schema up to date, so a wrong password never changes it.
// Sets nothing process-wide.
DbCode OpenChecked(std::string_view server, std::string_view user, std::string_view password,
                   std::unique_ptr<DbConnection>& conn, std::string& path, DbMsg& msg) {
  conn.reset();
  std::string target;
  DbCode code = DbConfig_ResolveServer(server, target, msg);
  if (code != kDbOk) return code;
  path = PathOfTarget(target);
  int version = 0;
  code = OpenLibrary(path, conn, version, msg);
  if (code != kDbOk) {
    if (code == kDbCannotOpen) ExplainUnwritable(path, msg);
    return code;
  }
  // A database this process may not write opens read-only; the session
  // would fail at its first save, so the log-in fails now.
  if (conn->IsReadOnly()) {
    code = kDbCannotOpen;
    msg.Set("Cannot open database '" + Lb_CutForMessage(DbEngine_ShownTarget(path), 200) +
            "': it is read-only.");
    ExplainUnwritable(path, msg);
  }
  if (code == kDbOk) code = CheckUser(*conn, user, password, msg);
  if (code == kDbOk && version < Database_SchemaVersion()) code = Upgrade(*conn, path, msg);
  if (code != kDbOk) conn.reset();
  return code;
}

}  // namespace

DbCode _DbLogin(HDb& out, std::string_view server, std::string_view user,
                std::string_view password, std::string_view database, DbMsg& msg) {
  out = nullptr;
  msg.Clear();
  std::unique_ptr<DbConnection> conn;
  std::string path;
  DbCode code = OpenChecked(server, user, password, conn, path, msg);
  if (code != kDbOk) return code;
  code = LoadSiteFacts(*conn, msg);
  if (code == kDbOk) code = LoadViewDefinitions(*conn, msg);
  if (code != kDbOk) return code;
  DbSessionImpl* s = NewSession(std::move(conn), path);
  s->holdsViews = true;
  s->server = server;
  s->user = user;
  s->database = database;
  LoginState& st = State();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    st.user = Lb_CutChars(user, 31);
    st.server = server;
    st.database = database;
    st.loginUser = user;
    Digest(password, st.passwordDigest);
    st.hasLogin = true;
  }
  out = s;
  return kDbOk;
}

void _DbLogout(HDb* db) {
  if (db == nullptr || *db == nullptr) return;
  DbSessionImpl* s = *db;
  {
    SessionLock lock(s->mutex);
    for (auto& [name, bkt] : s->codeTables) {
      _BktSetReadOnly(bkt, false);
      _BktDestroy(&bkt);
    }
    s->codeTables.clear();
    ClearStmtCache(s);
    // An open transaction is abandoned: closing the connection rolls it back.
    s->conn.reset();
  }
  if (s->holdsViews) ReleaseViewDefinitions();
  delete s;
  *db = nullptr;
}

DbCode _DbCloneHDb(HDb db, HDb& out, DbMsg& msg) {
  out = nullptr;
  if (db == nullptr) {
    msg.Set("No database session.");
    return kDbMisuse;
  }
  std::string path, server, user, database;
  {
    SessionLock lock(db->mutex);
    path = db->path;
    server = db->server;
    user = db->user;
    database = db->database;
  }
  std::unique_ptr<DbConnection> conn;
  int version = 0;
  DbCode code = OpenLibrary(path, conn, version, msg);
  if (code != kDbOk) return code;
  DbSessionImpl* s = NewSession(std::move(conn), path);
  s->server = server;
  s->user = user;
  s->database = database;
  out = s;
  return kDbOk;
}

DbCode DbSe_SeCreateHSrch(std::string_view server, std::string_view user,
                          std::string_view password, std::string_view database,
                          HSrch& out, DbMsg& msg) {
  out = nullptr;
  std::string target;
  DbCode code = DbConfig_ResolveServer(server, target, msg);
  if (code != kDbOk) return code;
  bool known = false;
  {
    LoginState& st = State();
    unsigned char digest[crypto_generichash_BYTES];
    Digest(password, digest);
    std::lock_guard<std::mutex> lock(st.mutex);
    known = st.hasLogin && st.server == server && st.loginUser == user &&
            st.database == database &&
            sodium_memcmp(digest, st.passwordDigest, sizeof digest) == 0;
  }
  if (!known) {   // not the session's own log-in: check it in full
    std::unique_ptr<DbConnection> conn;
    std::string path;
    code = OpenChecked(server, user, password, conn, path, msg);
    if (code != kDbOk) return code;
  }
  out = new SearchImpl{target, std::string(user), std::string(database)};
  return kDbOk;
}

void DbSe_SeDestroyHSrch(HSrch* srch) {
  if (srch == nullptr) return;
  delete *srch;
  *srch = nullptr;
}

std::string DbUser_GetUser() {
  LoginState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  return st.user;
}

bool _GetActiveFeature(std::string_view name) {
  LoginState& st = State();
  std::lock_guard<std::mutex> lock(st.mutex);
  return st.features.count(std::string(name)) > 0;
}

DbCode DbUser_CheckPassword(HDb db, std::string_view user, std::string_view password,
                            DbMsg& msg) {
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  return CheckUser(*db->conn, user, password, msg);
}

DbCode DbUser_HasPrivilege(HDb db, std::string_view user, int32_t privilege, bool& has,
                           DbMsg& msg) {
  has = false;
  SessionCall call(db, msg);
  if (call.code() != kDbOk) return call.code();
  DbStatement* stmt = nullptr;
  const std::string sql =
      "SELECT 1 FROM pw_user_privilege p JOIN pw_user u ON u.user_name=p.user_name "
      "WHERE p.user_name=?1 AND p.privilege_number=?2 AND u.active<>0";
  DbCode code = Cached(db, sql, stmt);
  if (code != kDbOk) return Fail(db, code, msg);
  StmtReset reset(stmt);
  stmt->BindText(1, user);
  stmt->BindInt(2, privilege);
  switch (stmt->Step()) {
    case StepRc::kRow: has = true; return kDbOk;
    case StepRc::kDone: return kDbOk;
    default: return Fail(db, db->conn->ErrorCode(), msg);
  }
}

void DbSession_SetStatementObserver(HDb db, std::function<void(std::string_view)> observer) {
  if (db == nullptr) return;
  SessionLock lock(db->mutex);
  if (db->conn) db->conn->SetStatementObserver(std::move(observer));
}
