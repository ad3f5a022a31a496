// The year-end moves through the real client: a transfer of 10 % of last
// year's unspent money (run twice: the second run is announced with what
// was sent already), a percentage over 100 refused first; then a
// reassignment of this year's on-order money to next year's budget.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;

TEST(YearEnd, TransfersUnspentTwiceWithWarningThenReassigns) {
  Workspace ws;
  const std::string onOrder2026 =
      QueryRow(ws.Db(), "select on_order from account_year where account='OPS' and year=2026");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 267
field source_year "2025"
field target_year "2026"
field transfer_unspent_percent "101"
press OK
answer msgbox ok "must be between 0 and 100"
field transfer_unspent_percent "10"
field ignore_account_pcnt_setting "1"
press OK
show
select 1
field note "year end"
press transfer
answer msgbox ok "1 pair(s) transferred"
select 1
press transfer
answer msgbox yes "already received"
answer msgbox ok "1 pair(s) transferred"
press Close
command 266
field source_year "2026"
field target_year "2027"
press OK
show
select "OPS.2026"
press reassign
answer msgbox ok "attachment(s) reassigned"
press Close
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string& t = r.transcript;
  EXPECT_NE(t.find("| ADULT.2025 |"), std::string::npos) << t;
  // 11000.00 unspent x 10 %, twice; the source is never reduced.
  EXPECT_EQ(QueryRow(ws.Db(), "select amount from account_year where account='ADULT' and "
                              "year=2026"),
            "14200000000");
  EXPECT_EQ(QueryRow(ws.Db(), "select amount from account_year where account='ADULT' and "
                              "year=2025"),
            "11000000000");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from budget_transaction_detail where "
                              "source_budget='ADULT.2025'"),
            "2");
  // OPS's on-order money moved to next year's budget whole.
  EXPECT_EQ(QueryRow(ws.Db(), "select on_order from account_year where account='OPS' and "
                              "year=2026"),
            "0");
  EXPECT_EQ(QueryRow(ws.Db(), "select on_order from account_year where account='OPS' and "
                              "year=2027"),
            onOrder2026);
}

}  // namespace
