// Stored procedures of claims: the items due for a claim, the claimed
// items of one PO as a claim letter prints them, and the record of a
// printed claim.
//
// An item is due when it is claimable (the view po_claimable: ordered,
// neither received nor cancelled, its vendor's max_claims above 0 and
// above the claims made) and its next_claim_date is today or earlier.
// "Today" is this workstation's date (DbDabs_GetDate), as everywhere the
// module stamps a date, bound as an argument: never the server's clock.
#include "database/ProcedureKit.h"
#include "host/db/DbDabs.h"

namespace dbproc {
namespace {

const Arg kPo{'k', "po#"};

// The due items; ?1 is today, ?2 (when `onePo`) the PO.
std::string DueItemsSql(const char* columns, bool onePo) {
  return std::string("SELECT ") + columns +
         " FROM po_claimable c WHERE c.next_claim_date <= ?1" +
         (onePo ? " AND c.\"po#\" = ?2" : "") +
         " ORDER BY c.vendor_name, c.po_number, c.\"po#\", c.line, c.item";
}

// The one-row result of a write procedure: code 0, done.
DbsResultSet Done() {
  DbsResultSet set;
  set.columns.push_back(DbsColumn{"result", "TINYINT", "", ""});
  set.rows.push_back({DbsValue::Int(0)});
  return set;
}

// Records a printed claim for the due items of PO args[0]: one "claim"
// history row per item (the date the claim moves to in next_claim_date),
// then claim_count + 1, printed_date today and next_claim_date moved on by
// the vendor's claim_interval. An item whose count reaches max_claims is
// no longer claimable; a vendor without claim_interval is claimed once
// (the date becomes NULL). The history is written first, while the items
// still answer to the due condition; both statements see the same items
// because they run in the caller's transaction one after the other.
DbCode PrintClaimUpdateDb(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                          std::vector<DbsResultSet>& results, std::string& error) {
  DayNum today = 0;
  MinuteOfDay now = 0;
  DbDabs_GetDateTime(today, now);
  const std::vector<DbsValue> binds = {DbsValue::Int(today), args[0], DbsValue::Int(now)};
  const std::string due =
      "SELECT c.\"po#\", c.line, c.item FROM po_claimable c "
      "WHERE c.next_claim_date <= ?1 AND c.\"po#\" = ?2";
  DbCode rc = Database_Exec(
      db,
      "INSERT INTO po_line_item_history(\"po#\", line, item, po_activity_type, "
      "transaction_type, date, time, next_claim_date) "
      "SELECT c.\"po#\", c.line, c.item, 'claim', 0, CAST(?1 AS DAYNUM), CAST(?3 AS MINUTE), "
      "c.next_claim_date + c.claim_interval "
      "FROM po_claimable c WHERE c.next_claim_date <= ?1 AND c.\"po#\" = ?2 "
      "AND EXISTS (SELECT 1 FROM po_activity_type t WHERE t.po_activity_type = 'claim') "
      "ORDER BY c.line, c.item",
      binds, error);
  if (rc != kDbOk) return rc;
  rc = Database_Exec(
      db,
      "UPDATE po_line_item SET claim_count = claim_count + 1, printed_date = ?1, "
      "next_claim_date = next_claim_date + (SELECT v.claim_interval FROM po p "
      "JOIN vendor v ON v.\"vendor#\" = p.\"vendor#\" WHERE p.\"po#\" = po_line_item.\"po#\") "
      "WHERE \"po#\" = ?2 AND EXISTS (" + due +
          " AND c.line = po_line_item.line AND c.item = po_line_item.item)",
      {DbsValue::Int(today), args[0]}, error);
  if (rc != kDbOk) return rc;
  results.push_back(Done());
  return kDbOk;
}

}  // namespace

void RegisterClaimProcedures() {
  // Every due item, for the claims review.
  RegisterCustom("get_claims_review", {},
                 [](pwdb::DbConnection& db, const std::vector<DbsValue>&,
                    std::vector<DbsResultSet>& results, std::string& error) -> DbCode {
                   results.resize(1);
                   return RunQuery(db,
                                   {DueItemsSql("c.\"po#\", c.po_number, c.line, c.item, "
                                                "c.\"vendor#\", c.vendor_name, c.title, "
                                                "c.author, c.order_date, c.next_claim_date, "
                                                "c.claim_count, c.max_claims",
                                                false)},
                                   {DbsValue::Int(DbDabs_GetDate())}, results[0], error);
                 });
  // The due items of one PO as its claim letter lists them, with the
  // claim text (NULL when the site has no "claim" activity).
  RegisterCustom("po_claim_print", {kPo},
                 [](pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                    std::vector<DbsResultSet>& results, std::string& error) -> DbCode {
                   results.resize(1);
                   return RunQuery(
                       db,
                       {DueItemsSql("c.\"po#\", c.line, c.item, c.isbn, c.issn, c.title, "
                                    "c.author, (SELECT t.print_text FROM po_activity_type t "
                                    "WHERE t.po_activity_type = 'claim') AS print_text, "
                                    "c.next_claim_date, c.claim_count",
                                    true),
                        {{"print_text", "VARCHAR(255)"}}},
                       {DbsValue::Int(DbDabs_GetDate()), args[0]}, results[0], error);
                 });
  RegisterCustom("print_claim_update_db", {kPo}, PrintClaimUpdateDb);
}

}  // namespace dbproc
