// Administration of library databases for the host's tools: create (with
// the demo library on request), upgrade, users, passwords and privileges,
// on an SQLite file or a database on a server alike. Each call opens the
// database itself and does its writes in one transaction.
//
// Only DbAdmin_UpgradeDatabase (and a successful log-in) changes a
// database's schema: the user commands work on it as it is (the users
// tables are there since the first version) and, when a statement fails on
// an older one, say that it needs `acq upgrade`.
//
// A new file is built under a temporary name beside the target, private to
// its owner, and renamed into place only when complete: a killed `acq init`
// never leaves a half-made file under the name given, and an existing file
// is never replaced. A server's database is made by the site; `acq init`
// fills it, empty, in one transaction, so it never holds half a library
// either.
#include "host/db/DbAdmin.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "host/db/DbSession.h"
#include "host/sys/LbStr.h"

namespace {

using namespace pwdb;

constexpr size_t kUserNameChars = 31;   // what the log-in record holds
constexpr size_t kFullNameChars = 60;   // pw_user.full_name VARCHAR(60)
constexpr size_t kPathChars = 200;      // of a path quoted in a message

std::string Quoted(std::string_view text, size_t maxChars = 60) {
  return "'" + Lb_CutForMessage(text, maxChars) + "'";
}

// A database named in a message: a file's path, or a server URI without
// its password.
std::string QuotedTarget(std::string_view target) {
  return Quoted(DbEngine_ShownTarget(target), kPathChars);
}

// The plain reason a file cannot be written (DbAdmin_WhyNotWritable); a
// database on a server has no file here, and its server's text stands.
std::string WhyFileNotWritable(const std::string& target) {
  return DbEngine_IsServerTarget(target) ? std::string() : DbAdmin_WhyNotWritable(target);
}

DbCode Failed(DbCode code, std::string_view text, DbMsg& msg) {
  msg.Set(text);
  return code == kDbOk ? DbCode{kDbError} : code;
}

// A file that could not be opened: when it is for want of write access, the
// plain reason and what to do, in place of SQLite's "attempt to write a
// readonly database".
void ExplainUnwritable(const std::string& path, DbMsg& msg) {
  if (std::string why = WhyFileNotWritable(path); !why.empty())
    msg.Set("Cannot open database " + Quoted(path, kPathChars) + ": " + why);
}

// An existing library database opened for one admin call, as it is (never
// upgraded); closed when the holder leaves scope.
class AdminFile {
 public:
  AdminFile() = default;
  ~AdminFile() = default;
  AdminFile(const AdminFile&) = delete;
  AdminFile& operator=(const AdminFile&) = delete;

  DbCode Open(std::string_view path, DbMsg& msg) {
    path_ = std::string(path);
    DbCode code = OpenLibrary(path_, conn_, version_, msg);
    if (code == kDbCannotOpen) ExplainUnwritable(path_, msg);
    return code;
  }
  DbConnection& conn() const { return *conn_; }

  // A statement failed: the engine's text, and on a database of an older
  // schema the advice to upgrade it (the statement may need a newer table);
  // a write to a file this process may not write says so plainly.
  DbCode SqlFailed(DbCode rc, std::string_view text, DbMsg& msg) const {
    if (conn_->ErrorWasReadOnly()) {
      if (std::string why = WhyFileNotWritable(path_); !why.empty())
        return Failed(rc, "Cannot write database " + Quoted(path_, kPathChars) + ": " + why, msg);
    }
    std::string shown(text);
    const int current = Database_SchemaVersion();
    if (version_ < current)
      shown += " The database has schema version " + std::to_string(version_) +
               " and this program needs version " + std::to_string(current) +
               ": run 'acq upgrade --db " +
               Lb_CutForMessage(DbEngine_ShownTarget(path_), kPathChars) + "' first.";
    return Failed(rc, shown, msg);
  }

