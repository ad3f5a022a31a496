// The database side of a library database: the schema and its versioned
// migrations, the registry of stored procedures, the demo library, and the
// password hashes of the users table.
//
// Everything here works on an engine connection it is handed (DbEngine.h),
// so it is written once for every engine, and reports in the session's
// result codes (kDbOk on success) with the engine's text of the failure in
// `error`: a procedure that meets a write conflict returns kDbBusy or
// kDbLocked, and the caller's retry takes over.
//
// Money columns are declared DEC64 and hold the amount as a 64-bit integer
// count of millionths (12.50 is 12500000), so SQL sums stay exact. Day
// numbers (days since 1900-01-01, 0 .. 65535) are declared DAYNUM, minutes
// of the day MINUTE; both are plain integers in the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/PwDb.h"

namespace pwdb {
class DbConnection;
}

// ---- values and result sets -------------------------------------------------------
// One cell as it travels between a procedure and the session.
struct DbsValue {
  enum class Kind : uint8_t { Null, Int, Real, Text };
  Kind kind = Kind::Null;
  int64_t i = 0;   // Int
  std::string s;   // Text; for Real the decimal text SQLite renders (never a double)

  static DbsValue Null() { return {}; }
  static DbsValue Int(int64_t v) { DbsValue x; x.kind = Kind::Int; x.i = v; return x; }
  static DbsValue Text(std::string_view v) {
    DbsValue x; x.kind = Kind::Text; x.s = v; return x;
  }
  static DbsValue Real(std::string_view decimalText) {
    DbsValue x; x.kind = Kind::Real; x.s = decimalText; return x;
  }
  bool IsNull() const { return kind == Kind::Null; }
};

// A result column: its name and, when it is a plain column of a table, the
// declared type ("VARCHAR(10)", "DEC64") and where it comes from.
struct DbsColumn {
  std::string name;
  std::string declType;      // "" for expressions
  std::string originTable;   // "" for expressions
  std::string originColumn;
};

struct DbsResultSet {
  std::vector<DbsColumn> columns;
  std::vector<std::vector<DbsValue>> rows;
};

// ---- helpers for procedures and the session ------------------------------------------
// Runs one statement of `sql` with `binds` (?1, ?2 ... in order) and collects
// its columns and every row. Int binds as integers, Text and Real as text.
DbCode Database_Query(pwdb::DbConnection& db, std::string_view sql,
                      const std::vector<DbsValue>& binds,
                   DbsResultSet& out, std::string& error);
// Runs one statement that returns no rows (or whose rows are not wanted).
// `changes` (optional) gets the number of rows it changed.
DbCode Database_Exec(pwdb::DbConnection& db, std::string_view sql,
                     const std::vector<DbsValue>& binds,
                  std::string& error, int* changes = nullptr);
// Parses a decimal text ("-12.5", "1e-3", " 7 ") into millionths, rounding
// half away from zero past the sixth decimal. False when it is not a number
// or does not fit 64 bits.
bool Database_ParseDecimal(std::string_view text, int64_t& raw);
// The stored-procedure argument list "12, 'O''Brien', NULL, -1.5" as values:
// whole numbers Int, other numbers Real, quoted strings Text, NULL Null; a
// bare word is taken as its text. False (with `error`) on an unterminated
// literal or a missing comma.
bool Database_ParseArgs(std::string_view params, std::vector<DbsValue>& out,
                        std::string& error);

// ---- stored procedures -------------------------------------------------------------
// A procedure runs on the caller's connection inside the caller's
// transaction (it opens none of its own), returns zero or more result sets,
// and reports failure as a session result code with a text.
using DbsProcedure = std::function<DbCode(pwdb::DbConnection& db, const std::vector<DbsValue>& args,
                                       std::vector<DbsResultSet>& results, std::string& error)>;
// Registers `proc` under `name` (case-insensitive), replacing any earlier
// one. Thread-safe.
void Database_RegisterProcedure(std::string_view name, DbsProcedure proc);
void Database_UnregisterProcedure(std::string_view name);
// False when no procedure of that name is registered.
bool Database_FindProcedure(std::string_view name, DbsProcedure& out);
// Registers every stored procedure of the library (Procedures*.cpp). The
// session calls it once, before the first procedure is looked up.
void Database_RegisterLibraryProcedures();

// ---- schema --------------------------------------------------------------------------
// The version this build creates and upgrades to.
int Database_SchemaVersion();
// Reads the schema version. `isLibrary` is false (and `version` 0) when the
// file has no version table; a file that is not a database at all fails
// with the engine's code and text.
DbCode Database_ReadVersion(pwdb::DbConnection& db, int& version, bool& isLibrary,
                            std::string& error);
// Creates the version table and applies every migration, inside the
// caller's transaction, on an empty database.
// The text of the view po_renewal_options (migrations 2 and 5 make it).
const char* Database_PoRenewalOptionsView();

