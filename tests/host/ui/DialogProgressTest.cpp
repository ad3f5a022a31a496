// Progress bars, hidden controls and the beep, as a person meets them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/ui/TestResources.h"
#include "host/ui/UiTestSupport.h"
#include "host/win32/Dialog.h"
#include "host/win32/Win32.h"

namespace {

std::vector<int> clicks;

LRESULT ClickProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_COMMAND) clicks.push_back(LOWORD(wParam));
  return msg == WM_COMMAND ? 1 : 0;
}

std::string ViewText(HWND d) {
  std::string out;
  for (const std::string& line : Ui_WindowViewLines(MrUi_DescribeWindow(d))) out += line + "\n";
  return out;
}

}  // namespace

TEST(DialogProgress, PercentIsRoundedDownAndBounded) {
  struct Case { int64_t done, total; int percent; };
  const Case cases[] = {
      {0, 0, 0},     {5, 0, 0},       {0, 100, 0},       {45, 100, 45},
      {1, 3, 33},    {2, 3, 66},      {999, 1000, 99},   {1000, 1000, 100},
      {-5, 100, 0},  {150, 100, 100}, {INT64_MAX - 1, INT64_MAX, 99},
      {3'000'000'000LL, 4'000'000'000LL, 75},   // beyond 32 bits
  };
  for (const Case& c : cases)
    EXPECT_EQ(DlgProgressPercent(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

TEST(DialogProgress, BarAndHiddenControlsInTheViewAndActions) {
  TestResources resources("Progress",
                          "dialog 55 \"Upload\"\n"
                          "  control 1 progress bar \"\"\n"
                          "  control 2 button abort \"Abort\"\n"
                          "  control 3 button close \"Close\" default hidden\n"
                          "  control 4 edit note \"\" hidden\n");
  std::optional<DialogTemplate> t = LoadDialogTemplate(resources.res(), 55);
  ASSERT_TRUE(t);
  ScriptedUi ui("");
  clicks.clear();
  HWND d = CreateDialogIndirectParamW(*t, nullptr, ClickProc, 0);
  ASSERT_TRUE(d);
  EXPECT_EQ(GetDlgFocus(d), 0);   // a hidden field takes no focus

  EXPECT_EQ(ViewText(d),
            "window \"Upload\" (dialog 55)\n"
            "  field bar = 0% (read-only)\n"
            "  button 2 \"Abort\"\n");
  EXPECT_FALSE(IsDlgItemVisible(d, 3));
  EXPECT_EQ(Act("press close"), "the button \"close\" is hidden");
  EXPECT_EQ(Act("field note \"x\""), "the field \"note\" is hidden");
  EXPECT_NE(Act("key \"Enter\""), "");   // the default button is hidden too
  EXPECT_NE(Act("field bar \"50\""), "");
  EXPECT_TRUE(clicks.empty());

  EXPECT_TRUE(SetDlgProgress(d, 1, 45, 100));
  EXPECT_EQ(GetDlgProgressDone(d, 1), 45);
  EXPECT_TRUE(SetDlgProgress(d, 1, 250, 100, 0x00FF00, 0xC0C0C0));   // held at the total
  EXPECT_EQ(GetDlgProgressDone(d, 1), 100);
  EXPECT_TRUE(SetDlgProgress(d, 1, 9, 20));
  EXPECT_FALSE(SetDlgProgress(d, 2, 1, 2));    // a button is no bar
  EXPECT_FALSE(SetDlgProgress(d, 99, 1, 2));
  EXPECT_EQ(GetDlgProgressDone(d, 2), 0);

  EXPECT_TRUE(ShowDlgItem(d, 3, true));
  EXPECT_TRUE(ShowDlgItem(d, 2, false));
  EXPECT_FALSE(ShowDlgItem(d, 99, true));
  EXPECT_EQ(ViewText(d),
            "window \"Upload\" (dialog 55)\n"
            "  field bar = 45% (read-only)\n"
            "  button 3 \"Close\" default\n");
  const UiWindowView view = MrUi_DescribeWindow(d);
  ASSERT_FALSE(view.items.empty());
  EXPECT_TRUE(view.items[0].isProgress);
  EXPECT_EQ(view.items[0].done, 9);
  EXPECT_EQ(view.items[0].total, 20);
  EXPECT_EQ(view.items[0].fill, 0x00FF00u);
  EXPECT_EQ(Act("press close"), "");
  EXPECT_EQ(Act("press abort"), "the button \"abort\" is hidden");
  EXPECT_EQ(clicks, std::vector<int>{3});
  DestroyWindow(d);
}

TEST(DialogProgress, BeepIsANoticeNamingTheSound) {
  ScriptedUi ui("");
  for (UINT type : {0x00u, 0x10u, 0x30u, 0x40u, 0xFFFFFFFFu}) MessageBeep(type);
  EXPECT_NE(ui.Transcript().find("notice beep ok\nnotice beep error\nnotice beep warning\n"
                                 "notice beep information\nnotice beep 0xFFFFFFFF\n"),
            std::string::npos)
      << ui.Transcript();
}
