// The PO line editor through the real client: raising a line puts its
// items' money on order; the line rules tell their message and focus their
// field in order; an approved line asks the privilege its changes need;
// budget splits; approval on save; bad input changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FrameRun.h"
#include "PoWindowScript.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::LastShow;
using e2e::OpenLineEditor;
using e2e::OpenPoWindow;
using e2e::PoDigest;
using e2e::PromptFor;
using e2e::QueryRow;
using e2e::Workspace;

const char* kAvOnOrder = "select on_order from account_year where account = 'AV' and year = 2026";

// A new line with two items on AV.2026: the line, its items and their price
// rows are written, AV.2026 goes 39.98 more on order (126.93 before), and
// the window's line and totals follow. Letters, a negative price, more
// decimals than the site's and notes over 255 characters are refused as
// typed; quotes in a title are kept as typed.
TEST(PoWindowLine, RaisingALinePutsItsItemsMoneyOnOrder) {
  Workspace ws;
  const std::string longNote(256, 'n');
  const auto r = ws.Run({"--db", ws.Db()}, "login clerk clerk\n" + OpenPoWindow("PO-2026-0006") +
                                                 R"acqs(press "New Line"
field title "O'Brien's \"Field\" Guide"
field unit_price "abc"
answer msgbox ok "is not an amount"
field unit_price "-1"
answer msgbox ok "The price must be an amount of 0 or more with at most 2 decimals."
field unit_price "19.995"
answer msgbox ok "at most 2 decimals"
field internal_note ")acqs" + longNote + R"acqs("
answer msgbox ok "longer than 255 characters"
field unit_price "19.99"
field media_type "CD"
press "Add Items"
field quantity "two"
press OK
answer msgbox ok "The quantity \"two\" is not a whole number."
field quantity "-2"
press OK
answer msgbox ok "A quantity less than one (1) is not allowed."
field quantity "2"
press OK
field collection "AV"
field itype "CD"
field budget "NOSUCH.2026"
answer msgbox ok "There is no budget NOSUCH.2026."
field budget "AV.2026"
press OK
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select title, unit_price, media_type, last_item, internal_note "
                              "from po_line where \"po#\" = 6 and line = 4"),
            "O'Brien's \"Field\" Guide|19990000|CD|2|");
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(item || location || collection || itype || "
                              "budget, ',') from po_line_item where \"po#\" = 6 and line = 4"),
            "1MAINAVCDAV.2026,2MAINAVCDAV.2026");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*), sum(amount) from po_line_item_budget_amount "
                              "where \"po#\" = 6 and line = 4 and spent = 0"),
            "2|39980000");
  EXPECT_EQ(QueryRow(ws.Db(), kAvOnOrder), "166910000");
  const std::string shown = LastShow(r.transcript, "PO PO-2026-0006");
  EXPECT_NE(shown.find("field price = $193.91 (USD)"), std::string::npos) << shown;
  EXPECT_NE(
      shown.find("| 4 | O'Brien's \\\"Field\\\" Guide |  | $19.99 | 2 | $39.98 |  | $39.98 |"),
      std::string::npos)
      << shown;
}

// A frozen budget accepted when it is typed is not asked about again when
// the line is saved and its money goes on order there.
TEST(PoWindowLine, FrozenBudgetAcceptedWhenTypedIsNotAskedAgainOnSave) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" + OpenPoWindow("PO-2026-0006") +
                                                 R"acqs(press "New Line"
field title "Frozen Pond"
field unit_price "12.50"
press "Add Items"
field quantity "2"
press OK
field collection "JUV"
field budget "CHILD.2026"
answer msgbox yes "The CHILD.2026 budget is frozen."
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;   // a second question has no answer
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*), sum(amount) from po_line_item_budget_amount "
                              "where \"po#\" = 6 and line = 4 and budget = 'CHILD.2026'"),
            "2|25000000");
}

