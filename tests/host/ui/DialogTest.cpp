// Dialogs from templates, the resource files they come from, accelerator
// keys, the current view and the clipboard commands.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/muc/MucTools.h"
#include "host/sys/PanicCatcher.h"
#include "host/ui/TestResources.h"
#include "host/ui/UiTestSupport.h"
#include "host/win32/Dialog.h"

namespace {

LRESULT NoProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

constexpr const char* kFineDialog = "dialog 9 \"Fine\"\n  control 1 button ok \"OK\"\n";

TEST(DialogResources, BrokenFileIsReportedOnceAndLoadsNothing) {
  struct Case {
    const char* text;    // after kFineDialog (two lines), unless it starts indented
    const char* error;   // part of the reported error
  };
  const Case cases[] = {
      {"dialog 1 \"A\"\n  control 5 knob x \"\"\n", "line 4: unknown control kind 'knob'"},
      {"accelerators 1\nstray\n", "line 4: unknown statement 'stray'"},
      {"  control 5 edit x \"\"\n", "line 1: an indented line outside"},
      {"dialog 1 \"A\"\n  control 5 edit x \"\"\n  control 5 button y \"\"\n",
       "line 5: control id 5 used twice"},
      {"dialog 1 \"A\"\n  control 1 button a \"A\" default\n  control 2 button b \"B\" default\n",
       "a second default button"},
      {"dialog 1 \"A\"\n  control 1 edit a \"A\" default\n", "'default' does not fit a edit"},
      {"dialog 1 \"A\"\n  control 1 edit a\n", "line 4: expected: control ID KIND NAME"},
      {"dialog 1 \"A\"\n  control 1 radio a \"A\" checked\n  control 2 radio b \"B\" checked\n",
       "line 5: a second checked radio"},
      {"dialog 1 \"A\"\n  control 1 edit a \"A\" group\n", "'group' does not fit a edit"},
      {"dialog 0 \"A\"\n", "line 3: expected: dialog ID"},
      {"dialog 9 \"Again\"\n", "line 3: dialog 9 defined twice"},
      {"dialog 1 \"A\n", "line 3: missing closing quote"},
      {"accelerators 2\n  Ctrl+Q 70000\n", "line 4: command '70000'"},
      {"accelerators 2\n  Hyper+F 5\n", "unknown key 'Hyper+F'"},
      {"accelerators 2\n  Ctrl+Ctrl+F 5\n", "unknown key 'Ctrl+Ctrl+F'"},
      {"accelerators 2\n  ctrl+f 5\n  Control+F 6\n", "line 5: key Ctrl+F used twice"},
  };
  for (const Case& c : cases) {
    PanicCatcher catcher;
    const std::string text = c.text[0] == ' ' ? c.text : std::string(kFineDialog) + c.text;
    TestResources resources("Broken", text);
    EXPECT_FALSE(LoadDialogTemplate(resources.res(), 9)) << c.text;
    EXPECT_EQ(LoadAcceleratorsW(resources.res(), 2), nullptr) << c.text;
    ASSERT_EQ(PanicCatcher::Shown().size(), 1u) << c.text;   // once, not per lookup
    EXPECT_NE(PanicCatcher::Shown()[0].find(c.error), std::string::npos)
        << PanicCatcher::Shown()[0];
  }
}

TEST(DialogResources, TemplatesAndKeysLoadAsWritten) {
  TestResources resources("Fine",
                          "# a comment\n"
                          "dialog 100 \"Find \\\"Vendor\\\"\"\n"
                          "  control 57601 button open \"&Open\" default\n"
                          "\tcontrol 1000 edit name \"\" disabled\n"
                          "  control 1001 check rush \"Rush\" checked\n"
                          "  control 1002 static - \"Name:\"\n"
                          "accelerators 2\n"
                          "  Enter 57601\n"
                          "  Shift+Ctrl+F5 42\n");
  std::optional<DialogTemplate> t = LoadDialogTemplate(resources.res(), 100);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->caption, "Find \"Vendor\"");
  ASSERT_EQ(t->controls.size(), 4u);
  EXPECT_TRUE(t->controls[0].isDefault);
  EXPECT_EQ(t->controls[0].text, "&Open");
  EXPECT_EQ(t->controls[1].kind, ControlKind::Edit);
  EXPECT_FALSE(t->controls[1].enabled);
  EXPECT_TRUE(t->controls[2].checked);
  EXPECT_EQ(t->controls[3].name, "");
  EXPECT_FALSE(LoadDialogTemplate(resources.res(), 101));
  EXPECT_EQ(LoadAcceleratorsW(resources.res(), 1), nullptr);

