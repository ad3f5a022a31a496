// A database server may find a write conflict only when the outermost
// transaction commits (it could not put the transaction in order with
// another). Both retry rules run such a save again, like a conflict met
// earlier, and show nothing when the next attempt commits.
#include <gtest/gtest.h>

#include "ModuleFixture.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "host/sys/Bucket.h"
#include "support/TestLibrary.h"

namespace {

using acqtest::ModuleDb;
using acqtest::ShownErrors;
namespace base = acq::AcqDbBase;

class CommitConflict : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testlib::OnServer()) GTEST_SKIP() << "a commit on SQLite never meets a conflict";
    // The next n commits that wrote a tally row fail as the server fails a
    // transaction it cannot serialize (a deferred check; the sequence counts
    // the tries, as it is not rolled back with them).
    db.Exec(R"(
      create table tally ("tally#" integer primary key, hits integer not null);
      insert into tally values (1, 0);
      create table commit_failures (n integer not null);
      insert into commit_failures values (0);
      create sequence commits_tried;
      create function fail_commit() returns trigger language plpgsql as '
      begin
        if nextval(''commits_tried'') <= (select n from commit_failures) then
          raise exception ''could not serialize access'' using errcode = ''40001'';
        end if;
        return null;
      end';
      create constraint trigger tally_commit after update on tally
        deferrable initially deferred for each row execute function fail_commit();
    )");
    db.StartUnits();
    ASSERT_EQ(db.Login(), kDbOk);
  }

  void FailCommits(int n) {
    db.Exec("update commit_failures set n = " + std::to_string(n) +
            "; select setval('commits_tried', 1, false)");
  }

  int Hits() { return std::stoi(db.Lib().Rows("select hits from tally")[0]); }

  BktHandle LoadTally() { return acqtest::LoadRows("tally", "tally#=1"); }

  ModuleDb db;
};

TEST_F(CommitConflict, BothRetryRulesRunTheSaveAgainAndShowNothing) {
  BucketHold rows(LoadTally());
  const auto bump = [&](DbMsg& msg) {
    _ColSetInt(*rows, 1, 2, _ColGetInt(*rows, 1, 2) + 1);
    return acq::AcqDb::UpdateRow(msg, 1, *rows, "tally");
  };
  const auto reload = [&] {
    _BktDestroy(&rows.get());
    rows.get() = LoadTally();
    return true;
  };
  int attempts = 0;
  FailCommits(2);
  EXPECT_EQ(base::SaveWithCodeRetry(
                5, [&](DbMsg& msg) { ++attempts; return bump(msg); }, reload),
            kDbOk);
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(Hits(), 1);

  attempts = 0;
  FailCommits(1);
  EXPECT_TRUE(base::SaveWithReportedRetry(
      5,
      [&] {
        ++attempts;
        DbMsg msg;
        return bump(msg) == kDbOk;
      },
      {*rows}));
  EXPECT_EQ(attempts, 2);
  EXPECT_EQ(Hits(), 2);
  EXPECT_TRUE(ShownErrors().empty()) << ShownErrors()[0];

  // Past the retries the last failure is shown, once.
  FailCommits(10);
  EXPECT_EQ(base::SaveWithCodeRetry(3, bump, reload), kDbLocked);
  EXPECT_EQ(ShownErrors().size(), 1u);
  EXPECT_EQ(Hits(), 2);
}

}  // namespace