 private:
  std::unique_ptr<DbConnection> conn_;
  std::string path_;
  int version_ = 0;
};

// Runs `body` in one transaction (it takes the write lock as it begins);
// rolls back when it fails.
template <typename F>
DbCode InTransaction(DbConnection& conn, DbMsg& msg, F&& body) {
  DbCode rc = conn.Begin();
  if (rc != kDbOk) return Failed(rc, conn.ErrorText(), msg);
  DbCode code = body();
  if (code == kDbOk && (rc = conn.Commit()) != kDbOk) code = Failed(rc, conn.ErrorText(), msg);
  if (code != kDbOk && conn.InTransaction()) conn.Rollback();
  return code;
}

DbCode UnknownUser(std::string_view user, DbMsg& msg) {
  msg.Set("Unknown user " + Quoted(user) + ".");
  return kDbNotFound;
}

bool UserExists(const AdminFile& file, std::string_view user, DbCode& code, DbMsg& msg) {
  DbsResultSet rs;
  std::string error;
  DbCode rc = Database_Query(file.conn(), "SELECT 1 FROM pw_user WHERE user_name=?",
                          {DbsValue::Text(user)}, rs, error);
  if (rc != kDbOk) {
    code = file.SqlFailed(rc, error, msg);
    return false;
  }
  if (rs.rows.empty()) {
    code = UnknownUser(user, msg);
    return false;
  }
  code = kDbOk;
  return true;
}

// Opens `file`, then the salted hash of a new `password` (after the open, so
// a wrong path is told before the slow hash is made).
DbCode OpenAndHash(std::string_view path, std::string_view password, AdminFile& file,
                   std::string& hash, DbMsg& msg) {
  DbCode code = file.Open(path, msg);
  if (code != kDbOk) return code;
  if (!Database_HashPassword(password, hash)) {
    msg.Set("Cannot hash the password.");
    return kDbError;
  }
  return kDbOk;
}

// ---- names ---------------------------------------------------------------------------

// Spaces and invisible formatting characters beyond ASCII: a name holding
// one looks like another name, or like none.
bool IsInvisible(char32_t c) {
  return c == 0xA0 || c == 0xAD || c == 0x1680 || c == 0x180E || (c >= 0x2000 && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202F) || (c >= 0x205F && c <= 0x206F) || c == 0x3000 ||
         c == 0xFEFF || (c >= 0xFFF0 && c <= 0xFFFF);
}

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

bool IsUserNameChar(char32_t c) {
  if (c < 0x80)
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '-' || c == '@';
  return !IsControl(c) && !IsInvisible(c);
}

// ---- creating a file ----------------------------------------------------------------------

// The temporary files of a database being built; removed unless kept.
class TempDatabase {
 public:
  explicit TempDatabase(std::string path) : path_(std::move(path)) {}
  ~TempDatabase() {
    if (remove_)
      for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        ::unlink((path_ + suffix).c_str());
  }
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;
  const std::string& path() const { return path_; }
  void Keep() { remove_ = false; }

