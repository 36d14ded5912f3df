// Win32 menus built from the MENU resources of the resource script.
#include "platform/posix/user_menu.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/posix/internal.h"

namespace posix {
namespace {

constexpr DWORD kErrorMenuItemNotFound = 1456;
// Deeper popups are created empty; it bounds the recursion over a menu tree.
constexpr int kMaxDepth = 64;

struct Item {
  UINT id;
  std::string text;
  UINT flags;
  HMENU popup;
};

struct Menu {
  std::vector<Item> items;
};

// Menu handles are opaque numbers that are never reused, so a stale handle is
// recognised instead of followed. They lie above the 16-bit command ids because
// MF_BYCOMMAND may name a popup item by its submenu's handle.
constexpr uintptr_t kFirstHandle = 0x00A10000;
constexpr uintptr_t kHandleStep = 0x10;

struct Registry {
  std::mutex mutex;
  std::unordered_map<uintptr_t, Menu> menus;
  uintptr_t next = kFirstHandle;
};

// Never destroyed, so menus may still be released while the process exits.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

Menu* find(HMENU handle) {
  auto& menus = registry().menus;
  auto it = menus.find(reinterpret_cast<uintptr_t>(handle));
  return it == menus.end() ? nullptr : &it->second;
}

Menu* findOrFail(HMENU handle) {
  Menu* m = find(handle);
  if (m == nullptr) SetLastError(ERROR_INVALID_MENU_HANDLE);
  return m;
}

HMENU build(const std::vector<MenuItemTemplate>& items, int depth) {
  Menu menu;
  menu.items.reserve(items.size());
  for (const MenuItemTemplate& t : items) {
    // A menu string ends at its first NUL, as in a binary template.
    Item item{t.id, std::string(t.text.c_str()), t.flags, nullptr};
    if (t.flags & MF_POPUP) item.popup = build(depth < kMaxDepth ? t.items : std::vector<MenuItemTemplate>(), depth + 1);
    menu.items.push_back(std::move(item));
  }
  Registry& r = registry();
  uintptr_t handle = r.next;
  r.next += kHandleStep;
  r.menus.emplace(handle, std::move(menu));
  return reinterpret_cast<HMENU>(handle);
}

void destroy(HMENU handle) {
  auto& menus = registry().menus;
  auto it = menus.find(reinterpret_cast<uintptr_t>(handle));
  if (it == menus.end()) return;
  std::vector<HMENU> popups;
  for (const Item& item : it->second.items)
    if (item.popup != nullptr) popups.push_back(item.popup);
  menus.erase(it);
  for (HMENU popup : popups) destroy(popup);
}

// MF_BYCOMMAND looks through the submenus depth first, as Win32 does.
Item* byCommand(Menu& menu, UINT id, int depth) {
  for (Item& item : menu.items) {
    if (item.flags & MF_POPUP) {
      Menu* sub = depth < kMaxDepth ? find(item.popup) : nullptr;
      if (sub != nullptr)
        if (Item* found = byCommand(*sub, id, depth + 1)) return found;
      if (reinterpret_cast<uintptr_t>(item.popup) == id || (item.id != 0 && item.id == id)) return &item;
    } else if (item.id == id) {
      return &item;
    }
  }
  return nullptr;
}

Item* locate(Menu& menu, UINT item, UINT flags) {
  if (flags & MF_BYPOSITION) return item < menu.items.size() ? &menu.items[item] : nullptr;
  return byCommand(menu, item, 0);
}

Item* locateOrFail(HMENU handle, UINT item, UINT flags) {
  Menu* menu = findOrFail(handle);
  if (menu == nullptr) return nullptr;
  Item* found = locate(*menu, item, flags);
  if (found == nullptr) SetLastError(kErrorMenuItemNotFound);
  return found;
}

Item* atPosition(HMENU handle, int pos) {
  Menu* menu = findOrFail(handle);
  if (menu == nullptr) return nullptr;
  if (pos < 0 || static_cast<size_t>(pos) >= menu->items.size()) return nullptr;
  return &menu->items[static_cast<size_t>(pos)];
}

}  // namespace

std::vector<MenuItemView> menuItems(HMENU handle) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  std::vector<MenuItemView> view;
  Menu* menu = find(handle);
  if (menu == nullptr) return view;
  for (const Item& item : menu->items)
    view.push_back(MenuItemView{item.id, item.text, item.flags, find(item.popup) ? item.popup : nullptr});
  return view;
}

