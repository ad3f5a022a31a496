// The printed voucher as text (what "Save To File" writes and the printer
// shows), read from a real library; the file it is saved to; and whether a
// "(new)" candidate still stands when its voucher is to be made.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../ModuleFixture.h"
#include "acq/statement/AcqVoucher.h"

namespace {

namespace vo = acq::AcqVoucher;
using acqtest::ModuleDb;
using acqtest::ShownErrors;

Dec64 Cents(int64_t cents) { return Dec64::FromRaw(cents * 10000); }

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// The line that starts with `head`, "" when none does.
std::string LineOf(const std::vector<std::string>& lines, const std::string& head) {
  for (const std::string& l : lines)
    if (l.rfind(head, 0) == 0) return l;
  return "";
}

size_t Chars(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

class VoucherPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    db.StartUnits();
    ASSERT_EQ(db.Login(), kDbOk);
  }

  // A voucher of `type` with two budgets (12.50 and 7.50) and `credits`.
  static vo::VoucherDoc Doc(int type, std::vector<vo::VoucherCredit> credits = {}) {
    vo::VoucherDoc d;
    d.voucher = 12;
    d.number = "12";
    d.statementNumber = "ST-9";
    d.statementType = type;
    d.vendor = "Northfield";
    d.currency = "USD";
    d.date = 46100;
    d.budgets = {{"ADULT.2026", "100-4510", "12.50", "12.50", Cents(1250), Cents(1250)},
                 {"OPS.2026", "100-6100", "7.50", "7.50", Cents(750), Cents(750)}};
    d.credits = std::move(credits);
    return d;
  }

  ModuleDb db;
};

