// Stored procedures of payables and cheque runs: the status of a payable,
// a run and its cheques, and the reconciling or voiding of a cheque.
//
// Every write is conditional on the state it changes from (a payable still
// open, a cheque still issued, a run's file not yet made), so that two
// workstations doing the same thing at once never both do it: the one whose
// condition no longer holds changes nothing and answers `result` 0. They
// run on the caller's connection inside the caller's transaction.
//
// A run pays in one currency: US dollars when its payables are in US
// dollars, else the site's base currency (foreign invoices then go out as
// bank drafts). So open payables are never a mix of US-dollar and other
// ones; opening a payable that would mix them is refused.
//
// "Today" is the workstation's date (DbDabs_GetDate).
#include <string>
#include <vector>

#include "database/ProcedureKit.h"
#include "host/db/DbDabs.h"

namespace dbproc {
namespace {

// Payables status: 0 open, 1 hold, 2 paid (cheque# set), 3 deleted.
// Cheque status: 0 issued, 1 reconciled, 2 void.
constexpr int64_t kOpen = 0, kHold = 1, kDeleted = 3;
constexpr int64_t kReconciled = 1, kVoid = 2;

// True for a payable whose currency (column `col`) is US dollars.
std::string IsUsd(const std::string& col) {
  return "(upper(trim(coalesce(" + col + ", ''))) = 'USD')";
}

DbsResultSet Result(bool done) {
  DbsResultSet set;
  set.columns.push_back(DbsColumn{"result", "TINYINT", "", ""});
  set.rows.push_back({DbsValue::Int(done ? 1 : 0)});
  return set;
}

// The first cell of a one-row query as a whole number (0 when NULL).
DbCode ScalarInt(pwdb::DbConnection& db, const std::string& sql,
                 const std::vector<DbsValue>& binds, int64_t& out, std::string& error) {
  DbsResultSet set;
  out = 0;
  const DbCode rc = Database_Query(db, sql, binds, set, error);
  if (rc != kDbOk) return rc;
  if (set.rows.empty() || set.rows[0].empty()) return kDbOk;
  const DbsValue& v = set.rows[0][0];
  if (v.kind == DbsValue::Kind::Int) out = v.i;
  else if (!v.IsNull()) out = std::stoll(v.s);
  return kDbOk;
}

// set_payable_status(voucher#, statement#, status): status 0 (open), 1
// (hold) or 3 (deleted) for a payable that is open or on hold. Opening is
// refused when it would mix US-dollar and other open payables.
DbCode SetPayableStatus(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                        std::vector<DbsResultSet>& results, std::string& error) {
  const int64_t status = args[2].i;
  if (status != kOpen && status != kHold && status != kDeleted) {
    error = "set_payable_status: status " + std::to_string(status) +
            " is not 0 (open), 1 (hold) or 3 (deleted).";
    return kDbError;
  }
  std::string sql =
      "UPDATE payables SET status = ?3 WHERE \"voucher#\" = ?1 AND \"statement#\" = ?2 "
      "AND status IN (0, 1)";
  if (status == kOpen)
    sql += " AND NOT EXISTS (SELECT 1 FROM payables o WHERE o.status = 0 "
           "AND NOT (o.\"voucher#\" = ?1 AND o.\"statement#\" = ?2) AND " +
           IsUsd("o.currency") + " <> " + IsUsd("payables.currency") + ")";
  int changes = 0;
  const DbCode rc = Database_Exec(db, sql, args, error, &changes);
  if (rc != kDbOk) return rc;
  results = {Result(changes == 1)};
  return kDbOk;
}

// create_cheque_run(cheque_run#, user_id): the run row, dated today, in the
// currency of the open payables. Fails (nothing written) when they mix
// US-dollar and other currencies.
DbCode CreateChequeRun(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                       std::vector<DbsResultSet>& results, std::string& error) {
  int64_t open = 0, usd = 0;
  DbCode rc = ScalarInt(db, "SELECT count(*) FROM payables WHERE status = 0", {}, open, error);
  if (rc == kDbOk)
    rc = ScalarInt(db, "SELECT count(*) FROM payables WHERE status = 0 AND " + IsUsd("currency"),
                   {}, usd, error);
  if (rc != kDbOk) return rc;
  if (usd != 0 && usd != open) {
    error = "Make sure all the payables are either USD currency or non-USD currency";
    return kDbError;
  }
  const std::string currency =
      open > 0 && usd == open ? "'USD'" : "(SELECT base_currency FROM acq_parameter LIMIT 1)";
  rc = Database_Exec(db,
                     "INSERT INTO cheque_run(\"cheque_run#\", run_currency, run_date, "
                     "file_created, user_id) VALUES (?1, " + currency + ", ?2, 0, ?3)",
                     {args[0], DbsValue::Int(DbDabs_GetDate()), args[1]}, error);
  if (rc != kDbOk) return rc;
  results = {Result(true)};
  return kDbOk;
}

// create_payables_cheque(cheque#, vendor#, cheque_run#): pays every open
// payable of the vendor with one cheque of their total, dated today. A
// vendor whose open payables total zero or less (or that has none left:
// another run paid them) gets no cheque: nothing changes, result 0. A
// cheque's total is in one currency, so a vendor with open payables in
// more than one fails the call (and with it the run) with the reason.
DbCode CreatePayablesCheque(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                            std::vector<DbsResultSet>& results, std::string& error) {
  const DbsValue today = DbsValue::Int(DbDabs_GetDate());
  int64_t currencies = 0;
  DbCode rc = ScalarInt(db,
                        "SELECT count(DISTINCT upper(trim(coalesce(currency, '')))) "
                        "FROM payables WHERE \"vendor#\" = ?1 AND status = 0",
                        {args[1]}, currencies, error);
  if (rc != kDbOk) return rc;
  if (currencies > 1) {
    DbsResultSet name;
    rc = Database_Query(db, "SELECT name FROM vendor WHERE \"vendor#\" = ?1", {args[1]}, name,
                        error);
    if (rc != kDbOk) return rc;
    const std::string vendor = name.rows.empty() || name.rows[0].empty() || name.rows[0][0].IsNull()
                                   ? "Vendor " + std::to_string(args[1].i)
                                   : name.rows[0][0].s;
    error = vendor + " has open payables in more than one currency, and a cheque pays in one. "
            "Put the payables of all but one currency on hold and run the cheque run again.";
    return kDbError;
  }
  int changes = 0;
  rc = Database_Exec(db,
                            "UPDATE payables SET status = 2, \"cheque#\" = ?1, process_date = ?3 "
                            "WHERE \"vendor#\" = ?2 AND status = 0",
                            {args[0], args[1], today}, error, &changes);
  if (rc != kDbOk) return rc;
  int64_t total = 0;
  rc = ScalarInt(db, "SELECT CAST(sum(amount) AS INTEGER) FROM payables WHERE \"cheque#\" = ?1",
                 {args[0]}, total, error);
  if (rc != kDbOk) return rc;
  if (changes == 0 || total <= 0) {
    // Taken back in this transaction, so the payables stay open as they were.
    rc = Database_Exec(db,
                       "UPDATE payables SET status = 0, \"cheque#\" = NULL, process_date = NULL "
                       "WHERE \"cheque#\" = ?1 AND status = 2",
                       {args[0]}, error);
    if (rc != kDbOk) return rc;
    results = {Result(false)};
    return kDbOk;
  }
  rc = Database_Exec(db,
                     "INSERT INTO cheque(\"cheque#\", \"cheque_run#\", \"vendor#\", "
                     "cheque_issued_date, amount, status) VALUES (?1, ?3, ?2, ?4, ?5, 0)",
                     {args[0], args[1], args[2], today, DbsValue::Int(total)}, error);
  if (rc != kDbOk) return rc;
  results = {Result(true)};
  return kDbOk;
}

// update_cheque_status(cheque#, processed_date, status): an issued cheque
// becomes reconciled (1) or void (2) as of the processed date. A cheque
// already reconciled or void is left alone (result 0).
DbCode UpdateChequeStatus(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                          std::vector<DbsResultSet>& results, std::string& error) {
  const int64_t status = args[2].i;
  if (status != kReconciled && status != kVoid) {
    error = "update_cheque_status: status " + std::to_string(status) +
            " is not 1 (reconciled) or 2 (void).";
    return kDbError;
  }
  int changes = 0;
  const DbCode rc = Database_Exec(db,
                                  "UPDATE cheque SET status = ?3, processed_date = ?2 "
                                  "WHERE \"cheque#\" = ?1 AND status = 0",
                                  args, error, &changes);
  if (rc != kDbOk) return rc;
  results = {Result(changes == 1)};
  return kDbOk;
}

// set_cheque_file_created(cheque_run#): marks that the run's formatted
// file was written; result 0 when it already was (the file is made once).
DbCode SetChequeFileCreated(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                            std::vector<DbsResultSet>& results, std::string& error) {
  int changes = 0;
  const DbCode rc = Database_Exec(db,
                                  "UPDATE cheque_run SET file_created = 1 "
                                  "WHERE \"cheque_run#\" = ?1 AND file_created = 0",
                                  args, error, &changes);
  if (rc != kDbOk) return rc;
  results = {Result(changes == 1)};
  return kDbOk;
}

}  // namespace

void RegisterPayablesProcedures() {
  RegisterCustom("set_payable_status",
                 {{'k', "voucher#"}, {'k', "statement#"}, {'k', "status"}}, SetPayableStatus);
  RegisterCustom("create_cheque_run", {{'k', "cheque_run#"}, {'u', "user_id"}}, CreateChequeRun);
  RegisterCustom("create_payables_cheque",
                 {{'k', "cheque#"}, {'k', "vendor#"}, {'k', "cheque_run#"}},
                 CreatePayablesCheque);
  RegisterCustom("update_cheque_status",
                 {{'k', "cheque#"}, {'k', "processed_date"}, {'k', "status"}},
                 UpdateChequeStatus);
  RegisterCustom("set_cheque_file_created", {{'k', "cheque_run#"}}, SetChequeFileCreated);
  // The issued (open) cheques of a calendar year: how many, and their value.
  RegisterSql("get_open_cheque_totals", {{'k', "year"}},
              {{"SELECT count(*) AS open_cheques, "
                "CAST(coalesce(sum(amount), 0) AS INTEGER) AS open_value "
                "FROM cheque_updates WHERE year = ?1 AND status = 0",
                {{"open_cheques", "INTEGER"}, {"open_value", "DEC64"}}}});
}

}  // namespace dbproc
