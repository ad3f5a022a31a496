// Payables and cheque runs on a real database: who gets a cheque, what the
// formatted file holds byte for byte, status changes that are all or
// nothing, cheque updates, a file that cannot be written, and two
// workstations running cheque runs at once.
//
// The demo library's own open payable is deleted first; the tests make
// their statements and payables (all in US dollars unless a case says
// otherwise) for the demo vendors 1 Northfield, 2 O'Brien (whose cheque
// address is its "REMIT" address, not its orders address), 3 Maple Leaf
// and 5 Cascade.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acq/DbActFixture.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/statement/AcqChequeFile.h"
#include "acq/statement/AcqDbPayables.h"
#include "support/Processes.h"

namespace {

namespace pay = acq::AcqDbPayables;
using acq::AcqChequeFile::FileResult;
using pay::Outcome;
using pay::PayableStatus;

struct Payable {
  int32_t statement;
  const char* number;
  int32_t vendor;
  const char* amount;
  int status = 0;
  const char* currency = "USD";
};

// SQL making a statement and its payable (voucher# = statement# + 1000) per row.
std::string Make(const std::vector<Payable>& payables) {
  std::string sql = "delete from payables;";
  for (const Payable& p : payables) {
    const std::string s = std::to_string(p.statement), v = std::to_string(p.vendor);
    sql += "insert into statement(\"statement#\", statement_number, \"vendor#\", currency, "
           "statement_date) values (" + s + ", '" + p.number + "', " + v + ", '" + p.currency +
           "', 46000);";
    sql += "insert into payables(\"voucher#\", \"statement#\", \"vendor#\", status, amount, "
           "currency, invoice_date) values (" + std::to_string(p.statement + 1000) + ", " + s +
           ", " + v + ", " + std::to_string(p.status) + ", " + p.amount + ", '" + p.currency +
           "', 46000);";
  }
  return sql;
}

// Northfield: 30 invoices (its cheque runs over two forms); O'Brien two;
// Maple Leaf a credit only; Cascade an invoice and a credit that cancel out.
std::vector<Payable> RunPayables() {
  std::vector<Payable> p;
  for (int i = 1; i <= 30; ++i) {
    static std::vector<std::string> numbers(31);
    numbers[i] = "NF-2026-" + std::string(i < 10 ? "000" : "00") + std::to_string(i);
    p.push_back({100 + i, numbers[i].c_str(), 1, i == 30 ? "7250000" : "12500000"});
  }
  p.push_back({201, "OB-7712345678901", 2, "1000000000"});
  p.push_back({202, "OB-5", 2, "234560000"});
  p.push_back({301, "ML-1", 3, "-20000000"});
  p.push_back({501, "CA-1", 5, "15000000"});
  p.push_back({502, "CA-2", 5, "-15000000"});
  return p;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The expected file keeps its trailing blanks visible: each line closes
// with '|', a form feed is spelled <FF>. Line ends are CR LF in the file.
std::string ExpectedFile(const std::string& name) {
  const std::string text = ReadBytes(std::string(ACQ_SOURCE_DIR) + "/tests/acq/data/" + name);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 4, "<FF>") == 0) { out += '\f'; i += 3; }
    else if (text.compare(i, 2, "|\n") == 0) { out += "\r\n"; ++i; }
    else out += text[i];
  }
  return out;
}

std::string Flat(const acttest::Rows& rows) {
  std::string out;
  for (const auto& r : rows) {
    for (size_t c = 0; c < r.size(); ++c) out += (c ? "," : "") + r[c];
    out += ";";
  }
  return out;
}

class Payables : public ::testing::Test {
 protected:
  explicit Payables(const std::vector<Payable>& rows = RunPayables()) : m(Make(rows)) {}
  std::string Q(const std::string& sql) { return Flat(m.Query(sql)); }
  std::filesystem::path Dir() const { return m.db.Dir(); }

  acttest::ActModule m;
  acttest::RecordingPerson person;
};

