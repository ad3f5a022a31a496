// Purchase requests through the real client: a request made in its editor
// with two distribution rows (the row whose location has no shipping
// address refused until it is corrected), ordered on a PO from the editor,
// and found again in the find window with the PO it is on.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;

// Request 2 (the demo library has 1): 2 x MAIN on ADULT.2026 and 1 x
// BRANCH on REF.2026 at 12.50; on PO-2026-0001 (vendor 1, lines 1-3) it
// becomes line 4 with three items, 25.00 more on order on ADULT.2026 and
// 12.50 on REF.2026.
TEST(PurchaseRequestWindow, RequestWithTwoRowsBecomesALineOfAPo) {
  Workspace ws;
  const std::string adult =
      "select on_order from account_year where account='ADULT' and year=2026";
  const std::string ref = "select on_order from account_year where account='REF' and year=2026";
  const long long adultBefore = std::stoll(QueryRow(ws.Db(), adult));
  const long long refBefore = std::stoll(QueryRow(ws.Db(), ref));
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 251
show
press New
field title "Orchard Pruning for Beginners"
field author "Hale, Iris"
field vendor# "1"
field unit_price "12.50"
field currency "USD"
press "Make PO Line"
answer msgbox ok "Save the request before making a PO line of it."
press "Add Row"
field quantity "2"
field location "MAIN"
field budget "ADULT.2026"
press "Add Row"
field location "ANNEX"
field budget "REF.2026"
framework 14
answer msgbox ok "Missing a default shipping address for location ANNEX"
field location "BRANCH"
framework 14
press "Make PO Line"
field po_number "PO-NOSUCH"
press OK
answer msgbox ok "There is no open PO PO-NOSUCH."
field po_number "PO-2026-0001"
press OK
answer msgbox ok "Request 2 is now PO PO-2026-0001, line 4."
window "Purchase Request 2"
press "Make PO Line"
field po_number "PO-2026-0001"
press OK
answer msgbox ok "Request 2 is already on PO PO-2026-0001, line 4"
press Cancel
command 252
search "Title" "Orchard"
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("The Gardener's Almanac 2026"), std::string::npos) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(line || ':' || quantity || location || "
                              "budget || ship_to, ',') from (select * from pr_distribution "
                              "where \"pr#\" = 2 order by line) d"),
            "1:2MAINADULT.2026RECV,2:1BRANCHREF.2026RIVER");
  EXPECT_EQ(QueryRow(ws.Db(), "select line, title, author, unit_price, last_item from po_line "
                              "where \"pr#\" = 2"),
            "4|Orchard Pruning for Beginners|Hale, Iris|12500000|3");
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(item || location || budget || "
                              "ship_to_address, ',') from (select * from po_line_item where "
                              "\"po#\" = 1 and line = 4 order by item) i"),
            "1MAINADULT.2026RECV,2MAINADULT.2026RECV,3BRANCHREF.2026RIVER");
  EXPECT_EQ(std::stoll(QueryRow(ws.Db(), adult)) - adultBefore, 25000000);
  EXPECT_EQ(std::stoll(QueryRow(ws.Db(), ref)) - refBefore, 12500000);
  const std::string found = r.transcript.substr(r.transcript.rfind("action show"));
  EXPECT_NE(found.find("Orchard Pruning for Beginners"), std::string::npos) << found;
  EXPECT_NE(found.find("PO-2026-0001"), std::string::npos) << found;
}

// Delete (13) on the list asks first; No keeps the request, Yes removes it
// with its distribution rows.
TEST(PurchaseRequestWindow, DeleteAsksAndTakesTheRequestWithItsRows) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 251
select 1
command 13
answer msgbox no "Delete the selected request(s) with their distribution?"
command 13
answer msgbox yes "Delete the selected request(s) with their distribution?"
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from pr"), "0");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from pr_distribution"), "0");
  const std::string shown = r.transcript.substr(r.transcript.rfind("action show"));
  EXPECT_EQ(shown.find("Gardener"), std::string::npos) << shown;
}

}  // namespace
