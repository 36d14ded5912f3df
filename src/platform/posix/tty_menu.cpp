// The menu bar's navigation and layout.
#include "platform/posix/tty_menu.h"

#include <algorithm>
#include <cctype>

#include "platform/posix/user_menu.h"

namespace posix {
namespace tty {
namespace {

// Popups nested deeper are shown empty; it bounds the walk over a menu.
constexpr int kMaxDepth = 8;

std::vector<MenuNode> buildTree(HMENU menu, int depth) {
  std::vector<MenuNode> nodes;
  for (const MenuItemView& item : menuItems(menu)) {
    MenuNode node;
    node.text = item.text;
    node.id = item.id;
    node.flags = item.flags;
    if ((item.flags & MF_POPUP) && item.popup && depth < kMaxDepth) node.items = buildTree(item.popup, depth + 1);
    nodes.push_back(std::move(node));
  }
  return nodes;
}

int count(const std::vector<MenuNode>& items) { return static_cast<int>(items.size()); }

// The next entry from `from` in direction `step` that is not a separator, wrapping;
// -1 when there is none.
int nextSelectable(const std::vector<MenuNode>& items, int from, int step) {
  const int n = count(items);
  if (n == 0) return -1;
  int i = from;
  for (int k = 0; k < n; ++k) {
    i = ((i + step) % n + n) % n;
    if (!items[static_cast<size_t>(i)].separator()) return i;
  }
  return -1;
}

int firstSelectable(const std::vector<MenuNode>& items) { return nextSelectable(items, -1, 1); }
int lastSelectable(const std::vector<MenuNode>& items) { return nextSelectable(items, count(items), -1); }

// The width a popup's entries need: label, and the text after a tab right-aligned.
int entryWidth(const MenuNode& node) {
  const MenuLabel label = menuLabel(node.text);
  const size_t tab = label.text.find('\t');
  if (tab == std::string::npos) return static_cast<int>(label.text.size());
  return static_cast<int>(label.text.size()) + 1;  // the tab becomes at least two blanks
}

}  // namespace

std::vector<MenuNode> menuTree(HMENU menu) { return buildTree(menu, 0); }

MenuLabel menuLabel(const std::string& text) {
  MenuLabel out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != '&' && out.mnemonic < 0) out.mnemonic = static_cast<int>(out.text.size());
    }
    out.text += text[i];
  }
  return out;
}

const MenuNode* MenuNavigator::popupAt(const std::vector<MenuNode>& bar, int level) const {
  if (bar_ < 0 || bar_ >= count(bar) || level < 0 || level >= static_cast<int>(levels_.size())) return nullptr;
  const MenuNode* node = &bar[static_cast<size_t>(bar_)];
  for (int k = 0; k < level; ++k) {
    const int i = levels_[static_cast<size_t>(k)];
    if (i < 0 || i >= count(node->items)) return nullptr;
    node = &node->items[static_cast<size_t>(i)];
  }
  return node->popup() ? node : nullptr;
}

void MenuNavigator::validate(const std::vector<MenuNode>& bar) {
  if (bar_ >= count(bar)) {
    close();
    return;
  }
  // Keep the levels that still lead through popups.
  for (size_t k = 0; k < levels_.size(); ++k) {
    const MenuNode* popup = popupAt(bar, static_cast<int>(k));
    if (!popup) {
      levels_.resize(k);
      break;
    }
    int& i = levels_[k];
    if (i >= count(popup->items)) i = -1;
  }
}

void MenuNavigator::open(const std::vector<MenuNode>& bar, int index, bool drop) {
  if (index < 0 || index >= count(bar)) {
    close();
    return;
  }
  bar_ = index;
  levels_.clear();
  const MenuNode& item = bar[static_cast<size_t>(index)];
  if (drop && item.popup()) levels_.push_back(firstSelectable(item.items));
}

void MenuNavigator::close() {
  bar_ = -1;
  levels_.clear();
}

MenuResult MenuNavigator::activate(const std::vector<MenuNode>& bar, bool fromBar) {
  MenuResult result;
  if (fromBar) {
    const MenuNode& item = bar[static_cast<size_t>(bar_)];
    if (item.popup()) {
      levels_.assign(1, firstSelectable(item.items));
    } else if (item.enabled() && !item.separator()) {
      result.command = true;
      result.id = item.id;
      close();
    }
    return result;
  }
  const MenuNode* popup = popupAt(bar, static_cast<int>(levels_.size()) - 1);
  const int i = levels_.back();
  if (!popup || i < 0 || i >= count(popup->items)) return result;
  const MenuNode& entry = popup->items[static_cast<size_t>(i)];
  if (entry.separator() || !entry.enabled()) return result;
  if (entry.popup()) {
    levels_.push_back(firstSelectable(entry.items));
    return result;
  }
  result.command = true;
  result.id = entry.id;
  close();
  return result;
}

