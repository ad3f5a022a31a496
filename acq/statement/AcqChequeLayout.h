// AcqChequeLayout: the text of a cheque run's formatted cheque file, laid out
// for the pre-printed cheque forms. A pure function of its arguments: no
// database, no file, no state. The caller reads the rows and writes the
// result through the host's file calls (one text write per Text piece, one
// line end per LineEnd), converting each text to the workstation's code page.
//
// Every column is counted in characters (code points of the UTF-8 text), so a
// payee with accented letters keeps the figures beside it in place.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"

namespace acq::AcqChequeLayout {

// Printed on the amount line instead of the amount in words when a cheque in
// the site's own currency pays invoices of a foreign currency: the cheque form
// is then only the stub of the site's bank draft. Exactly 22 characters, the
// width the forms leave for it.
inline constexpr std::string_view kBankDraftHeading = "PAY BY BANK DRAFT ONLY";
static_assert(kBankDraftHeading.size() == 22);

// One row of `cheque_details`, in the order the run lists them (by vendor
// name). The rows of one cheque follow each other; a cheque ends where the
// next row has another cheque number.
struct ChequeDetail {
  int32_t cheque = 0;                 // cheque#
  DayNum issued = kNoDate;            // cheque_issued_date
  int32_t vendor = 0;                 // vendor#
  // The payee as addressed on the cheque: the chosen address row's descr,
  // then its non-empty address1..address4 lines (the caller picks the row
  // and drops the empty lines); unused lines stay empty.
  std::array<std::string, 5> payee;
  std::string invoice_currency;       // may be empty
  int32_t statement = 0;              // statement#
  std::string statement_number;       // the vendor's invoice number
  int32_t voucher = 0;                // voucher#
  Dec64 amount;
};

// One call of the file writer: a piece of UTF-8 text, or a line end.
struct ChequeWrite {
  enum class Kind : uint8_t { Text, LineEnd };
  Kind kind = Kind::Text;
  std::string text;                   // empty for a line end
  friend bool operator==(const ChequeWrite&, const ChequeWrite&) = default;
};

enum class ChequeLayoutCode : uint8_t {
  Ok = 0,
  NoRows = 1,            // a run without details gives no file
  TotalOverflow = 2,     // a cheque's total is beyond the range of Dec64
};

// Lays out the formatted cheque file of one run into `out` (replaced).
// `run_currency` is the run's currency, `base_currency` the site's; they
// and each cheque's invoice currency (that of its first row) are compared
// without regard to case or surrounding blanks.
// Per cheque: the head (cheque number, date, payee lines, vendor number),
// its invoice lines, 28 to a form (a longer cheque continues on the next
// form after a voided face), and the printed face with the total in
// figures and in words (or kBankDraftHeading), each face ending with a form
// feed and starting on the same line of its form.
// On failure: returns the code, a sentence for a person in `error`, and
// leaves `out` empty. Never fails on odd texts: long payee lines are kept
// whole, a statement number is cut to 16 characters.
[[nodiscard]] ChequeLayoutCode LayOutChequeFile(std::string_view run_currency,
                                                std::string_view base_currency,
                                                std::span<const ChequeDetail> rows,
                                                std::vector<ChequeWrite>& out,
                                                std::string& error);

// The writes as one text with `line_end` for each line end (tests, previews).
std::string JoinChequeWrites(std::span<const ChequeWrite> writes,
                             std::string_view line_end = "\n");

// Whether a cheque prints kBankDraftHeading instead of its amount in words:
// the run is in the base currency, and the invoices are in another currency
// that is neither "can" nor empty.
bool PrintsBankDraftHeading(std::string_view run_currency, std::string_view base_currency,
                            std::string_view invoice_currency);

}  // namespace acq::AcqChequeLayout
