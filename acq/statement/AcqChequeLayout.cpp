// AcqChequeLayout: the formatted cheque file of a cheque run, as text pieces
// and line ends. Line positions matter more than anything here: the forms
// are pre-printed, so every face must start on the same line of its form.
#include "acq/statement/AcqChequeLayout.h"

#include <cctype>

#include "acq/statement/AcqNumWords.h"
#include "host/sys/LbStr.h"

namespace acq::AcqChequeLayout {
namespace {

// Lines of the form between the head and the face: 28 invoice lines, then
// (on a continued cheque) the "continued" line and one empty line.
constexpr int kContinueAt = 29;
// A face starts after this many line ends counted from the end of the head.
constexpr int kFaceLine = 31;
constexpr std::string_view kVoidDate = "*********";
constexpr std::string_view kVoidCheque = "*********";
constexpr std::string_view kVoidAmount = "****************************************";
constexpr std::string_view kVoidPayee = "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX";
constexpr std::string_view kContinued = "continued on next page";

std::string Blanks(size_t n) { return std::string(n, ' '); }

// `text` followed by blanks up to `width` characters; longer text is kept.
std::string PadRight(std::string_view text, size_t width) {
  std::string s(text);
  const size_t chars = Lb_CharCount(text);
  if (chars < width) s.append(width - chars, ' ');
  return s;
}

// `text` preceded by `fill` up to `width` characters; longer text is kept.
std::string PadLeft(std::string_view text, size_t width, char fill = ' ') {
  const size_t chars = Lb_CharCount(text);
  std::string s(chars < width ? width - chars : 0, fill);
  s.append(text);
  return s;
}

// A key with leading zeros to 8 digits ("00000042"); a negative key keeps its
// sign in front of the zeros.
std::string ZeroPadded(int32_t key) {
  if (key < 0) return "-" + PadLeft(Lb_Int32ToStr(key).substr(1), 7, '0');
  return PadLeft(Lb_Int32ToStr(key), 8, '0');
}

std::string Money(Dec64 amount) { return LbDec64_StrFrom64(amount, 2); }

// Upper-cased with surrounding blanks dropped (currency codes from CHAR
// columns may come padded).
std::string CurrencyKey(std::string_view code) {
  while (!code.empty() && code.front() == ' ') code.remove_prefix(1);
  while (!code.empty() && code.back() == ' ') code.remove_suffix(1);
  std::string key(code);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

// Collects writes; consecutive texts become one piece.
class Writes {
 public:
  explicit Writes(std::vector<ChequeWrite>& out) : out_(out) {}
  void Text(std::string_view text) {
    if (text.empty()) return;
    if (!out_.empty() && out_.back().kind == ChequeWrite::Kind::Text)
      out_.back().text.append(text);
    else
      out_.push_back({ChequeWrite::Kind::Text, std::string(text)});
  }
  void LineEnds(int n) {
    for (int i = 0; i < n; ++i) out_.push_back({ChequeWrite::Kind::LineEnd, {}});
  }
 private:
  std::vector<ChequeWrite>& out_;
};

// What a cheque's head and faces show: taken from its first row.
struct Cheque {
  std::string number;     // 8 digits
  std::string date;       // 9 characters
  const ChequeDetail* first = nullptr;
  Dec64 total;
  int lines = 0;          // invoice lines on the current form
};

enum class Face : uint8_t { Printed, Void };

void WriteHead(Writes& w, const Cheque& c) {
  w.LineEnds(4);
  w.Text(Blanks(63) + c.date);
  w.LineEnds(2);
  for (size_t i = 0; i < c.first->payee.size(); ++i) {
    w.Text(Blanks(3) + PadRight(c.first->payee[i], 50));
    if (i == 1) w.Text(PadRight(Lb_Int32ToStr(c.first->vendor), 10) + " " + c.number);
    w.LineEnds(1);
  }
  w.LineEnds(2);
}

void WriteFace(Writes& w, const Cheque& c, Face face, std::string_view amount_line) {
  const bool printed = face == Face::Printed;
  const auto& payee = c.first->payee;
  w.LineEnds(kFaceLine - c.lines);
  w.Text(Blanks(60) + (printed ? PadLeft(Money(c.total), 12) : std::string()));
  w.LineEnds(1 + 5);
  w.Text(Blanks(50) + std::string(printed ? std::string_view(c.date) : kVoidDate) +
         Blanks(4) + std::string(printed ? std::string_view(c.number) : kVoidCheque));
  w.LineEnds(3);
  w.Text(printed ? amount_line : kVoidAmount);
  w.LineEnds(3);
  if (printed)
    w.Text(Blanks(8) + PadRight(payee[0], 43) + PadLeft(Money(c.total), 14, '*'));
  else
    w.Text(Blanks(8) + std::string(kVoidPayee) + Blanks(15) + std::string(14, '*'));
  w.LineEnds(1);
  for (size_t i = 1; i <= 3; ++i) {
    w.Text(Blanks(8) + std::string(printed ? std::string_view(payee[i]) : kVoidPayee));
    w.LineEnds(1);
  }
  if (printed && !payee[4].empty()) {
    w.Text(Blanks(8) + payee[4]);
    w.LineEnds(1);
  }
  w.Text("\f");
}

void WritePrintedFace(Writes& w, const Cheque& c, std::string_view run_currency,
                      std::string_view base_currency) {
  const std::string words =
      PrintsBankDraftHeading(run_currency, base_currency, c.first->invoice_currency)
          ? std::string(kBankDraftHeading)
          : AcqNumWords::AmountInWords(c.total);
  WriteFace(w, c, Face::Printed, words);
}

void WriteInvoiceLine(Writes& w, const ChequeDetail& row) {
  w.Text(Blanks(4) + ZeroPadded(row.statement) + Blanks(3) + "Inv. # " +
         PadRight(Lb_CutChars(row.statement_number, 16), 17) + " Warrant # " +
         PadRight(Lb_Int32ToStr(row.voucher), 8) + Blanks(2) + PadLeft(Money(row.amount), 12));
  w.LineEnds(1);
}

}  // namespace

bool PrintsBankDraftHeading(std::string_view run_currency, std::string_view base_currency,
                            std::string_view invoice_currency) {
  const std::string base = CurrencyKey(base_currency);
  const std::string invoice = CurrencyKey(invoice_currency);
  return CurrencyKey(run_currency) == base && !invoice.empty() && invoice != base &&
         invoice != "CAN";
}

ChequeLayoutCode LayOutChequeFile(std::string_view run_currency, std::string_view base_currency,
                                  std::span<const ChequeDetail> rows,
                                  std::vector<ChequeWrite>& out, std::string& error) {
  out.clear();
  if (rows.empty()) {
    error = "The cheque run has no cheque details to write.";
    return ChequeLayoutCode::NoRows;
  }
  Writes w(out);
  Cheque c;
  for (const ChequeDetail& row : rows) {
    if (c.first == nullptr || row.cheque != c.first->cheque) {
      if (c.first != nullptr) WritePrintedFace(w, c, run_currency, base_currency);
      c = Cheque{ZeroPadded(row.cheque), PadLeft(DbDabs_DateToStrFmt(row.issued, "MMM dd yy"), 9),
                 &row, Dec64{}, 0};
      WriteHead(w, c);
    }
    ++c.lines;
    if (c.lines == kContinueAt) {
      w.Text(Blanks(17) + std::string(kContinued));
      w.LineEnds(2);
      ++c.lines;
      WriteFace(w, c, Face::Void, {});
      WriteHead(w, c);
      c.lines = 1;
    }
    WriteInvoiceLine(w, row);
    if (LbDec64_Add64(c.total, row.amount, c.total) != DecStatus::Ok) {
      out.clear();
      error = "The total of cheque " + Lb_Int32ToStr(row.cheque) + " is too large to print.";
      return ChequeLayoutCode::TotalOverflow;
    }
  }
  WritePrintedFace(w, c, run_currency, base_currency);
  return ChequeLayoutCode::Ok;
}

std::string JoinChequeWrites(std::span<const ChequeWrite> writes, std::string_view line_end) {
  std::string text;
  for (const ChequeWrite& write : writes)
    text.append(write.kind == ChequeWrite::Kind::LineEnd ? line_end : std::string_view(write.text));
  return text;
}

}  // namespace acq::AcqChequeLayout
