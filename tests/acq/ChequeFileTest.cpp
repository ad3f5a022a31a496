// The formatted cheque file: its layout on the pre-printed forms.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acq/statement/AcqChequeLayout.h"
#include "host/db/DbDabs.h"
#include "host/sys/LbStr.h"

using namespace acq::AcqChequeLayout;

namespace {

DayNum Dec4th2026() {
  DayNum d = kNoDate;
  EXPECT_TRUE(DbDabs_MDYToDate(12, 4, 2026, d));
  return d;
}

ChequeDetail Row(int32_t cheque, int32_t vendor, std::array<std::string, 5> payee,
                 std::string currency, int32_t statement, std::string number, int32_t voucher,
                 const char* amount) {
  return {cheque, Dec4th2026(), vendor, std::move(payee), std::move(currency), statement,
          std::move(number), voucher, *LbDec64_StrTo64(amount)};
}

std::string LayOut(const std::vector<ChequeDetail>& rows, const char* run = "USD",
                   const char* base = "USD") {
  std::vector<ChequeWrite> writes;
  std::string error;
  EXPECT_EQ(LayOutChequeFile(run, base, rows, writes, error), ChequeLayoutCode::Ok) << error;
  return JoinChequeWrites(writes);
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == sep) parts.emplace_back();
    else parts.back().push_back(c);
  }
  return parts;
}

// The expected file keeps its trailing blanks visible: each line closes with
// '|', and a form feed is spelled <FF>.
std::string ReadMarkedFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str(), out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 4, "<FF>") == 0) { out += '\f'; i += 3; }
    else if (text.compare(i, 2, "|\n") == 0) { out += '\n'; ++i; }
    else out += text[i];
  }
  return out;
}

}  // namespace

// Two vendors: the first cheque runs to 30 invoices, so its first form is
// voided and the cheque continues; the second pays a foreign-currency
// invoice (bank draft heading, fifth payee line, cut statement number).
TEST(AcqChequeFile, RunMatchesHandLaidFile) {
  const std::array<std::string, 5> book = {"Book Hub Ltd", "12 Main St", "Springfield", "", ""};
  std::vector<ChequeDetail> rows;
  for (int i = 1; i <= 30; ++i)
    rows.push_back(Row(101, 7, book, "usd", 500 + i, "B-" + std::to_string(i), 9000 + i,
                       i == 30 ? "5.25" : "10"));
  rows.push_back(Row(102, 12, {"Maple Press", "PO Box 9", "Unit 4", "Toronto ON", "Canada"},
                     "CAD", 77, "ABCDEFGHIJKLMNOPQRS", 12345, "1234.5"));
  const std::string expected =
      ReadMarkedFile(std::string(ACQ_SOURCE_DIR) + "/tests/acq/data/ChequeRun.txt");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(LayOut(rows), expected);
}

TEST(AcqChequeFile, BankDraftHeadingOnlyForForeignInvoicesOfABaseCurrencyRun) {
  struct Case { const char* run; const char* base; const char* invoice; bool draft; };
  const Case cases[] = {
      {"USD", "USD", "CAD", true},
      {"usd", "USD", "eur", true},      // codes compared without case
      {"USD", "USD", "USD", false},     // the base currency itself
      {"USD", "USD", "usd ", false},    // padded CHAR column
      {"USD", "USD", "CAN", false},     // "can" never takes a draft
      {"USD", "USD", "", false},
      {"USD", "USD", "  ", false},      // blanks are no currency
      {"CAD", "USD", "EUR", false},     // run in another currency: words
  };
  for (const Case& c : cases)
    EXPECT_EQ(PrintsBankDraftHeading(c.run, c.base, c.invoice), c.draft)
        << c.run << "/" << c.base << "/" << c.invoice;
}

// Accented letters are one column each: every line has as many characters
// as with plain letters, and statement numbers are cut by characters.
TEST(AcqChequeFile, AccentedTextKeepsColumns) {
  auto rows = [](const char* name, const char* street, const char* number) {
    return std::vector<ChequeDetail>{
        Row(5, 40, {name, street, "", "", ""}, "USD", 3, number, 8, "12.34")};
  };
  const auto accented =
      Split(LayOut(rows("Librería Índigo", "Calle Año 5", "Ñandú-0123456789-X")), '\n');
  const auto plain =
      Split(LayOut(rows("Libreria Indigo", "Calle Ano 5", "Nandu-0123456789-X")), '\n');
  ASSERT_EQ(accented.size(), plain.size());
  for (size_t i = 0; i < plain.size(); ++i)
    EXPECT_EQ(Lb_CharCount(accented[i]), Lb_CharCount(plain[i]))
        << "line " << i << ": " << accented[i];
  EXPECT_NE(LayOut(rows("x", "y", "Ñandú-0123456789-X"))
                .find("Inv. # Ñandú-0123456789  Warrant # 8 "),
            std::string::npos);
}

// However many invoices a cheque has, every face (void or printed) starts
// on the same line of its form: the total line is line 45 of each form.
TEST(AcqChequeFile, FacesStartOnTheSameLineOfEveryForm) {
  const std::string blanks60(60, ' ');
  for (int n : {1, 27, 28, 29, 30, 56, 57}) {
    std::vector<ChequeDetail> rows;
    for (int i = 0; i < n; ++i)
      rows.push_back(Row(1, 2, {"P", "", "", "", ""}, "USD", i, "S", i, "1"));
    const auto forms = Split(LayOut(rows), '\f');
    // 28 invoices to a form; the text after the last form feed is empty.
    ASSERT_EQ(forms.size(), static_cast<size_t>((n - 1) / 28 + 2)) << n;
    for (size_t f = 0; f + 1 < forms.size(); ++f) {
      const auto lines = Split(forms[f], '\n');
      ASSERT_GT(lines.size(), 44u);
      EXPECT_EQ(lines[44].substr(0, 60), blanks60) << n << " invoices, form " << f;
      EXPECT_EQ(lines[44] == blanks60, f + 2 < forms.size()) << "only the last face is printed";
    }
  }
}

TEST(AcqChequeFile, FailuresLeaveNoText) {
  std::vector<ChequeWrite> writes;
  std::string error;
  EXPECT_EQ(LayOutChequeFile("USD", "USD", {}, writes, error), ChequeLayoutCode::NoRows);
  EXPECT_FALSE(error.empty());
  const std::vector<ChequeDetail> huge = {
      Row(1, 2, {"P", "", "", "", ""}, "USD", 1, "S", 1, "9000000000000"),
      Row(1, 2, {"P", "", "", "", ""}, "USD", 2, "S", 2, "9000000000000")};
  error.clear();
  EXPECT_EQ(LayOutChequeFile("USD", "USD", huge, writes, error), ChequeLayoutCode::TotalOverflow);
  EXPECT_TRUE(writes.empty());
  EXPECT_NE(error.find("cheque 1"), std::string::npos) << error;
}
