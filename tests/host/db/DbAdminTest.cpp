// Databases as the admin tools make and open them: private modes of files,
// a create that is never seen half-made, an empty server database filled
// and one holding tables refused, names checked before they are stored,
// and plain words for a file or folder that cannot be written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "TempDb.h"

using testdb::Session;
using testdb::TempDb;
namespace fs = std::filesystem;

namespace {

// The permission bits of `path`; -1 when it does not exist.
int ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// Sets the process umask for the scope.
class Umask {
 public:
  explicit Umask(mode_t mask) : old_(umask(mask)) {}
  ~Umask() { umask(old_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t old_;
};

// Runs `body` in a child process as an ordinary user (nobody, when the
// tests run as root: root writes anywhere) and returns what it wrote to
// the pipe.
template <typename F>
std::string AsOrdinaryUser(F body) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
    const std::string text = body();
    if (write(fds[1], text.data(), text.size()) < 0) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  std::string out;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return out;
}

size_t CountOf(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(DbAdmin, NewFilesAndTheirLogsArePrivateToTheOwner) {
  ACQ_SQLITE_ONLY("about the modes of database files");
  TempDb tmp(false);
  Umask open(022);   // the usual umask would give 0644
  DbMsg msg;
  ASSERT_EQ(DbAdmin_CreateDatabase(tmp.path(), false, msg), kDbOk) << msg.text;
  EXPECT_EQ(ModeOf(tmp.path()), 0600);
  ASSERT_EQ(DbAdmin_CreateUser(tmp.path(), "admin", "admin", "", msg), kDbOk) << msg.text;
  Session s;
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  EXPECT_EQ(ModeOf(tmp.path() + "-wal"), 0600);
  EXPECT_EQ(ModeOf(tmp.path() + "-shm"), 0600);
  for (const auto& entry : fs::directory_iterator(tmp.dir()))   // no temporary left
    EXPECT_EQ(entry.path().filename().string().find(".init-"), std::string::npos) << entry.path();
}

// A create killed at any moment leaves either no library or a complete one
// (a file under the name, or the tables in the server database); what it
// left under a temporary name never blocks the next create.
TEST(DbAdmin, KilledCreateNeverLeavesAHalfMadeDatabase) {
  for (int delayMs : {0, 20, 60, 150}) {
    SCOPED_TRACE(delayMs);
    testlib::TestLibrary lib(false);
    const pid_t child = fork();
    if (child == 0) {
      DbMsg msg;
      _exit(DbAdmin_CreateDatabase(lib.Target(), true, msg) == kDbOk ? 0 : 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    // The server ends the killed client's transaction, committed or not,
    // only once it sees the connection gone.
    for (int wait = 0; testlib::OnServer() && wait < 3000; ++wait) {
      if (lib.Rows("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                   "AND pid <> pg_backend_pid()") == std::vector<std::string>{"0"})
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    int from = 0;
    DbMsg msg;
    const DbCode code = DbAdmin_UpgradeDatabase(lib.Target(), from, msg);
    if (code != kDbOk) {   // nothing made: no file, or an empty database
      if (testlib::OnServer())
        EXPECT_EQ(lib.Rows("SELECT count(*) FROM information_schema.tables WHERE "
                           "table_schema = current_schema()"),
                  std::vector<std::string>{"0"}) << msg.text;
      else
        EXPECT_FALSE(fs::exists(lib.Target())) << msg.text;
      continue;
    }
    EXPECT_EQ(from, DbAdmin_SchemaVersion());
    EXPECT_EQ(lib.Rows("SELECT count(*) FROM pw_user"), std::vector<std::string>{"3"});
  }
  if (testlib::OnServer()) return;
  TempDb tmp(false);
  std::ofstream(tmp.path() + ".init-Ab12Cd") << std::string(4096, '\0');   // an old leftover
  DbMsg msg;
  ASSERT_EQ(DbAdmin_CreateDatabase(tmp.path(), false, msg), kDbOk) << msg.text;
  EXPECT_TRUE(fs::exists(tmp.path() + ".init-Ab12Cd"));   // not ours to remove
}

// `acq init` on a server fills an empty database the site made, in one
// transaction, and leaves one that holds tables (of another program, or a
// library already) as it was.
TEST(DbAdmin, InitFillsAnEmptyServerDatabaseOnly) {
  if (!testlib::OnServer()) GTEST_SKIP() << "about databases on a server";
  testlib::TestLibrary other(false), empty(false);
  ASSERT_EQ(other.Exec("CREATE TABLE customers(id INTEGER NOT NULL, name TEXT)"), "");
  ASSERT_EQ(other.Exec("INSERT INTO customers(id, name) VALUES(1, 'O''Brien')"), "");
  const std::string tables = "SELECT table_name FROM information_schema.tables WHERE "
                             "table_schema = current_schema() ORDER BY table_name";
  DbMsg msg;
  EXPECT_EQ(DbAdmin_CreateDatabase(other.Target(), true, msg), kDbCannotOpen);
  EXPECT_EQ(msg.text, "Cannot create the library in '" + other.Target() +
                          "': it already holds tables (1); acq init needs an empty database.");
  EXPECT_EQ(other.Rows(tables), std::vector<std::string>{"customers"});
  EXPECT_EQ(other.Rows("SELECT id, name FROM customers"), std::vector<std::string>{"1|O'Brien"});

  ASSERT_EQ(DbAdmin_CreateDatabase(empty.Target(), false, msg), kDbOk) << msg.text;
  const std::vector<std::string> made = empty.Rows(tables);
  EXPECT_GT(made.size(), 50u);
  EXPECT_EQ(DbAdmin_CreateDatabase(empty.Target(), true, msg), kDbCannotOpen);
  EXPECT_NE(msg.text.find("acq init needs an empty database."), std::string::npos) << msg.text;
  EXPECT_EQ(empty.Rows(tables), made);
  EXPECT_EQ(empty.Rows("SELECT count(*) FROM pw_user"), std::vector<std::string>{"0"});
  ASSERT_EQ(DbAdmin_CreateUser(empty.Target(), "admin", "admin", "", msg), kDbOk) << msg.text;
  ASSERT_EQ(DbAdmin_Grant(empty.Target(), "admin", {"poFind", "poFind", "all"}, true, msg), kDbOk)
      << msg.text;
  std::vector<DbUserInfo> users;
  ASSERT_EQ(DbAdmin_ListUsers(empty.Target(), users, msg), kDbOk) << msg.text;
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].features.size(), 62u);
}

TEST(DbAdmin, NamesAreCheckedBeforeTheyAreStored) {
  TempDb tmp;
  const std::string name31(31, 'a'), long100k(100000, 'x');
  struct Case {
    std::string user, fullName;
    const char* error;   // nullptr: stored
  };
  const Case cases[] = {
      {"", "", "A user name has 1 to 31 characters"},
      {name31 + "b", "", "A user name has 1 to 31 characters"},
      {long100k, "", "A user name has 1 to 31 characters"},
      {"bob smith", "", "A user name has 1 to 31 characters"},
      {"o'brien", "", "A user name has 1 to 31 characters"},
      {"tab\there", "", "A user name has 1 to 31 characters"},
      {"zero\u200Bwidth", "", "A user name has 1 to 31 characters"},   // looks like "zerowidth"
      {"b\xFFob", "", "A user name must be UTF-8 text."},
      {"\xC0\xAF", "", "A user name must be UTF-8 text."},              // overlong '/'
      {"carol", std::string(61, 'c'), "A full name has at most 60 characters"},
      {"carol", long100k, "A full name has at most 60 characters"},
      {"carol", "Carol\nSmith", "A full name has at most 60 characters"},
      {"carol", "Car\xE9", "A full name has at most 60 characters"},   // Latin-1, not UTF-8
      {name31, std::string(60, 'f'), nullptr},
      {"jos\xC3\xA9.mu\xC3\xB1oz@east", "Jos\xC3\xA9 Mu\xC3\xB1oz", nullptr},
      {"\xE5\xB1\xB1\xE7\x94\xB0", "\xE5\xB1\xB1\xE7\x94\xB0 \xE5\xA4\xAA\xE9\x83\x8E", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user.substr(0, 40));
    DbMsg msg;
    const DbCode code = DbAdmin_CreateUser(tmp.path(), c.user, "pw", c.fullName, msg);
    if (c.error == nullptr) {
      EXPECT_EQ(code, kDbOk) << msg.text;
      continue;
    }
    EXPECT_EQ(code, kDbError);
    EXPECT_EQ(msg.text.rfind(c.error, 0), 0u) << msg.text;
    EXPECT_LT(msg.text.size(), 300u);   // the name is quoted only in part
  }
  std::vector<DbUserInfo> users;
  DbMsg msg;
  ASSERT_EQ(DbAdmin_ListUsers(tmp.path(), users, msg), kDbOk);
  EXPECT_EQ(users.size(), 6u);   // the demo's three and the three good ones
}

TEST(DbAdmin, UnwritableFileOrFolderIsToldInPlainWords) {
  ACQ_SQLITE_ONLY("about file and folder permissions");
  TempDb tmp;
  fs::permissions(tmp.dir(), fs::perms::owner_all | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
  // What the log-in and a grant of an ordinary user say.
  const auto attempt = [&] {
    return AsOrdinaryUser([&] {
      DbMsg grant, login;
      HDb db = nullptr;
      _DbLogin(db, "sqlite:" + tmp.path(), "admin", "admin", "", login);
      _DbLogout(&db);
      DbAdmin_Grant(tmp.path(), "viewer", {"poEdit"}, true, grant);
      return login.text + "\n" + grant.text;
    });
  };
  // The file is the ordinary user's to write, the folder is not.
  ASSERT_EQ(chmod(tmp.path().c_str(), 0666), 0);
  ASSERT_EQ(chmod(tmp.dir().c_str(), 0555), 0);
  std::string shown = attempt();
  EXPECT_EQ(CountOf(shown, "the folder '" + tmp.dir() + "' is not writable for you"), 2u)
      << shown;
  // The folder is writable, the file is not (SQLite would open it to read).
  ASSERT_EQ(chmod(tmp.dir().c_str(), 0777), 0);
  ASSERT_EQ(chmod(tmp.path().c_str(), 0444), 0);
  shown = attempt();
  EXPECT_EQ(CountOf(shown, "the file is read-only for you"), 2u) << shown;
  chmod(tmp.dir().c_str(), 0700);
}
