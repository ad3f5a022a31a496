// Order responses on the demo library: stored ORDRSP messages read into
// response lines (or refused with their exception and status 2), and lines
// applied to PO line items: the cancellations and claim dates they make,
// the response recorded on every open item, the money the cancelled items
// take off their budgets, and the message's status written once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acq/DbActFixture.h"
#include "acq/edi/AcqDbEdiRsp.h"
#include "acq/edi/EdiTestSupport.h"

namespace {

using acttest::ActModule;
namespace rsp = acq::AcqDbEdiRsp;

constexpr int kEdifact = 900;
// PO 3's items ordered, so that its lines await a response.
constexpr const char* kPo3Ordered = "update po_line_item set order_date=46033 where \"po#\"=3;";

std::string Flat(const acttest::Rows& rows) {
  std::string out;
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) out += (r && !c ? ";" : c ? "," : "") + rows[r][c];
  return out;
}

std::string Sql(std::string_view text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// Interchange 900 from vendor 3 to MAIN with the given service characters.
void StoreInterchange(ActModule& m, const std::string& una = ":+.? '") {
  m.db.Exec("insert into edifact_interchange(\"edifact#\", location, \"vendor#\", una, file_name) "
            "values (" + std::to_string(kEdifact) + ", 'MAIN', 3, " + Sql(una) + ", 'rsp.edi');");
}

// Message `message` of interchange 900 with BGM code `code`: the segments
// as written ('-terminated), numbered from message x 100.
void StoreMessage(ActModule& m, int message, const std::string& code,
                  const std::vector<std::string>& segments) {
  std::string sql = "insert into edifact_message(\"edifact#\", \"message#\", message_type, "
                    "message_code, message_number, message_location) values (" +
                    std::to_string(kEdifact) + ", " + std::to_string(message) + ", 3, " +
                    Sql(code) + ", 'R" + std::to_string(message) + "', 'MAIN');";
  int number = message * 100;
  for (const std::string& s : segments)
    sql += "insert into edifact_segment(\"edifact#\", \"segment#\", \"message#\", short_segment) "
           "values (" + std::to_string(kEdifact) + ", " + std::to_string(++number) + ", " +
           std::to_string(message) + ", " + Sql(s) + ");";
  m.db.Exec(sql);
}

struct Reading {
  rsp::ReadResult result;
  int warnings = 0;
  std::vector<std::string> shown;
};
Reading Read(int message) {
  Reading r;
  r.result = rsp::ReadMessage({kEdifact, message},
                              [&](std::string_view text) { r.shown.emplace_back(text); },
                              r.warnings);
  return r;
}

constexpr const char* kLineColumns =
    "select \"po#\", line, action_code, report_code, order_qty, dispatch_qty, qty_due, price, "
    "adj_price, date, substitute_item, substitute_code from edifact_ordrsp_line order by "
    "\"segment#\"";

TEST(OrderResponse, MessagesReadIntoLinesOrRefused) {
  struct Case {
    const char* name;
    const char* una;
    const char* code;
    std::vector<std::string> segments;
    rsp::ReadResult result;
    const char* lines;       // kLineColumns, flattened
    const char* exception;   // the one exception's text, "" for none
  };
  const Case cases[] = {
      {"an order (220) is not a response", ":+.? '", "220",
       {"UNH+1+ORDRSP:D:96A:UN'", "BGM+220+R1+4'", "LIN+1+5'", "RFF+LI:3/2'", "UNT+4+1'"},
       rsp::ReadResult::Failed, "",
       "Process Order Response Error: This is not an order response (ORDRSP) message!"},
      {"a refused order is one line for the whole PO", ":+.? '", "231",
       {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+27'", "FTX+AAI++OP:8B:28'",
        "RFF+ON:PO-2026-0003'", "UNS+S'", "UNT+5+1'"},
       rsp::ReadResult::Read, "3,,2,OP,,,,,,{today},,", ""},
      // Decimal comma, a substitute, the CUX percentage applied to AAB and
      // a month-only availability date (the 28th).
      {"a LIN group with every field", ":+,? '", "231",
       {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+4'", "LIN+1+24'", "PIA+3+0870701428:IB'",
        "PIA+5+0870701436:IB'", "QTY+21:3'", "QTY+12:1'", "FTX+LIN++NP:8B:28'",
        "PRI+ORD:20,00'", "PRI+AAB:10,00'", "CUX+2:GBP:10+3:USD:9+125'", "DTM+44:202701:610'",
        "RFF+LI:3/2'", "UNS+S'", "UNT+14+1'"},
       rsp::ReadResult::Read, "3,2,24,NP,3,1,,20000000,12500000,46413,0870701428,IB", ""},
      {"a reference that is not po/line", ":+.? '", "231",
       {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+4'", "LIN+1+5'", "RFF+LI:P28837'", "UNT+4+1'"},
       rsp::ReadResult::Failed, "", "Process Order Response Error: PO/Line P28837 not found."},
      {"a line the PO does not have", ":+.? '", "231",
       {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+4'", "LIN+1+5'", "RFF+LI:3/9'", "UNT+4+1'"},
       rsp::ReadResult::Failed, "", "Process Order Response Error: PO/Line 3/9 not found."},
      // PO 5's items are received: read, with a warning.
      {"a line that awaits no response", ":+.? '", "231",
       {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+4'", "LIN+1+5'", "RFF+LI:5/1'", "UNT+4+1'"},
       rsp::ReadResult::Read, "5,1,5,,,,,,,,,",
       "Process Order Response Warning: PO/Line 5/1 is not awaiting a response."},
      {"no LIN at all", ":+.? '", "231",
       {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+4'", "UNS+S'", "UNT+3+1'"},
       rsp::ReadResult::Failed, "",
       "Process Order Response Error: Message/Message Line incorrect format."},
      {"an ordered quantity without a number", ":+.? '", "231",
       {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+4'", "LIN+1+5'", "QTY+21'", "RFF+LI:3/2'",
        "UNT+5+1'"},
       rsp::ReadResult::Failed, "",
       "Process Order Response Error: Message/Message Line incorrect format."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m(kPo3Ordered);
    StoreInterchange(m, c.una);
    StoreMessage(m, 1, c.code, c.segments);
    const Reading r = Read(1);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.warnings, c.result == rsp::ReadResult::Read && c.exception[0] ? 1 : 0);
    std::string lines = c.lines;
    if (const size_t at = lines.find("{today}"); at != std::string::npos)
      lines.replace(at, 7, ActModule::Today());
    EXPECT_EQ(Flat(m.Query(kLineColumns)), lines);
    EXPECT_EQ(Flat(m.Query("select descr from edifact_exception where process=2")), c.exception);
    EXPECT_EQ(r.shown, c.exception[0] ? std::vector<std::string>{c.exception}
                                      : std::vector<std::string>{});
    // A failed message stays in the list (status 2); a read one leaves it.
    const bool failed = c.result == rsp::ReadResult::Failed;
    EXPECT_EQ(m.Count("select count(*) from edifact_ordrsp_message"), failed ? 1 : 0);
    EXPECT_EQ(Flat(m.Query("select status from edifact_process_status")), failed ? "2" : "");
  }
}

TEST(OrderResponse, AMessageIsReadOnce) {
  ActModule m(kPo3Ordered);
  StoreInterchange(m);
  StoreMessage(m, 1, "231",
               {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+4'", "LIN+1+5'", "RFF+LI:3/2'", "UNT+4+1'"});
  EXPECT_EQ(Read(1).result, rsp::ReadResult::Read);
  EXPECT_EQ(Read(1).result, rsp::ReadResult::Taken);
  EXPECT_EQ(m.Count("select count(*) from edifact_response_line"), 1);
}

// PO 3 line 2 has three open items: 1 and 2 at MAIN, 3 at BRANCH (whose
// address RIVER is the delivery party of the LOC cases).
TEST(OrderResponse, LinesAppliedToTheOpenItems) {
  struct Case {
    const char* name;
    std::vector<std::string> group;   // after LIN, before RFF+LI:3/2
    rsp::ApplyMode mode;
    rsp::ApplyResult result;
    const char* items;   // item, cancelled, responded, next claim date, activity type
  };
  const char* kAllResponded = "1,0,1,,ordrsp;2,0,1,,ordrsp;3,0,1,,ordrsp";
  const char* kUntouched = "1,0,0,,;2,0,0,,;3,0,0,,";
  const Case cases[] = {
      {"cancel what is not dispatched", {"LIN+1+2'", "QTY+21:3'", "QTY+12:1'"},
       rsp::ApplyMode::Process, rsp::ApplyResult::Applied,
       "1,1,1,,ordrsp;2,1,1,,ordrsp;3,0,1,,ordrsp"},
      {"back-ordered to the 28th", {"LIN+1+24'", "QTY+21:2'", "QTY+12:0'", "DTM+44:202701:610'"},
       rsp::ApplyMode::Process, rsp::ApplyResult::Applied,
       "1,0,1,46413,ordrsp;2,0,1,46413,ordrsp;3,0,1,,ordrsp"},
      {"a location's items first", {"LIN+1+2'", "LOC+7+RIVER::92'", "QTY+11:1'", "QTY+21:1'",
                                    "QTY+12:0'"},
       rsp::ApplyMode::Process, rsp::ApplyResult::Applied,
       "1,0,1,,ordrsp;2,0,1,,ordrsp;3,1,1,,ordrsp"},
      {"a location with too few items", {"LIN+1+2'", "LOC+7+RIVER::92'", "QTY+11:2'",
                                         "QTY+21:2'"},
       rsp::ApplyMode::Process, rsp::ApplyResult::Refused, kUntouched},
      {"more copies than are due", {"LIN+1+2'", "QTY+83:1'", "GIR+1+101:LCO'", "GIR+2+102:LCO'"},
       rsp::ApplyMode::Process, rsp::ApplyResult::Refused, kUntouched},
      {"accepted: only the response", {"LIN+1+5'", "QTY+21:3'", "QTY+12:3'"},
       rsp::ApplyMode::Process, rsp::ApplyResult::Applied, kAllResponded},
      {"removed: only the response", {"LIN+1+2'", "QTY+21:3'"}, rsp::ApplyMode::Remove,
       rsp::ApplyResult::Applied, kAllResponded},
      {"the whole line cancelled", {"LIN+1+5'", "QTY+21:3'", "QTY+12:3'"},
       rsp::ApplyMode::CancelOrder, rsp::ApplyResult::Applied,
       "1,1,1,,ordrsp;2,1,1,,ordrsp;3,1,1,,ordrsp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ActModule m(kPo3Ordered);
    StoreInterchange(m);
    std::vector<std::string> segments = {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+4'"};
    segments.insert(segments.end(), c.group.begin(), c.group.end());
    segments.insert(segments.end(), {"RFF+LI:3/2'", "UNS+S'", "UNT+9+1'"});
    StoreMessage(m, 1, "231", segments);
    ASSERT_EQ(Read(1).result, rsp::ReadResult::Read);
    const acttest::MoneyPicture before = m.Money();
    std::vector<std::string> shown;
    const auto result = rsp::ApplyLine({kEdifact, 1, 103}, c.mode,
                                       [&](std::string_view text) { shown.emplace_back(text); });
    EXPECT_EQ(result, c.result);
    const std::string today = ActModule::Today();
    EXPECT_EQ(Flat(m.Query("select item, case when cancel_date is null then 0 else 1 end, "
                           "case response_date when " + today + " then 1 else 0 end, "
                           "next_claim_date, po_activity_type from po_line_item where "
                           "\"po#\"=3 and line=2 order by item")),
              c.items);
    acttest::ExpectMoneyAgrees(before, m.Money(), true);
    const bool applied = result == rsp::ApplyResult::Applied;
    // The line leaves the list with the message's one status row; a
    // refused line stays, with its 432.
    EXPECT_EQ(m.Count("select count(*) from edifact_ordrsp_line"), applied ? 0 : 1);
    EXPECT_EQ(Flat(m.Query("select status from edifact_process_status")), applied ? "0" : "");
    EXPECT_EQ(shown.size(), applied ? 0u : 1u);
    const int64_t cancelled =
        m.Count("select count(*) from po_line_item where \"po#\"=3 and line=2 and "
                "cancel_date is not null");
    EXPECT_EQ(m.Count("select count(*) from po_line_item_history where po_activity_type='ordrsp' "
                      "and change_order_note='EDIFACT Order Response processed.'"),
              cancelled);
  }
}

TEST(OrderResponse, CancelledItemsTakeTheirMoneyOffTheBudget) {
  ActModule m;
  StoreInterchange(m);
  StoreMessage(m, 1, "231",
               {"UNH+1+ORDRSP:D:96A:UN'", "BGM+231+R1+27'", "RFF+ON:PO-2026-0008'", "UNT+3+1'"});
  ASSERT_EQ(Read(1).result, rsp::ReadResult::Read);
  const acttest::MoneyPicture before = m.Money();
  ASSERT_GT(m.Count("select count(*) from po_line_item_budget_amount where \"po#\"=8"), 0);
  EXPECT_EQ(rsp::ApplyLine({kEdifact, 1, 103}, rsp::ApplyMode::Process, {}),
            rsp::ApplyResult::Applied);
  EXPECT_EQ(m.Count("select count(*) from po_line_item where \"po#\"=8 and cancel_date is null"), 0);
  EXPECT_EQ(m.Count("select count(*) from po_line_item_budget_amount where \"po#\"=8 and "
                    "\"statement#\" is null and spent=0"),
            0);
  const acttest::MoneyPicture after = m.Money();
  acttest::ExpectMoneyAgrees(before, after, true);
  EXPECT_LT(after.at("REF.2026").onOrder.raw, before.at("REF.2026").onOrder.raw);
  EXPECT_EQ(rsp::ApplyLine({kEdifact, 1, 103}, rsp::ApplyMode::Process, {}),
            rsp::ApplyResult::Gone);
  EXPECT_EQ(m.Count("select count(*) from edifact_process_status where status=0"), 1);
}

// Real responses of other systems, uploaded: every LIN names a PO by a
// key of theirs, so each message fails with a 431 per line; with PO 17621
// and its lines in place, HOGJ-037.ack reads into 67 lines (each with a
// warning: the lines have no items waiting).
TEST(OrderResponse, InterchangesOfOtherSystems) {
  struct Case {
    const char* file;
    const char* setup;
    std::vector<rsp::ReadResult> results;   // per message
    size_t shown;                           // boxes over all messages
    const char* first;                      // the first box
    const char* line;                       // the line of segment#, when read
  };
  const char* kPo17621 =
      "insert into po(\"po#\", po_number, \"vendor#\") values (17621, 'HOGJ', 376);"
      "with recursive n(x) as (select 1 union all select x + 1 from n where x < 67) "
      "insert into po_line(\"po#\", line, title) select 17621, x, 'Title' from n;";
  using R = rsp::ReadResult;
  const Case cases[] = {
      {"HOGJ-037.ack", "", {R::Failed}, 67,
       "Process Order Response Error: PO/Line 17621/1 not found.", ""},
      {"edifact_sample.ordrsp.edi", "", {R::Failed, R::Failed, R::Failed}, 58,
       "Process Order Response Error: PO/Line 4639/1 not found.", ""},
      {"ingram_437.ordrsp.edi", "", {R::Failed}, 4,
       "Process Order Response Error: PO/Line 17/27 not found.", ""},
      // LIN+4+24 of the file: one ordered, one due, no dispatch, AAB 20.89.
      {"HOGJ-037.ack", kPo17621, {R::Read}, 67,
       "Process Order Response Warning: PO/Line 17621/1 is not awaiting a response.",
       "17621,12,24,OB,1,,1,,20890000,,,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.setup[0] ? " with its PO" : ""));
    ActModule m;
    editest::SeedParties(m);
    if (c.setup[0]) m.db.Exec(c.setup);
    const auto file = editest::UploadText(m, c.file, editest::DataFile(c.file));
    ASSERT_FALSE(file.failed);
    std::vector<rsp::ReadResult> results;
    std::vector<std::string> shown;
    int warnings = 0;
    for (int message = 1; message <= file.messages; ++message)
      results.push_back(rsp::ReadMessage(
          {file.edifact, message}, [&](std::string_view t) { shown.emplace_back(t); }, warnings));
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(shown.size(), c.shown);
    EXPECT_EQ(shown.empty() ? "" : shown.front(), c.first);
    if (c.line[0]) {
      EXPECT_EQ(m.Count("select count(*) from edifact_response_line"), 67);
      EXPECT_EQ(Flat(m.Query(std::string(kLineColumns).replace(
                    std::string(kLineColumns).find(" order by"), 0, " where line=12"))),
                c.line);
    }
  }
}

}  // namespace
