// The query library's writes: the PO line item save and its retry under
// write conflicts, the writes in transactions of their own, the single-row
// workslip writes and the budget total read on a second session.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ModuleFixture.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"

namespace {

namespace gen = acq::AcqDbGen;
namespace base = acq::AcqDbBase;
using acq::AcqDb::ClearChanges;
using acqtest::ModuleDb;
using acqtest::ShownErrors;

class AcqDbGenSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.StartUnits();
    ASSERT_EQ(db.Login(), kDbOk);
  }

  int32_t Count(const std::string& sql) {
    int32_t n = -1;
    DbMsg m;
    EXPECT_EQ(acq::AcqDb::ExecSP(m, &n, sizeof n, "", sql), kDbOk) << m.text;
    return n;
  }

  void Set(BktHandle b, int row, const char* col, int32_t value) {
    _ColSetInt(b, row, _BktGetColNum(b, col), value);
  }

  // PO 6 line 1 (two new copies) as the line editor holds it, edited: item 2
  // deleted, item 1 moved to the children's collection, item 3 added.
  void EditLine() {
    ASSERT_EQ(acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=6 and line=1",
                                    "po#,line,last_item", "po_line", line.get()),
              kDbOk) << msg.text;
    ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, items.get(), "*", "po_line_item"), kDbOk);
    ASSERT_EQ(gen::ReloadPoLineItems(msg, 6, 1, items.get()), kDbOk) << msg.text;
    ASSERT_EQ(_BktCountAll(*items), 2);
    _ColSetTextW(*items, 1, _BktGetColNum(*items, "collection"), "JUV");
    _BktSetState(*items, 2, kRowDeleted);
    int row = 0;
    _BktInsert(*items, 0, row);
    Set(*items, row, "po#", 6);
    Set(*items, row, "line", 1);
    Set(*items, row, "item", 3);
    _ColSetTextW(*items, row, _BktGetColNum(*items, "location"), "BRANCH");
    Set(*line, 1, "last_item", 3);
  }

  bool LineSaved() {
    return Count("select count(*) from po_line_item where po#=6 and line=1") == 2 &&
           Count("select count(*) from po_line_item where po#=6 and line=1 and item=1 "
                 "and collection='JUV'") == 1 &&
           Count("select last_item from po_line where po#=6 and line=1") == 3;
  }

  ModuleDb db;
  DbMsg msg;
  BucketHold line, items;
  int reloads = 0;
  int attempts = 0;
};

TEST_F(AcqDbGenSaveTest, SavesItemsLineAndExtraStepTogether) {
  EditLine();
  auto touchPo = [&](DbMsg& m) {
    ++attempts;
    char none[4];
    return acq::AcqDb::ExecSP(m, none, sizeof none, "",
                              "update po set last_update_date=46070 where po#=6");
  };
  EXPECT_EQ(gen::SavePoLineItems(nullptr, touchPo, *line, *items), kDbOk);
  EXPECT_TRUE(LineSaved());
  EXPECT_EQ(Count("select last_update_date from po where po#=6"), 46070);
  EXPECT_EQ(attempts, 1);
  EXPECT_TRUE(ShownErrors().empty());
  EXPECT_EQ(acq::AcqDbExcept::TransCount(), 0u);
}

TEST_F(AcqDbGenSaveTest, TenConflictingAttemptsReloadBeforeEachRetryAndShowOneError) {
  EditLine();
  {
    acqtest::WriteLockHolder lock(db.Path());
    const DbCode code = gen::SavePoLineItems([&](BktHandle) { return ++reloads, true; },
                                             [&](DbMsg&) { return ++attempts, kDbOk; }, *line,
                                             *items);
    EXPECT_EQ(code, kDbBusy);
  }
  EXPECT_EQ(attempts, 0);  // the first item write conflicts: the step never runs
  EXPECT_EQ(reloads, 9);   // before each of the nine retries
  ASSERT_EQ(ShownErrors().size(), 1u);
  EXPECT_NE(ShownErrors()[0].find("(10)"), std::string::npos) << ShownErrors()[0];
  EXPECT_EQ(Count("select count(*) from po_line_item where po#=6 and line=1 and item=3"), 0);
  EXPECT_EQ(_BktGetState(*items, 3), kRowNew);  // the editor can save again later
}

