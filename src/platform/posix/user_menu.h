// Menus of the POSIX platform layer, for the pieces that show or attach them
// (window code, displays). Program code uses the Win32 functions instead.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/resource_script.h"
#include "platform/posix/win32_posix.h"

namespace posix {

struct MenuItemView {
  UINT id;            // the command id; 0 for separators and for popups of a MENU resource
  std::string text;   // with the '&' mnemonic markers
  UINT flags;         // MF_POPUP, MF_SEPARATOR, MF_CHECKED, MF_GRAYED, MF_DISABLED, ...
  HMENU popup;        // the submenu of a popup item, else nullptr
};

// The entries of a menu, in order; empty for an invalid or destroyed handle.
PLATFORM_API std::vector<MenuItemView> menuItems(HMENU menu);

// True while `menu` is a live menu handle.
PLATFORM_API bool isMenuHandle(HMENU menu);

// Builds a menu (and its popups) from template items, as LoadMenuA does for a
// MENU resource. The caller owns it: DestroyMenu releases it.
PLATFORM_API HMENU createMenuFromTemplate(const std::vector<MenuItemTemplate>& items);

}  // namespace posix
