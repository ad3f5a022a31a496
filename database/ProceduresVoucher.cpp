// Stored procedures that make and void vouchers and apply credits.
//
// A voucher pays the spent money of one approved statement that no other
// voucher pays yet: its rows in po_line_item_budget_amount,
// statement_extra_charge and statement_budget with spent = 1 and no
// voucher#. Creating one marks those rows first and only then reads what
// it marked, so two workstations racing for the same statement cannot both
// pay it: writers follow one another (the session's transactions queue),
// and the second finds no unmarked row left and is refused. A refusal
// writes nothing. Amounts are in the statement's currency, in millionths.
//
// Credits applied (statement_linker) are vouchered from the invoice side:
// an invoice's voucher takes the applied credits that no voucher carries
// yet and its payable is that much smaller. A credit memo's payable is its
// (negative) money plus every amount applied from it to invoices, since
// those invoices' payables already deduct it.
#include <string>

#include "database/ProcedureKit.h"
#include "host/db/DbDabs.h"

namespace dbproc {
namespace {

const Arg kStatement{'k', "statement#"};
const Arg kVoucher{'k', "voucher#"};

const char* const kMoneyTables[] = {"po_line_item_budget_amount", "statement_extra_charge",
                                    "statement_budget"};

// The one-row answer of the two procedures: 1 done, 0 refused.
DbsResultSet Result(int value) {
  DbsResultSet set;
  set.columns.push_back(DbsColumn{"result", "TINYINT", "", ""});
  set.rows.push_back({DbsValue::Int(value)});
  return set;
}

// A whole number read from the first cell of `set` (0 when there is none
// or it is NULL). Sums arrive as integers or, from a server, as decimal
// text of the same integer.
int64_t IntOf(const DbsValue& v) {
  if (v.kind == DbsValue::Kind::Int) return v.i;
  if (v.IsNull() || v.s.empty()) return 0;
  return std::stoll(v.s);
}

int64_t FirstInt(const DbsResultSet& set) {
  return set.rows.empty() || set.rows[0].empty() ? 0 : IntOf(set.rows[0][0]);
}

DbCode ScalarInt(pwdb::DbConnection& db, const std::string& sql,
                 const std::vector<DbsValue>& binds, int64_t& value, std::string& error) {
  DbsResultSet set;
  const DbCode rc = Database_Query(db, sql, binds, set, error);
  if (rc == kDbOk) value = FirstInt(set);
  return rc;
}

// The statement a voucher is made of, as create_statement_voucher needs it.
struct StatementFacts {
  bool found = false;
  bool approved = false;
  int64_t type = 0;
};

DbCode ReadStatement(pwdb::DbConnection& db, const DbsValue& statement, StatementFacts& facts,
                     std::string& error) {
  DbsResultSet set;
  const DbCode rc = Database_Query(
      db,
      "SELECT statement_type, CASE WHEN approve_date IS NULL THEN 0 ELSE 1 END "
      "FROM statement WHERE \"statement#\" = ?1",
      {statement}, set, error);
  if (rc != kDbOk || set.rows.empty()) return rc;
  facts.found = true;
  facts.type = IntOf(set.rows[0][0]);
  facts.approved = IntOf(set.rows[0][1]) != 0;
  return kDbOk;
}

// Sets voucher# ?2 on the statement ?1's spent rows that have none;
// `marked` counts them.
DbCode MarkMoneyRows(pwdb::DbConnection& db, const std::vector<DbsValue>& binds, int& marked,
                     std::string& error) {
  marked = 0;
  for (const char* table : kMoneyTables) {
    int changes = 0;
    const DbCode rc = Database_Exec(db,
                                    std::string("UPDATE ") + table +
                                        " SET \"voucher#\" = ?2 WHERE \"statement#\" = ?1 "
                                        "AND spent = 1 AND \"voucher#\" IS NULL",
                                    binds, error, &changes);
    if (rc != kDbOk) return rc;
    marked += changes;
  }
  return kDbOk;
}

DbCode ClearVoucher(pwdb::DbConnection& db, const DbsValue& voucher, std::string& error) {
  for (const char* table : kMoneyTables) {
    const DbCode rc = Database_Exec(
        db, std::string("UPDATE ") + table + " SET \"voucher#\" = NULL WHERE \"voucher#\" = ?1",
        {voucher}, error);
    if (rc != kDbOk) return rc;
  }
  return Database_Exec(db, "UPDATE statement_linker SET \"voucher#\" = NULL WHERE \"voucher#\" = ?1",
                       {voucher}, error);
}

// create_statement_voucher(statement#, voucher#): 1 created, 0 refused
// (no such statement, not approved, or no outstanding spent money).
DbCode CreateStatementVoucher(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                              std::vector<DbsResultSet>& results, std::string& error) {
  const DbsValue& statement = args[0];
  const DbsValue& voucher = args[1];
  StatementFacts facts;
  DbCode rc = ReadStatement(db, statement, facts, error);
  if (rc != kDbOk) return rc;
  int64_t taken = 0;
  if (rc == kDbOk && facts.found)
    rc = ScalarInt(db, "SELECT count(*) FROM voucher WHERE \"voucher#\" = ?1", {voucher}, taken,
                   error);
  if (rc != kDbOk) return rc;
  if (!facts.found || !facts.approved || taken != 0) {
    results = {Result(0)};
    return kDbOk;
  }
  int marked = 0;
  rc = MarkMoneyRows(db, {statement, voucher}, marked, error);
  if (rc != kDbOk) return rc;
  int64_t amount = 0;
  if (marked > 0) {
    std::string sum = "SELECT ";
    for (const char* table : kMoneyTables)
      sum += std::string(sum.size() > 7 ? " + " : "") + "coalesce((SELECT sum(amount) FROM " +
             table + " WHERE \"voucher#\" = ?1), 0)";
    rc = ScalarInt(db, sum, {voucher}, amount, error);
    if (rc != kDbOk) return rc;
  }
  if (marked == 0 || amount == 0) {
    // Rows that cancel out to nothing are no payment: leave them unmarked.
    if (marked > 0 && (rc = ClearVoucher(db, voucher, error)) != kDbOk) return rc;
    results = {Result(0)};
    return kDbOk;
  }

  const bool credit = facts.type == 3 || facts.type == 4;
  const bool invoice = facts.type == 0 || facts.type == 1 || facts.type == 2;
  int64_t applied = 0;
  if (invoice) {
    rc = Database_Exec(db,
                       "UPDATE statement_linker SET \"voucher#\" = ?2 "
                       "WHERE \"invoice_statement#\" = ?1 AND \"voucher#\" IS NULL",
                       {statement, voucher}, error);
    if (rc == kDbOk)
      rc = ScalarInt(db,
                     "SELECT coalesce(sum(amount_applied), 0) FROM statement_linker "
                     "WHERE \"voucher#\" = ?1",
                     {voucher}, applied, error);
  } else if (credit) {
    rc = ScalarInt(db,
                   "SELECT coalesce(sum(amount_applied), 0) FROM statement_linker "
                   "WHERE \"credit_statement#\" = ?1",
                   {statement}, applied, error);
  }
  if (rc != kDbOk) return rc;
  const int64_t payable = invoice ? amount - applied : credit ? amount + applied : amount;

  const DbsValue today = DbsValue::Int(DbDabs_GetDate());
  rc = Database_Exec(
      db,
      "INSERT INTO voucher(\"voucher#\", voucher_number, \"statement#\", \"vendor#\", "
      "voucher_date, amount, currency, void) "
      "SELECT CAST(?2 AS INTEGER), ?3, s.\"statement#\", s.\"vendor#\", CAST(?4 AS INTEGER), "
      "CAST(?5 AS BIGINT), s.currency, 0 FROM statement s WHERE s.\"statement#\" = ?1",
      {statement, voucher, DbsValue::Text(std::to_string(voucher.i)), today,
       DbsValue::Int(amount)},
      error);
  if (rc != kDbOk) return rc;
  rc = Database_Exec(
      db,
      "INSERT INTO payables(\"voucher#\", \"statement#\", \"vendor#\", status, amount, "
      "gst_amount, pst_amount, currency, invoice_date) "
      "SELECT CAST(?2 AS INTEGER), s.\"statement#\", s.\"vendor#\", 0, CAST(?3 AS BIGINT), "
      "s.gst_amount, s.pst_amount, s.currency, s.statement_date "
      "FROM statement s WHERE s.\"statement#\" = ?1",
      {statement, voucher, DbsValue::Int(payable)}, error);
  if (rc != kDbOk) return rc;
  results = {Result(1)};
  return kDbOk;
}

// void_voucher(voucher#): 1 voided, 0 refused (no such voucher, void
// already, or its payable paid by a cheque). The refusal tests and the
// void are one conditional update, so two workstations voiding at once
// void it once.
DbCode VoidVoucher(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                   std::vector<DbsResultSet>& results, std::string& error) {
  const DbsValue& voucher = args[0];
  int changes = 0;
  DbCode rc = Database_Exec(
      db,
      "UPDATE voucher SET void = 1, void_date = CAST(?2 AS INTEGER) "
      "WHERE \"voucher#\" = ?1 AND void = 0 AND NOT EXISTS (SELECT 1 FROM payables p "
      "WHERE p.\"voucher#\" = ?1 AND (p.status = 2 OR p.\"cheque#\" IS NOT NULL))",
      {voucher, DbsValue::Int(DbDabs_GetDate())}, error, &changes);
  if (rc != kDbOk) return rc;
  if (changes == 0) {
    results = {Result(0)};
    return kDbOk;
  }
  rc = ClearVoucher(db, voucher, error);
  if (rc == kDbOk)
    rc = Database_Exec(db, "UPDATE payables SET status = 3 WHERE \"voucher#\" = ?1", {voucher},
                       error);
  if (rc != kDbOk) return rc;
  results = {Result(1)};
  return kDbOk;
}

// ---- credits applied ------------------------------------------------------------------------

// What credit work needs of one statement.
struct Side {
  bool found = false;
  int64_t type = 0;
  int64_t vendor = 0;
  std::string currency;
  int64_t remaining = 0;   // amount_remaining, the header amount while it is NULL
  bool vouchered = false;  // a voucher that is not void
};

DbCode ReadSide(pwdb::DbConnection& db, const DbsValue& statement, Side& side,
                std::string& error) {
  DbsResultSet set;
  const DbCode rc = Database_Query(
      db,
      "SELECT statement_type, \"vendor#\", coalesce(currency, ''), "
      "coalesce(amount_remaining, amount), CASE WHEN EXISTS (SELECT 1 FROM voucher v "
      "WHERE v.\"statement#\" = s.\"statement#\" AND v.void = 0) THEN 1 ELSE 0 END "
      "FROM statement s WHERE \"statement#\" = ?1",
      {statement}, set, error);
  if (rc != kDbOk || set.rows.empty()) return rc;
  const std::vector<DbsValue>& r = set.rows[0];
  side.found = true;
  side.type = IntOf(r[0]);
  side.vendor = IntOf(r[1]);
  side.currency = r[2].s;
  side.remaining = IntOf(r[3]);
  side.vouchered = IntOf(r[4]) != 0;
  return kDbOk;
}

DbCode MoveRemaining(pwdb::DbConnection& db, const DbsValue& statement, int64_t by,
                     std::string& error) {
  return Database_Exec(db,
                       "UPDATE statement SET amount_remaining = coalesce(amount_remaining, amount) "
                       "+ CAST(?2 AS BIGINT) WHERE \"statement#\" = ?1",
                       {statement, DbsValue::Int(by)}, error);
}

// apply_statement_credit(invoice#, credit#, amount in millionths): 1
// applied; 0 the amount is not above zero or more than either statement has
// outstanding; 2 either statement has a voucher (its payable is settled);
// 3 not an invoice and a credit memo of one vendor and currency. Applying
// lowers the invoice's amount_remaining and raises the (negative) credit's
// by the amount, and adds it to their statement_linker row.
DbCode ApplyStatementCredit(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                            std::vector<DbsResultSet>& results, std::string& error) {
  const DbsValue& invoice = args[0];
  const DbsValue& credit = args[1];
  const int64_t amount = args[2].i;
  Side inv, cre;
  DbCode rc = ReadSide(db, invoice, inv, error);
  if (rc == kDbOk) rc = ReadSide(db, credit, cre, error);
  if (rc != kDbOk) return rc;
  int result = 1;
  if (!inv.found || !cre.found || inv.type > 2 || (cre.type != 3 && cre.type != 4) ||
      inv.vendor != cre.vendor || inv.currency != cre.currency)
    result = 3;
  else if (inv.vouchered || cre.vouchered)
    result = 2;
  else if (amount <= 0 || amount > inv.remaining || amount > -cre.remaining)
    result = 0;
  if (result == 1) {
    int64_t linked = 0;
    rc = ScalarInt(db,
                   "SELECT count(*) FROM statement_linker WHERE \"invoice_statement#\" = ?1 "
                   "AND \"credit_statement#\" = ?2",
                   {invoice, credit}, linked, error);
    if (rc == kDbOk)
      rc = Database_Exec(
          db,
          linked != 0
              ? "UPDATE statement_linker SET amount_applied = amount_applied + CAST(?3 AS BIGINT), "
                "date_applied = CAST(?4 AS INTEGER) WHERE \"invoice_statement#\" = ?1 "
                "AND \"credit_statement#\" = ?2"
              : "INSERT INTO statement_linker(\"invoice_statement#\", \"credit_statement#\", "
                "amount_applied, date_applied) VALUES (CAST(?1 AS INTEGER), CAST(?2 AS INTEGER), "
                "CAST(?3 AS BIGINT), CAST(?4 AS INTEGER))",
          {invoice, credit, DbsValue::Int(amount), DbsValue::Int(DbDabs_GetDate())}, error);
    if (rc == kDbOk) rc = MoveRemaining(db, invoice, -amount, error);
    if (rc == kDbOk) rc = MoveRemaining(db, credit, amount, error);
    if (rc != kDbOk) return rc;
  }
  results = {Result(result)};
  return kDbOk;
}

// undo_statement_credit(invoice#, credit#): 1 the applied amount is taken
// back (both amount_remaining restored, the link gone); 0 nothing is
// applied between them; 2 the link or either statement has a voucher (a
// credit memo's payable counted what it had applied).
DbCode UndoStatementCredit(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                           std::vector<DbsResultSet>& results, std::string& error) {
  const DbsValue& invoice = args[0];
  const DbsValue& credit = args[1];
  DbsResultSet link;
  DbCode rc = Database_Query(db,
                             "SELECT amount_applied, CASE WHEN \"voucher#\" IS NULL THEN 0 "
                             "ELSE 1 END FROM statement_linker WHERE \"invoice_statement#\" = ?1 "
                             "AND \"credit_statement#\" = ?2",
                             {invoice, credit}, link, error);
  if (rc != kDbOk) return rc;
  Side inv, cre;
  if (rc == kDbOk) rc = ReadSide(db, invoice, inv, error);
  if (rc == kDbOk) rc = ReadSide(db, credit, cre, error);
  if (rc != kDbOk) return rc;
  int result = 1;
  if (link.rows.empty())
    result = 0;
  else if (IntOf(link.rows[0][1]) != 0 || inv.vouchered || cre.vouchered)
    result = 2;
  if (result == 1) {
    const int64_t applied = IntOf(link.rows[0][0]);
    rc = Database_Exec(db,
                       "DELETE FROM statement_linker WHERE \"invoice_statement#\" = ?1 "
                       "AND \"credit_statement#\" = ?2 AND \"voucher#\" IS NULL",
                       {invoice, credit}, error);
    if (rc == kDbOk) rc = MoveRemaining(db, invoice, applied, error);
    if (rc == kDbOk) rc = MoveRemaining(db, credit, -applied, error);
    if (rc != kDbOk) return rc;
  }
  results = {Result(result)};
  return kDbOk;
}

}  // namespace

void RegisterVoucherProcedures() {
  RegisterCustom("create_statement_voucher", {kStatement, kVoucher}, CreateStatementVoucher);
  RegisterCustom("void_voucher", {kVoucher}, VoidVoucher);
  const Arg invoice{'k', "invoice_statement#"}, credit{'k', "credit_statement#"};
  RegisterCustom("apply_statement_credit", {invoice, credit, {'k', "amount"}},
                 ApplyStatementCredit);
  RegisterCustom("undo_statement_credit", {invoice, credit}, UndoStatementCredit);
}

}  // namespace dbproc
