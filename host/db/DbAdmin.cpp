// Administration of library database files for the host's tools: create
// (with the demo library on request), upgrade, users, passwords and
// privileges. Each call opens the file itself and does its writes in one
// transaction.
#include "host/db/DbAdmin.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "host/db/DbSession.h"
#include "host/sys/LbStr.h"

namespace {

using namespace pwdb;

// Closes the connection when the holder leaves scope.
class Connection {
 public:
  ~Connection() { CloseConnection(conn_); }
  sqlite3*& get() { return conn_; }
  sqlite3* operator*() const { return conn_; }

 private:
  sqlite3* conn_ = nullptr;
};

DbCode Failed(int rc, std::string_view text, DbMsg& msg) {
  msg.Set(text);
  DbCode code = CodeFromSqlite(rc);
  return code == kDbOk ? DbCode{kDbError} : code;
}

// Opens an existing library database at the current schema version.
DbCode OpenCurrent(std::string_view path, Connection& conn, DbMsg& msg) {
  int version = 0;
  DbCode code = OpenLibrary(std::string(path), conn.get(), version, msg);
  if (code != kDbOk) return code;
  if (version < Database_SchemaVersion()) {
    int from = 0;
    std::string error;
    int rc = Database_Upgrade(*conn, from, error);
    if (rc != SQLITE_OK) return Failed(rc, "Cannot upgrade '" + std::string(path) + "': " + error, msg);
  }
  return kDbOk;
}

// OpenCurrent, then the salted hash of a new `password` (after the open, so
// a wrong path is told before the slow hash is made).
DbCode OpenAndHash(std::string_view path, std::string_view password, Connection& conn,
                   std::string& hash, DbMsg& msg) {
  DbCode code = OpenCurrent(path, conn, msg);
  if (code != kDbOk) return code;
  if (!Database_HashPassword(password, hash)) {
    msg.Set("Cannot hash the password.");
    return kDbError;
  }
  return kDbOk;
}

// Runs `body` in one immediate transaction; rolls back when it fails.
template <typename F>
DbCode InTransaction(sqlite3* conn, DbMsg& msg, F&& body) {
  std::string error;
  int rc = Database_Exec(conn, "BEGIN IMMEDIATE", {}, error);
  if (rc != SQLITE_OK) return Failed(rc, error, msg);
  DbCode code = body();
  if (code == kDbOk) {
    rc = Database_Exec(conn, "COMMIT", {}, error);
    if (rc != SQLITE_OK) code = Failed(rc, error, msg);
  }
  if (code != kDbOk && !sqlite3_get_autocommit(conn)) Database_Exec(conn, "ROLLBACK", {}, error);
  return code;
}

bool UserExists(sqlite3* conn, std::string_view user, DbCode& code, DbMsg& msg) {
  DbsResultSet rs;
  std::string error;
  int rc = Database_Query(conn, "SELECT 1 FROM pw_user WHERE user_name=?",
                          {DbsValue::Text(user)}, rs, error);
  if (rc != SQLITE_OK) {
    code = Failed(rc, error, msg);
    return false;
  }
  if (rs.rows.empty()) {
    msg.Set("Unknown user '" + std::string(user) + "'.");
    code = kDbNotFound;
    return false;
  }
  code = kDbOk;
  return true;
}

void RemoveDatabaseFiles(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((path + suffix).c_str());
}

}  // namespace

int DbAdmin_SchemaVersion() { return Database_SchemaVersion(); }

DbCode DbAdmin_CreateDatabase(std::string_view pathText, bool demo, DbMsg& msg) {
  const std::string path(pathText);
  // O_EXCL: of two programs creating the same file only one goes on, and an
  // existing file is never touched.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) {
    msg.Set("Cannot create database '" + path + "': " +
            (errno == EEXIST ? std::string("the file already exists.") : std::strerror(errno)));
    return kDbCannotOpen;
  }
  ::close(fd);
  DbCode code = kDbOk;
  {
    Connection conn;
    int rc = sqlite3_open_v2(path.c_str(), &conn.get(), SQLITE_OPEN_READWRITE, nullptr);
    std::string error;
    if (rc == SQLITE_OK) {
      sqlite3_extended_result_codes(*conn, 1);
      rc = Database_Exec(*conn, "PRAGMA journal_mode=WAL", {}, error);
    } else {
      error = *conn ? sqlite3_errmsg(*conn) : sqlite3_errstr(rc);
    }
    if (rc == SQLITE_OK) rc = Database_Exec(*conn, "PRAGMA foreign_keys=ON", {}, error);
    if (rc != SQLITE_OK) {
      code = Failed(rc, "Cannot create database '" + path + "': " + error, msg);
    } else {
      code = InTransaction(*conn, msg, [&]() -> DbCode {
        int r = Database_CreateSchema(*conn, error);
        if (r == SQLITE_OK && demo) r = Database_LoadDemo(*conn, error);
        return r == SQLITE_OK ? DbCode{kDbOk} : Failed(r, error, msg);
      });
    }
  }
  if (code != kDbOk) RemoveDatabaseFiles(path);
  return code;
}

