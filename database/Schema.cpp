// The schema of a library database as a list of migrations. A database
// records the last migration applied in pw_schema_version; an upgrade applies
// the missing ones in order, all in one write transaction. Adding a schema
// change is one more entry at the end of kMigrations; entries are never
// edited once released.
#include "database/Database.h"
#include "host/db/DbEngine.h"


#include <mutex>
#include <string>
#include <vector>

namespace {

// ---- migration 1: what the module frame reads at start-up -----------------------------
const char* const kMigration1[] = {
    // Secured program features: one row per feature key of the two programs.
    R"(CREATE TABLE program_feature(
         program_name VARCHAR(8) NOT NULL,
         program_feature VARCHAR(8) NOT NULL,
         privilege_number INTEGER NOT NULL UNIQUE,
         descr VARCHAR(80),
         PRIMARY KEY(program_name, program_feature)))",
    R"(INSERT INTO program_feature(program_name, program_feature, privilege_number, descr) VALUES
      ('acq','buClose',1000,'Use a closed budget'),
      ('acq','buFroze',1001,'Use a frozen budget'),
      ('acq','buOrLim',1002,'Exceed a budget on-order limit'),
      ('acq','buSpLim',1003,'Exceed a budget spent limit'),
      ('acq','coOrLim',1004,'Exceed a contract on-order limit'),
      ('acq','coSpLim',1005,'Exceed a contract spent limit'),
      ('acq','poHead',1006,'Edit PO headers'),
      ('acq','poFind',1007,'Find POs and PO lines'),
      ('acq','poOpen',1008,'Open POs'),
      ('acq','poEdit',1009,'Edit POs'),
      ('acq','poBReq',1010,'Edit PO budget requests'),
      ('acq','poBudSp',1011,'Edit PO budget splits'),
      ('acq','poChApp',1012,'Change approved PO lines'),
      ('acq','poApprv',1013,'Approve PO lines'),
      ('acq','poRec',1014,'Receive items'),
      ('acq','poCan',1015,'Cancel items'),
      ('acq','poBOrd',1016,'Back-order items'),
      ('acq','poRenew',1017,'Renew subscriptions'),
      ('acq','poSetRw',1018,'Set renewal options'),
      ('acq','poUnApp',1019,'Undo approval'),
      ('acq','poUnRC',1020,'Undo receipt or cancellation'),
      ('acq','poUnRD',1021,'Undo receipt or distribution'),
      ('acq','poCCopy',1022,'Create copies'),
      ('acq','poCItem',1023,'Create items'),
      ('acq','poCAtt',1024,'Change copy attributes'),
      ('acq','poDelBi',1025,'Delete bibliographic records with a PO'),
      ('acq','poPross',1026,'Process orders (EDIFACT, BISAC, printing)'),
      ('acq','poDraft',1027,'Print draft POs'),
      ('acq','poUndo',1028,'Undo PO printing'),
      ('acq','poDel',1029,'Delete POs'),
      ('acq','poChLin',1030,'Change PO lines'),
      ('acq','poChQty',1031,'Change PO line quantities'),
      ('acq','stHead',1032,'Edit statement headers'),
      ('acq','stFind',1033,'Find statements'),
      ('acq','stInv',1034,'Invoice items'),
      ('acq','stUndo',1035,'Undo statement activities'),
      ('acq','stApprv',1036,'Approve statements'),
      ('acq','stChApp',1037,'Change approved statements'),
      ('acq','stUnApp',1038,'Undo statement approval'),
      ('acq','vFind',1039,'Find vouchers'),
      ('acq','vPrint',1040,'Print vouchers'),
      ('acq','vVoid',1041,'Void vouchers'),
      ('acq','prEdit',1042,'Edit purchase requests'),
      ('acq','prFind',1043,'Find purchase requests'),
      ('acq','prDel',1044,'Delete purchase requests'),
      ('acq','clmPrt',1045,'Print claims'),
      ('acq','clmRev',1046,'Review claims'),
      ('acq','isbDup',1047,'Override the ISBN duplicate check'),
      ('acq','issDup',1048,'Override the ISSN duplicate check'),
      ('acq','zCheque',1049,'Run cheques and payables reports'),
      ('acqman','acEdit',2000,'Edit accounts'),
      ('acqman','acFind',2001,'Find accounts'),
      ('acqman','acDel',2002,'Delete accounts'),
      ('acqman','apEdit',2003,'Edit acquisitions parameters'),
      ('acqman','reasBud',2004,'Reassign budgets'),
      ('acqman','rptBSR',2005,'Budget status report'),
      ('acqman','rptTB',2006,'Trial balance report'),
      ('acqman','rptTV',2007,'Transaction report'),
      ('acqman','tranUns',2008,'Transfer unspent money'),
      ('acqman','viewBHR',2009,'View budget hierarchies'),
      ('acqman','useBHM',2010,'Use the budget hierarchy manager'),
      ('acqman','modBHM',2011,'Change budget hierarchies'))",

    // Site parameters of acquisitions: exactly one row.
    R"(CREATE TABLE acq_parameter(
         fiscal_year SMALLINT NULL,
         isbn_duplication_index VARCHAR(8) NOT NULL DEFAULT '',
         issn_duplication_index VARCHAR(8) NOT NULL DEFAULT '',
         track_budget_trans BIT NOT NULL DEFAULT 0,
         budget_contract_checks BIT NOT NULL DEFAULT 0,
         save_po_line_approval BIT NOT NULL DEFAULT 0,
         copy_po_line_approval BIT NOT NULL DEFAULT 0,
         renew_po_line_approval BIT NOT NULL DEFAULT 0,
         print_without_labels BIT NOT NULL DEFAULT 0,
         base_currency VARCHAR(4) NOT NULL DEFAULT '',
         print_workslip TINYINT NOT NULL DEFAULT 0,
         multi_location_edi TINYINT NOT NULL DEFAULT 0,
         one_tag_only TINYINT NOT NULL DEFAULT 0))",
    "INSERT INTO acq_parameter DEFAULT VALUES",

    // Money format of the library's base currency (one row when set up).
    "CREATE TABLE matham(decimal_digits INTEGER NOT NULL, currency_symbol VARCHAR(4) NOT NULL)",

    // Key string types of columns (barcodes and the like).
    R"(CREATE TABLE pw_column(
         table_name VARCHAR(30) NOT NULL,
         column_name VARCHAR(30) NOT NULL,
         key_string_type VARCHAR(8),
         PRIMARY KEY(table_name, column_name)))",

    R"(CREATE TABLE location(
         location VARCHAR(10) NOT NULL PRIMARY KEY,
         name VARCHAR(60) NOT NULL DEFAULT '',
         address_position BIT NOT NULL DEFAULT 0,
         address1 VARCHAR(60),
         address2 VARCHAR(60),
         address3 VARCHAR(60),
         city VARCHAR(40),
         state VARCHAR(40),
         postal_code VARCHAR(12),
         country VARCHAR(40),
         phone VARCHAR(24)))",

    R"(CREATE TABLE item(
         "item#" INTEGER NOT NULL PRIMARY KEY,
         "bib#" INTEGER,
         "copy#" INTEGER,
         ibarcode VARCHAR(14),
         prefix_inventory_num VARCHAR(6),
         location VARCHAR(10) REFERENCES location(location),
         collection VARCHAR(10),
         call VARCHAR(60),
         call_reconst VARCHAR(60),
         itype VARCHAR(10)))",
    "CREATE INDEX item_bib ON item(\"bib#\", \"copy#\")",
    "CREATE INDEX item_barcode ON item(ibarcode)",

    R"(CREATE TABLE marc_usage(
         module TINYINT NOT NULL,
         marc_ord SMALLINT NOT NULL,
         tag VARCHAR(3) NOT NULL,
         subfields VARCHAR(20) NOT NULL DEFAULT '',
         descr VARCHAR(40),
         PRIMARY KEY(module, marc_ord)))",

    R"(CREATE TABLE pw_marc_map(
         field VARCHAR(20) NOT NULL PRIMARY KEY,
         tag VARCHAR(3) NOT NULL,
         subfields VARCHAR(20) NOT NULL DEFAULT ''))",
    R"(INSERT INTO pw_marc_map(field, tag, subfields) VALUES
      ('isbn','020','a'), ('issn','022','a'), ('lccn','010','a'),
      ('author','100','a'), ('title','245','ab'), ('edition','250','a'),
      ('publisher','260','b'), ('pub_place','260','a'), ('pub_date','260','c'),
      ('series','490','a'))",

    // Budget restrictions: an account with rows here is open only to the
    // users listed. The view is what the module reads; user_id and
    // user_name both carry the user's log-in name.
    R"(CREATE TABLE account_restriction(
         account VARCHAR(8) NOT NULL,
         user_name VARCHAR(31) NOT NULL,
         PRIMARY KEY(account, user_name)))",
    R"(CREATE VIEW account_user_restricted AS
         SELECT account, user_name AS user_id, user_name FROM account_restriction)",

    R"(CREATE TABLE pw_user(
         user_name VARCHAR(31) NOT NULL PRIMARY KEY,
         password_hash TEXT NOT NULL,
         full_name VARCHAR(60) NOT NULL DEFAULT '',
         active BIT NOT NULL DEFAULT 1))",
    R"(CREATE TABLE pw_user_privilege(
         user_name VARCHAR(31) NOT NULL REFERENCES pw_user(user_name) ON DELETE CASCADE,
         privilege_number INTEGER NOT NULL,
         PRIMARY KEY(user_name, privilege_number)))",

    // Key generator: the next key to hand out per key name.
    "CREATE TABLE pw_key(key_table VARCHAR(40) NOT NULL PRIMARY KEY, next_key INTEGER NOT NULL)",

    R"(CREATE TABLE statistics_event(
         "event#" INTEGER PRIMARY KEY AUTOINCREMENT,
         stat_code VARCHAR(10) NOT NULL,
         user_name VARCHAR(31) NOT NULL DEFAULT '',
         event_date DAYNUM NOT NULL,
         event_time MINUTE NOT NULL,
         location VARCHAR(10) NOT NULL DEFAULT ''))",

    "CREATE TABLE pw_site_feature(feature VARCHAR(20) NOT NULL PRIMARY KEY)",
};

