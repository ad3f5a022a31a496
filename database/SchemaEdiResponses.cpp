// Migration 17: order responses read from EDIFACT messages.
//
// A message read into lines stays as its edifact_response_line rows (and
// the rows attached to each line below) until every line is applied,
// removed or cancelled; the last one writes the message's process status.
// So a message leaves the message list as soon as it has lines, and a
// message whose reading failed (status 2) stays in it.
//
// Attached to a line (key edifact#, message#, segment# of its LIN, then
// seq from 1 in the order of the file): the quantities per delivery
// location (QTY+11 after LOC+7), the copies (GIR: item#, barcode, shelf
// mark, copy price in the PO's currency, millionths) and the product codes
// (PIA functions 1 and 3) with their kind (IB, IS, IM, EA, SA).
#include "database/Database.h"

std::vector<std::string> Database_OrderResponsesMigration() {
  return {
      R"(CREATE TABLE edifact_response_location(
           "edifact#" INTEGER NOT NULL,
           "message#" INTEGER NOT NULL,
           "segment#" INTEGER NOT NULL,
           seq SMALLINT NOT NULL,
           location VARCHAR(10),
           quantity SMALLINT NOT NULL DEFAULT 0,
           PRIMARY KEY("edifact#", "message#", "segment#", seq)))",
      R"(CREATE TABLE edifact_response_item(
           "edifact#" INTEGER NOT NULL,
           "message#" INTEGER NOT NULL,
           "segment#" INTEGER NOT NULL,
           seq SMALLINT NOT NULL,
           "item#" INTEGER,
           ibarcode VARCHAR(14),
           call VARCHAR(60),
           price DEC64,
           PRIMARY KEY("edifact#", "message#", "segment#", seq)))",
      R"(CREATE TABLE edifact_response_product(
           "edifact#" INTEGER NOT NULL,
           "message#" INTEGER NOT NULL,
           "segment#" INTEGER NOT NULL,
           seq SMALLINT NOT NULL,
           product_code VARCHAR(15),
           itype VARCHAR(10),
           PRIMARY KEY("edifact#", "message#", "segment#", seq)))",

      "DROP VIEW edifact_ordrsp_message",
      R"(CREATE VIEW edifact_ordrsp_message AS
           SELECT m.*, i."vendor#", coalesce(m.message_location, i.location) AS location, i.una,
                  i.file_name
           FROM edifact_message m
           JOIN edifact_interchange i ON i."edifact#" = m."edifact#"
           WHERE m.message_type = 3
             AND NOT EXISTS (SELECT 1 FROM edifact_process_status s
                             WHERE s."edifact#" = m."edifact#" AND s."message#" = m."message#"
                               AND s.process = 2 AND s.status <> 2)
             AND NOT EXISTS (SELECT 1 FROM edifact_response_line r
                             WHERE r."edifact#" = m."edifact#" AND r."message#" = m."message#"))",
      // The lines with what a person checks them against: the message's
      // number and location and the PO line's title.
      "DROP VIEW edifact_ordrsp_line",
      R"(CREATE VIEW edifact_ordrsp_line AS
           SELECT r."edifact#", r."message#", r."segment#", r."po#",
                  coalesce(p.po_number, r.po_number) AS po_number, r.line, r.action_code,
                  r.report_code, r.order_qty, r.dispatch_qty, r.qty_due, r.price, r.adj_price,
                  r.date, r.substitute_item, r.substitute_code, m.message_number,
                  coalesce(m.message_location, i.location) AS location, pl.title
           FROM edifact_response_line r
           JOIN edifact_message m ON m."edifact#" = r."edifact#" AND m."message#" = r."message#"
           JOIN edifact_interchange i ON i."edifact#" = r."edifact#"
           LEFT JOIN po p ON p."po#" = r."po#"
           LEFT JOIN po_line pl ON pl."po#" = r."po#" AND pl.line = r.line)",

      R"(INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, caption,
                             dialog_template)
         VALUES ('acq_ordrsp_messages', 'L', 'edifact_ordrsp_message', 'edifact#,message#',
                 'edifact#,message#', 'EDIFACT Order Responses', 76),
                ('acq_ordrsp_lines', 'L', 'edifact_ordrsp_line', 'edifact#,message#,segment#',
                 'edifact#,message#,segment#', 'EDIFACT Order Response Lines', 77))",
      R"(INSERT INTO pw_view_column(view_name, position, column_name, heading, width,
                                    searchable, format)
         VALUES ('acq_ordrsp_messages', 1, 'message_number', 'Message', 16, 0, ''),
                ('acq_ordrsp_messages', 2, 'message_date', 'Date', 10, 0, 'date'),
                ('acq_ordrsp_messages', 3, 'message_code', 'Code', 4, 0, ''),
                ('acq_ordrsp_messages', 4, 'message_vendor#', 'Vendor', 8, 0, ''),
                ('acq_ordrsp_messages', 5, 'location', 'Location', 10, 0, ''),
                ('acq_ordrsp_messages', 6, 'line_count', 'Lines', 6, 0, ''),
                ('acq_ordrsp_messages', 7, 'edifact#', 'File #', 6, 1, ''),
                ('acq_ordrsp_messages', 8, 'file_name', 'File', 40, 0, ''),
                ('acq_ordrsp_lines', 1, 'message_number', 'Message', 16, 0, ''),
                ('acq_ordrsp_lines', 2, 'po_number', 'PO Number', 15, 0, ''),
                ('acq_ordrsp_lines', 3, 'line', 'Line', 4, 0, ''),
                ('acq_ordrsp_lines', 4, 'title', 'Title', 40, 0, ''),
                ('acq_ordrsp_lines', 5, 'action_code', 'Action', 4, 0, ''),
                ('acq_ordrsp_lines', 6, 'report_code', 'Report', 4, 0, ''),
                ('acq_ordrsp_lines', 7, 'order_qty', 'Ordered', 6, 0, ''),
                ('acq_ordrsp_lines', 8, 'dispatch_qty', 'Dispatched', 6, 0, ''),
                ('acq_ordrsp_lines', 9, 'qty_due', 'Due', 6, 0, ''),
                ('acq_ordrsp_lines', 10, 'price', 'Price', 12, 0, 'money'),
                ('acq_ordrsp_lines', 11, 'adj_price', 'Adjusted Price', 12, 0, 'money'),
                ('acq_ordrsp_lines', 12, 'date', 'Available', 10, 0, 'date'),
                ('acq_ordrsp_lines', 13, 'substitute_item', 'Substitute', 15, 0, ''),
                ('acq_ordrsp_lines', 14, 'location', 'Location', 10, 0, ''))",
  };
}
