// Credits and vouchers from a statement window through the real client:
// the credits window of an invoice lists the vendor's open credit memo,
// applies part of it and takes it back; a statement without vouchers says
// so when its vouchers are asked for; an invoice without open credits says
// that.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;

// Credit memo CR-3 of Northfield (USD, -20.00) for the demo's invoice
// NF-88123 (84.35).
constexpr const char* kCreditMemo =
    "insert into statement(\"statement#\", statement_number, statement_type, \"vendor#\", amount, "
    "amount_remaining, currency, statement_date) values "
    "(3, 'CR-3', 3, 1, -20000000, -20000000, 'USD', 46090)";

constexpr const char* kOpenInvoice = R"acqs(login admin admin
command 212
search statement_number "NF-88123"
select 1
key "Enter"
)acqs";

TEST(VoucherCredits, AnInvoiceTakesPartOfACreditAndGivesItBack) {
  Workspace ws;
  ws.Exec(kCreditMemo);
  const auto r = ws.Run({"--db", ws.Db()}, std::string(kOpenInvoice) + R"acqs(command 214
select 1
field amount "12.005"
press Apply
answer msgbox ok "not an amount of money"
field amount "25.00"
press Apply
answer msgbox ok "more than is outstanding"
field amount "12.00"
press Apply
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open \"Credits Applied: Invoice NF-88123\""), 1u)
      << r.transcript;
  EXPECT_NE(r.transcript.find("| -20.00 | -8.00 | 12.00 |"), std::string::npos)
      << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select amount_applied from statement_linker where "
                              "\"invoice_statement#\"=2 and \"credit_statement#\"=3"),
            "12000000");
  EXPECT_EQ(QueryRow(ws.Db(), "select amount_remaining from statement where \"statement#\"=2"),
            "72350000");

  const auto undo = ws.Run({"--db", ws.Db()}, std::string(kOpenInvoice) + R"acqs(command 214
select 1
press Undo
show
)acqs");
  ASSERT_EQ(undo.exitCode, 0) << undo.err << undo.transcript;
  EXPECT_NE(undo.transcript.find("| -20.00 | -20.00 | 0.00 |"),
            std::string::npos)
      << undo.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from statement_linker"), "0");
  EXPECT_EQ(QueryRow(ws.Db(), "select amount_remaining from statement where \"statement#\"=3"),
            "-20000000");
}

TEST(VoucherCredits, AStatementWithoutVouchersOrCreditsSaysSo) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, std::string(kOpenInvoice) + R"acqs(command 241
answer msgbox ok "There is no Voucher for Statement NF-88123."
command 214
answer msgbox ok "There is no outstanding credit for this Vendor."
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open \"Vouchers\""), 0u) << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open \"Credits"), 0u) << r.transcript;
}

}  // namespace
