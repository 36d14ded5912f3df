// The resource script (quillon.rc and the headers it includes) read at run time:
// a preprocessor for the subset resource scripts use, and a parser for the
// MENU, MENUEX, DIALOG, DIALOGEX and ICON resources. Other resources are skipped.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/posix/win32_posix.h"

namespace posix {

// True when `name`, as Win32 resource functions take it, denotes an integer id:
// MAKEINTRESOURCE(id) or a string "#id". The id is stored in *id.
PLATFORM_API bool resourceOrdinal(LPCSTR name, WORD* id);

// A resource's name: an integer id or a string, compared without regard to case.
struct PLATFORM_API ResourceId {
  bool isId = true;
  WORD id = 0;
  std::string name;

  // True when `name` (MAKEINTRESOURCE(id), "#id" or a string) names this resource.
  bool matches(LPCSTR name) const;
  bool operator==(const ResourceId& other) const;
  std::string describe() const;  // "101" or "NAME"
};

struct MenuItemTemplate {
  std::string text;
  UINT id = 0;     // 0 for separators and for popups of a MENU resource
  UINT flags = 0;  // MF_POPUP, MF_SEPARATOR, MF_CHECKED, MF_GRAYED, MF_DISABLED, MF_MENUBREAK, ...
  std::vector<MenuItemTemplate> items;  // a popup's entries
};

struct MenuResource {
  ResourceId name;
  bool extended = false;  // MENUEX
  std::vector<MenuItemTemplate> items;
};

// One control of a dialog template. Coordinates are dialog units.
struct DialogControl {
  std::string className;  // "BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX" or a custom class
  std::string text;       // empty when textIsId
  bool textIsId = false;  // e.g. the icon resource of an ICON control
  WORD textId = 0;
  int id = 0;  // IDC_STATIC is -1
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  DWORD style = 0;  // including the defaults the statement implies
  DWORD exStyle = 0;
  DWORD helpId = 0;
};

struct DialogResource {
  ResourceId name;
  bool extended = false;  // DIALOGEX
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  DWORD helpId = 0;
  std::string caption;
  bool hasFont = false;
  int fontSize = 0;
  std::string fontFace;
  int fontWeight = 0;
  bool fontItalic = false;
  int fontCharset = DEFAULT_CHARSET;
  bool hasMenu = false;
  ResourceId menu;
  bool hasClass = false;
  ResourceId windowClass;
  std::vector<DialogControl> controls;
};

struct IconResource {
  ResourceId name;
  std::string file;
};

struct PLATFORM_API ResourceError {
  std::string file;
  int line = 0;
  std::string message;
  std::string describe() const;  // "file:line: message"
};

struct PLATFORM_API ResourceScript {
  std::vector<MenuResource> menus;
  std::vector<DialogResource> dialogs;
  std::vector<IconResource> icons;
  // Problems found while reading the script. A resource with an error is left out;
  // the others are still available.
  std::vector<ResourceError> errors;

  // Lookups by a Win32 resource name (see ResourceId::matches); nullptr when absent.
  const MenuResource* findMenu(LPCSTR name) const;
  const DialogResource* findDialog(LPCSTR name) const;
  const IconResource* findIcon(LPCSTR name) const;
};

// Reads `mainFile` from `files` (file name -> text); `#include "x"` is resolved
// against the same map by file name.
PLATFORM_API ResourceScript parseResourceScript(const std::map<std::string, std::string>& files,
                                                const std::string& mainFile);

// The program's own resources, read once from the script compiled into the library.
PLATFORM_API const ResourceScript& resources();

}  // namespace posix