// An item deleted takes its price off its budget; a budget changed moves
// it; the Borrower button puts the chosen borrower on the selected item.
TEST(PoWindowLine, ItemsDeletedOrMovedTakeTheirMoneyWithThem) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                                 OpenLineEditor("PO-2026-0006", 1) + R"acqs(
select 2
press Borrower
search name "Maria"
select 1
press OK
select 1
press "Delete Item"
select 2
field budget "REF.2026"
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(item || ':' || budget || ':' || \"borrower#\") "
                              "from po_line_item where \"po#\" = 6 and line = 1"),
            "2:REF.2026:3");
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(item || ':' || budget || ':' || amount) from "
                              "po_line_item_budget_amount where \"po#\" = 6 and line = 1"),
            "2:REF.2026:29990000");
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(account || ':' || on_order) from account_year "
                              "where year = 2026 and account in ('AV', 'REF')"),
            "AV:66950000,REF:307110000");   // AV 126.93 - 59.98, REF 277.12 + 29.99
}

// Delete Line: a line with activity (64) or approved items (264) stays;
// one without goes with its items and their money.
TEST(PoWindowLine, DeleteLineRemovesOnlyLinesWithoutActivityOrApproval) {
  const struct {
    const char* po;
    int row;
    const char* refusal;   // nullptr: deleted
  } cases[] = {
      {"PO-2026-0001", 1, "A line may not be deleted if any of its items has any activity"},
      {"PO-2026-0003", 1, "Deletion of an Approved PO Line Item is not allowed."},
      {"PO-2026-0006", 1, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.po);
    Workspace ws;
    const std::string before = PoDigest(ws);
    std::string script = "login admin admin\n" + OpenPoWindow(c.po) + "select " +
                         std::to_string(c.row) + "\npress \"Delete Line\"\nanswer msgbox yes "
                         "\"Delete line\"\n";
    if (c.refusal) script += std::string("answer msgbox ok \"") + c.refusal + "\"\n";
    const auto r = ws.Run({"--db", ws.Db()}, script);
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    if (c.refusal) {
      EXPECT_EQ(PoDigest(ws), before);
      continue;
    }
    EXPECT_EQ(QueryRow(ws.Db(),
                       "select (select count(*) from po_line where \"po#\" = 6), "
                       "(select count(*) from po_line_item where \"po#\" = 6 and line = 1), "
                       "(select count(*) from po_line_item_budget_amount where \"po#\" = 6 "
                       "and line = 1), (select on_order from account_year where account = "
                       "'AV' and year = 2026)"),
              "2|0|0|66950000");
  }
}

// Each line rule in its turn: the message, the field with the focus (the
// item's row selected), and nothing written.
TEST(PoWindowLine, RulesTellTheirMessageAndFocusTheirField) {
  const struct {
    const char* po;
    int row;              // the line's row in the PO window
    const char* edits;
    const char* message;
    const char* focus;
  } cases[] = {
      // Statement 1's voucher paid PO 5 line 1.
      {"PO-2025-0107", 1, "field unit_price \"181.00\"\n", "Price may not be altered",
       "unit_price"},
      // PO 3 makes copies and items: media type, collection, item type.
      {"PO-2026-0003", 1, "field media_type \"\"\n", "A media type is required", "media_type"},
      {"PO-2026-0003", 1, "select 2\nfield collection \"\"\n", "A collection is required",
       "collection"},
      {"PO-2026-0003", 2, "select 3\nfield itype \"\"\n", "An item type is required", "itype"},
      // PO 6 line 3's item pays through a split.
      {"PO-2026-0006", 3, "select 1\nfield budget \"AV.2026\"\n",
       "may not have both a single budget allocation and a budget split", "budget"},
      {"PO-2025-0107", 2, "select 1\nfield budget \"SERIAL.2026\"\n",
       "Budget(s) may not be altered after corresponding voucher", "budget"},
      // PO 1 is on a vendor contract; the rule comes before the approved-line rules.
      {"PO-2026-0001", 2, "select 1\nfield budget \"\"\n",
       "Budget(s) must be specified when using a vendor contract", "budget"},
      {"PO-O'B-1", 1, "select 1\npress \"Delete Item\"\n",
       "An item may not be deleted if it has any activity", "item"},
      // PO 4 line 1's item was made by renewal.
      {"4", 1, "select 1\npress \"Delete Item\"\n", "created by renewal", "item"},
      {"PO-2026-0003", 1, "select 1\npress \"Delete Item\"\n",
       "Deletion of an Approved PO Line Item is not allowed.", "item"},
      {"PO-2026-0003", 1, "select 1\nfield budget \"\"\n",
       "cannot remove budget information from approved PO Line Item(s)", "budget"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.po) + ": " + c.edits);
    Workspace ws;
    const std::string before = PoDigest(ws);
    const auto r = ws.Run({"--db", ws.Db()},
                          "login admin admin\n" + OpenLineEditor(c.po, c.row) + c.edits +
                              "press OK\nanswer msgbox ok \"" + c.message +
                              "\"\nexpect \"notice focus " + c.focus +
                              "\"\nkey \"Escape\"\nanswer msgbox no\n");
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(PoDigest(ws), before);
  }
}

