// Migration 3: the view definitions of the host's lister/editor framework.
// A lister definition (kind 'L') names the rows a lister shows; an editor
// definition (kind 'E') the table whose one record an editor edits. The
// host reads both tables once per log-in (host/db/DbView.h).
//
// pw_view: `source` is the table or view the rows come from (an editor's
// must be a table: it is written); `key_columns` the comma-separated
// columns that identify a row; `where_clause` and `order_by` SQL of the
// module's dialect added to every load ("" for none); `caption` the window
// title; `dialog_template` the module's template id (0: the generic one);
// `linked_view` a lister's editor: the lister opens, creates and deletes
// records through it, and without one it only lists. `search_first` makes a
// lister open empty and show only what a search finds (a find window over a
// table that may hold a hundred thousand rows).
//
// pw_view_column: the columns in `position` order. `editable` lets an
// editor change the column; `searchable` lets a lister search on it (text
// starts with the value, numbers and dates equal it). `format` says how a
// value is shown and typed: "" as stored, "date" a day number as
// YYYY-MM-DD, "money" an amount in the money format, "bool" Yes or No.
#include "database/Database.h"

std::vector<std::string> Database_ViewsMigration() {
  return {
      R"(CREATE TABLE pw_view(
           view_name VARCHAR(40) NOT NULL PRIMARY KEY,
           kind CHAR(1) NOT NULL CHECK(kind IN ('L','E')),
           source VARCHAR(60) NOT NULL,
           key_columns VARCHAR(120) NOT NULL DEFAULT '',
           where_clause VARCHAR(255) NOT NULL DEFAULT '',
           order_by VARCHAR(120) NOT NULL DEFAULT '',
           caption VARCHAR(80) NOT NULL DEFAULT '',
           dialog_template INTEGER NOT NULL DEFAULT 0,
           linked_view VARCHAR(40) NOT NULL DEFAULT '',
           search_first BIT NOT NULL DEFAULT 0))",
      R"(CREATE TABLE pw_view_column(
           view_name VARCHAR(40) NOT NULL REFERENCES pw_view(view_name) ON DELETE CASCADE,
           position SMALLINT NOT NULL,
           column_name VARCHAR(40) NOT NULL,
           heading VARCHAR(40) NOT NULL DEFAULT '',
           width SMALLINT NOT NULL DEFAULT 10,
           editable BIT NOT NULL DEFAULT 0,
           searchable BIT NOT NULL DEFAULT 0,
           format VARCHAR(20) NOT NULL DEFAULT '',
           PRIMARY KEY(view_name, position)))",

      // The vendor finder (MrVendor_FindVendor) and the vendor editor it opens.
      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption, linked_view)
         VALUES ('vendor_find', 'L', 'vendor', 'vendor#', 'name', 'Find Vendor', 'vendor'),
                ('vendor', 'E', 'vendor', 'vendor#', '', 'Vendor', ''))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width, editable,
                                    searchable)
         VALUES ('vendor_find', 1, 'vendor#', 'Vendor #', 8, 0, 1),
                ('vendor_find', 2, 'name', 'Name', 40, 0, 1),
                ('vendor', 1, 'vendor#', 'Vendor #', 8, 0, 0),
                ('vendor', 2, 'name', 'Name', 40, 1, 0))",
  };
}
