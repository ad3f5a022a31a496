// Transactions, write conflicts between sessions and between programs, and
// the key generator. The two-program cases fork: each child opens its own
// sessions (connections are never carried across a fork) and reports
// through its exit status and a file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <set>
#include <thread>

#include "host/sys/Bucket.h"
#include "TempDb.h"

using testdb::Session;
using testdb::TempDb;

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

int32_t QueryInt(HDb db, const std::string& sql) {
  int32_t value = -1;
  DbMsg msg;
  EXPECT_EQ(_DbExecSP(db, sql, "", &value, sizeof value, msg), kDbOk) << msg.text;
  return value;
}

DbCode Exec(HDb db, const std::string& sql, DbMsg& msg) {
  return _DbExecSP(db, sql, "", nullptr, 0, msg);
}

// Children wait at the gate until the parent opens it, so they start together.
class Gate {
 public:
  Gate() { EXPECT_EQ(pipe(fds_), 0); }
  ~Gate() { close(fds_[0]); close(fds_[1]); }
  void Wait() const { char c; (void)!read(fds_[0], &c, 1); }
  void Open(int children) const {
    for (int i = 0; i < children; ++i) (void)!write(fds_[1], "g", 1);
  }

 private:
  int fds_[2] = {-1, -1};
};

template <typename F>
pid_t Spawn(F body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

// Exit status of `pid`; -1 when it crashed or had to be killed after
// `seconds` (a hang is a failure, never a stuck test).
int WaitFor(pid_t pid, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(DbTrans, InnerRollbackUndoesOnlyItsLevel) {
  TempDb tmp;
  Session s, other;
  ASSERT_EQ(s.code, kDbOk);
  DbMsg msg;
  EXPECT_EQ(_DbRollbackTrans(s, "", msg), kDbMisuse);
  EXPECT_EQ(_DbCommitTrans(s, msg), kDbMisuse);

  auto add = [&](const char* code) {
    return Exec(s, std::string("insert into location(location, name) values('") + code + "','x')",
                msg);
  };
  _DbBeginTrans(s);
  ASSERT_EQ(add("A"), kDbOk) << msg.text;
  _DbBeginTrans(s);
  ASSERT_EQ(add("B"), kDbOk);
  _DbBeginTrans(s);
  ASSERT_EQ(add("C"), kDbOk);
  EXPECT_EQ(_DbTransDepth(s), 3);
  ASSERT_EQ(_DbCommitTrans(s, msg), kDbOk) << msg.text;     // C into level 2
  ASSERT_EQ(_DbRollbackTrans(s, "", msg), kDbOk) << msg.text;   // level 2: B and C go
  EXPECT_EQ(add("A"), kDbConstraint);   // a failed statement leaves the transaction usable
  ASSERT_EQ(add("D"), kDbOk) << msg.text;
  EXPECT_EQ(QueryInt(other, "select count(*) from location"), 2);   // nothing visible yet
  ASSERT_EQ(_DbCommitTrans(s, msg), kDbOk) << msg.text;
  EXPECT_EQ(_DbTransDepth(s), 0);
  EXPECT_EQ(QueryInt(other, "select count(*) from location where location in ('A','B','C','D')"),
            2);
}

TEST(DbTrans, ConflictingWriterGetsBusyWithinTheTimeout) {
  TempDb tmp;
  Session a, b;
  DbMsg msg;
  // a holds the write lock: b's write waits at most the busy timeout.
  _DbBeginTrans(a);
  ASSERT_EQ(Exec(a, "update location set name='A' where location='MAIN'", msg), kDbOk);
  auto start = Clock::now();
  EXPECT_EQ(Exec(b, "update location set name='B' where location='MAIN'", msg), kDbBusy);
  EXPECT_LT(MsSince(start), 1500);
  EXPECT_EQ(msg.text.find("database is locked"), 0u) << msg.text;
  ASSERT_EQ(_DbCommitTrans(a, msg), kDbOk);

  // b read before a's commit: its snapshot is stale, the write fails at once.
  _DbBeginTrans(b);
  EXPECT_EQ(QueryInt(b, "select count(*) from location"), 2);
  ASSERT_EQ(Exec(a, "update location set name='A2' where location='MAIN'", msg), kDbOk);
  EXPECT_EQ(Exec(b, "update location set name='B' where location='MAIN'", msg), kDbBusy);
  // Once failed, the transaction is rolled back and run again, and succeeds.
  ASSERT_EQ(_DbRollbackTrans(b, "", msg), kDbOk);
  _DbBeginTrans(b);
  ASSERT_EQ(Exec(b, "update location set name='B' where location='MAIN'", msg), kDbOk);
  ASSERT_EQ(_DbCommitTrans(b, msg), kDbOk);
}

// Two programs run read-modify-write on one row at the same moment; each
// retries its whole transaction on a conflict. Both increments must land.
TEST(DbTrans, TwoProgramsWritingAtOnceLoseNoWrite) {
  TempDb tmp;
  ASSERT_TRUE(tmp.Exec("CREATE TABLE counter(id INTEGER PRIMARY KEY, value INTEGER NOT NULL);"
                       "INSERT INTO counter VALUES(1, 0);"
                       "CREATE TABLE landed(writer INTEGER NOT NULL)"));
  Gate gate;
  auto writer = [&](int id) {
    return Spawn([&, id]() -> int {
      Session s;
      if (s.code != kDbOk) return 20;
      gate.Wait();
      int conflicts = 0;
      int64_t slowestFailure = 0;
      for (int attempt = 1;; ++attempt) {
        if (attempt > 50) return 21;
        DbMsg msg;
        BucketHold row;
        _DbBeginTrans(s);
        auto start = Clock::now();
        DbCode code = _DbLoadQuery(s, row.get(), kLoadCreate, 1, 1, 0, "counter", "*", "id=1",
                                   "", msg);
        if (code == kDbOk) {
          // Both programs now hold a snapshot with the same value.
          std::this_thread::sleep_for(std::chrono::milliseconds(150));
          _ColSetInt(*row, 1, 2, _ColGetInt(*row, 1, 2) + 1);
          start = Clock::now();
          code = _DbxUpdateRowU(s, "counter", *row, 1, 1, msg);
        }
        if (code == kDbOk)
          code = Exec(s, "insert into landed(writer) values(" + std::to_string(id) + ")", msg);
        if (code == kDbOk) code = _DbCommitTrans(s, msg);
        if (code == kDbOk) break;
        slowestFailure = std::max(slowestFailure, MsSince(start));
        if (!DbIsRetryable(code)) return 22;
        ++conflicts;
        if (_DbRollbackTrans(s, "", msg) != kDbOk) return 23;
      }
      std::ofstream(tmp.dir() + "/writer" + std::to_string(id)) << conflicts << " "
                                                                 << slowestFailure;
      return 0;
    });
  };
  pid_t first = writer(1), second = writer(2);
  gate.Open(2);
  EXPECT_EQ(WaitFor(first, 60), 0);
  EXPECT_EQ(WaitFor(second, 60), 0);

  int conflicts = 0;
  for (int id : {1, 2}) {
    int n = 0;
    int64_t slowest = 0;
    std::ifstream(tmp.dir() + "/writer" + std::to_string(id)) >> n >> slowest;
    conflicts += n;
    EXPECT_LT(slowest, 1500) << "writer " << id << " waited too long for its conflict";
  }
  EXPECT_GE(conflicts, 1);   // they did collide
  Session s;
  EXPECT_EQ(QueryInt(s, "select value from counter where id=1"), 2);
  EXPECT_EQ(QueryInt(s, "select count(distinct writer) from landed"), 2);
}

TEST(DbKeys, SessionsAndProgramsNeverShareAKey) {
  TempDb tmp;
  DbMsg msg;
  {
    Session a, b;
    int32_t k1 = 0, k2 = 0, k3 = 0;
    ASSERT_EQ(_DbGetNewKeyValidate(a, "item", "item", "item#", k1, msg), kDbOk) << msg.text;
    EXPECT_EQ(k1, 1);   // a new key name starts after the highest key in use
    ASSERT_EQ(Exec(b, "insert into item(item#) values(2)", msg), kDbOk) << msg.text;
    ASSERT_EQ(_DbGetNewKeyValidate(b, "item", "item", "item#", k2, msg), kDbOk);
    EXPECT_EQ(k2, 3);   // 2 is used already
    _DbBeginTrans(a);   // inside a transaction, on its lock
    ASSERT_EQ(_DbGetNewKeyValidate(a, "item", "item", "item#", k3, msg), kDbOk);
    EXPECT_EQ(k3, 4);
    int32_t blocked = 0;
    EXPECT_EQ(_DbGetNewKeyValidate(b, "item", "item", "item#", blocked, msg), kDbBusy);
    ASSERT_EQ(_DbRollbackTrans(a, "", msg), kDbOk);   // 4 is handed out again
    ASSERT_EQ(_DbGetNewKeyValidate(b, "item", "item", "item#", k3, msg), kDbOk);
    EXPECT_EQ(k3, 4);
  }

  constexpr int kKeysEach = 100;
  Gate gate;
  auto taker = [&](int id) {
    return Spawn([&, id]() -> int {
      Session s;
      if (s.code != kDbOk) return 20;
      gate.Wait();
      std::ofstream out(tmp.dir() + "/keys" + std::to_string(id));
      for (int n = 0; n < kKeysEach; ++n) {
        int32_t key = 0;
        DbMsg m;
        DbCode code;
        int tries = 0;
        while ((code = _DbGetNewKeyValidate(s, "item", "item", "item#", key, m)) != kDbOk) {
          if (!DbIsRetryable(code) || ++tries > 100) return 21;
        }
        out << key << "\n";
      }
      return 0;
    });
  };
  pid_t first = taker(1), second = taker(2);
  gate.Open(2);
  EXPECT_EQ(WaitFor(first, 60), 0);
  EXPECT_EQ(WaitFor(second, 60), 0);
  std::set<int32_t> keys;
  for (int id : {1, 2}) {
    std::ifstream in(tmp.dir() + "/keys" + std::to_string(id));
    for (int32_t k; in >> k;) EXPECT_TRUE(keys.insert(k).second) << "key " << k << " twice";
  }
  EXPECT_EQ(keys.size(), 2u * kKeysEach);
  EXPECT_EQ(*keys.begin(), 5);
}
