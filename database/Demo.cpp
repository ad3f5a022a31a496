// Password hashes of the users table and the demo library that `acq init
// --demo` and the tests start from.
#include "database/Database.h"

#include <sodium.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

struct DemoUser {
  const char* name;
  const char* fullName;
  // Feature keys granted; nullptr alone means every feature.
  std::vector<const char*> features;
};

DbCode AddUser(pwdb::DbConnection& db, const DemoUser& user, std::string& error) {
  std::string hash;
  if (!Database_HashPassword(user.name, hash)) {
    error = "Cannot hash the password of user '" + std::string(user.name) + "'.";
    return kDbError;
  }
  DbCode rc = Database_Exec(db,
                            "INSERT INTO pw_user(user_name, password_hash, full_name, active) "
                            "VALUES(?,?,?,1)",
                            {DbsValue::Text(user.name), DbsValue::Text(hash),
                             DbsValue::Text(user.fullName)},
                            error);
  if (rc != kDbOk) return rc;
  if (user.features.size() == 1 && user.features[0] == nullptr) {
    return Database_Exec(db,
                         "INSERT INTO pw_user_privilege(user_name, privilege_number) "
                         "SELECT ?, privilege_number FROM program_feature",
                         {DbsValue::Text(user.name)}, error);
  }
  for (const char* feature : user.features) {
    int changes = 0;
    rc = Database_Exec(db,
                       "INSERT INTO pw_user_privilege(user_name, privilege_number) "
                       "SELECT ?, privilege_number FROM program_feature WHERE program_feature=?",
                       {DbsValue::Text(user.name), DbsValue::Text(feature)}, error, &changes);
    if (rc != kDbOk) return rc;
    if (changes != 1) {
      error = "Unknown program feature '" + std::string(feature) + "'.";
      return kDbError;
    }
  }
  return kDbOk;
}

const char* const kDemoStatements[] = {
    R"(INSERT INTO location(location, name, address_position, address1, address2, city,
                           state, postal_code, country, phone) VALUES
      ('MAIN', 'Main Library', 1, '100 Library Square', NULL, 'Springfield', 'IL', '62701',
       'USA', '217-555-0100'),
      ('BRANCH', 'Riverside Branch', 0, '42 River Road', 'Suite 2', 'Springfield', 'IL',
       '62704', 'USA', '217-555-0142'))",
    R"(UPDATE acq_parameter SET fiscal_year=2026, isbn_duplication_index='isbn',
         issn_duplication_index='issn', track_budget_trans=1, budget_contract_checks=1,
         save_po_line_approval=0, copy_po_line_approval=0, renew_po_line_approval=0,
         print_without_labels=0, base_currency='USD', print_workslip=1,
         multi_location_edi=0, one_tag_only=0, price_upd_method=1)",
    "INSERT INTO matham(decimal_digits, currency_symbol) VALUES(2, '$')",
    "INSERT INTO pw_column(table_name, column_name, key_string_type) "
    "VALUES('item', 'ibarcode', 'BARCODE')",
    R"(INSERT INTO marc_usage(module, marc_ord, tag, subfields, descr) VALUES
      (2, 1, '020', 'a', 'ISBN'), (2, 2, '010', 'a', 'LCCN'),
      (2, 3, '245', 'ab', 'Title'), (2, 4, '100', 'a', 'Author'),
      (2, 5, '260', 'b', 'Publisher'))",
};

