// Command dispatch and the find and list windows, through the real client.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "FrameRun.h"

namespace {

using e2e::CountOf;
using e2e::Workspace;

// The transcript lines each command produced, by command number (the lines
// between its "action command N" and the next action).
std::map<unsigned, std::string> EffectsByCommand(const std::string& transcript) {
  std::map<unsigned, std::string> effects;
  std::istringstream in(transcript);
  unsigned current = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("action ", 0) == 0) {
      current = line.rfind("action command ", 0) == 0 ? std::stoul(line.substr(15)) : 0;
      continue;
    }
    if (current != 0 && line.find("hourglass") == std::string::npos) effects[current] += line + "\n";
  }
  return effects;
}

std::string Soon(const std::string& caption) {
  return "msgbox \"" + caption + "\" \"Coming soon to a screen near you!\" -> OK (auto)\n";
}
std::string Opens(const std::string& caption) { return "notice window open \"" + caption + "\"\n"; }

// What every command of the module does today for a user holding every
// privilege, run in this order (later rows see the windows earlier ones
// opened; none of them has a selection).
TEST(Commands, EveryCommandDoesWhatItShouldToday) {
  const struct {
    unsigned command;
    std::string effect;  // "" = nothing a person sees
  } table[] = {
      // Framework commands act on the top window; with none open, nothing.
      {12, ""}, {13, ""}, {42012, ""}, {42423, ""}, {42409, ""}, {42404, ""}, {42424, ""},
      {42425, ""}, {42313, ""}, {42411, ""}, {57642, ""},
      // Clipboard commands act on the focused control; none.
      {57632, ""}, {57634, ""}, {57635, ""}, {57637, ""},
      // Only for their own windows (budget hierarchy manager, report lists).
      {57603, ""}, {57604, ""}, {57607, ""}, {42102, ""}, {42202, ""},
      // Placeholders.
      {161, Soon("Cancel PO")}, {191, Soon("Apply Pattern")}, {192, Soon("Save Pattern")},
      {193, Soon("Delete Pattern")},
      // Windows of parts not in this build say so after their privilege.
      {109, Soon("Upload EDIFACT Files")}, {134, Soon("Budget Hierarchy: Add")},
      {135, Soon("Budget Hierarchy: Remove")}, {136, Soon("Budget Hierarchy: Move Up")},
      {137, Soon("Budget Hierarchy: Move Down")}, {151, Soon("New PO for Vendor")},
      {165, Soon("New PO")}, {166, Soon("PO Templates")}, {169, Soon("PO Template")},
      {155, Soon("PO Line Approval")}, {156, Soon("EDIFACT Orders")},
      {157, Soon("BISAC Orders")}, {158, Soon("Print POs")}, {159, Soon("Print Draft POs")},
      {160, Soon("PO Lines")}, {162, Soon("Renewal Candidates")},
      {163, Soon("Set Renewal Orders")}, {164, Soon("EDIFACT Order Responses")},
      {170, Soon("Workslip Batches")}, {171, Soon("PO Line List")},
      {172, Soon("Approve PO Lines")}, {173, Soon("Receive")}, {174, Soon("Cancel")},
      {175, Soon("Back Order")}, {176, Soon("Create Items")}, {178, Soon("Create Copies")},
      {177, Soon("Copies")}, {253, Soon("Copies")}, {179, Soon("Prorated Extra Charges")},
      {180, Soon("Bibliographic Record")}, {201, Soon("Undo Approval")},
      {202, Soon("Undo Receive")}, {203, Soon("Undo Activity")}, {204, Soon("Undo Activity")},
      {205, Soon("Undo Order")}, {211, Soon("Statement")}, {215, Soon("Statement")},
      {219, Soon("Statement")}, {216, Soon("Statement")}, {220, Soon("Statement")},
      {217, Soon("Statement")}, {221, Soon("Statement")},
      {214, Soon("Credits Applied to Invoices")}, {218, Soon("Statement Mode")},
      {222, Soon("Undo Statement")}, {224, Soon("Undo Approval")},
      {223, Soon("Statements to Approve")}, {225, Soon("EDIFACT Invoices")},
      {231, Soon("Prorate Extra Charges")}, {232, Soon("Approve Statement")},
      {241, Soon("Vouchers")}, {251, Soon("Purchase Requests")},
      {252, Soon("Find Purchase Requests")}, {261, Soon("Accounts")}, {262, Soon("Accounts")},
      {263, Soon("Accounts")}, {265, Soon("Account Years")}, {266, Soon("Reassign Budget")},
      {267, Soon("Transfer Unspent")}, {264, Soon("Budget Hierarchy Manager")},
      {281, Soon("Budget Hierarchy Manager")}, {268, Soon("Budget Hierarchy Report")},
      {271, Soon("Claims Review")}, {272, Soon("Print Claims")},
      {282, Soon("Budget Status Report")}, {283, Soon("Budget Codes Report")},
      {284, Soon("PO Lines by Vendor Report")}, {285, Soon("Vendor Contracts Report")},
      {291, Soon("Acquisitions Parameters")}, {292, Soon("Workslip Printer Options")},
      {310, Soon("Outstanding Payables")}, {320, Soon("Cheque Runs")},
      {330, Soon("Cheque Updates")}, {340, Soon("Tax Report")}, {350, Soon("Tax Report")},
      // Lists need an active PO, statement or voucher; none is selected.
      {154, ""}, {213, ""}, {242, ""},
      // The find windows.
      {152, Opens("Find PO")}, {153, Opens("Find PO Line")}, {212, Opens("Find Statement")},
      // Again: the open window comes to the top, no second one.
      {152, "notice window current \"Find PO\"\n"},
      // Numbers that are not the module's.
      {1, ""}, {999, ""}, {65535, ""},
  };
  std::string script = "login admin admin\n";
  for (const auto& row : table) script += "command " + std::to_string(row.command) + "\n";
  script += "close\n";  // so the last command's block ends before the windows close
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;

  // Each command's blocks, in order; a command run twice shows both.
  const auto effects = EffectsByCommand(r.transcript);
  std::map<unsigned, std::string> expected;
  for (const auto& row : table) expected[row.command] += row.effect;
  for (const auto& [command, effect] : expected) {
    const auto it = effects.find(command);
    EXPECT_EQ(it == effects.end() ? "" : it->second, effect) << "command " << command;
  }
}