// A new location of an approved item on a drop-ship PO is to be told to the
// vendor again: the save warns and goes on.
TEST(PoWindowLine, DropShipLocationChangeOfAnApprovedItemWarnsAndSaves) {
  Workspace ws;
  ws.Exec("update po set drop_ship = 1 where \"po#\" = 3");
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                                 OpenLineEditor("PO-2026-0003", 1) + R"acqs(
select 2
field location "BRANCH"
press OK
answer msgbox ok "drop shipping applies"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select location from po_line_item where \"po#\" = 3 and line = 1 "
                              "and item = 2"),
            "BRANCH");
}

// An ISBN already in another record is saved only when the person says so
// and holds isbDup; the line's own record asks nothing.
TEST(PoWindowLine, DuplicateIsbnAsksAndNeedsItsPrivilege) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login clerk clerk\n" +
                                                 OpenLineEditor("PO-2026-0006", 1) + R"acqs(
field isbn "9781555000028"
press OK
answer msgbox no "The ISBN is already referenced in bib#(s) 1002,1101. Save changes?"
expect "notice focus isbn"
press OK
answer msgbox yes "bib#(s) 1002,1101"
answer credentials cancel
press OK
answer msgbox yes "bib#(s) 1002,1101"
answer credentials admin admin
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, PromptFor(ws, "isbDup")), 2u);
  EXPECT_EQ(QueryRow(ws.Db(), "select isbn from po_line where \"po#\" = 6 and line = 1"),
            "9781555000028");
}