  HWND w = CreateDialogIndirectParamW(*t, nullptr, NoProc, 0);
  ASSERT_TRUE(w);
  EXPECT_EQ(TranslateAcceleratorKey(w, "Enter"), 0u);   // no table attached yet
  EXPECT_TRUE(_Win32_SetAccelTable(w, LoadAcceleratorsW(resources.res(), 2)));
  EXPECT_EQ(TranslateAcceleratorKey(w, "enter"), 57601u);
  EXPECT_EQ(TranslateAcceleratorKey(w, "Return"), 57601u);
  EXPECT_EQ(TranslateAcceleratorKey(w, "ctrl+shift+f5"), 42u);
  EXPECT_EQ(TranslateAcceleratorKey(w, "Ctrl+F5"), 0u);
  EXPECT_EQ(TranslateAcceleratorKey(w, "Hyper+Q"), 0u);
  DestroyWindow(w);
  EXPECT_EQ(TranslateAcceleratorKey(w, "Enter"), 0u);
}

TEST(DialogResources, ModuleFileHasTheFindWindowKeys) {
  std::ifstream in(std::string(ACQ_SOURCE_DIR) + "/acq/resources/PwAcq75.enu.dlg");
  std::ostringstream text;
  text << in.rdbuf();
  PanicCatcher catcher;
  TestResources resources("PwAcq75", text.str());
  ASSERT_NE(LoadAcceleratorsW(resources.res(), 1), nullptr);
  HACCEL find = LoadAcceleratorsW(resources.res(), 2);
  ASSERT_NE(find, nullptr);
  EXPECT_TRUE(PanicCatcher::Shown().empty());
  HWND w = CreateDialogIndirectParamW(DialogTemplate{}, nullptr, NoProc, 0);
  _Win32_SetAccelTable(w, find);
  EXPECT_EQ(TranslateAcceleratorKey(w, "Enter"), 57601u);
  EXPECT_EQ(TranslateAcceleratorKey(w, "Ctrl+F"), 57636u);
  EXPECT_EQ(TranslateAcceleratorKey(w, "F5"), 57642u);
  DestroyWindow(w);
}

// What the test dialog procedure saw, and what it answers.
std::vector<std::string> seen;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) seen.push_back("init " + std::to_string(lParam));
  if (msg == WM_COMMAND) seen.push_back("command " + std::to_string(LOWORD(wParam)) + "/" +
                                        std::to_string(HIWORD(wParam)));
  if (msg == WM_DESTROY) seen.push_back("destroy");
  if (msg == WM_COMMAND && LOWORD(wParam) == 100) return TRUE;   // handled: stays open
  // Like the module's procedures: the rest to the default handling itself.
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

DialogTemplate TwoFields(const char* caption) {
  DialogTemplate t;
  t.caption = caption;
  auto add = [&](int id, ControlKind kind, const char* name, const char* text) {
    DialogControl c;
    c.id = id;
    c.kind = kind;
    c.name = name;
    c.text = text;
    t.controls.push_back(c);
  };
  add(10, ControlKind::Static, "", "Title:");
  add(11, ControlKind::Edit, "title", "Ulysses");
  add(12, ControlKind::Edit, "author", "");
  add(100, ControlKind::Button, "keep", "Keep");
  return t;
}

// Two groups side by side (the second flagged), and one after a field:
// choosing a radio unchecks only its own group.
TEST(Dialog, RadioButtonsChooseOneOfTheirGroup) {
  TestResources resources("Radios",
                          "dialog 7 \"Print\"\n"
                          "  control 1 radio windows \"Windows\" checked\n"
                          "  control 2 radio port \"Port\"\n"
                          "  control 3 radio com1 \"COM1\" group\n"
                          "  control 4 radio lpt1 \"LPT1\" checked\n"
                          "  control 5 edit chars \"\"\n"
                          "  control 6 radio a \"A\" checked\n"
                          "  control 7 radio b \"B\"\n");
  std::optional<DialogTemplate> t = LoadDialogTemplate(resources.res(), 7);
  ASSERT_TRUE(t);
  EXPECT_EQ(RadioGroupOf(*t, 2), (std::vector<int>{1, 2}));
  EXPECT_EQ(RadioGroupOf(*t, 3), (std::vector<int>{3, 4}));
  EXPECT_EQ(RadioGroupOf(*t, 7), (std::vector<int>{6, 7}));
  EXPECT_TRUE(RadioGroupOf(*t, 5).empty());

  HWND d = CreateDialogIndirectParamW(*t, nullptr, NoProc, 0);
  ASSERT_TRUE(d);
  auto checked = [d] {
    std::string s;
    for (int id = 1; id <= 7; ++id) s += IsDlgButtonChecked(d, id) ? '1' : '0';
    return s;
  };
  EXPECT_EQ(checked(), "1001010");
  EXPECT_TRUE(CheckDlgButton(d, 2, true));
  EXPECT_EQ(checked(), "0101010");
  EXPECT_FALSE(CheckDlgButton(d, 2, false));   // unchecked only by choosing another
  EXPECT_TRUE(CheckRadioButton(d, 3, 4, 3));
  EXPECT_EQ(checked(), "0110010");
  EXPECT_FALSE(CheckRadioButton(d, 3, 4, 7));   // not in that group
  EXPECT_FALSE(CheckRadioButton(d, 1, 2, 5));   // not a radio
  EXPECT_TRUE(CheckDlgButton(d, 7, true));
  EXPECT_EQ(checked(), "0110001");
  DestroyWindow(d);
}

