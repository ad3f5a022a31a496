// Migration 11: what a printed purchase order reads. po_unique_lines has
// one row per PO line that still orders something: its identification, how
// many of its items are live (not cancelled), the price of one copy
// (po_unit_price, PO currency) and the line's amount, both in millionths.
// The amount is a whole quantity times a price in millionths, so it is
// exact; the printed form rounds it to the currency's decimals.
#include "database/Database.h"

std::vector<std::string> Database_PoPrintMigration() {
  return {
      R"(CREATE VIEW po_unique_lines AS
           SELECT pl."po#", pl.line, pl.isbn, pl.issn, pl.title, pl.author, pl.edition,
                  pl.publisher, pl.order_note, count(*) AS quantity,
                  pl.unit_price AS po_unit_price,
                  coalesce(pl.unit_price, 0) * count(*) AS amount
           FROM po_line pl
           JOIN po_line_item i ON i."po#" = pl."po#" AND i.line = pl.line
           WHERE i.cancel_date IS NULL
           GROUP BY pl."po#", pl.line, pl.isbn, pl.issn, pl.title, pl.author, pl.edition,
                    pl.publisher, pl.order_note, pl.unit_price)",
  };
}
