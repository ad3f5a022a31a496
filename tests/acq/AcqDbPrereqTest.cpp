// The start-up load of privileges and site parameters against databases
// that are right, short of a row, or carry an unexpected key.
#include <gtest/gtest.h>

#include "ModuleFixture.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqDbPrereq.h"
#include "acq/frame/AcqSecurity.h"

namespace {

using acqtest::ModuleDb;
using acqtest::ShownErrors;

constexpr const char* kMismatch =
    "The secured program features in the database do not match the secured program features "
    "expected by this program.";

class AcqDbPrereqTest : public ::testing::Test {
 protected:
  // Changes the database, starts the units, logs in and runs the load.
  bool LoadAfter(const std::string& sql) {
    if (!sql.empty()) db.Exec(sql);
    db.StartUnits();
    EXPECT_EQ(db.Login(), kDbOk);
    return acq::AcqDbPrereq::LoadPrerequisites(acq::AcqDbPrereq::kFeatureMismatchMsg);
  }
  void TearDown() override {
    _BktDestroy(&acq::AcqDbGlobal::Globals().marcUsageBkt);
    acq::AcqFundCtrl::DestroyRestrictionBkt();
  }
  ModuleDb db;
};

TEST_F(AcqDbPrereqTest, FeatureRowsThatDoNotMatchFailWithString214) {
  const struct {
    const char* note;
    const char* sql;
  } cases[] = {
      {"49 acq rows", "delete from program_feature where program_name='acq' and "
                      "program_feature='zCheque'"},
      {"50 rows, one key unexpected", "update program_feature set program_feature='zChequeX' "
                                      "where program_name='acq' and program_feature='zCheque'"},
      {"51 acq rows", "insert into program_feature (program_name, program_feature, "
                      "privilege_number) values ('acq', 'extra', 9999)"},
      {"key differing in case only", "update program_feature set program_feature='POFIND' "
                                     "where program_name='acq' and program_feature='poFind'"},
      {"11 acqman rows", "delete from program_feature where program_name='acqman' and "
                         "program_feature='modBHM'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    ModuleDb fresh;
    fresh.Exec(c.sql);
    fresh.StartUnits();
    ASSERT_EQ(fresh.Login(), kDbOk);
    EXPECT_FALSE(acq::AcqDbPrereq::LoadPrerequisites(acq::AcqDbPrereq::kFeatureMismatchMsg));
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_NE(ShownErrors()[0].find(kMismatch), std::string::npos) << ShownErrors()[0];
    TearDown();
  }
}

TEST_F(AcqDbPrereqTest, DemoDatabaseLoadsEveryPrivilegeAndParameter) {
  ASSERT_TRUE(LoadAfter("update acq_parameter set fiscal_year=2026, base_currency='CAD', "
                        "track_budget_trans=1, print_workslip=2"));
  const auto& g = acq::AcqDbGlobal::Globals();
  for (int32_t number : g.acqPrivileges) EXPECT_NE(number, acq::AcqDbGlobal::kPrivilegeNotLoaded);
  for (int32_t number : g.acqmanPrivileges) {
    EXPECT_NE(number, acq::AcqDbGlobal::kPrivilegeNotLoaded);
  }
  EXPECT_NE(g.acqPrivileges[acq::AcqSecurity::poFind], g.acqPrivileges[acq::AcqSecurity::poEdit]);
  EXPECT_EQ(g.params.fiscal_year, 2026);
  EXPECT_EQ(g.params.base_currency, "CAD");
  EXPECT_TRUE(g.params.track_budget_trans);
  EXPECT_EQ(g.params.print_workslip, 2);
  EXPECT_EQ(g.params.decimal_digits, 2);
  EXPECT_GT(g.params.barcode_length, 0);
  EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(AcqDbPrereqTest, TwoParameterRowsKeepEveryDefault) {
  ASSERT_TRUE(LoadAfter("update acq_parameter set fiscal_year=2026, track_budget_trans=1; "
                        "insert into acq_parameter(fiscal_year, track_budget_trans) "
                        "select fiscal_year, track_budget_trans from acq_parameter"));
  const auto& p = acq::AcqDbGlobal::Globals().params;
  EXPECT_EQ(p.fiscal_year, acq::AcqDbGlobal::kNoFiscalYear);
  EXPECT_FALSE(p.track_budget_trans);
}

TEST_F(AcqDbPrereqTest, NullFiscalYearKeepsNoYear) {
  ASSERT_TRUE(LoadAfter("update acq_parameter set fiscal_year=NULL, budget_contract_checks=1"));
  const auto& p = acq::AcqDbGlobal::Globals().params;
  EXPECT_EQ(static_cast<uint16_t>(p.fiscal_year), 32768);
  EXPECT_TRUE(p.budget_contract_checks);
}

TEST_F(AcqDbPrereqTest, MoneyPrecisionComesFromTheOnlyMathamRow) {
  ASSERT_TRUE(LoadAfter("update matham set decimal_digits=3"));
  EXPECT_EQ(acq::AcqDbGlobal::Globals().params.decimal_digits, 3);
}

TEST_F(AcqDbPrereqTest, MoneyPrecisionDefaultsUnlessExactlyOneMathamRow) {
  ASSERT_TRUE(LoadAfter("update matham set decimal_digits=3; "
                        "insert into matham select * from matham"));
  EXPECT_EQ(acq::AcqDbGlobal::Globals().params.decimal_digits, 2);
}

}  // namespace
