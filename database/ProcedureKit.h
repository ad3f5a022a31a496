// What the library's stored procedures (Procedures*.cpp) share: checking
// the argument list, running statements into result sets, typing the
// columns a statement computes, and exact money arithmetic in SQL.
//
// Every procedure runs on the caller's connection inside the caller's
// transaction, so it sees the caller's uncommitted rows. Most only read; the
// marking procedures of printing (print_po_update_db,
// print_change_po_update_db, print_claim_update_db) write, and their writes
// stand or fall with the caller's transaction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/Database.h"
#include "host/db/DbEngine.h"

namespace dbproc {

// One argument of a procedure: its form and its name (for the message of a
// wrong call). Forms: 'k' a whole number (key, line, year, day number),
// 'n' a whole number or NULL, 't' a text (a quoted literal; a bare word or
// a number is taken as its text), 'u' a text or NULL.
struct Arg {
  char form;
  const char* name;
};

// The declared type of a column a statement computes (sums, counts, CASE),
// so the session types it as money, a day number or a count.
struct ColumnType {
  const char* name;
  const char* decl;   // "DEC64", "DAYNUM", "INTEGER", "SMALLINT", "TINYINT", "VARCHAR(n)"
};

// One statement of a procedure: ?1, ?2 ... are the arguments in order; its
// rows become one result set.
struct Query {
  std::string sql;
  std::vector<ColumnType> types = {};
};

// Registers `name` as running `queries` in order, one result set each.
void RegisterSql(const char* name, std::vector<Arg> args, std::vector<Query> queries);

// Registers a procedure with a body of its own; the body gets arguments
// already checked against `args` (texts given as numbers turned into text).
void RegisterCustom(const char* name, std::vector<Arg> args, DbsProcedure body);

// Runs `query` with `binds` into `out`, typing its computed columns.
DbCode RunQuery(pwdb::DbConnection& db, const Query& query, const std::vector<DbsValue>& binds,
             DbsResultSet& out, std::string& error);

// SQL for `amount` x `rate` (both millionths) in millionths, rounded half
// away from zero. Exact: the whole units and the fraction of the amount are
// multiplied apart, so nothing leaves 64 bits below 9.2 million x rate.
std::string BaseAmountSql(const std::string& amount, const std::string& rate);

// Text of an amount in millionths with `decimals` (0..6) decimals, rounded
// half away from zero: "1234.50", "-0.05". No symbol, no separators.
std::string MoneyText(int64_t raw, int decimals);

// Appends to every row of `set` a text column `name` holding MoneyText of
// the Int column `amountCol` with the decimals of the Int column
// `decimalsCol` (2 when NULL); a NULL amount stays NULL.
void AddMoneyText(DbsResultSet& set, size_t amountCol, size_t decimalsCol, const char* name);

// The registrations of each subsystem's procedures.
void RegisterPoProcedures();
void RegisterStatementProcedures();
void RegisterVendorProcedures();
void RegisterBudgetProcedures();
void RegisterPrintProcedures();
void RegisterClaimProcedures();
void RegisterApprovalProcedures();
void RegisterVoucherProcedures();
void RegisterPayablesProcedures();
void RegisterProrationProcedures();
void RegisterEdiResponsesProcedures();
void RegisterEdiInvoicesProcedures();
void RegisterOrderFilesProcedures();
void RegisterUndoProcedures();
void RegisterCatalogueProcedures();
void RegisterPatternsProcedures();
void RegisterRenewalsProcedures();
void RegisterAccountsProcedures();
void RegisterYearEndProcedures();
void RegisterHierarchyProcedures();
void RegisterReportsProcedures();

}  // namespace dbproc
