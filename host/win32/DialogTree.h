// Tree controls of dialogs (control kind "tree" in a template): items in a
// hierarchy, each with a label, an image index (what kind of item it is, as
// the program numbers them) and the program's value. A person selects an
// item, edits a label, and drags an item onto another; the dialog procedure
// hears each as a WM_COMMAND with the tree's id in the low word and one of
// the TVN_ codes below in the high word, and decides what happens: the
// control never moves items by itself.
//
// Handles are small positive numbers, unique within the control for its
// life (a deleted item's handle is never given again); 0 is "no item".
// Calls on a control that is not a tree of the dialog do nothing (getters
// give 0, "" or nothing; setters false).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/win32/Dialog.h"
#include "host/win32/Win32.h"

using HTREEITEM = int32_t;
constexpr HTREEITEM TVI_ROOT = 0;    // parent of the top items
constexpr HTREEITEM TVI_FIRST = -1;  // insert before the first sibling
constexpr HTREEITEM TVI_LAST = -2;   // insert after the last sibling

// Notifications (high word of WM_COMMAND's wParam).
// The selection changed (already selected; TreeView_GetSelection).
constexpr uint16_t TVN_SELCHANGED = 0x0410;
// The person typed a new label for an item (TreeView_GetEditItem and
// TreeView_GetEditText): the procedure returns TRUE to take it (the control
// then sets it) and FALSE to refuse it (the label stays).
constexpr uint16_t TVN_ENDLABELEDIT = 0x0411;
// The person dropped an item onto another (TreeView_GetDrag): nothing has
// moved; the procedure moves or copies what it decides.
constexpr uint16_t TVN_DROP = 0x0412;

struct TreeItemInfo {
  HTREEITEM item = 0;
  HTREEITEM parent = 0;   // TVI_ROOT for a top item
  std::string label;
  int image = 0;
  LPARAM value = 0;
  bool expanded = true;
};

// Inserts an item under `parent` (TVI_ROOT for a top item) after the
// sibling `after` (or TVI_FIRST / TVI_LAST): its handle, 0 when the parent
// or the sibling is not there.
HTREEITEM TreeView_InsertItem(HWND dialog, int id, HTREEITEM parent, HTREEITEM after,
                              std::string_view label, int image, LPARAM value);
// Deletes the item with all its descendants (TVI_ROOT: every item).
bool TreeView_DeleteItem(HWND dialog, int id, HTREEITEM item);
bool TreeView_GetItem(HWND dialog, int id, HTREEITEM item, TreeItemInfo& info);
// Sets label, image, value and expanded of `info.item` (not its place).
bool TreeView_SetItem(HWND dialog, int id, const TreeItemInfo& info);
// Navigation: 0 when there is none. GetChild(TVI_ROOT) is the first top item.
HTREEITEM TreeView_GetChild(HWND dialog, int id, HTREEITEM item);
HTREEITEM TreeView_GetNextSibling(HWND dialog, int id, HTREEITEM item);
HTREEITEM TreeView_GetPrevSibling(HWND dialog, int id, HTREEITEM item);
HTREEITEM TreeView_GetParent(HWND dialog, int id, HTREEITEM item);
HTREEITEM TreeView_GetSelection(HWND dialog, int id);
// Selects `item` (0: none) without notifying the procedure.
bool TreeView_Select(HWND dialog, int id, HTREEITEM item);
int TreeView_GetCount(HWND dialog, int id);

// During TVN_ENDLABELEDIT: the item and the text the person typed.
HTREEITEM TreeView_GetEditItem(HWND dialog, int id);
std::string TreeView_GetEditText(HWND dialog, int id);
// During TVN_DROP: the dragged item and the item it was dropped onto.
struct TreeDrag {
  HTREEITEM dragged = 0;
  HTREEITEM target = 0;
};
TreeDrag TreeView_GetDrag(HWND dialog, int id);

// A pop-up menu at the pointer (the drag menu, a tree's context menu): the
// person picks one item or none. Returns the command of the item picked,
// 0 when the menu was dismissed. Shown through the UI driver.
struct PopupMenuItem {
  UINT command = 0;
  std::string text;   // "&Move Item"; the & marks the access key
};
UINT TrackPopupMenuItems(HWND owner, const std::vector<PopupMenuItem>& items);
// Who shows pop-up menus: the user-interface library installs it (this
// library sits below the UI driver). With none, every menu is dismissed.
using PopupMenuHandler = UINT (*)(HWND owner, const std::vector<PopupMenuItem>& items);
void _Win32_SetPopupMenuHandler(PopupMenuHandler handler);

// ---- the person's side, for the user interface -------------------------------------

// The items of a tree as a person sees them, in display order: the items
// under a collapsed item are left out. Empty when `id` is not a tree.
std::vector<DialogTreeNode> TreeView_GetVisibleItems(HWND dialog, int id);
// A person selects `item`: it becomes the selection and the procedure hears
// TVN_SELCHANGED. False (nothing sent) when the item is not in the tree.
bool TreeView_PersonSelects(HWND dialog, int id, HTREEITEM item);
// A person typed `text` as the label of `item`: the procedure hears
// TVN_ENDLABELEDIT and the label changes only when it returns TRUE.
// False when the procedure refused it or the item is not in the tree.
bool TreeView_PersonEditsLabel(HWND dialog, int id, HTREEITEM item, std::string_view text);
// A person dropped `dragged` onto `target` (two items of the tree, not the
// same one): the procedure hears TVN_DROP. False (nothing sent) otherwise.
bool TreeView_PersonDrops(HWND dialog, int id, HTREEITEM dragged, HTREEITEM target);
