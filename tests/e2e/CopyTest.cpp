// Create Items from the PO window through the real client: the person
// confirms, types a barcode for the first item (a wrong one is refused and
// asked again) and leaves the second empty, which gets "acq" and its item#.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "PoWindowScript.h"
#include "QueryDb.h"

namespace {

using e2e::OpenPoWindow;
using e2e::QueryRow;
using e2e::Workspace;

TEST(CopyCommands, CreateItemsOnAnApprovedLineWithATypedAndAnEmptyBarcode) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0007") +
                                                 R"acqs(select 1 2
command 176
answer msgbox yes "OK to create Item(s) for selected line(s)?"
show
field ibarcode "31234"
press OK
answer msgbox ok "The item barcode entered does not have the correct format."
field ibarcode "31234000055555"
press OK
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("Barcode: PO PO-2026-0007 Line 1"), std::string::npos)
      << r.transcript;
  EXPECT_NE(r.transcript.find("Letterpress Printing in America, 1850-1950"), std::string::npos)
      << r.transcript;
  const std::string second =
      QueryRow(ws.Db(), "select \"item#\" from po_line_item where \"po#\"=7 and line=2");
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(QueryRow(ws.Db(), "select t.ibarcode, t.item_status, t.location, t.collection, "
                              "t.itype from po_line_item i join item t on t.\"item#\"=i.\"item#\" "
                              "where i.\"po#\"=7 and i.line=1"),
            "31234000055555|r|MAIN|SPCOL|BOOK");
  EXPECT_EQ(QueryRow(ws.Db(), "select ibarcode, item_status, itype from item where \"item#\"=" +
                                  second),
            "acq" + second + "|r|MAP");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from item_activity"), "2");
}

}  // namespace

namespace {

// Item detail shows the line's items with their history and copies, and
// deleting the bibliographic records removes only what the person says yes
// to: the first line's item and record go, the second line keeps both.
TEST(CopyCommands, ItemDetailAndDeletingWhatALineCreated) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0007") +
                                                 R"acqs(select 1 2
command 176
answer msgbox yes
press OK
press OK
select 1
command 177
show
press History
show
press Close
press Copy
show
press Close
press Issues
answer msgbox ok "There is no Copy attached to this item."
press Close
select 1 2
command 180
answer msgbox yes "Are you sure you want to delete all eligible bibliographic records?"
answer msgbox yes "Letterpress Printing in America"
answer msgbox no "Facsimile Map of Illinois"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("Item Detail: PO PO-2026-0007 Line 1"), std::string::npos)
      << r.transcript;
  EXPECT_NE(r.transcript.find("List: PO PO-2026-0007 Line 1 Item 1 Copy Candidates"),
            std::string::npos)
      << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select coalesce(\"bib#\", 0) from po_line where \"po#\"=7 "
                              "order by line"),
            "0");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from bib_control where \"bib#\" in (1009, 1010)"),
            "1");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from item where \"bib#\"=1010"), "1");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from item where \"bib#\"=1009"), "0");
}

}  // namespace

namespace {

// With the inventory-number feature the barcode dialog asks for the prefix;
// Inventory Only makes the item with a temporary barcode and the prefix's
// first number, and a prefix longer than the column is refused first.
TEST(CopyCommands, InventoryOnlyGivesTheItemItsPrefixsNextNumber) {
  Workspace ws;
  ws.Exec("INSERT INTO pw_site_feature(feature) VALUES('IncInvA')");
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0007") +
                                                 R"acqs(select 1
command 176
answer msgbox yes
field prefix_inventory_num "SPECIAL"
press "Inventory Only"
answer msgbox ok "The inventory prefix may have at most 6 characters."
field prefix_inventory_num "SPC"
press "Inventory Only"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select substr(t.ibarcode, 1, 3), t.prefix_inventory_num, "
                              "t.inventory_num from po_line_item i join item t on "
                              "t.\"item#\"=i.\"item#\" where i.\"po#\"=7 and i.line=1"),
            "acq|SPC|1");
}

}  // namespace
