// The query library's reads, on the demo library through the module's units.
// Expected values are worked out from the demo data (database/Demo.cpp) and
// the few rows SetUp adds; money in millionths.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ModuleFixture.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbGen.h"
#include "database/Database.h"
#include "host/sys/RunTime.h"

namespace {

namespace gen = acq::AcqDbGen;
using acqtest::ModuleDb;
using acqtest::ShownErrors;

constexpr int64_t Cents(int64_t cents) { return cents * 10'000; }

struct Sets {
  std::vector<BktHandle> v;
  ~Sets() {
    for (BktHandle& b : v) _BktDestroy(&b);
  }
};

int Col(BktHandle b, const char* name) {
  const int col = _BktGetColNum(b, name);
  EXPECT_GT(col, 0) << name;
  return col;
}
std::string Str(BktHandle b, int row, const char* col) { return _ColGetStringW(b, row, Col(b, col)); }
int64_t Raw(BktHandle b, int row, const char* col) { return _ColGetDec64(b, row, Col(b, col)).raw; }
int Int(BktHandle b, int row, const char* col) { return _ColGetInt(b, row, Col(b, col)); }

class AcqDbGenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A credit applied to each statement (the first vouchered), a currency
    // without decimals, two items of a serial copy (one deleted) and an
    // uploaded interchange with segments out of order.
    db.Exec(R"(
      INSERT INTO currency(currency, descr, exchange_rate, n_decimals) VALUES ('JPY', 'Yen', 6700, 0);
      INSERT INTO statement("statement#", statement_number, statement_type, "vendor#", amount,
                            currency, exchange_rate) VALUES
        (3, 'TP-CR-1', 3, 4, -12500000, 'GBP', 1250000), (4, 'NF-CR-7', 3, 1, -5000000, 'USD', 1000000);
      INSERT INTO statement_linker("invoice_statement#", "credit_statement#", amount_applied,
                                   "voucher#") VALUES (1, 3, 12500000, 1), (2, 4, 5000000, NULL);
      INSERT INTO item("item#", "bib#", "copy#", ibarcode, location, delete_flag) VALUES
        (1, 880, 1, '31234000000019', 'MAIN', 0), (2, 880, 1, '31234000000027', 'MAIN', 1);
      INSERT INTO edifact_interchange("edifact#", "vendor#", location, prep_date, prep_time,
                                      control_reference, file_name, file_size)
        VALUES (1, 4, 'MAIN', 46000, 600, 'CR''1', 'in.edi', 100);
      INSERT INTO edifact_segment("edifact#", "segment#", "message#", short_segment) VALUES
        (1, 2, 1, 'BGM+231'''), (1, 1, 1, 'UNH+1'''), (1, 3, 2, 'UNH+2''');)");
    db.StartUnits();
    ASSERT_EQ(db.Login(), kDbOk);
  }
  ModuleDb db;
  DbMsg msg;
};