// ---- the acquisitions of the demo library --------------------------------------------------
//
// Written with two helpers that exist only while the demo loads: day('2026-01-12')
// gives a day number and money('24.95') an amount in millionths. The story, in
// fiscal year 2026 (the base currency is USD; CAD is 0.73 and GBP 1.27, GBP was
// 1.25 when the 2025 subscriptions were paid):
//
//   PO  number        vendor                state of its items
//   1   PO-2026-0001  Northfield (STAND26)  L1 received and invoiced (statement 2),
//                                           L2 received, L3 ordered (split 60/40)
//   2   PO-O'B-1      O'Brien               L1 received; L2 one ordered, one cancelled
//   3   PO-2026-0003  Maple Leaf (CAD)      approved, not yet ordered
//   4   4             Thames (SUBS26)       renewal order: L1 new (renews PO 5 line 1),
//                                           renewing on 2027-01-01 (budgets for 2027
//                                           and contract SUBS27 are ready),
//                                           L2 ordered
//   5   PO-2025-0107  Thames (SUBS25)       2025 subscriptions invoiced on statement 1
//                                           (approved, voucher 1); L1 renewed, L2
//                                           discontinued
//   6   PO-2026-0006  Cascade Media         new (not approved); L3 split 50/50
//   7   PO-2026-0007  Northfield (STAND26)  restricted SPECIAL budget; L2 back-ordered
//   8   PO-2026-0008  O'Brien               L1 ordered (item 2 requested by a patron),
//                                           L2 approved
//
// The budget and contract totals below are the sums of the item money that
// follows (amount x exchange rate, on order or spent), plus the extra charges
// charged to a budget; SchemaTest checks that they add up.
const char* const kDemoLibrary[] = {
    // Addresses: each location has one default billing and one default
    // shipping address; TECH may serve as either but is the default of neither.
    R"(INSERT INTO address(location, address_code, name, address1, city, state, postal_code,
                          country, san, ean_gln, bill_to, ship_to, default_bill_to,
                          default_ship_to) VALUES
      ('MAIN', 'ACCTS', 'Main Library - Accounts Payable', '100 Library Square',
       'Springfield', 'IL', '62701', 'USA', '800-1100', '0614141100014', 1, 0, 1, 0),
      ('MAIN', 'RECV', 'Main Library - Receiving', '100 Library Square, Dock B',
       'Springfield', 'IL', '62701', 'USA', '800-1101', NULL, 0, 1, 0, 1),
      ('MAIN', 'TECH', 'Main Library - Technical Services', '100 Library Square, Room 210',
       'Springfield', 'IL', '62701', 'USA', NULL, NULL, 1, 1, 0, 0),
      ('BRANCH', 'RIVER', 'Riverside Branch', '42 River Road, Suite 2',
       'Springfield', 'IL', '62704', 'USA', '800-1200', NULL, 1, 1, 1, 1))",
    R"(INSERT INTO collection(collection, descr) VALUES
      ('ADULT', 'Adult fiction'), ('NONFIC', 'Adult non-fiction'), ('REF', 'Reference'),
      ('JUV', 'Children'), ('AV', 'Audio-visual'), ('SERIAL', 'Periodicals'),
      ('SPCOL', 'Special collections'))",
    R"(INSERT INTO borrower("borrower#", name, reconst, bbarcode, location) VALUES
      (1, 'Ann Lee', 'Lee, Ann', '21234000000017', 'MAIN'),
      (2, 'Patrick O''Neil', 'O''Neil, Patrick', '21234000000025', 'BRANCH'),
      (3, 'Maria Santos', 'Santos, Maria', '21234000000033', 'MAIN'),
      (4, 'Kwame Mensah', 'Mensah, Kwame', '21234000000041', 'BRANCH'),
      (5, 'Lena Fischer', 'Fischer, Lena', '21234000000058', 'MAIN'))",

    R"(INSERT INTO currency(currency, descr, exchange_rate, n_decimals, currency_symbol) VALUES
      ('USD', 'US dollar', money('1'), 2, '$'),
      ('CAD', 'Canadian dollar', money('0.73'), 2, 'C$'),
      ('GBP', 'Pound sterling', money('1.27'), 2, '£'))",
    R"(INSERT INTO subscription_period(subscription_period, descr, unit, unit_increment) VALUES
      ('ANNUAL', 'One year', 0, 1), ('SEMIANNUAL', 'Six months', 1, 6),
      ('QUARTERLY', 'Three months', 1, 3), ('MONTHLY', 'One month', 1, 1),
      ('WEEKLY', 'One week', 2, 7))",

    // Vendors: claims after first_claim_delay days, then every claim_interval
    // days, at most max_claims times (Cascade is never claimed).
    R"(INSERT INTO vendor("vendor#", vendor_code, name, currency, san, san_suffix, ean_gln,
                         cust_number, gst_number, default_discount, min_order_amount,
                         first_claim_delay, claim_interval, max_claims, enhanced_services,
                         vendor_note) VALUES
      (1, 'NORTHFLD', 'Northfield Book Distributors', 'USD', '800-1001', '00001',
       '0614141200011', 'NF-4410', NULL, money('10'), money('50.00'), 30, 21, 3, 1,
       'Ship complete orders only.'),
      (2, 'OBRIEN', 'O''Brien Library Supply', 'USD', '800-2002', NULL, NULL, 'OB-7', NULL,
       money('5'), NULL, 45, 30, 2, 0, 'Call before delivering to the branch''s side door.'),
      (3, 'MAPLELF', 'Maple Leaf Academic Books', 'CAD', '800-3003', NULL, '0614141300018',
       'ML-22', 'R123456789', NULL, money('100.00'), 60, 30, 2, 0, 'Prices in CAD.'),
      (4, 'THAMES', 'Thames Periodicals Ltd', 'GBP', NULL, NULL, '0614141400015', 'TP-9001',
       NULL, NULL, NULL, 30, 30, 4, 1, NULL),
      (5, 'CASCADE', 'Cascade Media & Audio', 'USD', NULL, NULL, NULL, NULL, NULL, NULL, NULL,
       NULL, 30, 0, 0, NULL))",
    R"(INSERT INTO vendor_address("vendor#", address_code, descr, address1, address2, address3,
                                 phone, email, orders, vouchers, claims) VALUES
      (1, 'MAIN', 'Northfield Book Distributors', '2200 Commerce Drive', 'Dayton, OH 45402',
       NULL, '937-555-0110', 'orders@northfield.example', 1, 1, 1),
      (2, 'ORDERS', 'O''Brien Library Supply - Orders', '18 Harbor Street', 'Boston, MA 02110',
       NULL, '617-555-0172', 'orders@obrien.example', 1, 0, 1),
      (2, 'REMIT', 'O''Brien Library Supply - Remittance', 'PO Box 4471', 'Boston, MA 02111',
       NULL, NULL, NULL, 0, 1, 0),
      (3, 'MAIN', 'Maple Leaf Academic Books', '55 King Street West', 'Toronto, ON M5H 1J8',
       'Canada', '416-555-0133', NULL, 1, 1, 1),
      (4, 'MAIN', 'Thames Periodicals Ltd', '12 Riverside Walk', 'London SE1 9PP',
       'United Kingdom', '+44 20 7946 0321', 'subs@thames.example', 1, 1, 1),
      (5, 'MAIN', 'Cascade Media & Audio', '900 Pine Street', 'Seattle, WA 98101', NULL,
       '206-555-0190', NULL, 1, 1, 0))",
    // Contracts; STAND26 may reach 90 % of its amount on order and its
    // amount spent.
    R"(INSERT INTO vendor_contract("vendor#", vendor_contract, descr, location, cust_number,
                                  san_suffix, enhanced_services, begin_date, end_date, amount,
                                  on_order, spent, on_order_limit, on_order_limit_percent,
                                  spent_limit, spent_limit_percent) VALUES
      (1, 'STAND26', 'Standing orders 2026', NULL, 'NF-4410-SO', '00001', 1,
       day('2026-01-01'), day('2026-12-31'), money('5000.00'), money('486.85'),
       0, money('90'), 1, money('5000.00'), 0),
      (4, 'SUBS25', 'Periodicals 2025', 'MAIN', 'TP-9001-M', NULL, 0, day('2025-01-01'),
       day('2025-12-31'), money('1500.00'), 0, money('300.00'), NULL, 0, NULL, 0),
      (4, 'SUBS26', 'Periodicals 2026', 'MAIN', 'TP-9001-M', NULL, 0, day('2026-01-01'),
       day('2026-12-31'), money('2000.00'), money('476.25'), 0, NULL, 0, NULL, 0),
      (4, 'SUBS27', 'Periodicals 2027', 'MAIN', 'TP-9001-M', NULL, 0, day('2027-01-01'),
       day('2027-12-31'), money('2200.00'), 0, 0, NULL, 0, NULL, 0))",

    // Accounts and their budgets for 2025 (closed, audio-visual frozen),
    // 2026 (children's frozen) and 2027 (allocated, nothing on order yet, so
    // the subscriptions can be renewed into it). Limits: ADULT.2026 90 % of
    // its amount on order, REF.2026 4000.00 on order and 95 % spent, AV.2026
    // 2500.00 spent. SPECIAL is open to the administrator only.
    R"(INSERT INTO account(account, descr, acct_ref, inflation_factor,
                          transfer_unspent_percent) VALUES
      ('ADULT', 'Adult books', '100-4510', 5, NULL),
      ('REF', 'Reference', '100-4520', NULL, 50),
      ('CHILD', 'Children''s books', '100-4530', NULL, NULL),
      ('SERIAL', 'Serials', '100-4540', 8, NULL),
      ('AV', 'Audio-visual', '100-4550', NULL, NULL),
      ('SPECIAL', 'Special collections', '100-4560', NULL, NULL),
      ('OPS', 'Freight and handling', '100-6100', NULL, NULL))",
    R"(INSERT INTO account_year(account, year, status, amount, on_order, spent, on_order_limit,
                               on_order_limit_percent, spent_limit, spent_limit_percent) VALUES
      ('ADULT',   2025, 2, money('11000.00'), 0, 0, NULL, 0, NULL, 0),
      ('REF',     2025, 2, money('7500.00'), 0, 0, NULL, 0, NULL, 0),
      ('CHILD',   2025, 2, money('5500.00'), 0, 0, NULL, 0, NULL, 0),
      ('SERIAL',  2025, 2, money('9500.00'), 0, money('300.00'), NULL, 0, NULL, 0),
      ('AV',      2025, 1, money('2800.00'), 0, 0, NULL, 0, NULL, 0),
      ('SPECIAL', 2025, 2, money('2000.00'), 0, 0, NULL, 0, NULL, 0),
      ('OPS',     2025, 2, money('1400.00'), 0, money('18.75'), NULL, 0, NULL, 0),
      ('ADULT',   2026, 0, money('12000.00'), money('273.37'), 0,
                  money('90'), 1, NULL, 0),
      ('REF',     2026, 0, money('8000.00'), money('277.12'), 0,
                  money('4000.00'), 0, money('95'), 1),
      ('CHILD',   2026, 1, money('6000.00'), money('224.98'), 0, NULL, 0, NULL, 0),
      ('SERIAL',  2026, 0, money('10000.00'), money('476.25'), 0, NULL, 0, NULL, 0),
      ('AV',      2026, 0, money('3000.00'), money('126.93'), 0, NULL, 0, money('2500.00'), 0),
      ('SPECIAL', 2026, 0, money('2500.00'), money('205.00'), 0, NULL, 0, NULL, 0),
      ('OPS',     2026, 0, money('1500.00'), money('9.50'), 0, NULL, 0, NULL, 0),
      ('ADULT',   2027, 0, money('12500.00'), 0, 0, NULL, 0, NULL, 0),
      ('REF',     2027, 0, money('8000.00'), 0, 0, NULL, 0, NULL, 0),
      ('CHILD',   2027, 0, money('6000.00'), 0, 0, NULL, 0, NULL, 0),
      ('SERIAL',  2027, 0, money('10800.00'), 0, 0, NULL, 0, NULL, 0),
      ('AV',      2027, 0, money('3000.00'), 0, 0, NULL, 0, NULL, 0),
      ('SPECIAL', 2027, 0, money('2500.00'), 0, 0, NULL, 0, NULL, 0),
      ('OPS',     2027, 0, money('1500.00'), 0, 0, NULL, 0, NULL, 0))",
    "INSERT INTO account_restriction(account, user_name) VALUES('SPECIAL', 'admin')",
    R"(INSERT INTO extra_charge_type(extra_charge_type, descr, account) VALUES
      ('SHIP', 'Shipping', 'OPS'), ('HANDLE', 'Handling', 'OPS'),
      ('TAX', 'Sales tax', 'OPS'), ('SVC', 'Service charge', NULL))",
    R"(INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, budget,
                                   position) VALUES
      (1, NULL, 0, 'Collections 2026', NULL, 1),
      (2, 1, 1, 'Print', NULL, 1),
      (3, 2, 2, 'ADULT.2026', 'ADULT.2026', 1),
      (4, 2, 2, 'REF.2026', 'REF.2026', 2),
      (5, 2, 2, 'CHILD.2026', 'CHILD.2026', 3),
      (6, 1, 1, 'Non-print', NULL, 2),
      (7, 6, 2, 'AV.2026', 'AV.2026', 1),
      (8, 6, 2, 'SERIAL.2026', 'SERIAL.2026', 2))",

    // Purchase orders.
    R"(INSERT INTO po("po#", po_number, "vendor#", vendor_contract, currency, spent_event,
                     item_creation, attach_barcode, renewal_type, "renew_po#",
                     subscription_period, location, bill_to_address, ship_to_address,
                     creation_date, last_update_date) VALUES
      (1, 'PO-2026-0001', 1, 'STAND26', 'USD', 0, 2, 1, 0, NULL, NULL,
       'MAIN', 'ACCTS', 'RECV', day('2026-01-09'), day('2026-02-06')),
      (2, 'PO-O''B-1', 2, NULL, 'USD', 1, 6, 0, 0, NULL, NULL,
       'BRANCH', 'RIVER', 'RIVER', day('2026-01-19'), day('2026-02-04')),
      (3, 'PO-2026-0003', 3, NULL, 'CAD', 0, 4, 0, 0, NULL, NULL,
       'MAIN', 'ACCTS', 'RECV', day('2026-01-26'), day('2026-01-27')),
      (4, '4', 4, 'SUBS26', 'GBP', 1, 0, 0, 1, NULL, 'ANNUAL',
       'MAIN', 'ACCTS', 'RECV', day('2025-12-01'), day('2026-01-05')),
      (5, 'PO-2025-0107', 4, 'SUBS25', 'GBP', 1, 0, 0, 1, 4, 'ANNUAL',
       'MAIN', 'ACCTS', 'RECV', day('2024-12-02'), day('2025-12-01')),
      (6, 'PO-2026-0006', 5, NULL, 'USD', 0, 6, 0, 0, NULL, NULL,
       'MAIN', 'TECH', 'TECH', day('2026-02-10'), day('2026-02-10')),
      (7, 'PO-2026-0007', 1, 'STAND26', 'USD', 0, 2, 0, 0, NULL, NULL,
       'MAIN', 'ACCTS', 'RECV', day('2026-01-14'), day('2026-02-02')),
      (8, 'PO-2026-0008', 2, NULL, 'USD', 0, 6, 0, 0, NULL, NULL,
       'BRANCH', 'RIVER', 'RIVER', day('2026-02-02'), day('2026-02-03')))",
    R"(INSERT INTO po_line("po#", line, "bib#", media_type, title, author, publisher,
                          publication_date, isbn, issn, unit_price, last_item, call_number,
                          next_renewal_date, renew_line, order_note, internal_note,
                          workslip_note) VALUES
      (1, 1, 1001, 'BOOK', 'The Lighthouse Keeper''s Daughter', 'Morrow, Elise',
       'Harbor Light Press', '2025', '9781555000011', NULL, money('24.95'), 3, 'FIC MOR',
       NULL, NULL, NULL, NULL, 'Book club set'),
      (1, 2, 1002, 'BOOK', 'Atlas of Coastal Birds', 'Ortiz, Rafael', 'Greenwing Books',
       '2024', '9781555000028', NULL, money('65.00'), 2, 'R 598.2 ORT', NULL, NULL, NULL, NULL,
       NULL),
      (1, 3, 1003, 'BOOK', 'Rivers of the Midwest: A Natural History', 'Whitfield, Dana',
       'Prairie State University Press', '2025', '9781555000035', NULL, money('38.50'), 2,
       '577.6 WHI', NULL, NULL, NULL, NULL, NULL),
      (2, 1, 1004, 'BOOK', 'Picture Book Classics (boxed set)', NULL, 'Little Acorn Books',
       '2023', '9781555000042', NULL, money('89.99'), 2, 'E PIC', NULL, NULL, NULL, NULL,
       'Storytime collection'),
      (2, 2, 1005, 'BOOK', 'Junior Science Encyclopedia', NULL, 'Lumen Kids', '2025',
       '9781555000059', NULL, money('45.00'), 2, 'J 503 JUN', NULL, NULL, NULL,
       'Second copy cancelled: out of print.', NULL),
      (3, 1, 1006, 'BOOK', 'A History of the Canadian Prairies', 'Dubois, Marguerite',
       'Northern Plains Press', '2024', '9781555000066', NULL, money('42.00'), 2,
       '971.2 DUB', NULL, NULL, NULL, NULL, NULL),
      (3, 2, 1007, 'BOOK', 'Northern Lights: Poems', 'MacLeod, Ian', 'Aurora Editions',
       '2025', '9781555000073', NULL, money('28.00'), 3, '811 MAC', NULL, NULL, NULL, NULL,
       NULL),
      (4, 1, 880, 'SERIAL', 'Journal of Library Science', NULL, 'Thames Periodicals', NULL,
       NULL, '1234-5679', money('185.00'), 1, NULL, day('2027-01-01'), NULL, NULL, NULL,
       NULL),
      (4, 2, 1008, 'SERIAL', 'Digital Preservation Review', NULL, 'Thames Periodicals',
       NULL, NULL, '2345-6787', money('95.00'), 2, NULL, day('2027-01-01'), NULL, NULL, NULL,
       NULL),
      (5, 1, 880, 'SERIAL', 'Journal of Library Science', NULL, 'Thames Periodicals', NULL,
       NULL, '1234-5679', money('180.00'), 1, NULL, day('2027-01-01'), 1, NULL, NULL, NULL),
      (5, 2, 881, 'SERIAL', 'Archivist Quarterly', NULL, 'Thames Periodicals', NULL, NULL,
       '3456-7895', money('60.00'), 1, NULL, NULL, NULL, NULL, 'Discontinued for 2026.',
       NULL),
      (6, 1, NULL, 'DVD', 'Wild Places: Nature Documentary Collection', NULL,
       'Cascade Media', '2025', '9781555000080', NULL, money('29.99'), 2, 'DVD 508 WIL',
       NULL, NULL, NULL, NULL, NULL),
      (6, 2, NULL, 'CD', 'The Quiet Harbor (audiobook)', 'Morrow, Elise', 'Cascade Media',
       '2025', '9781555000097', NULL, money('39.95'), 1, 'CD FIC MOR', NULL, NULL, NULL,
       NULL, NULL),
      (6, 3, NULL, 'CD', 'Conversational Spanish Course', NULL, 'Cascade Media', '2024',
       '9781555000103', NULL, money('54.00'), 1, 'CD 468 CON', NULL, NULL, NULL, NULL, NULL),
      (7, 1, 1009, 'BOOK', 'Letterpress Printing in America, 1850-1950', 'Hale, Thomas',
       'Ironbound Press', '2022', '9781555000110', NULL, money('120.00'), 1, 'SPCOL 686.2 HAL',
       NULL, NULL, 'Signed copy if available.', NULL, NULL),
      (7, 2, 1010, 'MAP', 'Facsimile Map of Illinois, 1820', NULL, 'Ironbound Press', '2021',
       '9781555000127', NULL, money('85.00'), 1, 'SPCOL MAP 977.3', NULL, NULL, NULL,
       'Vendor reports a reprint due in April.', NULL),
      (8, 1, 1011, 'BOOK', 'Library Programming for Teens', 'Nakamura, Jo',
       'Stacks & Co.', '2025', '9781555000134', NULL, money('32.00'), 2, '027.62 NAK', NULL,
       NULL, NULL, NULL, 'Hold for patron request'),
      (8, 2, 1012, 'BOOK', 'The Makerspace Handbook', 'Okafor, Chidi', 'Stacks & Co.', '2024',
       '9781555000141', NULL, money('27.50'), 2, 'R 607 OKA', NULL, NULL, NULL, NULL, NULL))",
    // Records from 1000 on were created for these orders; 880 and 881 are
    // the catalogue's own serials.
    R"(INSERT INTO bib_control("bib#", acq_controlled, creation_date)
         SELECT DISTINCT "bib#", CASE WHEN "bib#" >= 1000 THEN 1 ELSE 0 END, day('2026-01-09') FROM po_line
         WHERE "bib#" IS NOT NULL)",

    // The ordered copies: where they go and what pays (a budget or a split).
    R"(INSERT INTO po_line_item("po#", line, item, location, collection, itype, budget,
                               budget_split, "borrower#", renew_item, begin_date,
                               end_date) VALUES
      (1, 1, 1, 'MAIN', 'ADULT', 'BOOK', 'ADULT.2026', NULL, NULL, NULL, NULL, NULL),
      (1, 1, 2, 'MAIN', 'ADULT', 'BOOK', 'ADULT.2026', NULL, NULL, NULL, NULL, NULL),
      (1, 1, 3, 'MAIN', 'ADULT', 'BOOK', 'ADULT.2026', NULL, NULL, NULL, NULL, NULL),
      (1, 2, 1, 'MAIN', 'REF', 'REFBK', 'REF.2026', NULL, NULL, NULL, NULL, NULL),
      (1, 2, 2, 'MAIN', 'REF', 'REFBK', 'REF.2026', NULL, NULL, NULL, NULL, NULL),
      (1, 3, 1, 'MAIN', 'NONFIC', 'BOOK', NULL, 'ADULT.2026 60% + REF.2026 40%',
       NULL, NULL, NULL, NULL),
      (1, 3, 2, 'MAIN', 'NONFIC', 'BOOK', NULL, 'ADULT.2026 60% + REF.2026 40%',
       NULL, NULL, NULL, NULL),
      (2, 1, 1, 'BRANCH', 'JUV', 'BOOK', 'CHILD.2026', NULL, NULL, NULL, NULL, NULL),
      (2, 1, 2, 'BRANCH', 'JUV', 'BOOK', 'CHILD.2026', NULL, NULL, NULL, NULL, NULL),
      (2, 2, 1, 'BRANCH', 'JUV', 'REFBK', 'CHILD.2026', NULL, NULL, NULL, NULL, NULL),
      (2, 2, 2, 'BRANCH', 'JUV', 'REFBK', 'CHILD.2026', NULL, NULL, NULL, NULL, NULL),
      (3, 1, 1, 'MAIN', 'REF', 'REFBK', 'REF.2026', NULL, NULL, NULL, NULL, NULL),
      (3, 1, 2, 'MAIN', 'REF', 'REFBK', 'REF.2026', NULL, NULL, NULL, NULL, NULL),
      (3, 2, 1, 'MAIN', 'ADULT', 'BOOK', 'ADULT.2026', NULL, NULL, NULL, NULL, NULL),
      (3, 2, 2, 'MAIN', 'ADULT', 'BOOK', 'ADULT.2026', NULL, NULL, NULL, NULL, NULL),
      (3, 2, 3, 'BRANCH', 'ADULT', 'BOOK', 'ADULT.2026', NULL, NULL, NULL, NULL, NULL),
      (4, 1, 1, 'MAIN', 'SERIAL', 'SERIAL', 'SERIAL.2026', NULL, NULL, 1,
       day('2026-01-01'), day('2026-12-31')),
      (4, 2, 1, 'MAIN', 'SERIAL', 'SERIAL', 'SERIAL.2026', NULL, NULL, NULL,
       day('2026-01-01'), day('2026-12-31')),
      (4, 2, 2, 'MAIN', 'SERIAL', 'SERIAL', 'SERIAL.2026', NULL, NULL, NULL,
       day('2026-01-01'), day('2026-12-31')),
      (5, 1, 1, 'MAIN', 'SERIAL', 'SERIAL', 'SERIAL.2025', NULL, NULL, NULL,
       day('2025-01-01'), day('2025-12-31')),
      (5, 2, 1, 'MAIN', 'SERIAL', 'SERIAL', 'SERIAL.2025', NULL, NULL, NULL,
       day('2025-01-01'), day('2025-12-31')),
      (6, 1, 1, 'MAIN', 'AV', 'DVD', 'AV.2026', NULL, NULL, NULL, NULL, NULL),
      (6, 1, 2, 'MAIN', 'AV', 'DVD', 'AV.2026', NULL, NULL, NULL, NULL, NULL),
      (6, 2, 1, 'MAIN', 'AV', 'CD', 'AV.2026', NULL, NULL, NULL, NULL, NULL),
      (6, 3, 1, 'MAIN', 'AV', 'CD', NULL, 'AV.2026 50% + ADULT.2026 50%',
       NULL, NULL, NULL, NULL),
      (7, 1, 1, 'MAIN', 'SPCOL', 'BOOK', 'SPECIAL.2026', NULL, NULL, NULL, NULL, NULL),
      (7, 2, 1, 'MAIN', 'SPCOL', 'MAP', 'SPECIAL.2026', NULL, NULL, NULL, NULL, NULL),
      (8, 1, 1, 'BRANCH', 'NONFIC', 'BOOK', 'ADULT.2026', NULL, NULL, NULL, NULL, NULL),
      (8, 1, 2, 'BRANCH', 'NONFIC', 'BOOK', 'ADULT.2026', NULL, 2, NULL, NULL, NULL),
      (8, 2, 1, 'BRANCH', 'REF', 'REFBK', 'REF.2026', NULL, NULL, NULL, NULL, NULL),
      (8, 2, 2, 'BRANCH', 'REF', 'REFBK', 'REF.2026', NULL, NULL, NULL, NULL, NULL))",
    R"(INSERT INTO po_line_item_budget("po#", line, item, budget, percentage) VALUES
      (1, 3, 1, 'ADULT.2026', 60), (1, 3, 1, 'REF.2026', 40),
      (1, 3, 2, 'ADULT.2026', 60), (1, 3, 2, 'REF.2026', 40),
      (6, 3, 1, 'AV.2026', 50), (6, 3, 1, 'ADULT.2026', 50))",

    // What happened to them, PO by PO. Printing an order sets order_date and
    // printed_date; receiving clears printed_date.
    R"(UPDATE po_line_item SET approve_date = day('2026-01-12'), order_date = day('2026-01-13')
         WHERE "po#" = 1)",
    R"(UPDATE po_line_item SET receive_date = day('2026-02-03')
         WHERE "po#" = 1 AND line IN (1, 2))",
    R"(UPDATE po_line_item SET invoice_date = day('2026-02-06') WHERE "po#" = 1 AND line = 1)",
    R"(UPDATE po_line_item SET approve_date = day('2026-01-20'), order_date = day('2026-01-21')
         WHERE "po#" = 2)",
    R"(UPDATE po_line_item SET receive_date = day('2026-02-04') WHERE "po#" = 2 AND line = 1)",
    R"(UPDATE po_line_item SET cancel_date = day('2026-02-04')
         WHERE "po#" = 2 AND line = 2 AND item = 2)",
    "UPDATE po_line_item SET approve_date = day('2026-01-27') WHERE \"po#\" = 3",
    R"(UPDATE po_line_item SET approve_date = day('2026-01-05'), order_date = day('2026-01-05')
         WHERE "po#" = 4 AND line = 2)",
    R"(UPDATE po_line_item SET approve_date = day('2024-12-02'), order_date = day('2024-12-03'),
         receive_date = day('2025-01-20'), invoice_date = day('2025-11-20'),
         renew_activity_date = day('2025-12-01'),
         renew_activity_type = CASE line WHEN 1 THEN 'renew' ELSE 'discont' END
         WHERE "po#" = 5)",
    R"(UPDATE po_line_item SET approve_date = day('2026-01-15'), order_date = day('2026-01-16')
         WHERE "po#" = 7)",
    R"(UPDATE po_line_item SET approve_date = day('2026-02-02') WHERE "po#" = 8)",
    R"(UPDATE po_line_item SET order_date = day('2026-02-03') WHERE "po#" = 8 AND line = 1)",
    R"(UPDATE po_line_item SET printed_date = order_date
         WHERE order_date IS NOT NULL AND receive_date IS NULL AND cancel_date IS NULL)",
    // Claims fall due as the vendor's settings say, except the back order.
    R"(UPDATE po_line_item SET next_claim_date = order_date +
           (SELECT coalesce(v.first_claim_delay, v.claim_interval) FROM po p
            JOIN vendor v ON v."vendor#" = p."vendor#" WHERE p."po#" = po_line_item."po#")
         WHERE order_date IS NOT NULL AND receive_date IS NULL AND cancel_date IS NULL
           AND (SELECT v.max_claims FROM po p JOIN vendor v ON v."vendor#" = p."vendor#"
                WHERE p."po#" = po_line_item."po#") > 0)",
    R"(UPDATE po_line_item SET next_claim_date = day('2026-04-15'), printed_date = NULL
         WHERE "po#" = 7 AND line = 2)",

    // Statements: 1 (Thames, 2025, approved and vouchered) and 2 (Northfield,
    // not yet approved). Both balance: lines plus charged extra charges.
    R"(INSERT INTO statement("statement#", statement_number, statement_type, "vendor#", amount,
                            amount_remaining, currency, exchange_rate, statement_date,
                            approve_date, note, creation_date, last_update_date) VALUES
      (1, 'TP-2025-118', 0, 4, money('255.00'), money('255.00'), 'GBP', money('1.25'),
       day('2025-11-20'), day('2025-11-28'), 'Subscriptions 2025', day('2025-11-24'),
       day('2025-11-28')),
      (2, 'NF-88123', 0, 1, money('84.35'), money('84.35'), 'USD', money('1'),
       day('2026-02-05'), NULL, 'Standing order shipment', day('2026-02-06'),
       day('2026-02-06')))",
    R"(INSERT INTO statement_line("statement#", statement_line, statement_line_type, "po#",
                                 line, location, quantity, amount) VALUES
      (1, 1, 0, 5, 1, 'MAIN', 1, money('180.00')),
      (1, 2, 0, 5, 2, 'MAIN', 1, money('60.00')),
      (2, 1, 0, 1, 1, 'MAIN', 3, money('74.85')))",
    R"(INSERT INTO statement_extra_charge("statement#", extra_charge_type, amount,
                                         exchange_rate, budget, spent, "voucher#") VALUES
      (1, 'SHIP', money('15.00'), money('1.25'), 'OPS.2025', 1, 1),
      (2, 'SHIP', money('9.50'), money('1'), 'OPS.2026', 0, NULL))",
    R"(INSERT INTO voucher("voucher#", voucher_number, "statement#", "vendor#", voucher_date,
                          amount, currency, printed_date) VALUES
      (1, 'V-2025-0001', 1, 4, day('2025-12-03'), money('255.00'), 'GBP', day('2025-12-03')))",
    R"(INSERT INTO payables("voucher#", "statement#", "vendor#", status, amount, currency,
                           invoice_date) VALUES
      (1, 1, 4, 0, money('255.00'), 'GBP', day('2025-11-20')))",

    // Item money. Invoiced items carry their statement's rows: spent once
    // the statement is approved (PO 5's, on approved statement 1); PO 1's
    // wait on order for statement 2's approval...
    R"(INSERT INTO po_line_item_budget_amount("po#", line, item, budget, amount, exchange_rate,
                                             spent, "statement#", statement_line,
                                             statement_line_type, "voucher#") VALUES
      (5, 1, 1, 'SERIAL.2025', money('180.00'), money('1.25'), 1, 1, 1, 0, 1),
      (5, 2, 1, 'SERIAL.2025', money('60.00'), money('1.25'), 1, 1, 2, 0, 1),
      (1, 1, 1, 'ADULT.2026', money('24.95'), money('1'), 0, 2, 1, 0, NULL),
      (1, 1, 2, 'ADULT.2026', money('24.95'), money('1'), 0, 2, 1, 0, NULL),
      (1, 1, 3, 'ADULT.2026', money('24.95'), money('1'), 0, 2, 1, 0, NULL))",
    // ... every other item that is not cancelled is on order at its line's
    // price, at today's rate of the PO currency, split by its percentages.
    R"(INSERT INTO po_line_item_budget_amount("po#", line, item, budget, amount, exchange_rate)
         SELECT i."po#", i.line, i.item, coalesce(b.budget, i.budget),
                pl.unit_price * coalesce(b.percentage, 100) / 100, c.exchange_rate
         FROM po_line_item i
         JOIN po_line pl ON pl."po#" = i."po#" AND pl.line = i.line
         JOIN po p ON p."po#" = i."po#"
         JOIN currency c ON c.currency = p.currency
         LEFT JOIN po_line_item_budget b
           ON b."po#" = i."po#" AND b.line = i.line AND b.item = i.item
         WHERE i.invoice_date IS NULL AND i.cancel_date IS NULL)",

    // History: one row per item and activity, at one time per activity.
    R"(INSERT INTO po_line_item_history("po#", line, item, po_activity_type, date, time)
         SELECT "po#", line, item, 'approve', approve_date, 570 FROM po_line_item
         WHERE approve_date IS NOT NULL
         UNION ALL
         SELECT "po#", line, item, 'receive', receive_date, 615 FROM po_line_item
         WHERE receive_date IS NOT NULL
         UNION ALL
         SELECT "po#", line, item, 'cancel', cancel_date, 660 FROM po_line_item
         WHERE cancel_date IS NOT NULL
         UNION ALL
         SELECT "po#", line, item, renew_activity_type, renew_activity_date, 840
         FROM po_line_item WHERE renew_activity_date IS NOT NULL)",
    R"(INSERT INTO po_line_item_history("po#", line, item, po_activity_type, date, time,
                                       "statement#", amount, exchange_rate)
         SELECT p."po#", p.line, p.item, 'invoice', i.invoice_date, 640, p."statement#",
                p.amount, p.exchange_rate
         FROM po_line_item_budget_amount p
         JOIN po_line_item i ON i."po#" = p."po#" AND i.line = p.line AND i.item = p.item
         WHERE p."statement#" IS NOT NULL AND p.extra_charge_type IS NULL)",
    R"(INSERT INTO po_line_item_history("po#", line, item, po_activity_type, date, time,
                                       next_claim_date, internal_note) VALUES
      (7, 2, 1, 'backord', day('2026-02-02'), 605, day('2026-04-15'),
       'Vendor reports a reprint due in April.'))",

    // Serial copies of two subscriptions (acq_status 4 received, 3 on order).
    R"(INSERT INTO copy("copy#", "bib#", media_type, acq_status, acq_controlled, "vendor#",
                       item_creation, itype, location, collection, renewal_date,
                       first_claim_delay, claim_interval, max_claims) VALUES
      (1, 880, 'SERIAL', 4, 1, 4, 0, 'SERIAL', 'MAIN', 'SERIAL', day('2026-01-01'), 30, 30, 4),
      (2, 1008, 'SERIAL', 3, 1, 4, 0, 'SERIAL', 'MAIN', 'SERIAL', day('2027-01-01'), 30, 30, 4))",
    R"(UPDATE po_line_item SET "copy#" = 1 WHERE "po#" = 5 AND line = 1)",
    R"(UPDATE po_line_item SET "copy#" = 2 WHERE "po#" = 4 AND line = 2 AND item = 1)",

    // A distribution pattern, a template, a purchase request and a
    // workslip batch of the receiving desk.
    R"(INSERT INTO po_line_pattern("po_line_pattern#", pattern) VALUES (1, 'Main 2 + Branch 1'))",
    R"(INSERT INTO po_line_item_pattern("po_line_pattern#", item, location, collection, itype,
                                       budget, budget_split, ship_to_address) VALUES
      (1, 1, 'MAIN', 'ADULT', 'BOOK', 'ADULT.2026', NULL, 'RECV'),
      (1, 2, 'MAIN', 'ADULT', 'BOOK', 'ADULT.2026', NULL, 'RECV'),
      (1, 3, 'BRANCH', 'ADULT', 'BOOK', NULL, 'ADULT.2026 50% + REF.2026 50%', 'RIVER'))",
    R"(INSERT INTO po_line_item_budget_pattern("po_line_pattern#", item, budget, percentage)
         VALUES (1, 3, 'ADULT.2026', 50), (1, 3, 'REF.2026', 50))",
    R"(INSERT INTO po_template(po_template, po_template_descr, "vendor#", vendor_contract,
                              currency, spent_event, item_creation, location, bill_to_address,
                              ship_to_address, "po_line_pattern#", user_assign_po_number)
         VALUES ('NORTHFIELD-SO', 'Northfield standing orders', 1, 'STAND26', 'USD', 0, 2,
                 'MAIN', 'ACCTS', 'RECV', 1, 0))",
    R"(INSERT INTO pr_category(pr_category, descr) VALUES
      ('PATRON', 'Patron suggestion'), ('STAFF', 'Staff selection'))",
    R"(INSERT INTO pr("pr#", pr_category, title, author, isbn, unit_price, currency,
                     "vendor#", "borrower#", request_date, note) VALUES
      (1, 'PATRON', 'The Gardener''s Almanac 2026', 'Price, Helen', '9781555000158',
       money('19.95'), 'USD', 1, 1, day('2026-02-11'), 'Requested at the branch desk.'))",
    R"(INSERT INTO pr_distribution("pr#", line, quantity, location, collection, itype, budget,
                                  ship_to) VALUES
      (1, 1, 2, 'MAIN', 'NONFIC', 'BOOK', 'ADULT.2026', 'RECV'),
      (1, 2, 1, 'BRANCH', 'NONFIC', 'BOOK', 'ADULT.2026', 'RIVER'))",
    R"(INSERT INTO workslip_batch("workslip_batch#", workstation_id, date_created)
         VALUES (1, 'WS-RECV1', day('2026-02-03')))",
    R"(INSERT INTO workslip_batch_po_line_item("workslip_batch#", "po#", line, item)
         VALUES (1, 1, 2, 1), (1, 1, 2, 2))",

    // The catalogue's duplicate-search index: the ordered titles' ISBNs and
    // ISSNs, plus records the catalogue holds without an order. Bib 1101 is
    // an older record of the coastal birds atlas catalogued with the same
    // ISBN in hyphenated form (a second order of it warns of two records);
    // 900 and 901 are catalogued titles not on order.
    R"(INSERT INTO bib_index(index_name, index_value, "bib#")
         SELECT DISTINCT 'isbn', isbn, "bib#" FROM po_line
         WHERE "bib#" IS NOT NULL AND isbn IS NOT NULL
         UNION SELECT DISTINCT 'issn', issn, "bib#" FROM po_line
         WHERE "bib#" IS NOT NULL AND issn IS NOT NULL)",
    R"(INSERT INTO bib_index(index_name, index_value, "bib#") VALUES
      ('isbn', '978-1-55500-002-8', 1101),
      ('isbn', '0-19-853453-X', 900),
      ('isbn', '978 0 19 853453 6', 900),
      ('isbn', '9781555000165', 901),
      ('issn', '0024-2519', 902))",

    // The renewal links of PO 5 line 1 into PO 4 line 1: the new line names
    // the PO it renews and the renewal date the old line had before.
    R"(UPDATE po_line SET renew_id = 5, prior_renewal_date = day('2026-01-01')
         WHERE "po#" = 4 AND line = 1)",
};

