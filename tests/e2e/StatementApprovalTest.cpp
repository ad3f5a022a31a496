// Statement approval through the real client: the list of statements to
// approve, approving the selected one (it leaves the list and its money is
// spent), an unbalanced statement refused, and a person without the
// approval privilege stopped at the security prompt.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;

constexpr const char* kApprovalOf2 =
    "select count(*) from statement where \"statement#\"=2 and approve_date is not null";
constexpr const char* kAdultSpent = "select spent from budget where budget='ADULT.2026'";

TEST(StatementApprovalList, ApprovesTheSelectedStatementWhichThenLeavesTheList) {
  Workspace ws;
  const std::string spentBefore = QueryRow(ws.Db(), kAdultSpent);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 223
show
select "NF-88123"
press Approve
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const size_t second = r.transcript.rfind("action show");
  const std::string before = r.transcript.substr(0, second), after = r.transcript.substr(second);
  EXPECT_NE(before.find("window \"Statements to Approve\""), std::string::npos) << before;
  EXPECT_NE(before.find("| NF-88123 |"), std::string::npos) << before;
  EXPECT_EQ(before.find("| TP-2025-118 |"), std::string::npos) << "approved already: " << before;
  EXPECT_EQ(after.find("| NF-88123 |"), std::string::npos) << after;
  EXPECT_EQ(QueryRow(ws.Db(), kApprovalOf2), "1");
  EXPECT_EQ(std::stoll(QueryRow(ws.Db(), kAdultSpent)) - std::stoll(spentBefore), 74850000LL);
}

TEST(StatementApprovalList, AnUnbalancedStatementIsRefusedWithItsNumber) {
  Workspace ws;
  ws.Exec("update statement set amount=84360000 where \"statement#\"=2");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 223
select "NF-88123"
command 232
answer msgbox ok "Statement NF-88123 is not balanced and cannot be approved."
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kApprovalOf2), "0");
}

// Opened from the list, the statement window's own statement is approved
// (232) and the approval undone (224, after asking), its money with it.
TEST(StatementApprovalList, TheOpenedStatementIsApprovedAndItsApprovalUndone) {
  Workspace ws;
  const std::string spentBefore = QueryRow(ws.Db(), kAdultSpent);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 223
select "NF-88123"
press Open
command 232
expect "notice window open"
command 224
answer msgbox ok "OK to Undo Statement Approval?"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kApprovalOf2), "0") << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kAdultSpent), spentBefore);
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from budget_transaction_detail where "
                              "\"statement#\"=2"),
            "16")   // 8 rows spent, 8 put back
      << r.transcript;
}

// The clerk may list statements but not approve them: the privilege prompt
// is cancelled and nothing is approved.
TEST(StatementApprovalList, WithoutTheApprovalPrivilegeNothingIsApproved) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login clerk clerk
command 223
select "NF-88123"
press Approve
answer credentials cancel
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "credentials \"Authorisation needed"), 1u) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), kApprovalOf2), "0");
}

}  // namespace
