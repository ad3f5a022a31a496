// The report lists on the demo library: every definition's columns are in
// its view and typed for their format; per-row percentages round like
// every Dec64 quotient; totals add every listed budget exactly; a
// restricted account stays out of another user's report; the CSV file and
// a printout of 10,000 budgets.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../BudgetTestSupport.h"
#include "../ModuleFixture.h"
#include "acq/print/AcqDbReport.h"
#include "acq/print/AcqReportTable.h"
#include "host/db/DbDabs.h"
#include "support/PdfText.h"

namespace {

namespace fs = std::filesystem;
using acq::AcqReportTable::ReportKind;
using acq::AcqReportTable::Table;
using budgettest::BudgetModule;

// The rows of a report's view where `where` holds; the caller holds them.
BktHandle ReportRows(ReportKind kind, const std::string& where) {
  static const std::pair<ReportKind, const char*> kSources[] = {
      {ReportKind::BudgetStatus, "budget_status_report"},
      {ReportKind::BudgetCodes, "budget_code_report"},
      {ReportKind::PoLinesByVendor, "po_line_vendor_report"},
      {ReportKind::VendorContracts, "vendor_contract_report"},
      {ReportKind::TaxDetail, "statement_tax_detail"},
      {ReportKind::TaxSummary, "statement_tax_summary"},
  };
  for (const auto& [k, table] : kSources)
    if (k == kind) return acqtest::LoadRows(table, where);
  return nullptr;
}

Table Build(ReportKind kind, const std::string& where) {
  std::vector<acq::AcqDbReport::ReportColumn> columns;
  EXPECT_TRUE(acq::AcqDbReport::LoadColumns(acq::AcqReportTable::ViewOf(kind), columns));
  BucketHold rows(ReportRows(kind, where));
  Table table;
  EXPECT_TRUE(acq::AcqReportTable::BuildTable(kind, *rows, columns, "Report", table));
  return table;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  for (const auto& l : lines)
    if (l == line) return true;
  return false;
}

TEST(ReportViews, EveryColumnIsInItsViewAndTypedForItsFormat) {
  BudgetModule m;
  for (ReportKind kind : {ReportKind::BudgetStatus, ReportKind::BudgetCodes,
                          ReportKind::PoLinesByVendor, ReportKind::VendorContracts,
                          ReportKind::TaxDetail, ReportKind::TaxSummary}) {
    std::vector<acq::AcqDbReport::ReportColumn> columns;
    ASSERT_TRUE(acq::AcqDbReport::LoadColumns(acq::AcqReportTable::ViewOf(kind), columns));
    ASSERT_FALSE(columns.empty()) << acq::AcqReportTable::ViewOf(kind);
    BucketHold rows(ReportRows(kind, ""));
    ASSERT_NE(*rows, nullptr);
    for (const auto& c : columns) {
      const int col = _BktGetColNum(*rows, c.name);
      ASSERT_NE(col, 0) << c.name;
      if (c.format == "money" || c.name.rfind("percent_", 0) == 0) {
        EXPECT_EQ(_BktGetColType(*rows, col), kColDec64) << c.name;
      }
    }
  }
}

TEST(ReportViews, RowPercentagesDivideFirstAndRoundHalfAwayFromZero) {
  // amount, on_order, spent (raw millionths) and the expected raw
  // percentages of on order and available ("" blank).
  struct Case {
    const char* account;
    long long amount, onOrder, spent;
    const char* percentOnOrder;
    const char* percentAvailable;
  };
  const Case cases[] = {
      {"P1", 1000000000, 250000000, 0, "25000000", "75000000"},   // 1000.00, 250.00 on order
      {"P2", 3000000, 1000000, 0, "33333300", "66666700"},        // 1/3: 0.333333 x 100
      {"P3", 2000000, 1, 0, "100", "100000000"},  // 0.0000005 and 0.9999995 round up
      {"P4", 2000000, 2000001, 0, "100000100", "-100"},           // -0.0000005 rounds away
      {"P5", 100000000, 150000000, 0, "150000000", "-50000000"},  // overcommitted
      {"P6", 0, 5000000, 0, "", ""},                              // no allocation
      {"P7", 9500000000000, 1, 0, "", ""},                        // beyond exact range
  };
  std::string sql;
  for (const Case& c : cases) {
    sql += std::string("INSERT INTO account(account, descr) VALUES ('") + c.account + "', 'x');";
    sql += std::string("INSERT INTO account_year(account, year, amount, on_order, spent) VALUES ('") +
           c.account + "', 2040, " + std::to_string(c.amount) + ", " +
           std::to_string(c.onOrder) + ", " + std::to_string(c.spent) + ");";
  }
  BudgetModule m(sql);
  for (const Case& c : cases) {
    EXPECT_EQ(m.Query(std::string("select percent_on_order from budget_status_report where "
                                  "account='") + c.account + "'"),
              c.percentOnOrder)
        << c.account;
    EXPECT_EQ(m.Query(std::string("select percent_available from budget_status_report where "
                                  "account='") + c.account + "'"),
              c.percentAvailable)
        << c.account;
  }
}

TEST(ReportTable, BudgetStatusTotalsAddEveryListedBudgetExactly) {
  BudgetModule m(
      "INSERT INTO account(account, descr) VALUES ('T1', 'one'), ('T2', 'two');"
      "INSERT INTO account_year(account, year, amount, on_order, spent) VALUES "
      "('T1', 2041, 1000000000, 250000000, 100000000),"
      "('T2', 2041, 3000000000, 750000000, 200000001)");
  const Table t = Build(ReportKind::BudgetStatus, "year=2041");
  ASSERT_EQ(t.rows.size(), 2u);
  // 4000.00 allocated, 1000.00 on order, 300.000001 spent.
  EXPECT_TRUE(Has(t.summary, "Total Amount: $4000.00")) << ::testing::PrintToString(t.summary);
  EXPECT_TRUE(Has(t.summary, "Total On Order: $1000.00"));
  EXPECT_TRUE(Has(t.summary, "Total Percent On Order: 25"));
  // 300.000001 / 4000 = 0.07500000025 -> 0.075000 x 100 = 7.5 exactly.
  EXPECT_TRUE(Has(t.summary, "Total Percent Spent: 7.5"));
  EXPECT_TRUE(Has(t.summary, "Total Percent Available: 67.5"));
  EXPECT_TRUE(Has(t.summary, "Total Percent Unspent: 92.5"));
  ASSERT_EQ(t.totals.size(), 1u);
  EXPECT_EQ(t.totals[0][0], "Total");

  // The demo's year: the totals agree with the budgets' own sums.
  const Table demo = Build(ReportKind::BudgetStatus, "year=2026");
  const Dec64 amount = m.QueryMoney("select sum(amount) from account_year where year=2026");
  EXPECT_TRUE(Has(demo.summary, "Total Amount: " +
                                    LbDec64_StrFrom64(amount, DbDabs_QueryMoneyFmt(0))));
}

TEST(ReportTable, RestrictedAccountLeftOutForOtherUsers) {
  struct Case {
    const char* user;
    bool seesSpecial;
  };
  for (const Case c : {Case{"admin", true}, Case{"clerk", false}}) {
    BudgetModule m("", c.user);
    const std::string where = acq::AcqDbReport::UnusableAccountsWhere();
    EXPECT_EQ(where.empty(), c.seesSpecial) << c.user << ": " << where;
    for (ReportKind kind : {ReportKind::BudgetStatus, ReportKind::BudgetCodes}) {
      const Table t = Build(kind, "year=2026");
      bool special = false;
      for (const auto& row : t.rows) special = special || row[0] == "SPECIAL.2026";
      EXPECT_EQ(special, c.seesSpecial) << c.user;
    }
    const Dec64 all = m.QueryMoney("select sum(amount) from account_year where year=2026");
    const Dec64 special =
        m.QueryMoney("select amount from account_year where year=2026 and account='SPECIAL'");
    Dec64 expected = all;
    if (!c.seesSpecial) {
      ASSERT_EQ(LbDec64_Sub64(all, special, expected), DecStatus::Ok);
    }
    EXPECT_TRUE(Has(Build(ReportKind::BudgetStatus, "year=2026").summary,
                    "Total Amount: " + LbDec64_StrFrom64(expected, DbDabs_QueryMoneyFmt(0))))
        << c.user;
  }
}

TEST(ReportTable, CsvRecordsQuoteWhatWouldSplitThem) {
  struct Case {
    std::vector<std::string> cells;
    const char* record;
  };
  const Case cases[] = {
      {{"ADULT.2026", "1,000.00", ""}, "ADULT.2026,\"1,000.00\","},
      {{"He said \"no\""}, "\"He said \"\"no\"\"\""},
      {{"two\nlines", "x"}, "\"two\nlines\",x"},
      {{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(acq::AcqReportTable::CsvRecord(c.cells), c.record);
}

TEST(ReportTable, CsvFileHasHeadingsRowsSubtotalsAndTotals) {
  BudgetModule m;
  const Table t = Build(ReportKind::PoLinesByVendor, "");
  ASSERT_FALSE(t.rows.empty());
  const fs::path path = m.db.Dir() / "lines.csv";
  std::string error;
  ASSERT_TRUE(acq::AcqReportTable::WriteCsv(path.string(), t, error)) << error;
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  ASSERT_GE(lines.size(), t.rows.size() + 2);
  EXPECT_EQ(lines[0], "Vendor,PO Number,Line,Title,Currency,Unit Price,Quantity,Amount");
  // Every vendor's lines end with its subtotal row.
  int subtotals = 0;
  for (const auto& row : t.rows) subtotals += row[0].rfind("Total ", 0) == 0 ? 1 : 0;
  EXPECT_GE(subtotals, 1);
  EXPECT_EQ(lines.back(), t.summary.back());
  EXPECT_EQ(lines.size(), 1 + t.rows.size() + t.totals.size() + t.summary.size());
}

TEST(ReportTable, TenThousandBudgetsPrintToPdf) {
  BudgetModule m(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
      "INSERT INTO account(account, descr) SELECT 'B' || i, 'Bulk ' || i FROM n;"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
      "INSERT INTO account_year(account, year, amount, on_order, spent) "
      "SELECT 'B' || i, 2050, CAST(i AS BIGINT) * 1000000, CAST(i AS BIGINT) * 250000, 0 FROM n");
  const fs::path out = m.db.Dir() / "out";
  fs::create_directories(out);
  setenv("ACQ_SESSION_DIR", out.c_str(), 1);
  const auto start = std::chrono::steady_clock::now();
  const Table t = Build(ReportKind::BudgetStatus, "year=2050");
  ASSERT_EQ(t.rows.size(), 10000u);
  // 1 + ... + 10000 = 50,005,000.00; a quarter of it on order.
  EXPECT_TRUE(Has(t.summary, "Total Amount: $50005000.00"));
  EXPECT_TRUE(Has(t.summary, "Total Percent On Order: 25"));
  std::string error, pdf;
  EXPECT_EQ(acq::AcqReportTable::PrintTable(kMucPrintPdfFile, t, error, &pdf), MUCPRINT_OK)
      << error;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start).count();
  RecordProperty("print_ms", std::to_string(ms));
  std::printf("10,000 budgets: table and PDF in %lld ms\n", static_cast<long long>(ms));
  unsetenv("ACQ_SESSION_DIR");
  ASSERT_TRUE(fs::exists(pdf)) << pdf;
  const std::string text = testpdf::CommandOutput("pdftotext -layout '" + pdf + "' -");
  EXPECT_NE(text.find("B9999"), std::string::npos);
  EXPECT_NE(text.find("Total Amount: $50005000.00"), std::string::npos);
  EXPECT_NE(text.find("Page 1 of "), std::string::npos);
}

}  // namespace
