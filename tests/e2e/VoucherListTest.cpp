// The voucher list through the real client: it lists the vouchers and the
// "(new)" candidates, creates the voucher of a selected candidate (asked
// first, then printed), saves the selected vouchers to a text file the
// person names, and voids what may be voided (a candidate may not).
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"
#include "host/db/DbDabs.h"
#include "support/PdfText.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;
using testpdf::SessionDirHold;

// Statement 2 (NF-88123, 84.35 USD) approved with its money spent.
constexpr const char* kApproved =
    "update statement set approve_date=46100 where \"statement#\"=2;"
    "update po_line_item_budget_amount set spent=1 where \"statement#\"=2;"
    "update statement_extra_charge set spent=1 where \"statement#\"=2";

TEST(VoucherList, CreatesTheSelectedCandidatePrintsItAndSavesItToAFile) {
  Workspace ws;
  ws.Exec(kApproved);
  SessionDirHold folder(ws.Dir().string());
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 241
show
select "(new)"
press Create
answer msgbox yes "OK to create this Voucher?"
answer text "PDF file"
show
press "Save To File"
answer text "voucher.txt"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string voucher = QueryRow(ws.Db(), "select max(\"voucher#\") from voucher");
  ASSERT_EQ(QueryRow(ws.Db(), "select voucher_number, \"statement#\", amount from voucher where "
                              "\"voucher#\"=" + voucher),
            voucher + "|2|84350000");
  EXPECT_EQ(QueryRow(ws.Db(), "select status, amount from payables where \"voucher#\"=" + voucher),
            "0|84350000");

  const size_t second = r.transcript.rfind("action show");
  const std::string before = r.transcript.substr(0, second), after = r.transcript.substr(second);
  EXPECT_EQ(CountOf(before, "| (new) |"), 1u) << before;
  EXPECT_NE(before.find("| V-2025-0001 |"), std::string::npos) << before;
  // The candidate became the voucher, dated today and selected.
  EXPECT_EQ(CountOf(after, "| (new) |"), 0u) << after;
  const std::string today = DbDabs_DateToStr(DbDabs_GetDate());
  EXPECT_NE(after.find("* | " + voucher + " | " + today + " | NF-88123 |"), std::string::npos)
      << after;

  const std::string printed = testpdf::PdfText(ws.Dir() / "Vouchers.pdf");
  EXPECT_NE(printed.find("NF-88123"), std::string::npos) << printed;
  const std::string file = e2e::ReadFile(ws.Dir() / "voucher.txt");
  for (const char* expected : {"VOUCHER", "Northfield", "Invoice #       NF-88123", "ADULT.2026",
                               "OPS.2026", "74.85", "9.50", "Invoice Total", "TOTAL", "84.35",
                               "==========", "\r\n"})
    EXPECT_NE(file.find(expected), std::string::npos) << expected << " in\n" << file;
  EXPECT_EQ(file.find("VOID"), std::string::npos) << file;
}

// A candidate and a voucher selected together: the candidate is refused
// with its reason, the voucher is voided and its money is a candidate again.
TEST(VoucherList, VoidSkipsACandidateAndVoidsTheVoucher) {
  Workspace ws;
  ws.Exec(kApproved);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 241
select 1 2
press Void
answer msgbox yes "OK to void selected Voucher(s)?"
answer msgbox ok "A candidate Voucher can not be voided."
show
press Void
answer msgbox yes "OK to void selected Voucher(s)?"
answer msgbox ok "Voucher V-2025-0001 is void and can not be voided again."
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select void from voucher where \"voucher#\"=1"), "1");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item_budget_amount where "
                              "\"voucher#\"=1"),
            "0");
  EXPECT_EQ(QueryRow(ws.Db(), "select status from payables where \"voucher#\"=1"), "3");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from voucher where \"statement#\"=2"), "0");
}

// From a PO window the list holds that PO's vouchers; a PO without any
// says so and opens nothing.
TEST(VoucherList, FromAPoWindowListsThatPosVouchers) {
  Workspace ws;
  ws.Exec(kApproved);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 152
search po_number "PO-2026-0001"
select 1
press Open
press Edit
command 241
answer msgbox ok "There is no Voucher for PO PO-2026-0001."
command 152
search po_number "PO-2025-0107"
select 1
press Open
press Edit
command 241
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string list = r.transcript.substr(r.transcript.rfind("action show"));
  EXPECT_NE(list.find("| V-2025-0001 |"), std::string::npos) << list;
  EXPECT_EQ(CountOf(list, "| (new) |"), 0u) << list;
  EXPECT_EQ(CountOf(list, "\n  row "), 1u) << list;
}

}  // namespace
