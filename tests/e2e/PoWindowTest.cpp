// The PO window through the real client: its totals, opening a PO from the
// find windows in Edit or Receive mode, the commands that act on it and the
// privileges they ask, and a viewer who can look but change nothing.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "PoWindowScript.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::LastShow;
using e2e::OpenPoWindow;
using e2e::PoDigest;
using e2e::PromptFor;
using e2e::QueryRow;
using e2e::Workspace;

// Each total is the exact sum of its column over the lines, formatted once:
// PO 8 carries two charges of half a cent, which make one cent together
// (rounding each line first would make two), and a line without a price
// adds nothing.
TEST(PoWindow, TotalsAreExactSumsOfTheLines) {
  const struct {
    const char* po;
    const char* totals;   // price, billed, charges, billed amount, on order, spent
  } cases[] = {
      // Billed on statement NF-88123, which is not approved: all on order.
      {"PO-2026-0001", "$281.85 (USD)|$74.85|$0.00|$74.85|$281.85|$0.00"},
      {"PO-O'B-1", "$224.98 (USD)|$0.00|$0.00|$0.00|$224.98|$0.00"},   // a cancelled item
      {"PO-2026-0003", "$168.00 (CAD)|$0.00|$0.00|$0.00|$168.00|$0.00"},
      {"PO-2025-0107", "$240.00 (GBP)|$240.00|$0.00|$240.00|$0.00|$240.00"},
      {"PO-2026-0008", "$119.00 (USD)|$0.01|$0.01|$0.00|$119.01|$0.00"},
  };
  Workspace ws;
  ws.Exec(R"(insert into po_line_item_budget_amount("po#", line, item, budget, amount,
               exchange_rate, spent, extra_charge_type, "statement#")
             values (8, 1, 1, 'OPS.2026', 5000, 1000000, 0, 'SHIP', 2),
                    (8, 2, 1, 'OPS.2026', 5000, 1000000, 0, 'SHIP', 2))");
  ws.Exec(R"(insert into po_line("po#", line, title, unit_price, last_item)
             values (8, 3, 'Price to follow', NULL, 0))");
  std::string script = "login admin admin\n";
  for (const auto& c : cases) script += OpenPoWindow(c.po) + "show\n";
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  for (const auto& c : cases) {
    const std::string shown = LastShow(r.transcript, std::string("PO ") + c.po);
    std::string totals;
    for (const char* field : {"price", "billed", "billed_charges", "billed_amount", "on_order",
                              "spent"}) {
      const std::string head = std::string("field ") + field + " = ";
      const size_t at = shown.find(head);
      const size_t end = shown.find(" (read-only)", at);
      totals += (totals.empty() ? "" : "|") +
                (at == std::string::npos ? "?"
                                         : shown.substr(at + head.size(), end - at - head.size()));
    }
    EXPECT_EQ(totals, c.totals) << c.po << "\n" << shown;
  }
  EXPECT_NE(r.transcript.find("row 3 | 3 | Price to follow |  |  | 0 |"), std::string::npos);
}