// The demo's statements write dates as day('YYYY-MM-DD') and amounts as
// money('12.50'); both are expanded here to the whole numbers the file
// stores (day numbers, millionths), so the statements run on any engine.
bool DayNumber(std::string_view text, int64_t& out) {
  int year = 0;
  unsigned month = 0;
  unsigned day = 0;
  if (std::sscanf(std::string(text).c_str(), "%d-%u-%u", &year, &month, &day) != 3) return false;
  // Days from 1970-01-01 of a proleptic Gregorian date (civil calendar).
  auto fromCivil = [](int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<int64_t>(era) * 146097 + static_cast<int64_t>(doe) - 719468;
  };
  out = fromCivil(year, month, day) - fromCivil(1900, 1, 1);
  return true;
}

// `sql` with every day('...') and money('...') replaced by its number;
// false with `error` naming a call whose argument is not a date or amount.
bool ExpandDemoCalls(std::string_view sql, std::string& out, std::string& error) {
  out.clear();
  size_t p = 0;
  while (p < sql.size()) {
    size_t next = std::string_view::npos;
    bool isDay = false;
    for (size_t at = p; at < sql.size(); ++at) {
      const bool wordStart =
          at == 0 || !(std::isalnum(static_cast<unsigned char>(sql[at - 1])) || sql[at - 1] == '_');
      if (!wordStart) continue;
      if (sql.substr(at, 5) == "day('") {
        next = at;
        isDay = true;
        break;
      }
      if (sql.substr(at, 7) == "money('") {
        next = at;
        break;
      }
    }
    if (next == std::string_view::npos) {
      out.append(sql.substr(p));
      break;
    }
    out.append(sql.substr(p, next - p));
    const size_t open = next + (isDay ? 5 : 7);
    const size_t close = sql.find("')", open);
    if (close == std::string_view::npos) {
      error = "Demo library: unterminated call at '" + std::string(sql.substr(next, 30)) + "'.";
      return false;
    }
    const std::string_view arg = sql.substr(open, close - open);
    int64_t value = 0;
    if (isDay ? !DayNumber(arg, value) : !Database_ParseDecimal(arg, value)) {
      error = std::string(isDay ? "day(): not a YYYY-MM-DD date" : "money(): not a number") +
              " ('" + std::string(arg) + "').";
      return false;
    }
    out += std::to_string(value);
    p = close + 2;
  }
  return true;
}

}  // namespace

