// Migration 16: payables, cheque runs and cheque updates.
//
// The three list windows of payables: the outstanding payables (open and
// on hold), the cheque runs (to reprint their reports) and the cheques of
// one year (the module adds the year's condition). Money columns show in
// the site's money format; a run's `amount` is the sum of its cheques, in
// millionths like every DEC64 column. The lists are searched by their
// numbers and dates (their text columns have no index to answer a search).
#include "database/Database.h"

std::vector<std::string> Database_PayablesMigration() {
  return {
      // One row per run: its first cheque number and the total of its cheques.
      // (A computed column takes its type from the tables' column of its
      // name: cheque# and amount are one type wherever they are declared.)
      R"(CREATE VIEW cheque_run_list AS
           SELECT r."cheque_run#", r.run_date, r.run_currency, r.file_created, r.user_id,
                  min(c."cheque#") AS "cheque#", coalesce(sum(c.amount), 0) AS amount
           FROM cheque_run r LEFT JOIN cheque c ON c."cheque_run#" = r."cheque_run#"
           GROUP BY r."cheque_run#", r.run_date, r.run_currency, r.file_created, r.user_id)",
      // The cheques of cheque_updates with their status as a person reads it.
      R"(CREATE VIEW cheque_update_list AS
           SELECT u.*, CASE u.status WHEN 0 THEN 'Issued' WHEN 1 THEN 'Reconciled'
                                     WHEN 2 THEN 'Void' END AS status_descr
           FROM cheque_updates u)",

      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('acq_outstanding_payables', 'L', 'outstanding_payables', 'voucher#,statement#',
                 'status_descr,vendor_name,statement_number', 'Outstanding Payables', 500),
                ('acq_cheque_runs', 'L', 'cheque_run_list', 'cheque_run#', 'cheque_run#',
                 'Cheque Run: Reprint Reports', 540),
                ('acq_cheque_updates', 'L', 'cheque_update_list', 'cheque#', 'cheque#',
                 'Cheque Updates', 550))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('acq_outstanding_payables', 1, 'status_descr', 'Status', 6, 0, ''),
                ('acq_outstanding_payables', 2, 'vendor_name', 'Vendor', 30, 0, ''),
                ('acq_outstanding_payables', 3, 'statement_number', 'Invoice #', 16, 0, ''),
                ('acq_outstanding_payables', 4, 'voucher#', 'Payable #', 8, 1, ''),
                ('acq_outstanding_payables', 5, 'invoice_date', 'Invoice Date', 10, 1, 'date'),
                ('acq_outstanding_payables', 6, 'amount', 'Amount', 12, 0, 'money'),
                ('acq_outstanding_payables', 7, 'currency', 'Currency', 4, 0, ''),
                ('acq_outstanding_payables', 8, 'gst_amount', 'GST Amount', 12, 0, 'money'),
                ('acq_outstanding_payables', 9, 'pst_amount', 'PST Amount', 12, 0, 'money'),
                ('acq_cheque_runs', 1, 'cheque_run#', 'Run #', 6, 1, ''),
                ('acq_cheque_runs', 2, 'run_date', 'Run Date', 10, 1, 'date'),
                ('acq_cheque_runs', 3, 'run_currency', 'Currency', 4, 0, ''),
                ('acq_cheque_runs', 4, 'cheque#', 'First Cheque #', 8, 0, ''),
                ('acq_cheque_runs', 5, 'amount', 'Amount', 12, 0, 'money'),
                ('acq_cheque_runs', 6, 'file_created', 'File Created', 3, 0, 'bool'),
                ('acq_cheque_runs', 7, 'user_id', 'User', 12, 0, ''),
                ('acq_cheque_updates', 1, 'cheque#', 'Cheque #', 8, 1, ''),
                ('acq_cheque_updates', 2, 'cheque_run#', 'Run #', 6, 1, ''),
                ('acq_cheque_updates', 3, 'vendor_name', 'Vendor', 30, 0, ''),
                ('acq_cheque_updates', 4, 'cheque_issued_date', 'Issued Date', 10, 1, 'date'),
                ('acq_cheque_updates', 5, 'amount', 'Amount', 12, 0, 'money'),
                ('acq_cheque_updates', 6, 'status_descr', 'Status', 10, 0, ''),
                ('acq_cheque_updates', 7, 'processed_date', 'Processed', 10, 1, 'date'))",
  };
}
