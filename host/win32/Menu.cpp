// Menus: a tree of items, each a command (id, text, enabled) or a popup
// holding another menu, and a context-help id per menu. A menu is destroyed
// with its popups; like windows, a destroyed menu's object is parked so a
// stale handle never turns valid again.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/win32/Win32.h"

struct MenuImpl {
  struct Item {
    std::string text;
    UINT id = 0;
    bool enabled = true;
    HMENU popup = nullptr;
  };
  std::vector<Item> items;
  uint32_t helpId = 0;
};

namespace {

struct MenuRegistry {
  std::mutex mutex;
  std::map<HMENU, std::unique_ptr<MenuImpl>> live;
  std::vector<std::unique_ptr<MenuImpl>> parked;
};

MenuRegistry& Reg() {
  static MenuRegistry* registry = new MenuRegistry;
  return *registry;
}

MenuImpl* Find(MenuRegistry& reg, HMENU menu) {
  auto it = reg.live.find(menu);
  return it == reg.live.end() ? nullptr : it->second.get();
}

// The command item `id` in `menu` or any of its popups, depth first.
MenuImpl::Item* FindCommand(MenuRegistry& reg, HMENU menu, UINT id) {
  MenuImpl* impl = Find(reg, menu);
  if (!impl) return nullptr;
  for (MenuImpl::Item& item : impl->items) {
    if (item.popup) {
      if (MenuImpl::Item* found = FindCommand(reg, item.popup, id)) return found;
    } else if (item.id == id) {
      return &item;
    }
  }
  return nullptr;
}

void DestroyTree(MenuRegistry& reg, HMENU menu) {
  auto it = reg.live.find(menu);
  if (it == reg.live.end()) return;
  std::unique_ptr<MenuImpl> object = std::move(it->second);
  reg.live.erase(it);
  for (const MenuImpl::Item& item : object->items)
    if (item.popup) DestroyTree(reg, item.popup);
  *object = MenuImpl{};
  reg.parked.push_back(std::move(object));
}

}  // namespace

HMENU CreateMenu() {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto menu = std::make_unique<MenuImpl>();
  HMENU handle = menu.get();
  reg.live.emplace(handle, std::move(menu));
  return handle;
}

bool DestroyMenu(HMENU menu) {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (!Find(reg, menu)) return false;
  DestroyTree(reg, menu);
  return true;
}

bool AppendMenuW(HMENU menu, std::string_view text, UINT id, HMENU subMenu) {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  MenuImpl* impl = Find(reg, menu);
  if (!impl || (subMenu && (!Find(reg, subMenu) || subMenu == menu))) return false;
  impl->items.push_back(MenuImpl::Item{std::string(text), subMenu ? 0 : id, true, subMenu});
  return true;
}

HMENU GetSubMenu(HMENU menu, int position) {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  MenuImpl* impl = Find(reg, menu);
  if (!impl || position < 0 || position >= static_cast<int>(impl->items.size())) return nullptr;
  return impl->items[position].popup;
}

int GetMenuItemCount(HMENU menu) {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  MenuImpl* impl = Find(reg, menu);
  return impl ? static_cast<int>(impl->items.size()) : -1;
}

bool SetMenuContextHelpId(HMENU menu, uint32_t id) {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  MenuImpl* impl = Find(reg, menu);
  if (!impl) return false;
  impl->helpId = id;
  return true;
}

uint32_t GetMenuContextHelpId(HMENU menu) {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  MenuImpl* impl = Find(reg, menu);
  return impl ? impl->helpId : 0;
}

bool EnableMenuItem(HMENU menu, UINT id, bool enabled) {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  MenuImpl::Item* item = FindCommand(reg, menu, id);
  if (!item) return false;
  item->enabled = enabled;
  return true;
}

bool IsMenuItemEnabled(HMENU menu, UINT id) {
  MenuRegistry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  MenuImpl::Item* item = FindCommand(reg, menu, id);
  return item && item->enabled;
}
