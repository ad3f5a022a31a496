// Tree controls: the program's items in a hierarchy, as a program builds
// and walks them and as a person (a script) selects, relabels and drags
// them, with the drop answered by a pop-up menu.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/sys/PanicCatcher.h"
#include "host/ui/TestResources.h"
#include "host/ui/UiTestSupport.h"
#include "host/win32/Dialog.h"
#include "host/win32/DialogTree.h"
#include "host/win32/Win32.h"

namespace {

constexpr int kTree = 1;
constexpr UINT kMove = 501, kCopy = 502;

std::vector<std::pair<int, int>> notes;  // (control, notification)

// The procedure of a hierarchy window: labels must not be empty; a drop
// asks whether to move or copy the item under the target.
LRESULT TreeProc(HWND d, UINT msg, WPARAM wParam, LPARAM) {
  if (msg != WM_COMMAND) return 0;
  notes.emplace_back(LOWORD(wParam), HIWORD(wParam));
  if (HIWORD(wParam) == TVN_ENDLABELEDIT) return TreeView_GetEditText(d, kTree).empty() ? FALSE : TRUE;
  if (HIWORD(wParam) == TVN_DROP) {
    const TreeDrag drag = TreeView_GetDrag(d, kTree);
    const UINT picked = TrackPopupMenuItems(d, {{kMove, "&Move Item"}, {kCopy, "&Copy Item"}});
    if (picked == 0) return TRUE;
    TreeItemInfo info;
    TreeView_GetItem(d, kTree, drag.dragged, info);
    if (picked == kMove) TreeView_DeleteItem(d, kTree, drag.dragged);
    TreeView_InsertItem(d, kTree, drag.target, TVI_LAST, info.label, info.image, info.value);
  }
  return TRUE;
}

// The tree as "label/depth" in display order.
std::string Shape(HWND d, int id = kTree) {
  std::string out;
  for (const DialogTreeNode& n : TreeView_GetVisibleItems(d, id))
    out += (out.empty() ? "" : " ") + n.label + "/" + std::to_string(n.depth);
  return out;
}

std::string ViewText(HWND d) {
  std::string out;
  for (const std::string& line : Ui_WindowViewLines(MrUi_DescribeWindow(d))) out += line + "\n";
  return out;
}

class DialogTree : public ::testing::Test {
 protected:
  void SetUp() override {
    std::optional<DialogTemplate> t = LoadDialogTemplate(resources.res(), 90);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->controls[0].kind, ControlKind::Tree);
    EXPECT_EQ(t->controls[0].label, "Hierarchies");
    notes.clear();
    d = CreateDialogIndirectParamW(*t, nullptr, TreeProc, 0);
    ASSERT_TRUE(d);
  }
  void TearDown() override { DestroyWindow(d); }

  // ART with ART.2026 and ART.2027 under it; MUSIC beside it.
  void Fill() {
    art = TreeView_InsertItem(d, kTree, TVI_ROOT, TVI_LAST, "ART", 1, 10);
    music = TreeView_InsertItem(d, kTree, TVI_ROOT, TVI_LAST, "MUSIC", 1, 20);
    y27 = TreeView_InsertItem(d, kTree, art, TVI_LAST, "ART.2027", 2, 12);
    y26 = TreeView_InsertItem(d, kTree, art, TVI_FIRST, "ART.2026", 2, 11);
    ASSERT_EQ(Shape(d), "ART/0 ART.2026/1 ART.2027/1 MUSIC/0");
  }

  TestResources resources{"Tree",
                          "dialog 90 \"Budget Hierarchy\"\n"
                          "  control 1 tree hierarchy \"Hierarchies\"\n"
                          "  control 2 edit note \"\"\n"
                          "  control 3 button - \"OK\" default\n"};
  ScriptedUi ui{"answer text \"move item\"\nanswer text cancel\nanswer text \"Copy Item\"\n"};
  HWND d = nullptr;
  HTREEITEM art = 0, music = 0, y26 = 0, y27 = 0;
};

