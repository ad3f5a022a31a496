// Migration 25: the report windows.
//
// Each report is a list window over a view of its own (pw_view kind 'L').
// Money stays in DEC64 millionths end to end. A view column computed by an
// expression takes its type from a table column of the same name, so
// report_column_type declares, with no rows, the computed columns the
// report views share (available, unspent, the percentages, ...).
//
// A row's percentage is part / amount x 100 with the division first,
// rounded half away from zero to six decimals as every Dec64 quotient is:
// q = trunc(x / a) whole shares, and the remainder r (|r| < |a|) adds
// round(r x 10^6 / a) millionths. r x 10^6 fits 64 bits while |a| stays
// under 9,000,000.000000; a larger allocation, a zero allocation or a share
// over 90,000 times the allocation leaves the percentage blank (NULL).
//
// The tax report counts as tax a statement's GST and PST amounts and its
// extra charges whose type is TAX or a tax of tax_rate (GST, PST, ...).
#include <string>

#include "database/Database.h"

namespace {

// The SQL of x / a x 100 as DEC64 millionths, NULL where it cannot be exact.
std::string PercentSql(const std::string& x, const std::string& a) {
  const std::string n = "((" + x + ") % (" + a + ")) * 1000000";
  const std::string rounded = "(" + n + ") / (" + a + ") + CASE WHEN 2 * abs((" + n + ") % (" +
                              a + ")) >= abs(" + a + ") THEN CASE WHEN ((" + n + ") < 0) = ((" +
                              a + ") < 0) THEN 1 ELSE -1 END ELSE 0 END";
  return "CASE WHEN (" + a + ") = 0 OR abs(" + a + ") >= 9000000000000 OR abs(" + x +
         ") / abs(" + a + ") >= 90000 THEN NULL ELSE ((" + x + ") / (" + a +
         ") * 1000000 + " + rounded + ") * 100 END";
}

}  // namespace

