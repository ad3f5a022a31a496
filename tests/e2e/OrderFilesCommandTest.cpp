// EDIFACT and BISAC order files through the real client: the PO selected
// in the PO find window is written to the file the person names, marked as
// sent and taken out of the selection; POs of two vendors are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"
#include "support/PdfText.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;

// PO 3 (Maple Leaf) is approved and not yet ordered.
TEST(OrderFilesCommand, WritesTheSelectedPoAndMarksIt) {
  Workspace ws;
  testpdf::SessionDirHold folder(ws.Dir().string());
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 152
search po_number "PO-2026-0003"
select 1
command "EDIFACT Orders"
answer text "po3.edi"
show
select 1
command 157
answer text "po3.bis"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string edi = e2e::ReadFile(ws.Dir() / "po3.edi");
  EXPECT_EQ(edi.rfind("UNA:+.? 'UNB+UNOC:3+", 0), 0u) << edi;
  EXPECT_NE(edi.find("'BGM+220+PO-2026-0003+9'"), std::string::npos) << edi;
  const std::string bisac = e2e::ReadFile(ws.Dir() / "po3.bis");
  ASSERT_FALSE(bisac.empty()) << r.transcript;
  EXPECT_EQ(bisac.size() % 80, 0u);
  // The file trailer is the last record; its sequence number counts them all.
  const size_t records = bisac.size() / 80;
  EXPECT_EQ(bisac.substr(80 * (records - 1), 7),
            "90" + std::string(5 - std::to_string(records).size(), '0') + std::to_string(records));
  // The selection was cleared once the PO was written.
  EXPECT_EQ(r.transcript.find("row 1*"), std::string::npos) << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from po_line_item where \"po#\" = 3 and "
                              "cancel_date is null and order_date is null"),
            "0");
}

TEST(OrderFilesCommand, PosOfTwoVendorsAreRefused) {
  Workspace ws;
  testpdf::SessionDirHold folder(ws.Dir().string());
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 152
search po_number "PO-2026"
select 1 2
command 156
answer msgbox ok "only one Vendor"
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_FALSE(std::filesystem::exists(ws.Dir() / "orders.edi"));
}

}  // namespace
