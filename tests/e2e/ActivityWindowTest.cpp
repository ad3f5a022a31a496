// The activity windows through the real client on the demo library: each
// kind opens on a line with pending items and commits exactly the rows it
// should; what cannot be done (nothing pending, items not approved, a bad
// quantity or amount, a missing privilege) is told and changes nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ActivityScript.h"
#include "FrameRun.h"
#include "QueryDb.h"
#include "support/PdfText.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::StartOn;
using e2e::Workspace;

// A second statement of Northfield (vendor 1), not approved, for the
// activities that need one the items are not on yet.
const char* kSecondStatement =
    "insert into statement(\"statement#\", statement_number, statement_type, \"vendor#\", "
    "amount, currency, exchange_rate) values(3, 'NF-88200', 0, 1, 0, 'USD', 1000000)";

// Day number of a date ("2026-03-01"), as the database stores it: days
// since 1900-01-01.
std::string Day(const std::string& date) {
  using namespace std::chrono;
  const year_month_day ymd{year{std::stoi(date.substr(0, 4))},
                           month{static_cast<unsigned>(std::stoi(date.substr(5, 2)))},
                           day{static_cast<unsigned>(std::stoi(date.substr(8, 2)))}};
  const auto days = sys_days{ymd} - sys_days{year{1900} / January / 1};
  return std::to_string(days.count());
}

// Everything an activity changes on PO 1, in one row: items' dates and
// money rows and history. A refused activity leaves it as it was.
const char* kPoOneState =
    "select (select group_concat(coalesce('' || receive_date,'-') || "
    "coalesce('' || invoice_date,'-') || coalesce('' || cancel_date,'-') || "
    "coalesce('' || next_claim_date,'-'), ',') from (select * from po_line_item "
    "where \"po#\"=1 order by line, item) i), "
    "(select count(*) from po_line_item_history where \"po#\"=1), "
    "(select count(*) || '/' || sum(amount) from po_line_item_budget_amount where \"po#\"=1)";

TEST(ActivityWindow, EachKindCommitsOnALineWithPendingItems) {
  struct Case {
    const char* kind;
    const char* po;
    const char* line;
    const char* fields;   // script lines typed into the window before OK
    std::string check;    // SQL whose row shows the activity's rows
    const char* expected;
  };
  const Case cases[] = {
      {"receive", "PO-2026-0008", "2",
       "field entry_quantity \"1\"\nfield internal_note \"Box 1\"\n",
       "select (select count(*) from po_line_item where \"po#\"=8 and line=2 and receive_date "
       "is not null), (select internal_note from po_line where \"po#\"=8 and line=2)",
       "1|Box 1"},
      {"cancel", "PO-2026-0003", "2", "field entry_quantity \"1\"\n",
       "select count(*) from po_line_item where \"po#\"=3 and line=2 and cancel_date is not null",
       "1"},
      {"backorder", "PO-2026-0001", "3", "field next_claim_date \"2026-05-01\"\n",
       "select count(*) from po_line_item where \"po#\"=1 and line=3 and printed_date is null "
       "and next_claim_date=" + Day("2026-05-01"),
       "2"},
      {"invoice", "PO-2026-0001", "3",
       "field statement_number \"NF-88123\"\nfield entry_amount \"77.00\"\n",
       "select count(*), sum(amount) from po_line_item_history where \"po#\"=1 and line=3 and "
       "po_activity_type='invoice' and \"statement#\"=2",
       "2|77000000"},
      {"supinv", "PO-2026-0001", "1",
       "field entry_quantity \"1\"\nfield statement_number \"NF-88200\"\n"
       "field entry_amount \"5\"\n",
       "select count(*), sum(amount) from po_line_item_history where po_activity_type='invoice' "
       "and \"statement#\"=3",
       "1|5000000"},
      // Typed positive, a credit is entered negative.
      {"credit", "PO-2026-0001", "1",
       "field entry_quantity \"1\"\nfield statement_number \"NF-88200\"\n"
       "field entry_amount \"10.00\"\n",
       "select count(*), sum(amount) from po_line_item_history where po_activity_type='credit' "
       "and \"statement#\"=3",
       "1|-10000000"},
      {"refund", "PO-2026-0001", "1",
       "field entry_quantity \"1\"\nfield statement_number \"NF-88200\"\n"
       "field entry_amount \"-4.50\"\n",
       "select count(*), sum(amount) from po_line_item_history where po_activity_type='refund' "
       "and \"statement#\"=3",
       "1|-4500000"},
      // Two of the three items go to the branch (the third is there already).
      {"distribute", "PO-2026-0003", "2",
       "field entry_quantity \"2\"\nselect 1 2\nfield location \"BRANCH\"\n",
       "select count(*) from po_line_item where \"po#\"=3 and line=2 and location='BRANCH'",
       "3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    Workspace ws;
    ws.Exec(kSecondStatement);
    const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                                 StartOn(c.kind, c.po, c.line) + "show\n" +
                                                 c.fields + "press OK\n");
    ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(QueryRow(ws.Db(), c.check), c.expected) << r.transcript;
    // Committed, the window has closed by itself.
    bool closed = false;
    for (const std::string& l : e2e::LinesWithPrefix(r.transcript, "notice window close "))
      closed = closed || l.find(std::string(": PO ") + c.po + " Line " + c.line) != l.npos;
    EXPECT_TRUE(closed) << r.transcript;
  }
}

