// Privileges through the real client, as the demo library's clerk (finds,
// opens and edits POs, receives, finds statements) and viewer (finds POs
// only): every list, search, refresh and change asks its privilege each
// time, and a one-time authorisation by another user covers that one act.
#include <gtest/gtest.h>
#include <string>

#include "FrameRun.h"
#include "QueryDb.h"

namespace {

using e2e::CountOf;
using e2e::Workspace;

// "Authorisation needed: privilege N" for the feature `key` of `program`.
std::string Prompt(const Workspace& ws, const std::string& key,
                   const std::string& program = "acq") {
  return "credentials \"Authorisation needed: privilege " +
         e2e::QueryRow(ws.Db(), "select privilege_number from program_feature where "
                                "program_name='" + program + "' and program_feature='" + key +
                                    "'") +
         "\"";
}

TEST(Privileges, ViewerCannotListTheStatementsOfAPo) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login viewer viewer
command 152
search po_number "PO-2026-0001"
select 1
command 213
answer credentials cancel
command 242
answer credentials cancel
expect-not "Statements\""
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, Prompt(ws, "stFind") + " -> cancel"), 2u) << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, "notice window open"), 1u) << r.transcript;  // Find PO only
}

TEST(Privileges, ListOfThePosOfAStatementNeedsPoFind) {
  Workspace ws;
  ws.Exec("delete from pw_user_privilege where user_name='viewer'");
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login viewer viewer
command 212
answer credentials clerk clerk
search statement_number "TP-2025-118"
answer credentials clerk clerk
select 1
command 154
answer credentials cancel
expect-not "List: Statement"
command 154
answer credentials clerk clerk
expect "window open \"List: Statement TP-2025-118  POs\""
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, Prompt(ws, "poFind")), 2u) << r.transcript;
}

// Authorised once to open Find Statement, the viewer is asked again for
// each search, whichever way it is started, and for each refresh; a
// refused search leaves the list as it was.
TEST(Privileges, EverySearchAndRefreshAsksAgainAfterAOneTimeGrant) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login viewer viewer
command 212
answer credentials clerk clerk
search statement_number "TP"
answer credentials cancel
show
expect "(no rows)"
search statement_number "TP"
answer credentials clerk clerk
show
expect "| TP-2025-118 |"
press 57636
answer credentials cancel
key "F5"
answer credentials cancel
command 57642
answer credentials cancel
framework 24
answer credentials clerk clerk
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, Prompt(ws, "stFind")), 7u) << r.transcript;
}

// Each undo command asks the privilege of its activity group; undo order
// starts from a list of POs and does nothing elsewhere.
TEST(Privileges, UndoCommandsAskTheirGroupsPrivilege) {
  Workspace ws;
  const struct {
    unsigned command;
    const char* feature;
  } undo[] = {
      {201, "poUnApp"}, {202, "poUnRC"}, {203, "poUnRC"}, {204, "poUnRD"},
  };
  std::string script = "login clerk clerk\n";
  for (const auto& u : undo) {
    script += "command " + std::to_string(u.command) + "\nanswer credentials cancel\n";
  }
  script += "command 205\n";  // no list of POs open: nothing
  script += "command 152\nsearch po_number \"PO-2026-0001\"\nselect 1\n";
  script += "command 205\nanswer credentials cancel\n";
  script += "command 205\nanswer credentials admin admin\nanswer msgbox no\n";
  const auto r = ws.Run({"--db", ws.Db()}, script);
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  std::string expected;
  for (const auto& u : undo) {
    expected += "action command " + std::to_string(u.command) + "\n" + Prompt(ws, u.feature) +
                " -> cancel\n";
  }
  EXPECT_NE(r.transcript.find(expected), std::string::npos) << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, Prompt(ws, "poUndo")), 2u) << r.transcript;
  // After admin's grant undo order asks before it acts; "no" leaves the PO.
  EXPECT_NE(r.transcript.find("msgbox \"Undo Order Message\" \"OK to undo order for selected "
                              "PO(s)?\" -> No"),
            std::string::npos) << r.transcript;
}

// In the parameters editor the clerk, authorised once to open it, is asked
// again before the record changes, and again before the next change after
// a save.
TEST(Privileges, EditingTheParametersAsksApEditBeforeEachChange) {
  Workspace ws;
  const auto r = ws.Run({"--db", ws.Db()}, R"acqs(login clerk clerk
command 291
answer credentials admin admin
command 12
answer credentials cancel
field fiscal_year "2030"
answer credentials cancel
answer msgbox ok "may not be changed"
show
expect "(editor acq_parameter)"
expect "field fiscal_year = 2026"
command 12
answer credentials admin admin
field fiscal_year "2030"
command 42313
field fiscal_year "2031"
answer credentials cancel
answer msgbox ok "may not be changed"
)acqs");
  EXPECT_EQ(r.exitCode, 0) << r.err << r.transcript;
  EXPECT_EQ(CountOf(r.transcript, Prompt(ws, "apEdit", "acqman")), 5u) << r.transcript;
  EXPECT_EQ(e2e::QueryRow(ws.Db(), "select max(fiscal_year), count(*) from acq_parameter"), "2030|1");
}

}  // namespace
