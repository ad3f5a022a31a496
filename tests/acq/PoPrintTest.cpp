// Printed purchase orders: the forms as a person reads them back from the
// PDF (pdftotext -layout), and what printing each form leaves in the
// database.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "DbActFixture.h"
#include "ModuleFixture.h"
#include "acq/db/AcqDbGen.h"
#include "acq/print/AcqPPrint.h"
#include "acq/print/AcqPrint.h"
#include "database/Database.h"
#include "host/db/DbDabs.h"
#include "support/PdfText.h"

namespace {

namespace fs = std::filesystem;
using acq::AcqPPrint::Form;
using acttest::QueryRows;
using acttest::RecordingPerson;
using acttest::Rows;

// Vendor 90 sells in a currency without decimals; PO 90 has 60 one-copy
// lines (line 1 at 1234.50, which prints as 1235). PO 91 (Northfield, USD)
// has a title too long for its column, copies for two locations, and on
// line 3 one copy cancelled after ordering. PO 92 has a copy not approved.
std::string TestPos() {
  std::string sql =
      "INSERT INTO currency(currency, descr, exchange_rate, n_decimals) "
      "VALUES ('JPY', 'Yen', 6700, 0);"
      "INSERT INTO vendor(\"vendor#\", name, currency, cust_number, first_claim_delay, "
      "claim_interval, max_claims, vendor_note) VALUES (90, 'Sakura Books', 'JPY', 'SK-1', 20, "
      "10, 2, NULL);"
      "INSERT INTO vendor_address(\"vendor#\", address_code, descr, address1, address2, orders) "
      "VALUES (90, 'MAIN', 'Sakura', '1-2-3 Ginza', 'Tokyo 104-0061', 1);"
      "INSERT INTO po(\"po#\", po_number, \"vendor#\", currency, location, bill_to_address, "
      "ship_to_address) VALUES (90, 'PO-JPY-60', 90, 'JPY', 'MAIN', 'ACCTS', 'RECV'),"
      "(91, 'PO-USD-3', 1, 'USD', 'MAIN', 'ACCTS', 'RECV'),"
      "(92, 'PO-USD-NA', 1, 'USD', 'MAIN', 'ACCTS', 'RECV');";
  for (int line = 1; line <= 60; ++line) {
    const std::string l = std::to_string(line);
    sql += "INSERT INTO po_line(\"po#\", line, title, author, isbn, unit_price) VALUES (90, " + l +
           ", 'Yen title " + l + "', 'Author " + l + "', '97800000000" + (line < 10 ? "0" : "") +
           l + "', " + (line == 1 ? "1234500000" : "1000000000") + ");";
    sql += "INSERT INTO po_line_item(\"po#\", line, item, location, budget, approve_date) VALUES "
           "(90, " + l + ", 1, 'MAIN', 'ADULT.2026', 46000);";
  }
  sql +=
      "INSERT INTO po_line(\"po#\", line, title, author, isbn, issn, unit_price) VALUES "
      "(91, 1, 'A Very Long Title About The Natural History Of Rivers Lakes Wetlands And "
      "Estuaries Of The Midwest Closing', 'Whitfield, Dana', '9781555000035', NULL, 12500000),"
      "(91, 2, 'Serial Matters', NULL, NULL, '1234-5679', 7000000),"
      "(91, 3, 'Cancelled In Part', 'Nobody, A.', '9781555000042', NULL, 3000000),"
      "(92, 1, 'Unapproved', NULL, NULL, NULL, 1000000);"
      "INSERT INTO po_line_item(\"po#\", line, item, location, budget, approve_date, order_date, "
      "cancel_date) VALUES "
      "(91, 1, 1, 'MAIN', 'ADULT.2026', 46000, NULL, NULL),"
      "(91, 1, 2, 'BRANCH', 'ADULT.2026', 46000, NULL, NULL),"
      "(91, 2, 1, 'MAIN', 'ADULT.2026', 46000, NULL, NULL),"
      "(91, 3, 1, 'MAIN', 'ADULT.2026', 46000, 46001, NULL),"
      "(91, 3, 2, 'MAIN', 'ADULT.2026', 46000, 46001, 46010),"
      "(92, 1, 1, 'MAIN', 'ADULT.2026', NULL, NULL, NULL);";
  return sql;
}

// Every PDF the output folder holds, each as its pages of text.
std::vector<std::vector<std::string>> PrintedPdfs(const fs::path& folder) {
  std::vector<std::vector<std::string>> pdfs;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".pdf") continue;
    std::vector<std::string> pages;
    std::stringstream all(testpdf::CommandOutput("pdftotext -layout '" + entry.path().string() + "' -"));
    for (std::string page; std::getline(all, page, '\f');) pages.push_back(page);
    pdfs.push_back(pages);
  }
  return pdfs;
}

