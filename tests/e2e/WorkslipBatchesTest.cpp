// Workslip batches through the real client: the list opens on this
// workstation's batches, Print prints the selected one to the port and
// marks it printed, Change ID shows another workstation's batches, and
// Purge asks before it deletes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"
#include "host/db/DbDabs.h"

namespace {

using e2e::CountOf;
using e2e::Workspace;

TEST(WorkslipBatches, PrintChangeIdAndPurgeFromTheList) {
  Workspace ws;
  // Batch 2 of WS-B: PO 2 line 1 (items 1, 2) and PO 1 line 1: two workslips.
  ws.Exec("insert into workslip_batch(\"workslip_batch#\", workstation_id, date_created)"
          " values (2, 'WS-B', 46000);"
          "insert into workslip_batch_po_line_item(\"workslip_batch#\", \"po#\", line, item)"
          " values (2, 2, 1, 1), (2, 2, 1, 2), (2, 1, 1, 1)");
  const auto port = ws.Dir() / "lpt1";
  std::ofstream(port).close();   // a port is opened, never created
  std::ofstream(ws.Dir() / "workstation.ini")
      << "[ACQ]\nWORKSTATION_ID=WS-B\nWRKSLP_WINDOWS_PRINT=0\nWRKSLP_PRINTER_PORT=LPT1\n"
         "MAXCHARS=2800\nDEFAULT=3F\nLINE_FEED=/10\n[Ports]\nLPT1="
      << port.string() << "\n";
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 170
show
press print
answer msgbox ok "Please select a batch first."
select 1
press print
answer msgbox ok "Print completed. 2 workslip(s) printed."
press change_id
select "WS-RECV1"
press ok
show
select 1
press purge
answer msgbox no "Batch 1 belongs to workstation WS-RECV1 and has not been printed."
select 1
press purge
answer msgbox yes "Batch 1 belongs to workstation WS-RECV1 and has not been printed."
press cancel
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string first = r.transcript.substr(r.transcript.find("action show"));
  EXPECT_NE(first.find("label \"Workstation ID:\"\n  label \"WS-B\""), std::string::npos) << first;
  EXPECT_NE(first.find("row 1 | 2 | 2025-12-11 |  | 2 | 3 |  | \n"), std::string::npos) << first;
  const std::string second = r.transcript.substr(r.transcript.rfind("action show"));
  EXPECT_NE(second.find("row 1* | 1 | 2026-02-03 |  | 1 | 2 |  | \n"), std::string::npos) << second;
  EXPECT_EQ(CountOf(e2e::ReadFile(port), "\nPO Number: "), 2u) << e2e::ReadFile(port);
  EXPECT_EQ(e2e::QueryRow(ws.Db(), "select date_printed, print_in_process from workslip_batch "
                                   "where \"workslip_batch#\"=2"),
            std::to_string(DbDabs_GetDate()) + "|0");
  EXPECT_EQ(e2e::QueryRow(ws.Db(), "select count(*) from workslip_batch_po_line_item where "
                                   "\"workslip_batch#\"=1"),
            "0");
}

}  // namespace
