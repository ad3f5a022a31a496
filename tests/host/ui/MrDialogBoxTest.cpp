// Modal dialogs and dialog lists as a script drives them: a modal dialog
// takes the actions until its procedure ends it (nested ones first), and a
// list control's rows are selected and its editable cells typed into.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/ui/TestResources.h"
#include "host/ui/UiTestSupport.h"
#include "host/win32/Dialog.h"

namespace {

DialogControl Control(int id, ControlKind kind, const char* name, const char* text) {
  DialogControl c;
  c.id = id;
  c.kind = kind;
  c.name = name;
  c.text = text;
  c.isDefault = id == 1;
  return c;
}

DialogTemplate AskTemplate(const std::string& caption) {
  DialogTemplate t;
  t.caption = caption;
  t.controls = {Control(1, ControlKind::Button, "ok", "OK"),
                Control(2, ControlKind::Button, "cancel", "Cancel"),
                Control(7, ControlKind::Button, "more", "More...")};
  return t;
}

// Ends with 10 x its parameter on OK, IDCANCEL on Cancel; "More..." opens
// a nested dialog and notes its result. A negative parameter ends it in
// WM_INITDIALOG with 42.
std::vector<INT_PTR> nestedResults;
LRESULT AskProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static std::vector<std::pair<HWND, LPARAM>> params;
  if (msg == WM_INITDIALOG) {
    params.emplace_back(hwnd, lParam);
    if (lParam < 0) EndDialog(hwnd, 42);
    return TRUE;
  }
  if (msg != WM_COMMAND) return 0;
  LPARAM param = 0;
  for (const auto& [h, p] : params)
    if (h == hwnd) param = p;
  switch (LOWORD(wParam)) {
    case 1: EndDialog(hwnd, param * 10); return TRUE;
    case 2: EndDialog(hwnd, 2); return TRUE;
    case 7:
      nestedResults.push_back(
          DialogBoxIndirectParamW(AskTemplate("Inner"), hwnd, AskProc, param + 1));
      return TRUE;
  }
  return 0;
}

// Leaves everything to the default handling: Cancel closes it.
LRESULT PlainProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

TEST(ModalDialog, ReturnsWhatEndedItAndNestedOnesEndFirst) {
  struct Case {
    const char* script;
    DLGPROC proc;
    LPARAM param;
    INT_PTR result;
    std::vector<INT_PTR> nested;
  };
  const Case cases[] = {
      {"press OK\n", AskProc, 3, 30, {}},
      {"key \"Escape\"\n", AskProc, 3, IDCANCEL, {}},
      {"", AskProc, 3, IDCANCEL, {}},                      // no answer: cancelled
      {"key \"Escape\"\n", PlainProc, 3, IDCANCEL, {}},    // closed
      {"", AskProc, -1, 42, {}},                           // ended before the wait
      // The inner dialog takes the actions until it ends; the outer then goes on.
      {"press 7\nshow\npress OK\npress More\nkey \"Escape\"\npress OK\n", AskProc, 3, 30,
       {40, IDCANCEL}},
  };
  for (const Case& c : cases) {
    nestedResults.clear();
    ScriptedUi ui(c.script);
    EXPECT_EQ(DialogBoxIndirectParamW(AskTemplate("Outer"), nullptr, c.proc, c.param), c.result)
        << c.script;
    EXPECT_EQ(nestedResults, c.nested) << c.script;
    ui.driver().Finish();
    EXPECT_EQ(ui.FailReason(), "") << c.script;
    const std::string t = ui.Transcript();
    EXPECT_NE(t.find("notice window close \"Outer\""), std::string::npos) << t;
    if (!c.nested.empty()) {
      EXPECT_NE(t.find("window \"Inner\" (dialog 0)"), std::string::npos) << t;
    }
  }
}

TEST(ModalDialog, MissingTemplateOrProcedureIsMinusOne) {
  TestResources resources("Modal", "dialog 5 \"Five\"\n  control 1 button ok \"OK\"\n");
  ScriptedUi ui("press OK\n");
  EXPECT_EQ(DialogBoxParamW(resources.res(), 6, nullptr, AskProc, 1), -1);
  EXPECT_EQ(DialogBoxParamW(resources.res(), 5, nullptr, nullptr, 1), -1);
  EXPECT_EQ(DialogBoxParamW(resources.res(), 5, nullptr, AskProc, 2), 20);
  EXPECT_FALSE(EndDialog(nullptr, 1));
}