DbCode Database_CreateSchema(pwdb::DbConnection& db, std::string& error);
// Brings a library database up to date in one transaction of its own
// (BEGIN IMMEDIATE, so two programs upgrading at once apply each migration
// once). `from` gets the version found under the write lock. A database
// that is current, or newer, is left untouched.
DbCode Database_Upgrade(pwdb::DbConnection& db, int& from, std::string& error);
// Migration 3, the view definitions of the lister/editor framework
// (SchemaViews.cpp).
std::vector<std::string> Database_ViewsMigration();
// The statements of migration 2 (SchemaLibrary.cpp): every table and view of
// acquisitions, the reference rows they need and the key generator's rows.
std::vector<std::string> Database_LibraryMigration();
// Migration 4: the definitions of the module's find and list windows.
std::vector<std::string> Database_WindowsMigration();
// Migration 5: the editor of the site's acquisitions parameters
// (SchemaParameters.cpp).
std::vector<std::string> Database_ParametersMigration();
// Migration 6: indexes that let prefix searches of the listers use an index
// (SchemaIndexes.cpp).
std::vector<std::string> Database_SearchIndexesMigration();
// Migration 7: what the host's services keep (usage statistics with their
// class, value and key; the catalogue's duplicate-search index; the
// borrower finder).
std::vector<std::string> Database_HostServicesMigration();
// Migration 8: the PO window, its header and line editors and their views.
std::vector<std::string> Database_PoWindowsMigration();
// Migration 9: the activity windows and the approval list.
std::vector<std::string> Database_ActivityWindowsMigration();
// Migration 10: workslip batches' print locks.
std::vector<std::string> Database_WorkslipsMigration();
// Migration 11: what printed purchase orders read.
std::vector<std::string> Database_PoPrintMigration();
// Migration 12: the claims review.
std::vector<std::string> Database_ClaimsMigration();
// Migration 13: statement approval and the statements-to-approve list.
std::vector<std::string> Database_StatementApprovalMigration();
// Migration 14: extra-charge proration.
std::vector<std::string> Database_ProrationMigration();
// Migration 15: the voucher list and voucher bookkeeping.
std::vector<std::string> Database_VouchersMigration();
// Migration 16: payables, cheque runs and cheque updates.
std::vector<std::string> Database_PayablesMigration();
// Migration 17: order responses read from EDIFACT messages.
std::vector<std::string> Database_OrderResponsesMigration();
// Migration 18: statements made from EDIFACT invoices.
std::vector<std::string> Database_EdifactInvoicesMigration();
// Migration 19: Items and copies made for ordered lines: the catalogue's stand-in tables and keys.
std::vector<std::string> Database_CatalogueMigration();
// Migration 20: Distribution patterns, PO templates and purchase requests: their windows.
std::vector<std::string> Database_PatternsMigration();
// Migration 21: Subscription renewals: their windows.
std::vector<std::string> Database_RenewalsMigration();
// Migration 22: Accounts and budgets: their windows and the creation of next year's allocations.
std::vector<std::string> Database_AccountsMigration();
// Migration 23: The year-end moves: transfer of unspent money and reassignment of attachments.
std::vector<std::string> Database_YearEndMigration();
// Migration 24: Budget hierarchies: the manager and the hierarchy report.
std::vector<std::string> Database_HierarchyMigration();
// Migration 25: The report windows.
std::vector<std::string> Database_ReportsMigration();
// Migration 26 (statements for PostgreSQL only): account_year's key keeps
// budgets without a year (NULL year) on a server too.
std::vector<std::string> Database_BudgetKeyServerMigration();
// Tests only: appends a migration after the built-in ones (and takes the
// last one added away again), so an upgrade of an older file can be shown.
void Database_PushMigrationForTest(std::vector<std::string> statements);
void Database_PopMigrationForTest();

// ---- users ------------------------------------------------------------------------------
// Salted password hash in the self-describing text form stored in
// pw_user.password_hash; false only when the hashing library fails.
bool Database_HashPassword(std::string_view password, std::string& hash);
// Whether `password` matches `hash` (constant time for a given hash). An
// empty `hash` (no such user) does the work of a real check and never
// matches, so a refusal takes as long whether the user exists or not.
bool Database_VerifyPassword(std::string_view hash, std::string_view password);
// How many key derivations Database_VerifyPassword has run in this process
// (a real check or the stand-in for an unknown name): one per call.
uint64_t Database_PasswordDerivations();

// ---- demo library -----------------------------------------------------------------------
// Fills a freshly created database with the demo library (two locations, the
// site parameters, money format, users "admin", "clerk" and "viewer" whose
// passwords are their names, and the acquisitions of fiscal year 2026:
// vendors, currencies, budgets, eight POs, two statements, a voucher), inside
// the caller's transaction.
DbCode Database_LoadDemo(pwdb::DbConnection& db, std::string& error);
