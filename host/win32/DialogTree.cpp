// Tree controls of dialogs. A tree's items live in its control of the live
// dialog, in display order: an item comes right before its descendants and
// siblings keep their order, so an item's subtree is the run of items after
// it that are deeper than it. Every call works under the dialogs' lock
// (_Win32_WithDlgControl); the notifications are sent outside it.
#include "host/win32/DialogTree.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>

#include "host/win32/DialogInternal.h"

namespace {

std::atomic<PopupMenuHandler> popupHandler{nullptr};

using Nodes = std::vector<DialogTreeNode>;

// The index of `item` in `nodes`; -1 when it is not there (0 is no item).
long IndexOf(const Nodes& nodes, HTREEITEM item) {
  if (item <= 0) return -1;
  for (size_t n = 0; n < nodes.size(); ++n)
    if (nodes[n].item == item) return static_cast<long>(n);
  return -1;
}

// One past the last item of the subtree that starts at `at`.
size_t SubtreeEnd(const Nodes& nodes, size_t at) {
  size_t end = at + 1;
  while (end < nodes.size() && nodes[end].depth > nodes[at].depth) ++end;
  return end;
}

// The children of `parent` (TVI_ROOT: the top items) as indexes, in order.
std::vector<size_t> ChildrenOf(const Nodes& nodes, HTREEITEM parent) {
  std::vector<size_t> out;
  for (size_t n = 0; n < nodes.size(); ++n)
    if (nodes[n].parent == parent) out.push_back(n);
  return out;
}

// Calls `use` with the tree control `id` of `dialog`; false when there is none.
bool WithTree(HWND dialog, int id, const std::function<bool(DialogControl&)>& use) {
  return _Win32_WithDlgControl(dialog, id, [&use](DialogControl& c) {
    return c.kind == ControlKind::Tree && use(c);
  });
}

// A sibling of `item` (`step` -1: the one before, +1: after); 0 when none.
HTREEITEM Sibling(HWND dialog, int id, HTREEITEM item, int step) {
  HTREEITEM found = 0;
  WithTree(dialog, id, [&](DialogControl& c) {
    const long at = IndexOf(c.tree, item);
    if (at < 0) return false;
    const std::vector<size_t> siblings = ChildrenOf(c.tree, c.tree[at].parent);
    const auto pos = std::find(siblings.begin(), siblings.end(), static_cast<size_t>(at)) -
                     siblings.begin();
    const long next = pos + step;
    if (next >= 0 && next < static_cast<long>(siblings.size())) found = c.tree[siblings[next]].item;
    return true;
  });
  return found;
}

// Sends a tree notification to the dialog's procedure: its result.
LRESULT Notify(HWND dialog, int id, uint16_t code) {
  return SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(id), code), 0);
}

}  // namespace

HTREEITEM TreeView_InsertItem(HWND dialog, int id, HTREEITEM parent, HTREEITEM after,
                              std::string_view label, int image, LPARAM value) {
  HTREEITEM made = 0;
  WithTree(dialog, id, [&](DialogControl& c) {
    Nodes& nodes = c.tree;
    DialogTreeNode node;
    size_t at = 0;   // where the new item goes
    if (parent == TVI_ROOT) {
      node.depth = 0;
    } else {
      const long p = IndexOf(nodes, parent);
      if (p < 0) return false;
      node.depth = nodes[p].depth + 1;
      at = static_cast<size_t>(p) + 1;
    }
    const std::vector<size_t> siblings = ChildrenOf(nodes, parent);
    if (after == TVI_LAST) {
      if (!siblings.empty()) at = SubtreeEnd(nodes, siblings.back());
      else if (parent == TVI_ROOT) at = nodes.size();
    } else if (after == TVI_FIRST) {
      if (!siblings.empty()) at = siblings.front();
    } else {
      const long s = IndexOf(nodes, after);
      if (s < 0 || nodes[s].parent != parent) return false;
      at = SubtreeEnd(nodes, static_cast<size_t>(s));
    }
    node.item = ++c.treeLastHandle;
    node.parent = parent;
    node.label = std::string(label);
    node.image = image;
    node.value = value;
    nodes.insert(nodes.begin() + static_cast<long>(at), std::move(node));
    made = c.treeLastHandle;
    return true;
  });
  return made;
}

bool TreeView_DeleteItem(HWND dialog, int id, HTREEITEM item) {
  return WithTree(dialog, id, [item](DialogControl& c) {
    Nodes& nodes = c.tree;
    size_t from = 0, to = nodes.size();
    if (item != TVI_ROOT) {
      const long at = IndexOf(nodes, item);
      if (at < 0) return false;
      from = static_cast<size_t>(at);
      to = SubtreeEnd(nodes, from);
    }
    auto gone = [&](HTREEITEM h) {
      const long at = IndexOf(nodes, h);
      return at >= static_cast<long>(from) && at < static_cast<long>(to);
    };
    if (gone(c.treeSelected)) c.treeSelected = 0;
    nodes.erase(nodes.begin() + static_cast<long>(from), nodes.begin() + static_cast<long>(to));
    return true;
  });
}

bool TreeView_GetItem(HWND dialog, int id, HTREEITEM item, TreeItemInfo& info) {
  return WithTree(dialog, id, [&](DialogControl& c) {
    const long at = IndexOf(c.tree, item);
    if (at < 0) return false;
    const DialogTreeNode& n = c.tree[at];
    info = TreeItemInfo{n.item, n.parent, n.label, n.image, n.value, n.expanded};
    return true;
  });
}

