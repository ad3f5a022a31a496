// Menu files of a language library: what a menu holds, which mistakes are
// refused with their line, and the module's own file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/sys/RunTime.h"

namespace {

TEST(MenuResource, ReadsPopupsItemsAndSeparators) {
  const char* text =
      "\xEF\xBB\xBF# comment\r\n"
      "menu 1\n"
      "  popup \"&File\"\n"
      "    item \"&Save\" 57603   # trailing comment\n"
      "    separator\n"
      "    item \"Say \\\"hi\\\"\" 7\n"
      "  popup \"&Window\"\n"
      "menu 2\n"
      "  popup \"Other\"\n"
      "    item \"Again\" 7\n";   // a command may be in another menu
  std::vector<LbMenu> menus;
  std::string error;
  ASSERT_TRUE(LbUtil_ParseMenus(text, menus, error)) << error;
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[0].id, 1);
  ASSERT_EQ(menus[0].popups.size(), 2u);
  EXPECT_EQ(menus[0].popups[0].text, "&File");
  const auto& items = menus[0].popups[0].items;
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "&Save");
  EXPECT_EQ(items[0].command, 57603);
  EXPECT_EQ(items[1].command, 0);   // the separator
  EXPECT_EQ(items[2].text, "Say \"hi\"");
  EXPECT_TRUE(menus[0].popups[1].items.empty());
  EXPECT_EQ(menus[1].popups[0].items[0].command, 7);
}

TEST(MenuResource, RefusesBrokenFilesWithTheLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"popup \"File\"\n", "line 1: 'popup' before the first 'menu'"},
      {"menu 1\nitem \"Save\" 5\n", "line 2: 'item' before the menu's first 'popup'"},
      {"menu 1\npopup \"F\"\nitem \"A\" 5\nitem \"B\" 5\n", "line 4: command 5 is in menu 1"},
      {"menu 1\nmenu 1\n", "line 2: a second menu 1"},
      {"menu 0\n", "line 1: 'menu' needs one ID"},
      {"menu 1\npopup \"F\"\nitem \"A\" 65536\n", "line 3: 'item' needs"},
      {"menu 1\npopup \"F\"\nitem \"A\" \"5\"\n", "line 3: 'item' needs"},
      {"menu 1\npopup \"F\"\nitem \"\" 5\n", "line 3: 'item' needs"},
      {"menu 1\npopup \"F\"\nseparator x\n", "line 3: 'separator' takes no arguments"},
      {"menu 1\npopup \"unterminated\n", "line 2: "},
      {"menu 1\nbutton 5\n", "line 2: unknown statement 'button'"},
  };
  for (const auto& c : cases) {
    std::vector<LbMenu> menus{LbMenu{9, {}}};
    std::string error;
    EXPECT_FALSE(LbUtil_ParseMenus(c.text, menus, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave: " << error;
    ASSERT_EQ(menus.size(), 1u);   // a failed parse leaves the output alone
    EXPECT_EQ(menus[0].id, 9);
  }
}

TEST(MenuResource, TheModulesMenuBarParses) {
  std::ifstream in(std::string(ACQ_SOURCE_DIR) + "/acq/resources/PwAcq75.enu.mnu");
  ASSERT_TRUE(in);
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<LbMenu> menus;
  std::string error;
  ASSERT_TRUE(LbUtil_ParseMenus(text.str(), menus, error)) << error;
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].id, 1);
  // The module gives the popups context-help ids by position.
  EXPECT_EQ(menus[0].popups.size(), 13u);
}

}  // namespace