struct Migration {
  int version;
  std::vector<std::string> statements;
  // Run after `statements` on PostgreSQL only, where the engines differ in
  // what a schema can say.
  std::vector<std::string> postgresqlOnly = {};
};

template <size_t N>
Migration MakeMigration(int version, const char* const (&statements)[N]) {
  return Migration{version, std::vector<std::string>(statements, statements + N)};
}

// Guarded by MigrationsMutex(): tests append to the list.
std::vector<Migration>& Migrations() {
  static std::vector<Migration> list = {
      MakeMigration(1, kMigration1),
      Migration{2, Database_LibraryMigration()},
      Migration{3, Database_ViewsMigration()},
      Migration{4, Database_WindowsMigration()},
      Migration{5, Database_ParametersMigration()},
      Migration{6, Database_SearchIndexesMigration()},
      Migration{7, Database_HostServicesMigration()},
      Migration{8, Database_PoWindowsMigration()},
      Migration{9, Database_ActivityWindowsMigration()},
      Migration{10, Database_WorkslipsMigration()},
      Migration{11, Database_PoPrintMigration()},
      Migration{12, Database_ClaimsMigration()},
      Migration{13, Database_StatementApprovalMigration()},
      Migration{14, Database_ProrationMigration()},
      Migration{15, Database_VouchersMigration()},
      Migration{16, Database_PayablesMigration()},
      Migration{17, Database_OrderResponsesMigration()},
      Migration{18, Database_EdifactInvoicesMigration()},
      Migration{19, Database_CatalogueMigration()},
      Migration{20, Database_PatternsMigration()},
      Migration{21, Database_RenewalsMigration()},
      Migration{22, Database_AccountsMigration()},
      Migration{23, Database_YearEndMigration()},
      Migration{24, Database_HierarchyMigration()},
      Migration{25, Database_ReportsMigration()},
      Migration{26, {}, Database_BudgetKeyServerMigration()},
  };
  return list;
}

