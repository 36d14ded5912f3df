// Menu trees for the terminal display's tests, written as the resource script does.
#pragma once

#include <utility>
#include <vector>

#include "platform/posix/tty_menu.h"

inline posix::tty::MenuNode entry(const char* text, UINT id, UINT flags = 0) {
  posix::tty::MenuNode n;
  n.text = text;
  n.id = id;
  n.flags = flags;
  return n;
}

inline posix::tty::MenuNode popup(const char* text, std::vector<posix::tty::MenuNode> items) {
  posix::tty::MenuNode n = entry(text, 0, MF_POPUP);
  n.items = std::move(items);
  return n;
}