TEST_F(Payables, RunPaysEachVendorOwedMoreThanZeroAndWritesTheFormattedFile) {
  pay::RunResult run;
  ASSERT_EQ(pay::CreateChequeRun(run), Outcome::Done);
  EXPECT_EQ(run.run, 1);
  EXPECT_EQ(run.cheques, 2);
  EXPECT_EQ(run.firstCheque, 1);
  EXPECT_EQ(run.lastCheque, 2);
  EXPECT_EQ(Q("select \"cheque#\", \"vendor#\", amount, status from cheque order by 1"),
            "1,1,369750000,0;2,2,1234560000,0;");
  EXPECT_EQ(Q("select run_currency, file_created, user_id from cheque_run"), "USD,0,admin;");
  // Maple Leaf (a credit) and Cascade (zero in all) are left open.
  EXPECT_EQ(Q("select \"vendor#\", status, count(*), coalesce(sum(\"cheque#\"), 0) from payables "
              "group by \"vendor#\", status order by 1"),
            "1,2,30,30;2,2,2,4;3,0,1,0;5,0,2,0;");
  EXPECT_TRUE(person.shown.empty()) << person.shown.front();

  // The file shows a fixed date: the cheques are dated 2026-12-04.
  m.db.Exec("update cheque set cheque_issued_date = 46358");
  const std::filesystem::path file = Dir() / "Dec042026.txt";
  ASSERT_EQ(acq::AcqChequeFile::WriteChequeFileTo(nullptr, run.run, file.string()),
            FileResult::Written);
  EXPECT_EQ(ReadBytes(file), ExpectedFile("PayablesChequeRun.txt"));
  EXPECT_EQ(Q("select file_created from cheque_run"), "1;");

  // Made once: a second file is refused and the first stays as it was.
  const std::filesystem::path again = Dir() / "again.txt";
  EXPECT_EQ(acq::AcqChequeFile::WriteChequeFileTo(nullptr, run.run, again.string()),
            FileResult::AlreadyCreated);
  EXPECT_FALSE(std::filesystem::exists(again));

  // Nothing left to pay: a second run makes no run at all.
  pay::RunResult second;
  EXPECT_EQ(pay::CreateChequeRun(second), Outcome::Refused);
  EXPECT_EQ(Q("select count(*) from cheque_run"), "1;");

  pay::ReportRows reg;
  ASSERT_TRUE(pay::ReadChequeRegister(run.run, reg));
  ASSERT_EQ(reg.size(), 32u);
  EXPECT_EQ(reg[31], (std::vector<std::string>{"1", "2", "2026-12-04", "O'Brien Library Supply",
                                               "1202", "2025-12-11", "OB-5", "234.56"}));
}

TEST_F(Payables, AFileThatCannotBeCreatedIsToldAndLeavesTheRunUnmarked) {
  pay::RunResult run;
  ASSERT_EQ(pay::CreateChequeRun(run), Outcome::Done);
  const std::filesystem::path file = Dir() / "no-such-folder" / "cheques.txt";
  EXPECT_EQ(acq::AcqChequeFile::WriteChequeFileTo(nullptr, run.run, file.string()),
            FileResult::Failed);
  ASSERT_EQ(person.shown.size(), 1u);
  EXPECT_EQ(person.shown[0], "File Message|Can't open file. Check drive, directory and spelling.");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(Q("select file_created from cheque_run"), "0;");
  // The run's file can still be made.
  EXPECT_EQ(acq::AcqChequeFile::WriteChequeFileTo(nullptr, run.run, (Dir() / "ok.txt").string()),
            FileResult::Written);
}

class PayableStatusChanges : public Payables {
 protected:
  // Statements 11 and 12 USD on hold, 13 GBP on hold, 14 USD open, 15 USD paid.
  PayableStatusChanges()
      : Payables({{11, "A", 1, "10000000", 1},
                  {12, "B", 1, "20000000", 1},
                  {13, "C", 4, "30000000", 1, "GBP"},
                  {14, "D", 2, "40000000", 0},
                  {15, "E", 2, "50000000", 2}}) {}
};

TEST_F(PayableStatusChanges, AllOrNothing) {
  struct Case {
    std::vector<int32_t> statements;   // 1 .. 5: statements 11 .. 15
    PayableStatus to;
    Outcome outcome;
    int refused;
    const char* statuses;   // of the five afterwards
  };
  const Case cases[] = {
      // A GBP payable would open beside open USD ones: none of the three opens.
      {{1, 3, 2}, PayableStatus::Open, Outcome::Refused, 1, "1,1,1,0,2"},
      {{1, 2}, PayableStatus::Open, Outcome::Done, 0, "0,0,1,0,2"},
      {{5, 1}, PayableStatus::Hold, Outcome::Refused, 1, "0,0,1,0,2"},   // paid stays paid
      {{1, 2, 4}, PayableStatus::Hold, Outcome::Done, 0, "1,1,1,1,2"},
      // With every USD payable on hold, the GBP one opens; then USD cannot.
      {{3}, PayableStatus::Open, Outcome::Done, 0, "1,1,0,1,2"},
      {{4}, PayableStatus::Open, Outcome::Refused, 1, "1,1,0,1,2"},
      {{3, 4}, PayableStatus::Deleted, Outcome::Done, 0, "1,1,3,3,2"},
      {{1, 3}, PayableStatus::Deleted, Outcome::Refused, 1, "1,1,3,3,2"},   // deleted for good
  };
  int n = 0;
  for (const Case& c : cases) {
    std::vector<pay::PayableKey> keys;
    for (int32_t s : c.statements) keys.push_back({s + 1010, s + 10});
    int refused = -1;
    EXPECT_EQ(pay::SetPayablesStatus(keys, c.to, &refused), c.outcome) << "case " << n;
    EXPECT_EQ(refused, c.refused) << "case " << n;
    std::string statuses;
    for (const auto& r : m.Query("select status from payables order by \"statement#\""))
      statuses += (statuses.empty() ? "" : ",") + r[0];
    EXPECT_EQ(statuses, c.statuses) << "case " << n;
    ++n;
  }
  EXPECT_TRUE(acqtest::ShownErrors().empty());
}

