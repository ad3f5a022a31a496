// Migration 4: the lister definitions of the module's find windows (POs,
// PO lines, statements) and of the list windows behind them, with the view
// that PO lines are found in. Each find window has its own dialog template
// (an Open button as the default, Search and Close); the module opens the
// selected records itself, so none of them has a linked editor.
#include "database/Database.h"

std::vector<std::string> Database_WindowsMigration() {
  return {
      // PO lines with their PO's number and vendor, for the PO line find window.
      R"(CREATE VIEW po_line_find AS
           SELECT pl."po#", p.po_number, pl.line, pl.title, pl.author, pl.isbn,
                  p."vendor#", v.name AS vendor_name
           FROM po_line pl
           JOIN po p ON p."po#" = pl."po#"
           JOIN vendor v ON v."vendor#" = p."vendor#")",
      // Statements with their vendor's name.
      R"(CREATE VIEW statement_with_vendor AS
           SELECT s.*, v.name AS vendor_name
           FROM statement s JOIN vendor v ON v."vendor#" = s."vendor#")",
      // The find windows open empty: they show what a search finds.
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template, search_first)
         VALUES ('po_find_head', 'L', 'po_with_vendor', 'po#', 'po_number', 'Find PO', 100, 1),
                ('po_find_line', 'L', 'po_line_find', 'po#,line', 'po_number,line',
                 'Find PO Line', 101, 1),
                ('statement_find', 'L', 'statement_with_vendor', 'statement#',
                 'statement_number', 'Find Statement', 102, 1),
                ('po_list', 'L', 'po_with_vendor', 'po#', 'po_number', 'POs', 110, 0),
                ('statement_list', 'L', 'statement_with_vendor', 'statement#',
                 'statement_number', 'Statements', 110, 0))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('po_find_head', 1, 'po#', 'PO #', 8, 1, ''),
                ('po_find_head', 2, 'po_number', 'PO Number', 15, 1, ''),
                ('po_find_head', 3, 'vendor_name', 'Vendor', 30, 1, ''),
                ('po_find_head', 4, 'location', 'Location', 10, 1, ''),
                ('po_find_head', 5, 'currency', 'Currency', 4, 0, ''),
                ('po_find_head', 6, 'creation_date', 'Created', 10, 1, 'date'),
                ('po_find_line', 1, 'po#', 'PO #', 8, 1, ''),
                ('po_find_line', 2, 'po_number', 'PO Number', 15, 1, ''),
                ('po_find_line', 3, 'line', 'Line', 4, 0, ''),
                ('po_find_line', 4, 'title', 'Title', 40, 1, ''),
                ('po_find_line', 5, 'author', 'Author', 25, 1, ''),
                ('po_find_line', 6, 'isbn', 'ISBN', 13, 1, ''),
                ('po_find_line', 7, 'vendor_name', 'Vendor', 30, 1, ''),
                ('statement_find', 1, 'statement#', 'Statement #', 8, 1, ''),
                ('statement_find', 2, 'statement_number', 'Statement Number', 16, 1, ''),
                ('statement_find', 3, 'vendor_name', 'Vendor', 30, 1, ''),
                ('statement_find', 4, 'statement_type', 'Type', 4, 1, ''),
                ('statement_find', 5, 'amount', 'Amount', 12, 0, 'money'),
                ('statement_find', 6, 'statement_date', 'Date', 10, 1, 'date'),
                ('po_list', 1, 'po#', 'PO #', 8, 0, ''),
                ('po_list', 2, 'po_number', 'PO Number', 15, 0, ''),
                ('po_list', 3, 'vendor_name', 'Vendor', 30, 0, ''),
                ('po_list', 4, 'creation_date', 'Created', 10, 0, 'date'),
                ('statement_list', 1, 'statement#', 'Statement #', 8, 0, ''),
                ('statement_list', 2, 'statement_number', 'Statement Number', 16, 0, ''),
                ('statement_list', 3, 'vendor_name', 'Vendor', 30, 0, ''),
                ('statement_list', 4, 'amount', 'Amount', 12, 0, 'money'),
                ('statement_list', 5, 'statement_date', 'Date', 10, 0, 'date'))",
  };
}
