// Approval of PO lines through the real client: the approval list approves
// the lines selected in it and marks the ones the approval rules refuse;
// the PO window's Approve says when nothing was left to approve; without
// poApprv nothing opens and nothing is approved.
#include <gtest/gtest.h>

#include <string>

#include "ActivityScript.h"
#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::OnLines;
using e2e::QueryRow;
using e2e::Workspace;

// Items of PO 6 approved, by line: "line:count,...".
const char* kPoSixApproved =
    "select group_concat(line || ':' || n, ',') from (select line, count(approve_date) as n "
    "from po_line_item where \"po#\"=6 group by line order by line) s";

// The list holds every line with items to approve (PO 4 line 1, PO 6 lines
// 1 to 3). Line 2 of PO 6 lost its budget: refused and marked, while the
// line selected with it is approved and leaves the list.
TEST(ActivityApproval, ListApprovesTheSelectionAndMarksRefusedLines) {
  Workspace ws;
  ws.Exec("update po_line_item set budget=NULL where \"po#\"=6 and line=2");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 155
show
expect "row 2 | PO-2026-0006 | 1 | Cascade Media & Audio | Wild Places"
select 2 3
press approve
answer msgbox ok "PO PO-2026-0006 Line 2 is missing budget information."
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kPoSixApproved), "1:2,2:0,3:0");
  const std::string after = r.transcript.substr(r.transcript.rfind("action show"));
  EXPECT_NE(after.find("row 2 (marked) | PO-2026-0006 | 2 |"), std::string::npos) << after;
  EXPECT_EQ(CountOf(after, "| PO-2026-0006 | 1 |"), 0u) << after;   // approved: gone
  EXPECT_EQ(CountOf(after, "(marked)"), 1u) << after;
}

// From the PO window: the selected lines, or the whole PO when none is
// selected. A line without items is refused; nothing left is told.
TEST(ActivityApproval, PoWindowApprovalTellsRefusalsAndWhenNothingIsLeft) {
  const struct {
    const char* po;
    const char* select;       // "" approves the whole PO
    const char* answers;
    const char* approved;     // kPoSixApproved after
  } cases[] = {
      {"PO-2026-0006", "1 4",
       "answer msgbox ok \"PO PO-2026-0006 Line 4 cannot be approved because there are no PO "
       "Line Items for this Line.\"\n",
       "1:2,2:0,3:0"},
      {"PO-2026-0001", "1 2", "answer msgbox ok \"All selected PO Line(s) already approved.\"\n",
       "1:0,2:0,3:0"},
      {"PO-2026-0001", "",
       "answer msgbox ok \"All PO Lines are already approved.  No PO Lines to be approved at "
       "this time.\"\n",
       "1:0,2:0,3:0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.po) + " " + c.select);
    Workspace ws;
    ws.Exec("insert into po_line(\"po#\", line, title, unit_price) values(6, 4, 'No items', 0)");
    std::string script = "login admin admin\n" + OnLines(c.po, *c.select ? c.select : "none") +
                         "press " + e2e::ActivityButton("approve") + "\n" + c.answers;
    const auto r = ws.Run({"--db", ws.Db()}, script);
    EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
    EXPECT_EQ(QueryRow(ws.Db(), kPoSixApproved), c.approved) << r.transcript;
  }
}

TEST(ActivityApproval, WithoutPoApprvNothingOpensAndNothingIsApproved) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login clerk clerk\ncommand 155\n"
                                           "answer credentials cancel\n" +
                                               OnLines("PO-2026-0006", "1") + "press " +
                                               e2e::ActivityButton("approve") +
                                               "\nanswer credentials cancel\n");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open \"PO Line Approval\""), 0u) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kPoSixApproved), "1:0,2:0,3:0");
}

}  // namespace