// A dialog with two lists: lines (Line read-only, Unit Price editable) and
// budgets (Amount editable). Notes what the dialog hears from its lists.
constexpr int kLines = 300;
constexpr int kBudgets = 301;
std::vector<std::string> heard;
LRESULT GridProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    SetDlgListColumns(hwnd, kLines, {{"line", "Line"}, {"price", "Unit Price", true}});
    SetDlgListRows(hwnd, kLines, {{"1", "alpha"}, {"2", "beta"}, {"3"}});
    SetDlgListColumns(hwnd, kBudgets, {{"budget", ""}, {"amount", "Amount", true}});
    SetDlgListRows(hwnd, kBudgets, {{"B1", "5.00"}});
    return TRUE;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    const int id = LOWORD(wParam);
    heard.push_back("change " + std::to_string(id) + " " + GetDlgListFocusColumn(hwnd, id));
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE)
    heard.push_back("select " + std::to_string(LOWORD(wParam)));
  return 0;
}

TEST(DialogList, RowsAreSelectedAndEditableCellsTypedInto) {
  DialogTemplate t;
  t.caption = "Lines";
  t.controls = {Control(kLines, ControlKind::List, "lines", ""),
                Control(kBudgets, ControlKind::List, "budgets", ""),
                Control(1, ControlKind::Button, "ok", "OK")};
  ScriptedUi ui("");
  heard.clear();
  HWND dialog = CreateDialogIndirectParamW(t, nullptr, GridProc, 0);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(GetDlgListRows(dialog, kLines)[2], (std::vector<std::string>{"3", ""}));
  struct Step {
    const char* action;
    const char* error;   // "" when it is done
  };
  const Step steps[] = {
      {"field \"Unit Price\" \"9.50\"",
       "select one row of the list before typing into \"Unit Price\" (0 selected)"},
      {"select 4", "there is no row 4 (3 rows)"},
      {"select \"BETA\"", ""},
      {"field \"unit price\" \"9.50\"", ""},   // a heading, in any case
      {"field Line \"7\"", "the column \"Line\" is read-only"},
      {"field vendor \"1\"", "\"Lines\" has no field \"vendor\""},
      {"field amount \"6.00\"", "select one row of the list before typing into \"amount\" (0 selected)"},
      {"select 1 3", ""},
      {"field price \"1\"", "select one row of the list before typing into \"price\" (2 selected)"},
  };
  for (const Step& s : steps) EXPECT_EQ(Act(s.action), s.error) << s.action;
  EXPECT_EQ(GetDlgListRows(dialog, kLines)[1], (std::vector<std::string>{"2", "9.50"}));
  EXPECT_EQ(GetDlgListSelection(dialog, kLines), (std::vector<int>{1, 3}));
  EXPECT_EQ(heard, (std::vector<std::string>{"select 300", "change 300 price", "select 300"}));

  // The program's marks; rows going keep the selection and marks in range.
  SetDlgListMarks(dialog, kLines, {3, 2, 9});
  EXPECT_EQ(GetDlgListMarks(dialog, kLines), (std::vector<int>{2, 3}));
  SetDlgListSelection(dialog, kBudgets, {1});
  EXPECT_EQ(Act("field Amount \"6.00\""), "");   // not in the current list: the next that has it
  EXPECT_EQ(GetDlgListRows(dialog, kBudgets)[0][1], "6.00");
  EXPECT_EQ(Act("show"), "");
  const std::string shown = ui.Transcript();
  EXPECT_NE(shown.find("window \"Lines\" (dialog 0)\n"
                       "  button 1 \"OK\" default\n"
                       "  columns | Line | Unit Price\n"
                       "  row 1* | 1 | alpha\n"
                       "  row 2 (marked) | 2 | 9.50\n"
                       "  row 3* (marked) | 3 | \n"
                       "  list budgets\n"
                       "  columns | budget | Amount\n"
                       "  row 1* | B1 | 6.00\n"),
            std::string::npos)
      << shown;
  SetDlgListRows(dialog, kLines, {{"1", "alpha"}, {"2", "beta"}});
  EXPECT_EQ(GetDlgListSelection(dialog, kLines), std::vector<int>{1});
  EXPECT_EQ(GetDlgListMarks(dialog, kLines), std::vector<int>{2});
  DestroyWindow(dialog);
  EXPECT_EQ(ui.FailReason(), "");
}

}  // namespace
