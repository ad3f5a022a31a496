// Radio buttons as a person at a terminal and a script's transcript see
// them: each reads as a choice with its text, the chosen one of its group
// marked, and `field NAME yes` chooses one; check boxes read as before.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/muc/UiDriver.h"
#include "host/ui/TestResources.h"
#include "host/ui/UiTestSupport.h"
#include "host/win32/Dialog.h"

namespace {

std::vector<int> clicked;
// OK ends the dialog with the id of the chosen form.
LRESULT FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg != WM_COMMAND) return 0;
  const int id = LOWORD(wParam);
  if (id == IDOK) {
    for (int form = 2101; form <= 2103; ++form)
      if (IsDlgButtonChecked(hwnd, form)) EndDialog(hwnd, form);
    return TRUE;
  }
  if (HIWORD(wParam) == BN_CLICKED) clicked.push_back(id);
  return 0;
}

constexpr const char* kForms =
    "dialog 21 \"Print PO(s)\"\n"
    "  control 2100 check urgent \"Urgent\"\n"
    "  control 2101 radio negotiable \"Negotiable Purchase Order\" checked\n"
    "  control 2102 radio draft \"Draft Purchase Order\"\n"
    "  control 2103 radio cancellation \"Cancellation Notice\" disabled\n"
    "  control 1 button ok \"OK\" default\n"
    "  control 2 button cancel \"Cancel\"\n";

TEST(RadioView, TheTranscriptShowsTheChoiceAndAFieldChoosesOne) {
  TestResources resources("Forms", kForms);
  clicked.clear();
  ScriptedUi ui("show\nfield draft yes\nfield urgent yes\nshow\npress OK\n");
  EXPECT_EQ(DialogBoxParamW(resources.res(), 21, nullptr, FormProc, 0), 2102);
  ui.driver().Finish();
  EXPECT_EQ(ui.FailReason(), "");
  EXPECT_EQ(clicked, (std::vector<int>{2102, 2100}));

  const std::string t = ui.Transcript();
  const std::string before =
      "  field urgent = No\n"
      "  radio negotiable (*) \"Negotiable Purchase Order\"\n"
      "  radio draft ( ) \"Draft Purchase Order\"\n"
      "  radio cancellation ( ) \"Cancellation Notice\" (read-only)\n";
  const std::string after =
      "  field urgent = Yes\n"
      "  radio negotiable ( ) \"Negotiable Purchase Order\"\n"
      "  radio draft (*) \"Draft Purchase Order\"\n";
  const size_t first = t.find(before);
  ASSERT_NE(first, std::string::npos) << t;
  EXPECT_NE(t.find(after, first), std::string::npos) << t;
}

TEST(RadioView, TheTerminalShowsTheChoiceAndExplainsHowToChoose) {
  UiWindowView view;
  view.caption = "Print PO(s)";
  view.kind = "dialog 21";
  UiWindowView::Item draft;
  draft.name = "draft";
  draft.text = "Yes";
  draft.isCheck = true;
  draft.radioGroup = 2101;
  draft.label = "Draft Purchase Order";
  view.items.push_back(draft);

  std::istringstream in("help\n");
  std::ostringstream out;
  std::streambuf* oldIn = std::cin.rdbuf(in.rdbuf());
  std::streambuf* oldOut = std::cout.rdbuf(out.rdbuf());
  std::unique_ptr<UiDriver> terminal = Ui_MakeTerminalDriver();
  terminal->ShowWindow(view);
  const std::optional<std::string> action = terminal->NextAction();   // help, then the end
  std::cin.rdbuf(oldIn);
  std::cout.rdbuf(oldOut);
  std::cin.clear();

  EXPECT_EQ(action, std::nullopt);
  EXPECT_NE(out.str().find("window \"Print PO(s)\" (dialog 21)\n"
                           "  radio draft (*) \"Draft Purchase Order\"\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("field NAME yes            choose a radio button"), std::string::npos)
      << out.str();
}

}  // namespace