std::mutex& MigrationsMutex() {
  static std::mutex m;
  return m;
}

std::vector<Migration> MigrationsSnapshot() {
  std::lock_guard<std::mutex> lock(MigrationsMutex());
  return Migrations();
}

// Applies the migrations after `from` in the caller's transaction.
DbCode ApplyMigrations(pwdb::DbConnection& db, int from, std::string& error) {
  for (const Migration& m : MigrationsSnapshot()) {
    if (m.version <= from) continue;
    std::vector<const std::string*> run;
    for (const std::string& sql : m.statements) run.push_back(&sql);
    if (db.EngineName() == "postgresql")
      for (const std::string& sql : m.postgresqlOnly) run.push_back(&sql);
    for (const std::string* sql : run) {
      DbCode rc = Database_Exec(db, *sql, {}, error);
      if (rc != kDbOk) {
        error = "Migration " + std::to_string(m.version) + ": " + error;
        return rc;
      }
    }
    DbCode rc = Database_Exec(db, "UPDATE pw_schema_version SET version=?",
                           {DbsValue::Int(m.version)}, error);
    if (rc != kDbOk) return rc;
  }
  return kDbOk;
}

}  // namespace

int Database_SchemaVersion() {
  std::lock_guard<std::mutex> lock(MigrationsMutex());
  return Migrations().empty() ? 0 : Migrations().back().version;
}