std::string Joined(const std::vector<std::string>& pages) {
  std::string all;
  for (const std::string& p : pages) all += p + "\n";
  return all;
}

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

class PoPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = db_.Dir() / "out";
    fs::create_directories(out_);
    setenv("ACQ_SESSION_DIR", out_.c_str(), 1);
    db_.Exec(TestPos());
    db_.StartUnits();
    ASSERT_EQ(db_.Login(), kDbOk);
    today_ = std::to_string(DbDabs_GetDate());
  }
  void TearDown() override { unsetenv("ACQ_SESSION_DIR"); }

  int Print(const std::vector<int32_t>& pos, Form form,
            const std::string& printer = std::string(kMucPrintPdfFile)) {
    return acq::AcqPPrint::PrintPosOn(printer, pos, form);
  }
  // The one PDF printed so far, as its pages.
  std::vector<std::string> OnlyPdf() {
    auto pdfs = PrintedPdfs(out_);
    EXPECT_EQ(pdfs.size(), 1u);
    return pdfs.empty() ? std::vector<std::string>{} : pdfs.front();
  }
  Rows Items(const std::string& where) {
    return QueryRows(db_.Path(),
                     "SELECT \"po#\", line, item, order_date, printed_date, next_claim_date "
                     "FROM po_line_item WHERE " + where + " ORDER BY \"po#\", line, item");
  }

  acqtest::ModuleDb db_;
  RecordingPerson person_;
  fs::path out_;
  std::string today_;
};

TEST_F(PoPrintTest, EachFormShowsItsHeadingBlocksAndColumns) {
  struct Case {
    Form form;
    std::vector<std::string> shown;
    std::vector<std::string> absent;
  };
  const std::vector<std::string> common = {
      "PURCHASE ORDER # PO-USD-3", "Customer # NF-4410", "Northfield Book Distributors",
      "2200 Commerce Drive", "Bill To:", "Ship To:", "Main Library - Accounts Payable",
      "Special Instructions: Ship complete orders only.", "Line", "ISBN/ISSN", "Author/Title",
      "Qty", "Amount", "For Internal Use:", "Authorized Signature", "---------"};
  const Case cases[] = {
      // Copies for MAIN and BRANCH: the ship-to block points to the distribution.
      {Form::Negotiable,
       {"See attached shipping distribution", "25.00", "1234-5679", "7.00", "3.00"},
       {"DRAFT", "CANCELLATION", "Main Library - Receiving"}},
      {Form::Draft, {"DRAFT - Not Negotiable", "25.00"}, {"CANCELLATION"}},
      // Only the copy cancelled after ordering: line 3, one copy, 3.00.
      {Form::Cancellation,
       {"CANCELLATION NOTICE", "supercedes all previous", "Cancelled In Part", "3.00"},
       {"DRAFT", "Serial Matters", "25.00"}},
  };
  for (const Case& c : cases) {
    for (const auto& entry : fs::directory_iterator(out_)) fs::remove(entry.path());
    ASSERT_EQ(Print({91}, c.form), 1) << static_cast<int>(c.form);
    const std::string text = Joined(OnlyPdf());
    for (const std::string& s : common) EXPECT_TRUE(Has(text, s)) << s << "\n" << text;
    for (const std::string& s : c.shown) EXPECT_TRUE(Has(text, s)) << s << "\n" << text;
    for (const std::string& s : c.absent) EXPECT_FALSE(Has(text, s)) << s << "\n" << text;
    EXPECT_TRUE(Has(text, "Date " + DbDabs_DateToStr(DbDabs_GetDate()))) << text;
  }
}