 private:
  std::string path_;
  bool remove_ = true;
};

// Creates the schema (and the demo library) in the empty file `temp` and
// closes it with everything in the main file (no -wal left to lose in the
// rename). Messages name `shown`, the file the person asked for.
DbCode BuildDatabase(const std::string& temp, const std::string& shown, bool demo, DbMsg& msg) {
  const std::string prefix = "Cannot create database " + Quoted(shown, kPathChars) + ": ";
  std::unique_ptr<DbConnection> conn;
  std::string error;
  // A new file that cannot be opened is a failed statement, not a missing
  // database.
  DbCode code = DbEngine_Open(temp, false, conn, error) == kDbOk ? DbCode{kDbOk} : DbCode{kDbError};
  if (code == kDbOk && conn->Configure() != kDbOk) {
    code = conn->ErrorCode();
    error = conn->ErrorText();
  }
  if (code != kDbOk) {
    code = Failed(code, prefix + error, msg);
  } else {
    code = InTransaction(*conn, msg, [&]() -> DbCode {
      DbCode r = Database_CreateSchema(*conn, error);
      if (r == kDbOk && demo) r = Database_LoadDemo(*conn, error);
      return r == kDbOk ? DbCode{kDbOk} : Failed(r, error, msg);
    });
  }
  if (code == kDbOk && conn->Checkpoint() != kDbOk)
    code = Failed(conn->ErrorCode(), prefix + conn->ErrorText(), msg);
  if (conn && conn->Close() != kDbOk && code == kDbOk) {
    msg.Set(prefix + "the new file could not be closed.");
    code = kDbError;
  }
  struct stat st {};
  if (code == kDbOk && ::stat((temp + "-wal").c_str(), &st) == 0 && st.st_size > 0) {
    msg.Set(prefix + "the new file's log was not written back.");
    code = kDbError;
  }
  return code;
}

// Fills the empty database on a server that `target` names with the schema
// (and the demo library) in one transaction: it holds the whole library
// after the commit, or nothing.
DbCode FillServerDatabase(const std::string& target, bool demo, DbMsg& msg) {
  const std::string prefix = "Cannot create the library in " + QuotedTarget(target) + ": ";
  std::unique_ptr<DbConnection> conn;
  std::string error;
  if (DbEngine_Open(target, false, conn, error) != kDbOk)
    return Failed(kDbCannotOpen, "Cannot open database " + QuotedTarget(target) + ": " +
                                     OneLineText(error), msg);
  if (conn->Configure() != kDbOk)
    return Failed(kDbCannotOpen, prefix + OneLineText(conn->ErrorText()), msg);
  return InTransaction(*conn, msg, [&]() -> DbCode {
    // Under the schema lock, so of two `acq init` at once the second finds
    // the first one's tables.
    DbCode r = conn->LockSchema();
    std::vector<std::string> tables;
    if (r == kDbOk) r = conn->TableNames(tables);
    if (r != kDbOk) return Failed(r, prefix + OneLineText(conn->ErrorText()), msg);
    if (!tables.empty())
      return Failed(kDbCannotOpen,
                    prefix + "it already holds tables (" + std::to_string(tables.size()) +
                        "); acq init needs an empty database.",
                    msg);
    r = Database_CreateSchema(*conn, error);
    if (r == kDbOk && demo) r = Database_LoadDemo(*conn, error);
    return r == kDbOk ? DbCode{kDbOk} : Failed(r, prefix + OneLineText(error), msg);
  });
}

// Gives the complete file `temp` the name `path`, failing (EEXIST) rather
// than replacing a file that appeared meanwhile; 0 or an errno value.
int MoveIntoPlace(const std::string& temp, const std::string& path) {
  if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the no-replace rename: a second link does the
  // same (it fails on an existing name), then the temporary name goes.
  if (::link(temp.c_str(), path.c_str()) != 0) return errno;
  ::unlink(temp.c_str());
  return 0;
}

// Makes the new name durable: the folder's entry is written to disk.
void SyncFolder(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int DbAdmin_SchemaVersion() { return Database_SchemaVersion(); }

std::string DbAdmin_WhyNotWritable(std::string_view pathText) {
  namespace fs = std::filesystem;
  const std::string path(pathText);
  std::error_code ec;
  fs::path folder = fs::absolute(fs::path(path), ec).parent_path();
  if (ec) folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  const auto writable = [](const std::string& p) {
    return ::faccessat(AT_FDCWD, p.c_str(), W_OK, AT_EACCESS) == 0;
  };
  const auto exists = [](const std::string& p) { return ::access(p.c_str(), F_OK) == 0; };
  if (!exists(path)) return {};   // a missing file is told as such
  if (!writable(path))
    return "the file is read-only for you. Everyone who uses the database needs write access "
           "to it (and to its -wal and -shm files).";
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string side = path + suffix;
    if (exists(side) && !writable(side))
      return "its " + std::string(suffix + 1) + " file " + Quoted(side, kPathChars) +
             " is read-only for you. Everyone who uses the database needs write access to it: "
             "give the files one group and group write access (chmod 0660).";
  }
  if (!writable(folder.string()))
    return "the folder " + Quoted(folder.string(), kPathChars) +
           " is not writable for you, and the database keeps its -wal and -shm files there. "
           "Make the folder writable for everyone who uses the database.";
  return {};
}

DbCode DbAdmin_CreateDatabase(std::string_view pathText, bool demo, DbMsg& msg) {
  const std::string path(pathText);
  if (DbEngine_IsServerTarget(path)) return FillServerDatabase(path, demo, msg);
  const std::string prefix = "Cannot create database " + Quoted(path, kPathChars) + ": ";
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    msg.Set(prefix + "the file already exists.");
    return kDbCannotOpen;
  }
  // mkstemp makes the file with mode 0600: the password hashes inside are
  // for the owner only until the site shares the file on purpose.
  std::string name = path + ".init-XXXXXX";
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    msg.Set(prefix + std::strerror(errno));
    return kDbCannotOpen;
  }
  ::close(fd);
  TempDatabase temp(name);
  DbCode code = BuildDatabase(temp.path(), path, demo, msg);
  if (code != kDbOk) return code;
  if (int error = MoveIntoPlace(temp.path(), path); error != 0) {
    msg.Set(prefix + (error == EEXIST ? std::string("the file already exists.")
                                      : std::string(std::strerror(error))));
    return kDbCannotOpen;
  }
  temp.Keep();   // it is the database now (or, after link(), gone)
  SyncFolder(path);
  return kDbOk;
}

