#include "ui/cell_caret.h"

#include <map>

namespace {

// The shape each window's caret was made with, kept until the caret is gone.
std::map<HWND, HBITMAP>& shapes() {
  static std::map<HWND, HBITMAP> kept;
  return kept;
}

void freeShape(HWND hwnd) {
  const auto it = shapes().find(hwnd);
  if (it == shapes().end()) return;
  DeleteObject(it->second);
  shapes().erase(it);
}

// A bitmap of the display's own format, all white: drawn with XOR it inverts
// every pixel it covers. A caret made without a bitmap may be drawn (Wine does)
// through a monochrome shape whose pixels take the background colour of the
// window's DC, and this window's own DC keeps the terminal background, black by
// default: such a caret would change nothing on the screen.
HBITMAP makeShape(HWND hwnd, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  const HDC windowDc = GetDC(hwnd);
  if (!windowDc) return nullptr;
  HBITMAP shape = CreateCompatibleBitmap(windowDc, width, height);
  const HDC memory = CreateCompatibleDC(windowDc);
  ReleaseDC(hwnd, windowDc);
  bool filled = false;
  if (shape && memory) {
    const HGDIOBJ previous = SelectObject(memory, shape);
    if (previous) {
      filled = PatBlt(memory, 0, 0, width, height, WHITENESS) != FALSE;
      SelectObject(memory, previous);
    }
  }
  if (memory) DeleteDC(memory);
  if (!filled && shape) {
    DeleteObject(shape);
    shape = nullptr;
  }
  return shape;
}

}  // namespace

void CreateCellCaret(HWND hwnd, int cellWidth, int cellHeight) {
  const HBITMAP shape = makeShape(hwnd, cellWidth, cellHeight);
  // Without a shape, the system's solid caret of the same size.
  if (!CreateCaret(hwnd, shape, cellWidth, cellHeight)) {
    if (shape) DeleteObject(shape);
    return;  // any earlier caret is still there, with its shape
  }
  // The caret made with the previous shape is gone now.
  freeShape(hwnd);
  if (shape) shapes()[hwnd] = shape;
}

void DestroyCellCaret(HWND hwnd) {
  DestroyCaret();
  freeShape(hwnd);
}

void ReleaseCellCaretShape(HWND hwnd) { freeShape(hwnd); }
