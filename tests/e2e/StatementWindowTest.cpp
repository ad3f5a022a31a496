// The statement window through the real client: an invoice with an extra
// charge (its budget defaulted from the charge type) and a credit by
// budget are entered, saved, and read back when opened from the find
// window; an approved statement refuses a changed amount and keeps its
// rows; closing a window with changes asks first; a line attached through
// the open button and undone again leaves every budget as it was.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;

TEST(StatementWindow, EntersAnInvoiceAndACreditByBudgetSavesAndReopensThem) {
  Workspace ws;
  const std::string opsBefore = QueryRow(ws.Db(), "select on_order from budget where budget='OPS.2026'");
  const std::string adultBefore =
      QueryRow(ws.Db(), "select on_order from budget where budget='ADULT.2026'");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 211
field statement_number "INV-77"
field vendor# "1"
field amount "40.00"
field currency "USD"
press "Add Charge"
field extra_charge_type "SHIP"
field amount "4.50"
press OK
press Save
press Close
command 220
field statement_number "CR-9"
field vendor# "2"
field amount "15.00"
press "Add Budget"
field budget "ADULT.2026"
field amount "15.00"
press OK
press Save
press Close
command 212
search statement_number "INV-77"
select 1
key "Enter"
show
window "Find Statement"
search statement_number "CR-9"
select 1
key "Enter"
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const size_t reopened = r.transcript.find("window open \"Invoice INV-77\"",
                                            r.transcript.find("action command 212"));
  ASSERT_NE(reopened, std::string::npos) << r.transcript;
  const std::string shown = r.transcript.substr(reopened);
  EXPECT_NE(shown.find("row 1 | SHIP | 4.50 | OPS.2026 |"), std::string::npos) << shown;
  EXPECT_NE(shown.find("field amount = 40.00"), std::string::npos) << shown;
  EXPECT_NE(shown.find("field balanced = Not balanced"), std::string::npos) << shown;
  EXPECT_NE(shown.find("window \"Credit by Budget CR-9\""), std::string::npos) << shown;
  // A credit's amounts are kept negative, however they were typed.
  EXPECT_NE(shown.find("row 1 | ADULT.2026 | -15.00 |"), std::string::npos) << shown;
  EXPECT_NE(shown.find("field amount = -15.00"), std::string::npos) << shown;
  EXPECT_NE(shown.find("field balanced = Balanced"), std::string::npos) << shown;

  EXPECT_EQ(QueryRow(ws.Db(), "select statement_type || '/' || \"vendor#\" || '/' || currency "
                              "from statement where statement_number='INV-77'"),
            "0/1/USD");
  EXPECT_EQ(QueryRow(ws.Db(), "select statement_type || '/' || \"vendor#\" from statement "
                              "where statement_number='CR-9'"),
            "4/2");
  // Both rows' money is on order until approval (the credit's taken off).
  EXPECT_EQ(std::stoll(QueryRow(ws.Db(), "select on_order from budget where budget='OPS.2026'")) -
                std::stoll(opsBefore),
            4'500'000);
  EXPECT_EQ(std::stoll(QueryRow(ws.Db(), "select on_order from budget where budget='ADULT.2026'")) -
                std::stoll(adultBefore),
            -15'000'000);
}

TEST(StatementWindow, ApprovedStatementRefusesAChangedAmountAndClosingAsksFirst) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 212
search statement_number "TP-2025-118"
select 1
key "Enter"
field amount "300.00"
press Save
answer msgbox ok "Only the \"Note\" field"
press Close
answer msgbox cancel "Save the changes"
field amount "255.00"
field note "Checked twice"
press Save
press Close
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window close \"Invoice TP-2025-118\""), 1u) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select amount || '/' || note from statement where \"statement#\"=1"),
            "255000000/Checked twice");
}

TEST(StatementWindow, AttachesALineFromTheCandidatesAndUndoesItAgain) {
  Workspace ws;
  const std::string budgets =
      "select group_concat(budget || ':' || on_order || ':' || spent, ',') from "
      "(select * from budget order by budget) b";
  const std::string before = QueryRow(ws.Db(), budgets);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 212
search statement_number "NF-88123"
select 1
key "Enter"
press Invoice
field search_for "(atlas"
press Search
answer msgbox ok "Unbalanced parentheses"
field search_for "atl* birds"
press Search
select 1
press Open
field entry_quantity "1"
field entry_amount "20.00"
press OK
window "Invoice NF-88123"
show
select "Atlas"
command 222
answer msgbox yes "Undo the 1 selected"
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  // The activity window opened with the statement's number in it.
  EXPECT_NE(r.transcript.find("action field entry_amount"), std::string::npos) << r.transcript;
  const size_t undo = r.transcript.find("action command 222");
  ASSERT_NE(undo, std::string::npos) << r.transcript;
  const std::string attached = r.transcript.substr(0, undo), undone = r.transcript.substr(undo);
  EXPECT_NE(attached.find("| PO-2026-0001 | 2 | Atlas of Coastal Birds | 1 | 20.00 | 20.00"),
            std::string::npos)
      << attached;
  EXPECT_EQ(undone.find("Atlas of Coastal Birds"), std::string::npos) << undone;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item_history where \"statement#\"=2 "
                              "and transaction_type=2 and \"po#\"=1 and line=2"),
            "1");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where \"po#\"=1 and line=2 "
                              "and invoice_date IS NOT NULL"),
            "0");
  EXPECT_EQ(QueryRow(ws.Db(), budgets), before);
}

}  // namespace
