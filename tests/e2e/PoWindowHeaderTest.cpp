// The PO header editor through the real client: a new PO starts from the
// workstation's location and its default addresses, the header rules tell
// their message and focus their field in order, and a refused header
// leaves the row as it was.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "PoWindowScript.h"
#include "QueryDb.h"

namespace {

using e2e::OpenPoWindow;
using e2e::QueryRow;
using e2e::Workspace;

// 151: the vendor first, then the header with the workstation location's
// defaults; OK saves it, its number is its key, and its window opens.
TEST(PoWindowHeader, NewPoForAVendorTakesTheDefaultsAndOpensItsWindow) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db(), "--location", "BRANCH"}, R"acqs(login admin admin
command 151
search name "Maple"
select 1
press OK
show
expect "field vendor_name = Maple Leaf Academic Books"
expect "field currency = CAD"
expect "field location = BRANCH"
expect "field bill_to_address = RIVER"
expect "field ship_to_address = RIVER"
press OK
expect "notice window open \"PO 9\""
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select po_number, \"vendor#\", currency, location, "
                              "bill_to_address, ship_to_address, spent_event, item_creation, "
                              "case when creation_date = last_update_date then 1 else 0 end, completion_date from po "
                              "where \"po#\" = 9"),
            "9|3|CAD|BRANCH|RIVER|RIVER|0|6|1|");
}

// A location without default addresses is told, and the header cannot be
// saved without addresses of the right kind.
TEST(PoWindowHeader, NewPoWithoutDefaultAddressesIsToldAndNotSaved) {
  Workspace ws;
  ws.Exec("update address set default_bill_to = 0, default_ship_to = 0 where location = 'MAIN'");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 165
answer msgbox ok "default billing address for location MAIN"
answer msgbox ok "default shipping address for location MAIN"
field vendor# "2"
press OK
answer msgbox ok "billing address () is the wrong type"
expect "notice focus bill_to_address"
key "Escape"
answer msgbox no
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po"), "8");
}

// Each rule in its turn: the message, the field that gets the focus, and the
// header left as it was.
TEST(PoWindowHeader, RulesTellTheirMessageAndFocusTheirField) {
  const struct {
    const char* po;
    const char* setup;   // SQL before the run ("" none)
    const char* edits;   // field lines
    const char* message;
    const char* focus;
  } cases[] = {
      {"PO-2026-0006", "", "field renewal_type \"2\"\n",
       "\\\"Subscription Period\\\" is a required", "subscription_period"},
      // Statement 1, approved, holds PO 5's money.
      {"PO-2025-0107", "", "field spent_event \"0\"\n", "\\\"Spent Event\\\" may not be changed",
       "spent_event"},
      // PO 5 line 1 was renewed.
      {"PO-2025-0107", "", "field renewal_type \"2\"\n", "Renewal Type may not be changed",
       "renewal_type"},
      {"PO-2026-0006", "update po_line set media_type = NULL where \"po#\" = 6 and line = 2",
       "field item_creation \"0\"\n", "A media type is required", "item_creation"},
      {"PO-2026-0008", "update po_line_item set collection = NULL where \"po#\" = 8 and item = 2",
       "field item_creation \"2\"\n", "A collection is required", "item_creation"},
      {"PO-2026-0008", "update po_line_item set itype = NULL where \"po#\" = 8 and line = 2",
       "field item_creation \"4\"\n", "An item type is required", "item_creation"},
      {"PO-2026-0001", "", "field bill_to_address \"RECV\"\n",
       "The designated billing address (RECV) is the wrong type.", "bill_to_address"},
      {"PO-2026-0001", "", "field ship_to_address \"ACCTS\"\n",
       "The designated shipping address (ACCTS) is the wrong type.", "ship_to_address"},
      // An address of another location is no address of this one.
      {"PO-2026-0001", "", "field ship_to_address \"RIVER\"\n",
       "The designated shipping address (RIVER) is the wrong type.", "ship_to_address"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edits);
    Workspace ws;
    if (*c.setup) ws.Exec(c.setup);
    const std::string row = QueryRow(ws.Db(), std::string("select * from po where po_number = '") +
                                                  c.po + "'");
    const auto r = ws.Run({"--db", ws.Db()},
                          "login admin admin\n" + OpenPoWindow(c.po) + "press Header\n" + c.edits +
                              "press OK\nanswer msgbox ok \"" + c.message + "\"\nexpect \"notice "
                              "focus " + c.focus + "\"\nkey \"Escape\"\nanswer msgbox no\n");
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(QueryRow(ws.Db(), std::string("select * from po where po_number = '") + c.po + "'"),
              row);
  }
}

// Values the header cannot hold are refused as they are typed, with a
// message, and the field goes back; a saved header has its number (the key
// when left empty) and no completion date.
TEST(PoWindowHeader, BadValuesAreRefusedAsTypedAndASaveClearsTheCompletionDate) {
  Workspace ws;
  ws.Exec("update po set completion_date = 46000 where \"po#\" = 1");
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0001") +
                                                 R"acqs(press Header
field vendor# "99"
answer msgbox ok "There is no vendor 99."
field vendor# "x"
answer msgbox ok "is not a whole number"
field vendor_contract "SUBS26"
answer msgbox ok "\"SUBS26\" is not a contract of vendor 1."
field currency "EUR"
answer msgbox ok "\"EUR\" is not a currency of this library."
field spent_event "3"
answer msgbox ok "Spent Event must be a whole number from 0 to 2."
field po_number "O'Brien \"2026\""
show
expect "field vendor# = 1"
expect "field vendor_contract = STAND26"
expect "field currency = USD"
expect "field spent_event = 0"
press OK
press Header
field po_number ""
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("notice window open \"Header: PO O'Brien \\\"2026\\\"\""),
            std::string::npos)
      << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select po_number, \"vendor#\", vendor_contract, currency, "
                              "spent_event, completion_date from po where \"po#\" = 1"),
            "1|1|STAND26|USD|0|");
}

}  // namespace