TEST_F(PoPrintTest, EveryPoNumbersItsOwnPagesAndUsesItsCurrencyDecimals) {
  ASSERT_EQ(Print({90, 91}, Form::Draft), 2);
  const std::vector<std::string> pages = OnlyPdf();
  ASSERT_GE(pages.size(), 3u);
  // PO 90's pages, then PO 91 on one page of its own.
  size_t k = 0;
  while (k < pages.size() && Has(pages[k], "PO-JPY-60")) ++k;
  ASSERT_GE(k, 2u) << "60 lines fit on one page?";
  for (size_t n = 0; n < k; ++n) {
    EXPECT_TRUE(Has(pages[n], "Page " + std::to_string(n + 1) + " of " + std::to_string(k)))
        << pages[n];
    EXPECT_TRUE(Has(pages[n], "Author/Title")) << "no column headings on page " << n + 1;
  }
  ASSERT_LT(k, pages.size());
  EXPECT_TRUE(Has(pages[k], "PO-USD-3"));
  EXPECT_TRUE(Has(pages[k], "Page 1 of 1")) << pages[k];
  // 1234.50 in a currency without decimals, rounded half away from zero.
  const std::string all = Joined(pages);
  EXPECT_TRUE(Has(all, "1235")) << all;
  EXPECT_FALSE(Has(all, "1234.5"));
  EXPECT_TRUE(Has(all, "Yen title 60"));
  EXPECT_TRUE(Has(all, "Customer # SK-1"));
}

TEST_F(PoPrintTest, LongTitleWrapsInsideItsColumn) {
  ASSERT_EQ(Print({91}, Form::Draft), 1);
  const std::string text = Joined(OnlyPdf());
  EXPECT_FALSE(Has(text, "…")) << text;
  const size_t first = text.find("Whitfield, Dana");
  const size_t last = text.find("Closing");
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(last, std::string::npos) << text;
  // The end of the title is on a later line, and the amount stays on the first.
  EXPECT_NE(text.substr(first, last - first).find('\n'), std::string::npos);
  const size_t lineEnd = text.find('\n', first);
  EXPECT_TRUE(Has(text.substr(first, lineEnd - first), "25.00")) << text;
}

TEST_F(PoPrintTest, NegotiableMarksOrderedItemsAndAReprintMovesNoClaimDates) {
  ASSERT_EQ(Print({91}, Form::Negotiable), 1);
  // Northfield claims first after 30 days. Line 3's copies were ordered
  // before (their dates stay); the cancelled one is not marked.
  const int first = std::stoi(today_) + 30;
  EXPECT_EQ(Items("\"po#\" = 91"),
            (Rows{{"91", "1", "1", today_, today_, std::to_string(first)},
                  {"91", "1", "2", today_, today_, std::to_string(first)},
                  {"91", "2", "1", today_, today_, std::to_string(first)},
                  {"91", "3", "1", "46001", today_, ""},
                  {"91", "3", "2", "46001", "", ""}}));
  db_.Exec("UPDATE po_line_item SET order_date = 46100, printed_date = 46100, "
           "next_claim_date = 46130 WHERE \"po#\" = 91 AND line = 1");
  ASSERT_EQ(Print({91}, Form::Negotiable), 1);
  EXPECT_EQ(Items("\"po#\" = 91 AND line = 1"),
            (Rows{{"91", "1", "1", "46100", today_, "46130"},
                  {"91", "1", "2", "46100", today_, "46130"}}));
}

TEST_F(PoPrintTest, DraftAndCancellationLeaveOrderMarksAlone) {
  const Rows before = Items("1 = 1");
  ASSERT_EQ(Print({90, 91}, Form::Draft), 2);
  EXPECT_EQ(Items("1 = 1"), before);
  // A notice marks only the cancelled copy it told the vendor about.
  ASSERT_EQ(Print({91}, Form::Cancellation), 1);
  EXPECT_EQ(Items("\"po#\" = 91"),
            (Rows{{"91", "1", "1", "", "", ""},
                  {"91", "1", "2", "", "", ""},
                  {"91", "2", "1", "", "", ""},
                  {"91", "3", "1", "46001", "", ""},
                  {"91", "3", "2", "46001", today_, ""}}));
}