TEST_F(AcqDbGenSaveTest, ConflictingExtraStepCountsTenAttempts) {
  {
    acqtest::WriteLockHolder lock(db.Path());
    ASSERT_EQ(acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=6 and line=1",
                                    "po#,line,last_item", "po_line", line.get()), kDbOk);
    ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, items.get(), "*", "po_line_item"), kDbOk);
    auto touchPo = [&](DbMsg& m) {
      ++attempts;
      char none[4];
      return acq::AcqDb::ExecSP(m, none, sizeof none, "", "update po set location='X' where po#=6");
    };
    EXPECT_EQ(gen::SavePoLineItems([&](BktHandle) { return ++reloads, true; }, touchPo, *line,
                                   *items),
              kDbBusy);
  }
  EXPECT_EQ(attempts, 10);
  EXPECT_EQ(reloads, 9);
  EXPECT_EQ(ShownErrors().size(), 1u);
}

TEST_F(AcqDbGenSaveTest, RetrySucceedsOnceTheOtherWorkstationLetsGo) {
  EditLine();
  std::optional<acqtest::WriteLockHolder> lock(std::in_place, db.Path());
  auto reload = [&](BktHandle) {
    if (++reloads == 3) lock.reset();
    return true;
  };
  EXPECT_EQ(gen::SavePoLineItems(reload, nullptr, *line, *items), kDbOk);
  EXPECT_EQ(reloads, 3);
  EXPECT_TRUE(LineSaved());
  EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(AcqDbGenSaveTest, RetryAfterPartlyWrittenAttemptWritesEverythingAgain) {
  EditLine();
  // The rows are written, then the last step meets a conflict: the rollback
  // undoes the rows, which the Bucket already shows as saved.
  auto conflictOnce = [&](DbMsg& m) {
    if (++attempts > 1) return kDbOk;
    m.Set("database is locked");
    return kDbBusy;
  };
  EXPECT_EQ(gen::SavePoLineItems([&](BktHandle) { return ++reloads, true; }, conflictOnce, *line,
                                 *items),
            kDbOk);
  EXPECT_EQ(attempts, 2);
  EXPECT_EQ(reloads, 1);
  EXPECT_TRUE(LineSaved());
}

TEST_F(AcqDbGenSaveTest, FailedReloadEndsTheSaveWithCodeTwo) {
  EditLine();
  {
    acqtest::WriteLockHolder lock(db.Path());
    EXPECT_EQ(gen::SavePoLineItems([&](BktHandle) { return ++reloads, false; }, nullptr, *line,
                                   *items),
              kDbMisuse);
  }
  EXPECT_EQ(reloads, 1);
  EXPECT_EQ(ShownErrors().size(), 1u);
  EXPECT_EQ(acq::AcqDbExcept::TransCount(), 0u);
}

TEST_F(AcqDbGenSaveTest, OtherFailuresAreNotRetriedAndRollBackTheRows) {
  EditLine();
  auto refuse = [&](DbMsg& m) {
    ++attempts;
    m.Set("refused by the extra step");
    return kDbConstraint;
  };
  EXPECT_EQ(gen::SavePoLineItems([&](BktHandle) { return ++reloads, true; }, refuse, *line,
                                 *items),
            kDbConstraint);
  EXPECT_EQ(attempts, 1);
  EXPECT_EQ(reloads, 0);
  ASSERT_EQ(ShownErrors().size(), 1u);
  EXPECT_NE(ShownErrors()[0].find("refused by the extra step"), std::string::npos);
  EXPECT_EQ(Count("select count(*) from po_line_item where po#=6 and line=1 and item=3"), 0);
  EXPECT_EQ(Count("select last_item from po_line where po#=6 and line=1"), 2);
}

TEST_F(AcqDbGenSaveTest, InterchangeIsSavedWhollyOrNotAtAll) {
  BucketHold inter, messages, segments, exceptions;
  for (auto [bkt, table] : {std::pair{&inter, "edifact_interchange"},
                            {&messages, "edifact_message"},
                            {&segments, "edifact_segment"},
                            {&exceptions, "edifact_exception"}}) {
    ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, bkt->get(), "*", table), kDbOk) << msg.text;
    int row = 0;
    _BktInsert(bkt->get(), 0, row);
  }
  Set(*inter, 1, "edifact#", 7);
  Set(*inter, 1, "vendor#", 4);
  Set(*messages, 1, "edifact#", 7);
  Set(*messages, 1, "message#", 1);
  Set(*messages, 1, "message_type", 3);
  Set(*segments, 1, "edifact#", 7);
  Set(*segments, 1, "segment#", 1);
  _ColSetTextW(*exceptions, 1, _BktGetColNum(*exceptions, "descr"), "File Upload Warning");
  const int exceptionKey = _BktGetColNum(*exceptions, "edifact_exception#");

  EXPECT_TRUE(gen::SaveEdifactInterchange(*inter, *messages, *segments, *exceptions, false));
  EXPECT_EQ(Count("select count(*) from edifact_segment where edifact#=7"), 1);
  EXPECT_EQ(Count("select count(*) from edifact_exception"), 1);

  _ColSetNull(*exceptions, 1, exceptionKey);
  EXPECT_TRUE(gen::SaveEdifactInterchange(*inter, *messages, *segments, *exceptions, true));
  EXPECT_EQ(Count("select count(*) from edifact_exception"), 2);
  EXPECT_TRUE(ShownErrors().empty());

  // A new interchange whose segment is already there: nothing of it stays.
  Set(*inter, 1, "edifact#", 8);
  Set(*messages, 1, "edifact#", 8);
  _ColSetNull(*exceptions, 1, exceptionKey);
  EXPECT_FALSE(gen::SaveEdifactInterchange(*inter, *messages, *segments, *exceptions, false));
  EXPECT_EQ(ShownErrors().size(), 1u);
  EXPECT_EQ(Count("select count(*) from edifact_message where edifact#=8"), 0);
  EXPECT_EQ(Count("select count(*) from edifact_exception"), 2);
  EXPECT_EQ(acq::AcqDbExcept::TransCount(), 0u);
}