DbCode DbAdmin_UpgradeDatabase(std::string_view pathText, int& from, DbMsg& msg) {
  from = 0;
  const std::string path(pathText);
  std::unique_ptr<DbConnection> conn;
  DbCode code = OpenLibrary(path, conn, from, msg);
  if (code == kDbCannotOpen) ExplainUnwritable(path, msg);
  if (code != kDbOk) return code;
  if (from < Database_SchemaVersion()) {
    std::string error;
    DbCode rc = Database_Upgrade(*conn, from, error);
    if (rc != kDbOk) {
      const std::string why = WhyFileNotWritable(path);
      code = Failed(rc, "Cannot upgrade " + QuotedTarget(path) + ": " +
                            (why.empty() ? error : why), msg);
    }
  }
  return code;
}

bool DbAdmin_CheckUserName(std::string_view user, std::string& error) {
  if (!Lb_IsValidUtf8(user)) {
    error = "A user name must be UTF-8 text.";
    return false;
  }
  const std::vector<char32_t> chars = Lb_CodePoints(user);
  bool fits = !chars.empty() && chars.size() <= kUserNameChars;
  for (char32_t c : chars) fits = fits && IsUserNameChar(c);
  if (!fits) {
    error = "A user name has 1 to " + std::to_string(kUserNameChars) +
            " characters: letters, digits, '.', '_', '-' and '@' (no spaces, quotes or "
            "control characters); " + Quoted(user, 40) + " is not one.";
    return false;
  }
  return true;
}

bool DbAdmin_CheckFullName(std::string_view fullName, std::string& error) {
  bool fits = Lb_IsValidUtf8(fullName);
  if (fits) {
    const std::vector<char32_t> chars = Lb_CodePoints(fullName);
    fits = chars.size() <= kFullNameChars;
    for (char32_t c : chars) fits = fits && !IsControl(c) && c != 0x2028 && c != 0x2029;
  }
  if (!fits) {
    error = "A full name has at most " + std::to_string(kFullNameChars) +
            " characters of UTF-8 text, on one line.";
    return false;
  }
  return true;
}

