// Voucher bookkeeping on a real library: what creating a voucher freezes
// and records (its payable, with the credits applied to the invoice), what
// voiding releases, the refusals that leave nothing behind (not even the
// key), credits applied and taken back, and two workstations racing for
// the same statement.
//
// The demo's statement 2 (Northfield, USD, 84.35: three items of 24.95 on
// ADULT.2026 and a 9.50 SHIP charge on OPS.2026) is open; the tests
// approve it by marking it and its money spent, as approval leaves them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../ModuleFixture.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/db/DbDabs.h"
#include "support/Processes.h"

namespace {

namespace gen = acq::AcqDbGen;
using acqtest::ModuleDb;
using acqtest::ShownErrors;

const char* const kApproveStatement2[] = {
    "UPDATE statement SET approve_date = 46100 WHERE \"statement#\" = 2",
    "UPDATE po_line_item_budget_amount SET spent = 1 WHERE \"statement#\" = 2",
    "UPDATE statement_extra_charge SET spent = 1 WHERE \"statement#\" = 2",
};

// Credit memo 3 of Northfield, USD, -20.00 on OPS.2026, approved.
const char* const kCreditMemo3[] = {
    "INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", amount, "
    "amount_remaining, currency, exchange_rate, statement_date, approve_date) VALUES "
    "(3, 'NF-CR-7', 3, 1, -20000000, -20000000, 'USD', 1000000, 46090, 46100)",
    "INSERT INTO statement_budget(\"statement#\", budget, amount, exchange_rate, spent) VALUES "
    "(3, 'OPS.2026', -20000000, 1000000, 1)",
};

class VoucherBooks : public ::testing::Test {
 protected:
  void SetUp() override {
    db.StartUnits();
    ASSERT_EQ(db.Login(), kDbOk);
  }

  template <size_t N>
  void Exec(const char* const (&sqls)[N]) {
    for (const char* sql : sqls) db.Exec(sql);
  }
  // The first row of `sql`, cells joined by "|", NULL as "null".
  std::string One(const std::string& sql) {
    const std::vector<std::string> rows = db.Lib().Rows(sql, "null");
    return rows.empty() ? "(none)" : rows[0];
  }
  std::string NextVoucherKey() { return One("SELECT next_key FROM pw_key WHERE key_table = 'voucher'"); }

  // A credit procedure in a transaction of the module's, as the credits
  // window runs it; its result code.
  int Credit(const char* procedure, const std::string& args) {
    acq::AcqDbBase::TransactionHold hold;
    DbMsg msg;
    uint8_t result = 9;
    EXPECT_EQ(acq::AcqDb::ExecSP(msg, &result, sizeof result, args, procedure), kDbOk) << msg.text;
    EXPECT_TRUE(hold.Commit());
    return result;
  }
  int Void(int32_t voucher) {
    uint8_t result = 9;
    EXPECT_TRUE(gen::VoidVoucher(voucher, result));
    return result;
  }
  int32_t Create(int32_t statement) {
    int32_t voucher = -1;
    EXPECT_TRUE(gen::CreateStatementVoucher(statement, voucher));
    return voucher;
  }

  // How many rows of each money table and links carry `voucher`.
  std::string Frozen(int32_t voucher) {
    const std::string v = std::to_string(voucher);
    return One("SELECT (SELECT count(*) FROM po_line_item_budget_amount WHERE \"voucher#\" = " + v +
               "), (SELECT count(*) FROM statement_extra_charge WHERE \"voucher#\" = " + v +
               "), (SELECT count(*) FROM statement_budget WHERE \"voucher#\" = " + v +
               "), (SELECT count(*) FROM statement_linker WHERE \"voucher#\" = " + v + ")");
  }

