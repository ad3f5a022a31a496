// The command layer: the typed-Bucket cache and building and running
// commands, against a real database.
#include <gtest/gtest.h>

#include "ModuleFixture.h"
#include "acq/db/AcqDb.h"
#include "host/sys/Bucket.h"
#include "host/sys/Semaphore.h"

namespace {

using acq::AcqDb::ClearChanges;
using acqtest::ModuleDb;

class AcqDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec("create table vendor_note (\"vendor#\" integer primary key, note varchar(40), "
            "amount DEC64)");
    db.StartUnits();
    ASSERT_EQ(db.Login(), kDbOk);
  }
  ModuleDb db;
};

TEST_F(AcqDbTest, ColumnListsDifferingInBlanksShareOneCacheEntry) {
  DbMsg msg;
  BucketHold a, b, c;
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, a.get(), "vendor#,note", "vendor_note"), kDbOk)
      << msg.text;
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, b.get(), "vendor#, note", " vendor_note"), kDbOk);
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, c.get(), " vendor# ,  note ", "vendor_note"),
            kDbOk);
  EXPECT_EQ(acq::AcqDb::CachedTableCount(), 1);
  EXPECT_EQ(_BktGetNCols(*c), 2);
  EXPECT_EQ(_BktGetColType(*c, 1), kColInt32);
}

TEST_F(AcqDbTest, CachedPairNeedsNoDatabaseAndGivesAnIndependentWritableClone) {
  DbMsg msg;
  BucketHold first, second;
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, first.get(), "note,amount", "vendor_note"), kDbOk);
  int row = 0;
  _BktInsert(*first, 0, row);
  _ColSetTextW(*first, row, 1, "changed in the first copy");

  // With the table gone, only the cache can answer.
  db.Exec("drop table vendor_note");
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, second.get(), "note,amount", "vendor_note"), kDbOk)
      << msg.text;
  EXPECT_EQ(_BktCountAll(*second), 0);
  EXPECT_FALSE(_BktIsReadOnly(*second));
  EXPECT_EQ(_BktGetColType(*second, 2), kColDec64);
  _BktInsert(*second, 0, row);  // writable
  EXPECT_EQ(_BktCountAll(*first), 1);
}

TEST_F(AcqDbTest, FailedLookupLeavesCacheUnchangedAndSemaphoreFree) {
  DbMsg msg;
  BucketHold ok, bad;
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, ok.get(), "note", "vendor_note"), kDbOk);
  EXPECT_NE(acq::AcqDb::BktFromCols(msg, 0, 0, bad.get(), "no_such_column", "vendor_note"), kDbOk);
  EXPECT_FALSE(msg.text.empty());
  EXPECT_NE(acq::AcqDb::BktFromCols(msg, 0, 0, bad.get(), "note", "no_such_table"), kDbOk);
  EXPECT_EQ(acq::AcqDb::CachedTableCount(), 1);  // would deadlock if the semaphore were held
}

TEST_F(AcqDbTest, RunWithoutCommandIsCodeTwoEachTime) {
  DbMsg msg;
  BucketHold rows;
  for (int run = 0; run < 2; ++run) {
    msg.Clear();
    EXPECT_EQ(acq::AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, rows.get(), 8, 8, 0), kDbMisuse);
    EXPECT_EQ(msg.text, "Tried to use DbCmd before setting up DbCmd");
  }
}

TEST_F(AcqDbTest, QuotedTextWithApostropheRoundTripsThroughACommand) {
  db.Exec("insert into vendor_note values (7, 'O''Brien & Sons', 1250000)");
  acq::AcqDb::AppendDbCmd("select \"vendor#\", amount from vendor_note where note=");
  acq::AcqDb::QuoteAppendDbCmd("O'Brien & Sons");
  DbMsg msg;
  BucketHold rows;
  ASSERT_EQ(acq::AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, rows.get(), 8, 8, 0), kDbOk)
      << msg.text;
  ASSERT_EQ(_BktCountAll(*rows), 1);
  EXPECT_EQ(_ColGetInt(*rows, 1, 1), 7);
  EXPECT_EQ(_ColGetDec64(*rows, 1, 2), Dec64::FromRaw(1250000));  // 1.25 exactly
  EXPECT_FALSE(acq::AcqDb::DbCmdPending());

  // A quote meant to break out of the literal stays text.
  acq::AcqDb::AppendDbCmd("select note from vendor_note where note=");
  acq::AcqDb::QuoteAppendDbCmd("x'; drop table vendor_note; --");
  ASSERT_EQ(acq::AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, rows.get(), 8, 8, 0), kDbOk);
  EXPECT_EQ(acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "", "*", "vendor_note",
                                  rows.get()),
            kDbOk);
  EXPECT_EQ(_BktCountAll(*rows), 1);
}

TEST_F(AcqDbTest, OverflowingCommandIsAbandonedAndReportedOnce) {
  acq::AcqDb::AppendDbCmd("select note from vendor_note where note in (");
  for (int i = 0; i < 200; ++i) acq::AcqDb::AppendDbCmd("'abcdefgh',");
  acq::AcqDb::AppendDbCmd("'x')");
  DbMsg msg;
  BucketHold rows;
  EXPECT_EQ(acq::AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, rows.get(), 8, 8, 0), kDbTooLong);
  EXPECT_NE(msg.text.find("longer than"), std::string::npos);
  msg.Clear();
  EXPECT_EQ(acq::AcqDb::LoadDbCmdCreate(msg, ClearChanges::Yes, rows.get(), 8, 8, 0), kDbMisuse);
}

TEST_F(AcqDbTest, UpdatedRowIsSeenByAReplacingReload) {
  db.Exec("insert into vendor_note values (1, 'a', 0), (2, 'b', 0)");
  DbMsg msg;
  BucketHold rows;
  ASSERT_EQ(acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "vendor#", "", "*", "vendor_note",
                                  rows.get()),
            kDbOk);
  _ColSetTextW(*rows, 1, 2, "edited");
  ASSERT_EQ(acq::AcqDb::UpdateRow(msg, 1, *rows, "vendor_note"), kDbOk) << msg.text;
  ASSERT_EQ(acq::AcqDb::LoadTableReplace(msg, ClearChanges::No, "vendor#", "", "*",
                                         "vendor_note", rows.get()),
            kDbOk);
  EXPECT_EQ(_BktCountAll(*rows), 2);
  EXPECT_EQ(_ColGetStringW(*rows, 1, 2), "edited");
}

}  // namespace