DbCode DbAdmin_CreateUser(std::string_view path, std::string_view user, std::string_view password,
                          std::string_view fullName, DbMsg& msg) {
  std::string error;
  if (!DbAdmin_CheckUserName(user, error) || !DbAdmin_CheckFullName(fullName, error)) {
    msg.Set(error);
    return kDbError;
  }
  AdminFile file;
  std::string hash;
  DbCode code = OpenAndHash(path, password, file, hash, msg);
  if (code != kDbOk) return code;
  return InTransaction(file.conn(), msg, [&]() -> DbCode {
    DbCode rc = Database_Exec(file.conn(),
                           "INSERT INTO pw_user(user_name, password_hash, full_name, active) "
                           "VALUES(?,?,?,1)",
                           {DbsValue::Text(user), DbsValue::Text(hash), DbsValue::Text(fullName)},
                           error);
    if (rc == kDbConstraint)
      return Failed(rc, "User " + Quoted(user) + " already exists.", msg);
    return rc == kDbOk ? DbCode{kDbOk} : file.SqlFailed(rc, error, msg);
  });
}

DbCode DbAdmin_SetPassword(std::string_view path, std::string_view user, std::string_view password,
                           DbMsg& msg) {
  AdminFile file;
  std::string hash;
  DbCode code = OpenAndHash(path, password, file, hash, msg);
  if (code != kDbOk) return code;
  return InTransaction(file.conn(), msg, [&]() -> DbCode {
    std::string error;
    int changes = 0;
    DbCode rc = Database_Exec(file.conn(), "UPDATE pw_user SET password_hash=? WHERE user_name=?",
                           {DbsValue::Text(hash), DbsValue::Text(user)}, error, &changes);
    if (rc != kDbOk) return file.SqlFailed(rc, error, msg);
    return changes == 0 ? UnknownUser(user, msg) : DbCode{kDbOk};
  });
}

DbCode DbAdmin_Grant(std::string_view path, std::string_view user,
                     const std::vector<std::string>& features, bool grant, DbMsg& msg) {
  AdminFile file;
  DbCode code = file.Open(path, msg);
  if (code != kDbOk) return code;
  return InTransaction(file.conn(), msg, [&]() -> DbCode {
    DbCode c = kDbOk;
    if (!UserExists(file, user, c, msg)) return c;
    // Every key is resolved before anything is written.
    DbsResultSet all;
    std::string error;
    DbCode rc = Database_Query(file.conn(),
                            "SELECT program_feature, privilege_number FROM program_feature", {},
                            all, error);
    if (rc != kDbOk) return file.SqlFailed(rc, error, msg);
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
        msg.Set("Unknown program feature " + Quoted(f) + ".");
        return kDbError;
      }
      numbers.push_back(it->second);
    }
    // A privilege the user holds already is left as it is (also when
    // another grant adds it meanwhile).
    const char* sql = grant ? "INSERT OR IGNORE INTO pw_user_privilege(user_name, "
                              "privilege_number) VALUES(?,?)"
                            : "DELETE FROM pw_user_privilege WHERE user_name=? AND privilege_number=?";
    for (int64_t n : numbers) {
      rc = Database_Exec(file.conn(), sql, {DbsValue::Text(user), DbsValue::Int(n)}, error);
      if (rc != kDbOk) return file.SqlFailed(rc, error, msg);
    }
    return kDbOk;
  });
}

DbCode DbAdmin_ListUsers(std::string_view path, std::vector<DbUserInfo>& out, DbMsg& msg) {
  out.clear();
  AdminFile file;
  DbCode code = file.Open(path, msg);
  if (code != kDbOk) return code;
  DbsResultSet users, grants;
  std::string error;
  DbCode rc = Database_Query(file.conn(),
                          "SELECT user_name, full_name FROM pw_user ORDER BY user_name", {}, users,
                          error);
  if (rc == kDbOk)
    rc = Database_Query(file.conn(),
                        "SELECT p.user_name, f.program_feature FROM pw_user_privilege p "
                        "JOIN program_feature f ON f.privilege_number=p.privilege_number "
                        "ORDER BY p.user_name, f.privilege_number",
                        {}, grants, error);
  if (rc != kDbOk) return file.SqlFailed(rc, error, msg);
  std::map<std::string, std::vector<std::string>> byUser;
  for (auto& row : grants.rows) byUser[row[0].s].push_back(row[1].s);
  for (auto& row : users.rows)
    out.push_back(DbUserInfo{row[0].s, row[1].s, byUser[row[0].s]});
  return kDbOk;
}
