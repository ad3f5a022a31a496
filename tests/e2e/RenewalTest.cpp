// Renewing a subscription through the real client: the options (vendor
// picked with the finder, a range whose end is before its start refused
// and corrected), the candidates with a lowered renew quantity, the
// renew-to lists as proposed, and the renewed title listed.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;

TEST(Renewal, RenewsOneLineFromTheCandidates) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 162
press vendor
select "Thames"
press OK
field begin_date "2027-01-01"
field end_date "2026-12-01"
press OK
answer msgbox ok "end date is before the begin date"
field end_date "2027-01-31"
press OK
show
select 2
field renew_qty "1"
show
press renew
show
press OK
answer msgbox ok "must be manually approved"
answer msgbox ok "1 PO line(s) renewed"
press Close
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string& t = r.transcript;
  EXPECT_NE(t.find("msgbox \"Renewal Message\" \"The end date is before"), std::string::npos) << t;
  // Candidates: both lines of PO 4; line 2 at 2 x 95.00, then 1 x 95.00.
  EXPECT_NE(t.find("| 4 | 2 | Digital Preservation Review | 2027-01-01 | 2 | 0 | 95.00 | 190.00"),
            std::string::npos)
      << t;
  EXPECT_NE(t.find("| 4 | 2 | Digital Preservation Review | 2027-01-01 | 1 | 1 | 95.00 | 95.00"),
            std::string::npos)
      << t;
  EXPECT_NE(t.find("row 1 | SERIAL.2026 | SERIAL.2027"), std::string::npos) << t;
  EXPECT_EQ(CountOf(t, "window open \"Renewed Titles\""), 1u) << t;
  const std::string listed = t.substr(t.rfind("action show"));
  EXPECT_NE(listed.find("| Thames Periodicals Ltd | Digital Preservation Review | 1 | $95.00 | "
                        "2028-01-01"),
            std::string::npos)
      << listed;

  const std::string po = QueryRow(ws.Db(), "select \"renew_po#\" from po where \"po#\" = 4");
  ASSERT_FALSE(po.empty());
  EXPECT_EQ(QueryRow(ws.Db(), "select line || '|' || renew_id || '|' || last_item from po_line "
                              "where \"po#\" = " + po),
            "1|4|1");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where \"po#\" = 4 and line = 2 "
                              "and renew_activity_type = 'renew'"),
            "1");
  // 95.00 x 1.27 on next year's serials budget.
  EXPECT_EQ(QueryRow(ws.Db(), "select on_order from account_year where account = 'SERIAL' "
                              "and year = 2027"),
            "120650000");
}

}  // namespace

namespace {

// Orders that do not renew yet: a type other than New PO or New Line is
// refused with the focus kept, then the selected order renews monthly
// from the date given and leaves the list.
TEST(Renewal, SetsRenewalOnTheSelectedOrders) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 163
select "PO-2026-0006"
field renewal_type "0"
field subscription_period "MONTHLY"
field next_renewal_date "2027-03-31"
press set
answer msgbox ok "must be 'New PO' or 'New Line'"
field renewal_type "2"
press set
answer msgbox ok "Renewal set on 1 order(s)"
show
press Close
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string listed = r.transcript.substr(r.transcript.rfind("action show"));
  EXPECT_EQ(listed.find("PO-2026-0006"), std::string::npos) << listed;
  EXPECT_NE(listed.find("PO-2026-0001"), std::string::npos) << listed;
  EXPECT_EQ(QueryRow(ws.Db(), "select renewal_type || '|' || subscription_period from po "
                              "where \"po#\" = 6"),
            "2|MONTHLY");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line where \"po#\" = 6 and "
                              "next_renewal_date is not null"),
            "3");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po where renewal_type <> 0"), "3");
}

}  // namespace

namespace {

// Discontinue closes the candidates and runs the discontinue activity on
// the selected line; the line has nothing left to renew afterwards.
TEST(Renewal, DiscontinuesTheSelectedCandidate) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 162
field vendor# "4"
press OK
select 2
press discontinue
press OK
command 162
field vendor# "4"
press OK
show
press Close
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("window open \"Discontinue: PO 4 Line 2"), std::string::npos)
      << r.transcript;
  EXPECT_NE(r.transcript.find("| 4 | 2 | Digital Preservation Review | 2027-01-01 | 0 |"),
            std::string::npos)
      << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where \"po#\" = 4 and line = 2 "
                              "and renew_activity_date is not null"),
            "2");
}

}  // namespace
