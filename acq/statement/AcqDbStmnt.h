// AcqDbStmnt: the database side of the statement window: reading a
// statement as the window shows it, the extra-charge budget default, and the
// save (header, extra charges, statement budgets and the on-order money of
// the budgeted ones) in one transaction with the rules of a header save
// checked against the rows as they are inside that transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acq/budget/AcqFundCtrl.h"
#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbStmnt {

// The `statement` row as the window edits it. Amounts in the statement's
// currency; exchange_rate 1.000000 = 1000000 raw.
struct Header {
  int32_t statement = 0;   // 0 for a statement not yet saved
  std::string number;
  int type = 0;
  int32_t vendor = 0;
  Dec64 amount;
  std::string currency;
  Dec64 rate = Dec64::FromInt(1);
  std::optional<DayNum> date;
  std::string note;
  bool gst = false, pst = false;
  std::optional<Dec64> gstAmount, pstAmount;
  std::optional<DayNum> approveDate;   // read only: approval sets it
  friend bool operator==(const Header&, const Header&) = default;
};

// One statement_extra_charge row; an empty budget is to be prorated.
struct Charge {
  std::string type;
  Dec64 amount;
  std::string budget;
  bool spent = false;
  bool vouchered = false;   // voucher# is set
  friend bool operator==(const Charge&, const Charge&) = default;
};

// One statement_budget row (statement types 2, 4 and 6).
struct BudgetRow {
  std::string budget;
  Dec64 amount;
  bool spent = false;
  bool vouchered = false;
  friend bool operator==(const BudgetRow&, const BudgetRow&) = default;
};

struct Statement {
  Header header;
  std::vector<Charge> charges;     // by type
  std::vector<BudgetRow> budgets;  // by budget
  friend bool operator==(const Statement&, const Statement&) = default;
};

// A line of the statement as its line list shows it: the statement_line row
// with its PO line's title, and its money on this statement (the sum of the
// item rows the statement line wrote, without the prorated charges; null
// when it has none).
struct Line {
  int16_t statementLine = 0;
  int lineType = 0;
  int32_t po = 0;
  std::string poNumber;
  int16_t line = 0;
  std::string title;
  int quantity = 0;
  std::optional<Dec64> amount;       // as entered on the statement line
  std::optional<Dec64> itemAmount;   // money on this statement
};

// Reads statement `statement` into `out` (`found` false when it is gone).
// False on a database failure (reported).
bool LoadStatement(int32_t statement, Statement& out, bool& found);
bool LoadLines(int32_t statement, std::vector<Line>& out);

// The default budget of extra-charge type `chargeType`: its account followed
// by "." and the four-digit fiscal year, then "." and the last two digits,
// then "." alone, the first that is a budget of budget_code (the fiscal year
// is the site's fiscal_year, or the calendar year of today when that is
// null). Empty when the type has no account or no candidate exists. False on
// a database failure (reported).
bool DefaultChargeBudget(const std::string& chargeType, std::string& budget);

// Why a save was refused: a message id of the string table with its
// argument, or 0 when it was not refused (then a false result means a
// database failure, already reported, or declined fund control).
struct Refusal {
  int message = 0;
  std::string arg;
};

// The message a save refuses with when the statement changed at another
// workstation since the window read it, and when it is gone.
inline constexpr int kMsgChangedElsewhere = 1500;
inline constexpr int kMsgStatementGone = 1501;

// Saves `edited` over `shown` (the statement as the window read it; ignored
// for a new statement, which gets its statement# from the key generator
// into edited.header.statement). Inside one transaction with the
// confirm-and-retry protocol: the statement is read again and must equal
// `shown` (else kMsgChangedElsewhere, nothing written); the header rules
// (approved: 302 for header fields other than the note, 296 for charges
// and budgets; 106, 107, 132, 133, 134, 136, 137) against the rows read
// there; then the header, the charges and the budgets are written and the
// budgeted charges and statement budgets move on-order money (amount x
// rate) through the money core. Credits and refunds (types 3 to 6) are
// stored with negative amounts: positive ones in `edited` are turned
// first. True when committed. A refusal fills
// `refused` and leaves the database as it was; the caller shows it.
bool SaveStatement(const Statement& shown, Statement& edited, Refusal& refused,
                   AcqFundCtrl::BustList* confirmed = nullptr);

// Undo of statement lines: the rows of `statementLines` of statement
// `statement` go (their statement_line rows and their item money of this
// statement, taken back through the money core, with a history row of
// transaction_type 2 per item); refused with 303 when the statement is
// approved and 244 when extra charges are prorated to their PO lines.
bool UndoStatementLines(int32_t statement, const std::vector<int16_t>& statementLines,
                        Refusal& refused);

}  // namespace acq::AcqDbStmnt
