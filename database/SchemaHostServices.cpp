// Migration 7: what the host's services keep.
//
// statistics_event gains the event's class (the module's number), a value
// (DEC64: millionths, an amount or a count) and a key (a vendor#; NULL when
// the event has none).
//
// bib_index is the catalogue's duplicate-search index as the acquisitions
// side sees it: one row per value a bibliographic record holds in an index
// ("isbn", "issn": the names the site's parameters give). `index_value` is
// the value as catalogued; `norm_value` the form searches compare (hyphens,
// spaces and tabs removed, ASCII letters upper case: DbSer_NormalizeIndexValue
// computes the same for the value searched).
//
// borrower_find is the lister of the borrower finder.
#include "database/Database.h"

std::vector<std::string> Database_HostServicesMigration() {
  return {
      "ALTER TABLE statistics_event ADD COLUMN stat_class INTEGER",
      "ALTER TABLE statistics_event ADD COLUMN value DEC64",
      "ALTER TABLE statistics_event ADD COLUMN key_value INTEGER",
      "CREATE INDEX statistics_event_class ON statistics_event(stat_class, stat_code)",

      R"(CREATE TABLE bib_index(
           index_name VARCHAR(10) NOT NULL COLLATE NOCASE,
           index_value VARCHAR(80) NOT NULL,
           "bib#" INTEGER NOT NULL,
           norm_value VARCHAR(80) GENERATED ALWAYS AS
             (upper(replace(replace(replace(index_value, '-', ''), ' ', ''), char(9), ''))) STORED,
           PRIMARY KEY(index_name, index_value, "bib#")))",
      "CREATE INDEX bib_index_search ON bib_index(index_name, norm_value)",

      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption)
         VALUES ('borrower_find', 'L', 'borrower', 'borrower#', 'reconst', 'Find Borrower'))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width, editable,
                                    searchable)
         VALUES ('borrower_find', 1, 'borrower#', 'Borrower #', 8, 0, 1),
                ('borrower_find', 2, 'name', 'Name', 40, 0, 1),
                ('borrower_find', 3, 'bbarcode', 'Barcode', 14, 0, 1))",
      // Its searches: text starts with what was typed, in any case, as a
      // range on lower(column) that these answer (borrower# is the key).
      "CREATE INDEX borrower_name_search ON borrower(lower(name))",
      "CREATE INDEX borrower_bbarcode_search ON borrower(lower(bbarcode))",
  };
}