TEST_F(AcqDbGenTest, ExistenceTestsAnswerTrueAndFalseFromTheRows) {
  gen::InterchangeId seen{4, "MAIN", 46000, 600, "CR'1", "renamed.edi", 7};
  gen::InterchangeId other = seen;
  other.prepTime = 601;
  struct Case { const char* what; std::function<bool()> test; bool expected; };
  const Case cases[] = {
      {"po 1 on a statement", [&] { return gen::ExistsProc(msg, gen::proc::exist_po_statement, 1); }, true},
      {"po 3 on none", [&] { return gen::ExistsProc(msg, gen::proc::exist_po_statement, 3); }, false},
      {"po 5 vouchered", [&] { return gen::ExistsProc(msg, gen::proc::exist_po_voucher, 5); }, true},
      {"po 1 not", [&] { return gen::ExistsProc(msg, gen::proc::exist_po_voucher, 1); }, false},
      {"statement 2 has POs", [&] { return gen::ExistsProc(msg, gen::proc::exist_statement_po, 2); }, true},
      {"statement 99", [&] { return gen::ExistsProc(msg, gen::proc::exist_statement_po, 99); }, false},
      {"statement 1 vouchered", [&] { return gen::ExistsProc(msg, gen::proc::exist_statement_voucher, 1); }, true},
      {"statement 2 not", [&] { return gen::ExistsProc(msg, gen::proc::exist_statement_voucher, 2); }, false},
      // Statement 1 is paid in full; 2 is not approved.
      {"nothing to voucher on 1", [&] { return gen::ExistsProc(msg, gen::proc::exist_statement_voucher_tobe, 1); }, false},
      {"nor on 2", [&] { return gen::ExistsProc(msg, gen::proc::exist_statement_voucher_tobe, 2); }, false},
      {"voucher 1 pays POs", [&] { return gen::ExistsProc(msg, gen::proc::exist_voucher_po, 1); }, true},
      {"voucher 2 absent", [&] { return gen::ExistsProc(msg, gen::proc::exist_voucher_po, 2); }, false},
      {"voucher 1 pays a charge", [&] { return gen::ExistsProc(msg, gen::proc::exist_voucher_statement, 1); }, true},
      {"ADULT.2026", [&] { return gen::ExistsAccountYear(msg, "ADULT", 2026); }, true},
      {"ADULT.2028", [&] { return gen::ExistsAccountYear(msg, "ADULT", 2028); }, false},
      {"apostrophe account", [&] { return gen::ExistsAccountYear(msg, "O'Brien", 2026); }, false},
      {"year 2025", [&] { return gen::ExistsAccountYearYear(msg, 2025); }, true},
      {"year 2027", [&] { return gen::ExistsAccountYearYear(msg, 2027); }, true},
      {"year 2028", [&] { return gen::ExistsAccountYearYear(msg, 2028); }, false},
      {"no year", [&] { return gen::ExistsAccountYearYear(msg, std::nullopt); }, false},
      {"po 5 statement approved", [&] { return gen::ExistsApprovedStatement(msg, 5); }, true},
      {"po 1 statement not", [&] { return gen::ExistsApprovedStatement(msg, 1); }, false},
      {"po 5 renewed", [&] { return gen::ExistsPoRenewal(msg, 5); }, true},
      {"po 4 not", [&] { return gen::ExistsPoRenewal(msg, 4); }, false},
      // Same sender, place, time and reference: a duplicate whatever its name.
      {"interchange seen", [&] { return gen::EdifactInterchangeExists(msg, seen); }, true},
      {"other time", [&] { return gen::EdifactInterchangeExists(msg, other); }, false},
      {"1/1/1 invoiced", [&] { return gen::ExistsPoLineItemStatement(msg, 1, 1, 1); }, true},
      {"1/2/1 not", [&] { return gen::ExistsPoLineItemStatement(msg, 1, 2, 1); }, false},
      {"5/1/1 vouchered", [&] { return gen::ExistsPoLineItemVoucher(msg, 5, 1, 1); }, true},
      {"1/1/1 not", [&] { return gen::ExistsPoLineItemVoucher(msg, 1, 1, 1); }, false},
      {"line 5/2 vouchered", [&] { return gen::ExistsPoLineVoucher(msg, 5, 2); }, true},
      {"line 1/1 not", [&] { return gen::ExistsPoLineVoucher(msg, 1, 1); }, false},
      {"line 1/1 has items", [&] { return gen::ExistsPoLineItems(msg, 1, 1); }, true},
      {"line 1/9 absent", [&] { return gen::ExistsPoLineItems(msg, 1, 9); }, false},
      {"request 1 distributed", [&] { return gen::ExistsPrDistribution(msg, 1); }, true},
      {"request 2 absent", [&] { return gen::ExistsPrDistribution(msg, 2); }, false},
      {"bib 1002 received only", [&] { return gen::IsBibOnIncompletePoLine(msg, 1002); }, true},
      {"bib 1001 complete", [&] { return gen::IsBibOnIncompletePoLine(msg, 1001); }, false},
      {"1/3 awaits a response", [&] { return gen::CheckForOrderResponse(msg, 1, 3); }, true},
      {"1/1 received", [&] { return gen::CheckForOrderResponse(msg, 1, 1); }, false},
      {"3/1 not ordered", [&] { return gen::CheckForOrderResponse(msg, 3, 1); }, false},
      {"1/1 approved", [&] { return gen::PolisApprovedForPoLine(msg, 1, 1); }, true},
      {"6/1 not", [&] { return gen::PolisApprovedForPoLine(msg, 6, 1); }, false},
      {"6/3 split 50/50", [&] { return gen::VerifyBudgetsForPoLine(msg, 6, 3); }, true},
      {"not all approved", [&] { return gen::PolisAllApproved(msg); }, false},
      {"statement 1 approved", [&] { return gen::IsStatementApproved(msg, 1); }, true},
      {"statement 2 not", [&] { return gen::IsStatementApproved(msg, 2); }, false},
      {"ADULT.2026 on order", [&] { return gen::IsBudgetOnOrder(msg, "ADULT.2026"); }, true},
      {"ADULT.2025 not", [&] { return gen::IsBudgetOnOrder(msg, "ADULT.2025"); }, false},
      {"vendor 2", [&] { return gen::VendorExists(msg, 2); }, true},
      {"vendor 9", [&] { return gen::VendorExists(msg, 9); }, false},
      {"several SAN locations", [&] { return gen::MultipleLocationSans(msg); }, true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.test(), c.expected) << c.what << ": " << msg.text;
  EXPECT_TRUE(ShownErrors().empty());

  using gen::ItemActivity;
  EXPECT_EQ(gen::PoLineItemActivity(msg, 1, 1, 1), ItemActivity::Activity);
  EXPECT_EQ(gen::PoLineItemActivity(msg, 4, 1, 1), ItemActivity::Renewal);
  EXPECT_EQ(gen::PoLineItemActivity(msg, 3, 1, std::nullopt), ItemActivity::None);  // approved only

  // The rows change, the answers follow. Approved alone, statement 2 has
  // nothing to voucher until some of its money is spent (as approval spends
  // the rows of its received copies).
  db.Exec(R"(UPDATE statement SET approve_date = 46060 WHERE "statement#" = 2;
             UPDATE po_line_item SET budget = NULL WHERE "po#" = 6 AND line = 1 AND item = 1)");
  EXPECT_FALSE(gen::ExistsProc(msg, gen::proc::exist_statement_voucher_tobe, 2));
  EXPECT_FALSE(gen::VerifyBudgetsForPoLine(msg, 6, 1));
  db.Exec(R"(UPDATE po_line_item_budget_amount SET spent = 1 WHERE "statement#" = 2)");
  EXPECT_TRUE(gen::ExistsProc(msg, gen::proc::exist_statement_voucher_tobe, 2));
}

TEST_F(AcqDbGenTest, FailedTestsAndValuesAreShownOnceEachAndAnswerNothing) {
  EXPECT_FALSE(gen::ExistsProc(msg, "exist_nothing", 1));
  EXPECT_EQ(msg.text, "Could not find stored procedure 'exist_nothing'.");
  std::string text = "old";
  EXPECT_FALSE(gen::GetPoTotal(msg, "get_po_total_nothing", 1, text));
  EXPECT_EQ(text, "");
  ASSERT_EQ(ShownErrors().size(), 2u);
  EXPECT_NE(ShownErrors()[1].find("'get_po_total_nothing'"), std::string::npos);
}

TEST_F(AcqDbGenTest, PoTotalsAreMoneyTextOfTheBaseFormat) {
  struct Case { const char* procedure; int32_t po; const char* text; };
  const Case cases[] = {
      {gen::proc::get_po_total_invoiced, 1, "$74.85"},       // 3 x 24.95 on statement 2
      {gen::proc::get_po_total_spent, 1, "$0.00"},           // statement 2 is not approved
      {gen::proc::get_po_total_on_order, 1, "$281.85"},      // that + 2 x 65.00 + 2 x 38.50
      {gen::proc::get_po_total_price, 1, "$281.85"},
      {gen::proc::get_po_total_price, 2, "$224.98"},         // a cancelled copy not counted
      {gen::proc::get_po_total_stated_invoice, 5, "$240.00"},
      {gen::proc::get_po_total_spent, 5, "$240.00"},         // on approved statement 1
      {gen::proc::get_po_total_on_order, 5, "$0.00"},
  };
  for (const Case& c : cases) {
    std::string text;
    EXPECT_TRUE(gen::GetPoTotal(msg, c.procedure, c.po, text)) << msg.text;
    EXPECT_EQ(text, c.text) << c.procedure << " " << c.po;
  }
}

TEST_F(AcqDbGenTest, SingleValuesOfEverySize) {
  Dec64 a, b;
  EXPECT_TRUE(gen::GetStatementVoucheredAmount(msg, 1, a));
  EXPECT_EQ(a.raw, Cents(25500));  // 180.00 + 60.00 + the 15.00 shipping
  EXPECT_TRUE(gen::GetNewStatementVouchAmount(msg, 2, a));
  EXPECT_EQ(a.raw, 0);             // not approved: nothing of it spent
  db.Exec(R"(UPDATE po_line_item_budget_amount SET spent = 1 WHERE "statement#" = 2)");
  EXPECT_TRUE(gen::GetNewStatementVouchAmount(msg, 2, a));
  EXPECT_EQ(a.raw, Cents(7485));   // its lines spent; its shipping is not
  EXPECT_TRUE(gen::GetInvCreditVoucheredAmount(msg, 1, a));
  EXPECT_EQ(a.raw, Cents(1250));
  EXPECT_TRUE(gen::GetDefaultDiscount(msg, 1, a));
  EXPECT_EQ(a, Dec64::FromInt(10));
  EXPECT_TRUE(gen::GetBudgetTotalSpent(msg, "SERIAL.2025", a));
  EXPECT_EQ(a.raw, Cents(30000));  // (180.00 + 60.00) x 1.25
  EXPECT_TRUE(gen::GetStatementAmounts(msg, 2, a, b));
  EXPECT_EQ(a.raw, Cents(8435));
  EXPECT_EQ(b.raw, Cents(8435));

  int32_t newPo = -1;
  int16_t newLine = -1;
  EXPECT_TRUE(gen::GetRenewedPoNumAndLine(msg, 5, 1, newPo, newLine));
  EXPECT_EQ(newPo, 4);  // renewal type 1: into the renewal order
  EXPECT_EQ(newLine, 1);
  EXPECT_TRUE(gen::GetRenewedPoNumAndLine(msg, 5, 2, newPo, newLine));
  EXPECT_EQ(newPo, 0);

  int16_t line = 0;
  DayNum date = 0;
  EXPECT_TRUE(gen::GetNewPoLine(msg, 1, line));
  EXPECT_EQ(line, 4);
  EXPECT_TRUE(gen::GetVouchDate(msg, 1, date));
  EXPECT_EQ(date, 45992);  // 2025-12-03
  EXPECT_TRUE(gen::GetVouchDate(msg, 9, date));
  EXPECT_EQ(date, kNoDate);
  EXPECT_TRUE(gen::GetMaxNextRenewalDate(msg, 4, date));
  EXPECT_EQ(date, 46386);  // 2027-01-01
  EXPECT_TRUE(gen::GetMaxNextRenewalDate(msg, 1, date));
  EXPECT_EQ(date, kNoDate);

  struct Count { const char* what; std::function<bool(int32_t&)> get; int32_t expected; };
  const Count counts[] = {
      {"copies of 880", [&](int32_t& n) { return gen::CountNCopies(msg, 880, n); }, 1},
      {"items of 880", [&](int32_t& n) { return gen::CountNItems(msg, 880, n); }, 1},
      {"items of copy 1", [&](int32_t& n) { return gen::CountNCopyItems(msg, 1, n); }, 1},
      {"requests of 1011", [&](int32_t& n) { return gen::CountNRequestsNoItem(msg, 1011, n); }, 1},
      {"vendor of voucher 1", [&](int32_t& n) { return gen::GetVouchVendNum(msg, 1, n); }, 4},
      {"JPY decimals", [&](int32_t& n) { return gen::GetCurrencyFormat(msg, "JPY", n); }, 0},
      {"unknown currency", [&](int32_t& n) { return gen::GetCurrencyFormat(msg, "X'X", n); }, 2},
      {"vendor of PO 2", [&](int32_t& n) { return gen::GetPoVendor(msg, 2, n); }, 2},
      {"PO numbered PO-O'B-1", [&](int32_t& n) { return gen::FindPoByNumber(msg, "PO-O'B-1", n); }, 2},
      {"no PO by injection", [&](int32_t& n) { return gen::FindPoByNumber(msg, "x' or '1'='1", n); }, 0},
      {"bib of 1/2", [&](int32_t& n) { return gen::GetPoLineBib(msg, 1, 2, n); }, 1002},
      {"vendor of statement 2", [&](int32_t& n) { return gen::GetStatementVendor(msg, 2, n); }, 1},
      {"money rows of 2", [&](int32_t& n) { return gen::CountStatementMoneyRows(msg, 2, n); }, 3},
      {"vendors of 1, 7", [&](int32_t& n) { return gen::CountPoVendors(msg, {1, 7}, n); }, 1},
      {"vendors of 1, 2, 7", [&](int32_t& n) { return gen::CountPoVendors(msg, {1, 2, 7}, n); }, 2},
  };
  for (const Count& c : counts) {
    int32_t n = -1;
    EXPECT_TRUE(c.get(n)) << c.what << ": " << msg.text;
    EXPECT_EQ(n, c.expected) << c.what;
  }

  uint8_t byte = 9;
  bool flag = false, other = true;
  EXPECT_TRUE(gen::GetBudgetStatus(msg, "CHILD.2026", byte));
  EXPECT_EQ(byte, 1);  // frozen
  EXPECT_TRUE(gen::GetStatementType(msg, 3, byte));
  EXPECT_EQ(byte, 3);  // credit memo
  EXPECT_TRUE(gen::GetCopyAcqStatus(msg, 2, byte));
  EXPECT_EQ(byte, 3);  // on order
  EXPECT_TRUE(gen::GetCopyAcqControlled(msg, 1, flag) && flag);
  EXPECT_TRUE(gen::GetVendorEnhancedServices(msg, 2, flag) && !flag);
  EXPECT_TRUE(gen::GetContractEnhancedServices(msg, 1, "STAND26", flag) && flag);
  db.Exec(R"(UPDATE voucher SET void = 1; UPDATE statement SET pst = 1 WHERE "statement#" = 2)");
  EXPECT_TRUE(gen::GetVoucherVoid(msg, 1, flag) && flag);
  EXPECT_TRUE(gen::GetStatementTaxFlags(msg, 2, flag, other));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(other);
  EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(AcqDbGenTest, BaseAmountsRoundEachRowHalfAwayFromZeroAndNeverOverflow) {
  // 1.000001 x 0.5 = 0.5000005 -> 0.500001; -0.000003 x 0.5 -> -0.000002;
  // 20,000,000.00 x 1.27 (amount x rate alone would pass 2^63).
  db.Exec(R"(INSERT INTO po_line_item_budget_amount("po#", line, item, budget, amount,
               exchange_rate, spent) VALUES (1, 2, 1, 'OPS.2026', 1000001, 500000, 1),
             (1, 2, 1, 'OPS.2026', -3, 500000, 1), (1, 2, 2, 'OPS.2026', 20000000000000, 1270000, 1))");
  Dec64 spent;
  EXPECT_TRUE(gen::GetBudgetTotalSpent(msg, "OPS.2026", spent)) << msg.text;
  EXPECT_EQ(spent.raw, 25'400'000'499'999);
}

TEST_F(AcqDbGenTest, TextValuesKeepApostrophesAndFitTheirBuffers) {
  db.Exec("UPDATE vendor_contract SET san_suffix = '00009' WHERE vendor_contract = 'STAND26'");
  struct Case { const char* what; std::function<bool(std::string&)> get; const char* expected; };
  const Case cases[] = {
      {"PO currency", [&](std::string& t) { return gen::GetPoCurrency(msg, 3, t); }, "CAD"},
      {"statement currency", [&](std::string& t) { return gen::GetStatementCurrency(msg, 1, t); }, "GBP"},
      {"vendor currency", [&](std::string& t) { return gen::GetVendorCurrency(msg, 4, t); }, "GBP"},
      {"voucher currency", [&](std::string& t) { return gen::GetVouchCurrency(msg, 1, t); }, "GBP"},
      {"vendor name", [&](std::string& t) { return gen::GetVendorName(msg, 2, t); }, "O'Brien Library Supply"},
      {"voucher vendor", [&](std::string& t) { return gen::GetVouchVendName(msg, 1, t); }, "Thames Periodicals Ltd"},
      {"PO vendor", [&](std::string& t) { return gen::GetPoVendName(msg, 2, t); }, "O'Brien Library Supply"},
      {"cut to 7 bytes", [&](std::string& t) { return gen::GetStatementVendName(msg, 1, t, 7); }, "Thames"},
      {"number for MAIN", [&](std::string& t) { return gen::GetCustNumber(msg, 4, "MAIN", t); }, "TP-9001-M"},
      {"vendor's own", [&](std::string& t) { return gen::GetCustNumber(msg, 4, "BRANCH", t); }, "TP-9001"},
      {"apostrophe place", [&](std::string& t) { return gen::GetCustNumber(msg, 1, "O'Hare", t); }, "NF-4410"},
      {"contract suffix", [&](std::string& t) { return gen::GetVendorSanSuffix(msg, 1, "STAND26", t); }, "00009"},
      {"vendor suffix", [&](std::string& t) { return gen::GetVendorSanSuffix(msg, 1, "", t); }, "00001"},
      {"customer number", [&](std::string& t) { return gen::GetVendorCustNumber(msg, 3, t); }, "ML-22"},
      {"currency name", [&](std::string& t) { return gen::GetVendorCurrencyDescr(msg, 3, t); }, "Canadian dollar"},
      {"GST number", [&](std::string& t) { return gen::GetVendorGstNumber(msg, 3, t); }, "R123456789"},
      {"PO number", [&](std::string& t) { return gen::GetPoNumber(msg, 2, t); }, "PO-O'B-1"},
      {"media type", [&](std::string& t) { return gen::GetPoLineMediaType(msg, 6, 1, t); }, "DVD"},
      {"statement number", [&](std::string& t) { return gen::GetStatementNumber(msg, 2, t); }, "NF-88123"},
  };
  for (const Case& c : cases) {
    std::string text;
    EXPECT_TRUE(c.get(text)) << c.what << ": " << msg.text;
    EXPECT_EQ(text, c.expected) << c.what;
  }
  std::string none = "x";
  EXPECT_FALSE(gen::GetVendorGstNumber(msg, 1, none));  // NULL: empty, and false
  EXPECT_EQ(none, "");
  EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(AcqDbGenTest, ResultSetsOfVouchersAndPoLines) {
  Sets voucher;
  ASSERT_EQ(gen::GetVoucher(msg, 1, voucher.v), kDbOk) << msg.text;
  ASSERT_EQ(voucher.v.size(), 2u);
  EXPECT_EQ(Str(voucher.v[0], 1, "voucher_number"), "V-2025-0001");
  EXPECT_EQ(Str(voucher.v[0], 1, "amount_str"), "255.00");
  BktHandle lines = voucher.v[1];  // by budget: the charge, then the subscriptions
  ASSERT_EQ(_BktCountAll(lines), 2);
  EXPECT_EQ(Str(lines, 1, "budget"), "OPS.2025");
  EXPECT_EQ(Str(lines, 1, "base_amount_str"), "18.75");
  EXPECT_EQ(Str(lines, 2, "acct_ref"), "100-4540");
  EXPECT_EQ(Raw(lines, 2, "amount"), Cents(24000));
  EXPECT_EQ(Raw(lines, 2, "base_amount"), Cents(30000));

  Sets candidate, credits, newCredits, details;
  ASSERT_EQ(gen::GetStatementNewVoucher(msg, 2, candidate.v), kDbOk) << msg.text;
  EXPECT_EQ(_BktCountAll(candidate.v[0]), 0);  // not approved: no candidate
  ASSERT_EQ(gen::GetVoucherCredits(msg, 1, credits.v), kDbOk) << msg.text;
  EXPECT_EQ(Str(credits.v[0], 1, "amount_str"), "12.50");
  ASSERT_EQ(gen::GetNewVoucherCredits(msg, 2, newCredits.v), kDbOk) << msg.text;
  EXPECT_EQ(Str(newCredits.v[0], 1, "statement_number"), "NF-CR-7");
  ASSERT_EQ(gen::GetVoucherPoDetails(msg, 1, details.v), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(details.v[0]), 2);
  EXPECT_EQ(Raw(details.v[0], 2, "base_amount"), Cents(7500));  // 60.00 x 1.25

  Sets price, extra, minimums, display, oneLine, spentLine;
  ASSERT_EQ(gen::GetPoLineQuantityPrice(msg, 3, 2, price.v), kDbOk) << msg.text;
  EXPECT_EQ(Int(price.v[0], 1, "quantity"), 3);
  EXPECT_EQ(Raw(price.v[0], 1, "extended_price"), Cents(8400));
  EXPECT_EQ(Raw(price.v[0], 1, "exchange_rate"), 730'000);
  ASSERT_EQ(gen::GetPoLineExtraLocation(msg, 3, 2, extra.v), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(extra.v[0]), 1);  // one of three copies goes to the branch
  EXPECT_EQ(Str(extra.v[0], 1, "location"), "BRANCH");
  ASSERT_EQ(gen::GetVendorMinimums(msg, 1, minimums.v), kDbOk) << msg.text;
  EXPECT_EQ(Raw(minimums.v[0], 1, "min_order_amount"), Cents(5000));

  ASSERT_EQ(gen::FillPoLineDisplay(msg, 1, display.v), kDbOk) << msg.text;
  BktHandle d = display.v[0];
  ASSERT_EQ(_BktCountAll(d), 3);
  EXPECT_EQ(Raw(d, 1, "extended_price"), Cents(7485));
  EXPECT_EQ(Raw(d, 1, "item_amount"), Cents(7485));
  EXPECT_EQ(Raw(d, 1, "on_order"), Cents(7485));  // statement 2 is not approved
  EXPECT_TRUE(_ColIsNull(d, 1, Col(d, "spent")));  // nothing: skipped by the totals
  EXPECT_EQ(Int(d, 1, "invoiced"), 3);
  EXPECT_EQ(Raw(d, 3, "on_order"), Cents(7700));  // 2 x (23.10 + 15.40)
  EXPECT_EQ(Int(d, 2, "received"), 2);
  EXPECT_EQ(Int(d, 2, "invoiced"), 0);
  ASSERT_EQ(gen::ReloadLinePoLineDisplay(msg, 2, 2, oneLine.v), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(oneLine.v[0]), 1);
  EXPECT_EQ(Raw(oneLine.v[0], 1, "extended_price"), Cents(4500));
  EXPECT_EQ(Int(oneLine.v[0], 1, "cancelled"), 1);
  ASSERT_EQ(gen::ReloadLinePoLineDisplay(msg, 5, 1, spentLine.v), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(spentLine.v[0]), 1);
  EXPECT_EQ(Raw(spentLine.v[0], 1, "spent"), Cents(18000));  // on approved statement 1
  EXPECT_TRUE(_ColIsNull(spentLine.v[0], 1, Col(spentLine.v[0], "on_order")));

  Dec64 amount, rate;
  uint8_t type = 9;
  EXPECT_EQ(gen::GetAmountXrateFromPoLine(msg, 3, 1, amount, rate), kDbOk);
  EXPECT_EQ(amount.raw, Cents(4200));
  EXPECT_EQ(rate.raw, 730'000);
  EXPECT_EQ(gen::GetAmountXrateFromPoLine(msg, 9, 9, amount, rate), kDbOk);
  EXPECT_EQ(rate, Dec64::FromInt(1));
  EXPECT_EQ(gen::GetTypeXrateFromStatement(msg, 1, type, rate), kDbOk);
  EXPECT_EQ(rate.raw, 1'250'000);

  Sets review;   // the items due for a claim (ClaimTest has the rest)
  ASSERT_EQ(gen::GetClaimsReview(msg, review.v), kDbOk) << msg.text;
  EXPECT_EQ(review.v.size(), 1u);
  EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(AcqDbGenTest, CommandTextLoadsReplaceTheCallersRowsAndPassNullYears) {
  BucketHold titles;
  ASSERT_EQ(gen::LoadTitlesByBudget(msg, "ADULT.2026", titles.get()), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*titles), 5);  // PO 1 lines 1 and 3, 3/2, 6/3, 8/1
  EXPECT_EQ(Raw(*titles, 1, "on_order"), Cents(7485));  // invoiced, statement not approved
  EXPECT_EQ(Raw(*titles, 1, "spent"), 0);
  EXPECT_EQ(Raw(*titles, 3, "on_order"), Cents(6132));  // 3 x 28.00 CAD at 0.73
  BucketHold serials;
  ASSERT_EQ(gen::LoadTitlesByBudget(msg, "SERIAL.2025", serials.get()), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*serials), 2);  // PO 5 lines 1 and 2, spent in GBP at 1.25
  EXPECT_EQ(Raw(*serials, 1, "spent"), Cents(22500));
  EXPECT_EQ(Raw(*serials, 2, "spent"), Cents(7500));
  EXPECT_EQ(Raw(*serials, 1, "on_order"), 0);

  // Into the caller's Bucket: its own columns, its old row gone.
  BucketHold mine;
  _BktCreate(mine.get(), 2, 4, 4);
  _BktSetColInfo(*mine, 1, "po#", 0, kColInt32, 0);
  _BktSetColInfo(*mine, 2, "on_order", 0, kColDec64, 0);
  int row = 0;
  _BktInsert(*mine, 0, row);
  ASSERT_EQ(gen::LoadTitlesByBudgetOnOrder(msg, "ADULT.2026", mine.get()), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*mine), 5);  // all of them have money on order
  EXPECT_EQ(_ColGetInt(*mine, 1, 1), 1);
  EXPECT_FALSE(_BktRowIsChanged(*mine, 1));
  ASSERT_EQ(gen::LoadTitlesByBudgetOnOrder(msg, "SERIAL.2025", mine.get()), kDbOk) << msg.text;
  EXPECT_EQ(_BktCountAll(*mine), 0);  // spent only

  BucketHold byVendor, byContract, none;
  ASSERT_EQ(gen::LoadTitlesByVendor(msg, 2, byVendor.get()), kDbOk) << msg.text;
  EXPECT_EQ(_BktCountAll(*byVendor), 4);
  ASSERT_EQ(gen::LoadTitlesByVendorContract(msg, 1, "STAND26", byContract.get()), kDbOk);
  EXPECT_EQ(_BktCountAll(*byContract), 5);
  ASSERT_EQ(gen::LoadTitlesByVendorContract(msg, 1, "O'B", none.get()), kDbOk) << msg.text;
  EXPECT_EQ(_BktCountAll(*none), 0);

  // The year procedures: absent years travel as NULL.
  Database_RegisterProcedure("test_two_years", [](pwdb::DbConnection&,
                                                  const std::vector<DbsValue>& args,
                                                  std::vector<DbsResultSet>& out,
                                                  std::string&) -> DbCode {
    DbsResultSet set;
    set.columns = {{"first", "SMALLINT", "", ""}, {"second_is_null", "BIT", "", ""}};
    set.rows = {{args.at(0), DbsValue::Int(args.at(1).IsNull())}};
    out = {set};
    return kDbOk;
  });
  BucketHold years;
  ASSERT_EQ(gen::LoadByYears(msg, "test_two_years", 2025, std::nullopt, years.get()), kDbOk)
      << msg.text;
  Database_UnregisterProcedure("test_two_years");
  EXPECT_EQ(_ColGetInt(*years, 1, 1), 2025);
  EXPECT_EQ(_ColGetInt(*years, 1, 2), 1);
  BucketHold reassign;
  EXPECT_EQ(gen::LoadByYears(msg, "load_no_such_years", std::nullopt, std::nullopt,
                             reassign.get()),
            kDbNoProcedure);
  EXPECT_EQ(msg.text, "Could not find stored procedure 'load_no_such_years'.");
  EXPECT_FALSE(acq::AcqDb::DbCmdPending());
}

TEST_F(AcqDbGenTest, TableLoadsFindTheirRows) {
  using Loader = std::function<DbCode(BktHandle&)>;
  struct Case { const char* what; Loader load; int rows; const char* col; const char* first; };
  const Case cases[] = {
      {"links of 1", [&](BktHandle& b) { return gen::LoadStatementLinks(msg, 1, b); }, 1, "credit_statement#", "3"},
      {"splits 1/3", [&](BktHandle& b) { return gen::LoadPoLineItemBudgets(msg, 1, 3, b); }, 4, "budget", "ADULT.2026"},
      {"template", [&](BktHandle& b) { return gen::LoadPoTemplate(msg, "NORTHFIELD-SO", b); }, 1, "vendor_contract", "STAND26"},
      {"budget", [&](BktHandle& b) { return gen::LoadBudget(msg, "ADULT.2026", b); }, 1, "descr", "Adult books"},
      {"addresses", [&](BktHandle& b) { return gen::LoadAddresses(msg, "MAIN", b); }, 3, "address_code", "ACCTS"},
      {"account", [&](BktHandle& b) { return gen::LoadAccount(msg, "CHILD", b); }, 1, "descr", "Children's books"},
      {"apostrophe key", [&](BktHandle& b) { return gen::LoadAccount(msg, "CHILD'", b); }, 0, nullptr, nullptr},
      {"vendor", [&](BktHandle& b) { return gen::LoadVendor(msg, 2, b); }, 1, "name", "O'Brien Library Supply"},
      {"vendor addresses", [&](BktHandle& b) { return gen::LoadVendorAddresses(msg, 2, b); }, 2, "address_code", "ORDERS"},
      {"period", [&](BktHandle& b) { return gen::LoadSubscriptionPeriod(msg, "MONTHLY", b); }, 1, "descr", "One month"},
      {"copies", [&](BktHandle& b) { return gen::LoadCopiesOfBib(msg, 880, b); }, 1, "copy#", "1"},
      {"distribution", [&](BktHandle& b) { return gen::LoadPrDistribution(msg, 1, b); }, 2, "location", "MAIN"},
      {"borrower", [&](BktHandle& b) { return gen::LoadBorrowerName(msg, 2, b); }, 1, "name", "Patrick O'Neil"},
      {"budget code", [&](BktHandle& b) { return gen::LoadBudgetCode(msg, "REF.2026", b); }, 1, "acct_ref", "100-4520"},
      {"contract", [&](BktHandle& b) { return gen::LoadContractWithVendor(msg, 4, "SUBS26", b); }, 1, "name", "Thames Periodicals Ltd"},
      {"vendor codes", [&](BktHandle& b) { return gen::LoadVendorCodes(msg, 3, b); }, 1, "ean_gln", "0614141300018"},
      {"locations", [&](BktHandle& b) { return gen::LoadAddressLocations(msg, b); }, 2, "location", "BRANCH"},
      {"charge types", [&](BktHandle& b) { return gen::LoadExtraChargeTypes(msg, b); }, 4, "extra_charge_type", "HANDLE"},
      {"item", [&](BktHandle& b) { return gen::LoadItem(msg, 1, b); }, 1, "ibarcode", "31234000000019"},
      {"to approve", [&](BktHandle& b) { return gen::LoadItemsToApprove(msg, 6, 1, b); }, 2, "item", "1"},
      {"editor splits", [&](BktHandle& b) { return gen::LoadPoLineItemSplits(msg, 6, 3, b); }, 2, "budget_split", ""},
      {"pattern accounts", [&](BktHandle& b) { return gen::LoadPatternAccounts(msg, b); }, 2, "account", "ADULT"},
      {"approval, PO 6", [&](BktHandle& b) { return gen::LoadApprovalPoLines(msg, 6, b); }, 3, "vendor_name", "Cascade Media & Audio"},
      {"approval, all", [&](BktHandle& b) { return gen::LoadApprovalPoLines(msg, 0, b); }, 4, "po#", "4"},
      {"to approve", [&](BktHandle& b) { return gen::LoadStatementsToApprove(msg, b); }, 3, "statement_number", "NF-88123"},
      {"templates", [&](BktHandle& b) { return gen::LoadTemplatesWithVendor(msg, b); }, 1, "vendor_name", "Northfield Book Distributors"},
      {"remaining", [&](BktHandle& b) { return gen::LoadStatementAmountRemaining(msg, 2, b); }, 1, "amount_remaining", "84.35"},
      {"segments in order", [&](BktHandle& b) { return gen::LoadMessageSegments(msg, 1, 1, b); }, 2, "short_segment", "UNH+1'"},
      {"open items", [&](BktHandle& b) { return gen::LoadOpenPoLineItems(msg, 2, 2, false, b); }, 1, "item", "1"},
      {"unanswered", [&](BktHandle& b) { return gen::LoadOpenPoLineItems(msg, 1, 3, true, b); }, 2, "item", "1"},
  };
  for (const Case& c : cases) {
    BucketHold b;
    ASSERT_EQ(c.load(b.get()), kDbOk) << c.what << ": " << msg.text;
    ASSERT_EQ(_BktCountAll(*b), c.rows) << c.what;
    if (c.col == nullptr) continue;
    const int col = Col(*b, c.col);
    const std::string first = _BktGetColType(*b, col) == kColDec64
                                  ? LbDec64_StrFrom64(_ColGetDec64(*b, 1, col), 2)
                              : _BktGetColType(*b, col) == kColText
                                  ? _ColGetStringW(*b, 1, col)
                                  : std::to_string(_ColGetInt(*b, 1, col));
    EXPECT_EQ(first, c.first) << c.what;
    EXPECT_FALSE(_BktRowIsChanged(*b, 1)) << c.what;
  }
}

TEST_F(AcqDbGenTest, ProratedChargesAreSummedPerType) {
  db.Exec(R"(INSERT INTO po_line_item_budget_amount("po#", line, item, budget, amount,
               exchange_rate, spent, extra_charge_type, "statement#", statement_line,
               statement_line_type) VALUES
             (1, 1, 1, 'ADULT.2026', 3000000, 1000000, 1, 'SHIP', 2, 1, 0),
             (1, 1, 2, 'ADULT.2026', 3250000, 1000000, 1, 'SHIP', 2, 1, 0))");
  BucketHold totals, lines;
  ASSERT_EQ(gen::LoadProratedChargeTotals(msg, 2, totals.get()), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*totals), 1);
  EXPECT_EQ(Raw(*totals, 1, "amount"), Cents(625));
  ASSERT_EQ(gen::LoadStatementMoneyLines(msg, 2, lines.get()), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*lines), 2);  // the line's price, then its shipping
  EXPECT_EQ(Raw(*lines, 1, "amount"), Cents(7485));
  EXPECT_EQ(Str(*lines, 2, "extra_charge_type"), "SHIP");
}

TEST_F(AcqDbGenTest, ReloadReplacesTheCallersItemsAndClearsTheirChanges) {
  BucketHold items;
  ASSERT_EQ(acq::AcqDb::BktFromCols(msg, 0, 0, items.get(), "*", "po_line_item"), kDbOk);
  int row = 0;
  _BktInsert(*items, 0, row);  // an unsaved row of the editor
  ASSERT_EQ(gen::ReloadPoLineItems(msg, 1, 1, items.get()), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*items), 3);
  EXPECT_EQ(_BktCountState(*items, kRowExisting), 3);
  EXPECT_EQ(Int(*items, 3, "item"), 3);
}

TEST_F(AcqDbGenTest, MissingImportRowIsAProgrammingError) {
  static std::vector<std::string> reported;
  reported.clear();
  const ErrorSink old = Lib_SetErrorSink([](std::string_view text, bool) { reported.emplace_back(text); });
  BucketHold rows;
  EXPECT_EQ(gen::LoadImportAcq(msg, 5, rows.get()), kDbOk) << msg.text;
  Lib_SetErrorSink(old);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "No rows selected from import_acq for key: 5");
}

