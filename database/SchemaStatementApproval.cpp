// Migration 13: statement approval.
//
// The statements-to-approve lister reads the view approve_statement (every
// statement not yet approved) with the list template of its own: the rows,
// Open (the statement window), Approve (the selected statements) and Close.
//
// tax_rate holds the site's sales-tax rates by name, as percentages; the
// approval's GST check (check_self_assessed_gst) reads the 'GST' row.
#include "database/Database.h"

std::vector<std::string> Database_StatementApprovalMigration() {
  return {
      R"(CREATE TABLE tax_rate(
           tax VARCHAR(4) NOT NULL PRIMARY KEY,
           percent DEC64 NOT NULL DEFAULT 0))",
      "INSERT INTO tax_rate(tax, percent) VALUES ('GST', 5000000)",

      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('approve_statement', 'L', 'approve_statement', 'statement#',
                 'statement_number', 'Statements to Approve', 1550))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('approve_statement', 1, 'statement_number', 'Statement Number', 16, 1, ''),
                ('approve_statement', 2, 'vendor_name', 'Vendor', 30, 1, ''),
                ('approve_statement', 3, 'statement_type', 'Type', 4, 1, ''),
                ('approve_statement', 4, 'amount', 'Amount', 12, 0, 'money'),
                ('approve_statement', 5, 'currency', 'Currency', 4, 0, ''),
                ('approve_statement', 6, 'statement_date', 'Date', 10, 1, 'date'),
                ('approve_statement', 7, 'note', 'Note', 30, 0, ''))",
  };
}
