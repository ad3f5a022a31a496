// Keys of the key table with no data table behind them (control references
// of order files).
#include <gtest/gtest.h>

#include "TempDb.h"

using testdb::Session;
using testdb::TempDb;

TEST(DbKeys, UnvalidatedKeyStartsAtOneAndIsNeverShared) {
  TempDb tmp;
  DbMsg msg;
  Session a, b;
  int32_t k1 = 0, k2 = 0, k3 = 0;
  ASSERT_EQ(_DbGetNewKeyNoValidate(a, "edifact_interchange_cntrl_ref", k1, msg), kDbOk) << msg.text;
  EXPECT_EQ(k1, 1);
  ASSERT_EQ(_DbGetNewKeyNoValidate(b, "edifact_interchange_cntrl_ref", k2, msg), kDbOk) << msg.text;
  EXPECT_EQ(k2, 2);
  _DbBeginTrans(a);   // taken inside a transaction: its rollback hands the key back
  ASSERT_EQ(_DbGetNewKeyNoValidate(a, "edifact_interchange_cntrl_ref", k3, msg), kDbOk);
  EXPECT_EQ(k3, 3);
  ASSERT_EQ(_DbRollbackTrans(a, "", msg), kDbOk);
  ASSERT_EQ(_DbGetNewKeyNoValidate(b, "edifact_interchange_cntrl_ref", k3, msg), kDbOk);
  EXPECT_EQ(k3, 3);
  // Another name counts on its own.
  ASSERT_EQ(_DbGetNewKeyNoValidate(a, "another_reference", k1, msg), kDbOk);
  EXPECT_EQ(k1, 1);
}
