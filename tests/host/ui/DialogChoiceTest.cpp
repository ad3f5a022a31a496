// Drop-down choices: the program's options, one chosen or none, as a
// program sets them and as a person (a script) picks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/ui/TestResources.h"
#include "host/ui/UiTestSupport.h"
#include "host/win32/Dialog.h"
#include "host/win32/Win32.h"

namespace {

std::vector<std::pair<int, int>> notes;  // (control, notification)

LRESULT NoteProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_COMMAND) notes.emplace_back(LOWORD(wParam), HIWORD(wParam));
  return msg == WM_COMMAND ? 1 : 0;
}

std::string ViewText(HWND d) {
  std::string out;
  for (const std::string& line : Ui_WindowViewLines(MrUi_DescribeWindow(d))) out += line + "\n";
  return out;
}

class DialogChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    std::optional<DialogTemplate> t = LoadDialogTemplate(resources.res(), 83);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->controls[0].kind, ControlKind::Choice);
    EXPECT_EQ(t->controls[0].label, "Distribution Pattern");
    EXPECT_EQ(t->controls[0].text, "") << "a choice starts with none chosen";
    notes.clear();
    d = CreateDialogIndirectParamW(*t, nullptr, NoteProc, 0);
    ASSERT_TRUE(d);
  }
  void TearDown() override { DestroyWindow(d); }

  TestResources resources{"Choice",
                          "dialog 83 \"Select\"\n"
                          "  control 1 choice pattern \"Distribution Pattern\"\n"
                          "  control 2 edit note \"\"\n"};
  ScriptedUi ui{""};
  HWND d = nullptr;
};

TEST_F(DialogChoice, OptionsAreDistinctAndTheChoiceOnlyOneOfThem) {
  EXPECT_EQ(GetDlgFocus(d), 1) << "a choice takes the focus like a field";
  EXPECT_TRUE(SetDlgChoices(d, 1, {"Main", "", "Branches", "Main"}));
  EXPECT_EQ(GetDlgChoices(d, 1), (std::vector<std::string>{"Main", "Branches"}));
  EXPECT_EQ(GetDlgChoice(d, 1), -1);

  EXPECT_TRUE(SetDlgChoice(d, 1, "Branches"));
  EXPECT_EQ(GetDlgChoice(d, 1), 1);
  EXPECT_EQ(GetDlgItemTextW(d, 1), "Branches");
  EXPECT_FALSE(SetDlgChoice(d, 1, "branches")) << "the program names an option exactly";
  EXPECT_FALSE(SetDlgItemTextW(d, 1, "Elsewhere"));
  EXPECT_EQ(GetDlgChoice(d, 1), 1) << "a refused choice leaves the old one";

  // New options keep the choice while it is still one of them.
  EXPECT_TRUE(SetDlgChoices(d, 1, {"Adult", "Branches"}));
  EXPECT_EQ(GetDlgChoice(d, 1), 1);
  EXPECT_TRUE(SetDlgChoices(d, 1, {"Adult"}));
  EXPECT_EQ(GetDlgChoice(d, 1), -1);
  EXPECT_EQ(GetDlgItemTextW(d, 1), "");

  EXPECT_FALSE(SetDlgChoices(d, 2, {"x"})) << "an edit is no choice";
  EXPECT_FALSE(SetDlgChoice(d, 2, ""));
  EXPECT_EQ(GetDlgChoice(d, 2), -1);
  EXPECT_TRUE(GetDlgChoices(d, 99).empty());
}

TEST_F(DialogChoice, PersonPicksAnOptionInAnyCaseOrNone) {
  SetDlgChoices(d, 1, {"Main 2 + Branch 1", "Adult"});
  EXPECT_EQ(ViewText(d),
            "window \"Select\" (dialog 83)\n"
            "  field pattern =  (choice: Main 2 + Branch 1 | Adult)\n"
            "  field note = \n");
  EXPECT_EQ(Act("field pattern \"main 2 + BRANCH 1\""), "");
  EXPECT_EQ(GetDlgItemTextW(d, 1), "Main 2 + Branch 1");
  EXPECT_EQ(Act("field pattern \"Elsewhere\""),
            "the choice \"pattern\" has no option \"Elsewhere\"");
  EXPECT_EQ(GetDlgChoice(d, 1), 0);
  EXPECT_EQ(Act("field pattern \"(none)\""), "");
  EXPECT_EQ(GetDlgChoice(d, 1), -1);
  EXPECT_EQ(Act("field pattern \"Adult\""), "");
  const UiWindowView view = MrUi_DescribeWindow(d);
  ASSERT_FALSE(view.items.empty());
  EXPECT_TRUE(view.items[0].isChoice);
  EXPECT_EQ(view.items[0].label, "Distribution Pattern");
  EXPECT_EQ(view.items[0].text, "Adult");
  // Each pick the dialog hears as a changed choice; the refused one not at all.
  EXPECT_EQ(notes, (std::vector<std::pair<int, int>>{
                       {1, CBN_SELCHANGE}, {1, CBN_SELCHANGE}, {1, CBN_SELCHANGE}}));
}

}  // namespace