TEST(Dialog, ProcedureFirstThenTheDefaultClosesOnCancel) {
  ScriptedUi ui("");
  seen.clear();
  HWND d = CreateDialogIndirectParamW(TwoFields("Book"), nullptr, RecordingProc, 42);
  ASSERT_TRUE(IsDialog(d));
  EXPECT_EQ(seen, (std::vector<std::string>{"init 42"}));
  EXPECT_EQ(GetDlgFocus(d), 11);   // the first field takes the focus
  EXPECT_TRUE(SetDlgItemTextW(d, 12, "Joyce"));
  EXPECT_EQ(GetDialogTemplate(d)->controls[2].text, "Joyce");
  EXPECT_FALSE(SetDlgItemTextW(d, 99, "x"));
  EXPECT_FALSE(SetDefaultDlgButton(d, 11));   // not a button
  EXPECT_TRUE(SetDefaultDlgButton(d, 100));
  EXPECT_EQ(GetDefaultDlgButton(d), 100);

  SendMessageW(d, WM_COMMAND, MAKEWPARAM(100, BN_CLICKED), 0);
  EXPECT_TRUE(IsWindow(d));
  // The procedure hands IDCANCEL to the default itself and returns 0, so the
  // default runs twice: the second finds the dialog gone.
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0);
  EXPECT_FALSE(IsWindow(d));
  EXPECT_FALSE(IsDialog(d));
  EXPECT_EQ(seen, (std::vector<std::string>{"init 42", "command 100/0", "command 2/0", "destroy"}));
  EXPECT_NE(ui.Transcript().find("notice window open \"Book\"\nnotice window close \"Book\"\n"),
            std::string::npos);
}

TEST(Dialog, TopWindowFollowsCreationClosingAndSetCurrKtView) {
  HWND first = CreateDialogIndirectParamW(TwoFields("First"), nullptr, RecordingProc, 0);
  HWND second = CreateDialogIndirectParamW(TwoFields("Second"), nullptr, RecordingProc, 0);
  EXPECT_EQ(MucTools_GetCurrKtView(), second);   // opened last
  MucTools_SetCurrKtView(first);
  EXPECT_EQ(MucTools_GetCurrKtView(), first);
  HWND third = CreateDialogIndirectParamW(TwoFields("Third"), nullptr, RecordingProc, 0);
  EXPECT_EQ(MucTools_GetCurrKtView(), third);
  DestroyWindow(third);
  EXPECT_EQ(MucTools_GetCurrKtView(), first);   // current before it
  SendMessageW(first, WM_CLOSE, 0, 0);
  EXPECT_EQ(MucTools_GetCurrKtView(), second);
  DestroyWindow(second);
  EXPECT_EQ(MucTools_GetCurrKtView(), nullptr);
}

TEST(Dialog, ClipboardCommandsWorkOnTheFocusedFieldAndTellTheDialog) {
  constexpr UINT kClear = 57632, kCopy = 57634, kCut = 57635, kPaste = 57637;
  RegisterClassW("DialogTestFrame", DefWindowProcW);
  HMENU bar = CreateMenu();
  HMENU edit = CreateMenu();
  for (UINT id : {kClear, kCopy, kCut, kPaste}) AppendMenuW(edit, "item", id);
  AppendMenuW(bar, "&Edit", 0, edit);
  HWND frame = CreateWindowW("DialogTestFrame", "frame", nullptr, bar);
  PwMucBase_hwndFrame = frame;
  seen.clear();
  HWND d = CreateDialogIndirectParamW(TwoFields("Book"), nullptr, RecordingProc, 0);

  MucTools_EnableEditMenu(nullptr);
  for (UINT id : {kClear, kCopy, kCut, kPaste}) EXPECT_FALSE(MucTools_IsMenuItemEnabled(id));
  SetClipboardText("");
  MucTools_EnableEditMenu(d);
  EXPECT_TRUE(MucTools_IsMenuItemEnabled(kCut));
  EXPECT_FALSE(MucTools_IsMenuItemEnabled(kPaste));   // nothing to paste

  MucTools_HandleEditCmd(kCut, d);
  EXPECT_EQ(GetClipboardText(), "Ulysses");
  EXPECT_EQ(GetDlgItemTextW(d, 11), "");
  SetDlgFocus(d, 12);
  MucTools_HandleEditCmd(kPaste, d);
  EXPECT_EQ(GetDlgItemTextW(d, 12), "Ulysses");
  MucTools_HandleEditCmd(kClear, d);
  EXPECT_EQ(GetDlgItemTextW(d, 12), "");
  const std::string change = "/" + std::to_string(EN_CHANGE);
  EXPECT_EQ(seen, (std::vector<std::string>{"init 0", "command 11" + change, "command 12" + change,
                                            "command 12" + change}));
  DestroyWindow(d);
  DestroyWindow(frame);
  PwMucBase_hwndFrame = nullptr;
}

}  // namespace
