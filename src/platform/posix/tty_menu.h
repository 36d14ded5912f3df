// The menu bar on a terminal: the menu as a tree, the keyboard and mouse
// navigation through it, and where its pieces lie on the screen. No terminal
// calls; the display draws what this describes.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/win32_posix.h"

namespace posix {
namespace tty {

struct MenuNode {
  std::string text;  // with its '&' mnemonic marker
  UINT id = 0;
  UINT flags = 0;
  std::vector<MenuNode> items;  // the entries of a popup

  bool popup() const { return (flags & MF_POPUP) != 0; }
  bool separator() const { return (flags & MF_SEPARATOR) != 0; }
  bool enabled() const { return (flags & (MF_GRAYED | MF_DISABLED)) == 0; }
  bool checked() const { return (flags & MF_CHECKED) != 0; }
};

// The entries of a menu and of its popups, as they stand now (check marks included).
std::vector<MenuNode> menuTree(HMENU menu);

// A menu text as shown: "&Exit" is "Exit" with the mnemonic at offset 0
// (-1 without one); "&&" is a literal '&'.
struct MenuLabel {
  std::string text;
  int mnemonic = -1;
};
MenuLabel menuLabel(const std::string& text);

enum class MenuKey { kLeft, kRight, kUp, kDown, kHome, kEnd, kEnter, kEscape };

// What a key or a click did: a command chosen (WM_COMMAND with `id`), or not.
struct MenuResult {
  bool command = false;
  UINT id = 0;
};

// Where the menu's pieces lie, in screen cells.
struct MenuBox {
  int x = 0, y = 0, width = 0, height = 0;  // frame included
};
struct MenuLayout {
  std::vector<int> barStart;  // first cell of each bar item
  std::vector<int> barEnd;    // one past its last cell
  std::vector<MenuBox> boxes;  // one per open popup level
};

// The state of the menu: closed, an item of the bar highlighted, or popups open
// with an entry of each highlighted. Every call takes the menu as it stands,
// and indices that no longer fit it are dropped.
class MenuNavigator {
 public:
  bool isOpen() const { return bar_ >= 0; }
  int barItem() const { return bar_; }
  // The highlighted entry of each open popup, outermost first (-1: none).
  const std::vector<int>& levels() const { return levels_; }

  // Highlights bar item `index`; with `drop`, its popup opens with its first entry highlighted.
  void open(const std::vector<MenuNode>& bar, int index, bool drop);
  void close();
  MenuResult key(const std::vector<MenuNode>& bar, MenuKey key);
  // A typed character: the entry whose mnemonic it is, in the innermost open
  // level (the bar when no popup is open), acts as Enter on it would.
  MenuResult character(const std::vector<MenuNode>& bar, char c);

  // The mouse. A press on a bar item opens its popup (or closes it when it is
  // the open one); a press on an entry highlights it; the release on the same
  // entry chooses it. A press anywhere else closes the menu.
  void pressBar(const std::vector<MenuNode>& bar, int index);
  void pressEntry(const std::vector<MenuNode>& bar, int level, int index);
  MenuResult releaseBar(const std::vector<MenuNode>& bar, int index);
  MenuResult releaseEntry(const std::vector<MenuNode>& bar, int level, int index);

  // The popup shown at `level` (0: the popup of the bar item), or nullptr.
  const MenuNode* popupAt(const std::vector<MenuNode>& bar, int level) const;

 private:
  void validate(const std::vector<MenuNode>& bar);
  MenuResult activate(const std::vector<MenuNode>& bar, bool fromBar);
  int bar_ = -1;
  std::vector<int> levels_;
};

// Lays the menu bar out from column 0 and the open popups below it, each kept
// inside a screen of `width` x `height` cells.
MenuLayout layoutMenu(const std::vector<MenuNode>& bar, const MenuNavigator& nav, int width, int height);

// The row of the screen that the menu bar is on.
constexpr int kMenuBarRow = 1;

}  // namespace tty
}  // namespace posix
