// "Print POs" and "Print Draft POs" through the real client: the form is
// chosen in "Print PO(s)" for the POs selected in the PO find window, the
// printed order marks the PO's items, a draft changes nothing, and without
// the privilege nothing prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"
#include "host/db/DbDabs.h"
#include "support/PdfText.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;
using testpdf::PdfText;

// PO 3 (Maple Leaf: first claim after 60 days) is approved, not yet ordered.
TEST(PoPrintCommand, PrintsTheChosenFormForTheSelectedPoAndMarksOnlyTheOrder) {
  Workspace ws;
  testpdf::SessionDirHold folder(ws.Dir().string());
  const std::string items =
      "select group_concat(coalesce(order_date, 'n') || ':' || coalesce(printed_date, 'n') || "
      "':' || coalesce(next_claim_date, 'n'), ',') from (select * from po_line_item "
      "where \"po#\" = 3 order by line, item) s";
  const std::string before = QueryRow(ws.Db(), items);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 152
search po_number "PO-2026-0003"
select 1
command 158
field draft yes
press OK
answer text "PDF file"
command 159
answer text "PDF file"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  // Two drafts: nothing moved.
  EXPECT_EQ(QueryRow(ws.Db(), items), before);
  const std::string first = PdfText(ws.Dir() / "Purchase_Order.pdf");
  EXPECT_NE(first.find("DRAFT - Not Negotiable"), std::string::npos) << first << r.transcript;
  EXPECT_NE(first.find("PURCHASE ORDER # PO-2026-0003"), std::string::npos) << first;
  EXPECT_NE(PdfText(ws.Dir() / "Purchase_Order-2.pdf").find("DRAFT"), std::string::npos);

  const auto negotiable = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 152
search po_number "PO-2026-0003"
select 1
command 158
press OK
answer text "PDF file"
)acqs");
  ASSERT_EQ(negotiable.exitCode, 0) << negotiable.err << negotiable.transcript;
  const std::string text = PdfText(ws.Dir() / "Purchase_Order-3.pdf");
  EXPECT_NE(text.find("Maple Leaf Academic Books"), std::string::npos) << text;
  EXPECT_EQ(text.find("DRAFT"), std::string::npos) << text;
  const std::string today = std::to_string(DbDabs_GetDate());
  const std::string due = std::to_string(DbDabs_GetDate() + 60);
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where \"po#\" = 3 and "
                              "(order_date <> " + today + " or printed_date <> " + today +
                              " or next_claim_date <> " + due + " or order_date is null)"),
            "0");
}

TEST(PoPrintCommand, WithoutThePrivilegeNothingPrints) {
  Workspace ws;
  testpdf::SessionDirHold folder(ws.Dir().string());
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login viewer viewer
command 152
search po_number "PO-2026-0003"
select 1
command 158
answer credentials cancel
command 159
answer credentials cancel
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_FALSE(std::filesystem::exists(ws.Dir() / "Purchase_Order.pdf")) << r.transcript;
}

}  // namespace