TEST_F(PoPrintTest, ClaimLetterListsTheDueItemsOnceWithTheClaimText) {
  // Line 1's two copies were ordered and are due; line 2's is not due yet.
  const int due = std::stoi(today_) - 1;
  db_.Exec("UPDATE po_line_item SET order_date = 46001, next_claim_date = " +
           std::to_string(due) + " WHERE \"po#\" = 91 AND line = 1;"
           "UPDATE po_line_item SET order_date = 46001, next_claim_date = 65000 "
           "WHERE \"po#\" = 91 AND line = 2");
  ASSERT_EQ(Print({91}, Form::Claim), 1);
  const std::string text = Joined(OnlyPdf());
  EXPECT_TRUE(Has(text, "CLAIM LETTER")) << text;
  EXPECT_TRUE(Has(text, "According to our records")) << text;
  EXPECT_TRUE(Has(text, "Natural History")) << text;
  EXPECT_FALSE(Has(text, "Serial Matters")) << text;
  EXPECT_FALSE(Has(text, "25.00")) << "a claim letter prints no amounts";
  // Recorded by the claim procedure: one claim each, the next one after
  // Northfield's claim interval of 21 days.
  const Rows claimed = QueryRows(db_.Path(),
      "SELECT line, item, claim_count, next_claim_date FROM po_line_item "
      "WHERE \"po#\" = 91 AND line IN (1, 2) ORDER BY line, item");
  const std::string next = std::to_string(due + 21);
  EXPECT_EQ(claimed, (Rows{{"1", "1", "1", next}, {"1", "2", "1", next},
                           {"2", "1", "0", "65000"}}));
  // Nothing due any more: no letter, no file.
  for (const auto& entry : fs::directory_iterator(out_)) fs::remove(entry.path());
  EXPECT_EQ(Print({91}, Form::Claim), 0);
  EXPECT_TRUE(PrintedPdfs(out_).empty());
}

TEST_F(PoPrintTest, RefusedPrintsAndMarksNothing) {
  const Rows before = Items("1 = 1");
  // A printer that is not there.
  EXPECT_EQ(Print({91}, Form::Negotiable, "no-such-printer-here"), 0);
  ASSERT_EQ(person_.shown.size(), 1u);
  EXPECT_TRUE(Has(person_.shown[0], "no-such-printer-here")) << person_.shown[0];
  // A PO with a copy not approved is not sent as negotiable (346); the
  // approved one beside it still is.
  person_.shown.clear();
  EXPECT_EQ(Print({92}, Form::Negotiable), 0);
  ASSERT_EQ(person_.shown.size(), 1u);
  EXPECT_TRUE(Has(person_.shown[0], "PO PO-USD-NA has titles with items that are not approved"))
      << person_.shown[0];
  // Nothing cancelled after ordering: no notice, and the person is told.
  person_.shown.clear();
  EXPECT_EQ(Print({90}, Form::Cancellation), 0);
  ASSERT_EQ(person_.shown.size(), 1u);
  EXPECT_TRUE(Has(person_.shown[0], "no cancellation notice is printed")) << person_.shown[0];
  EXPECT_TRUE(PrintedPdfs(out_).empty());
  EXPECT_EQ(Items("1 = 1"), before);
}

TEST_F(PoPrintTest, FailedMarkingRollsBackThatPoAndKeepsEarlierOnes) {
  // The session registers the procedures at its first call of one.
  DbMsg msg;
  int32_t decimals = 0;
  ASSERT_TRUE(acq::AcqDbGen::GetCurrencyFormat(msg, "USD", decimals));
  DbsProcedure real;
  ASSERT_TRUE(Database_FindProcedure("print_po_update_db", real));
  // The real procedure, which then fails for PO 91 after it wrote.
  Database_RegisterProcedure(
      "print_po_update_db",
      [real](pwdb::DbConnection& db, const std::vector<DbsValue>& args,
             std::vector<DbsResultSet>& results, std::string& error) -> DbCode {
        const DbCode rc = real(db, args, results, error);
        if (rc != kDbOk || args[0].i != 91) return rc;
        error = "marking refused for the test";
        return kDbError;
      });
  const int printed = Print({90, 91, 1}, Form::Negotiable);
  Database_RegisterProcedure("print_po_update_db", real);
  EXPECT_EQ(printed, 1);
  EXPECT_EQ(Items("\"po#\" = 90 AND printed_date = " + today_).size(), 60u);
  EXPECT_TRUE(Items("\"po#\" = 91 AND printed_date IS NOT NULL").empty());
  ASSERT_FALSE(acqtest::ShownErrors().empty());
  EXPECT_TRUE(Has(acqtest::ShownErrors().back(), "marking refused for the test"));
}

}  // namespace