TEST_F(VoucherPrint, TheDemosVoucherPrintsItsBudgetsInBothCurrenciesAndItsTotals) {
  vo::VoucherDoc doc;
  ASSERT_TRUE(vo::LoadVoucherDoc(1, 0, doc));
  const std::vector<std::string> text = vo::VoucherText(doc);
  const std::string all = Joined(text);
  EXPECT_NE(LineOf(text, "Invoice #       TP-2025-118"), "") << all;
  EXPECT_NE(LineOf(text, "Voucher #       V-2025-0001").find("2025-12-03"), std::string::npos) << all;
  EXPECT_NE(LineOf(text, "Currency        GBP"), "") << all;
  // Amounts end at column 60, base amounts at column 78: GBP at 1.25.
  EXPECT_EQ(LineOf(text, "SERIAL.2025").substr(44), "          240.00            300.00") << all;
  EXPECT_EQ(LineOf(text, "OPS.2025").substr(44), "           15.00             18.75") << all;
  EXPECT_EQ(LineOf(text, "Invoice Total").substr(44), "          255.00            318.75") << all;
  EXPECT_EQ(LineOf(text, "TOTAL").substr(44), "          255.00") << all;
  EXPECT_EQ(text.front().find_first_not_of(' '), 36u) << "title centred: " << text.front();
  EXPECT_EQ(text.front().substr(36), "VOUCHER");

  // A candidate is the same voucher to be: the statement's spent money.
  db.Exec("UPDATE statement SET approve_date = 46100 WHERE \"statement#\" = 2");
  db.Exec("UPDATE po_line_item_budget_amount SET spent = 1 WHERE \"statement#\" = 2");
  ASSERT_TRUE(vo::LoadVoucherDoc(0, 2, doc));
  const std::vector<std::string> candidate = vo::VoucherText(doc);
  EXPECT_NE(candidate.front().find("VOUCHER (new)"), std::string::npos) << Joined(candidate);
  EXPECT_EQ(LineOf(candidate, "TOTAL").substr(44), "           74.85") << Joined(candidate);
  EXPECT_FALSE(vo::LoadVoucherDoc(0, 99, doc));
  EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(VoucherPrint, EachKindOfStatementPrintsItsOwnLabelsAndCreditsComeOff) {
  struct Case {
    const char* what;
    vo::VoucherDoc doc;
    std::vector<std::string> heads;   // lines that must start so
    const char* total;                // the TOTAL amount
  };
  vo::VoucherDoc voided = Doc(0);
  voided.isVoid = true;
  voided.prepaid = true;
  const Case cases[] = {
      {"invoice", Doc(1), {"Invoice #       ST-9", "Invoice Total"}, "20.00"},
      {"budget invoice", Doc(2), {"Invoice #", "Invoice Total"}, "20.00"},
      {"credit memo", Doc(3), {"Credit Memo #   ST-9", "Credit Total"}, "20.00"},
      {"budget credit", Doc(4), {"Credit Memo #", "Credit Total"}, "20.00"},
      {"refund", Doc(5), {"Refund #        ST-9", "Refund Total"}, "20.00"},
      {"budget refund", Doc(6), {"Refund #", "Refund Total"}, "20.00"},
      {"credits applied",
       Doc(0, {{"CR-1", Cents(1500)}, {"CR-2", Cents(25)}}),
       {"Cred/Ref Total: CR-1", "Cred/Ref Total: CR-2"},
       "4.75"},
      {"void and prepaid", voided, {}, "20.00"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> text = vo::VoucherText(c.doc);
    const std::string all = Joined(text);
    for (const std::string& head : c.heads) EXPECT_NE(LineOf(text, head), "") << c.what << "\n" << all;
    const std::string total = LineOf(text, "TOTAL");
    ASSERT_GE(total.size(), 60u) << c.what << "\n" << all;
    EXPECT_EQ(total.substr(total.find_last_of(' ') + 1), c.total) << c.what;
    for (const std::string& line : text) {
      EXPECT_LE(Chars(line), 80u) << c.what << ": " << line;
      EXPECT_TRUE(line.empty() || line.back() != ' ') << c.what << ": " << line;
    }
  }
  EXPECT_EQ(LineOf(vo::VoucherText(cases[6].doc), "Cred/Ref Total: CR-1").substr(44),
            "          -15.00");
  const std::string title = vo::VoucherText(voided).front();
  EXPECT_NE(title.find("VOID VOUCHER (prepaid)"), std::string::npos) << title;
}

TEST_F(VoucherPrint, TheFileHasEveryVoucherWithWindowsLineEndsOrIsNotThereAtAll) {
  const std::filesystem::path dir = db.Dir();
  const std::string good = (dir / "vouchers.txt").string();
  std::string error;
  ASSERT_TRUE(vo::WriteVoucherFile(good, {Doc(0), Doc(3)}, error)) << error;
  std::ifstream in(good, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string file = content.str();
  EXPECT_NE(file.find("Invoice #       ST-9\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Credit Memo #   ST-9\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find(std::string(80, '-') + "\r\n"), std::string::npos) << file;
  EXPECT_EQ(file.find("\n\n"), std::string::npos) << "every line ends CR LF";

  const std::string bad = (dir / "no such folder" / "vouchers.txt").string();
  EXPECT_FALSE(vo::WriteVoucherFile(bad, {Doc(0)}, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST_F(VoucherPrint, ACandidateStandsWhileItsStatementsOutstandingAmountIsWhatItShowed) {
  db.Exec("UPDATE statement SET approve_date = 46100 WHERE \"statement#\" = 2");
  db.Exec("UPDATE po_line_item_budget_amount SET spent = 1 WHERE \"statement#\" = 2");
  const std::vector<std::string> shown = db.Lib().Rows(
      "SELECT amount FROM voucher_list WHERE \"voucher#\" = 0 AND \"statement#\" = 2");
  ASSERT_EQ(shown, std::vector<std::string>{"74850000"});
  bool current = false;
  ASSERT_TRUE(vo::CandidateIsCurrent(2, Cents(7485), current));
  EXPECT_TRUE(current);
  // The charge is spent meanwhile: the list's 74.85 is stale.
  db.Exec("UPDATE statement_extra_charge SET spent = 1 WHERE \"statement#\" = 2");
  ASSERT_TRUE(vo::CandidateIsCurrent(2, Cents(7485), current));
  EXPECT_FALSE(current);
  ASSERT_TRUE(vo::CandidateIsCurrent(2, Cents(8435), current));
  EXPECT_TRUE(current);
  // Vouchered elsewhere: nothing is outstanding any more.
  db.Exec("UPDATE po_line_item_budget_amount SET \"voucher#\" = 7 WHERE \"statement#\" = 2");
  db.Exec("UPDATE statement_extra_charge SET \"voucher#\" = 7 WHERE \"statement#\" = 2");
  ASSERT_TRUE(vo::CandidateIsCurrent(2, Cents(8435), current));
  EXPECT_FALSE(current);
  EXPECT_TRUE(ShownErrors().empty());
}

}  // namespace