  ModuleDb db;
  const std::string today = std::to_string(DbDabs_GetDate());
};

TEST_F(VoucherBooks, CreateFreezesTheSpentRowsAndOwesTheVendorVoidReleasesThem) {
  Exec(kApproveStatement2);
  const int32_t v = Create(2);
  ASSERT_GT(v, 1);
  const std::string key = std::to_string(v);
  EXPECT_EQ(One("SELECT voucher_number, \"statement#\", \"vendor#\", voucher_date, amount, currency, "
                "void FROM voucher WHERE \"voucher#\" = " + key),
            key + "|2|1|" + today + "|84350000|USD|0");
  EXPECT_EQ(Frozen(v), "3|1|0|0");
  EXPECT_EQ(One("SELECT \"statement#\", \"vendor#\", status, amount, currency, invoice_date, "
                "\"cheque#\" FROM payables WHERE \"voucher#\" = " + key),
            "2|1|0|84350000|USD|" + One("SELECT statement_date FROM statement WHERE \"statement#\" = 2") +
                "|null");
  // Nothing is left to pay: no candidate, and a second voucher is refused.
  EXPECT_EQ(One("SELECT count(*) FROM voucher_list WHERE \"voucher#\" = 0 AND \"statement#\" = 2"), "0");
  const std::string nextKey = NextVoucherKey();
  EXPECT_EQ(Create(2), 0);
  EXPECT_EQ(NextVoucherKey(), nextKey);

  EXPECT_EQ(Void(v), 1);
  EXPECT_EQ(One("SELECT void, void_date FROM voucher WHERE \"voucher#\" = " + key), "1|" + today);
  EXPECT_EQ(Frozen(v), "0|0|0|0");
  EXPECT_EQ(One("SELECT status FROM payables WHERE \"voucher#\" = " + key), "3");
  EXPECT_EQ(Void(v), 0);   // void already
  // Released money is a candidate again and can be vouchered anew.
  EXPECT_EQ(One("SELECT amount FROM voucher_list WHERE \"voucher#\" = 0 AND \"statement#\" = 2"),
            "84350000");
  const int32_t again = Create(2);
  EXPECT_GT(again, v);
  EXPECT_EQ(Frozen(again), "3|1|0|0");
  EXPECT_EQ(One("SELECT count(*) FROM payables WHERE \"statement#\" = 2 AND status = 0"), "1");
  EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(VoucherBooks, RefusalsWriteNothingAndGiveTheKeyBack) {
  db.Exec("INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
          "amount, currency, approve_date) VALUES (4, 'NF-0', 0, 1, 0, 'USD', 46100)");
  struct Case {
    const char* why;
    int32_t statement;
  } const cases[] = {
      {"not approved", 2},
      {"vouchered already", 1},
      {"approved without money", 4},
      {"no such statement", 99},
  };
  for (const Case& c : cases) {
    const std::string key = NextVoucherKey();
    EXPECT_EQ(Create(c.statement), 0) << c.why;
    EXPECT_EQ(NextVoucherKey(), key) << c.why;
  }
  EXPECT_EQ(One("SELECT count(*) FROM voucher"), "1");
  EXPECT_EQ(One("SELECT count(*) FROM payables"), "1");
  EXPECT_EQ(Frozen(1), "2|1|0|0");
  EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(VoucherBooks, APaidVoucherCannotBeVoided) {
  db.Exec("INSERT INTO cheque_run(\"cheque_run#\", run_date) VALUES (1, 46100)");
  db.Exec("INSERT INTO cheque(\"cheque#\", \"cheque_run#\", \"vendor#\", amount) VALUES "
          "(1, 1, 4, 255000000)");
  db.Exec("UPDATE payables SET status = 2, \"cheque#\" = 1 WHERE \"voucher#\" = 1");
  EXPECT_EQ(Void(1), 0);
  EXPECT_EQ(One("SELECT void FROM voucher WHERE \"voucher#\" = 1"), "0");
  EXPECT_EQ(Frozen(1), "2|1|0|0");
  EXPECT_EQ(One("SELECT status FROM payables WHERE \"voucher#\" = 1"), "2");
}

TEST_F(VoucherBooks, CreditsAppliedLowerTheInvoicesPayableAndAreFrozenWithIt) {
  Exec(kApproveStatement2);
  Exec(kCreditMemo3);
  struct Step {
    const char* what;
    const char* procedure;
    std::string args;
    int result;
    const char* remaining;   // invoice 2 | credit 3 afterwards
  } const steps[] = {
      {"more than the credit has", "apply_statement_credit", "2,3,20000001", 0, "84350000|-20000000"},
      {"nothing", "apply_statement_credit", "2,3,0", 0, "84350000|-20000000"},
      {"invoice to invoice", "apply_statement_credit", "2,1,1000000", 3, "84350000|-20000000"},
      {"part", "apply_statement_credit", "2,3,12000000", 1, "72350000|-8000000"},
      {"more of it", "apply_statement_credit", "2,3,3000000", 1, "69350000|-5000000"},
      {"undo", "undo_statement_credit", "2,3", 1, "84350000|-20000000"},
      {"undo of nothing", "undo_statement_credit", "2,3", 0, "84350000|-20000000"},
      {"again", "apply_statement_credit", "2,3,15000000", 1, "69350000|-5000000"},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(Credit(s.procedure, s.args), s.result) << s.what;
    EXPECT_EQ(One("SELECT (SELECT amount_remaining FROM statement WHERE \"statement#\" = 2), "
                  "(SELECT amount_remaining FROM statement WHERE \"statement#\" = 3)"),
              s.remaining)
        << s.what;
  }
  EXPECT_EQ(One("SELECT amount_applied FROM statement_linker"), "15000000");

  // The invoice's voucher takes the credit: it pays 84.35 - 15.00.
  const int32_t invoiceVoucher = Create(2);
  ASSERT_GT(invoiceVoucher, 0);
  EXPECT_EQ(Frozen(invoiceVoucher), "3|1|0|1");
  EXPECT_EQ(One("SELECT amount FROM voucher WHERE \"voucher#\" = " + std::to_string(invoiceVoucher)),
            "84350000");
  EXPECT_EQ(One("SELECT amount FROM payables WHERE \"voucher#\" = " + std::to_string(invoiceVoucher)),
            "69350000");
  // The credit memo's own payable is what is left of it: -20.00 + 15.00.
  const int32_t creditVoucher = Create(3);
  ASSERT_GT(creditVoucher, 0);
  EXPECT_EQ(Frozen(creditVoucher), "0|0|1|0");
  EXPECT_EQ(One("SELECT amount FROM payables WHERE \"voucher#\" = " + std::to_string(creditVoucher)),
            "-5000000");
  // Settled money stays as it is while either voucher stands.
  EXPECT_EQ(Credit("undo_statement_credit", "2,3"), 2);
  EXPECT_EQ(Credit("apply_statement_credit", "2,3,1000000"), 2);
  EXPECT_EQ(Void(invoiceVoucher), 1);
  EXPECT_EQ(Frozen(invoiceVoucher), "0|0|0|0");
  EXPECT_EQ(Credit("undo_statement_credit", "2,3"), 2);   // the credit memo's voucher
  EXPECT_EQ(Void(creditVoucher), 1);
  EXPECT_EQ(Credit("undo_statement_credit", "2,3"), 1);
  EXPECT_EQ(One("SELECT count(*) FROM statement_linker"), "0");
  EXPECT_TRUE(ShownErrors().empty());
}

// Two workstations (processes with sessions of their own) create the
// voucher of one statement at the same moment: one voucher, one payable.
TEST_F(VoucherBooks, TwoWorkstationsCreatingOneVoucherMakeOne) {
  Exec(kApproveStatement2);
  constexpr int kWorkstations = 2;
  testproc::Gate gate;
  std::vector<pid_t> children;
  for (int w = 0; w < kWorkstations; ++w)
    children.push_back(testproc::Spawn([&] {
      DbMsg msg;
      HDb own = nullptr;
      if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 20;
      acq::AcqDbGlobal::Globals().session = own;
      ShownErrors().clear();
      gate.Wait();
      int32_t voucher = -1;
      const bool ok = gen::CreateStatementVoucher(2, voucher);
      _DbLogout(&own);
      if (!ok || !ShownErrors().empty()) return 21;
      return voucher > 0 ? 1 : voucher == 0 ? 2 : 22;
    }));
  gate.Open(kWorkstations);
  int made = 0, refused = 0;
  for (pid_t child : children) {
    const int status = testproc::WaitFor(child, 120);
    made += status == 1;
    refused += status == 2;
    EXPECT_TRUE(status == 1 || status == 2) << "workstation ended with " << status;
  }
  EXPECT_EQ(made, 1);
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(One("SELECT count(*) FROM voucher WHERE \"statement#\" = 2"), "1");
  EXPECT_EQ(One("SELECT count(*), sum(amount) FROM payables WHERE \"statement#\" = 2"),
            "1|84350000");
  EXPECT_EQ(One("SELECT count(DISTINCT \"voucher#\") FROM po_line_item_budget_amount "
                "WHERE \"statement#\" = 2"),
            "1");
}

}  // namespace