std::vector<std::string> Database_ReportsMigration() {
  return {
      R"(CREATE TABLE report_column_type(
           available DEC64, unspent DEC64,
           percent_on_order DEC64, percent_spent DEC64,
           percent_available DEC64, percent_unspent DEC64,
           open_amount DEC64, tax_charges DEC64, total_tax DEC64,
           item_count INTEGER, statement_count INTEGER))",

      // Budget status: the money of each budget. The module adds the year
      // and leaves out the accounts the user may not use.
      R"(CREATE VIEW budget_status_money AS
           SELECT ay.account || '.' || coalesce(CAST(ay.year AS VARCHAR(6)), '') AS budget,
                  ay.account, ay.year, a.descr, ay.status,
                  ay.amount, ay.on_order, ay.spent,
                  ay.amount - ay.on_order - ay.spent AS available,
                  ay.amount - ay.spent AS unspent
           FROM account_year ay JOIN account a ON a.account = ay.account)",
      "CREATE VIEW budget_status_report AS SELECT m.*, " +
          PercentSql("m.on_order", "m.amount") + " AS percent_on_order, " +
          PercentSql("m.spent", "m.amount") + " AS percent_spent, " +
          PercentSql("m.available", "m.amount") + " AS percent_available, " +
          PercentSql("m.unspent", "m.amount") +
          " AS percent_unspent FROM budget_status_money m",

      R"(CREATE VIEW budget_code_report AS
           SELECT bc.budget, bc.account, bc.year, bc.descr, bc.acct_ref, bc.status,
                  CASE bc.status WHEN 0 THEN 'Open' WHEN 1 THEN 'Frozen'
                                 WHEN 2 THEN 'Closed' END AS status_descr
           FROM budget_code bc)",

      // Open PO lines (not completed) with their copies not cancelled and
      // what they come to at the line's unit price (PO currency).
      R"(CREATE VIEW po_line_vendor_report AS
           SELECT v."vendor#", v.name AS vendor_name, p."po#", p.po_number, pl.line,
                  pl.title, p.currency, pl.unit_price,
                  (SELECT count(*) FROM po_line_item i
                   WHERE i."po#" = pl."po#" AND i.line = pl.line
                     AND i.cancel_date IS NULL) AS item_count,
                  coalesce(pl.unit_price, 0) *
                  (SELECT count(*) FROM po_line_item i
                   WHERE i."po#" = pl."po#" AND i.line = pl.line
                     AND i.cancel_date IS NULL) AS open_amount
           FROM po_line pl
           JOIN po p ON p."po#" = pl."po#"
           JOIN vendor v ON v."vendor#" = p."vendor#"
           WHERE pl.completion_date IS NULL)",

      R"(CREATE VIEW vendor_contract_report AS
           SELECT vc."vendor#", vc.vendor_name, vc.vendor_contract, vc.descr, vc.currency,
                  vc.begin_date, vc.end_date, vc.amount, vc.on_order, vc.spent,
                  vc.amount - vc.on_order - vc.spent AS available,
                  vc.on_order_limit, vc.on_order_limit_percent,
                  vc.spent_limit, vc.spent_limit_percent
           FROM vendor_contract_extra vc)",

      // Tax per statement, in the statement's currency.
      R"(CREATE VIEW statement_tax_report AS
           SELECT s."statement#", s.statement_number, s."vendor#", v.name AS vendor_name,
                  s.statement_date, s.currency,
                  coalesce(s.gst_amount, 0) AS gst_amount,
                  coalesce(s.pst_amount, 0) AS pst_amount,
                  coalesce((SELECT sum(c.amount) FROM statement_extra_charge c
                            WHERE c."statement#" = s."statement#"
                              AND (c.extra_charge_type = 'TAX' OR c.extra_charge_type IN
                                   (SELECT t.tax FROM tax_rate t))), 0) AS tax_charges
           FROM statement s JOIN vendor v ON v."vendor#" = s."vendor#")",
      R"(CREATE VIEW statement_tax_detail AS
           SELECT t.*, t.gst_amount + t.pst_amount + t.tax_charges AS total_tax
           FROM statement_tax_report t)",
      // The summary: one row per vendor and currency.
      R"(CREATE VIEW statement_tax_summary AS
           SELECT t."vendor#", t.vendor_name, t.currency,
                  count(*) AS statement_count,
                  sum(t.gst_amount) AS gst_amount, sum(t.pst_amount) AS pst_amount,
                  sum(t.tax_charges) AS tax_charges, sum(t.total_tax) AS total_tax
           FROM statement_tax_detail t
           GROUP BY t."vendor#", t.vendor_name, t.currency)",

      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('acq_budget_status', 'L', 'budget_status_report', 'budget', 'budget',
                 'Budget Status', 2000),
                ('acq_budget_codes', 'L', 'budget_code_report', 'budget', 'budget',
                 'Budget Codes', 2001),
                ('acq_po_lines_by_vendor', 'L', 'po_line_vendor_report', 'po#,line',
                 'vendor_name,vendor#,po_number', 'PO Lines by Vendor', 2002),
                ('acq_vendor_contracts', 'L', 'vendor_contract_report',
                 'vendor#,vendor_contract', 'vendor_name,vendor_contract',
                 'Vendor Contracts', 2003),
                ('acq_tax_detail', 'L', 'statement_tax_detail', 'statement#',
                 'statement_date,statement_number', 'Tax Report: Statements', 2004),
                ('acq_tax_summary', 'L', 'statement_tax_summary', 'vendor#,currency',
                 'vendor_name,currency', 'Tax Report: Summary', 2005))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('acq_budget_status', 1, 'budget', 'Budget', 14, 0, ''),
                ('acq_budget_status', 2, 'descr', 'Description', 20, 0, ''),
                ('acq_budget_status', 3, 'amount', 'Amount', 12, 0, 'money'),
                ('acq_budget_status', 4, 'on_order', 'On Order', 12, 0, 'money'),
                ('acq_budget_status', 5, 'spent', 'Spent', 12, 0, 'money'),
                ('acq_budget_status', 6, 'available', 'Available', 12, 0, 'money'),
                ('acq_budget_status', 7, 'unspent', 'Unspent', 12, 0, 'money'),
                ('acq_budget_status', 8, 'percent_on_order', '% On Order', 8, 0, ''),
                ('acq_budget_status', 9, 'percent_spent', '% Spent', 8, 0, ''),
                ('acq_budget_status', 10, 'percent_available', '% Available', 8, 0, ''),
                ('acq_budget_status', 11, 'percent_unspent', '% Unspent', 8, 0, ''),
                ('acq_budget_codes', 1, 'budget', 'Budget', 14, 0, ''),
                ('acq_budget_codes', 2, 'account', 'Account', 8, 0, ''),
                ('acq_budget_codes', 3, 'year', 'Year', 6, 1, ''),
                ('acq_budget_codes', 4, 'descr', 'Description', 30, 0, ''),
                ('acq_budget_codes', 5, 'acct_ref', 'Reference', 16, 0, ''),
                ('acq_budget_codes', 6, 'status_descr', 'Status', 8, 0, ''),
                ('acq_po_lines_by_vendor', 1, 'vendor_name', 'Vendor', 30, 0, ''),
                ('acq_po_lines_by_vendor', 2, 'po_number', 'PO Number', 15, 1, ''),
                ('acq_po_lines_by_vendor', 3, 'line', 'Line', 5, 0, ''),
                ('acq_po_lines_by_vendor', 4, 'title', 'Title', 40, 0, ''),
                ('acq_po_lines_by_vendor', 5, 'currency', 'Currency', 4, 0, ''),
                ('acq_po_lines_by_vendor', 6, 'unit_price', 'Unit Price', 12, 0, 'money'),
                ('acq_po_lines_by_vendor', 7, 'item_count', 'Quantity', 6, 0, ''),
                ('acq_po_lines_by_vendor', 8, 'open_amount', 'Amount', 12, 0, 'money'),
                ('acq_vendor_contracts', 1, 'vendor_name', 'Vendor', 30, 0, ''),
                ('acq_vendor_contracts', 2, 'vendor_contract', 'Contract', 8, 0, ''),
                ('acq_vendor_contracts', 3, 'descr', 'Description', 30, 0, ''),
                ('acq_vendor_contracts', 4, 'currency', 'Currency', 4, 0, ''),
                ('acq_vendor_contracts', 5, 'begin_date', 'Begins', 10, 1, 'date'),
                ('acq_vendor_contracts', 6, 'end_date', 'Ends', 10, 1, 'date'),
                ('acq_vendor_contracts', 7, 'amount', 'Amount', 12, 0, 'money'),
                ('acq_vendor_contracts', 8, 'on_order', 'On Order', 12, 0, 'money'),
                ('acq_vendor_contracts', 9, 'spent', 'Spent', 12, 0, 'money'),
                ('acq_vendor_contracts', 10, 'available', 'Available', 12, 0, 'money'),
                ('acq_vendor_contracts', 11, 'on_order_limit', 'On Order Limit', 12, 0, 'money'),
                ('acq_vendor_contracts', 12, 'spent_limit', 'Spent Limit', 12, 0, 'money'),
                ('acq_tax_detail', 1, 'statement_number', 'Statement', 16, 1, ''),
                ('acq_tax_detail', 2, 'vendor_name', 'Vendor', 30, 0, ''),
                ('acq_tax_detail', 3, 'statement_date', 'Date', 10, 1, 'date'),
                ('acq_tax_detail', 4, 'currency', 'Currency', 4, 0, ''),
                ('acq_tax_detail', 5, 'gst_amount', 'GST', 12, 0, 'money'),
                ('acq_tax_detail', 6, 'pst_amount', 'PST', 12, 0, 'money'),
                ('acq_tax_detail', 7, 'tax_charges', 'Tax Charges', 12, 0, 'money'),
                ('acq_tax_detail', 8, 'total_tax', 'Total Tax', 12, 0, 'money'),
                ('acq_tax_summary', 1, 'vendor_name', 'Vendor', 30, 0, ''),
                ('acq_tax_summary', 2, 'currency', 'Currency', 4, 0, ''),
                ('acq_tax_summary', 3, 'statement_count', 'Statements', 6, 0, ''),
                ('acq_tax_summary', 4, 'gst_amount', 'GST', 12, 0, 'money'),
                ('acq_tax_summary', 5, 'pst_amount', 'PST', 12, 0, 'money'),
                ('acq_tax_summary', 6, 'tax_charges', 'Tax Charges', 12, 0, 'money'),
                ('acq_tax_summary', 7, 'total_tax', 'Total Tax', 12, 0, 'money'))",
  };
}