// The cost of every hash made and checked here; a change applies to new
// hashes only (a stored hash carries its own).
constexpr unsigned long long kHashOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr size_t kHashMemory = crypto_pwhash_MEMLIMIT_INTERACTIVE;

bool Database_HashPassword(std::string_view password, std::string& hash) {
  if (!SodiumReady()) return false;
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, password.data(), password.size(), kHashOps, kHashMemory) != 0)
    return false;
  hash = out;
  return true;
}

// An empty `hash` (a user name that is not in the table) still costs one
// derivation at the cost of a new hash and never matches, so a refusal
// takes as long for an unknown name as for a known one with a wrong
// password.
namespace {
std::atomic<uint64_t> passwordDerivations{0};
}  // namespace

uint64_t Database_PasswordDerivations() { return passwordDerivations.load(); }

bool Database_VerifyPassword(std::string_view hash, std::string_view password) {
  if (!SodiumReady()) return false;
  ++passwordDerivations;
  if (hash.empty()) {
    unsigned char salt[crypto_pwhash_SALTBYTES] = {};
    unsigned char key[32];
    if (crypto_pwhash(key, sizeof key, password.data(), password.size(), salt, kHashOps,
                      kHashMemory, crypto_pwhash_ALG_DEFAULT) == 0)
      sodium_memzero(key, sizeof key);
    return false;
  }
  if (hash.size() >= crypto_pwhash_STRBYTES) return false;
  char stored[crypto_pwhash_STRBYTES] = {};
  hash.copy(stored, hash.size());
  return crypto_pwhash_str_verify(stored, password.data(), password.size()) == 0;
}

DbCode Database_LoadDemo(pwdb::DbConnection& db, std::string& error) {
  for (const char* sql : kDemoStatements) {
    DbCode rc = Database_Exec(db, sql, {}, error);
    if (rc != kDbOk) return rc;
  }
  std::string expanded;
  for (const char* sql : kDemoLibrary) {
    if (!ExpandDemoCalls(sql, expanded, error)) return kDbError;
    DbCode rc = Database_Exec(db, expanded, {}, error);
    if (rc != kDbOk) {
      error = "Demo library: " + error;
      return rc;
    }
  }
  const DemoUser users[] = {
      {"admin", "Library Administrator", {nullptr}},
      {"clerk", "Acquisitions Clerk", {"poFind", "poOpen", "poEdit", "poRec", "stFind"}},
      {"viewer", "Read-only Viewer", {"poFind"}},
  };
  for (const DemoUser& user : users) {
    DbCode rc = AddUser(db, user, error);
    if (rc != kDbOk) return rc;
  }
  return kDbOk;
}
