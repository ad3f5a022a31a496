// The library schema and the demo library: every table and view the module
// names exists and reads, computed view columns are typed, upgrades keep
// data and leave a current file alone, and the demo's money adds up.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "database/Database.h"
#include "host/db/DbEngine.h"
#include "host/db/DbAdmin.h"
#include "host/sys/Bucket.h"
#include "TempDb.h"

using testdb::Session;
using testdb::TempDb;

namespace {

// The tables and views the module spells (its name constants, its query
// library and the Parts that own the tables). pw_column, a view to the
// module, is a table here.
const char* const kTables[] = {
    "account", "account_restriction", "account_year", "account_year_create_options",
    "acq_parameter", "address", "bib_control", "borrower", "budget_hierarchy",
    "budget_transaction", "budget_transaction_detail", "cheque", "cheque_run", "collection",
    "copy", "currency", "edifact_exception", "edifact_interchange", "edifact_message",
    "edifact_process_status", "edifact_segment", "extra_charge_type", "import_acq", "item",
    "lister_column", "location", "marc_usage", "matham", "message_code", "payables", "po",
    "po_activity_type", "po_line", "po_line_item", "po_line_item_budget",
    "po_line_item_budget_amount", "po_line_item_budget_pattern", "po_line_item_history",
    "po_line_item_pattern", "po_line_pattern", "po_template", "pr_category", "pr_distribution",
    "program_feature", "pw_column", "pw_key", "reassign_budget_options", "statement",
    "statement_budget", "statement_extra_charge", "statement_line", "statement_linker",
    "subscription_period", "transfer_unspent_options", "vendor", "vendor_address",
    "vendor_contract", "voucher", "workslip_batch", "workslip_batch_po_line_item",
};
const char* const kViews[] = {
    "account_user_restricted", "approval_po_line_display", "approve_statement", "budget",
    "budget_code", "cheque_details", "cheque_update_view", "cheque_updates",
    "copy_with_vendor", "credit_memo", "credit_with_invoices", "edifact_ordrsp_line",
    "edifact_ordrsp_message", "invoice", "invoice_with_credits", "open_os_payables_acct_ref",
    "open_os_payables_budget", "open_os_payables_vendor", "outstanding_payables",
    "outstanding_payables_report", "po_line_distribution", "po_line_distribution_pat",
    "po_line_item_with_borrower", "po_renewal_candidates", "po_renewal_categories",
    "po_renewal_contracts", "po_renewal_options", "po_renewed_titles", "po_request_alert",
    "po_template_with_vendor", "po_with_vendor", "poliba_bandaid", "vendor_contract_extra",
    "vendor_contract_with_vendor", "voucher_list", "workslip_rcpt_format",
    "workslip_std_format",
};

// A library database opened directly, outside any session.
class File {
 public:
  explicit File(const std::string& path) {
    std::string error;
    EXPECT_EQ(pwdb::DbEngine_Open(path, false, db_, error), kDbOk) << error;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  DbsResultSet Query(const std::string& sql) const {
    DbsResultSet rs;
    std::string error;
    EXPECT_EQ(Database_Query(*db_, sql, {}, rs, error), kDbOk) << error << "\n" << sql;
    return rs;
  }
  int64_t Int(const std::string& sql) const {
    DbsResultSet rs = Query(sql);
    return rs.rows.empty() ? -1 : rs.rows[0][0].i;
  }
  bool Exec(const std::string& sql) const {
    std::string error;
    DbCode rc = Database_Exec(*db_, sql, {}, error);
    EXPECT_EQ(rc, kDbOk) << error << "\n" << sql;
    return rc == kDbOk;
  }
  bool IsServer() const { return db_->IsServer(); }
  // The columns of `table` in declared order; none when there is no such table.
  std::vector<pwdb::DbTableColumn> Columns(const std::string& table) const {
    bool exists = false;
    std::vector<pwdb::DbTableColumn> columns;
    EXPECT_EQ(db_->DescribeTable(table, exists, columns), kDbOk) << db_->ErrorText();
    return columns;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    EXPECT_EQ(db_->TableNames(names), kDbOk) << db_->ErrorText();
    return names;
  }
  // How many tables (`kind` "table") or views ("view") of this name there are.
  int64_t CountOf(const std::string& kind, const std::string& name) const {
    if (!IsServer())
      return Int("SELECT count(*) FROM sqlite_schema WHERE type='" + kind + "' AND name='" + name +
                 "'");
    return Int(std::string("SELECT count(*) FROM information_schema.tables WHERE "
                           "table_schema = current_schema() AND table_type = '") +
               (kind == "table" ? "BASE TABLE" : "VIEW") + "' AND table_name = '" + name + "'");
  }
  // The schema's stamp, every table's and view's columns and every table's
  // row count, to compare before and after.
  std::string Snapshot() const {
    std::ostringstream out;
    int64_t stamp = 0;
    EXPECT_EQ(db_->SchemaStamp(stamp), kDbOk) << db_->ErrorText();
    out << "stamp " << stamp << "\n";
    for (const std::string& name : Names()) {
      out << name << ":";
      for (const auto& c : Columns(name)) out << " " << c.name << " " << c.decl << " " << c.pk;
      out << "\n";
      if (CountOf("table", name) == 1)
        out << "  rows " << Int("SELECT count(*) FROM \"" + name + "\"") << "\n";
    }
    return out.str();
  }

 private:
  std::unique_ptr<pwdb::DbConnection> db_;
};

// Text of a cell for messages.
std::string Text(const DbsValue& v) {
  return v.kind == DbsValue::Kind::Int ? std::to_string(v.i) : v.s;
}

}  // namespace

TEST(LibrarySchema, EveryNamedTableAndViewExistsAndEveryViewReads) {
  TempDb tmp;
  File file(tmp.path());
  for (const char* name : kTables) EXPECT_EQ(file.CountOf("table", name), 1) << name;
  for (const char* name : kViews) EXPECT_EQ(file.CountOf("view", name), 1) << name;
  // Every view of the database, named above or not, reads to its end.
  for (const std::string& name : file.Names())
    if (file.CountOf("view", name) == 1) file.Query("SELECT * FROM \"" + name + "\"");
}

TEST(LibrarySchema, TablesHaveTheColumnsTheModuleUses) {
  struct Case { const char* table; const char* columns; };
  const Case cases[] = {
      {"po", "po#,po_number,vendor#,vendor_contract,currency,spent_event,prepaid_statement#,"
             "item_creation,attach_barcode,renewal_type,renew_po#,subscription_period,location,"
             "bill_to_address,ship_to_address,drop_ship,creation_date,last_update_date,"
             "completion_date"},
      {"po_line", "po#,line,bib#,media_type,vendor_product_id,vendor_title_number,unit_price,"
                  "vendor_discount,last_item,call_number,next_renewal_date,renew_line,renew_id,"
                  "order_note,change_order_note,internal_note,workslip_note,last_update_date,"
                  "completion_date,pr#,title,author,isbn,issn,ismn,ean_gtin,edition,publisher,"
                  "publication_date,publication_place"},
      {"po_line_item", "po#,line,item,location,collection,itype,call_number,budget,budget_split,"
                       "order_date,printed_date,approve_date,receive_date,invoice_date,"
                       "cancel_date,response_date,next_claim_date,renew_activity_date,"
                       "renew_activity_type,renew_item,copy#,item#,borrower#,ship_to_address,"
                       "begin_date,end_date,po_activity_type"},
      {"po_line_item_budget_amount", "po#,line,item,budget,amount,exchange_rate,spent,"
                                     "extra_charge_type,statement#,statement_line,"
                                     "statement_line_type,voucher#"},
      {"po_line_item_history", "po#,line,item,po_activity_type,transaction_type,date,time,"
                               "voucher#,statement#,extra_charge_type,amount,exchange_rate,"
                               "next_claim_date,change_order_note,internal_note"},
      {"budget", "budget,account,year,amount,on_order,spent,on_order_limit,"
                 "on_order_limit_percent,spent_limit,spent_limit_percent,status"},
      {"budget_transaction_detail", "budget_transaction#,budget,amount_type,trans_amount,"
                                    "prior_amount,item,extra_charge_type,po#,line,statement#"},
      {"budget_transaction", "budget_transaction#,transaction_source,date,time,user_id,note"},
      {"vendor_contract_extra", "vendor#,vendor_contract,amount,on_order,spent,on_order_limit,"
                                "on_order_limit_percent,spent_limit,spent_limit_percent"},
      {"vendor", "vendor#,name,ean_gln,san,san_suffix,cust_number,enhanced_services,"
                 "first_claim_delay,claim_interval,max_claims,vendor_note,currency"},
      {"vendor_address", "vendor#,descr,address1,address2,address3,address4,vouchers,orders"},
      {"address", "location,address_code,bill_to,ship_to,default_bill_to,default_ship_to,san,"
                  "ean_gln,name"},
      {"statement", "statement#,statement_number,statement_type,vendor#,amount,amount_remaining,"
                    "currency,exchange_rate,approve_date,note,statement_date,creation_date,"
                    "last_update_date,pst,gst"},
      {"statement_extra_charge", "statement#,extra_charge_type,amount,budget,spent,voucher#"},
      {"statement_budget", "statement#,budget,amount,spent,voucher#"},
      {"pr_distribution", "quantity,location,collection,itype,budget,call_number,ship_to"},
      {"item", "item#,ibarcode,bib#,location,collection,call,call_type,source,price,"
               "creation_date,itype,item_status,copy#,prefix_inventory_num,inventory_num,"
               "delete_flag"},
      {"copy", "copy#,bib#,media_type,acq_status,vendor#,workslip_note,item_creation,itype,"
               "location,collection,call,vendor_title_number,renewal_date,first_claim_delay,"
               "claim_interval,max_claims,acq_controlled"},
      {"edifact_interchange", "edifact#,source,location,vendor#,una,character_set,"
                              "control_reference,message_count,prep_date,prep_time,"
                              "creation_date,creation_time,file_name,file_size"},
      {"edifact_message", "edifact#,message#,message_type,message_code,message_number,"
                          "message_location,message_vendor#,message_date,line_count,amount,"
                          "currency"},
      {"edifact_segment", "edifact#,segment#,message#,short_segment,long_segment"},
      {"edifact_exception", "exception_date,exception_time,process,warning_or_error,descr,"
                            "edifact#,segment#,message#"},
      {"edifact_ordrsp_line", "edifact#,message#,segment#,po_number,line,action_code,"
                              "report_code,order_qty,dispatch_qty,qty_due,price,adj_price,date,"
                              "substitute_item,substitute_code"},
      {"cheque_details", "cheque#,cheque_issued_date,vendor#,vendor_name,invoice_currency,"
                         "statement#,voucher#,statement_number,amount"},
      {"outstanding_payables", "voucher#,statement#,status,status_descr,vendor#,vendor_name,"
                               "gst_self_assessed,pst_self_assessed,currency"},
      {"workslip_std_format", "bib#,call_number,edition,isbn,ismn,issn,unit_price,publisher,"
                              "publication_date,publication_place,title,workslip_note,"
                              "num_requests,location,collection,percentage"},
      {"po_renewal_candidates", "renew_qty,discontinue_qty,unit_price,extended_price"},
      {"poliba_bandaid", "statement#,statement_line,statement_line_type,extra_charge_type,amount,"
                         "exchange_rate,spent_tinyint"},
  };
  TempDb tmp;
  File file(tmp.path());
  for (const Case& c : cases) {
    std::set<std::string> have;
    for (const auto& column : file.Columns(c.table)) have.insert(column.name);
    std::istringstream wanted(c.columns);
    for (std::string column; std::getline(wanted, column, ',');)
      EXPECT_TRUE(have.count(column)) << c.table << "." << column;
  }
}

// A computed view column has no declared type; the host then takes the type
// that the tables declare for its name, which must be one.
TEST(LibrarySchema, ComputedViewColumnsTakeOneTypeByName) {
  TempDb tmp;
  File file(tmp.path());
  std::map<std::string, std::set<std::string>> typesByName;
  std::vector<std::string> untyped;   // "view.column"
  for (const std::string& name : file.Names()) {
    for (const auto& column : file.Columns(name)) {
      if (!column.decl.empty()) {
        typesByName[column.name].insert(column.decl);
      } else {
        untyped.push_back(name + "." + column.name);
      }
    }
  }
  // Counts and texts: the values type them (32-bit, text), as they should.
  const std::set<std::string> valueTyped = {"num_requests", "status_descr"};
  for (const std::string& viewColumn : untyped) {
    const std::string column = viewColumn.substr(viewColumn.find('.') + 1);
    if (valueTyped.count(column)) continue;
    EXPECT_EQ(typesByName[column].size(), 1u) << viewColumn;
  }
}

TEST(LibrarySchema, UpgradingACurrentFileChangesNothing) {
  TempDb tmp;
  const std::string before = File(tmp.path()).Snapshot();
  int from = 0;
  DbMsg msg;
  ASSERT_EQ(DbAdmin_UpgradeDatabase(tmp.path(), from, msg), kDbOk) << msg.text;
  EXPECT_EQ(from, DbAdmin_SchemaVersion());
  {
    Session s;   // the log-in brings files up to date as well
    ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  }
  EXPECT_EQ(File(tmp.path()).Snapshot(), before);
}

TEST(LibrarySchema, MigrationOneFileKeepsItsRowsWhenUpgraded) {
  TempDb tmp(false);
  // A file of migration 1, made in a child process so that the migration
  // list this process keeps is never cut short.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    while (Database_SchemaVersion() > 1) Database_PopMigrationForTest();
    DbMsg msg;
    bool ok = DbAdmin_CreateDatabase(tmp.path(), false, msg) == kDbOk &&
              DbAdmin_CreateUser(tmp.path(), "librarian", "shelves", "Head Librarian", msg) ==
                  kDbOk &&
              DbAdmin_Grant(tmp.path(), "librarian", {"poFind", "acEdit"}, true, msg) == kDbOk;
    if (!ok) fprintf(stderr, "migration 1 database: %s\n", msg.text.c_str());
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  {
    File v1(tmp.path());
    ASSERT_EQ(v1.Int("SELECT max(version) FROM pw_schema_version"), 1);
    ASSERT_TRUE(v1.Exec("INSERT INTO location(location, name) VALUES('EAST', 'East Branch')"));
    ASSERT_TRUE(v1.Exec("INSERT INTO item(\"item#\", ibarcode, location) "
                        "VALUES(41, '31234000009999', 'EAST')"));
    ASSERT_TRUE(v1.Exec("UPDATE acq_parameter SET fiscal_year = 2025, base_currency = 'CAD'"));
    ASSERT_TRUE(v1.Exec("INSERT INTO pw_key(key_table, next_key) VALUES('po', 500)"));
  }

  int from = 0;
  DbMsg msg;
  ASSERT_EQ(DbAdmin_UpgradeDatabase(tmp.path(), from, msg), kDbOk) << msg.text;
  EXPECT_EQ(from, 1);
  File file(tmp.path());
  EXPECT_EQ(file.Int("SELECT max(version) FROM pw_schema_version"), DbAdmin_SchemaVersion());
  struct Case { const char* sql; int64_t expected; };
  const Case cases[] = {
      {"SELECT count(*) FROM pw_user WHERE user_name='librarian'", 1},
      {"SELECT count(*) FROM pw_user_privilege WHERE user_name='librarian'", 2},
      {"SELECT count(*) FROM location WHERE location='EAST'", 1},
      {"SELECT delete_flag FROM item WHERE \"item#\"=41", 0},         // new column, default
      {"SELECT count(*) FROM item WHERE price IS NULL", 1},
      {"SELECT fiscal_year FROM acq_parameter", 2025},
      {"SELECT price_upd_method FROM acq_parameter", 0},
      {"SELECT next_key FROM pw_key WHERE key_table='po'", 500},     // kept
      {"SELECT next_key FROM pw_key WHERE key_table='item'", 42},    // after the items in use
      {"SELECT next_key FROM pw_key WHERE key_table='voucher'", 1},
      {"SELECT count(*) FROM po_activity_type", 13},   // with the claim
  };
  for (const Case& c : cases) EXPECT_EQ(file.Int(c.sql), c.expected) << c.sql;
  EXPECT_EQ(file.Query("SELECT base_currency FROM acq_parameter").rows[0][0].s, "CAD");
  Session s("librarian", "shelves");
  EXPECT_EQ(s.code, kDbOk) << s.msg.text;
}

// Budgets and contracts carry the sums of their money rows, each converted
// to base currency exactly: amount x exchange_rate / 10^6.
TEST(DemoLibrary, BudgetAndContractTotalsAreTheSumsOfTheirMoney) {
  TempDb tmp;
  File file(tmp.path());
  struct Totals { int64_t onOrder = 0; int64_t spent = 0; };
  auto add = [](std::map<std::string, Totals>& into, const std::vector<DbsValue>& row) {
    // row: key, amount, exchange_rate, spent
    const __int128 product = static_cast<__int128>(row[1].i) * row[2].i;
    EXPECT_EQ(product % 1000000, 0) << Text(row[0]) << " " << row[1].i << " x " << row[2].i;
    const int64_t base = static_cast<int64_t>(product / 1000000);
    (row[3].i ? into[row[0].s].spent : into[row[0].s].onOrder) += base;
  };
  std::map<std::string, Totals> budgets;
  for (const auto& row : file.Query(
           "SELECT budget, amount, exchange_rate, spent FROM po_line_item_budget_amount "
           "UNION ALL SELECT budget, amount, exchange_rate, spent FROM statement_extra_charge "
           "WHERE budget IS NOT NULL "
           "UNION ALL SELECT budget, amount, exchange_rate, spent FROM statement_budget").rows)
    add(budgets, row);
  std::map<std::string, Totals> contracts;
  for (const auto& row : file.Query(
           "SELECT p.\"vendor#\" || '/' || p.vendor_contract, m.amount, m.exchange_rate, m.spent "
           "FROM po_line_item_budget_amount m JOIN po p ON p.\"po#\" = m.\"po#\" "
           "WHERE p.vendor_contract IS NOT NULL").rows)
    add(contracts, row);

  int moving = 0;
  for (const auto& row : file.Query("SELECT budget, on_order, spent FROM budget").rows) {
    EXPECT_EQ(row[1].i, budgets[row[0].s].onOrder) << row[0].s << " on order";
    EXPECT_EQ(row[2].i, budgets[row[0].s].spent) << row[0].s << " spent";
    moving += row[1].i != 0 || row[2].i != 0;
    budgets.erase(row[0].s);
  }
  EXPECT_GE(moving, 8);
  EXPECT_TRUE(budgets.empty()) << "money on a budget that does not exist: "
                              << (budgets.empty() ? "" : budgets.begin()->first);
  for (const auto& row : file.Query("SELECT \"vendor#\" || '/' || vendor_contract, on_order, "
                                    "spent FROM vendor_contract").rows) {
    EXPECT_EQ(row[1].i, contracts[row[0].s].onOrder) << row[0].s << " on order";
    EXPECT_EQ(row[2].i, contracts[row[0].s].spent) << row[0].s << " spent";
  }
}

TEST(DemoLibrary, HasALineItemInEveryState) {
  struct Case { const char* state; const char* where; };
  const Case cases[] = {
      {"new", "approve_date IS NULL AND order_date IS NULL AND printed_date IS NULL AND "
              "receive_date IS NULL AND invoice_date IS NULL AND cancel_date IS NULL AND "
              "renew_activity_date IS NULL"},
      {"approved", "approve_date IS NOT NULL AND order_date IS NULL"},
      {"ordered", "order_date IS NOT NULL AND receive_date IS NULL AND cancel_date IS NULL"},
      {"back-ordered", "order_date IS NOT NULL AND receive_date IS NULL AND "
                       "printed_date IS NULL AND next_claim_date IS NOT NULL"},
      {"received", "receive_date IS NOT NULL AND invoice_date IS NULL"},
      {"invoiced", "invoice_date IS NOT NULL AND renew_activity_date IS NULL"},
      {"cancelled", "cancel_date IS NOT NULL"},
      {"renewed", "renew_activity_date IS NOT NULL AND renew_activity_type = 'renew'"},
      {"discontinued", "renew_activity_date IS NOT NULL AND renew_activity_type = 'discont'"},
      {"created by renewal", "renew_item IS NOT NULL"},
  };
  TempDb tmp;
  File file(tmp.path());
  for (const Case& c : cases)
    EXPECT_GE(file.Int(std::string("SELECT count(*) FROM po_line_item WHERE ") + c.where), 1)
        << c.state;
}

// Rules the module enforces when it writes; the demo was written by hand.
TEST(DemoLibrary, KeepsTheRulesTheModuleEnforces) {
  struct Case { const char* rule; const char* violations; };
  const Case cases[] = {
      // A server checks every foreign key as it is written.
      {"foreign keys hold", testlib::ByEngine("SELECT count(*) FROM pragma_foreign_key_check",
                                              "SELECT 0")},
      {"split percentages add up to 100",
       "SELECT count(*) FROM (SELECT 1 FROM po_line_item_budget GROUP BY \"po#\", line, item "
       "HAVING sum(percentage) <> 100) s"},
      {"an item has a budget or a split, not both",
       "SELECT count(*) FROM po_line_item i WHERE (i.budget IS NOT NULL) = "
       "((i.budget_split IS NOT NULL) OR EXISTS (SELECT 1 FROM po_line_item_budget b "
       "WHERE b.\"po#\" = i.\"po#\" AND b.line = i.line AND b.item = i.item))"},
      {"every budget named exists",
       "SELECT count(*) FROM (SELECT budget FROM po_line_item WHERE budget IS NOT NULL "
       "UNION SELECT budget FROM po_line_item_budget UNION SELECT budget FROM "
       "po_line_item_budget_amount) u WHERE u.budget NOT IN (SELECT budget FROM budget)"},
      {"last_item is the highest item of its line",
       "SELECT count(*) FROM po_line pl WHERE last_item <> (SELECT max(item) FROM po_line_item i "
       "WHERE i.\"po#\" = pl.\"po#\" AND i.line = pl.line)"},
      {"POs bill to and ship to addresses of their location flagged for it",
       "SELECT count(*) FROM po p WHERE NOT EXISTS (SELECT 1 FROM address a WHERE "
       "a.location = p.location AND a.address_code = p.bill_to_address AND a.bill_to = 1) OR "
       "NOT EXISTS (SELECT 1 FROM address a WHERE a.location = p.location AND "
       "a.address_code = p.ship_to_address AND a.ship_to = 1)"},
      {"each location has one default billing and one default shipping address",
       "SELECT count(*) FROM location l WHERE (SELECT sum(default_bill_to) FROM address a "
       "WHERE a.location = l.location AND a.bill_to = 1) IS NOT 1 OR (SELECT "
       "sum(default_ship_to) FROM address a WHERE a.location = l.location AND a.ship_to = 1) "
       "IS NOT 1"},
      {"cancelled items carry no money, others do",
       "SELECT count(*) FROM po_line_item i WHERE (i.cancel_date IS NULL) <> EXISTS (SELECT 1 "
       "FROM po_line_item_budget_amount m WHERE m.\"po#\" = i.\"po#\" AND m.line = i.line "
       "AND m.item = i.item)"},
      {"every activity date has its history row",
       "SELECT count(*) FROM po_line_item i WHERE (i.approve_date IS NOT NULL AND NOT EXISTS "
       "(SELECT 1 FROM po_line_item_history h WHERE h.\"po#\" = i.\"po#\" AND h.line = i.line "
       "AND h.item = i.item AND h.po_activity_type = 'approve' AND h.date = i.approve_date)) "
       "OR (i.receive_date IS NOT NULL AND NOT EXISTS (SELECT 1 FROM po_line_item_history h "
       "WHERE h.\"po#\" = i.\"po#\" AND h.line = i.line AND h.item = i.item AND "
       "h.po_activity_type = 'receive' AND h.date = i.receive_date))"},
      {"an approved statement balances",
       "SELECT count(*) FROM statement s WHERE s.approve_date IS NOT NULL AND s.amount <> "
       "(SELECT coalesce(sum(amount), 0) FROM po_line_item_budget_amount m WHERE "
       "m.\"statement#\" = s.\"statement#\") + (SELECT coalesce(sum(amount), 0) FROM "
       "statement_extra_charge e WHERE e.\"statement#\" = s.\"statement#\")"},
  };
  TempDb tmp;
  File file(tmp.path());
  for (const Case& c : cases) EXPECT_EQ(file.Int(c.violations), 0) << c.rule;
}

// Fund control reads budgets and contracts from views and writes the rows
// back to their tables, found by the tables' keys.
TEST(DemoLibrary, BudgetsAndContractsReadFromViewsSaveToTheirTables) {
  struct Case { const char* view; const char* where; const char* table; const char* check; };
  const Case cases[] = {
      {"budget", "budget='REF.2026'", "account_year",
       "SELECT on_order FROM account_year WHERE account='REF' AND year=2026"},
      {"vendor_contract_extra", "vendor_contract='STAND26'", "vendor_contract",
       "SELECT on_order FROM vendor_contract WHERE vendor_contract='STAND26'"},
  };
  TempDb tmp;
  Session s;
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  for (const Case& c : cases) {
    DbMsg msg;
    BucketHold rows;
    ASSERT_EQ(_DbLoadQuery(s, rows.get(), kLoadCreate, 8, 8, 0, c.view, "*", c.where, "", msg),
              kDbOk) << msg.text;
    ASSERT_EQ(_BktCountAll(*rows), 1) << c.view;
    const int onOrder = _BktGetColNum(*rows, "on_order");
    ASSERT_EQ(_BktGetColType(*rows, onOrder), kColDec64) << c.view;
    const Dec64 before = _ColGetDec64(*rows, 1, onOrder);
    _ColSetDec64(*rows, 1, onOrder, Dec64::FromRaw(before.raw + Dec64::kOne));
    ASSERT_EQ(_DbxUpdateRowU(s, c.table, *rows, 1, 1, msg), kDbOk) << c.view << ": " << msg.text;
    EXPECT_EQ(File(tmp.path()).Int(c.check), before.raw + Dec64::kOne) << c.view;
  }
  // The budget identifier is typed like every other budget column.
  BucketHold budgets;
  DbMsg msg;
  ASSERT_EQ(_DbBktFromCols(s, "budget", "budget,year,status", budgets.get(), 1, 1, msg), kDbOk)
      << msg.text;
  EXPECT_EQ(_BktGetColType(*budgets, 1), kColText);
  EXPECT_EQ(_BktGetColLength(*budgets, 1), 13);
  EXPECT_EQ(_BktGetColType(*budgets, 2), kColInt16);
}

TEST(DemoLibrary, ApostrophesFindTheirRows) {
  TempDb tmp;
  Session s;
  ASSERT_EQ(s.code, kDbOk) << s.msg.text;
  std::string where = "po_number=";
  ASSERT_EQ(_DbQuoteAppend(where, 1023, "PO-O'B-1"), kDbOk);
  DbMsg msg;
  BucketHold rows;
  ASSERT_EQ(_DbLoadQuery(s, rows.get(), kLoadCreate, 8, 8, 0, "po_with_vendor",
                         "po#,vendor_name", where, "", msg), kDbOk) << msg.text;
  ASSERT_EQ(_BktCountAll(*rows), 1);
  EXPECT_EQ(_ColGetInt(*rows, 1, 1), 2);
  EXPECT_EQ(_ColGetStringW(*rows, 1, 2), "O'Brien Library Supply");
}