TEST(Commands, AboutShowsTheClientAndExitClosesIt) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, "login admin admin\ncommand 57664\ncommand 57665\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.transcript.find("msgbox \"About Acquisitions\""), std::string::npos) << r.transcript;
  EXPECT_NE(r.trace.find("post 0x0010"), std::string::npos);
  EXPECT_EQ(e2e::LinesWithPrefix(r.trace, "trace: termination ").size(), 59u);
}

// A find window opens empty (a library may hold a hundred thousand POs) and
// shows what the search finds.
TEST(FindWindows, FindAPoByNumberAndListItsStatements) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login clerk clerk
command 152
show
expect "(no rows)"
search po_number "PO-2026-0001"
show
expect "| PO-2026-0001 |"
select 1
command 213
show
expect "window \"List: PO PO-2026-0001  Statements\" (lister statement_list)"
expect "| NF-88123 |"
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "  row "), 2u) << r.transcript;  // the PO, then its one statement
}

TEST(FindWindows, StatementFindListsThePosOfTheSelectedStatement) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 212
search statement_number "TP-2025-118"
select 1
command 242
show
expect "window \"List: Statement TP-2025-118  POs\" (lister po_list)"
expect "| PO-2025-0107 |"
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
}

TEST(FindWindows, QuotesInSearchesAreText) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login admin admin
command 152
search vendor_name "O'Brien"
show
expect "| PO-O'B-1 | O'Brien Library Supply |"
search po_number "';delete po"
show
expect "(no rows)"
search po_number "PO-O'B-1"
show
expect "| PO-O'B-1 |"
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
}

TEST(FindWindows, OpeningTheSelectedPoNeedsPoOpen) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login clerk clerk
command 152
search po_number "PO-2026-0003"
select 1
press 57601
expect "msgbox \"PO PO-2026-0003\""
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
}

TEST(FindWindows, WithoutThePrivilegeTheWindowOpensOnlyWhenAnotherUserAuthorises) {
  Workspace ws;
  ws.Exec("delete from pw_user_privilege where user_name='viewer'");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login viewer viewer
command 152
answer credentials cancel
expect-not "window open"
command 212
answer credentials clerk clerk
expect "window open \"Find Statement\""
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "notice window open"), 1u) << r.transcript;
}

}  // namespace
