// The caret and the standard scroll bars of a window. As in Win32 there is one
// caret for the thread (the layer runs on one): it belongs to one window at a
// time, a new caret replaces it whichever window had it, it starts hidden, and
// it shows only while the count of HideCaret calls not yet undone by ShowCaret
// is zero (a ShowCaret without a hide to undo changes nothing).
#include <algorithm>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"

namespace posix {
namespace {

struct Caret {
  HWND owner = nullptr;
  HBITMAP shape = nullptr;  // null: solid (or gray) of width x height
  int width = 0;
  int height = 0;
  POINT pos{0, 0};
  int hideCount = 0;
};

Caret g_caret;

void caretChanged() {
  if (g_caret.owner) display().windowChanged(g_caret.owner);
}

ScrollBar* scrollBar(HWND hwnd, int bar) {
  Window* w = findWindow(hwnd);
  if (!w) return nullptr;
  if (bar == SB_VERT) return &w->vscroll;
  if (bar == SB_HORZ) return &w->hscroll;
  return nullptr;
}

}  // namespace

CaretState caretState() {
  CaretState s;
  s.owner = findWindow(g_caret.owner) ? g_caret.owner : nullptr;
  s.shape = s.owner ? g_caret.shape : nullptr;
  s.width = g_caret.width;
  s.height = g_caret.height;
  s.pos = g_caret.pos;
  s.visible = s.owner != nullptr && g_caret.hideCount == 0;
  return s;
}

void dropCaretOf(HWND hwnd) {
  if (g_caret.owner == hwnd) g_caret = Caret{};
}

void resetCaret() { g_caret = Caret{}; }

}  // namespace posix

using namespace posix;

extern "C" {

BOOL WINAPI CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height) {
  if (!findWindow(hwnd)) return FALSE;
  // A bitmap gives the caret its shape and its size; (HBITMAP)1 asks for a gray one.
  const bool shaped = bitmap && bitmap != reinterpret_cast<HBITMAP>(1);
  if (shaped && !bitmapSize(bitmap, &width, &height)) return FALSE;
  caretChanged();
  g_caret = Caret{};
  g_caret.owner = hwnd;
  g_caret.shape = shaped ? bitmap : nullptr;
  // A size of 0 is the width (height) of a window border: one pixel.
  g_caret.width = width > 0 ? width : 1;
  g_caret.height = height > 0 ? height : 1;
  g_caret.hideCount = 1;  // a new caret starts hidden
  caretChanged();
  return TRUE;
}

BOOL WINAPI DestroyCaret(void) {
  if (!g_caret.owner) return FALSE;
  caretChanged();
  g_caret = Caret{};
  return TRUE;
}

BOOL WINAPI ShowCaret(HWND hwnd) {
  if (!g_caret.owner || (hwnd && hwnd != g_caret.owner) || g_caret.hideCount == 0) return FALSE;
  --g_caret.hideCount;
  caretChanged();
  return TRUE;
}

BOOL WINAPI HideCaret(HWND hwnd) {
  if (!g_caret.owner || (hwnd && hwnd != g_caret.owner)) return FALSE;
  ++g_caret.hideCount;
  caretChanged();
  return TRUE;
}

BOOL WINAPI SetCaretPos(int x, int y) {
  if (!g_caret.owner) return FALSE;
  g_caret.pos = POINT{x, y};
  caretChanged();
  return TRUE;
}

BOOL WINAPI GetCaretPos(LPPOINT point) {
  if (!point) return FALSE;
  *point = g_caret.pos;
  return TRUE;
}

int WINAPI SetScrollPos(HWND hwnd, int bar, int pos, BOOL) {
  ScrollBar* sb = scrollBar(hwnd, bar);
  if (!sb) return 0;
  const int previous = sb->pos;
  sb->pos = std::clamp(pos, std::min(sb->minPos, sb->maxPos), std::max(sb->minPos, sb->maxPos));
  display().windowChanged(hwnd);
  return previous;
}

int WINAPI GetScrollPos(HWND hwnd, int bar) {
  ScrollBar* sb = scrollBar(hwnd, bar);
  return sb ? sb->pos : 0;
}

BOOL WINAPI SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL) {
  ScrollBar* sb = scrollBar(hwnd, bar);
  if (!sb) return FALSE;
  sb->minPos = minPos;
  sb->maxPos = maxPos;
  sb->pos = std::clamp(sb->pos, std::min(minPos, maxPos), std::max(minPos, maxPos));
  display().windowChanged(hwnd);
  return TRUE;
}

BOOL WINAPI GetScrollRange(HWND hwnd, int bar, LPINT minPos, LPINT maxPos) {
  ScrollBar* sb = scrollBar(hwnd, bar);
  if (!sb || !minPos || !maxPos) return FALSE;
  *minPos = sb->minPos;
  *maxPos = sb->maxPos;
  return TRUE;
}

}  // extern "C"
