// Migration 6: indexes that answer the listers' searches on the tables under
// the find windows and the vendor finder. A text column is searched for
// values that start with what a person typed, in any case of ASCII letters,
// as a range on lower(column) (SqlDialect_StartsWith): an index on that
// expression answers it. Dates are searched for equal values. The numbered
// keys (po#, statement#, vendor#) are primary keys already; statement_type
// has a handful of values, so an index would not narrow a search on it.
#include "database/Database.h"

std::vector<std::string> Database_SearchIndexesMigration() {
  return {
      // PO find window (po_with_vendor) and PO line find window (po_line_find).
      "CREATE INDEX po_number_search ON po(lower(po_number))",
      "CREATE INDEX po_location_search ON po(lower(location))",
      "CREATE INDEX po_creation_date ON po(creation_date)",
      "CREATE INDEX po_line_title_search ON po_line(lower(title))",
      "CREATE INDEX po_line_author_search ON po_line(lower(author))",
      "CREATE INDEX po_line_isbn_search ON po_line(lower(isbn))",
      // Vendor names: the finder, and the vendor column of every find window.
      "CREATE INDEX vendor_name_search ON vendor(lower(name))",
      // Statement find window (statement_with_vendor).
      "CREATE INDEX statement_number_search ON statement(lower(statement_number))",
      "CREATE INDEX statement_date ON statement(statement_date)",
  };
}
