// Editing the NVT screen: the erase ranges, inserting and deleting lines and
// characters, saving and restoring the cursor, and the scrolling region.
//
// All of these address the live screen, also while the user looks at the
// history.
#include "terminal/comm_tcp.h"
#include "vt100/nvt_cells.h"

namespace {

// Erases cells first .. last of a screen row and notes them for the display.
void eraseOnScreen(CommTcp& t, const nvt::Geometry& g, int screenRow, int first, int last) {
  if (first > last) return;
  nvt::eraseCells(t, g, g.liveBase + screenRow, first, last);
  nvt::noteErasedCells(t, g, screenRow, first, last);
}

void eraseScreenRows(CommTcp& t, const nvt::Geometry& g, int firstRow, int lastRow) {
  if (firstRow < 0) firstRow = 0;
  if (lastRow > g.rows - 1) lastRow = g.rows - 1;
  for (int r = firstRow; r <= lastRow; ++r) eraseOnScreen(t, g, r, 0, g.columns - 1);
}

// A count parameter: 0 (and anything below, as from an overflowed number)
// means 1.
int countOrOne(int count) { return count < 1 ? 1 : count; }

// A pixel edge of the region, kept within the range of the rectangle.
LONG rowEdge(int cells, int cellSize) { return static_cast<LONG>(nvt::pixel(cells, cellSize)); }

}  // namespace

void CommTcp::NvtErase(int range) {
  if (!nvt::hasBuffers(*this)) return;
  const nvt::Geometry g = nvt::cellLayout(*this);
  const int x = nvt::clampInt(cursorColumn, 0, kNvtCursorColumnLimit);
  const int y = nvt::cursorRowOf(*this, g);
  const int lastColumn = g.columns - 1;

  switch (range) {
    case kEraseToEndOfLine:
      eraseOnScreen(*this, g, y, x, lastColumn);
      break;
    case kEraseToStartOfLine:
      eraseOnScreen(*this, g, y, 0, x < lastColumn ? x : lastColumn);
      break;
    case kEraseLine:
      eraseOnScreen(*this, g, y, 0, lastColumn);
      break;
    case kEraseBelow:
      eraseOnScreen(*this, g, y, x, lastColumn);
      eraseScreenRows(*this, g, y + 1, g.rows - 1);
      break;
    case kEraseAbove:
      eraseScreenRows(*this, g, 0, y - 1);
      break;
    case kEraseScreen:
      eraseScreenRows(*this, g, 0, g.rows - 1);
      break;
    case kEraseRowsFromCursor:
      eraseScreenRows(*this, g, y, g.rows - 1);
      InvalidateRect(windowHandle, nullptr, TRUE);
      break;
    default:
      break;
  }
}

void CommTcp::NvtInsertLines(int count) {
  if (!nvt::hasBuffers(*this)) return;
  const nvt::Geometry g = nvt::geometry(*this);
  const int y = nvt::cursorRowOf(*this, g);
  // More lines than the screen holds open the same blank rows as a screenful.
  const int n = count < 1 ? 1 : (count > g.rows ? g.rows : count);

  // Rows y .. bottom-n move down by n; rows pushed past the bottom margin are lost.
  nvt::moveRows(*this, g, g.liveBase + y, g.liveBase + y + n, g.bottom - n - y + 1);
  // The opened lines are blank over their whole width (the cursor row
  // included, whatever the cursor column); they stop at the bottom margin.
  int lastBlank = y + n - 1;
  if (lastBlank > g.bottom) lastBlank = g.bottom > y ? g.bottom : y;
  nvt::eraseRows(*this, g, g.liveBase + y, g.liveBase + lastBlank);
  repaintPending = 1;
}

void CommTcp::NvtDeleteLines(int count) {
  if (!nvt::hasBuffers(*this)) return;
  const nvt::Geometry g = nvt::geometry(*this);
  const int y = nvt::cursorRowOf(*this, g);
  const int available = g.bottom - y + 1;  // rows from the cursor to the bottom margin
  if (available < 1) return;
  int n = countOrOne(count);
  if (n > available) n = available;

  nvt::moveRows(*this, g, g.liveBase + y + n, g.liveBase + y, available - n);
  nvt::eraseRows(*this, g, g.liveBase + g.bottom - n + 1, g.liveBase + g.bottom);
  repaintPending = 1;
}

void CommTcp::NvtDeleteChars(int count) {
  if (!nvt::hasBuffers(*this)) return;
  const nvt::Geometry g = nvt::geometry(*this);
  // The right limit column; the spare column after it is never touched.
  const int right = nvt::clampInt(cellWidth > 0 ? scrollRegion.right / cellWidth : g.columns - 1, 0, g.columns - 1);
  const int x = nvt::clampInt(cursorColumn, 0, kNvtCursorColumnLimit);
  if (x >= right) return;
  int n = countOrOne(count);
  if (n > right - x) n = right - x;

  const int row = g.liveBase + nvt::cursorRowOf(*this, g);
  for (int c = x; c + n < right; ++c) {
    const int to = nvt::cellIndex(g, row, c);
    const int from = nvt::cellIndex(g, row, c + n);
    nvtChars[to] = nvtChars[from];
    nvtAttributes[to] = nvtAttributes[from] | kAttrChanged;
  }
  nvt::eraseCells(*this, g, row, right - n, right - 1);
  repaintPending = 1;
}

void CommTcp::NvtSaveCursor() {
  savedCursorColumn = cursorColumn;
  savedCursorRow = cursorRow;
  savedAttribute = nvtCurrentAttribute;
}

void CommTcp::NvtRestoreCursor() {
  cursorColumn = savedCursorColumn;
  cursorRow = savedCursorRow;
  nvtCurrentAttribute = savedAttribute;
}

void CommTcp::NvtResetRegion() {
  // The whole screen, every row the host was told of (NAWS).
  scrollRegion.left = 0;
  scrollRegion.top = 0;
  scrollRegion.right = rowEdge(80, cellWidth);
  scrollRegion.bottom = rowEdge(nvt::clampInt(nvtRows, 1, kNvtMaxRows) - 1, cellHeight);
  cursorRow = 0;
  cursorColumn = 0;
}

void CommTcp::NvtSetRegion(int top, int bottom) {
  const int rows = nvt::clampInt(nvtRows, 1, kNvtMaxRows);
  if (top == 0) top = 1;
  if (bottom == 0) bottom = rows;  // the last row of the screen
  // As on a VT100, a region that does not hold at least two lines of the
  // screen is ignored altogether: the old region and the cursor stay.
  if (top < 1 || bottom > rows || top >= bottom) return;
  scrollRegion.left = 0;
  scrollRegion.top = rowEdge(top - 1, cellHeight);
  scrollRegion.right = rowEdge(80, cellWidth);
  scrollRegion.bottom = rowEdge(bottom - 1, cellHeight);
  cursorRow = 0;
  cursorColumn = 0;
}
