// Placing one character on the NVT screen: replace and insert mode, the spare
// column, carriage return and line feed. The cells written are noted for the
// display, which shows them once the batch is done.
#include <cstring>

#include "terminal/comm_tcp.h"
#include "vt100/nvt_cells.h"
#include "vt100/nvt_screen.h"

int hzState = 0;

namespace {

// Only these keep the line-drawing bit: the letters the line-drawing font
// replaces with its graphics.
bool isLineDrawingGlyph(unsigned char ch) { return ch == 0x60 || (ch >= 0x61 && ch <= 0x7A); }

// Any insertion brings the view back from the history to the live screen.
void returnToLiveScreen(CommTcp& t, const nvt::Geometry& g) {
  if (t.nvtViewTop == g.liveBase) return;
  t.nvtViewTop = g.liveBase;
  t.damage.viewReturned = true;
}

// With auto-wrap on, a character that follows one written in the last column
// (or finds the cursor past it) first goes to column 0 of the next row,
// scrolling the region at its bottom margin. Returns whether it wrapped.
bool wrapIfDue(CommTcp& t, const nvt::Geometry& g) {
  if (!nvt::autoWraps(t) || (t.wrapPending == 0 && t.cursorColumn <= nvt::lastColumn(t, g))) return false;
  t.cursorColumn = 0;
  t.NvtIndex();  // ends the pending wrap
  return true;
}

// After a character in `column`: the cursor moves on, or, in the last column
// with auto-wrap on, stays there with a wrap pending.
void advanceCursor(CommTcp& t, const nvt::Geometry& g, int column) {
  if (nvt::autoWraps(t) && column >= nvt::lastColumn(t, g)) {
    t.cursorColumn = nvt::lastColumn(t, g);
    t.wrapPending = 1;
  } else {
    t.cursorColumn = column < kNvtCursorColumnLimit ? column + 1 : kNvtCursorColumnLimit;
  }
}

// Places one printable byte at the cursor. A wrap that scrolls moves the
// ring, so the caller's geometry is brought up to date for the bytes after.
void placeChar(CommTcp& t, nvt::Geometry& g, unsigned char ch) {
  if (wrapIfDue(t, g)) g = nvt::cellLayout(t);
  t.cursorRow = nvt::cursorRowOf(t, g);
  t.cursorColumn = nvt::clampInt(t.cursorColumn, 0, kNvtCursorColumnLimit);
  const int column = t.cursorColumn;
  const int bufferRow = g.liveBase + t.cursorRow;

  // A character at or past the end of the row (the spare column is the last
  // cell) is discarded; only the cursor moves on.
  if (column < g.columns) {
    const int spare = g.columns - 1;
    const int rowStart = nvt::rowStart(g, bufferRow);
    if (t.replaceMode == 0) {
      if (column < spare) {
        const int first = rowStart + column;
        const int count = spare - column;  // columns column .. spare-1 move right by one
        std::memmove(t.nvtChars + first + 1, t.nvtChars + first, count);
        std::memmove(t.nvtAttributes + first + 1, t.nvtAttributes + first, count * sizeof(uint32_t));
        for (int i = 1; i <= count; ++i) t.nvtAttributes[first + i] |= kAttrChanged;
      }
      // The rest of the line moved: leave it to the repaint after the parse.
      t.repaintPending = 1;
    }

    uint32_t attribute = t.nvtCurrentAttribute | kAttrChanged;
    if (!isLineDrawingGlyph(ch)) attribute &= ~kAttrLineDrawing;
    const int cell = rowStart + column;
    t.nvtChars[cell] = static_cast<char>(ch);
    t.nvtAttributes[cell] = attribute;
    nvt::noteCells(t, t.cursorRow, column, column);
    t.damage.charPlaced = true;
  }

  advanceCursor(t, g, column);
}

}  // namespace

void nvt::insertChar(CommTcp& t, unsigned char ch) {
  if (!hasBuffers(t)) return;
  Geometry g = cellLayout(t);
  returnToLiveScreen(t, g);
  switch (ch) {
    case 0x0A:
      t.NvtLineFeed();
      return;
    case 0x0D:
      t.cursorColumn = 0;
      t.wrapPending = 0;
      return;
    case 0x00:
      return;
    default:
      break;
  }
  placeChar(t, g, ch);
}

void nvt::insertPrintable(CommTcp& t, const unsigned char* chars, int count, unsigned char orMask) {
  if (count <= 0 || !hasBuffers(t)) return;
  // The same as inserting the bytes one by one: returning the view to the
  // live screen is done once, as no byte here moves it.
  Geometry g = cellLayout(t);
  returnToLiveScreen(t, g);
  if (t.replaceMode != 0) {
    // Replacing: the bytes go into consecutive cells of the cursor row. With auto-wrap on, those after the last column go on
    // in the next rows; otherwise those at or past the end of the row are
    // discarded and only move the cursor.
    const uint32_t attribute = t.nvtCurrentAttribute | kAttrChanged;
    const uint32_t plain = attribute & ~kAttrLineDrawing;
    const bool wraps = autoWraps(t);
    int i = 0;
    while (i < count) {
      if (wrapIfDue(t, g)) g = cellLayout(t);
      t.cursorRow = nvt::cursorRowOf(t, g);
      int column = nvt::clampInt(t.cursorColumn, 0, kNvtCursorColumnLimit);
      const int start = nvt::rowStart(g, g.liveBase + t.cursorRow);
      const int end = wraps ? lastColumn(t, g) + 1 : g.columns;
      const int firstPlaced = column;
      for (; i < count && column < end; ++i, ++column) {
        const unsigned char ch = static_cast<unsigned char>(chars[i] | orMask);
        t.nvtChars[start + column] = static_cast<char>(ch);
        t.nvtAttributes[start + column] = isLineDrawingGlyph(ch) ? attribute : plain;
      }
      if (column > firstPlaced) {
        noteCells(t, t.cursorRow, firstPlaced, column - 1);
        t.damage.charPlaced = true;
      }
      if (wraps) {
        // The last character placed decides: the cursor follows it, or waits
        // in the last column with a wrap pending.
        advanceCursor(t, g, column - 1);
        continue;
      }
      const long long past = static_cast<long long>(column) + (count - i);
      t.cursorColumn = past < kNvtCursorColumnLimit ? static_cast<int>(past) : kNvtCursorColumnLimit;
      return;
    }
    return;
  }
  for (int i = 0; i < count; ++i) placeChar(t, g, static_cast<unsigned char>(chars[i] | orMask));
}

extern "C" void ncTcpInsertNVTChar(HWND hwnd, unsigned char ch) {
  CommTcp* t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(hwnd, 0));
  if (!t) return;
  nvt::insertChar(*t, ch);
  t->Present();
}
