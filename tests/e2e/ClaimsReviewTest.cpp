// The claims review and claim printing through the real client: the review
// lists the items due today (opening it again brings the same window
// forward), a claim letter prints for the POs selected in it and records
// the claim, printing says so when nothing is due, and without clmRev or
// clmPrt nothing opens.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"
#include "host/db/DbDabs.h"
#include "support/PdfText.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;
using testpdf::PdfText;
using testpdf::SessionDirHold;

std::string Day(int fromToday) {
  return std::to_string(static_cast<int>(DbDabs_GetDate()) + fromToday);
}

// Every claim date falls due yesterday but PO 7 line 2's (in three days).
// Row 4 is PO-2026-0008 (O'Brien: every 30 days, twice at most): its letter
// prints, both its items count one claim and fall due 30 days later, so
// the review, read again, no longer lists them; no other PO is claimed.
TEST(ClaimsReview, ListsTheDueItemsAndPrintsTheLettersOfTheSelectedPos) {
  Workspace ws;
  ws.Exec("update po_line_item set next_claim_date=" + Day(-1) +
          " where next_claim_date is not null;"
          "update po_line_item set next_claim_date=" + Day(3) + " where \"po#\"=7 and line=2");
  SessionDirHold folder(ws.Dir().string());
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 271
show
command 271
select 4
command 272
answer text "PDF file"
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open \"Claims Review\""), 1u) << r.transcript;
  const size_t second = r.transcript.rfind("action show");
  const std::string before = r.transcript.substr(0, second), after = r.transcript.substr(second);
  const std::string due = DbDabs_DateToStr(static_cast<DayNum>(DbDabs_GetDate() - 1));
  EXPECT_NE(before.find("row 4 | O'Brien Library Supply | PO-2026-0008 | 1 | 1 |"),
            std::string::npos) << before;
  EXPECT_EQ(CountOf(before, "| " + due + " | 0 |"), 8u) << before;
  EXPECT_EQ(CountOf(before, "| PO-2026-0007 | 2 |"), 0u) << before;   // due in three days

  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(\"po#\" || '/' || item || ':' || claim_count "
                              "|| ':' || (next_claim_date - " + Day(0) + "), ',') from (select "
                              "* from po_line_item where claim_count > 0 order by item) s"),
            "8/1:1:29,8/2:1:29");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item_history where "
                              "po_activity_type='claim' and \"po#\"=8"),
            "2");
  EXPECT_EQ(CountOf(after, "| PO-2026-0008 |"), 0u) << after;
  EXPECT_EQ(CountOf(after, "| " + due + " | 0 |"), 6u) << after;
  const std::string letter = PdfText(ws.Dir() / "Purchase_Order.pdf");
  EXPECT_NE(letter.find("CLAIM LETTER"), std::string::npos) << letter;
  EXPECT_NE(letter.find("Library Programming for Teens"), std::string::npos) << letter;
  EXPECT_NE(letter.find("According to our records"), std::string::npos) << letter;
  EXPECT_EQ(letter.find("Rivers of the Midwest"), std::string::npos) << letter;
}

TEST(ClaimsReview, PrintingWithNothingDueSaysSo) {
  Workspace ws;
  ws.Exec("update po_line_item set next_claim_date=" + Day(5) +
          " where next_claim_date is not null");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 272
answer msgbox ok "No claims are due today."
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item_history where "
                              "po_activity_type='claim'"),
            "0");
}

TEST(ClaimsReview, WithoutTheirPrivilegesNothingOpensOrPrints) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login clerk clerk
command 271
answer credentials cancel
command 272
answer credentials cancel
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open \"Claims Review\""), 0u) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select sum(claim_count) from po_line_item"), "0");
}

}  // namespace