// From a find window the person chooses Edit or Receive. Receive opens the
// receive activity of the line found, or of the PO's first line with items
// to receive; a PO with none is told so.
TEST(PoWindow, ModeSelectionReceivesTheLineFoundOrTheFirstWithItemsToReceive) {
  const struct {
    const char* open;     // script lines up to the mode selection
    const char* answer;   // the mode button
    const char* expected;
    bool activityOpens;   // closing then asks about the activity's entry
  } cases[] = {
      {"command 152\nsearch po_number \"PO-O'B-1\"\nselect 1\npress Open\n", "Receive",
       "notice window open \"Receive: PO PO-O'B-1 Line 2", true},
      {"command 153\nsearch isbn \"9781555000035\"\nselect 1\npress Open\n", "Receive",
       "notice window open \"Receive: PO PO-2026-0001 Line 3", true},
      {"command 152\nsearch po_number \"PO-2025-0107\"\nselect 1\npress Open\n", "Receive",
       "There is nothing to receive for PO PO-2025-0107 Line 1.", false},
      {"command 152\nsearch po_number \"PO-O'B-1\"\nselect 1\npress Open\n", "Cancel",
       "notice window close \"PO Mode Selection\"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.open);
    Workspace ws;
    const std::string script = std::string("login admin admin\n") + c.open + "press " +
                               c.answer + "\n" +
                               (c.activityOpens ? "close\nanswer msgbox no\n" : "");
    const auto r = ws.Run({"--db", ws.Db()}, script);
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_NE(r.transcript.find(c.expected), std::string::npos) << r.transcript;
    if (std::string(c.answer) == "Cancel") {
      EXPECT_EQ(r.transcript.find("window open \"PO PO-"), std::string::npos) << r.transcript;
    }
  }
}

// The clerk may open, edit and receive POs: every other act asks its
// privilege, and a cancelled prompt leaves the database as it was.
TEST(PoWindow, CommandsAndButtonsAskTheirPrivileges) {
  const struct {
    const char* act;
    const char* feature;
  } cases[] = {
      {"command 151\n", "poHead"},           {"command 165\n", "poHead"},
      {"select 1\ncommand 172\n", "poApprv"}, {"select 1\npress Approve\n", "poApprv"},
      {"select 1\ncommand 174\n", "poCan"},  {"select 1\ncommand 175\n", "poBOrd"},
      {"select 1\ncommand 13\n", "poDel"},   {"select 1\npress \"Delete Line\"\n", "poDel"},
  };
  Workspace ws;
  std::string script = "login clerk clerk\n" + OpenPoWindow("PO-2026-0006");
  for (const auto& c : cases) script += std::string(c.act) + "answer credentials cancel\n";
  const std::string before = PoDigest(ws);
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  for (const auto& c : cases) {
    std::string act(c.act);
    act.pop_back();   // its last line is the act itself
    const size_t at = r.transcript.find("action " + act.substr(act.rfind('\n') + 1));
    ASSERT_NE(at, std::string::npos) << c.act;
    EXPECT_NE(r.transcript.find(PromptFor(ws, c.feature) + " -> cancel", at), std::string::npos)
        << c.act << r.transcript;
  }
  EXPECT_EQ(PoDigest(ws), before);
}

// The line list of a PO window (160) or of a found PO (171) lists its lines;
// approving lines selected there approves them.
TEST(PoWindow, LineListsListThePosLinesAndApproveTheSelectedOnes) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0006") +
                                                 R"acqs(command 160
expect "notice window open \"List: PO PO-2026-0006 Lines\""
select 2
command 172
command 152
command 171
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "notice window open \"List: PO PO-2026-0006 Lines\""), 2u);
  EXPECT_NE(r.transcript.find("row 3 | 6 | PO-2026-0006 | 3 | Conversational Spanish Course"),
            std::string::npos)
      << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(),
                     "select group_concat(line || ':' || (case when approve_date is null then 0 "
                     "else 1 end)) from (select * from po_line_item where \"po#\"=6 "
                     "order by line, item) s"),
            "1:0,1:0,2:1,3:0");
}

// Receive, cancel and back order act on selected lines: with none selected
// the PO window does not offer them.
TEST(PoWindow, ActivitiesOfSelectedLinesNeedASelection) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0001") +
                                                 "command 173\n");
  EXPECT_EQ(r.exitCode, 1) << r.transcript;
  EXPECT_NE(r.err.find("command 173 Receive is not available here"), std::string::npos) << r.err;
}

// A viewer whom the administrator lets open a PO sees it, and every change
// asks a privilege the viewer does not hold: nothing changes.
TEST(PoWindow, ViewerCannotChangeAnything) {
  Workspace ws;
  const std::string before = PoDigest(ws);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login viewer viewer
command 152
search po_number "PO-2026-0006"
select 1
press Open
answer credentials admin admin
press Edit
show
expect "field price = $153.93 (USD)"
press Header
field po_number "CHANGED"
answer credentials cancel
answer msgbox ok
press Cancel
press "New Line"
answer credentials cancel
select 1
press "Edit Line"
field unit_price "1.00"
answer credentials cancel
answer msgbox ok
press Cancel
select 1
press "Delete Line"
answer credentials cancel
press Approve
answer credentials cancel
press Receive
answer credentials cancel
command 165
answer credentials cancel
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  for (const char* feature : {"poOpen", "poEdit", "poDel", "poApprv", "poRec", "poHead"})
    EXPECT_NE(r.transcript.find(PromptFor(ws, feature)), std::string::npos) << feature;
  EXPECT_EQ(PoDigest(ws), before);
}

}  // namespace
