// EDIFACT order responses through the real client: the message list reads
// the selected messages (a message that is not a response is refused in a
// box and stays listed), the line list applies a line to its PO line.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::QueryRow;
using e2e::Workspace;

// Interchange 900 with two messages: 1 cancels what PO 3 line 2 does not
// get (3 ordered, 1 dispatched), 2 is an order (220).
constexpr const char* kMessages = R"sql(
update po_line_item set order_date=46033 where "po#"=3;
insert into edifact_interchange("edifact#", location, "vendor#", una, file_name)
  values (900, 'MAIN', 3, ':+.? ''', 'rsp.edi');
insert into edifact_message("edifact#", "message#", message_type, message_code, message_number,
                            message_location)
  values (900, 1, 3, '231', 'R1', 'MAIN'), (900, 2, 3, '220', 'R2', 'MAIN');
insert into edifact_segment("edifact#", "segment#", "message#", short_segment) values
  (900, 1, 1, 'UNH+1+ORDRSP:D:96A:UN'''), (900, 2, 1, 'BGM+231+R1+4'''),
  (900, 3, 1, 'LIN+1+2'''), (900, 4, 1, 'QTY+21:3'''), (900, 5, 1, 'QTY+12:1'''),
  (900, 6, 1, 'RFF+LI:3/2'''), (900, 7, 1, 'UNT+7+1'''),
  (900, 8, 2, 'UNH+2+ORDRSP:D:96A:UN'''), (900, 9, 2, 'BGM+220+R2+9'''),
  (900, 10, 2, 'UNT+3+2''');
)sql";

TEST(OrderResponses, DetailsReadsTheMessagesAndTheLineListAppliesALine) {
  Workspace ws;
  ws.Exec(kMessages);
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 164
select 1 2
press Details
answer msgbox ok "This is not an order response (ORDRSP) message!"
show
select 1
press Process
command 164
show
)acqs");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "window open \"EDIFACT Order Response Lines\""), 1u)
      << r.transcript;
  EXPECT_NE(r.transcript.find("PO-2026-0003"), std::string::npos) << r.transcript;
  // Two of the three items cancelled, all three answered, message 1 done
  // and message 2 failed (still listed).
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(item || ':' || (case when cancel_date is null then 0 "
                              "else 1 end) || ':' || (case when response_date is null then 0 "
                              "else 1 end), ',') from (select * from "
                              "po_line_item where \"po#\"=3 and line=2 order by item) s"),
            "1:1:1,2:1:1,3:0:1");
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(\"message#\" || ':' || status, ',') from "
                              "(select * from edifact_process_status order by \"message#\") s"),
            "1:0,2:2");
  EXPECT_EQ(QueryRow(ws.Db(), "select group_concat(message_number, ',') from "
                              "edifact_ordrsp_message"),
            "R2");
}

}  // namespace