bool isMenuHandle(HMENU handle) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  return find(handle) != nullptr;
}

HMENU createMenuFromTemplate(const std::vector<MenuItemTemplate>& items) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  return build(items, 0);
}

void destroyMenuTree(HMENU handle) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  destroy(handle);
}

void resetMenus() {
  std::lock_guard<std::mutex> lock(registry().mutex);
  registry().menus.clear();  // handles are not reused: old ones stay invalid
}

}  // namespace posix

using posix::Item;

extern "C" {

HMENU WINAPI LoadMenuA(HINSTANCE, LPCSTR name) {
  // One resource set on POSIX: the instance does not matter.
  const posix::MenuResource* resource = posix::resources().findMenu(name);
  if (resource == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return posix::createMenuFromTemplate(resource->items);
}

BOOL WINAPI DestroyMenu(HMENU menu) {
  std::lock_guard<std::mutex> lock(posix::registry().mutex);
  if (posix::findOrFail(menu) == nullptr) return FALSE;
  posix::destroy(menu);
  return TRUE;
}

HMENU WINAPI GetSubMenu(HMENU menu, int pos) {
  std::lock_guard<std::mutex> lock(posix::registry().mutex);
  Item* item = posix::atPosition(menu, pos);
  if (item == nullptr || !(item->flags & MF_POPUP) || posix::find(item->popup) == nullptr) return nullptr;
  return item->popup;
}

int WINAPI GetMenuItemCount(HMENU menu) {
  std::lock_guard<std::mutex> lock(posix::registry().mutex);
  posix::Menu* m = posix::findOrFail(menu);
  if (m == nullptr) return -1;
  return static_cast<int>(std::min<size_t>(m->items.size(), INT_MAX));
}

UINT WINAPI GetMenuItemID(HMENU menu, int pos) {
  std::lock_guard<std::mutex> lock(posix::registry().mutex);
  Item* item = posix::atPosition(menu, pos);
  if (item == nullptr || (item->flags & MF_POPUP)) return static_cast<UINT>(-1);
  return item->id;
}

int WINAPI GetMenuStringA(HMENU menu, UINT id, LPSTR buffer, int size, UINT flags) {
  std::lock_guard<std::mutex> lock(posix::registry().mutex);
  Item* item = posix::locateOrFail(menu, id, flags);
  if (item == nullptr) return 0;
  int length = static_cast<int>(std::min<size_t>(item->text.size(), INT_MAX - 1));
  if (buffer == nullptr || size == 0) return length;
  if (size < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int copied = std::min(length, size - 1);
  std::memcpy(buffer, item->text.data(), static_cast<size_t>(copied));
  buffer[copied] = '\0';
  return copied;
}

UINT WINAPI GetMenuState(HMENU menu, UINT id, UINT flags) {
  std::lock_guard<std::mutex> lock(posix::registry().mutex);
  Item* item = posix::locateOrFail(menu, id, flags);
  if (item == nullptr) return static_cast<UINT>(-1);
  if (item->flags & MF_POPUP) {
    // The submenu's item count in the high byte, the item's flags in the low one.
    posix::Menu* sub = posix::find(item->popup);
    UINT count = sub ? static_cast<UINT>(std::min<size_t>(sub->items.size(), 0xFF)) : 0;
    return (count << 8) | (item->flags & 0xFF) | MF_POPUP;
  }
  return item->flags;
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT id, UINT check) {
  std::lock_guard<std::mutex> lock(posix::registry().mutex);
  Item* item = posix::locateOrFail(menu, id, check);
  if (item == nullptr) return static_cast<DWORD>(-1);
  DWORD previous = item->flags & MF_CHECKED;
  item->flags = (item->flags & ~static_cast<UINT>(MF_CHECKED)) | (check & MF_CHECKED);
  return previous;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT id, UINT enable) {
  // Returns the previous state (MF_ENABLED, MF_GRAYED, MF_DISABLED), or -1.
  std::lock_guard<std::mutex> lock(posix::registry().mutex);
  Item* item = posix::locateOrFail(menu, id, enable);
  if (item == nullptr) return -1;
  const UINT mask = MF_GRAYED | MF_DISABLED;
  BOOL previous = static_cast<BOOL>(item->flags & mask);
  item->flags = (item->flags & ~mask) | (enable & mask);
  return previous;
}

}  // extern "C"
