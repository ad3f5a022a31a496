// AcqDbEdiInv: the database side of EDIFACT invoices. Reads a stored INVOIC
// message, checks it against the POs and, in one transaction, either makes
// it a statement (lines, extra charges, the items' invoice money) or records
// why it was refused; and removes messages from the list unprocessed.
//
// How the money of a message becomes a statement:
//   - A line's money is its MOA+203 (the line item amount, net of the line's
//     own allowances and charges, without tax); it is shared over the items
//     the line takes exactly as the invoice activity shares an amount.
//     A line's allowances and charges (ALC with MOA 8/131 or PCD) are
//     therefore already in it: their types are checked, their amounts are
//     not booked a second time.
//   - A line's taxes (MOA 124/176, or PCD of the line amount) are not in
//     MOA+203: they are added to the statement extra charge of the tax type.
//   - Allowances, charges and taxes of the header (before the first LIN) and
//     allowances and charges of the summary (after UNS) are extra charges of
//     their types. Taxes of the summary repeat the lines' taxes and are only
//     booked when neither the header nor a line carried a tax amount.
//   - One statement_extra_charge row per type, the amounts added up; its
//     budget is the type's default budget (none: to be prorated).
//   - The statement's amount is the message total (MOA+86); without one, the
//     lines and charges added up. A total that differs from them is a
//     warning: the statement then does not balance until someone corrects it.
//   - statement_line_type is the invoice activity's: 0 for an invoice (BGM
//     380), 3 for a credit note (381), whose items are credited.
// Which items a line takes: the items GIR+LCO names (catalogue item#), then
// for each QTY+11 after LOC+7 / NAD+DP the pending items at that location,
// then the rest of the QTY+47 from the remaining pending items in item order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acq/edi/AcqEdifact.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbEdiInv {

// A message of the invoice list.
struct MessageKey {
  int32_t edifact = 0;
  int32_t message = 0;
};

// A warning or error found in a message: a string-table id with its "%1".
struct Finding {
  int message = 0;
  std::string arg;
  bool error = true;
  int32_t segment = 0;   // 0 for the message as a whole
};

// ---- reading the segments (no database) -----------------------------------------------------

// An allowance or charge (ALC), or a tax (TAX), with what followed it.
struct Charge {
  std::string type;                 // extra charge type code, up to 7 characters
  bool allowance = false;           // ALC qualifier "A"
  bool tax = false;
  std::optional<Dec64> amount;      // MOA 8/131 (charges) or 124/176 (taxes), as written
  std::optional<Dec64> percent;     // PCD+3, when no amount is given
  int32_t segment = 0;
};

struct LocationQuantity {
  std::string code;     // LOC+7 or NAD+DP party code, release characters removed
  std::string agency;   // its code-list agency ("" when none)
  int32_t quantity = 0;
  int32_t segment = 0;
};

struct Line {
  int32_t segment = 0;                    // the LIN
  std::optional<std::string> reference;   // RFF+LI, release characters removed
  std::optional<int32_t> quantity;        // QTY+47
  std::vector<LocationQuantity> locations;
  std::vector<int32_t> items;             // GIR LCO: catalogue item numbers
  std::optional<Dec64> amount;            // MOA+203, as written
  std::vector<Charge> charges;
};

struct Invoice {
  int statementType = 0;   // 0 invoice (380), 3 credit (381)
  std::vector<Charge> charges;        // header, and summary allowances and charges
  std::vector<Charge> summaryTaxes;   // taxes after UNS
  std::vector<Line> lines;
};

struct Segment {
  int32_t segment = 0;
  std::string text;   // terminator included
};

// Reads the segments of one message (UNH to UNT). False with `fault` (429,
// its segment) when the message is not an invoice or credit note, or its
// lines and trailing segments are out of form.
bool ReadInvoice(const std::vector<Segment>& segments, const AcqEdifact::ServiceChars& sc,
                 Invoice& invoice, Finding& fault);

// ---- processing ---------------------------------------------------------------------------------

enum class Outcome {
  Created,       // the statement was made (findings: its warnings)
  Refused,       // errors: recorded with status 2, nothing made
  AlreadyDone,   // processed or removed (at another workstation, say): nothing done
  Failed,        // a database failure (reported) or a declined fund-control prompt
};
struct Result {
  Outcome outcome = Outcome::Failed;
  int32_t statement = 0;           // the new statement's key when Created
  std::vector<Finding> findings;   // in the order found; each written to edifact_exception
};

// Processes one message in one transaction with confirm-and-retry: the
// message is taken only when no process-status row of the invoices says it
// was done or removed (read inside the transaction); then either the
// statement with everything under it and a status row 0 (1 with warnings),
// or the exception rows and a status row 2 and nothing else. Shows nothing
// itself, but fund control's prompts.
Result ProcessMessage(const MessageKey& key);

// Marks the messages removed (status 3) in one transaction; a message that
// has left the list meanwhile is skipped. `removed`: how many were marked.
// False on a database failure (reported).
bool RemoveMessages(const std::vector<MessageKey>& keys, int& removed);

}  // namespace acq::AcqDbEdiInv
