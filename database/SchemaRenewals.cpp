// Migration 21: subscription renewals.
//
// A renewed line remembers the next renewal date its old line had before
// the renewal moved it on (prior_renewal_date), so that taking the renewal
// back can put it back. The vendor finder of the renewal options
// ("vendacq") lists the vendors with their codes and currencies; the
// lists of the renewal windows are views: the orders that do not renew yet
// (po_set_renew_orders) beside those of migration 2 (candidates, renew-to
// categories and contracts, renewed titles). The renewed titles open as a
// lister of their own; it lists only the lines just made, so it is not
// searched.
#include "database/Database.h"

std::vector<std::string> Database_RenewalsMigration() {
  return {
      "ALTER TABLE po_line ADD COLUMN prior_renewal_date DAYNUM",

      R"(CREATE VIEW po_set_renew_orders AS
           SELECT p."po#", p.po_number, p."vendor#", v.name AS vendor_name, p.location,
                  p.currency, p.renewal_type, p.subscription_period, p.creation_date,
                  (SELECT count(*) FROM po_line pl WHERE pl."po#" = p."po#") AS quantity
           FROM po p JOIN vendor v ON v."vendor#" = p."vendor#")",

      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption)
         VALUES ('vendacq', 'L', 'vendor', 'vendor#', 'name', 'Find Vendor'),
                ('po_renewed_titles', 'L', 'po_renewed_titles', 'po#,line', 'po#,line',
                 'Renewed Titles'))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width, editable,
                                    searchable, format)
         VALUES ('vendacq', 1, 'vendor#', 'Vendor #', 8, 0, 1, ''),
                ('vendacq', 2, 'vendor_code', 'Code', 10, 0, 1, ''),
                ('vendacq', 3, 'name', 'Name', 40, 0, 1, ''),
                ('vendacq', 4, 'currency', 'Currency', 4, 0, 0, ''),
                ('po_renewed_titles', 1, 'po_number', 'PO Number', 15, 0, 0, ''),
                ('po_renewed_titles', 2, 'line', 'Line', 4, 0, 0, ''),
                ('po_renewed_titles', 3, 'vendor_name', 'Vendor', 30, 0, 0, ''),
                ('po_renewed_titles', 4, 'title', 'Title', 40, 0, 0, ''),
                ('po_renewed_titles', 5, 'quantity', 'Quantity', 6, 0, 0, ''),
                ('po_renewed_titles', 6, 'unit_price', 'Unit Price', 12, 0, 0, 'money'),
                ('po_renewed_titles', 7, 'next_renewal_date', 'Next Renewal', 10, 0, 0,
                 'date'))",
      // The finder searches vendors by code as well as by name: a starts-with
      // search is a range on lower(column), answered by this index.
      "CREATE INDEX vendor_code_search ON vendor(lower(vendor_code))",
  };
}