class MixedCurrencyPayables : public Payables {
 protected:
  MixedCurrencyPayables()
      : Payables({{11, "A", 1, "10000000"}, {12, "B", 4, "20000000", 0, "GBP"}}) {}
};

// A run pays in one currency: open US-dollar and GBP payables at once fail
// the run with the reason shown, and nothing is paid or numbered.
TEST_F(MixedCurrencyPayables, RunIsRefusedWithTheReasonAndWritesNothing) {
  pay::RunResult run;
  EXPECT_EQ(pay::CreateChequeRun(run), Outcome::Failed);
  ASSERT_EQ(acqtest::ShownErrors().size(), 1u);
  EXPECT_NE(acqtest::ShownErrors()[0].find("either USD currency or non-USD currency"),
            std::string::npos) << acqtest::ShownErrors()[0];
  EXPECT_EQ(Q("select count(*) from cheque_run"), "0;");
  EXPECT_EQ(Q("select count(*) from cheque"), "0;");
  EXPECT_EQ(Q("select status, count(*) from payables group by status"), "0,2;");
}

class TwoCurrencyVendor : public Payables {
 protected:
  TwoCurrencyVendor()
      : Payables({{11, "A", 4, "10000000", 0, "GBP"}, {12, "B", 4, "20000000", 0, "CAD"},
                  {13, "C", 3, "5000000", 0, "CAD"}}) {}
};

// A cheque's total is in one currency: a vendor owed in two fails the run
// with its name and the reason, before anything is paid or numbered.
TEST_F(TwoCurrencyVendor, RunIsRefusedNamingTheVendor) {
  pay::RunResult run;
  EXPECT_EQ(pay::CreateChequeRun(run), Outcome::Failed);
  ASSERT_EQ(acqtest::ShownErrors().size(), 1u);
  EXPECT_NE(acqtest::ShownErrors()[0].find("has open payables in more than one currency"),
            std::string::npos) << acqtest::ShownErrors()[0];
  EXPECT_EQ(Q("select count(*) from cheque_run"), "0;");
  EXPECT_EQ(Q("select count(*) from cheque"), "0;");
  EXPECT_EQ(Q("select status, count(*) from payables group by status"), "0,3;");
}

TEST_F(Payables, ChequeUpdatesChangeOnlyIssuedChequesAllOrNothing) {
  pay::RunResult run;
  ASSERT_EQ(pay::CreateChequeRun(run), Outcome::Done);
  m.db.Exec("update cheque set cheque_issued_date = 46358");   // 2026-12-04
  std::vector<int> years;
  ASSERT_TRUE(pay::ReadChequeYears(years));
  EXPECT_EQ(years, std::vector<int>{2026});
  int32_t count = 0;
  Dec64 value{};
  ASSERT_TRUE(pay::GetOpenChequeTotals(2026, count, value));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(value.raw, 1604310000);

  int32_t refused = 0;
  EXPECT_EQ(pay::UpdateChequeStatus({1}, 46360, pay::ChequeStatus::Reconciled, refused),
            Outcome::Done);
  // Cheque 1 is no longer issued: voiding both changes neither.
  EXPECT_EQ(pay::UpdateChequeStatus({2, 1}, 46361, pay::ChequeStatus::Void, refused),
            Outcome::Refused);
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(Q("select \"cheque#\", status, processed_date from cheque order by 1"),
            "1,1,46360;2,0,;");
  ASSERT_TRUE(pay::GetOpenChequeTotals(2026, count, value));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(value.raw, 1234560000);
}

// Two workstations start a cheque run at the same moment: one pays, the
// other finds nothing left; no payable is paid twice, no cheque number is
// used twice.
TEST_F(Payables, TwoWorkstationsRunningChequeRunsPayEachPayableOnce) {
  testproc::Gate gate;
  std::vector<pid_t> children;
  for (int w = 0; w < 2; ++w)
    children.push_back(testproc::Spawn([&] {
      DbMsg msg;
      HDb own = nullptr;
      if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) return 10;
      acq::AcqDbGlobal::Globals().session = own;
      gate.Wait();
      pay::RunResult run;
      const Outcome outcome = pay::CreateChequeRun(run);
      _DbLogout(&own);
      return outcome == Outcome::Done ? 0 : outcome == Outcome::Refused ? 1 : 12;
    }));
  gate.Open(2);
  int done = 0, refused = 0;
  for (pid_t child : children) {
    const int status = testproc::WaitFor(child, 300);
    done += status == 0;
    refused += status == 1;
  }
  EXPECT_EQ(done, 1);
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(Q("select count(*), count(distinct \"cheque#\"), sum(amount) from cheque"),
            "2,2,1604310000;");
  EXPECT_EQ(Q("select count(*) from cheque_run"), "1;");
  EXPECT_EQ(Q("select count(*) from payables where status = 2 and \"cheque#\" is not null"), "32;");
}

}  // namespace