DbCode Database_ReadVersion(pwdb::DbConnection& db, int& version, bool& isLibrary,
                            std::string& error) {
  version = 0;
  isLibrary = false;
  bool exists = false;
  std::vector<pwdb::DbTableColumn> columns;
  DbCode rc = db.DescribeTable("pw_schema_version", exists, columns);
  if (rc != kDbOk) {
    error = db.ErrorText();
    return rc;
  }
  if (!exists) return kDbOk;
  DbsResultSet rs;
  rc = Database_Query(db, "SELECT max(version) FROM pw_schema_version", {}, rs, error);
  if (rc != kDbOk) return rc;
  isLibrary = true;
  if (!rs.rows.empty() && rs.rows[0][0].kind == DbsValue::Kind::Int)
    version = static_cast<int>(rs.rows[0][0].i);
  return kDbOk;
}

DbCode Database_CreateSchema(pwdb::DbConnection& db, std::string& error) {
  DbCode rc = db.LockSchema();
  if (rc == kDbOk) rc = db.InstallSupport();
  if (rc != kDbOk) {
    error = db.ErrorText();
    return rc;
  }
  rc = Database_Exec(db, "CREATE TABLE pw_schema_version(version INTEGER NOT NULL)", {},
                         error);
  if (rc == kDbOk)
    rc = Database_Exec(db, "INSERT INTO pw_schema_version(version) VALUES(0)", {}, error);
  if (rc == kDbOk) rc = ApplyMigrations(db, 0, error);
  return rc;
}

DbCode Database_Upgrade(pwdb::DbConnection& db, int& from, std::string& error) {
  from = 0;
  DbCode rc = db.Begin();
  if (rc != kDbOk) {
    error = db.ErrorText();
    return rc;
  }
  // The version is read under the schema lock: a second workstation that
  // upgrades at the same moment waits here and then finds nothing to do.
  if ((rc = db.LockSchema()) != kDbOk) error = db.ErrorText();
  bool isLibrary = false;
  if (rc == kDbOk) rc = Database_ReadVersion(db, from, isLibrary, error);
  if (rc == kDbOk && !isLibrary) {
    error = "Not a library database.";
    rc = kDbError;
  }
  if (rc == kDbOk && from < Database_SchemaVersion()) {
    if ((rc = db.InstallSupport()) != kDbOk) error = db.ErrorText();
    if (rc == kDbOk) rc = ApplyMigrations(db, from, error);
  }
  if (rc == kDbOk && (rc = db.Commit()) != kDbOk) error = db.ErrorText();
  if (rc != kDbOk && db.InTransaction()) db.Rollback();
  return rc;
}

void Database_PushMigrationForTest(std::vector<std::string> statements) {
  std::lock_guard<std::mutex> lock(MigrationsMutex());
  int next = Migrations().empty() ? 1 : Migrations().back().version + 1;
  Migrations().push_back(Migration{next, std::move(statements)});
}

void Database_PopMigrationForTest() {
  std::lock_guard<std::mutex> lock(MigrationsMutex());
  if (Migrations().size() > 1) Migrations().pop_back();
}