TEST_F(AcqDbGenSaveTest, VoucherWritesFailInTheirOwnTransactionShownOnce) {
  // Statement 2 approved with its money spent: a voucher can be made.
  db.Exec("update statement set approve_date=46100 where \"statement#\"=2");
  db.Exec("update po_line_item_budget_amount set spent=1 where \"statement#\"=2");
  const int32_t nextVoucher = Count("select next_key from pw_key where key_table='voucher'");
  {
    acqtest::WriteLockHolder lock(db.Path());
    int32_t voucher = -1;
    EXPECT_FALSE(gen::CreateStatementVoucher(2, voucher));
    EXPECT_EQ(voucher, 0);
    uint8_t result = 9;
    EXPECT_FALSE(gen::VoidVoucher(1, result));
  }
  EXPECT_EQ(ShownErrors().size(), 2u);
  EXPECT_EQ(acq::AcqDbExcept::TransCount(), 0u);
  // The key taken for it went back with the rollback, and nothing was made.
  EXPECT_EQ(Count("select next_key from pw_key where key_table='voucher'"), nextVoucher);
  EXPECT_EQ(Count("select count(*) from voucher"), 1);
  EXPECT_EQ(Count("select void from voucher where voucher#=1"), 0);
}

TEST_F(AcqDbGenSaveTest, ProceduresStillToComeFailInTheirOwnTransactionShownOnce) {
  uint8_t result = 9;
  EXPECT_FALSE(gen::PrintVouchToItemUpdate(1, result));
  EXPECT_EQ(ShownErrors().size(), 1u);
  EXPECT_EQ(acq::AcqDbExcept::TransCount(), 0u);
}

