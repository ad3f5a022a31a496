// Migration 20: Distribution patterns, PO templates and purchase requests: their windows.
#include "database/Database.h"

std::vector<std::string> Database_PatternsMigration() {
  return {
      // Template saves lock this key row first, so two workstations saving
      // one name at once wait for each other; the row exists beforehand,
      // so neither has to make it.
      R"(INSERT OR IGNORE INTO pw_key(key_table, next_key) VALUES ('po_template', 1))",

      // Purchase requests: the list and find windows read the view
      // pr_list (the request with its category's description, its vendor's
      // name and the PO line made from it, if any); the request editor
      // (dialog 1862) is the framework's over `pr`, its distribution rows
      // the module's. A request becomes at most one PO line: the line
      // carries its pr# (indexed on po_line already).
      // Two halves, requests with a vendor (joined, so that a search on the
      // vendor's name reads the index on names) and requests without one
      // (the save lets a request name only a vendor that exists).
      R"(CREATE VIEW pr_list AS
           SELECT r."pr#", r.pr_category, c.descr AS category_descr, r.title, r.author,
                  r.isbn, r.issn, r.publisher, r."vendor#", v.name AS vendor_name,
                  r.request_date, r.unit_price, r.currency,
                  (SELECT min(p.po_number) FROM po_line pl JOIN po p ON p."po#" = pl."po#"
                    WHERE pl."pr#" = r."pr#") AS po_number
           FROM pr r
           JOIN vendor v ON v."vendor#" = r."vendor#"
           LEFT JOIN pr_category c ON c.pr_category = r.pr_category
         UNION ALL
           SELECT r."pr#", r.pr_category, c.descr, r.title, r.author, r.isbn, r.issn,
                  r.publisher, r."vendor#", NULL, r.request_date, r.unit_price, r.currency,
                  (SELECT min(p.po_number) FROM po_line pl JOIN po p ON p."po#" = pl."po#"
                    WHERE pl."pr#" = r."pr#")
           FROM pr r
           LEFT JOIN pr_category c ON c.pr_category = r.pr_category
           WHERE r."vendor#" IS NULL)",
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template, search_first)
         VALUES ('pr_list', 'L', 'pr_list', 'pr#', 'pr#', 'Purchase Requests', 1860, 0),
                ('pr_find', 'L', 'pr_list', 'pr#', 'title', 'Find Purchase Requests', 1861, 1),
                ('pr', 'E', 'pr', 'pr#', '', 'Purchase Request', 1862, 0))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('pr_list', 1, 'pr#', 'Request #', 8, 1, ''),
                ('pr_list', 2, 'pr_category', 'Category', 10, 1, ''),
                ('pr_list', 3, 'title', 'Title', 40, 1, ''),
                ('pr_list', 4, 'author', 'Author', 25, 1, ''),
                ('pr_list', 5, 'vendor_name', 'Vendor', 30, 1, ''),
                ('pr_list', 6, 'request_date', 'Requested', 10, 1, 'date'),
                ('pr_list', 7, 'po_number', 'On PO', 15, 0, ''),
                ('pr_find', 1, 'pr#', 'Request #', 8, 1, ''),
                ('pr_find', 2, 'title', 'Title', 40, 1, ''),
                ('pr_find', 3, 'author', 'Author', 25, 1, ''),
                ('pr_find', 4, 'isbn', 'ISBN', 20, 1, ''),
                ('pr_find', 5, 'vendor_name', 'Vendor', 30, 1, ''),
                ('pr_find', 6, 'pr_category', 'Category', 10, 1, ''),
                ('pr_find', 7, 'request_date', 'Requested', 10, 1, 'date'),
                ('pr_find', 8, 'po_number', 'On PO', 15, 0, ''))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width, editable,
                                    format)
         VALUES ('pr', 1, 'pr#', 'Request #', 8, 0, ''),
                ('pr', 2, 'pr_category', 'Category', 10, 1, ''),
                ('pr', 3, 'title', 'Title', 40, 1, ''),
                ('pr', 4, 'author', 'Author', 25, 1, ''),
                ('pr', 5, 'isbn', 'ISBN', 20, 1, ''),
                ('pr', 6, 'issn', 'ISSN', 12, 1, ''),
                ('pr', 7, 'publisher', 'Publisher', 30, 1, ''),
                ('pr', 8, 'unit_price', 'Unit Price', 12, 1, 'money'),
                ('pr', 9, 'currency', 'Currency', 4, 1, ''),
                ('pr', 10, 'vendor#', 'Vendor #', 8, 1, ''),
                ('pr', 11, 'bib#', 'Bib #', 8, 0, ''),
                ('pr', 12, 'borrower#', 'Borrower #', 8, 1, ''),
                ('pr', 13, 'request_date', 'Requested', 10, 1, 'date'),
                ('pr', 14, 'note', 'Note', 40, 1, ''))",
      // The lists' starts-with searches (on lower()) read an index.
      "CREATE INDEX pr_title_search ON pr(lower(title))",
      "CREATE INDEX pr_author_search ON pr(lower(author))",
      "CREATE INDEX pr_isbn_search ON pr(lower(isbn))",
      "CREATE INDEX pr_category_search ON pr(lower(pr_category))",
      "CREATE INDEX pr_vendor ON pr(\"vendor#\")",
  };
}
