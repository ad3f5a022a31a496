// Migration 8: the PO window and its editors. The header editor
// ("po_header", dialog 16) and the line editor ("po_line", dialog 15) are
// editors of the framework whose saves the module makes itself; the PO
// window's lines come from the view po_line_window with the display
// columns of the stored procedure fill_po_line_display. The list of a PO's
// lines ("po_line_list") and the list of POs behind a statement get an Open
// button (dialogs 1203 and 1204), which opens the PO window.
#include "database/Database.h"

std::vector<std::string> Database_PoWindowsMigration() {
  return {
      // A PO's lines with the number of their items not cancelled.
      R"(CREATE VIEW po_line_window AS
           SELECT pl."po#", pl.line, pl.title, pl.author, pl.isbn, pl.unit_price,
                  (SELECT count(*) FROM po_line_item i
                    WHERE i."po#" = pl."po#" AND i.line = pl.line
                      AND i.cancel_date IS NULL) AS quantity
           FROM po_line pl)",
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('po_header', 'E', 'po', 'po#', '', 'PO Header', 16),
                ('po_line', 'E', 'po_line', 'po#,line', '', 'PO Line', 15),
                ('po_line_list', 'L', 'po_line_find', 'po#,line', 'line', 'PO Lines', 1203))",
      // Which fields a person may type into: the keys, the dates the module
      // keeps and what the catalogue gives (bib#) are shown only.
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width, editable,
                                    format)
         VALUES ('po_header', 1, 'po#', 'PO #', 8, 0, ''),
                ('po_header', 2, 'po_number', 'PO Number', 15, 1, ''),
                ('po_header', 3, 'vendor#', 'Vendor #', 8, 1, ''),
                ('po_header', 4, 'vendor_contract', 'Contract', 8, 1, ''),
                ('po_header', 5, 'currency', 'Currency', 4, 1, ''),
                ('po_header', 6, 'location', 'Location', 10, 1, ''),
                ('po_header', 7, 'bill_to_address', 'Bill To', 10, 1, ''),
                ('po_header', 8, 'ship_to_address', 'Ship To', 10, 1, ''),
                ('po_header', 9, 'spent_event', 'Spent Event', 2, 1, ''),
                ('po_header', 10, 'item_creation', 'Item Creation', 2, 1, ''),
                ('po_header', 11, 'attach_barcode', 'Attach Barcode', 3, 1, 'bool'),
                ('po_header', 12, 'drop_ship', 'Drop Ship', 3, 1, 'bool'),
                ('po_header', 13, 'renewal_type', 'Renewal Type', 2, 1, ''),
                ('po_header', 14, 'subscription_period', 'Subscription Period', 15, 1, ''),
                ('po_header', 15, 'renew_po#', 'Renewal PO #', 8, 0, ''),
                ('po_header', 16, 'prepaid_statement#', 'Prepaid Statement #', 8, 0, ''),
                ('po_header', 17, 'creation_date', 'Created', 10, 0, 'date'),
                ('po_header', 18, 'last_update_date', 'Updated', 10, 0, 'date'),
                ('po_header', 19, 'completion_date', 'Completed', 10, 0, 'date'),
                ('po_line', 1, 'po#', 'PO #', 8, 0, ''),
                ('po_line', 2, 'line', 'Line', 4, 0, ''),
                ('po_line', 3, 'title', 'Title', 40, 1, ''),
                ('po_line', 4, 'author', 'Author', 25, 1, ''),
                ('po_line', 5, 'isbn', 'ISBN', 20, 1, ''),
                ('po_line', 6, 'issn', 'ISSN', 12, 1, ''),
                ('po_line', 7, 'media_type', 'Media Type', 10, 1, ''),
                ('po_line', 8, 'publisher', 'Publisher', 30, 1, ''),
                ('po_line', 9, 'publication_date', 'Published', 10, 1, ''),
                ('po_line', 10, 'edition', 'Edition', 20, 1, ''),
                ('po_line', 11, 'unit_price', 'Unit Price', 12, 1, ''),
                ('po_line', 12, 'vendor_discount', 'Discount %', 6, 1, ''),
                ('po_line', 13, 'call_number', 'Call Number', 20, 1, ''),
                ('po_line', 14, 'vendor_product_id', 'Vendor Product ID', 20, 1, ''),
                ('po_line', 15, 'vendor_title_number', 'Vendor Title #', 20, 1, ''),
                ('po_line', 16, 'next_renewal_date', 'Next Renewal', 10, 1, 'date'),
                ('po_line', 17, 'bib#', 'Bib #', 8, 0, ''),
                ('po_line', 18, 'order_note', 'Order Note', 40, 1, ''),
                ('po_line', 19, 'change_order_note', 'Change Order Note', 40, 1, ''),
                ('po_line', 20, 'internal_note', 'Internal Note', 40, 1, ''),
                ('po_line', 21, 'workslip_note', 'Workslip Note', 40, 1, ''),
                ('po_line', 22, 'last_item', 'Last Item', 4, 0, ''),
                ('po_line', 23, 'last_update_date', 'Updated', 10, 0, 'date'),
                ('po_line_list', 1, 'po#', 'PO #', 8, 0, ''),
                ('po_line_list', 2, 'po_number', 'PO Number', 15, 0, ''),
                ('po_line_list', 3, 'line', 'Line', 4, 0, ''),
                ('po_line_list', 4, 'title', 'Title', 40, 0, ''),
                ('po_line_list', 5, 'author', 'Author', 25, 0, ''),
                ('po_line_list', 6, 'isbn', 'ISBN', 13, 0, ''))",
      "UPDATE pw_view SET dialog_template = 1204 WHERE view_name = 'po_list'",
  };
}
