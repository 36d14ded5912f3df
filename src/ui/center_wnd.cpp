#include "ui/center_wnd.h"

extern "C" void CenterWnd(HWND hwnd) {
  HWND parent = GetParent(hwnd);
  if (!parent) parent = GetDesktopWindow();
  RECT outer, own;
  if (!GetWindowRect(parent, &outer) || !GetWindowRect(hwnd, &own)) return;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  const int x = outer.left + (outer.right - outer.left) / 2 - width / 2;
  const int y = outer.top + (outer.bottom - outer.top) / 2 - height / 2;
  MoveWindow(hwnd, x, y, width, height, TRUE);
}