TEST(DialogTreeTemplate, KindAndFlags) {
  struct Case { const char* control; bool loads; };
  const Case cases[] = {
      {"  control 1 tree h \"Label\"", true},
      {"  control 1 tree h \"\" disabled hidden", true},
      {"  control 1 tree h \"Label\" checked", false},
      {"  control 1 tree h \"Label\" default", false},
      {"  control 1 trees h \"Label\"", false},
  };
  for (const Case& c : cases) {
    PanicCatcher catcher;
    TestResources res("TreeKind", std::string("dialog 5 \"T\"\n") + c.control + "\n");
    EXPECT_EQ(LoadDialogTemplate(res.res(), 5).has_value(), c.loads) << c.control;
  }
}

TEST_F(DialogTree, InsertsInSiblingOrderAndWalks) {
  Fill();
  // After a sibling that has children: after its whole subtree.
  const HTREEITEM books = TreeView_InsertItem(d, kTree, TVI_ROOT, art, "BOOKS", 1, 30);
  const HTREEITEM first = TreeView_InsertItem(d, kTree, TVI_ROOT, TVI_FIRST, "AAA", 0, 0);
  const HTREEITEM mid = TreeView_InsertItem(d, kTree, art, y26, "ART.x", 2, 0);
  EXPECT_EQ(Shape(d), "AAA/0 ART/0 ART.2026/1 ART.x/1 ART.2027/1 BOOKS/0 MUSIC/0");
  EXPECT_EQ(TreeView_GetCount(d, kTree), 7);

  struct Walk { const char* what; HTREEITEM got, want; };
  const Walk walks[] = {
      {"first top", TreeView_GetChild(d, kTree, TVI_ROOT), first},
      {"first child", TreeView_GetChild(d, kTree, art), y26},
      {"no child", TreeView_GetChild(d, kTree, y26), 0},
      {"next", TreeView_GetNextSibling(d, kTree, y26), mid},
      {"next skips children", TreeView_GetNextSibling(d, kTree, art), books},
      {"last has no next", TreeView_GetNextSibling(d, kTree, music), 0},
      {"prev", TreeView_GetPrevSibling(d, kTree, books), art},
      {"first has no prev", TreeView_GetPrevSibling(d, kTree, first), 0},
      {"parent", TreeView_GetParent(d, kTree, y27), art},
      {"top's parent", TreeView_GetParent(d, kTree, music), TVI_ROOT},
      {"unknown item", TreeView_GetNextSibling(d, kTree, 999), 0},
      {"not a tree", TreeView_GetChild(d, 2, TVI_ROOT), 0},
  };
  for (const Walk& w : walks) EXPECT_EQ(w.got, w.want) << w.what;

  TreeItemInfo info;
  ASSERT_TRUE(TreeView_GetItem(d, kTree, y27, info));
  EXPECT_EQ(info.label, "ART.2027");
  EXPECT_EQ(info.image, 2);
  EXPECT_EQ(info.value, 12);
  EXPECT_EQ(info.parent, art);
  info.label = "ART.2028";
  info.expanded = false;
  EXPECT_TRUE(TreeView_SetItem(d, kTree, info));
  TreeView_GetItem(d, kTree, y27, info);
  EXPECT_EQ(info.label, "ART.2028");
  EXPECT_EQ(TreeView_GetParent(d, kTree, y27), art) << "SetItem keeps the place";
}

