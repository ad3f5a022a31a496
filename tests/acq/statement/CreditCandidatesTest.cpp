// What the credits window offers, read from a real library: for a credit
// memo the vendor's invoices with something remaining, for an invoice its
// open credit memos, in the statement's currency only, with what is
// applied between them, and what can still be applied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../ModuleFixture.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/statement/AcqCredits.h"

namespace {

namespace cr = acq::AcqCredits;
using acqtest::ModuleDb;
using acqtest::ShownErrors;


// Besides the demo's invoice 2 (Northfield, USD, 84.35): credit memo 3
// (-20.00), credit memo 4 (-5.00, nothing left of it), invoice 5 (0.00),
// invoice 6 in GBP, invoice 7 of another vendor, credit 8 in GBP, refund 9.
const char* const kStatements =
    "INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", amount, "
    "amount_remaining, currency, statement_date) VALUES "
    "(3, 'CR-3', 3, 1, -20000000, -20000000, 'USD', 46090),"
    "(4, 'CR-4', 4, 1, -5000000, 0, 'USD', 46091),"
    "(5, 'IN-5', 0, 1, 0, 0, 'USD', 46092),"
    "(6, 'IN-6', 0, 1, 10000000, 10000000, 'GBP', 46093),"
    "(7, 'IN-7', 0, 2, 10000000, 10000000, 'USD', 46094),"
    "(8, 'CR-8', 3, 1, -10000000, -10000000, 'GBP', 46095),"
    "(9, 'RF-9', 5, 1, -3000000, -3000000, 'USD', 46096)";

class CreditCandidates : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Exec(kStatements);
    db.StartUnits();
    ASSERT_EQ(db.Login(), kDbOk);
  }

  // "number:remaining:applied here" of each candidate of `statement`.
  std::string Candidates(int32_t statement) {
    cr::CreditStatement own;
    if (!cr::ReadStatement(statement, own)) return "(no statement)";
    std::vector<cr::CreditCandidate> list;
    EXPECT_TRUE(cr::ReadCandidates(own, list));
    std::string out;
    for (const cr::CreditCandidate& c : list)
      out += (out.empty() ? "" : " ") + c.number + ":" + std::to_string(c.remaining.raw / 10000) +
             ":" + std::to_string(c.appliedHere.raw / 10000) +
             ":" + std::to_string(cr::Outstanding(own, c).raw / 10000);
    return out;
  }

  void Apply(const std::string& args) {
    acq::AcqDbBase::TransactionHold hold;
    DbMsg msg;
    uint8_t result = 0;
    ASSERT_EQ(acq::AcqDb::ExecSP(msg, &result, sizeof result, args, "apply_statement_credit"),
              kDbOk) << msg.text;
    EXPECT_TRUE(hold.Commit());
    EXPECT_EQ(result, 1) << args;
  }

  ModuleDb db;
};

TEST_F(CreditCandidates, EachSideSeesTheOtherOfItsVendorAndCurrencyWithSomethingLeft) {
  // statement: candidates (number:remaining:applied here:still applicable), in cents.
  struct Step {
    const char* apply;   // invoice,credit,amount before the reads; "" none
    int32_t statement;
    const char* expected;
  } const steps[] = {
      {"", 2, "CR-3:-2000:0:2000"},
      {"", 3, "NF-88123:8435:0:2000"},
      {"", 8, "IN-6:1000:0:1000"},
      {"", 9, "(no statement)"},
      {"2,3,1500000", 2, "CR-3:-1850:150:1850"},
      {"", 3, "NF-88123:8285:150:1850"},
      // All of credit 3 applied: it is still listed where it was applied.
      {"2,3,18500000", 2, "CR-3:0:2000:0"},
      {"", 3, "NF-88123:6435:2000:0"},
  };
  for (const Step& s : steps) {
    if (*s.apply) Apply(s.apply);
    EXPECT_EQ(Candidates(s.statement), s.expected) << s.statement << " after " << s.apply;
  }
  // A new invoice no longer sees the spent credit memo.
  db.Exec("INSERT INTO statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
          "amount, amount_remaining, currency) VALUES (10, 'IN-10', 0, 1, 1000000, 1000000, 'USD')");
  EXPECT_EQ(Candidates(10), "");
  EXPECT_TRUE(ShownErrors().empty());
}

}  // namespace