DbCode DbAdmin_UpgradeDatabase(std::string_view path, int& from, DbMsg& msg) {
  from = 0;
  Connection conn;
  DbCode code = OpenLibrary(std::string(path), conn.get(), from, msg);
  if (code != kDbOk) return code;
  if (from >= Database_SchemaVersion()) return kDbOk;
  std::string error;
  int rc = Database_Upgrade(*conn, from, error);
  if (rc != SQLITE_OK) return Failed(rc, "Cannot upgrade '" + std::string(path) + "': " + error, msg);
  return kDbOk;
}

DbCode DbAdmin_CreateUser(std::string_view path, std::string_view user, std::string_view password,
                          std::string_view fullName, DbMsg& msg) {
  if (user.empty() || Lb_CharCount(user) > 31) {
    msg.Set("A user name has 1 to 31 characters.");
    return kDbError;
  }
  Connection conn;
  std::string hash;
  DbCode code = OpenAndHash(path, password, conn, hash, msg);
  if (code != kDbOk) return code;
  return InTransaction(*conn, msg, [&]() -> DbCode {
    std::string error;
    int rc = Database_Exec(*conn,
                           "INSERT INTO pw_user(user_name, password_hash, full_name, active) "
                           "VALUES(?,?,?,1)",
                           {DbsValue::Text(user), DbsValue::Text(hash), DbsValue::Text(fullName)},
                           error);
    if ((rc & 0xff) == SQLITE_CONSTRAINT)
      return Failed(rc, "User '" + std::string(user) + "' already exists.", msg);
    return rc == SQLITE_OK ? DbCode{kDbOk} : Failed(rc, error, msg);
  });
}

DbCode DbAdmin_SetPassword(std::string_view path, std::string_view user, std::string_view password,
                           DbMsg& msg) {
  Connection conn;
  std::string hash;
  DbCode code = OpenAndHash(path, password, conn, hash, msg);
  if (code != kDbOk) return code;
  return InTransaction(*conn, msg, [&]() -> DbCode {
    std::string error;
    int changes = 0;
    int rc = Database_Exec(*conn, "UPDATE pw_user SET password_hash=? WHERE user_name=?",
                           {DbsValue::Text(hash), DbsValue::Text(user)}, error, &changes);
    if (rc != SQLITE_OK) return Failed(rc, error, msg);
    if (changes == 0) {
      msg.Set("Unknown user '" + std::string(user) + "'.");
      return kDbNotFound;
    }
    return kDbOk;
  });
}

DbCode DbAdmin_Grant(std::string_view path, std::string_view user,
                     const std::vector<std::string>& features, bool grant, DbMsg& msg) {
  Connection conn;
  DbCode code = OpenCurrent(path, conn, msg);
  if (code != kDbOk) return code;
  return InTransaction(*conn, msg, [&]() -> DbCode {
    DbCode c = kDbOk;
    if (!UserExists(*conn, user, c, msg)) return c;
    // Every key is resolved before anything is written.
    DbsResultSet all;
    std::string error;
    int rc = Database_Query(*conn, "SELECT program_feature, privilege_number FROM program_feature",
                            {}, all, error);
    if (rc != SQLITE_OK) return Failed(rc, error, msg);
    std::map<std::string, int64_t> byKey;
    for (auto& row : all.rows) byKey[row[0].s] = row[1].i;
    std::vector<int64_t> numbers;
    for (const std::string& f : features) {
      if (f == "all") {
        for (auto& [key, number] : byKey) numbers.push_back(number);
        continue;
      }
      auto it = byKey.find(f);
      if (it == byKey.end()) {
        msg.Set("Unknown program feature '" + f + "'.");
        return kDbError;
      }
      numbers.push_back(it->second);
    }
    const char* sql = grant ? "INSERT OR IGNORE INTO pw_user_privilege(user_name, privilege_number) "
                              "VALUES(?,?)"
                            : "DELETE FROM pw_user_privilege WHERE user_name=? AND privilege_number=?";
    for (int64_t n : numbers) {
      rc = Database_Exec(*conn, sql, {DbsValue::Text(user), DbsValue::Int(n)}, error);
      if (rc != SQLITE_OK) return Failed(rc, error, msg);
    }
    return kDbOk;
  });
}

DbCode DbAdmin_ListUsers(std::string_view path, std::vector<DbUserInfo>& out, DbMsg& msg) {
  out.clear();
  Connection conn;
  DbCode code = OpenCurrent(path, conn, msg);
  if (code != kDbOk) return code;
  DbsResultSet users, grants;
  std::string error;
  int rc = Database_Query(*conn, "SELECT user_name, full_name FROM pw_user ORDER BY user_name", {},
                          users, error);
  if (rc == SQLITE_OK)
    rc = Database_Query(*conn,
                        "SELECT p.user_name, f.program_feature FROM pw_user_privilege p "
                        "JOIN program_feature f ON f.privilege_number=p.privilege_number "
                        "ORDER BY p.user_name, f.privilege_number",
                        {}, grants, error);
  if (rc != SQLITE_OK) return Failed(rc, error, msg);
  std::map<std::string, std::vector<std::string>> byUser;
  for (auto& row : grants.rows) byUser[row[0].s].push_back(row[1].s);
  for (auto& row : users.rows)
    out.push_back(DbUserInfo{row[0].s, row[1].s, byUser[row[0].s]});
  return kDbOk;
}