// undo_order answers in a transaction of its own: PO 1 has received items,
// so it refuses (1) and changes nothing.
TEST_F(AcqDbGenSaveTest, UndoOrderRefusesAnOrderWithLaterActivity) {
  const int32_t ordered = Count("select count(*) from po_line_item where po#=1 and order_date IS NOT NULL");
  uint8_t result = 9;
  EXPECT_TRUE(gen::UndoOrder(1, result));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Count("select count(*) from po_line_item where po#=1 and order_date IS NOT NULL"),
            ordered);
  EXPECT_TRUE(ShownErrors().empty());
  EXPECT_EQ(acq::AcqDbExcept::TransCount(), 0u);
}

TEST_F(AcqDbGenSaveTest, BudgetHierarchiesAreDeletedInATransactionOfTheirOwn) {
  {
    acqtest::WriteLockHolder lock(db.Path());
    EXPECT_FALSE(gen::DeleteBudgetHierarchies());
  }
  EXPECT_EQ(ShownErrors().size(), 1u);
  EXPECT_EQ(Count("select count(*) from budget_hierarchy"), 8);
  EXPECT_TRUE(gen::DeleteBudgetHierarchies());
  EXPECT_EQ(Count("select count(*) from budget_hierarchy"), 0);
}

TEST_F(AcqDbGenSaveTest, WorkslipRowsAreWrittenInTheCallersTransaction) {
  BucketHold batch, batchItems;
  ASSERT_EQ(acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "item", "workslip_batch#=1", "*",
                                  "workslip_batch_po_line_item", batchItems.get()), kDbOk);
  ASSERT_EQ(acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "workslip_batch#=1", "*",
                                  "workslip_batch", batch.get()), kDbOk);
  EXPECT_TRUE(gen::DeleteWorkslipBatchItem(1, *batchItems));
  EXPECT_EQ(Count("select count(*) from workslip_batch_po_line_item"), 1);
  EXPECT_FALSE(gen::DeleteWorkslipBatchItem(1, *batchItems));  // gone already
  EXPECT_EQ(ShownErrors().size(), 1u);

  Set(*batch, 1, "date_printed", 46070);
  base::BeginTrans();
  EXPECT_TRUE(gen::UpdateWorkslipBatch(1, *batch));
  base::RollbackTrans();  // no transaction of its own: the caller's rollback undoes it
  EXPECT_EQ(Count("select count(*) from workslip_batch where date_printed IS NOT NULL"), 0);
  // The rolled-back row is read again before it is changed again.
  ASSERT_EQ(acq::AcqDb::LoadTable(msg, ClearChanges::Yes, "", "workslip_batch#=1", "*",
                                  "workslip_batch", batch.get()), kDbOk);
  Set(*batch, 1, "date_printed", 46070);
  EXPECT_TRUE(gen::UpdateWorkslipBatch(1, *batch));
  EXPECT_EQ(Count("select date_printed from workslip_batch"), 46070);
}

TEST_F(AcqDbGenSaveTest, BudgetTotalSpentIsReadOnASecondSession) {
  base::BeginTrans();
  char none[4];
  ASSERT_EQ(acq::AcqDb::ExecSP(msg, none, sizeof none, "",
                               "insert into po_line_item_budget_amount (po#, line, item, budget, "
                               "amount, exchange_rate, spent) values (5, 1, 1, 'SERIAL.2025', "
                               "10000000, 1000000, 1)"),
            kDbOk) << msg.text;
  Dec64 spent;
  EXPECT_TRUE(gen::GetBudgetTotalSpent(msg, "SERIAL.2025", spent)) << msg.text;
  // (180.00 + 60.00) x 1.25 committed; the open transaction's 10.00 is not seen.
  EXPECT_EQ(spent.raw, 300'000'000);
  base::RollbackTrans();
  EXPECT_TRUE(ShownErrors().empty());
}

}  // namespace
