// Budgets through the real client: the budgets of a year listed, next
// year's allocations created from them with inflation (equal years
// refused first), the ledger note typed, and a second run refused because
// they exist already.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;

TEST(Accounts, CreatesNextYearsAllocationsWithInflation) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 265
field year "2027"
press find
show
press create_year
field create_from_year "2027"
field create_for_year "2027"
press OK
answer msgbox ok "must specify a different value"
field create_for_year "2028"
field inflation_factor "3"
field new_status "Frozen"
press OK
show
press select_all
press create
field note "Allocations 2028"
press OK
answer msgbox ok "7 budget allocations were created"
field year "2028"
press find
show
press create_year
press OK
answer msgbox ok "already exist for the year specified"
press Cancel
press Close
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string& t = r.transcript;
  // The candidates show the new amounts: ADULT by its own 5 %, REF by the options' 3 %.
  auto lineOf = [&t](const std::string& budget) {
    const size_t at = t.rfind("| " + budget + " |");   // the candidates, after the budgets
    return at == std::string::npos ? std::string() : t.substr(at, t.find('\n', at) - at);
  };
  EXPECT_NE(lineOf("ADULT.2027").find("| 13125 | Open"), std::string::npos) << t;
  EXPECT_NE(lineOf("REF.2027").find("| 8240 | Open"), std::string::npos) << t;
  EXPECT_NE(t.find("| SERIAL.2028 |"), std::string::npos) << t;

  EXPECT_EQ(QueryRow(ws.Db(), "select amount || '|' || status || '|' || on_order from "
                              "account_year where account = 'ADULT' and year = 2028"),
            "13125000000|1|0");
  EXPECT_EQ(QueryRow(ws.Db(), "select amount from account_year where account = 'SERIAL' "
                              "and year = 2028"),
            "11664000000");   // SERIAL's own 8 %
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from account_year where year = 2028"), "7");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from budget_transaction_detail d join "
                              "budget_transaction b on b.\"budget_transaction#\" = "
                              "d.\"budget_transaction#\" where b.note = 'Allocations 2028' and "
                              "d.amount_type = 0 and d.prior_amount = 0"),
            "7");
  EXPECT_EQ(QueryRow(ws.Db(), "select create_from_year || '|' || create_for_year || '|' || "
                              "inflation_factor || '|' || new_status from "
                              "account_year_create_options where user_id = 'admin'"),
            "2027|2028|3|1");
}

}  // namespace
