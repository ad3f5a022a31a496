// The frame's menus for a person at the terminal or a script: `menu` lists
// the module's menus with each item's command and state on the top window,
// and `command` takes an item's text as well as its number.
#include <gtest/gtest.h>

#include <string>

#include "FrameRun.h"

namespace {

using e2e::CountOf;
using e2e::Workspace;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Menu, ListsEveryPopupWithTheStateOfItsItems) {
  Workspace ws;
  // The viewer may find POs. Nothing is open at first: the record and
  // clipboard commands are disabled until a window offers them.
  const auto r = ws.Run({"--db", ws.Db()},
                        "login viewer viewer\n"
                        "menu\n"
                        "command \"Find PO\"\n"
                        "menu\n"
                        "menu \"purchase orders\"\n");
  ASSERT_EQ(r.exitCode, 0) << r.err << r.transcript;
  const std::string& t = r.transcript;
  const size_t find = t.find("action command \"Find PO\"");
  const size_t one = t.find("action menu \"purchase orders\"");
  ASSERT_NE(find, std::string::npos) << t;
  ASSERT_NE(one, std::string::npos) << t;
  const std::string before = t.substr(0, find), after = t.substr(find, one - find);

  const struct {
    const char* line;   // a line of the listing
    bool beforeFind;    // shown with no window open
    bool afterFind;     // shown with the (empty) PO find window on top
  } cases[] = {
      {"menu \"File\"\n", true, true},
      {"menu \"Purchase Orders\"\n", true, true},
      {"menu \"Window\"\n", true, true},
      {"  item 291 \"Acquisitions Parameters\"\n", true, true},
      {"  item 151 \"New PO\"\n", true, true},
      {"  item 165 \"New PO (Blank)\"\n", true, true},
      {"  item 173 \"Receive\"\n", true, true},
      // The framework's set: a list never saves; an empty one has no first row.
      {"  item 42313 \"Save Record\" disabled\n", true, true},
      {"  item 42409 \"First Record\" disabled\n", true, true},
      {"  item 57634 \"Copy\" disabled\n", true, true},   // no field has the focus
      // The find window's own answers: never PO lines; EDIFACT orders from it.
      {"  item 160 \"PO Lines\"\n", true, false},
      {"  item 160 \"PO Lines\" disabled\n", false, true},
      {"  item 156 \"EDIFACT Orders\"\n", true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Has(before, c.line), c.beforeFind) << c.line << before;
    EXPECT_EQ(Has(after, c.line), c.afterFind) << c.line << after;
  }
  EXPECT_TRUE(Has(after, "notice window open \"Find PO\"")) << after;
  // Every command of the module is an item; separators are not listed.
  EXPECT_EQ(CountOf(before, "\n  item "), 107u) << before;
  EXPECT_EQ(CountOf(before, "\nmenu \""), 13u) << before;
  // A popup by its name (any case): that one only.
  const std::string last = t.substr(one);
  EXPECT_EQ(CountOf(last, "\nmenu \""), 1u) << last;
  EXPECT_TRUE(Has(last, "  item 160 \"PO Lines\" disabled\n")) << last;
}

TEST(Menu, CommandsByTheirMenuText) {
  const struct {
    const char* note;
    const char* actions;   // after the log-in as admin
    int exitCode;
    const char* shown;     // in the transcript (and on stderr when the run fails)
  } cases[] = {
      {"an item's text", "command \"Find PO\"\n", 0, "notice window open \"Find PO\""},
      {"any case, & and the popup", "command \"purchase ORDERS/&find po line\"\n", 0,
       "notice window open \"Find PO Line\""},
      {"a bare word", "command Exit\n", 0, "action command \"Exit\""},
      {"a trailing ... is not typed", "command \"Save List As\"\n", 1,
       "command 57604 Save List As is not available here"},
      {"the module's state still counts", "command \"Save Record\"\n", 1,
       "command 42313 Save Record is not available here"},
      {"unknown text", "command \"Find Everything\"\n", 1,
       "no menu item \"Find Everything\" (the action 'menu' lists them)"},
      {"an item under another popup", "command \"Statements/Receive\"\n", 1,
       "no menu item \"Statements/Receive\""},
      {"one text for two commands", "command \"Undo Approval\"\n", 1,
       "the menu item \"Undo Approval\" is ambiguous: \"Purchase Orders/Undo Approval\" (201)"
       " \"Statements/Undo Approval\" (224)"},
      {"a popup that is not there", "menu \"Tools\"\n", 1,
       "no menu \"Tools\" (the menus: File, Edit, Record, Purchase Orders,"},
  };
  Workspace ws;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    const auto r = ws.Run({"--db", ws.Db()}, std::string("login admin admin\n") + c.actions);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err << r.transcript;
    EXPECT_TRUE(Has(r.transcript, c.shown)) << r.transcript;
    if (c.exitCode != 0) {
      EXPECT_TRUE(Has(r.err, c.shown)) << r.err;
    }
  }
}

TEST(Menu, ScriptMistakesAreFoundBeforeTheRun) {
  const struct {
    const char* line;
    const char* error;
  } cases[] = {
      {"command 70000", "'command' needs one command number (0 to 65535) or \"menu text\""},
      {"command -5", "'command' needs one command number"},
      {"command \"\"", "'command' needs one command number"},
      {"menu a b", "'menu' needs nothing or one \"popup\""},
  };
  Workspace ws;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto r = ws.Run({"--db", ws.Db()}, std::string("login admin admin\n") + c.line + "\n");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(Has(r.err, c.error)) << r.err;
    EXPECT_TRUE(r.transcript.empty()) << r.transcript;
  }
}

}  // namespace
