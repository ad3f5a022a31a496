// Stored procedures of printed orders: what a cancellation notice lists,
// and the marks that printing a negotiable order or a cancellation notice
// leaves on the PO's items. The marks are written on the caller's
// connection inside the caller's transaction (one PO per transaction is the
// caller's rule); "today" is the day the procedure runs, as the host's
// clock gives it.
#include <string>
#include <vector>

#include "database/ProcedureKit.h"
#include "host/db/DbDabs.h"

namespace dbproc {
namespace {

const Arg kPo{'k', "po#"};

// The items a cancellation notice tells the vendor about: cancelled after
// they were ordered (an item cancelled before its order went out was never
// the vendor's business). Alias "i".
#define NOTIFIED_CANCELLED_ITEM "i.cancel_date IS NOT NULL AND i.order_date IS NOT NULL"

// The marking procedures answer with one row: how many items they marked.
DbsResultSet MarkedCount(int changes) {
  DbsResultSet set;
  set.columns.push_back(DbsColumn{"items", "INTEGER", "", ""});
  set.rows.push_back({DbsValue::Int(changes)});
  return set;
}

// After a negotiable PO was printed: its approved, live items are printed
// today; those never ordered are ordered today and, when the vendor is
// claimed at all, fall due for their first claim after the vendor's first
// claim delay (its claim interval when it has none). A reprint moves
// neither order nor claim dates. Every SET reads the row as it was, so the
// claim date sees order_date before it is set.
DbCode PrintPoUpdate(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                     std::vector<DbsResultSet>& results, std::string& error) {
  const DbsValue today = DbsValue::Int(DbDabs_GetDate());
  int changes = 0;
  const DbCode rc = Database_Exec(
      db,
      "UPDATE po_line_item SET printed_date = CAST(?2 AS INTEGER), "
      "next_claim_date = CASE WHEN order_date IS NULL THEN "
      "(SELECT CASE WHEN v.max_claims > 0 THEN "
      "CAST(?2 AS INTEGER) + coalesce(v.first_claim_delay, v.claim_interval) END "
      "FROM po p JOIN vendor v ON v.\"vendor#\" = p.\"vendor#\" WHERE p.\"po#\" = ?1) "
      "ELSE next_claim_date END, "
      "order_date = coalesce(order_date, CAST(?2 AS INTEGER)) "
      "WHERE \"po#\" = ?1 AND approve_date IS NOT NULL AND cancel_date IS NULL",
      {args[0], today}, error, &changes);
  if (rc != kDbOk) return rc;
  results = {MarkedCount(changes)};
  return kDbOk;
}

// After a cancellation notice was printed: the cancelled items it listed
// carry the notice's date as their printed date. Nothing else moves: the
// cancellation itself already ended their claims and their money.
DbCode PrintChangePoUpdate(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                           std::vector<DbsResultSet>& results, std::string& error) {
  const DbsValue today = DbsValue::Int(DbDabs_GetDate());
  int changes = 0;
  const DbCode rc = Database_Exec(
      db,
      "UPDATE po_line_item SET printed_date = CAST(?2 AS INTEGER) "
      "WHERE \"po#\" = ?1 AND cancel_date IS NOT NULL AND order_date IS NOT NULL",
      {args[0], today}, error, &changes);
  if (rc != kDbOk) return rc;
  results = {MarkedCount(changes)};
  return kDbOk;
}

}  // namespace

void RegisterPrintProcedures() {
  // The lines of a cancellation notice: per line, how many of its items
  // were cancelled after ordering, their money at the line's price (PO
  // currency, millionths) and the note to the vendor about the change.
  RegisterSql("po_change_print", {kPo},
              {{"SELECT pl.\"po#\", pl.line, pl.isbn, pl.issn, pl.title, pl.author, "
                "count(*) AS quantity, pl.unit_price AS po_unit_price, "
                "coalesce(pl.unit_price, 0) * count(*) AS amount, pl.change_order_note "
                "FROM po_line pl JOIN po_line_item i ON i.\"po#\" = pl.\"po#\" AND i.line = pl.line "
                "WHERE pl.\"po#\" = ?1 AND " NOTIFIED_CANCELLED_ITEM " "
                "GROUP BY pl.\"po#\", pl.line, pl.isbn, pl.issn, pl.title, pl.author, "
                "pl.unit_price, pl.change_order_note ORDER BY pl.line",
                {{"quantity", "INTEGER"}, {"po_unit_price", "DEC64"}, {"amount", "DEC64"}}}});
  RegisterCustom("print_po_update_db", {kPo}, PrintPoUpdate);
  RegisterCustom("print_change_po_update_db", {kPo}, PrintChangePoUpdate);
}

}  // namespace dbproc
