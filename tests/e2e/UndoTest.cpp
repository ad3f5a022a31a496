// Undo through the real client on the demo library: a line received in
// the PO window is taken back with Undo Receive from the menu, after the
// one confirmation; the window shows the line as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ActivityScript.h"
#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;

// Line 2 of PO 8 (PO-2026-0008): its items, received or not, and the
// receive rows of its history by transaction type.
const char* kLineTwo =
    "select (select count(*) from po_line_item where \"po#\"=8 and line=2 and receive_date "
    "is not null), (select count(*) from po_line_item_history where \"po#\"=8 and line=2 and "
    "po_activity_type='receive' and transaction_type=2)";

// The row of line 2 in each view of the PO window the transcript shows.
std::vector<std::string> LineTwoRows(const std::string& transcript) {
  std::vector<std::string> rows;
  for (size_t at = transcript.find("window \"PO PO-2026-0008\" ("); at != std::string::npos;
       at = transcript.find("window \"PO PO-2026-0008\" (", at + 1)) {
    const size_t row = transcript.find("\n  row 2", at);
    if (row == std::string::npos) break;
    std::string text = transcript.substr(row + 1, transcript.find('\n', row + 1) - row - 1);
    if (const size_t mark = text.find("2*"); mark != std::string::npos) text.erase(mark + 1, 1);
    rows.push_back(text);   // without the mark of a selected row
  }
  return rows;
}

TEST(UndoWindow, ReceivedLineTakenBackFromTheMenu) {
  Workspace ws;
  ASSERT_EQ(QueryRow(ws.Db(), kLineTwo), "0|0");
  const auto r = ws.Run({"--db", ws.Db()},
                        "login admin admin\n" + e2e::OnLines("PO-2026-0008", "2") + "show\n" +
                            "press " + e2e::ActivityButton("receive") +
                            "\nfield entry_quantity \"1\"\npress OK\nshow\nselect 2\n"
                            "command \"Purchase Orders/Undo Receipt\"\n"
                            "answer msgbox yes \"OK to undo activity\"\nshow\n");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kLineTwo), "0|1") << r.transcript;
  // The window shows the line received, then as it was before.
  const std::vector<std::string> rows = LineTwoRows(r.transcript);
  ASSERT_EQ(rows.size(), 3u) << r.transcript;
  EXPECT_NE(rows[1], rows[0]);
  EXPECT_EQ(rows[2], rows[0]);
  EXPECT_EQ(r.transcript.find("Line(s)"), std::string::npos) << r.transcript;
}

// Nothing received on the line: the undo names it and changes nothing.
TEST(UndoWindow, LineWithNothingToUndoIsNamed) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()},
                        "login admin admin\n" + e2e::OnLines("PO-2026-0008", "2") +
                            "command 202\nanswer msgbox yes \"OK to undo activity\"\n"
                            "answer msgbox ok \"Line(s) 2 There is nothing to undo\"\n");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kLineTwo), "0|0");
}

// Two POs chosen in the find window: the one with a received item is
// named and keeps its order; the other goes back to unordered.
TEST(UndoWindow, UndoOrderNamesTheRefusedPoAndUndoesTheOther) {
  Workspace ws;
  ws.Exec(
      "insert into po(\"po#\", po_number, \"vendor#\", currency, spent_event, item_creation,"
      " attach_barcode, renewal_type, location, bill_to_address, ship_to_address) values"
      " (91, 'PO-UNDO-1', 1, 'USD', 0, 0, 0, 0, 'MAIN', 'ACCTS', 'RECV'),"
      " (92, 'PO-UNDO-2', 1, 'USD', 0, 0, 0, 0, 'MAIN', 'ACCTS', 'RECV');"
      "insert into po_line(\"po#\", line, media_type, title, unit_price, last_item) values"
      " (91, 1, 'BOOK', 'Received', 10000000, 1), (92, 1, 'BOOK', 'Ordered', 10000000, 1);"
      "insert into po_line_item(\"po#\", line, item, location, budget, approve_date,"
      " order_date, printed_date, next_claim_date, receive_date) values"
      " (91, 1, 1, 'MAIN', 'ADULT.2026', 46000, 46001, NULL, NULL, 46020),"
      " (92, 1, 1, 'MAIN', 'ADULT.2026', 46000, 46001, 46001, 46031, NULL)");
  const auto r = ws.Run({"--db", ws.Db()},
                        "login admin admin\ncommand 152\nsearch po_number \"PO-UNDO-\"\n"
                        "select 1 2\ncommand \"Purchase Orders/Undo Order\"\n"
                        "answer msgbox yes \"OK to undo order\"\n"
                        "answer msgbox ok \"Cannot undo order for PO PO-UNDO-1;\"\n");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select order_date, printed_date, next_claim_date from"
                              " po_line_item where \"po#\"=92"),
            "||");
  EXPECT_EQ(QueryRow(ws.Db(), "select order_date from po_line_item where \"po#\"=91"), "46001");
}

}  // namespace