// Nothing pending, or items not yet approved (no other activity then): told,
// and no window opens.
TEST(ActivityWindow, LineThatCannotTakeTheActivityIsToldAndNoWindowOpens) {
  const struct {
    const char* kind;
    const char* po;
    const char* line;
    const char* told;
  } cases[] = {
      {"receive", "PO-2026-0001", "1", "There is nothing to receive for PO PO-2026-0001 Line 1."},
      {"invoice", "PO-2026-0001", "1", "There is nothing to invoice for PO PO-2026-0001 Line 1."},
      {"backorder", "PO-2026-0001", "2",
       "There is nothing to back order for PO PO-2026-0001 Line 2."},
      {"cancel", "PO-O'B-1", "2", "There is nothing to cancel for PO PO-O'B-1 Line 2."},
      {"receive", "4", "1", "PO Line 1 has items that are not approved."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    Workspace ws;
    ws.Exec("update po_line_item set cancel_date=1 where \"po#\"=2 and line=2");
    const std::string before = QueryRow(ws.Db(), kPoOneState);
    const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                                 StartOn(c.kind, c.po, c.line) +
                                                 "answer msgbox ok \"" + c.told + "\"\n");
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(CountOf(r.transcript, ": PO "), 0u) << r.transcript;   // no activity window
    EXPECT_EQ(QueryRow(ws.Db(), kPoOneState), before);
  }
}

// Every bad quantity is told with the number pending, the focus goes back to
// the quantity, and the window stays open; closing it commits nothing.
TEST(ActivityWindow, QuantityOutsideOneToPendingIsRefused) {
  const char* typed[] = {"0", "3", "abc", "-1", "1.5", ""};   // 2 pending
  std::string script = "login admin admin\n" + StartOn("receive", "PO-2026-0001", "3");
  for (const char* q : typed) {
    script += std::string("field entry_quantity \"") + q + "\"\npress OK\n" +
              "answer msgbox ok \"The quantity must be > 0 and <= the number pending (2).\"\n";
  }
  script += "key \"Escape\"\nanswer msgbox no \"Save changes\"\n";
  Workspace ws;
  const std::string before = QueryRow(ws.Db(), kPoOneState);
  const auto r = ws.Run({"--db", ws.Db()}, script);
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "notice focus entry_quantity"), std::size(typed) + 1)
      << r.transcript;   // and once as the window opened
  EXPECT_EQ(QueryRow(ws.Db(), kPoOneState), before);
}

