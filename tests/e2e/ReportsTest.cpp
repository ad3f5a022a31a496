// The report windows through the real client: each report opens as a list
// with its totals; the budget status of the fiscal year prints (headings,
// page numbers, totals) and saves to a CSV file; a list with no searchable
// column says so when asked to search.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"
#include "support/PdfText.h"

namespace {

using e2e::Workspace;
using testpdf::PdfText;
using testpdf::SessionDirHold;

TEST(Reports, EachReportOpensAndTheBudgetStatusPrintsAndSaves) {
  Workspace ws;
  SessionDirHold folder(ws.Dir().string());
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 282
field year "2026"
press OK
show
command 57607
answer text "PDF file"
command 57604
answer text "status.csv"
command 42202
show
command 283
show
command 284
show
command 285
show
command 340
show
command 350
show
command 42102
expect "No columns are marked as being searchable."
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  for (const char* caption : {"Budget Status 2026", "Budget Codes", "PO Lines by Vendor",
                              "Vendor Contracts", "Tax Report: Statements",
                              "Tax Report: Summary"})
    EXPECT_NE(r.transcript.find(caption), std::string::npos) << caption << r.transcript;
  EXPECT_NE(r.transcript.find("Total Amount:"), std::string::npos) << r.transcript;
  EXPECT_NE(r.transcript.find("Total Percent Unspent:"), std::string::npos) << r.transcript;

  const std::string pdf = PdfText(ws.Dir() / "Budget_Status_2026.pdf");
  EXPECT_NE(pdf.find("ADULT"), std::string::npos) << pdf;
  EXPECT_NE(pdf.find("Total Amount:"), std::string::npos) << pdf;
  EXPECT_NE(pdf.find("Page 1 of 1"), std::string::npos) << pdf;

  const std::string csv = e2e::ReadFile(ws.Dir() / "status.csv");
  EXPECT_EQ(csv.rfind("Budget,Description,Amount,On Order,Spent,Available,Unspent,"
                      "% On Order,% Spent,% Available,% Unspent\r\n", 0),
            0u)
      << csv;
  EXPECT_NE(csv.find("ADULT.2026,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("Total Percent On Order:"), std::string::npos) << csv;
}

}  // namespace
