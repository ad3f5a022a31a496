// Schema migration 2: every table and view of acquisitions.
//
// Tables by subsystem (views in brackets):
//   Site and catalogue   address, collection, borrower, bib_control, copy, import_acq;
//                        item and acq_parameter gain columns
//                        [copy_with_vendor, po_line_item_with_borrower, po_request_alert]
//   Vendors and money    vendor, vendor_address, vendor_contract, currency,
//                        extra_charge_type, subscription_period
//                        [vendor_contract_extra, vendor_contract_with_vendor]
//   Budgets              account, account_year, budget_transaction,
//                        budget_transaction_detail, budget_hierarchy,
//                        account_year_create_options, transfer_unspent_options,
//                        reassign_budget_options; account_restriction (migration 1)
//                        [budget, budget_code, budget_hierarchy_report,
//                        account_user_restricted (migration 1)]
//   Purchase orders      po, po_line, po_line_item, po_line_item_budget,
//                        po_line_item_budget_amount, po_line_item_history,
//                        po_activity_type, po_line_pattern, po_line_item_pattern,
//                        po_line_item_budget_pattern, po_template, pr, pr_category,
//                        pr_distribution
//                        [po_with_vendor, po_template_with_vendor, po_line_distribution,
//                        po_line_distribution_pat, approval_po_line_display]
//   Renewals             (on po, po_line, po_line_item)
//                        [po_renewal_options, po_renewal_candidates, po_renewal_categories,
//                        po_renewal_contracts, po_renewed_titles]
//   Statements           statement, statement_line, statement_extra_charge,
//                        statement_budget, statement_linker
//                        [approve_statement, invoice, credit_memo, invoice_with_credits,
//                        credit_with_invoices, poliba_bandaid, prorated_extra_charges]
//   Vouchers, payables   voucher, payables, cheque_run, cheque
//                        [voucher_list, outstanding_payables, outstanding_payables_report,
//                        open_os_payables_vendor, open_os_payables_budget,
//                        open_os_payables_acct_ref, cheque_details, cheque_update_view,
//                        cheque_updates]
//   EDIFACT              edifact_interchange, edifact_message, edifact_segment,
//                        edifact_exception, edifact_process_status, edifact_response_line,
//                        message_code
//                        [edifact_ordrsp_message, edifact_ordrsp_line, edifact_invoic_message]
//   Printing             workslip_batch, workslip_batch_po_line_item
//                        [workslip_std_format, workslip_rcpt_format,
//                        workslip_print_in_process]
//   Module               lister_column
//
// Units everywhere: DEC64 columns hold millionths (12.50 is 12500000), rates
// and percentages included; DAYNUM columns are days since 1900-01-01; MINUTE
// columns minutes of the day. A base-currency amount is amount x
// exchange_rate / 10^6.
//
// Typing rules the host relies on (DbQuery.cpp): a view column that is a
// plain column keeps its declared type; a computed one takes the type that
// every table declares for a column of its name, so a name means one type
// throughout (budget VARCHAR(13), amount DEC64, quantity SMALLINT, ...), with
// two exceptions the spelling of the module forces: `spent` is a DEC64 total
// on budgets and contracts and a BIT flag on money rows, and `status` differs
// by table. Where a view computes a column whose name no table declares, its
// first SELECT is a "typing arm": the same columns taken from typed table
// columns, with WHERE 1 = 0, so it adds no rows but gives the declared types;
// the other arms cast such columns to the same types (a database server
// types a union's column by all of its arms).
#include "database/Database.h"

#include <iterator>