bool TreeView_SetItem(HWND dialog, int id, const TreeItemInfo& info) {
  return WithTree(dialog, id, [&](DialogControl& c) {
    const long at = IndexOf(c.tree, info.item);
    if (at < 0) return false;
    DialogTreeNode& n = c.tree[at];
    n.label = info.label;
    n.image = info.image;
    n.value = info.value;
    n.expanded = info.expanded;
    return true;
  });
}

HTREEITEM TreeView_GetChild(HWND dialog, int id, HTREEITEM item) {
  HTREEITEM found = 0;
  WithTree(dialog, id, [&](DialogControl& c) {
    if (item != TVI_ROOT && IndexOf(c.tree, item) < 0) return false;
    const std::vector<size_t> children = ChildrenOf(c.tree, item);
    if (!children.empty()) found = c.tree[children.front()].item;
    return true;
  });
  return found;
}

HTREEITEM TreeView_GetNextSibling(HWND dialog, int id, HTREEITEM item) {
  return Sibling(dialog, id, item, +1);
}

HTREEITEM TreeView_GetPrevSibling(HWND dialog, int id, HTREEITEM item) {
  return Sibling(dialog, id, item, -1);
}

HTREEITEM TreeView_GetParent(HWND dialog, int id, HTREEITEM item) {
  HTREEITEM found = 0;
  WithTree(dialog, id, [&](DialogControl& c) {
    const long at = IndexOf(c.tree, item);
    if (at >= 0) found = c.tree[at].parent;
    return at >= 0;
  });
  return found;
}

HTREEITEM TreeView_GetSelection(HWND dialog, int id) {
  HTREEITEM found = 0;
  WithTree(dialog, id, [&found](DialogControl& c) {
    found = c.treeSelected;
    return true;
  });
  return found;
}

bool TreeView_Select(HWND dialog, int id, HTREEITEM item) {
  return WithTree(dialog, id, [item](DialogControl& c) {
    if (item != 0 && IndexOf(c.tree, item) < 0) return false;
    c.treeSelected = item;
    return true;
  });
}

int TreeView_GetCount(HWND dialog, int id) {
  int count = 0;
  WithTree(dialog, id, [&count](DialogControl& c) {
    count = static_cast<int>(c.tree.size());
    return true;
  });
  return count;
}

HTREEITEM TreeView_GetEditItem(HWND dialog, int id) {
  HTREEITEM found = 0;
  WithTree(dialog, id, [&found](DialogControl& c) {
    found = c.treeEditItem;
    return true;
  });
  return found;
}

std::string TreeView_GetEditText(HWND dialog, int id) {
  std::string text;
  WithTree(dialog, id, [&text](DialogControl& c) {
    text = c.treeEditText;
    return true;
  });
  return text;
}

TreeDrag TreeView_GetDrag(HWND dialog, int id) {
  TreeDrag drag;
  WithTree(dialog, id, [&drag](DialogControl& c) {
    drag = TreeDrag{c.treeDragged, c.treeTarget};
    return true;
  });
  return drag;
}

std::vector<DialogTreeNode> TreeView_GetVisibleItems(HWND dialog, int id) {
  Nodes shown;
  WithTree(dialog, id, [&shown](DialogControl& c) {
    for (size_t n = 0; n < c.tree.size();) {
      shown.push_back(c.tree[n]);
      n = c.tree[n].expanded ? n + 1 : SubtreeEnd(c.tree, n);
    }
    return true;
  });
  return shown;
}

bool TreeView_PersonSelects(HWND dialog, int id, HTREEITEM item) {
  if (item == 0 || !TreeView_Select(dialog, id, item)) return false;
  Notify(dialog, id, TVN_SELCHANGED);
  return true;
}

bool TreeView_PersonEditsLabel(HWND dialog, int id, HTREEITEM item, std::string_view text) {
  const bool editing = WithTree(dialog, id, [&](DialogControl& c) {
    if (IndexOf(c.tree, item) < 0) return false;
    c.treeEditItem = item;
    c.treeEditText = std::string(text);
    return true;
  });
  if (!editing) return false;
  const bool taken = Notify(dialog, id, TVN_ENDLABELEDIT) != FALSE;
  // The procedure may have closed the dialog or deleted the item meanwhile.
  bool changed = false;
  WithTree(dialog, id, [&](DialogControl& c) {
    c.treeEditItem = 0;
    c.treeEditText.clear();
    const long at = IndexOf(c.tree, item);
    if (taken && at >= 0) {
      c.tree[at].label = std::string(text);
      changed = true;
    }
    return true;
  });
  return changed;
}

bool TreeView_PersonDrops(HWND dialog, int id, HTREEITEM dragged, HTREEITEM target) {
  const bool dropping = WithTree(dialog, id, [&](DialogControl& c) {
    if (dragged == target || IndexOf(c.tree, dragged) < 0 || IndexOf(c.tree, target) < 0)
      return false;
    c.treeDragged = dragged;
    c.treeTarget = target;
    return true;
  });
  if (!dropping) return false;
  Notify(dialog, id, TVN_DROP);
  WithTree(dialog, id, [](DialogControl& c) {
    c.treeDragged = c.treeTarget = 0;
    return true;
  });
  return true;
}

UINT TrackPopupMenuItems(HWND owner, const std::vector<PopupMenuItem>& items) {
  PopupMenuHandler handler = popupHandler.load();
  if (items.empty() || handler == nullptr) return 0;
  const UINT picked = handler(owner, items);
  for (const PopupMenuItem& item : items)
    if (item.command == picked) return picked;
  return 0;
}

void _Win32_SetPopupMenuHandler(PopupMenuHandler handler) { popupHandler.store(handler); }
