// EDIFACT invoices through the real client: the message list processes the
// selected messages (one becomes a statement, one is refused with its
// reason in a box and stays listed), and Remove takes a message off the
// list after asking.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::QueryRow;
using e2e::Workspace;

// Interchange 900 of vendor 2 with two invoices: 1 for PO 8 line 1 (two
// approved items), 2 with a charge type the library does not have.
constexpr const char* kMessages = R"sql(
insert into edifact_interchange("edifact#", location, "vendor#", una, file_name)
  values (900, 'MAIN', 2, ':+.? ''', 'inv.edi');
insert into edifact_message("edifact#", "message#", message_type, message_code, message_number,
                            "message_vendor#", message_date, amount, currency)
  values (900, 1, 7, '380', 'E-1', 2, 46000, 30000000, 'USD'),
         (900, 2, 7, '380', 'E-2', 2, 46000, 10000000, 'USD');
insert into edifact_segment("edifact#", "segment#", "message#", short_segment) values
  (900, 1, 1, 'UNH+1+INVOIC:D:96A:UN'''), (900, 2, 1, 'BGM+380+E-1+9'''),
  (900, 3, 1, 'LIN+1'''), (900, 4, 1, 'QTY+47:2'''), (900, 5, 1, 'MOA+203:30'''),
  (900, 6, 1, 'RFF+LI:8/1'''), (900, 7, 1, 'UNS+S'''), (900, 8, 1, 'MOA+86:30'''),
  (900, 9, 1, 'UNT+9+1'''),
  (900, 10, 2, 'UNH+2+INVOIC:D:96A:UN'''), (900, 11, 2, 'BGM+380+E-2+9'''),
  (900, 12, 2, 'ALC+C++++FREIGHT'''), (900, 13, 2, 'MOA+8:10'''),
  (900, 14, 2, 'UNS+S'''), (900, 15, 2, 'UNT+6+2''');
)sql";

TEST(EdiInvoices, ProcessMakesAStatementOrSaysWhyAndRemoveAsksFirst) {
  Workspace ws;
  ws.Exec(kMessages);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 225
select 1 2
press Process
answer msgbox ok "Extra Charge Type FREIGHT not found"
answer msgbox ok "edifact_exception"
show
select 1
press Remove
answer msgbox no "Remove Invoice Message(s) w/o Processing?"
press Remove
answer msgbox yes "Remove Invoice Message(s) w/o Processing?"
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(QueryRow(ws.Db(), "select statement_number || ':' || statement_type || ':' || amount "
                              "|| ':' || note from statement where statement_number='E-1'"),
            "E-1:0:30000000:EDIFACT transmission");
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(\"message#\" || ':' || status, ',') from "
                              "(select * from edifact_process_status order by "
                              "\"process_status#\") s"),
            "1:0,2:2,2:3");
  EXPECT_EQ(QueryRow(ws.Db(), "select count(*) from edifact_invoic_message"), "0");
}

}  // namespace