MenuResult MenuNavigator::key(const std::vector<MenuNode>& bar, MenuKey key) {
  validate(bar);
  if (!isOpen()) return {};
  const bool onBar = levels_.empty();
  const MenuNode* popup = onBar ? nullptr : popupAt(bar, static_cast<int>(levels_.size()) - 1);
  int* selected = onBar ? nullptr : &levels_.back();
  auto moveBar = [&](int step) {
    const bool dropped = !levels_.empty();
    int next = bar_;
    const int n = count(bar);
    next = ((next + step) % n + n) % n;
    open(bar, next, dropped);
  };
  switch (key) {
    case MenuKey::kLeft:
      if (levels_.size() >= 2) {
        levels_.pop_back();
      } else {
        moveBar(-1);
      }
      return {};
    case MenuKey::kRight:
      if (popup && *selected >= 0 && popup->items[static_cast<size_t>(*selected)].popup() &&
          popup->items[static_cast<size_t>(*selected)].enabled()) {
        levels_.push_back(firstSelectable(popup->items[static_cast<size_t>(*selected)].items));
      } else {
        moveBar(1);
      }
      return {};
    case MenuKey::kDown:
    case MenuKey::kUp: {
      const bool down = key == MenuKey::kDown;
      if (onBar) {
        const MenuNode& item = bar[static_cast<size_t>(bar_)];
        if (!item.popup()) return {};
        levels_.assign(1, down ? firstSelectable(item.items) : lastSelectable(item.items));
        return {};
      }
      if (popup) *selected = nextSelectable(popup->items, *selected < 0 ? (down ? -1 : count(popup->items)) : *selected,
                                            down ? 1 : -1);
      return {};
    }
    case MenuKey::kHome:
    case MenuKey::kEnd:
      if (onBar) {
        open(bar, key == MenuKey::kHome ? 0 : count(bar) - 1, false);
      } else if (popup) {
        *selected = key == MenuKey::kHome ? firstSelectable(popup->items) : lastSelectable(popup->items);
      }
      return {};
    case MenuKey::kEnter: return activate(bar, onBar);
    case MenuKey::kEscape:
      if (onBar) {
        close();
      } else {
        levels_.pop_back();
      }
      return {};
  }
  return {};
}

MenuResult MenuNavigator::character(const std::vector<MenuNode>& bar, char c) {
  validate(bar);
  if (!isOpen()) return {};
  const char wanted = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool onBar = levels_.empty();
  const std::vector<MenuNode>* items = &bar;
  if (!onBar) {
    const MenuNode* popup = popupAt(bar, static_cast<int>(levels_.size()) - 1);
    if (!popup) return {};
    items = &popup->items;
  }
  for (int i = 0; i < count(*items); ++i) {
    const MenuNode& node = (*items)[static_cast<size_t>(i)];
    const MenuLabel label = menuLabel(node.text);
    if (node.separator() || label.mnemonic < 0) continue;
    if (std::tolower(static_cast<unsigned char>(label.text[static_cast<size_t>(label.mnemonic)])) != wanted) continue;
    if (onBar) {
      bar_ = i;
    } else {
      levels_.back() = i;
    }
    return activate(bar, onBar);
  }
  return {};
}

void MenuNavigator::pressBar(const std::vector<MenuNode>& bar, int index) {
  validate(bar);
  if (isOpen() && bar_ == index && !levels_.empty()) {
    close();
    return;
  }
  open(bar, index, true);
}

void MenuNavigator::pressEntry(const std::vector<MenuNode>& bar, int level, int index) {
  validate(bar);
  const MenuNode* popup = popupAt(bar, level);
  if (!popup || index < 0 || index >= count(popup->items)) return;
  levels_.resize(static_cast<size_t>(level) + 1);
  levels_.back() = popup->items[static_cast<size_t>(index)].separator() ? -1 : index;
}

MenuResult MenuNavigator::releaseBar(const std::vector<MenuNode>& bar, int index) {
  validate(bar);
  if (!isOpen() || bar_ != index || !levels_.empty()) return {};
  return activate(bar, true);
}

MenuResult MenuNavigator::releaseEntry(const std::vector<MenuNode>& bar, int level, int index) {
  validate(bar);
  if (levels_.empty() || level != static_cast<int>(levels_.size()) - 1 || levels_.back() != index || index < 0)
    return {};
  return activate(bar, false);
}

MenuLayout layoutMenu(const std::vector<MenuNode>& bar, const MenuNavigator& nav, int width, int height) {
  MenuLayout layout;
  int x = 0;
  for (const MenuNode& item : bar) {
    layout.barStart.push_back(x);
    x += static_cast<int>(menuLabel(item.text).text.size()) + 2;  // a blank on either side
    layout.barEnd.push_back(x);
  }
  if (!nav.isOpen()) return layout;
  for (int level = 0; level < static_cast<int>(nav.levels().size()); ++level) {
    const MenuNode* popup = nav.popupAt(bar, level);
    if (!popup) break;
    int textWidth = 0;
    for (const MenuNode& entry : popup->items) textWidth = std::max(textWidth, entryWidth(entry));
    MenuBox box;
    box.width = textWidth + 4;  // frame, check column, text, blank, frame
    box.height = static_cast<int>(popup->items.size()) + 2;
    if (level == 0) {
      box.x = layout.barStart[static_cast<size_t>(nav.barItem())];
      box.y = kMenuBarRow + 1;
    } else {
      const MenuBox& parent = layout.boxes.back();
      box.x = parent.x + parent.width - 1;
      box.y = parent.y + 1 + std::max(0, nav.levels()[static_cast<size_t>(level) - 1]);
    }
    box.x = std::max(0, std::min(box.x, width - box.width));
    box.y = std::max(0, std::min(box.y, height - box.height));
    layout.boxes.push_back(box);
  }
  return layout;
}

}  // namespace tty
}  // namespace posix
