// Migration 15: the voucher list and voucher bookkeeping.
//
// The list shows every voucher and, first, the "(new)" candidates (voucher#
// 0, one per approved statement with spent money no voucher pays yet); its
// key is (voucher#, statement#), unique for both kinds of row. Its buttons
// (dialog 1590) create, print, save and void; the module asks each
// button's privilege. The bookkeeping itself lives in the procedures
// create_statement_voucher and void_voucher.
//
// Voiding a voucher clears it from every row that carries it: the money
// tables index voucher# already, statement_linker gets its index here. A
// statement can be vouchered more than once (each time for the spent money
// left), so nothing here is unique per statement.
#include "database/Database.h"

std::vector<std::string> Database_VouchersMigration() {
  return {
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('voucher_list', 'L', 'voucher_list', 'voucher#,statement#',
                 'voucher#,statement#', 'Vouchers', 1590))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('voucher_list', 1, 'voucher_number', 'Voucher', 12, 1, ''),
                ('voucher_list', 2, 'voucher_date', 'Voucher Date', 10, 1, 'date'),
                ('voucher_list', 3, 'statement_number', 'Statement', 16, 1, ''),
                ('voucher_list', 4, 'vendor_name', 'Vendor', 30, 1, ''),
                ('voucher_list', 5, 'currency', 'Currency', 4, 0, ''),
                ('voucher_list', 6, 'amount', 'Amount', 12, 0, 'money'),
                ('voucher_list', 7, 'void', 'Void', 4, 0, 'bool'))",
      "CREATE INDEX statement_linker_voucher ON statement_linker(\"voucher#\")",
      // The list's searches: voucher numbers start with what was typed (a
      // range on lower()), dates are equal.
      "CREATE INDEX voucher_number_search ON voucher(lower(voucher_number))",
      "CREATE INDEX voucher_date ON voucher(voucher_date)",
  };
}
