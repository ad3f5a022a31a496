// Migration 9: the activity windows and the approval list.
//
// An activity window is an editor over one PO line: the line's description
// read-only above the fields a person enters for the activity. Its record
// comes from po_activity_entry, one row per line whose entry columns are
// NULL; the module's save handler checks the entry and runs the activity,
// so nothing is ever written through this view. Each kind of activity has
// its own definition (its own fields); all share the view.
//
// The entry columns are typed by the view's first SELECT (a typing arm,
// WHERE 1 = 0, see SchemaLibrary.cpp): entry_quantity and entry_amount (shown
// as Quantity and Amount) are text so that the module, not the field,
// judges what was typed ("abc", "-1", "12.345") and can say why with the
// focus on the field. They have names of their own: a text `quantity` or
// `amount` would leave those names two types, and every computed column of
// those names elsewhere untyped. next_claim_date is a day number,
// statement_number the statement's own text, the notes and the
// distribution values those of their tables. workslip_note is the line's
// own: the field starts with it, and changing it replaces the line's note.
//
// The approval list is a lister over approval_po_line_display (lines with
// items still to approve, of every PO); its template has the Approve button.
#include "database/Database.h"

std::vector<std::string> Database_ActivityWindowsMigration() {
  return {
      R"(CREATE VIEW po_activity_entry AS
           SELECT pl."po#", p.po_number, pl.line, pl.title, pl."bib#", pl.author, pl.isbn,
                  pl.workslip_note, pl.isbn AS entry_quantity, i.next_claim_date,
                  pl.change_order_note, pl.internal_note, s.statement_number,
                  pl.isbn AS entry_amount, i.location, i.collection, i.itype
           FROM po_line pl, po p, po_line_item i, statement s WHERE 1 = 0
           UNION ALL
           SELECT pl."po#", p.po_number, pl.line, pl.title, pl."bib#", pl.author, pl.isbn,
                  pl.workslip_note, CAST(NULL AS VARCHAR(20)), NULL, NULL, NULL, NULL,
                  CAST(NULL AS VARCHAR(20)), NULL, NULL, NULL
           FROM po_line pl JOIN po p ON p."po#" = pl."po#")",

      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, caption, dialog_template)
         VALUES ('po_activity_backorder', 'E', 'po_activity_entry', 'po#,line', 'Back Order', 0),
                ('po_activity_cancel', 'E', 'po_activity_entry', 'po#,line', 'Cancel', 0),
                ('po_activity_credit', 'E', 'po_activity_entry', 'po#,line', 'Credit', 0),
                ('po_activity_discontinue', 'E', 'po_activity_entry', 'po#,line',
                 'Discontinue', 0),
                ('po_activity_invoice', 'E', 'po_activity_entry', 'po#,line', 'Invoice', 0),
                ('po_activity_receive', 'E', 'po_activity_entry', 'po#,line', 'Receive', 0),
                ('po_activity_refund', 'E', 'po_activity_entry', 'po#,line', 'Refund', 0),
                ('po_activity_supinv', 'E', 'po_activity_entry', 'po#,line',
                 'Supplemental Invoice', 0),
                ('po_activity_distribute', 'E', 'po_activity_entry', 'po#,line',
                 'Distribute', 0))",

      // The line, read-only, on every activity window.
      R"(CREATE TEMP TABLE activity_kind(view_name VARCHAR(40) PRIMARY KEY, money BIT,
                                       claim BIT, distribute BIT))",
      R"(INSERT INTO activity_kind VALUES
           ('po_activity_backorder', 0, 1, 0), ('po_activity_cancel', 0, 0, 0),
           ('po_activity_credit', 1, 0, 0), ('po_activity_discontinue', 0, 0, 0),
           ('po_activity_invoice', 1, 0, 0), ('po_activity_receive', 0, 0, 0),
           ('po_activity_refund', 1, 0, 0), ('po_activity_supinv', 1, 0, 0),
           ('po_activity_distribute', 0, 0, 1))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width, editable,
                                    format)
         SELECT k.view_name, c.position, c.column_name, c.heading, c.width, c.editable, c.format
         FROM activity_kind k,
              (SELECT 1 AS position, 'line' AS column_name, 'Line' AS heading, 4 AS width,
                      0 AS editable, '' AS format, 0 AS kind
               UNION ALL SELECT 2, 'title', 'Title', 40, 0, '', 0
               UNION ALL SELECT 3, 'bib#', 'Bib #', 8, 0, '', 0
               UNION ALL SELECT 4, 'author', 'Author', 25, 0, '', 0
               UNION ALL SELECT 5, 'isbn', 'ISBN', 13, 0, '', 0
               UNION ALL SELECT 6, 'entry_quantity', 'Quantity', 5, 1, '', 0
               UNION ALL SELECT 7, 'statement_number', 'Statement Number', 16, 1, '', 1
               UNION ALL SELECT 8, 'entry_amount', 'Amount', 12, 1, '', 1
               UNION ALL SELECT 9, 'next_claim_date', 'Next Claim Date', 10, 1, 'date', 2
               UNION ALL SELECT 10, 'location', 'Location', 10, 1, '', 3
               UNION ALL SELECT 11, 'collection', 'Collection', 10, 1, '', 3
               UNION ALL SELECT 12, 'itype', 'Item Type', 10, 1, '', 3
               UNION ALL SELECT 13, 'change_order_note', 'Change Order Note', 40, 1, '', 0
               UNION ALL SELECT 14, 'internal_note', 'Internal Note', 40, 1, '', 0
               UNION ALL SELECT 15, 'workslip_note', 'Workslip Note', 40, 1, '', 0) c
         WHERE c.kind = 0 OR (c.kind = 1 AND k.money = 1) OR (c.kind = 2 AND k.claim = 1)
            OR (c.kind = 3 AND k.distribute = 1))",
      "DROP TABLE activity_kind",

      // The approval list (template 1250: the lines, Approve and Close).
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('po_activity_approvepo', 'L', 'approval_po_line_display', 'po#,line',
                 'po_number,line', 'PO Line Approval', 1250))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('po_activity_approvepo', 1, 'po_number', 'PO Number', 15, 1, ''),
                ('po_activity_approvepo', 2, 'line', 'Line', 4, 0, ''),
                ('po_activity_approvepo', 3, 'vendor_name', 'Vendor', 30, 1, ''),
                ('po_activity_approvepo', 4, 'title', 'Title', 40, 1, ''),
                ('po_activity_approvepo', 5, 'isbn', 'ISBN', 13, 1, ''),
                ('po_activity_approvepo', 6, 'quantity', 'To Approve', 5, 0, ''),
                ('po_activity_approvepo', 7, 'unit_price', 'Unit Price', 12, 0, 'money'),
                ('po_activity_approvepo', 8, 'currency', 'Currency', 4, 0, ''))",
  };
}