// On an approved line the changes decide the privilege: only notes need
// poChApp, anything else of the line or an approved item poChLin, more
// items poChQty besides. The clerk holds none of them; the last case has the
// administrator grant the first, and the second is still asked.
TEST(PoWindowLine, ApprovedLineAsksThePrivilegeItsChangesNeed) {
  const struct {
    const char* edits;
    std::vector<std::pair<const char*, const char*>> asked;   // feature, answer
  } cases[] = {
      {"field internal_note \"Rush\"\n", {{"poChApp", "cancel"}}},
      {"field unit_price \"43.50\"\n", {{"poChLin", "cancel"}}},
      {"select 1\nfield location \"BRANCH\"\n", {{"poChLin", "cancel"}}},
      {"select 1\npress \"Add Items\"\npress OK\n", {{"poChQty", "cancel"}}},
      {"field order_note \"Two\"\nselect 1\nfield quantity \"2\"\n",
       {{"poChApp", "admin admin"}, {"poChQty", "cancel"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edits);
    Workspace ws;
    const std::string before = PoDigest(ws);
    std::string script = "login clerk clerk\n" + OpenLineEditor("PO-2026-0003", 1) + c.edits +
                         "press OK\n";
    for (const auto& [feature, answer] : c.asked)
      script += std::string("answer credentials ") + answer + "\n";
    script += "key \"Escape\"\nanswer msgbox no\n";
    const auto r = ws.Run({"--db", ws.Db()}, script);
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(CountOf(r.transcript, "credentials \"Authorisation needed"), c.asked.size())
        << r.transcript;
    for (const auto& [feature, answer] : c.asked)
      EXPECT_NE(r.transcript.find(PromptFor(ws, feature)), std::string::npos) << feature;
    EXPECT_EQ(PoDigest(ws), before);
  }
}

// The split dialog: rows of 0 % are dropped, the percentages must add up to
// 100 and the budgets differ; each budget entered is one the user may use
// (SPECIAL is the administrator's only).
TEST(PoWindowLine, BudgetSplitKeepsItsRowsAndRefusesBadOnes) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login clerk clerk\n" +
                                                 OpenLineEditor("PO-2026-0006", 1) + R"acqs(
select 1
press "Bdgt Split"
select 1
field budget "AV.2026"
field percentage "60"
press OK
answer msgbox ok "Percents must add up to 100."
press "Add Row"
field budget "av.2026"
field percentage "40"
press OK
answer msgbox ok "Budgets must be unique."
field budget "SPECIAL.2026"
press OK
answer msgbox ok "You are not authorized to use the SPECIAL.2026 budget."
field budget "ADULT.2026"
field percentage "abc"
press OK
answer msgbox ok "The percentage \"abc\" must be a whole number from 0 to 100."
field percentage "40"
press "Add Row"
field budget "REF.2026"
field percentage "0"
press OK
show
expect "| 1 | 1 | MAIN | AV | DVD |  |  | AV.2026 60% + ADULT.2026 40% |"
press OK
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(budget || ' ' || percentage, ', ') from "
                              "(select * from po_line_item_budget where \"po#\" = 6 and line = 1 "
                              "and item = 1 order by budget)"),
            "ADULT.2026 40, AV.2026 60");
  // Item 1's price, 29.99, now over the two budgets.
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(budget, ', '), sum(amount) from "
                              "(select * from po_line_item_budget_amount where \"po#\" = 6 and "
                              "line = 1 and item = 1 order by budget)"),
            "ADULT.2026, AV.2026|29990000");
}

// With the site's approval on save a new line is approved right after it
// is saved; a refused poApprv saves nothing.
TEST(PoWindowLine, ApprovalOnSaveApprovesTheNewLine) {
  for (const char* answer : {"cancel", "admin admin"}) {
    SCOPED_TRACE(answer);
    Workspace ws;
    ws.Exec("update acq_parameter set save_po_line_approval = 1");
    const auto r = ws.Run({"--db", ws.Db()}, "login clerk clerk\n" +
                                                   OpenPoWindow("PO-2026-0006") + R"acqs(
press "New Line"
field title "Approved on save"
field unit_price "10"
press "Add Items"
press OK
field budget "AV.2026"
press OK
answer credentials )acqs" + std::string(answer) + "\n" +
                                                   (std::string(answer) == "cancel"
                                                        ? "close\nanswer msgbox no\n"
                                                        : ""));
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(QueryRow(ws.Db(), "select count(*), count(approve_date) from po_line_item "
                                "where \"po#\" = 6 and line = 4"),
              std::string(answer) == "cancel" ? "0|0" : "1|1");
  }
}

// The end-modal message (0x0EF3) ends a line editor as its OK (1: saved)
// or Cancel (2: the changes dropped when the person says so) would.
TEST(PoWindowLine, EndModalMessageEndsTheEditorAsOkOrCancel) {
  const struct {
    const char* result;
    const char* answers;
    const char* title;
  } cases[] = {
      {"1", "", "Ended"},
      {"2", "answer msgbox no \"Save changes\"\n", "Wild Places: Nature Documentary Collection"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    Workspace ws;
    const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\n" +
                                                   OpenLineEditor("PO-2026-0006", 1) +
                                                   "field title \"Ended\"\nsend 0x0EF3 " +
                                                   c.result + " 0\n" + c.answers);
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_NE(r.transcript.find("notice window close \"Edit: PO PO-2026-0006 Line 1\"\nresult"),
              std::string::npos)
        << r.transcript;
    EXPECT_EQ(QueryRow(ws.Db(), "select title from po_line where \"po#\" = 6 and line = 1"),
              c.title);
  }
}

}  // namespace
