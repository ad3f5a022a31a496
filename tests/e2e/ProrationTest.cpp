// Extra-charge proration through the real client: a statement's open
// charge shared over its line's items from the statement window, the list
// of one line's shares (with its refusals before there are any), and the
// undo chosen from the prorate dialog putting every total back.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;

// Statement 2 (NF-88123, one line of three 24.95 items on ADULT.2026) gets
// an open handling charge of 3.00: 1.00 an item.
constexpr const char* kOpenCharge =
    "insert into statement_extra_charge(\"statement#\", extra_charge_type, amount, exchange_rate)"
    " values (2, 'HANDLE', 3000000, 1000000)";
constexpr const char* kShares =
    "select group_concat(item || ':' || amount, ',') from (select item, amount from "
    "po_line_item_budget_amount where \"statement#\"=2 and extra_charge_type='HANDLE' "
    "order by item) s";
constexpr const char* kAdultOnOrder = "select on_order from budget where budget='ADULT.2026'";

TEST(Proration, SharesAChargeListsALinesSharesAndUndoesThem) {
  Workspace ws;
  ws.Exec(kOpenCharge);
  const std::string before = QueryRow(ws.Db(), kAdultOnOrder);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 212
search statement_number "NF-88123"
select 1
key "Enter"
select none
command 179
answer msgbox ok "only be viewed for a single line"
select 1
command 179
answer msgbox ok "no prorated extra charges"
command 231
show
press OK
select 1
command 179
show
press Close
window "Invoice NF-88123"
command 231
press 1577
show
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const size_t listed = r.transcript.find("window \"List: Statement NF-88123 PO PO-2026-0001 "
                                          "Line 1 Extra Charges\"");
  ASSERT_NE(listed, std::string::npos) << r.transcript;
  const std::string list =
      r.transcript.substr(listed, r.transcript.find("action press Close", listed) - listed);
  EXPECT_EQ(CountOf(list, "| HANDLE | Handling |"), 3u) << list;
  EXPECT_NE(r.transcript.find("window \"Undo Prorated Extra Charges: Statement NF-88123\""),
            std::string::npos)
      << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kShares), "");
  EXPECT_EQ(QueryRow(ws.Db(), kAdultOnOrder), before);
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(transaction_type || ':' || amount, ',') from "
                              "(select transaction_type, amount from po_line_item_history where "
                              "po_activity_type='extchrg' and \"statement#\"=2 "
                              "order by transaction_type, item) h"),
            "0:1000000,0:1000000,0:1000000,2:1000000,2:1000000,2:1000000");
}

TEST(Proration, AZeroLineIsProratedByQuantityOnly) {
  Workspace ws;
  ws.Exec(kOpenCharge);
  const std::string before = QueryRow(ws.Db(), kAdultOnOrder);
  // A line of zero amount takes no share by amount; by quantity each item
  // takes its third.
  ws.Exec("update po_line_item_budget_amount set amount=0 where \"statement#\"=2");
  auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 212
search statement_number "NF-88123"
select 1
key "Enter"
command 231
press OK
answer msgbox ok "All lines selected for proration of extra charges have a zero amount"
command 231
field by_quantity yes
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kShares), "1:1000000,2:1000000,3:1000000");
  EXPECT_EQ(std::stoll(QueryRow(ws.Db(), kAdultOnOrder)) - std::stoll(before), 3000000LL);
}

// An approved statement is not prorated: the approval must be undone first.
TEST(Proration, AnApprovedStatementAsksForTheApprovalToBeUndone) {
  Workspace ws;
  ws.Exec("insert into statement_extra_charge(\"statement#\", extra_charge_type, amount, "
          "exchange_rate) values (1, 'HANDLE', 2000000, 1250000)");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 212
search statement_number "TP-2025-118"
select 1
key "Enter"
command 231
answer msgbox ok "Must Undo Statement Approval"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(r.transcript.find("window open \"Prorate:"), std::string::npos) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item_budget_amount where "
                              "extra_charge_type='HANDLE'"),
            "0");
}

}  // namespace