TEST_F(AcqDbGenTest, KeyListsSelectTheChosenRows) {
  BucketHold picked;
  _BktCreate(picked.get(), 3, 4, 4);
  _BktSetColInfo(*picked, 1, "po#", 0, kColInt32, 0);
  _BktSetColInfo(*picked, 2, "line", 0, kColInt16, 0);
  _BktSetColInfo(*picked, 3, "item", 0, kColInt16, 0);
  const int keys[][3] = {{1, 2, 1}, {2, 2, 2}, {1, 1, 3}};
  for (const auto& k : keys) {
    int row = 0;
    _BktInsert(*picked, 0, row);
    for (int c = 0; c < 3; ++c) _ColSetInt(*picked, row, c + 1, k[c]);
  }
  BucketHold counted, items, nothing;
  acq::AcqDb::AppendDbCmd("select po#, line, count(*) from po_line_item");
  gen::AppendPoLineWhere(*picked, 1, 2, {1, 2});
  acq::AcqDb::AppendDbCmd(" group by po#, line");
  ASSERT_EQ(acq::AcqDb::LoadDbCmdCreate(msg, acq::AcqDb::ClearChanges::Yes, counted.get(), 4, 4, 0),
            kDbOk) << msg.text;
  EXPECT_EQ(_BktCountAll(*counted), 2);
  acq::AcqDb::AppendDbCmd("select item from po_line_item");
  gen::AppendItemInClause(*picked, 3, {1, 3});
  acq::AcqDb::AppendDbCmd(" po#=1 and line=1");
  ASSERT_EQ(acq::AcqDb::LoadDbCmdCreate(msg, acq::AcqDb::ClearChanges::Yes, items.get(), 4, 4, 0),
            kDbOk) << msg.text;
  EXPECT_EQ(_BktCountAll(*items), 2);
  acq::AcqDb::AppendDbCmd("select item from po_line_item");
  gen::AppendItemInClause(*picked, 3, {});  // nothing chosen: nothing found, no error
  acq::AcqDb::AppendDbCmd(" po#=1");
  ASSERT_EQ(acq::AcqDb::LoadDbCmdCreate(msg, acq::AcqDb::ClearChanges::Yes, nothing.get(), 4, 4, 0),
            kDbOk) << msg.text;
  EXPECT_EQ(_BktCountAll(*nothing), 0);
}

}  // namespace
