#include "terminal/nesting.h"

#include <map>

namespace {

std::map<HWND, WindowNesting>& windows() {
  static std::map<HWND, WindowNesting> all;
  return all;
}

}  // namespace

WindowNesting& NestingOf(HWND hwnd) { return windows()[hwnd]; }

void ReleaseNesting(HWND hwnd) {
  const auto it = windows().find(hwnd);
  if (it == windows().end()) return;
  const WindowNesting& n = it->second;
  if (n.handlers <= 0 && n.socketEvents <= 0 && !n.closePending && !n.readAgain) windows().erase(it);
}

bool ClosePending(HWND hwnd) {
  const auto it = windows().find(hwnd);
  return it != windows().end() && it->second.closePending;
}
