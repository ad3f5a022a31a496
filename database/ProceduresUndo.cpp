// Stored procedures of undo: undo_order, which takes a PO back to the
// unordered state. It writes on the caller's connection inside the
// caller's transaction: the check and the change see the same rows, and
// both stand or fall with the caller's commit.
#include "database/ProcedureKit.h"

namespace dbproc {
namespace {

const Arg kPo{'k', "po#"};

// An item whose life went on after it was ordered: received, invoiced,
// cancelled, renewed or discontinued, or answered by the vendor. Approval
// comes before ordering and is no later activity. Alias "i".
#define LATER_ACTIVITY                                                          \
  "(i.receive_date IS NOT NULL OR i.invoice_date IS NOT NULL OR "               \
  "i.cancel_date IS NOT NULL OR i.renew_activity_date IS NOT NULL OR "          \
  "i.response_date IS NOT NULL OR EXISTS (SELECT 1 FROM po_line_item_budget_amount m " \
  "WHERE m.\"po#\" = i.\"po#\" AND m.line = i.line AND m.item = i.item AND "    \
  "m.\"statement#\" IS NOT NULL))"

DbsResultSet Answer(int refused) {
  DbsResultSet set;
  set.columns.push_back(DbsColumn{"result", "TINYINT", "", ""});
  set.rows.push_back({DbsValue::Int(refused)});
  return set;
}

// Undo order of PO args[0]: result 1 (nothing changed) when an item has
// later activity; else every item loses what ordering gave it (order date,
// printed date, claim date and the claims counted) and the result is 0.
DbCode UndoOrder(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                 std::vector<DbsResultSet>& results, std::string& error) {
  DbsResultSet later;
  DbCode rc = Database_Query(
      db, "SELECT count(*) FROM po_line_item i WHERE i.\"po#\" = ?1 AND " LATER_ACTIVITY,
      {args[0]}, later, error);
  if (rc != kDbOk) return rc;
  const bool refused = !later.rows.empty() && !later.rows[0].empty() &&
                       later.rows[0][0].i != 0;
  if (!refused) {
    rc = Database_Exec(db,
                       "UPDATE po_line_item SET order_date = NULL, printed_date = NULL, "
                       "next_claim_date = NULL, claim_count = 0 WHERE \"po#\" = ?1",
                       {args[0]}, error);
    if (rc != kDbOk) return rc;
  }
  results = {Answer(refused ? 1 : 0)};
  return kDbOk;
}

#undef LATER_ACTIVITY

}  // namespace

void RegisterUndoProcedures() { RegisterCustom("undo_order", {kPo}, UndoOrder); }

}  // namespace dbproc