// The amount and the statement of a money activity: what cannot be an
// amount of the site's money, or names no statement of the PO's vendor, is
// refused with the focus on its field.
TEST(ActivityWindow, BadAmountsAndStatementsAreRefused) {
  const struct {
    const char* statement;
    const char* amount;
    const char* told;
    const char* focus;
  } cases[] = {
      {"NF-88123", "abc", "The amount \\\"abc\\\" is not a number.", "entry_amount"},
      {"NF-88123", "12.345", "The amount 12.345 has more than 2 decimals.", "entry_amount"},
      {"NF-88123", "", "Enter the amount for the items.", "entry_amount"},
      {"", "10", "Enter the number of a statement of Northfield", "statement_number"},
      {"TP-2025-118", "10", "has no statement numbered \\\"TP-2025-118\\\".", "statement_number"},
  };
  std::string script = "login admin admin\n" + StartOn("invoice", "PO-2026-0001", "3");
  for (const auto& c : cases) {
    script += std::string("field statement_number \"") + c.statement + "\"\nfield entry_amount \"" +
              c.amount + "\"\npress OK\nanswer msgbox ok \"" + c.told + "\"\nexpect \"focus " +
              c.focus + "\"\n";
  }
  script += "key \"Escape\"\nanswer msgbox no \"Save changes\"\n";
  Workspace ws;
  const std::string before = QueryRow(ws.Db(), kPoOneState);
  const auto r = ws.Run({"--db", ws.Db()}, script);
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "notice focus entry_amount"), 3u) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kPoOneState), before);
}

// Items a borrower asked for are listed before a receive: Cancel goes back
// with nothing written, Continue receives; Print prints the list.
TEST(ActivityWindow, RequestedItemsAreListedBeforeReceiving) {
  Workspace ws;
  testpdf::SessionDirHold folder(ws.Dir().string());
  const auto r = ws.Run({"--db", ws.Db()},
                        "login admin admin\n" + StartOn("receive", "PO-2026-0008", "1") +
                            R"acqs(press OK
expect "window open \"Item-Specific Requests\""
show
expect "| 2 | Patrick O'Neil |"
press print
answer text "PDF file"
expect "notice file Item-Specific_Requests.pdf"
press cancel
expect-not "window close \"Receive"
press OK
press Continue
expect "window close \"Receive"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open \"Item-Specific Requests\""), 2u);
  const std::string printed = testpdf::PdfText(ws.Dir() / "Item-Specific_Requests.pdf");
  EXPECT_NE(printed.find("item-specific requests:"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Patrick O'Neil"), std::string::npos) << printed;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where \"po#\"=8 and line=1 "
                              "and receive_date is not null"),
            "2");
}

// Distribute takes exactly as many picked items as the quantity.
TEST(ActivityWindow, DistributeNeedsAsManyPickedItemsAsTheQuantity) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                               StartOn("distribute", "PO-2026-0003", "2") +
                                               R"acqs(field entry_quantity "2"
field location "BRANCH"
select 1
press OK
answer msgbox ok "The number of items selected must equal the quantity to distribute."
key "Escape"
answer msgbox no "Save changes"
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where \"po#\"=3 and line=2 and "
                              "location='BRANCH'"),
            "1");
}

// Several lines: one window after the other, each saying which line of how
// many it is; a line with nothing pending is told and passed over.
TEST(ActivityWindow, SelectedLinesGetOneWindowEachInTurn) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                               StartOn("cancel", "PO-2026-0001", "1 2 3") + R"acqs(
show
expect "window \"Cancel: PO PO-2026-0001 Line 1 (3 pending), line 1 of 3\""
expect "field title = The Lighthouse Keeper's Daughter (read-only)"
expect "field entry_quantity = 3"
key "Escape"
answer msgbox no "Save changes"
expect "Cancel: PO PO-2026-0001 Line 2 (2 pending), line 2 of 3"
field entry_quantity "1"
press OK
expect "Cancel: PO PO-2026-0001 Line 3 (2 pending), line 3 of 3"
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select line, count(*) from po_line_item where \"po#\"=1 and "
                              "cancel_date is not null group by line order by line"),
            "2|1");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where \"po#\"=1 and "
                              "cancel_date is not null"),
            "3");
}

// Without the activity's privilege (and no one to authorise it) nothing
// opens and nothing changes.
TEST(ActivityWindow, RefusedPrivilegeChangesNothing) {
  Workspace ws;
  const std::string before = QueryRow(ws.Db(), kPoOneState);
  std::string script = "login clerk clerk\n" + e2e::OnLines("PO-2026-0001", "3");
  for (const char* kind : {"cancel", "invoice", "backorder", "credit"})
    script += std::string("press ") + e2e::ActivityButton(kind) + "\nanswer credentials cancel\n";
  const auto r = ws.Run({"--db", ws.Db()}, script);
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, ": PO "), 0u) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kPoOneState), before);
}

}  // namespace
