// The frame asks the module for a menu command's state before it runs it:
// what the top window does not offer is not run, and the script fails.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"

namespace {

using e2e::Workspace;

TEST(MenuState, CommandsTheTopWindowDoesNotOfferAreNotRun) {
  const struct {
    const char* note;
    const char* actions;   // after the log-in
    int exitCode;
    const char* shown;
  } cases[] = {
      {"a record command with no window", "command 42409\n", 1,
       "command 42409 First Record is not available here"},
      {"a clipboard command with no window", "command 57634\n", 1,
       "command 57634 Copy is not available here"},
      {"the framework's set: an empty list has no first row", "command 152\ncommand 42409\n", 1,
       "command 42409 First Record is not available here"},
      {"the framework's set: a list with rows", "command 152\nsearch po_number \"PO-2026\"\n"
       "command 42409\nshow\nexpect \"  row 1* |\"\n", 0, "action command 42409"},
      {"a list never saves", "command 152\ncommand 42313\n", 1,
       "command 42313 Save Record is not available here"},
      // The find window's own procedure answers for 156 to 160.
      {"PO lines are never offered by a find window", "command 152\ncommand 160\n", 1,
       "command 160 PO Lines is not available here"},
      {"EDIFACT orders from a PO find window", "command 152\ncommand 156\n", 0,
       "action command 156"},
      {"EDIFACT orders from a statement find window", "command 212\ncommand 156\n", 1,
       "command 156 EDIFACT Orders is not available here"},
      // Not the module's to decide: runs.
      {"a command the module does not answer for", "command 161\n", 0,
       "msgbox \"Cancel PO\" \"Coming soon to a screen near you!\""},
  };
  Workspace ws;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    const auto r = ws.Run({"--db", ws.Db()}, std::string("login admin admin\n") + c.actions);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err << r.transcript;
    EXPECT_NE(r.transcript.find(c.shown), std::string::npos) << r.transcript;
    if (c.exitCode != 0) {
      EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
    }
  }
}

}  // namespace
