// Migration 12: the claims review.
//
// An item is claimable while it is ordered (order_date set), neither
// received nor cancelled, has a next_claim_date, and its vendor still
// claims it (max_claims > 0 and fewer claims made than max_claims).
// po_claimable lists those items whatever the date; what is due is the
// claimable items whose next_claim_date is today or earlier. "Today" is
// the workstation's date, not the server's: the review lister adds it to
// its query, and the claim procedures bind it (ProceduresClaims.cpp).
//
// A claim is an activity of the history ("claim"), and po_activity_type
// gets the text a claim letter prints above the claimed items.
#include "database/Database.h"

std::vector<std::string> Database_ClaimsMigration() {
  return {
      "ALTER TABLE po_activity_type ADD COLUMN print_text VARCHAR(255)",
      "INSERT INTO po_activity_type(po_activity_type, descr, print_text) VALUES "
      "('claim', 'Claim', 'According to our records the items below have not been received. "
      "Please send them, or let us know when they will be shipped or why they cannot be "
      "supplied.')",

      R"(CREATE VIEW po_claimable AS
           SELECT i."po#", p.po_number, i.line, i.item, p."vendor#", v.name AS vendor_name,
                  pl.title, pl.author, pl.isbn, pl.issn, i.order_date, i.next_claim_date,
                  i.claim_count, v.max_claims, v.claim_interval
           FROM po_line_item i
           JOIN po p ON p."po#" = i."po#"
           JOIN po_line pl ON pl."po#" = i."po#" AND pl.line = i.line
           JOIN vendor v ON v."vendor#" = p."vendor#"
           WHERE i.order_date IS NOT NULL AND i.receive_date IS NULL
             AND i.cancel_date IS NULL AND i.next_claim_date IS NOT NULL
             AND v.max_claims > 0 AND i.claim_count < v.max_claims)",

      // The review lister (the generic list template: the rows and Close).
      // Its rows are the due items: the module adds the condition on
      // next_claim_date with the workstation's date.
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('acq_claims_review', 'L', 'po_claimable', 'po#,line,item',
                 'vendor_name,po_number,line,item', 'Claims Review', 110))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('acq_claims_review', 1, 'vendor_name', 'Vendor', 30, 1, ''),
                ('acq_claims_review', 2, 'po_number', 'PO Number', 15, 1, ''),
                ('acq_claims_review', 3, 'line', 'Line', 4, 0, ''),
                ('acq_claims_review', 4, 'item', 'Item', 4, 0, ''),
                ('acq_claims_review', 5, 'title', 'Title', 40, 1, ''),
                ('acq_claims_review', 6, 'author', 'Author', 25, 1, ''),
                ('acq_claims_review', 7, 'order_date', 'Ordered', 10, 1, 'date'),
                ('acq_claims_review', 8, 'next_claim_date', 'Claim Due', 10, 1, 'date'),
                ('acq_claims_review', 9, 'claim_count', 'Claims', 6, 0, ''),
                ('acq_claims_review', 10, 'max_claims', 'Max Claims', 6, 0, ''))",
  };
}