namespace {

const char* const kLibrary[] = {
    // ---- site and catalogue --------------------------------------------------------------

    // An address of a location, key (location, address_code). The flags say
    // what the address may serve as; one row per location carries each default.
    R"(CREATE TABLE address(
         location VARCHAR(10) NOT NULL,
         address_code VARCHAR(10) NOT NULL,
         name VARCHAR(60) NOT NULL DEFAULT '',
         address1 VARCHAR(60),
         address2 VARCHAR(60),
         address3 VARCHAR(60),
         address4 VARCHAR(60),
         city VARCHAR(40),
         state VARCHAR(40),
         postal_code VARCHAR(12),
         country VARCHAR(40),
         phone VARCHAR(24),
         san VARCHAR(12),
         san_suffix VARCHAR(5),
         ean_gln VARCHAR(14),
         bill_to BIT NOT NULL DEFAULT 0,
         ship_to BIT NOT NULL DEFAULT 0,
         default_bill_to BIT NOT NULL DEFAULT 0,
         default_ship_to BIT NOT NULL DEFAULT 0,
         PRIMARY KEY(location, address_code)))",
    "CREATE INDEX address_code ON address(address_code)",
    "CREATE INDEX address_san ON address(san)",
    "CREATE INDEX address_ean ON address(ean_gln)",

    // A collection code of the catalogue.
    R"(CREATE TABLE collection(
         collection VARCHAR(10) NOT NULL PRIMARY KEY,
         descr VARCHAR(40) NOT NULL DEFAULT ''))",

    // A patron; `reconst` is the name as sorted ("Lee, Ann").
    R"(CREATE TABLE borrower(
         "borrower#" INTEGER NOT NULL PRIMARY KEY,
         name VARCHAR(80) NOT NULL DEFAULT '',
         reconst VARCHAR(80),
         bbarcode VARCHAR(14),
         location VARCHAR(10)))",

    // Control data of a bibliographic record, key bib#: whether acquisitions
    // created it (and may delete it with its PO line).
    R"(CREATE TABLE bib_control(
         "bib#" INTEGER NOT NULL PRIMARY KEY,
         acq_controlled BIT NOT NULL DEFAULT 0,
         creation_date DAYNUM))",

    // A serial copy, key copy#, with the vendor's claim schedule (days) copied
    // in. acq_status 3 on order, 4 received.
    R"(CREATE TABLE copy(
         "copy#" INTEGER NOT NULL PRIMARY KEY,
         "bib#" INTEGER,
         media_type VARCHAR(10),
         acq_status TINYINT,
         acq_controlled BIT NOT NULL DEFAULT 0,
         "vendor#" INTEGER,
         workslip_note VARCHAR(255),
         item_creation TINYINT,
         itype VARCHAR(10),
         location VARCHAR(10),
         collection VARCHAR(10),
         call VARCHAR(60),
         vendor_title_number VARCHAR(30),
         renewal_date DAYNUM,
         first_claim_delay SMALLINT,
         claim_interval SMALLINT,
         max_claims TINYINT))",
    "CREATE INDEX copy_bib ON copy(\"bib#\")",

    // Catalogue items made by acquisitions: price in the PO currency,
    // item_status "r" on order and "n" received.
    "ALTER TABLE item ADD COLUMN source VARCHAR(80)",
    "ALTER TABLE item ADD COLUMN price DEC64",
    "ALTER TABLE item ADD COLUMN creation_date DAYNUM",
    "ALTER TABLE item ADD COLUMN item_status VARCHAR(2)",
    "ALTER TABLE item ADD COLUMN inventory_num VARCHAR(20)",
    "ALTER TABLE item ADD COLUMN call_type VARCHAR(10)",
    "ALTER TABLE item ADD COLUMN delete_flag BIT NOT NULL DEFAULT 0",
    "CREATE INDEX item_copy ON item(\"copy#\")",

    // How renewal prices are found (0 keep the old price; else the database's rule).
    "ALTER TABLE acq_parameter ADD COLUMN price_upd_method TINYINT NOT NULL DEFAULT 0",

    // A record brought in by a catalogue import for acquisitions, key import_acq#.
    R"(CREATE TABLE import_acq(
         "import_acq#" INTEGER PRIMARY KEY,
         "bib#" INTEGER,
         "po#" INTEGER,
         line SMALLINT,
         import_date DAYNUM,
         status TINYINT NOT NULL DEFAULT 0,
         record TEXT))",

    // ---- vendors and money -------------------------------------------------------------------

    // A currency: exchange_rate converts to the base currency (DEC64, so
    // 1.27 is 1270000); n_decimals is the money precision of its prices.
    R"(CREATE TABLE currency(
         currency VARCHAR(4) NOT NULL PRIMARY KEY,
         descr VARCHAR(30) NOT NULL DEFAULT '',
         exchange_rate DEC64 NOT NULL DEFAULT 1000000,
         n_decimals TINYINT NOT NULL DEFAULT 2,
         currency_symbol VARCHAR(4) NOT NULL DEFAULT ''))",

    // A vendor, key vendor#. Claims: days from ordering to the first claim,
    // days between claims, and how many (0: never claimed). default_discount
    // is a percentage; min_order_amount is in the vendor's currency.
    R"(CREATE TABLE vendor(
         "vendor#" INTEGER NOT NULL PRIMARY KEY,
         vendor_code VARCHAR(12),
         name VARCHAR(80) NOT NULL DEFAULT '',
         currency VARCHAR(4),
         san VARCHAR(12),
         san_suffix VARCHAR(5),
         ean_gln VARCHAR(14),
         cust_number VARCHAR(30),
         gst_number VARCHAR(50),
         default_discount DEC64,
         min_order_amount DEC64,
         min_order_quantity SMALLINT,
         first_claim_delay SMALLINT,
         claim_interval SMALLINT,
         max_claims TINYINT NOT NULL DEFAULT 0,
         enhanced_services BIT NOT NULL DEFAULT 0,
         vendor_note VARCHAR(255),
         active BIT NOT NULL DEFAULT 1))",
    "CREATE INDEX vendor_name ON vendor(name)",
    "CREATE INDEX vendor_san ON vendor(san)",
    "CREATE INDEX vendor_ean ON vendor(ean_gln)",
    "CREATE INDEX vendor_cust ON vendor(cust_number)",

    // An address of a vendor, key (vendor#, address_code); the flags say
    // which mail goes there (orders, vouchers and cheques, claims).
    R"(CREATE TABLE vendor_address(
         "vendor#" INTEGER NOT NULL REFERENCES vendor("vendor#") ON DELETE CASCADE,
         address_code VARCHAR(10) NOT NULL,
         descr VARCHAR(60) NOT NULL DEFAULT '',
         address1 VARCHAR(60),
         address2 VARCHAR(60),
         address3 VARCHAR(60),
         address4 VARCHAR(60),
         phone VARCHAR(24),
         email VARCHAR(80),
         orders BIT NOT NULL DEFAULT 0,
         vouchers BIT NOT NULL DEFAULT 0,
         claims BIT NOT NULL DEFAULT 0,
         PRIMARY KEY("vendor#", address_code)))",

    // A contract with a vendor, key (vendor#, vendor_contract): allocation,
    // running on-order and spent totals (base currency) and optional limits,
    // each an amount or, with its _percent flag, a percentage of `amount`.
    // cust_number is the library's number at the vendor, for `location` or
    // for every location when that is NULL.
    R"(CREATE TABLE vendor_contract(
         "vendor#" INTEGER NOT NULL REFERENCES vendor("vendor#"),
         vendor_contract VARCHAR(8) NOT NULL,
         descr VARCHAR(80) NOT NULL DEFAULT '',
         location VARCHAR(10),
         cust_number VARCHAR(30),
         san_suffix VARCHAR(5),
         enhanced_services BIT NOT NULL DEFAULT 0,
         begin_date DAYNUM,
         end_date DAYNUM,
         amount DEC64 NOT NULL DEFAULT 0,
         on_order DEC64 NOT NULL DEFAULT 0,
         spent DEC64 NOT NULL DEFAULT 0,
         on_order_limit DEC64,
         on_order_limit_percent BIT NOT NULL DEFAULT 0,
         spent_limit DEC64,
         spent_limit_percent BIT NOT NULL DEFAULT 0,
         PRIMARY KEY("vendor#", vendor_contract)))",
    "CREATE INDEX vendor_contract_cust ON vendor_contract(cust_number)",

    // A subscription period: `unit` 0 years, 1 months, 2 days, and how many.
    R"(CREATE TABLE subscription_period(
         subscription_period VARCHAR(15) NOT NULL PRIMARY KEY,
         descr VARCHAR(40) NOT NULL DEFAULT '',
         unit TINYINT NOT NULL,
         unit_increment INTEGER NOT NULL))",

    R"(CREATE VIEW vendor_contract_with_vendor AS
         SELECT vc.*, v.name
         FROM vendor_contract vc JOIN vendor v ON v."vendor#" = vc."vendor#")",
    // The contract rows fund control reads and writes back to vendor_contract.
    R"(CREATE VIEW vendor_contract_extra AS
         SELECT vc.*, v.name AS vendor_name, v.currency
         FROM vendor_contract vc JOIN vendor v ON v."vendor#" = vc."vendor#")",

    // ---- budgets -----------------------------------------------------------------------------

    // An account (fund). Percentages are whole numbers; NULL means none.
    R"(CREATE TABLE account(
         account VARCHAR(8) NOT NULL PRIMARY KEY,
         descr VARCHAR(60) NOT NULL DEFAULT '',
         acct_ref VARCHAR(30),
         inflation_factor SMALLINT,
         transfer_unspent_percent SMALLINT))",

    // A kind of extra charge on statements (freight, handling, tax); its
    // budget defaults to `account` in the current fiscal year.
    R"(CREATE TABLE extra_charge_type(
         extra_charge_type VARCHAR(8) NOT NULL PRIMARY KEY,
         descr VARCHAR(40) NOT NULL DEFAULT '',
         account VARCHAR(8) REFERENCES account(account)))",

    // A budget: an account's allocation for a fiscal year, key (account,
    // year); its identifier is account "." year. Totals in base currency;
    // limits as on vendor_contract. status 0 open, 1 frozen, 2 closed.
    R"(CREATE TABLE account_year(
         account VARCHAR(8) NOT NULL REFERENCES account(account),
         year SMALLINT,
         amount DEC64 NOT NULL DEFAULT 0,
         on_order DEC64 NOT NULL DEFAULT 0,
         spent DEC64 NOT NULL DEFAULT 0,
         on_order_limit DEC64,
         on_order_limit_percent BIT NOT NULL DEFAULT 0,
         spent_limit DEC64,
         spent_limit_percent BIT NOT NULL DEFAULT 0,
         status SMALLINT NOT NULL DEFAULT 0 CHECK(status IN (0, 1, 2)),
         PRIMARY KEY(account, year)))",
    "CREATE INDEX account_year_year ON account_year(year)",

    // The budgets as the module reads them; rows are written to account_year.
    R"(CREATE VIEW budget AS
         SELECT ay.account || '.' || ay.year AS budget, ay.*, a.descr, a.acct_ref
         FROM account_year ay JOIN account a ON a.account = ay.account)",
    R"(CREATE VIEW budget_code AS
         SELECT ay.account || '.' || ay.year AS budget, ay.account, ay.year, ay.status,
                a.descr, a.acct_ref
         FROM account_year ay JOIN account a ON a.account = ay.account)",

    // The budget ledger: one header per write, key budget_transaction#.
    // transaction_source 0 manual, 1 PO line, 2 statement, 3 statement extra charge.
    R"(CREATE TABLE budget_transaction(
         "budget_transaction#" INTEGER NOT NULL PRIMARY KEY,
         transaction_source SMALLINT NOT NULL DEFAULT 0,
         date DAYNUM NOT NULL,
         time MINUTE NOT NULL,
         user_id VARCHAR(31) NOT NULL DEFAULT '',
         note VARCHAR(256)))",
    // One change of one budget total: amount_type 0 allocation, 1 on order,
    // 2 spent; trans_amount signed, prior_amount the total before it.
    R"(CREATE TABLE budget_transaction_detail(
         "budget_transaction_detail#" INTEGER PRIMARY KEY,
         "budget_transaction#" INTEGER NOT NULL
             REFERENCES budget_transaction("budget_transaction#") ON DELETE CASCADE,
         budget VARCHAR(13) NOT NULL,
         amount_type SMALLINT NOT NULL,
         trans_amount DEC64 NOT NULL,
         prior_amount DEC64,
         "po#" INTEGER,
         line SMALLINT,
         item SMALLINT,
         "statement#" INTEGER,
         extra_charge_type VARCHAR(8)))",
    R"(CREATE INDEX budget_transaction_detail_trans
         ON budget_transaction_detail("budget_transaction#"))",
    "CREATE INDEX budget_transaction_detail_budget ON budget_transaction_detail(budget)",

    // Budget hierarchies: one row per tree item. item_kind 0 hierarchy (top),
    // 1 group, 2 budget (a leaf naming `budget`); position orders siblings.
    R"(CREATE TABLE budget_hierarchy(
         item_key INTEGER NOT NULL PRIMARY KEY,
         parent_item_key INTEGER,
         item_kind TINYINT NOT NULL,
         label VARCHAR(60) NOT NULL DEFAULT '',
         budget VARCHAR(13),
         position SMALLINT NOT NULL DEFAULT 0))",
    R"(CREATE VIEW budget_hierarchy_report AS
         SELECT h.item_key, h.parent_item_key, h.item_kind, h.label, h.position, h.budget,
                ay.amount, ay.on_order, ay.spent, ay.status
         FROM budget_hierarchy h
         LEFT JOIN account_year ay ON ay.account || '.' || ay.year = h.budget)",

    // Options of the fiscal-year operations, one row per user. A NULL
    // status means "No Change"; percentages are whole numbers.
    R"(CREATE TABLE account_year_create_options(
         user_id VARCHAR(31) NOT NULL PRIMARY KEY,
         create_from_year SMALLINT,
         create_for_year SMALLINT,
         inflation_factor SMALLINT,
         no_account_inflation BIT NOT NULL DEFAULT 0,
         new_status SMALLINT))",
    R"(CREATE TABLE transfer_unspent_options(
         user_id VARCHAR(31) NOT NULL PRIMARY KEY,
         source_year SMALLINT,
         target_year SMALLINT,
         transfer_unspent_percent SMALLINT,
         ignore_account_pcnt_setting BIT NOT NULL DEFAULT 0,
         target_status SMALLINT,
         source_status SMALLINT))",
    // reassign_amount_type: 1 on order, 2 spent, 3 both.
    R"(CREATE TABLE reassign_budget_options(
         user_id VARCHAR(31) NOT NULL PRIMARY KEY,
         source_year SMALLINT,
         target_year SMALLINT,
         reassign_amount_type TINYINT NOT NULL DEFAULT 1,
         reassign_by_type TINYINT NOT NULL DEFAULT 0))",

    // ---- purchase orders --------------------------------------------------------------------

    // A PO header, key po#. spent_event 0 spent when received and invoiced,
    // 1 when invoiced, 2 prepaid; renewal_type 0 none, 1 new PO, 2 new line.
    R"(CREATE TABLE po(
         "po#" INTEGER NOT NULL PRIMARY KEY,
         po_number VARCHAR(15),
         "vendor#" INTEGER NOT NULL REFERENCES vendor("vendor#"),
         vendor_contract VARCHAR(8),
         currency VARCHAR(4),
         spent_event TINYINT NOT NULL DEFAULT 0,
         "prepaid_statement#" INTEGER,
         item_creation TINYINT NOT NULL DEFAULT 6,
         attach_barcode BIT NOT NULL DEFAULT 0,
         renewal_type TINYINT NOT NULL DEFAULT 0,
         "renew_po#" INTEGER,
         subscription_period VARCHAR(15) REFERENCES subscription_period(subscription_period),
         location VARCHAR(10),
         bill_to_address VARCHAR(10),
         ship_to_address VARCHAR(10),
         drop_ship BIT NOT NULL DEFAULT 0,
         creation_date DAYNUM,
         last_update_date DAYNUM,
         completion_date DAYNUM,
         FOREIGN KEY("vendor#", vendor_contract)
             REFERENCES vendor_contract("vendor#", vendor_contract)))",
    "CREATE INDEX po_number ON po(po_number)",
    "CREATE INDEX po_vendor ON po(\"vendor#\")",

    // A title on a PO, key (po#, line), with the bibliographic description
    // the order was made from. Prices in the PO currency; vendor_discount a
    // percentage; notes at most 255 characters.
    R"(CREATE TABLE po_line(
         "po#" INTEGER NOT NULL REFERENCES po("po#") ON DELETE CASCADE,
         line SMALLINT NOT NULL,
         "bib#" INTEGER,
         media_type VARCHAR(10),
         title VARCHAR(255),
         author VARCHAR(255),
         edition VARCHAR(60),
         publisher VARCHAR(80),
         publication_place VARCHAR(60),
         publication_date VARCHAR(20),
         isbn VARCHAR(20),
         issn VARCHAR(12),
         ismn VARCHAR(20),
         ean_gtin VARCHAR(14),
         lccn VARCHAR(20),
         vendor_product_id VARCHAR(30),
         vendor_title_number VARCHAR(30),
         unit_price DEC64,
         vendor_discount DEC64,
         last_item SMALLINT NOT NULL DEFAULT 0,
         call_number VARCHAR(60),
         next_renewal_date DAYNUM,
         renew_line SMALLINT,
         renew_id INTEGER,
         order_note VARCHAR(255),
         change_order_note VARCHAR(255),
         internal_note VARCHAR(255),
         workslip_note VARCHAR(255),
         last_update_date DAYNUM,
         completion_date DAYNUM,
         "pr#" INTEGER,
         PRIMARY KEY("po#", line)))",
    "CREATE INDEX po_line_bib ON po_line(\"bib#\")",
    "CREATE INDEX po_line_renewal ON po_line(next_renewal_date)",
    "CREATE INDEX po_line_pr ON po_line(\"pr#\")",

    // An ordered copy, key (po#, line, item). Its state is the set of dates
    // (day numbers) that are not NULL; budget_split, when set, is the text
    // of its split ("ADULT.2026 60% + REF.2026 40%") whose rows are in
    // po_line_item_budget. claim_count counts printed claims.
    R"(CREATE TABLE po_line_item(
         "po#" INTEGER NOT NULL,
         line SMALLINT NOT NULL,
         item SMALLINT NOT NULL,
         location VARCHAR(10),
         collection VARCHAR(10),
         itype VARCHAR(10),
         call_number VARCHAR(60),
         budget VARCHAR(13),
         budget_split VARCHAR(255),
         ship_to_address VARCHAR(10),
         "borrower#" INTEGER,
         order_date DAYNUM,
         printed_date DAYNUM,
         approve_date DAYNUM,
         receive_date DAYNUM,
         invoice_date DAYNUM,
         cancel_date DAYNUM,
         response_date DAYNUM,
         next_claim_date DAYNUM,
         claim_count TINYINT NOT NULL DEFAULT 0,
         renew_activity_date DAYNUM,
         renew_activity_type VARCHAR(7),
         renew_item SMALLINT,
         po_activity_type VARCHAR(7),
         begin_date DAYNUM,
         end_date DAYNUM,
         "copy#" INTEGER,
         "item#" INTEGER,
         PRIMARY KEY("po#", line, item),
         FOREIGN KEY("po#", line) REFERENCES po_line("po#", line) ON DELETE CASCADE))",
    "CREATE INDEX po_line_item_claim ON po_line_item(next_claim_date)",
    "CREATE INDEX po_line_item_copy ON po_line_item(\"copy#\")",
    "CREATE INDEX po_line_item_item ON po_line_item(\"item#\")",

    // One budget of an item's split, key (po#, line, item, budget);
    // percentage a whole number, the item's rows adding up to 100.
    R"(CREATE TABLE po_line_item_budget(
         "po#" INTEGER NOT NULL,
         line SMALLINT NOT NULL,
         item SMALLINT NOT NULL,
         budget VARCHAR(13) NOT NULL,
         percentage SMALLINT NOT NULL CHECK(percentage BETWEEN 1 AND 100),
         PRIMARY KEY("po#", line, item, budget),
         FOREIGN KEY("po#", line, item) REFERENCES po_line_item("po#", line, item)
             ON DELETE CASCADE))",
    "CREATE INDEX po_line_item_budget_budget ON po_line_item_budget(budget)",

    // Money of an item on a budget ("poliba"), key budget_amount#: one row
    // per item, budget and money event. amount in the PO (or statement)
    // currency; spent set for spent money, else on order; extra_charge_type
    // set for a prorated extra charge; the statement line that caused it; the
    // voucher that paid it. Rows are the ledger behind the budget totals, so
    // they are removed only by the activities that move the money back.
    R"(CREATE TABLE po_line_item_budget_amount(
         "budget_amount#" INTEGER PRIMARY KEY,
         "po#" INTEGER NOT NULL,
         line SMALLINT NOT NULL,
         item SMALLINT NOT NULL,
         budget VARCHAR(13) NOT NULL,
         amount DEC64 NOT NULL DEFAULT 0,
         exchange_rate DEC64 NOT NULL DEFAULT 1000000,
         spent BIT NOT NULL DEFAULT 0,
         extra_charge_type VARCHAR(8),
         "statement#" INTEGER,
         statement_line SMALLINT,
         statement_line_type TINYINT,
         "voucher#" INTEGER))",
    "CREATE INDEX poliba_item ON po_line_item_budget_amount(\"po#\", line, item)",
    "CREATE INDEX poliba_statement ON po_line_item_budget_amount(\"statement#\")",
    "CREATE INDEX poliba_voucher ON po_line_item_budget_amount(\"voucher#\")",
    "CREATE INDEX poliba_budget ON po_line_item_budget_amount(budget)",

    // One activity on one item, key history#. transaction_type 0 entered,
    // 2 undone; date and time shared by all items of one activity; amount in
    // the statement currency.
    R"(CREATE TABLE po_line_item_history(
         "history#" INTEGER PRIMARY KEY,
         "po#" INTEGER NOT NULL,
         line SMALLINT NOT NULL,
         item SMALLINT NOT NULL,
         po_activity_type VARCHAR(7) NOT NULL,
         transaction_type TINYINT NOT NULL DEFAULT 0,
         date DAYNUM NOT NULL,
         time MINUTE NOT NULL,
         "voucher#" INTEGER,
         "statement#" INTEGER,
         extra_charge_type VARCHAR(8),
         amount DEC64,
         exchange_rate DEC64,
         next_claim_date DAYNUM,
         change_order_note VARCHAR(255),
         internal_note VARCHAR(255)))",
    "CREATE INDEX po_line_item_history_item ON po_line_item_history(\"po#\", line, item)",

    // The activity codes of the history.
    R"(CREATE TABLE po_activity_type(
         po_activity_type VARCHAR(7) NOT NULL PRIMARY KEY,
         descr VARCHAR(40) NOT NULL DEFAULT ''))",
    R"(INSERT INTO po_activity_type(po_activity_type, descr) VALUES
      ('approve', 'Approve'), ('receive', 'Receive'), ('invoice', 'Invoice'),
      ('credit', 'Credit'), ('refund', 'Refund'), ('extchrg', 'Extra charge'),
      ('cancel', 'Cancel'), ('retrn', 'Return'), ('backord', 'Back order'),
      ('discont', 'Discontinue'), ('renew', 'Renew'), ('ordrsp', 'Order response'))",

    // Distribution patterns, key po_line_pattern#: the items of a model line
    // and their budget splits.
    R"(CREATE TABLE po_line_pattern(
         "po_line_pattern#" INTEGER NOT NULL PRIMARY KEY,
         pattern VARCHAR(30) NOT NULL UNIQUE))",
    R"(CREATE TABLE po_line_item_pattern(
         "po_line_pattern#" INTEGER NOT NULL
             REFERENCES po_line_pattern("po_line_pattern#") ON DELETE CASCADE,
         item SMALLINT NOT NULL,
         location VARCHAR(10),
         collection VARCHAR(10),
         itype VARCHAR(10),
         call_number VARCHAR(60),
         budget VARCHAR(13),
         budget_split VARCHAR(255),
         ship_to_address VARCHAR(10),
         PRIMARY KEY("po_line_pattern#", item)))",
    R"(CREATE TABLE po_line_item_budget_pattern(
         "po_line_pattern#" INTEGER NOT NULL,
         item SMALLINT NOT NULL,
         budget VARCHAR(13) NOT NULL,
         percentage SMALLINT NOT NULL CHECK(percentage BETWEEN 1 AND 100),
         PRIMARY KEY("po_line_pattern#", item, budget),
         FOREIGN KEY("po_line_pattern#", item)
             REFERENCES po_line_item_pattern("po_line_pattern#", item) ON DELETE CASCADE))",

    // A PO template, key its name: header values for new POs and the
    // pattern for their lines.
    R"(CREATE TABLE po_template(
         po_template VARCHAR(30) NOT NULL PRIMARY KEY,
         po_template_descr VARCHAR(80),
         "vendor#" INTEGER REFERENCES vendor("vendor#"),
         vendor_contract VARCHAR(8),
         currency VARCHAR(4),
         spent_event TINYINT NOT NULL DEFAULT 0,
         item_creation TINYINT NOT NULL DEFAULT 6,
         attach_barcode BIT NOT NULL DEFAULT 0,
         renewal_type TINYINT NOT NULL DEFAULT 0,
         subscription_period VARCHAR(15),
         location VARCHAR(10),
         bill_to_address VARCHAR(10),
         ship_to_address VARCHAR(10),
         drop_ship BIT NOT NULL DEFAULT 0,
         "po_line_pattern#" INTEGER
             REFERENCES po_line_pattern("po_line_pattern#") ON DELETE SET NULL,
         user_assign_po_number BIT NOT NULL DEFAULT 0))",

    // Purchase requests, key pr#, and their distribution, key (pr#, line):
    // each row gives `quantity` items of the PO line made from the request.
    R"(CREATE TABLE pr_category(
         pr_category VARCHAR(10) NOT NULL PRIMARY KEY,
         descr VARCHAR(40) NOT NULL DEFAULT ''))",
    R"(CREATE TABLE pr(
         "pr#" INTEGER NOT NULL PRIMARY KEY,
         pr_category VARCHAR(10) REFERENCES pr_category(pr_category),
         title VARCHAR(255),
         author VARCHAR(255),
         isbn VARCHAR(20),
         issn VARCHAR(12),
         publisher VARCHAR(80),
         unit_price DEC64,
         currency VARCHAR(4),
         "vendor#" INTEGER,
         "bib#" INTEGER,
         "borrower#" INTEGER,
         request_date DAYNUM,
         note VARCHAR(256)))",
    R"(CREATE TABLE pr_distribution(
         "pr#" INTEGER NOT NULL REFERENCES pr("pr#") ON DELETE CASCADE,
         line SMALLINT NOT NULL,
         quantity SMALLINT NOT NULL DEFAULT 1,
         location VARCHAR(10),
         collection VARCHAR(10),
         itype VARCHAR(10),
         budget VARCHAR(13),
         call_number VARCHAR(60),
         ship_to VARCHAR(10),
         PRIMARY KEY("pr#", line)))",

    R"(CREATE VIEW po_with_vendor AS
         SELECT p.*, v.name AS vendor_name
         FROM po p JOIN vendor v ON v."vendor#" = p."vendor#")",
    R"(CREATE VIEW po_template_with_vendor AS
         SELECT t.*, v.name AS vendor_name
         FROM po_template t LEFT JOIN vendor v ON v."vendor#" = t."vendor#")",
    // A line's distribution: its items grouped by where they go and what pays.
    R"(CREATE VIEW po_line_distribution AS
         SELECT "po#", line, location, collection, itype, call_number, budget, budget_split,
                ship_to_address, count(*) AS quantity
         FROM po_line_item
         GROUP BY "po#", line, location, collection, itype, call_number, budget, budget_split,
                  ship_to_address)",
    R"(CREATE VIEW po_line_distribution_pat AS
         SELECT ip."po_line_pattern#", p.pattern, ip.location, ip.collection, ip.itype,
                ip.call_number, ip.budget, ip.budget_split, ip.ship_to_address,
                count(*) AS quantity
         FROM po_line_item_pattern ip
         JOIN po_line_pattern p ON p."po_line_pattern#" = ip."po_line_pattern#"
         GROUP BY ip."po_line_pattern#", p.pattern, ip.location, ip.collection, ip.itype,
                  ip.call_number, ip.budget, ip.budget_split, ip.ship_to_address)",
    // Lines with items still to approve; quantity is how many.
    R"(CREATE VIEW approval_po_line_display AS
         SELECT pl."po#", p.po_number, pl.line, p."vendor#", v.name AS vendor_name, p.location,
                p.currency, pl."bib#", pl.title, pl.author, pl.isbn, pl.unit_price,
                (SELECT count(*) FROM po_line_item i
                  WHERE i."po#" = pl."po#" AND i.line = pl.line AND i.approve_date IS NULL)
                  AS quantity
         FROM po_line pl
         JOIN po p ON p."po#" = pl."po#"
         JOIN vendor v ON v."vendor#" = p."vendor#"
         WHERE EXISTS (SELECT 1 FROM po_line_item i
                       WHERE i."po#" = pl."po#" AND i.line = pl.line
                         AND i.approve_date IS NULL))",
    R"(CREATE VIEW po_line_item_with_borrower AS
         SELECT i.*, b.name, b.reconst, b.bbarcode
         FROM po_line_item i JOIN borrower b ON b."borrower#" = i."borrower#")",
    // Items requested by a patron (not cancelled), with how many requests
    // the title has.
    R"(CREATE VIEW po_request_alert AS
         SELECT i."po#", i.line, i.item, i."borrower#", b.name, it.ibarcode,
                (SELECT count(*) FROM po_line_item r
                  WHERE r."po#" = i."po#" AND r.line = i.line AND r."borrower#" IS NOT NULL
                    AND r.cancel_date IS NULL) AS num_requests
         FROM po_line_item i
         JOIN borrower b ON b."borrower#" = i."borrower#"
         LEFT JOIN item it ON it."item#" = i."item#"
         WHERE i.cancel_date IS NULL)",
    R"(CREATE VIEW copy_with_vendor AS
         SELECT c.*, v.name AS vendor_name, i."po#", i.line, i.item, i.begin_date, i.end_date
         FROM copy c
         LEFT JOIN vendor v ON v."vendor#" = c."vendor#"
         LEFT JOIN po_line_item i ON i."copy#" = c."copy#")",

    // ---- renewals -----------------------------------------------------------------------------

    // Lines of renewing POs that have a next renewal date; renew_qty is the
    // number of approved items not yet renewed, discontinued or cancelled.
    R"(CREATE VIEW po_renewal_candidates AS
         SELECT pl."po#", p.po_number, pl.line, p."vendor#", v.name AS vendor_name, p.location,
                p.vendor_contract, p.currency, p.renewal_type, p.subscription_period,
                pl.title, pl.next_renewal_date, pl.unit_price,
                pl.last_item AS renew_qty, pl.last_item AS discontinue_qty,
                pl.unit_price AS extended_price
         FROM po_line pl, po p, vendor v WHERE 1 = 0
         UNION ALL
         SELECT c."po#", c.po_number, c.line, c."vendor#", c.vendor_name, c.location,
                c.vendor_contract, c.currency, c.renewal_type, c.subscription_period,
                c.title, c.next_renewal_date, c.unit_price,
                CAST(c.renewable AS SMALLINT), CAST(0 AS SMALLINT),
                CAST(c.unit_price * c.renewable AS DEC64)
         FROM (SELECT pl.*, p.po_number, p."vendor#", v.name AS vendor_name, p.location,
                      p.vendor_contract, p.currency, p.renewal_type, p.subscription_period,
                      (SELECT count(*) FROM po_line_item i
                        WHERE i."po#" = pl."po#" AND i.line = pl.line
                          AND i.approve_date IS NOT NULL AND i.renew_activity_date IS NULL
                          AND i.cancel_date IS NULL) AS renewable
               FROM po_line pl
               JOIN po p ON p."po#" = pl."po#"
               JOIN vendor v ON v."vendor#" = p."vendor#"
               WHERE p.renewal_type IN (1, 2) AND pl.next_renewal_date IS NOT NULL) c)",
    // Budgets of the candidates' items, proposing the same account one year on.
    R"(CREATE VIEW po_renewal_categories AS
         SELECT b.budget, b.budget AS renew_to_account FROM po_line_item_budget b WHERE 1 = 0
         UNION ALL
         SELECT c.budget,
                CAST((SELECT n.account || '.' || n.year FROM account_year n
                      WHERE n.account || '.' || (n.year - 1) = c.budget) AS VARCHAR(13))
         FROM (SELECT DISTINCT coalesce(b.budget, i.budget) AS budget
               FROM po_line_item i
               JOIN po_line pl ON pl."po#" = i."po#" AND pl.line = i.line
               JOIN po p ON p."po#" = i."po#"
               LEFT JOIN po_line_item_budget b
                 ON b."po#" = i."po#" AND b.line = i.line AND b.item = i.item
               WHERE p.renewal_type IN (1, 2) AND pl.next_renewal_date IS NOT NULL
                 AND i.renew_activity_date IS NULL AND i.cancel_date IS NULL) c
         WHERE c.budget IS NOT NULL)",
    // Contracts of the renewing POs, proposing the same contract.
    R"(CREATE VIEW po_renewal_contracts AS
         SELECT vc."vendor#", v.name AS vendor_name, vc.vendor_contract,
                vc.vendor_contract AS renew_to_contract
         FROM vendor_contract vc, vendor v WHERE 1 = 0
         UNION ALL
         SELECT DISTINCT p."vendor#", v.name, p.vendor_contract, p.vendor_contract
         FROM po p
         JOIN vendor v ON v."vendor#" = p."vendor#"
         WHERE p.renewal_type IN (1, 2) AND p.vendor_contract IS NOT NULL
           AND EXISTS (SELECT 1 FROM po_line pl
                       WHERE pl."po#" = p."po#" AND pl.next_renewal_date IS NOT NULL))",
    Database_PoRenewalOptionsView(),
    // Lines created by renewal: their items name the items they renew.
    R"(CREATE VIEW po_renewed_titles AS
         SELECT pl."po#", p.po_number, pl.line, p."vendor#", v.name AS vendor_name, pl.title,
                pl.unit_price, pl.next_renewal_date,
                (SELECT count(*) FROM po_line_item i
                  WHERE i."po#" = pl."po#" AND i.line = pl.line) AS quantity
         FROM po_line pl
         JOIN po p ON p."po#" = pl."po#"
         JOIN vendor v ON v."vendor#" = p."vendor#"
         WHERE EXISTS (SELECT 1 FROM po_line_item i
                       WHERE i."po#" = pl."po#" AND i.line = pl.line
                         AND i.renew_item IS NOT NULL))",

    // ---- statements ------------------------------------------------------------------------

    // A vendor statement, key statement#. statement_type 0 invoice, 1
    // supplemental invoice, 3 credit memo, 5 refund; 2, 4 and 6 are their
    // budget-based forms. amount (the header total) and amount_remaining in
    // the statement currency; approve_date NULL until approved.
    R"(CREATE TABLE statement(
         "statement#" INTEGER NOT NULL PRIMARY KEY,
         statement_number VARCHAR(16) NOT NULL DEFAULT '',
         statement_type SMALLINT NOT NULL DEFAULT 0,
         "vendor#" INTEGER NOT NULL REFERENCES vendor("vendor#"),
         amount DEC64 NOT NULL DEFAULT 0,
         amount_remaining DEC64,
         currency VARCHAR(4),
         exchange_rate DEC64 NOT NULL DEFAULT 1000000,
         statement_date DAYNUM,
         approve_date DAYNUM,
         note VARCHAR(256),
         gst BIT NOT NULL DEFAULT 0,
         pst BIT NOT NULL DEFAULT 0,
         gst_amount DEC64,
         pst_amount DEC64,
         creation_date DAYNUM,
         last_update_date DAYNUM))",
    "CREATE INDEX statement_number ON statement(statement_number)",
    "CREATE INDEX statement_vendor ON statement(\"vendor#\")",

    // A PO line on a statement, key (statement#, statement_line);
    // statement_line_type 0 invoice, 1 supplemental, 3 credit, 5 refund.
    R"(CREATE TABLE statement_line(
         "statement#" INTEGER NOT NULL REFERENCES statement("statement#") ON DELETE CASCADE,
         statement_line SMALLINT NOT NULL,
         statement_line_type TINYINT NOT NULL DEFAULT 0,
         "po#" INTEGER NOT NULL,
         line SMALLINT NOT NULL,
         item SMALLINT,
         location VARCHAR(10),
         quantity SMALLINT NOT NULL DEFAULT 1,
         amount DEC64,
         PRIMARY KEY("statement#", statement_line)))",
    "CREATE INDEX statement_line_po ON statement_line(\"po#\", line)",

    // An extra charge of a statement, key (statement#, extra_charge_type):
    // charged to `budget`, or prorated over the lines when that is NULL.
    R"(CREATE TABLE statement_extra_charge(
         "statement#" INTEGER NOT NULL REFERENCES statement("statement#") ON DELETE CASCADE,
         extra_charge_type VARCHAR(8) NOT NULL
             REFERENCES extra_charge_type(extra_charge_type),
         amount DEC64 NOT NULL DEFAULT 0,
         exchange_rate DEC64 NOT NULL DEFAULT 1000000,
         budget VARCHAR(13),
         spent BIT NOT NULL DEFAULT 0,
         "voucher#" INTEGER,
         PRIMARY KEY("statement#", extra_charge_type)))",
    "CREATE INDEX statement_extra_charge_voucher ON statement_extra_charge(\"voucher#\")",

    // Budget money of the statement types without lines, key (statement#, budget).
    R"(CREATE TABLE statement_budget(
         "statement#" INTEGER NOT NULL REFERENCES statement("statement#") ON DELETE CASCADE,
         budget VARCHAR(13) NOT NULL,
         amount DEC64 NOT NULL DEFAULT 0,
         exchange_rate DEC64 NOT NULL DEFAULT 1000000,
         spent BIT NOT NULL DEFAULT 0,
         "voucher#" INTEGER,
         PRIMARY KEY("statement#", budget)))",
    "CREATE INDEX statement_budget_voucher ON statement_budget(\"voucher#\")",

    // A credit applied to an invoice, key (invoice, credit); amount_applied
    // positive, in the statements' currency.
    R"(CREATE TABLE statement_linker(
         "invoice_statement#" INTEGER NOT NULL REFERENCES statement("statement#"),
         "credit_statement#" INTEGER NOT NULL REFERENCES statement("statement#"),
         amount_applied DEC64 NOT NULL DEFAULT 0,
         "voucher#" INTEGER,
         date_applied DAYNUM,
         PRIMARY KEY("invoice_statement#", "credit_statement#")))",
    "CREATE INDEX statement_linker_credit ON statement_linker(\"credit_statement#\")",

    R"(CREATE VIEW approve_statement AS
         SELECT s."statement#", s.statement_number, s.statement_type, s."vendor#",
                v.name AS vendor_name, s.currency, s.exchange_rate, s.amount, s.statement_date,
                s.approve_date, s.note
         FROM statement s JOIN vendor v ON v."vendor#" = s."vendor#"
         WHERE s.approve_date IS NULL)",
    R"(CREATE VIEW invoice AS
         SELECT s."statement#", s.statement_number, s.statement_type, s."vendor#",
                v.name AS vendor_name, s.currency, s.amount,
                (SELECT coalesce(sum(l.amount_applied), 0) FROM statement_linker l
                  WHERE l."invoice_statement#" = s."statement#") AS amount_applied,
                s.amount_remaining, s.statement_date, s.approve_date
         FROM statement s JOIN vendor v ON v."vendor#" = s."vendor#"
         WHERE s.statement_type IN (0, 1, 2))",
    R"(CREATE VIEW credit_memo AS
         SELECT s."statement#", s.statement_number, s.statement_type, s."vendor#",
                v.name AS vendor_name, s.currency, s.amount,
                (SELECT coalesce(sum(l.amount_applied), 0) FROM statement_linker l
                  WHERE l."credit_statement#" = s."statement#") AS amount_applied,
                s.amount_remaining, s.statement_date, s.approve_date
         FROM statement s JOIN vendor v ON v."vendor#" = s."vendor#"
         WHERE s.statement_type IN (3, 4))",
    R"(CREATE VIEW invoice_with_credits AS
         SELECT l."invoice_statement#" AS "statement#", l."credit_statement#",
                c.statement_number, c.statement_date, l.amount_applied, l."voucher#",
                l.date_applied
         FROM statement_linker l
         JOIN statement c ON c."statement#" = l."credit_statement#")",
    R"(CREATE VIEW credit_with_invoices AS
         SELECT l."credit_statement#" AS "statement#", l."invoice_statement#",
                i.statement_number, i.statement_date, l.amount_applied, l."voucher#",
                l.date_applied
         FROM statement_linker l
         JOIN statement i ON i."statement#" = l."invoice_statement#")",
    // Statement money of items; spent_tinyint is the flag as a number, for
    // grouping and sums where a bit cannot be used.
    R"(CREATE VIEW poliba_bandaid AS
         SELECT p."budget_amount#", p."po#", p.line, p.item, p.budget, p.amount,
                p.exchange_rate, p.spent, p.spent AS spent_tinyint, p.extra_charge_type,
                p."statement#", p.statement_line, p.statement_line_type, p."voucher#",
                s.statement_number, s.approve_date
         FROM po_line_item_budget_amount p
         JOIN statement s ON s."statement#" = p."statement#")",
    R"(CREATE VIEW prorated_extra_charges AS
         SELECT p."budget_amount#", p."statement#", p."po#", p.line, p.item, p.budget,
                p.extra_charge_type, e.descr, p.amount, p.exchange_rate, p.spent, p."voucher#"
         FROM po_line_item_budget_amount p
         JOIN extra_charge_type e ON e.extra_charge_type = p.extra_charge_type)",

    // ---- vouchers, payables, cheques -----------------------------------------------------------

    // A voucher, key voucher#, made from one approved statement; amount in
    // the statement currency.
    R"(CREATE TABLE voucher(
         "voucher#" INTEGER NOT NULL PRIMARY KEY,
         voucher_number VARCHAR(16),
         "statement#" INTEGER NOT NULL REFERENCES statement("statement#"),
         "vendor#" INTEGER,
         voucher_date DAYNUM,
         amount DEC64,
         currency VARCHAR(4),
         void BIT NOT NULL DEFAULT 0,
         void_date DAYNUM,
         printed_date DAYNUM))",
    "CREATE INDEX voucher_statement ON voucher(\"statement#\")",

    // A voucher to pay, key (voucher#, statement#). status 0 open, 1 hold,
    // 2 paid (cheque# set), 3 deleted. Money in `currency`.
    R"(CREATE TABLE payables(
         "voucher#" INTEGER NOT NULL,
         "statement#" INTEGER NOT NULL,
         "vendor#" INTEGER NOT NULL,
         status TINYINT NOT NULL DEFAULT 0,
         amount DEC64 NOT NULL DEFAULT 0,
         gst_amount DEC64,
         pst_amount DEC64,
         gst_self_assessed BIT NOT NULL DEFAULT 0,
         pst_self_assessed BIT NOT NULL DEFAULT 0,
         currency VARCHAR(4),
         invoice_date DAYNUM,
         process_date DAYNUM,
         "cheque#" INTEGER,
         PRIMARY KEY("voucher#", "statement#")))",
    "CREATE INDEX payables_status ON payables(status, \"vendor#\")",
    "CREATE INDEX payables_cheque ON payables(\"cheque#\")",

    // A cheque run, key cheque_run#, and its cheques, key cheque#; cheque
    // status 0 issued, 1 reconciled, 2 void.
    R"(CREATE TABLE cheque_run(
         "cheque_run#" INTEGER NOT NULL PRIMARY KEY,
         run_currency VARCHAR(4),
         run_date DAYNUM,
         file_created BIT NOT NULL DEFAULT 0,
         user_id VARCHAR(31)))",
    R"(CREATE TABLE cheque(
         "cheque#" INTEGER NOT NULL PRIMARY KEY,
         "cheque_run#" INTEGER NOT NULL REFERENCES cheque_run("cheque_run#"),
         "vendor#" INTEGER NOT NULL,
         cheque_issued_date DAYNUM,
         amount DEC64 NOT NULL DEFAULT 0,
         status TINYINT NOT NULL DEFAULT 0,
         processed_date DAYNUM))",
    "CREATE INDEX cheque_by_run ON cheque(\"cheque_run#\")",

    // Vouchers, and one candidate ("(new)", voucher# 0) per approved
    // statement with spent money that no voucher covers yet.
    R"(CREATE VIEW voucher_list AS
         SELECT vo."voucher#", vo.voucher_number, vo."statement#", s.statement_number,
                s.statement_type, s."vendor#", v.name AS vendor_name, vo.currency, vo.amount,
                vo.voucher_date, vo.void
         FROM voucher vo
         JOIN statement s ON s."statement#" = vo."statement#"
         JOIN vendor v ON v."vendor#" = s."vendor#"
         UNION ALL
         SELECT 0, '(new)', c."statement#", c.statement_number, c.statement_type, c."vendor#",
                v.name, c.currency, c.outstanding, NULL, 0
         FROM (SELECT s.*,
                      (SELECT coalesce(sum(amount), 0) FROM po_line_item_budget_amount p
                        WHERE p."statement#" = s."statement#" AND p.spent = 1
                          AND p."voucher#" IS NULL)
                    + (SELECT coalesce(sum(amount), 0) FROM statement_extra_charge e
                        WHERE e."statement#" = s."statement#" AND e.spent = 1
                          AND e."voucher#" IS NULL)
                    + (SELECT coalesce(sum(amount), 0) FROM statement_budget b
                        WHERE b."statement#" = s."statement#" AND b.spent = 1
                          AND b."voucher#" IS NULL) AS outstanding
               FROM statement s WHERE s.approve_date IS NOT NULL) c
         JOIN vendor v ON v."vendor#" = c."vendor#"
         WHERE c.outstanding <> 0)",
    R"(CREATE VIEW outstanding_payables AS
         SELECT p.*, v.name AS vendor_name, v.vendor_code, s.statement_number,
                CASE p.status WHEN 0 THEN 'Open' WHEN 1 THEN 'Hold' END AS status_descr
         FROM payables p
         JOIN vendor v ON v."vendor#" = p."vendor#"
         JOIN statement s ON s."statement#" = p."statement#"
         WHERE p.status IN (0, 1))",
    R"(CREATE VIEW outstanding_payables_report AS
         SELECT o.*, o.vendor_code AS vendor, vo.voucher_number, vo.voucher_date
         FROM outstanding_payables o
         LEFT JOIN voucher vo ON vo."voucher#" = o."voucher#")",
    R"(CREATE VIEW open_os_payables_vendor AS
         SELECT p."vendor#", v.name AS vendor_name, p.currency, sum(p.amount) AS amount
         FROM payables p JOIN vendor v ON v."vendor#" = p."vendor#"
         WHERE p.status = 0
         GROUP BY p."vendor#", v.name, p.currency)",
    // Open payables by budget, from the money rows their vouchers cover.
    R"(CREATE VIEW open_os_payables_budget AS
         SELECT p."voucher#", p."statement#", p."vendor#", m.budget, sum(m.amount) AS amount
         FROM payables p
         JOIN (SELECT "voucher#", budget, amount FROM po_line_item_budget_amount
               UNION ALL
               SELECT "voucher#", budget, amount FROM statement_extra_charge
                WHERE budget IS NOT NULL
               UNION ALL
               SELECT "voucher#", budget, amount FROM statement_budget) m
           ON m."voucher#" = p."voucher#"
         WHERE p.status = 0
         GROUP BY p."voucher#", p."statement#", p."vendor#", m.budget)",
    R"(CREATE VIEW open_os_payables_acct_ref AS
         SELECT b."voucher#", b."statement#", b."vendor#", a.acct_ref, sum(b.amount) AS amount
         FROM open_os_payables_budget b
         JOIN account a ON a.account = substr(b.budget, 1, instr(b.budget, '.') - 1)
         GROUP BY b."voucher#", b."statement#", b."vendor#", a.acct_ref)",
    R"(CREATE VIEW cheque_details AS
         SELECT c."cheque#", c."cheque_run#", c.cheque_issued_date, c."vendor#",
                v.name AS vendor_name, s.currency AS invoice_currency, p."statement#",
                p."voucher#", s.statement_number, p.amount
         FROM cheque c
         JOIN payables p ON p."cheque#" = c."cheque#"
         JOIN statement s ON s."statement#" = p."statement#"
         JOIN vendor v ON v."vendor#" = c."vendor#")",
    // Cheques by calendar year of issue (day numbers count from 1900-01-01).
    R"(CREATE VIEW cheque_updates AS
         SELECT CAST(strftime('%Y', '1900-01-01', c.cheque_issued_date || ' days') AS INTEGER)
                  AS year,
                c."cheque#", c."cheque_run#", c."vendor#", v.name AS vendor_name,
                c.cheque_issued_date, c.amount, c.status, c.processed_date
         FROM cheque c JOIN vendor v ON v."vendor#" = c."vendor#")",
    "CREATE VIEW cheque_update_view AS SELECT DISTINCT year FROM cheque_updates",

    // ---- EDIFACT -------------------------------------------------------------------------------

    // An uploaded interchange file, key edifact#. prep_ and creation_ pairs
    // are day numbers and minutes; file_size in bytes.
    R"(CREATE TABLE edifact_interchange(
         "edifact#" INTEGER NOT NULL PRIMARY KEY,
         source VARCHAR(10),
         location VARCHAR(10),
         "vendor#" INTEGER,
         una VARCHAR(6),
         character_set VARCHAR(1),
         control_reference VARCHAR(30),
         message_count INTEGER,
         prep_date DAYNUM,
         prep_time MINUTE,
         creation_date DAYNUM,
         creation_time MINUTE,
         file_name VARCHAR(255),
         file_size INTEGER))",
    R"(CREATE INDEX edifact_interchange_vendor
         ON edifact_interchange("vendor#", control_reference))",

    // A message of an interchange, key (edifact#, message#). message_type
    // is the position in REQOTE, QUOTES, ORDERS, ORDRSP, ORDCHG, DESADV,
    // OSTENQ, INVOIC (8 other); amount in `currency`.
    R"(CREATE TABLE edifact_message(
         "edifact#" INTEGER NOT NULL
             REFERENCES edifact_interchange("edifact#") ON DELETE CASCADE,
         "message#" INTEGER NOT NULL,
         message_type SMALLINT NOT NULL,
         message_code VARCHAR(3),
         message_number VARCHAR(30),
         message_location VARCHAR(10),
         "message_vendor#" INTEGER,
         message_date DAYNUM,
         line_count SMALLINT NOT NULL DEFAULT 0,
         amount DEC64 NOT NULL DEFAULT 0,
         currency VARCHAR(4),
         PRIMARY KEY("edifact#", "message#")))",
    "CREATE INDEX edifact_message_type ON edifact_message(message_type)",

    // A segment of an interchange, key (edifact#, segment#), with its text
    // (terminator included) in one of the two columns by length.
    R"(CREATE TABLE edifact_segment(
         "edifact#" INTEGER NOT NULL
             REFERENCES edifact_interchange("edifact#") ON DELETE CASCADE,
         "segment#" INTEGER NOT NULL,
         "message#" INTEGER,
         short_segment VARCHAR(255),
         long_segment TEXT,
         PRIMARY KEY("edifact#", "segment#")))",
    "CREATE INDEX edifact_segment_message ON edifact_segment(\"edifact#\", \"message#\")",

    // A warning or error of an EDIFACT process, key edifact_exception#.
    // process 0 upload, 1 invoices, 2 order responses; warning_or_error 0/1.
    R"(CREATE TABLE edifact_exception(
         "edifact_exception#" INTEGER PRIMARY KEY,
         exception_date DAYNUM,
         exception_time MINUTE,
         process TINYINT NOT NULL DEFAULT 0,
         warning_or_error BIT NOT NULL DEFAULT 0,
         descr VARCHAR(255),
         "edifact#" INTEGER,
         "segment#" INTEGER,
         "message#" INTEGER))",
    "CREATE INDEX edifact_exception_file ON edifact_exception(\"edifact#\")",

    // What a process made of a message, key process_status#. Invoices: status
    // 0 done, 1 done with warnings, 2 failed, 3 removed; order responses: 0
    // read, 2 failed. A failed message may be processed again later.
    R"(CREATE TABLE edifact_process_status(
         "process_status#" INTEGER PRIMARY KEY,
         "edifact#" INTEGER NOT NULL,
         "message#" INTEGER NOT NULL,
         process TINYINT NOT NULL,
         status TINYINT NOT NULL,
         process_date DAYNUM))",
    R"(CREATE INDEX edifact_process_status_message
         ON edifact_process_status("edifact#", "message#", process))",

    // Order-response lines as read from a message, key (edifact#, message#,
    // segment#): one per LIN group, or one with action_code "2" for a whole
    // order refused. Quantities are copies; prices in the message currency.
    R"(CREATE TABLE edifact_response_line(
         "edifact#" INTEGER NOT NULL,
         "message#" INTEGER NOT NULL,
         "segment#" INTEGER NOT NULL,
         "po#" INTEGER,
         po_number VARCHAR(15),
         line SMALLINT,
         action_code VARCHAR(2),
         report_code VARCHAR(2),
         order_qty SMALLINT,
         dispatch_qty SMALLINT,
         qty_due SMALLINT,
         price DEC64,
         adj_price DEC64,
         date DAYNUM,
         substitute_item VARCHAR(15),
         substitute_code VARCHAR(2),
         PRIMARY KEY("edifact#", "message#", "segment#")))",

    // Document codes of EDIFACT messages (BGM element 1).
    R"(CREATE TABLE message_code(
         message_code VARCHAR(3) NOT NULL PRIMARY KEY,
         descr VARCHAR(40) NOT NULL DEFAULT '',
         message_type SMALLINT))",
    R"(INSERT INTO message_code(message_code, descr, message_type) VALUES
      ('220', 'Order', 2), ('231', 'Order response', 3),
      ('380', 'Commercial invoice', 7), ('381', 'Credit note', 7))",

    // Uploaded ORDRSP and INVOIC messages that their process has not yet
    // taken (a failed attempt leaves a message in its list).
    R"(CREATE VIEW edifact_ordrsp_message AS
         SELECT m.*, i."vendor#", coalesce(m.message_location, i.location) AS location, i.una,
                i.file_name
         FROM edifact_message m
         JOIN edifact_interchange i ON i."edifact#" = m."edifact#"
         WHERE m.message_type = 3
           AND NOT EXISTS (SELECT 1 FROM edifact_process_status s
                           WHERE s."edifact#" = m."edifact#" AND s."message#" = m."message#"
                             AND s.process = 2 AND s.status <> 2))",
    R"(CREATE VIEW edifact_invoic_message AS
         SELECT m.*, i."vendor#", coalesce(m.message_location, i.location) AS location, i.una,
                i.file_name
         FROM edifact_message m
         JOIN edifact_interchange i ON i."edifact#" = m."edifact#"
         WHERE m.message_type = 7
           AND NOT EXISTS (SELECT 1 FROM edifact_process_status s
                           WHERE s."edifact#" = m."edifact#" AND s."message#" = m."message#"
                             AND s.process = 1 AND s.status <> 2))",
    R"(CREATE VIEW edifact_ordrsp_line AS
         SELECT r."edifact#", r."message#", r."segment#", r."po#",
                coalesce(p.po_number, r.po_number) AS po_number, r.line, r.action_code,
                r.report_code, r.order_qty, r.dispatch_qty, r.qty_due, r.price, r.adj_price,
                r.date, r.substitute_item, r.substitute_code
         FROM edifact_response_line r LEFT JOIN po p ON p."po#" = r."po#")",

    // ---- printing ------------------------------------------------------------------------------

    // A workstation's batch of workslips, key workslip_batch#, and its items.
    R"(CREATE TABLE workslip_batch(
         "workslip_batch#" INTEGER NOT NULL PRIMARY KEY,
         workstation_id VARCHAR(30) NOT NULL DEFAULT '',
         date_created DAYNUM,
         date_printed DAYNUM,
         print_in_process BIT NOT NULL DEFAULT 0))",
    "CREATE INDEX workslip_batch_workstation ON workslip_batch(workstation_id)",
    R"(CREATE TABLE workslip_batch_po_line_item(
         "workslip_batch#" INTEGER NOT NULL
             REFERENCES workslip_batch("workslip_batch#") ON DELETE CASCADE,
         "po#" INTEGER NOT NULL,
         line SMALLINT NOT NULL,
         item SMALLINT NOT NULL,
         PRIMARY KEY("workslip_batch#", "po#", line, item)))",
    "CREATE INDEX workslip_batch_item ON workslip_batch_po_line_item(\"po#\", line, item)",
    R"(CREATE VIEW workslip_print_in_process AS
         SELECT wi."po#", wi.line, wi.item, w."workslip_batch#", w.workstation_id
         FROM workslip_batch_po_line_item wi
         JOIN workslip_batch w ON w."workslip_batch#" = wi."workslip_batch#"
         WHERE w.print_in_process = 1)",
    // Workslip data: one row per item and budget share of each line
    // (cancelled items left out); receipt workslips are the received ones.
    R"(CREATE VIEW workslip_std_format AS
         SELECT pl."po#", p.po_number, pl.line, pl."bib#", pl.call_number, pl.edition, pl.isbn,
                pl.ismn, pl.issn, pl.unit_price, pl.publisher, pl.publication_date,
                pl.publication_place, pl.title, pl.author, pl.workslip_note,
                (SELECT count(*) FROM po_line_item r
                  WHERE r."po#" = pl."po#" AND r.line = pl.line AND r."borrower#" IS NOT NULL
                    AND r.cancel_date IS NULL) AS num_requests,
                i.item, i.location, i.collection, i.receive_date,
                coalesce(b.budget, i.budget) AS budget,
                coalesce(b.percentage, 100) AS percentage
         FROM po_line pl
         JOIN po p ON p."po#" = pl."po#"
         JOIN po_line_item i ON i."po#" = pl."po#" AND i.line = pl.line
         LEFT JOIN po_line_item_budget b
           ON b."po#" = i."po#" AND b.line = i.line AND b.item = i.item
         WHERE i.cancel_date IS NULL)",
    R"(CREATE VIEW workslip_rcpt_format AS
         SELECT * FROM workslip_std_format WHERE receive_date IS NOT NULL)",

    // ---- module --------------------------------------------------------------------------------

    // Column definitions of the module's listers, key (lister, column_name).
    R"(CREATE TABLE lister_column(
         lister VARCHAR(40) NOT NULL,
         column_name VARCHAR(30) NOT NULL,
         position SMALLINT NOT NULL DEFAULT 0,
         heading VARCHAR(40) NOT NULL DEFAULT '',
         width SMALLINT NOT NULL DEFAULT 0,
         searchable BIT NOT NULL DEFAULT 0,
         PRIMARY KEY(lister, column_name)))",

    // ---- key generator -------------------------------------------------------------------------

    // The next key of every generated key, after the highest in use (the
    // catalogue's items may exist already).
    R"(INSERT OR IGNORE INTO pw_key(key_table, next_key)
         SELECT 'po', coalesce(max("po#"), 0) + 1 FROM po
         UNION ALL SELECT 'statement', coalesce(max("statement#"), 0) + 1 FROM statement
         UNION ALL SELECT 'voucher', coalesce(max("voucher#"), 0) + 1 FROM voucher
         UNION ALL SELECT 'vendor', coalesce(max("vendor#"), 0) + 1 FROM vendor
         UNION ALL SELECT 'bib_control', coalesce(max("bib#"), 0) + 1 FROM bib_control
         UNION ALL SELECT 'copy', coalesce(max("copy#"), 0) + 1 FROM copy
         UNION ALL SELECT 'item', coalesce(max("item#"), 0) + 1 FROM item
         UNION ALL SELECT 'borrower', coalesce(max("borrower#"), 0) + 1 FROM borrower
         UNION ALL SELECT 'budget_transaction', coalesce(max("budget_transaction#"), 0) + 1
                   FROM budget_transaction
         UNION ALL SELECT 'budget_hierarchy', coalesce(max(item_key), 0) + 1 FROM budget_hierarchy
         UNION ALL SELECT 'po_line_pattern', coalesce(max("po_line_pattern#"), 0) + 1
                   FROM po_line_pattern
         UNION ALL SELECT 'pr', coalesce(max("pr#"), 0) + 1 FROM pr
         UNION ALL SELECT 'edifact_interchange', coalesce(max("edifact#"), 0) + 1
                   FROM edifact_interchange
         UNION ALL SELECT 'edifact_message', coalesce(max("message#"), 0) + 1 FROM edifact_message
         UNION ALL SELECT 'edifact_segment', coalesce(max("segment#"), 0) + 1 FROM edifact_segment
         UNION ALL SELECT 'edifact_interchange_cntrl_ref', 1
         UNION ALL SELECT 'cheque_run', coalesce(max("cheque_run#"), 0) + 1 FROM cheque_run
         UNION ALL SELECT 'cheque', coalesce(max("cheque#"), 0) + 1 FROM cheque
         UNION ALL SELECT 'workslip_batch', coalesce(max("workslip_batch#"), 0) + 1
                   FROM workslip_batch
         UNION ALL SELECT 'import_acq', coalesce(max("import_acq#"), 0) + 1 FROM import_acq)",
};

}  // namespace

// Proposed renewal options: per vendor and location the range of next
// renewal dates, and the current fiscal year. Migration 5 drops and makes it
// again around rebuilding acq_parameter.
const char* Database_PoRenewalOptionsView() {
  return R"(CREATE VIEW po_renewal_options AS
       SELECT p."vendor#", v.name AS vendor_name, p.location,
              min(pl.next_renewal_date) AS begin_date, max(pl.next_renewal_date) AS end_date,
              (SELECT fiscal_year FROM acq_parameter) AS renew_to_year
       FROM po_line pl
       JOIN po p ON p."po#" = pl."po#"
       JOIN vendor v ON v."vendor#" = p."vendor#"
       WHERE p.renewal_type IN (1, 2) AND pl.next_renewal_date IS NOT NULL
       GROUP BY p."vendor#", v.name, p.location)";
}

std::vector<std::string> Database_LibraryMigration() {
  return std::vector<std::string>(std::begin(kLibrary), std::end(kLibrary));
}
