// The action texts of scripts and the terminal: what parses, what the frame
// is handed (the normalized text), and that it parses back the same.
#include <gtest/gtest.h>

#include <string>

#include "host/muc/UiDriver.h"

namespace {

TEST(UiAction, WindowActionsParseAndNormalize) {
  struct Case {
    const char* text;
    const char* normalized;   // nullptr: refused
    const char* error = "";   // part of the refusal
  };
  const Case cases[] = {
      {"select 3 1", "select 3 1"},
      {"select \"O'Brien\"", "select \"O'Brien\""},
      {"select \"7\"", "select \"7\""},          // quoted: text, not a row number
      {"select none", "select none"},
      {"select \"none\"", "select \"none\""},
      {"select", nullptr, "row numbers"},
      {"select 0", nullptr, "1 is the first row"},
      {"select 2 x", nullptr, "row numbers"},
      {"sort name", "sort name asc"},
      {"sort price desc", "sort price desc"},
      {"sort price down", nullptr, "asc or desc"},
      {"search name \"O'Brien \\\"Jr\\\"\"", "search name \"O'Brien \\\"Jr\\\"\""},
      {"search vendor# 12", "search vendor# \"12\""},
      {"search name", nullptr, "COLUMN \"value\""},
      {"field price \"a\\\\b\"", "field price \"a\\\\b\""},
      {"field 1002 \"\"", "field 1002 \"\""},
      // A note of several lines, typed in a browser, comes as one line.
      {"field internal_note \"one\\ntwo\\r\\n\\tthree\"",
       "field internal_note \"one\\ntwo\\r\\n\\tthree\""},
      {"field note \"a\\qb\"", nullptr, "unknown escape"},
      {"press 57601", "press 57601"},
      {"press \"Open PO\"", "press \"Open PO\""},
      {"key \"Ctrl+F\"", "key \"Ctrl+F\""},
      {"key Enter", "key \"Enter\""},
      {"framework 17", "framework 17"},
      {"framework 0x18", "framework 24"},
      {"framework 32", nullptr, "0 to 31"},
      {"window \"Find PO\"", "window \"Find PO\""},
      {"window", nullptr, "caption substring"},
      {"show", "show"},
      {"show all", nullptr, "no arguments"},
      {"command 152", "command 152"},
      {"press", nullptr, "button id or name"},
      {"frobnicate 1", nullptr, "unknown action 'frobnicate'"},
  };
  for (const Case& c : cases) {
    UiAction action;
    std::string error;
    const bool ok = Ui_ParseAction(c.text, action, &error);
    if (c.normalized == nullptr) {
      EXPECT_FALSE(ok) << c.text;
      EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
      continue;
    }
    ASSERT_TRUE(ok) << c.text << ": " << error;
    const std::string text = Ui_ActionText(action);
    EXPECT_EQ(text, c.normalized) << c.text;
    UiAction again;
    ASSERT_TRUE(Ui_ParseAction(text, again, &error)) << text << ": " << error;
    EXPECT_EQ(Ui_ActionText(again), text);
    EXPECT_EQ(again.kind, action.kind);
    EXPECT_EQ(again.name, action.name);
    EXPECT_EQ(again.text, action.text);
    EXPECT_EQ(again.rows, action.rows);
  }
  UiAction note;
  ASSERT_TRUE(Ui_ParseAction("field n \"a\\tb\\nc\"", note, nullptr));
  EXPECT_EQ(note.text, "a\tb\nc");
}

TEST(UiAction, ScriptsTakeWindowActionsAsActionLines) {
  std::string error;
  auto driver = Ui_MakeScriptDriver("select 1\nfield name \"x\"\nanswer msgbox ok\nshow\n", "s",
                                    "", &error);
  ASSERT_TRUE(driver) << error;
  EXPECT_EQ(driver->NextAction(), "select 1");
  EXPECT_EQ(driver->NextAction(), "field name \"x\"");
  EXPECT_EQ(driver->MessageBox("Book", "Bad", MsgButtons::Ok, MsgIcon::None), MsgAnswer::Ok);
  EXPECT_EQ(driver->NextAction(), "show");
  driver->ActionFailed("there is no row 1 (0 rows)");
  std::string reason;
  ASSERT_TRUE(driver->Failed(&reason));
  EXPECT_EQ(reason, "s:4 (show): there is no row 1 (0 rows)");
  EXPECT_EQ(driver->NextAction(), std::nullopt);   // no action after a failure

  EXPECT_FALSE(Ui_MakeScriptDriver("select 0\n", "t", "", &error));
  EXPECT_EQ(error, "t:1: 'select' needs row numbers (1 is the first row), one \"text\", or none");
}

}  // namespace
