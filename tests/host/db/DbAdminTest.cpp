// Database files as the admin tools make and open them: private modes, a
// create that is never seen half-made, names checked before they are
// stored, and plain words for a file or folder that cannot be written.
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

// A create killed at any moment leaves either no file under the name or a
// complete one; what it left under its temporary name never blocks the
// next create.
TEST(DbAdmin, KilledCreateNeverLeavesAHalfMadeFile) {
  TempDb tmp(false);
  for (int delayMs : {0, 20, 60, 150}) {
    SCOPED_TRACE(delayMs);
    fs::remove(tmp.path());
    const pid_t child = fork();
    if (child == 0) {
      DbMsg msg;
      _exit(DbAdmin_CreateDatabase(tmp.path(), true, msg) == kDbOk ? 0 : 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (!fs::exists(tmp.path())) continue;
    int from = 0;
    DbMsg msg;
    EXPECT_EQ(DbAdmin_UpgradeDatabase(tmp.path(), from, msg), kDbOk) << msg.text;
    EXPECT_EQ(from, DbAdmin_SchemaVersion());
  }
  fs::remove(tmp.path());
  std::ofstream(tmp.path() + ".init-Ab12Cd") << std::string(4096, '\0');   // an old leftover
  DbMsg msg;
  ASSERT_EQ(DbAdmin_CreateDatabase(tmp.path(), false, msg), kDbOk) << msg.text;
  EXPECT_TRUE(fs::exists(tmp.path() + ".init-Ab12Cd"));   // not ours to remove
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