TEST_F(DialogTree, RefusesBadHandlesAndNeverReusesOne) {
  Fill();
  struct Bad { const char* what; HTREEITEM parent, after; };
  const Bad bad[] = {
      {"missing parent", 999, TVI_LAST},
      {"after a non-sibling", TVI_ROOT, y26},
      {"after an unknown item", art, 999},
      {"after the parent itself", art, art},
  };
  for (const Bad& b : bad)
    EXPECT_EQ(TreeView_InsertItem(d, kTree, b.parent, b.after, "x", 0, 0), 0) << b.what;
  EXPECT_EQ(TreeView_InsertItem(d, 2, TVI_ROOT, TVI_LAST, "x", 0, 0), 0) << "an edit is no tree";
  EXPECT_EQ(TreeView_InsertItem(d, 77, TVI_ROOT, TVI_LAST, "x", 0, 0), 0);
  TreeItemInfo info;
  EXPECT_FALSE(TreeView_GetItem(d, kTree, 0, info));
  info.item = 999;
  EXPECT_FALSE(TreeView_SetItem(d, kTree, info));
  EXPECT_FALSE(TreeView_Select(d, kTree, 999));
  EXPECT_FALSE(TreeView_DeleteItem(d, kTree, 999));
  EXPECT_EQ(Shape(d), "ART/0 ART.2026/1 ART.2027/1 MUSIC/0") << "refused calls change nothing";

  // Deleting an item deletes its subtree (and the selection in it).
  ASSERT_TRUE(TreeView_Select(d, kTree, y27));
  EXPECT_TRUE(TreeView_DeleteItem(d, kTree, art));
  EXPECT_EQ(Shape(d), "MUSIC/0");
  EXPECT_EQ(TreeView_GetSelection(d, kTree), 0);
  EXPECT_FALSE(TreeView_GetItem(d, kTree, y26, info)) << "a child of a deleted item is gone";
  const HTREEITEM again = TreeView_InsertItem(d, kTree, TVI_ROOT, TVI_LAST, "NEW", 1, 0);
  EXPECT_GT(again, y27) << "a new item never gets a handle given before";
  EXPECT_TRUE(TreeView_DeleteItem(d, kTree, TVI_ROOT));
  EXPECT_EQ(TreeView_GetCount(d, kTree), 0);
  EXPECT_GT(TreeView_InsertItem(d, kTree, TVI_ROOT, TVI_LAST, "X", 0, 0), again);
}

TEST_F(DialogTree, ViewShowsItemsInDisplayOrder) {
  Fill();
  TreeView_Select(d, kTree, y27);
  EXPECT_EQ(ViewText(d),
            "window \"Budget Hierarchy\" (dialog 90)\n"
            "  field note = \n"
            "  button 3 \"OK\" default\n"
            "  tree hierarchy\n"
            "  node 1 \"ART\"\n"
            "  node 2   \"ART.2026\"\n"
            "  node 3*   \"ART.2027\"\n"
            "  node 4 \"MUSIC\"\n");
  EXPECT_TRUE(notes.empty()) << "the program's own selection is not told to it";
  // A collapsed item hides its subtree; the numbers follow what is shown.
  TreeItemInfo info;
  TreeView_GetItem(d, kTree, art, info);
  info.expanded = false;
  TreeView_SetItem(d, kTree, info);
  const UiWindowView view = MrUi_DescribeWindow(d);
  ASSERT_EQ(view.trees.size(), 1u);
  ASSERT_EQ(view.trees[0].nodes.size(), 2u);
  EXPECT_TRUE(view.trees[0].nodes[0].collapsed);
  EXPECT_EQ(view.trees[0].nodes[1].label, "MUSIC");
  EXPECT_EQ(Act("node 3"), "the tree has no item 3 (it shows 2)");
}

