// Payables and cheques through the real client: the outstanding payables
// list, a cheque run with its formatted file and register, reprinting (the
// file is made once), the cheque updates with a processed date that is
// asked again until it is a date, and a status change the database refuses.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"
#include "support/PdfText.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;
using testpdf::PdfText;
using testpdf::SessionDirHold;

// The demo library's one open payable: Thames Periodicals (vendor 4), a GBP
// invoice of 255.00. The site's base currency is USD, so its cheque is the
// stub of a bank draft.
TEST(Payables, ChequeRunWritesTheFileAndRegisterThenCanBeReconciled) {
  Workspace ws;
  SessionDirHold folder(ws.Dir().string());
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 310
show
press "Cheque Run"
press OK
answer text "cheques.txt"
answer text "PDF file"
expect "Cheque Run 1 has been completed. Cheque Numbers 1 to 1 have been assigned."
expect "The formmatted Cheque File has been created"
expect "The Cheque register report has been printed"
expect "Cheque run Completed"
show
command 320
select 1
press "Formatted File"
expect "Formatted File Cannot be recreated"
command 330
press OK
select 1
press Reconcile
field processed_date "2026-02-30"
press OK
expect "Invalid Date: Enter a valid Date"
field processed_date "2026-12-05"
press OK
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_NE(r.transcript.find("Thames Periodicals Ltd"), std::string::npos) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select status || ',' || \"cheque#\" from payables"), "2,1");
  EXPECT_EQ(QueryRow(ws.Db(), "select run_currency || ',' || file_created from cheque_run"),
            "USD,1");
  EXPECT_EQ(QueryRow(ws.Db(), "select status || ',' || processed_date from cheque"),
            "1,46359");
  const std::string file = e2e::ReadFile(ws.Dir() / "cheques.txt");
  EXPECT_NE(file.find("PAY BY BANK DRAFT ONLY"), std::string::npos) << file;
  EXPECT_NE(file.find("Inv. # TP-2025-118"), std::string::npos) << file;
  EXPECT_NE(file.find("\r\n"), std::string::npos);
  const std::string reg = PdfText(ws.Dir() / "Payables_Printer.pdf");
  EXPECT_NE(reg.find("Cheque Register Report"), std::string::npos) << reg;
  EXPECT_NE(reg.find("Cheque Amount : 255.00"), std::string::npos) << reg;
}

// Opening a USD payable beside the open GBP one is refused: both payables
// selected keep their status and the person reads why. The payable report
// then lists both, by status and vendor.
TEST(Payables, RefusedStatusChangeLeavesEverySelectedPayableUnchanged) {
  Workspace ws;
  SessionDirHold folder(ws.Dir().string());
  ws.Exec("insert into payables(\"voucher#\", \"statement#\", \"vendor#\", status, amount, "
          "currency) values (1, 2, 1, 1, 84350000, 'USD')");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 310
select 1 2
press Status
field open yes
press OK
answer msgbox ok "Make sure all the payables are either USD currency or non-USD currency"
press "Payable Report"
answer text "PDF file"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(status, ',') from (select status from "
                              "payables order by \"statement#\") s"),
            "0,1");
  const std::string report = PdfText(ws.Dir() / "Payables_Printer.pdf");
  EXPECT_NE(report.find("Schedule of Cheque Payment"), std::string::npos) << report;
  EXPECT_NE(report.find("Thames Periodicals Ltd"), std::string::npos) << report;
  EXPECT_NE(report.find("NF-88123"), std::string::npos) << report;
  EXPECT_NE(report.find("Vendor Totals: 84.35"), std::string::npos) << report;
  EXPECT_NE(report.find("SERIAL.2025"), std::string::npos) << report;   // the budget funding it
}

TEST(Payables, WithoutTheChequePrivilegeNothingOpens) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login clerk clerk
command 310
answer credentials cancel
command 330
answer credentials cancel
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open"), 0u) << r.transcript;
}

}  // namespace
