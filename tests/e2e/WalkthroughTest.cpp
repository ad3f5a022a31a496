// docs/walkthrough.acq, the script of docs/walkthrough.md, run as written
// by the real client on a fresh demo library: a PO raised, approved,
// received and invoiced, with its rows and the budget's money as the
// walkthrough tells them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;

std::string ReadScript() {
  std::ifstream in(ACQ_SOURCE_DIR "/docs/walkthrough.acq");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Walkthrough, RaisesApprovesReceivesAndInvoicesAPo) {
  const std::string script = ReadScript();
  ASSERT_FALSE(script.empty());
  Workspace ws;
  const std::string otherBudgets =
      "select group_concat(account || year || ':' || on_order || ':' || spent) from "
      "account_year where not (account = 'ADULT' and year = 2026)";
  const std::string others = QueryRow(ws.Db(), otherBudgets);
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;

  // The PO, its line and its two items, each approved, received and
  // invoiced on one day (the day of the run).
  EXPECT_EQ(QueryRow(ws.Db(), "select \"po#\", \"vendor#\", currency, location, bill_to_address, "
                              "ship_to_address from po where po_number = 'PO-2026-0101'"),
            "9|1|USD|MAIN|ACCTS|RECV");
  EXPECT_EQ(QueryRow(ws.Db(), "select title, unit_price, last_item from po_line where \"po#\" = 9"),
            "The Orchard Year|30000000|2");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*), count(distinct approve_date || ':' || receive_date || "
                              "':' || invoice_date), min(case when approve_date = receive_date and "
                              "receive_date = invoice_date then 1 else 0 end), max(budget) from "
                              "po_line_item where \"po#\" = 9"),
            "2|1|1|ADULT.2026");
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(po_activity_type || ':' || n) from (select "
                              "po_activity_type, count(*) as n from po_line_item_history where "
                              "\"po#\" = 9 group by po_activity_type order by po_activity_type) s"),
            "approve:2,invoice:2,receive:2");
  // The invoice took the place of the price rows: two rows of 30.00 on
  // statement NF-88123 (2), on order while the statement is not approved.
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*), sum(amount), min(\"statement#\"), max(spent) "
                              "from po_line_item_budget_amount where \"po#\" = 9"),
            "2|60000000|2|0");
  EXPECT_EQ(QueryRow(ws.Db(), "select amount from statement_line where \"po#\" = 9"), "60000000");

  // ADULT.2026 went 60.00 more on order (273.37 before) and spent nothing;
  // its ledger says the same; no other budget moved.
  EXPECT_EQ(QueryRow(ws.Db(), "select on_order, spent from account_year where account = 'ADULT' "
                              "and year = 2026"),
            "333370000|0");
  EXPECT_EQ(QueryRow(ws.Db(), "select sum(trans_amount) from budget_transaction_detail where "
                              "budget = 'ADULT.2026' and amount_type = 1 and \"po#\" = 9"),
            "60000000");
  EXPECT_EQ(QueryRow(ws.Db(), otherBudgets), others);
}

}  // namespace
