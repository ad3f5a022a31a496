// Migration 18: statements made from EDIFACT invoices.
//
// The list of invoice messages not yet processed (dialog 56, with its
// Process, Remove and Select All controls): one row per uploaded INVOIC
// message, its vendor's name beside it. Money shows in the site's money
// format; the message total is in the message currency.
#include "database/Database.h"

std::vector<std::string> Database_EdifactInvoicesMigration() {
  return {
      R"(CREATE VIEW edifact_invoice_list AS
           SELECT m."edifact#", m."message#", m.message_number, m.message_code,
                  coalesce(m."message_vendor#", m."vendor#") AS "vendor#",
                  v.name AS vendor_name, m.message_date, m.amount, m.currency,
                  m.location, m.line_count, m.file_name
           FROM edifact_invoic_message m
           LEFT JOIN vendor v ON v."vendor#" = coalesce(m."message_vendor#", m."vendor#"))",
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('acq_edifact_invoices', 'L', 'edifact_invoice_list', 'edifact#,message#',
                 'edifact#,message#', 'EDIFACT Invoices', 56))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('acq_edifact_invoices', 1, 'message_number', 'Invoice #', 16, 0, ''),
                ('acq_edifact_invoices', 2, 'message_code', 'Code', 4, 0, ''),
                ('acq_edifact_invoices', 3, 'vendor_name', 'Vendor', 30, 0, ''),
                ('acq_edifact_invoices', 4, 'message_date', 'Date', 10, 1, 'date'),
                ('acq_edifact_invoices', 5, 'amount', 'Amount', 12, 0, 'money'),
                ('acq_edifact_invoices', 6, 'currency', 'Currency', 4, 0, ''),
                ('acq_edifact_invoices', 7, 'location', 'Location', 10, 0, ''),
                ('acq_edifact_invoices', 8, 'line_count', 'Lines', 5, 0, ''),
                ('acq_edifact_invoices', 9, 'edifact#', 'File #', 8, 1, ''),
                ('acq_edifact_invoices', 10, 'message#', 'Message #', 6, 1, ''),
                ('acq_edifact_invoices', 11, 'file_name', 'File', 40, 0, ''))",
  };
}
