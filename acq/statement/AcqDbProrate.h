// AcqDbProrate: the database side of extra-charge proration. Reads what a
// proration needs (the statement's rate, its line money rows, its open
// extra charges), writes the prorated rows with their history and budget
// money in batches of one transaction each, and takes them back.
//
// Money: amounts are Dec64 in the statement's currency; the budgets move by
// amount x exchange_rate (base currency, not rounded), on order only: a
// statement that can be prorated is not approved, so nothing of it is spent.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "acq/statement/AcqProrateMath.h"
#include "host/sys/Dec64.h"

namespace acq::AcqDbProrate {

// One extra charge of a statement that has no budget of its own, so it is
// shared over the lines; `prorated` when rows of its type are on the lines.
struct OpenCharge {
  std::string type;
  std::string descr;
  Dec64 amount;
  bool prorated = false;
};
// The statement's charges without a budget, by type. False on a database
// failure (reported through HandleDbError).
bool LoadOpenCharges(int32_t statement, std::vector<OpenCharge>& charges);
// The charge types with prorated rows on the statement, in type order.
bool LoadProratedTypes(int32_t statement, std::vector<std::string>& types);
// Whether the statement has line money rows (rows without a charge type).
bool StatementHasLines(int32_t statement, bool& has);
// Whether the statement is approved (its approve_date set).
bool StatementApproved(int32_t statement, bool& approved);

// What a proration run did.
struct ProrateReport {
  size_t batches = 0;      // transactions the types were taken in
  size_t committed = 0;    // of them, committed
  size_t rows = 0;         // po_line_item_budget_amount rows written
  int refusal = 0;         // the message that stopped the run (0: none or a db failure)
};
// Prorates the open charges of `types` (types without an open charge are
// skipped) over the rows of `lines` that `choice` takes, each batch of
// types in one transaction with the confirm-and-retry protocol; a failed
// batch stops the run, earlier ones stay. Inside each transaction the
// statement is re-read: an approved statement (295) or a type prorated
// meanwhile (1570, by another workstation) refuses the batch. Nothing is
// shown: the caller shows report.refusal; database failures are reported.
// True when at least one batch was committed.
bool ProrateCharges(int32_t statement, std::span<const AcqProrateMath::StatementLine> lines,
                    AcqProrateMath::LineChoice choice, AcqProrateMath::Method method,
                    const std::vector<std::string>& types, ProrateReport& report);

// Takes back the prorated rows of `types` (all prorated types when empty)
// in one transaction: the rows deleted, a history row of transaction_type 2
// per run of equal (po#, line, item, type), the budgets' and contracts' on
// order lowered by their base. Refusals, checked inside the transaction
// in this order: 250 nothing of those types prorated, 251 a row vouchered,
// 304 the statement approved; `refusal` gets the message (0 otherwise).
// True when committed.
bool UndoCharges(int32_t statement, const std::vector<std::string>& types, int& refusal);

void Initialize();
void Terminate();

}  // namespace acq::AcqDbProrate
