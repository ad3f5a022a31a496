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

#include "TempDb.h"
#include "host/sys/Bucket.h"
#include "support/Processes.h"

using testdb::Session;
using testdb::TempDb;
using testproc::Gate;
using testproc::Spawn;
using testproc::WaitFor;

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

// Each cause of a write conflict gives its own code: a lock kept past the
// busy wait 10, a row changed since it was read 11, a row deleted 5.
TEST(DbTrans, ConflictCodesFollowTheirCauses) {
  TempDb tmp;
  Session a, b;
  DbMsg msg;
  _DbSetBusyTimeout(b, 200);
  // a holds the write lock: b's write waits the whole busy wait, then 10.
  _DbBeginTrans(a);
  ASSERT_EQ(Exec(a, "update location set name='A' where location='MAIN'", msg), kDbOk);
  auto start = Clock::now();
  EXPECT_EQ(Exec(b, "update location set name='B' where location='MAIN'", msg), kDbBusy);
  EXPECT_GE(MsSince(start), 190);
  EXPECT_NE(msg.text.find(testlib::ByEngine("database is locked", "lock timeout")),
            std::string::npos)
      << msg.text;
  // A transaction of b cannot begin either (writers queue as their
  // transactions begin): every statement of it says why.
  _DbBeginTrans(b);
  EXPECT_EQ(Exec(b, "select 1", msg), kDbBusy);
  EXPECT_NE(msg.text.find("kept it locked for more than 200 ms"), std::string::npos) << msg.text;
  EXPECT_EQ(_DbCommitTrans(b, msg), kDbBusy);
  EXPECT_EQ(_DbTransDepth(b), 0);
  ASSERT_EQ(_DbCommitTrans(a, msg), kDbOk);

  // Browse mode: b read the row, a changed the column b then writes.
  BucketHold rb;
  ASSERT_EQ(_DbLoadQuery(b, rb.get(), kLoadCreate, 1, 1, 0, "location", "*", "location='MAIN'",
                         "", msg), kDbOk) << msg.text;
  const int name = _BktGetColNum(*rb, "name"), phone = _BktGetColNum(*rb, "phone");
  ASSERT_EQ(Exec(a, "update location set name='A2' where location='MAIN'", msg), kDbOk);
  _ColSetTextW(*rb, 1, name, "B");
  EXPECT_EQ(_DbxUpdateRowU(b, "location", *rb, 1, 1, msg), kDbLocked);
  EXPECT_NE(msg.text.find("changed by another user"), std::string::npos) << msg.text;
  EXPECT_EQ(QueryInt(a, "select count(*) from location where name='A2'"), 1);   // kept
  // Once read again, the same change goes through.
  ASSERT_EQ(_DbLoadQuery(b, rb.get(), kLoadReplace, 0, 0, 0, "location", "*",
                         "location='MAIN'", "", msg), kDbOk);
  _ColSetTextW(*rb, 1, name, "B");
  ASSERT_EQ(_DbxUpdateRowU(b, "location", *rb, 1, 1, msg), kDbOk) << msg.text;
  // A change to another column never conflicts; deleted is not changed.
  ASSERT_EQ(Exec(a, "update location set name='A3' where location='MAIN'", msg), kDbOk);
  _ColSetTextW(*rb, 1, phone, "555");
  ASSERT_EQ(_DbxUpdateRowU(b, "location", *rb, 1, 1, msg), kDbOk) << msg.text;
  ASSERT_EQ(Exec(a, "delete from location where location='MAIN'", msg), kDbOk) << msg.text;
  _ColSetTextW(*rb, 1, phone, "556");
  EXPECT_EQ(_DbxUpdateRowU(b, "location", *rb, 1, 1, msg), kDbNotFound);
}

// A failed outermost commit ends the transaction before it returns, so
// another workstation can write while the failure is being reported.
TEST(DbTrans, FailedCommitFreesTheWriteLockAtOnce) {
  TempDb tmp;
  ASSERT_TRUE(tmp.Exec("CREATE TABLE parent(id INTEGER PRIMARY KEY);"
                       "CREATE TABLE child(id INTEGER PRIMARY KEY, parent INTEGER "
                       "REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)"));
  Session a, b;
  DbMsg msg;
  _DbSetBusyTimeout(b, 0);
  _DbBeginTrans(a);
  ASSERT_EQ(Exec(a, "insert into child values(1, 99)", msg), kDbOk) << msg.text;
  EXPECT_EQ(_DbCommitTrans(a, msg), kDbConstraint);
  EXPECT_NE(msg.text.find(testlib::ByEngine("FOREIGN KEY", "foreign key")), std::string::npos)
      << msg.text;
  EXPECT_EQ(_DbTransDepth(a), 0);
  EXPECT_EQ(Exec(b, "insert into parent values(1)", msg), kDbOk) << msg.text;
  EXPECT_EQ(QueryInt(b, "select count(*) from child"), 0);
  EXPECT_EQ(_DbRollbackTrans(a, "", msg), kDbMisuse);   // nothing left to roll back
}

// Two programs run read-modify-write on one row at the same moment. The
// transaction that comes second waits for the write lock instead of failing,
// and both increments land.
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
      DbMsg msg;
      BucketHold row;
      _DbBeginTrans(s);
      DbCode code = _DbLoadQuery(s, row.get(), kLoadCreate, 1, 1, 0, "counter", "*", "id=1",
                                 "", msg);
      if (code == kDbOk) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        _ColSetInt(*row, 1, 2, _ColGetInt(*row, 1, 2) + 1);
        code = _DbxUpdateRowU(s, "counter", *row, 1, 1, msg);
      }
      if (code == kDbOk)
        code = Exec(s, "insert into landed(writer) values(" + std::to_string(id) + ")", msg);
      if (code == kDbOk) code = _DbCommitTrans(s, msg);
      return code == kDbOk ? 0 : 30 + code;
    });
  };
  pid_t first = writer(1), second = writer(2);
  gate.Open(2);
  const int results[] = {WaitFor(first, 60), WaitFor(second, 60)};
  Session s;
  if (!testlib::OnServer()) {
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], 0);
    EXPECT_EQ(QueryInt(s, "select value from counter where id=1"), 2);
    EXPECT_EQ(QueryInt(s, "select count(distinct writer) from landed"), 2);
    return;
  }
  // A server's transaction takes no lock as it begins: the second writer of
  // the row is refused as changed since it read it (11, which the module
  // retries), and what it wrote is gone with it; nothing is half there.
  int landed = 0;
  for (int result : results) {
    EXPECT_TRUE(result == 0 || result == 30 + kDbLocked) << result;
    landed += result == 0;
  }
  EXPECT_GE(landed, 1);
  EXPECT_EQ(QueryInt(s, "select value from counter where id=1"), landed);
  EXPECT_EQ(QueryInt(s, "select count(distinct writer) from landed"), landed);
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
    _DbSetBusyTimeout(b, 50);
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