TEST_F(DialogTree, PersonSelectsRenamesAndDrags) {
  Fill();
  const std::pair<int, int> sel{kTree, TVN_SELCHANGED}, edit{kTree, TVN_ENDLABELEDIT},
      drop{kTree, TVN_DROP};
  EXPECT_EQ(Act("node 3"), "");
  EXPECT_EQ(TreeView_GetSelection(d, kTree), y27);
  EXPECT_EQ(Act("node \"music\""), "");
  EXPECT_EQ(TreeView_GetSelection(d, kTree), music);
  EXPECT_EQ(Act("node \"drama\""), "the tree has no item labelled \"drama\"");

  EXPECT_EQ(Act("rename 2 \"\""), "") << "a refused label is no failed action";
  EXPECT_EQ(Shape(d), "ART/0 ART.2026/1 ART.2027/1 MUSIC/0");
  EXPECT_EQ(TreeView_GetEditItem(d, kTree), 0) << "the edit is over";
  EXPECT_EQ(Act("rename 4 \"SOUND\""), "");
  EXPECT_EQ(Shape(d), "ART/0 ART.2026/1 ART.2027/1 SOUND/0");

  // Three drops: moved, dismissed, copied (the script's answers in order).
  EXPECT_EQ(Act("drag 2 4"), "");
  EXPECT_EQ(Shape(d), "ART/0 ART.2027/1 SOUND/0 ART.2026/1");
  EXPECT_EQ(Act("drag 1 2"), "");
  EXPECT_EQ(Shape(d), "ART/0 ART.2027/1 SOUND/0 ART.2026/1");
  EXPECT_EQ(Act("drag 4 2"), "");
  EXPECT_EQ(Shape(d), "ART/0 ART.2027/1 ART.2026/2 SOUND/0 ART.2026/1");
  EXPECT_EQ(TreeView_GetDrag(d, kTree).dragged, 0) << "the drop is over";
  EXPECT_EQ(Act("drag 1 9"), "the tree has no item 9 (it shows 5)");

  EXPECT_EQ(notes, (std::vector<std::pair<int, int>>{sel, sel, edit, edit, drop, drop, drop}));
  const std::string transcript = ui.Transcript();
  EXPECT_NE(transcript.find("text \"Menu (Move Item, Copy Item)\" -> \"move item\""),
            std::string::npos) << transcript;
  EXPECT_NE(transcript.find("-> cancel"), std::string::npos) << transcript;
  EXPECT_EQ(ui.FailReason(), "");

  EnableDlgItem(d, kTree, false);
  EXPECT_EQ(Act("node 1"), "the tree of \"Budget Hierarchy\" is read-only");
  ShowDlgItem(d, kTree, false);
  EXPECT_EQ(Act("node 1"), "\"Budget Hierarchy\" has no tree");
}

TEST(TreeActions, ParseAndPrintBack) {
  struct Case { const char* text; const char* normal; };
  const Case good[] = {
      {"node 3", "node 3"},
      {"node \"ART.2026\"", "node \"ART.2026\""},
      {"rename 2 \"Art \\\"new\\\"\"", "rename 2 \"Art \\\"new\\\"\""},
      {"rename 2 \"\"", "rename 2 \"\""},
      {"rename 1 plain", "rename 1 \"plain\""},
      {"drag 1 0x4", "drag 1 4"},
  };
  for (const Case& c : good) {
    UiAction a, back;
    std::string error;
    ASSERT_TRUE(Ui_ParseAction(c.text, a, &error)) << c.text << ": " << error;
    EXPECT_TRUE(a.IsWindowAction()) << c.text;
    EXPECT_EQ(Ui_ActionText(a), c.normal);
    ASSERT_TRUE(Ui_ParseAction(Ui_ActionText(a), back, &error)) << error;
    EXPECT_EQ(back.kind, a.kind);
    EXPECT_EQ(back.rows, a.rows);
    EXPECT_EQ(back.text, a.text);
  }
  const char* bad[] = {"node", "node 0", "node -1", "node \"\"", "node 1 2", "node x",
                       "rename 1", "rename \"1\" \"a\"", "drag 1", "drag 2 2", "drag 1 \"2\"",
                       "node 99999999999"};
  for (const char* text : bad) {
    UiAction a;
    std::string error;
    EXPECT_FALSE(Ui_ParseAction(text, a, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
