// Cell addressing shared by the NVT screen operations. Every index into
// nvtChars / nvtAttributes is formed here from bounded geometry, so whatever
// the host, a caller or a stale layout leaves in the cursor, the row and
// column counts or the scrolling region, no cell outside the first
// kNvtBufferCells is ever touched.
//
// The buffer rows (history, then live screen) are kept as a ring: logical row
// 0, the oldest history row, is stored at row nvtRingTop, so a line feed at the
// bottom of the screen moves the ring's start instead of every row. Each row's
// cells stay contiguous; a range of rows need not be.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "net/telnet.h"
#include "terminal/comm_tcp.h"
#include "vt100/nvt_screen.h"

// The cursor column may run past the spare column (characters there are
// discarded); it stops counting here. The 3270 keyboard echo also advances it
// along fields longer than a row, so the bound is a whole 3270 screen.
constexpr int kNvtCursorColumnLimit = 2048;

namespace nvt {

inline int clampInt(long long value, int low, int high) {
  if (value < low) return low;
  if (value > high) return high;
  return static_cast<int>(value);
}

struct Geometry {
  int rows;      // live screen rows, 1 .. kNvtMaxRows
  int columns;   // cells per buffer row, 1 .. kNvtColumns
  int liveBase;  // buffer row of screen row 0 (the history is the rows above)
  int top;       // top margin row, 0 .. rows - 1
  int bottom;    // bottom margin row, top .. rows - 1
  int ringTop;   // stored row of buffer row 0, 0 .. 5 * rows - 1
};

// A margin row from its pixel edge; no cell size means row 0.
inline int marginRow(long pixels, int cellSize) { return cellSize > 0 ? static_cast<int>(pixels / cellSize) : 0; }

// The cell layout alone, for operations that do not scroll: the margins are
// left at the whole screen (top 0, bottom rows - 1), which spares the two
// divisions that read them from the scrolling region.
inline Geometry cellLayout(const CommTcp& t) {
  Geometry g;
  g.rows = clampInt(t.nvtRows, 1, kNvtMaxRows);
  g.columns = clampInt(t.nvtColumns, 1, kNvtColumns);
  g.liveBase = 4 * g.rows;
  g.top = 0;
  g.bottom = g.rows - 1;
  g.ringTop = clampInt(t.nvtRingTop, 0, 5 * g.rows - 1);
  return g;
}

// The cell layout with the margins of the scrolling region.
inline Geometry geometry(const CommTcp& t) {
  Geometry g = cellLayout(t);
  g.top = clampInt(marginRow(t.scrollRegion.top, t.cellHeight), 0, g.rows - 1);
  g.bottom = clampInt(marginRow(t.scrollRegion.bottom, t.cellHeight), g.top, g.rows - 1);
  return g;
}

// Buffer rows in use: history and live screen.
inline int bufferRows(const Geometry& g) { return 5 * g.rows; }

// The cursor row, bounded to the live screen.
inline int cursorRowOf(const CommTcp& t, const Geometry& g) { return clampInt(t.cursorRow, 0, g.rows - 1); }

// Index of the first cell of a buffer row (0 .. bufferRows - 1; any other
// row is brought into that range, so the index is always inside the buffers).
inline int rowStart(const Geometry& g, int bufferRow) {
  const int n = bufferRows(g);
  if (bufferRow < 0 || bufferRow >= n) bufferRow = ((bufferRow % n) + n) % n;
  int stored = bufferRow + g.ringTop;
  if (stored >= n) stored -= n;
  return stored * g.columns;
}

inline int cellIndex(const Geometry& g, int bufferRow, int column) { return rowStart(g, bufferRow) + column; }

// The pixel position of a cell edge, kept within int whatever the cell size.
inline int pixel(int cells, int cellSize) { return clampInt(static_cast<long long>(cells) * cellSize, INT32_MIN, INT32_MAX); }

// With auto-wrap on, the last column of the VT100 screen: a character written
// there leaves the cursor on it with a wrap pending. (The 3270 keyboard's echo
// runs along fields and never wraps.)
constexpr int kNvtLastColumn = 79;
inline bool autoWraps(const CommTcp& t) { return t.autoWrap != 0 && t.terminalMode != kMode3270; }

// The rightmost column the cursor may be moved to: the last column with
// auto-wrap on, otherwise the spare column.
inline int lastColumn(const CommTcp& t, const Geometry& g) {
  return autoWraps(t) ? std::min(kNvtLastColumn, g.columns - 1) : g.columns - 1;
}

// True when the terminal has its buffers.
inline bool hasBuffers(const CommTcp& t) { return t.nvtChars != nullptr && t.nvtAttributes != nullptr; }

// Makes cells first .. last (inclusive) of a buffer row erased cells. The
// range is clipped to the row.
inline void eraseCells(CommTcp& t, const Geometry& g, int bufferRow, int first, int last) {
  if (bufferRow < 0 || bufferRow >= bufferRows(g)) return;
  if (first < 0) first = 0;
  if (last > g.columns - 1) last = g.columns - 1;
  if (first > last) return;
  const int start = rowStart(g, bufferRow);
  std::memset(t.nvtChars + start + first, ' ', static_cast<size_t>(last - first + 1));
  std::fill(t.nvtAttributes + start + first, t.nvtAttributes + start + last + 1, kErasedAttribute);
}

inline void eraseRows(CommTcp& t, const Geometry& g, int firstBufferRow, int lastBufferRow) {
  for (int r = firstBufferRow; r <= lastBufferRow; ++r) eraseCells(t, g, r, 0, g.columns - 1);
}

// Moves `count` whole buffer rows starting at `from` so that they start at
// `to`; the moved attribute words gain the changed bit. Ranges reaching
// outside the buffer rows in use are left alone.
inline void moveRows(CommTcp& t, const Geometry& g, int from, int to, int count) {
  if (count <= 0 || from < 0 || to < 0 || from + count > bufferRows(g) || to + count > bufferRows(g)) return;
  if (from == to) return;
  const size_t cells = static_cast<size_t>(g.columns);
  // Row by row, in the order that never overwrites a row still to be moved.
  const bool down = to > from;
  for (int k = 0; k < count; ++k) {
    const int i = down ? count - 1 - k : k;
    const int source = rowStart(g, from + i);
    const int dest = rowStart(g, to + i);
    std::memcpy(t.nvtChars + dest, t.nvtChars + source, cells);
    for (size_t c = 0; c < cells; ++c) t.nvtAttributes[dest + c] = t.nvtAttributes[source + c] | kAttrChanged;
  }
}

// Every buffer row moves up one, the first row coming round to the last:
// only the ring's start moves. Which rows look changed is left to the caller.
inline void rotateUp(CommTcp& t, const Geometry& g) {
  const int n = bufferRows(g);
  t.nvtRingTop = g.ringTop + 1 < n ? g.ringTop + 1 : 0;
}

// Stores the rows in buffer order again (ring start 0), for a change of the
// row or column count, which gives the cells a new layout.
inline void straightenRing(CommTcp& t) {
  if (!hasBuffers(t)) return;
  const Geometry g = cellLayout(t);
  if (g.ringTop != 0) {
    const int split = g.ringTop * g.columns;
    const int end = bufferRows(g) * g.columns;
    std::rotate(t.nvtChars, t.nvtChars + split, t.nvtChars + end);
    std::rotate(t.nvtAttributes, t.nvtAttributes + split, t.nvtAttributes + end);
  }
  t.nvtRingTop = 0;
}

// Notes cells of a screen row for the display to draw, unless the whole view
// is to be drawn again at the end of the batch (repaintPending).
inline void noteCells(CommTcp& t, int screenRow, int first, int last) {
  if (t.repaintPending == 0) t.damage.Cells(screenRow, first, last);
}

// Notes cells first .. last of a screen row as erased, for the display.
inline void noteErasedCells(CommTcp& t, const Geometry& g, int screenRow, int first, int last) {
  if (first < 0) first = 0;
  if (last > g.columns - 1) last = g.columns - 1;
  if (first > last || screenRow < 0 || screenRow >= g.rows) return;
  noteCells(t, screenRow, first, last);
}

// The rows in view (and the one below) as drawing the whole view leaves them:
// tilde-brace text shifted into the upper half, the view row within the
// buffers. quillon-script, which draws nothing, settles the view where the
// window would draw it whole, so both read the same cells.
QUILLON_API void settleView(CommTcp& t);

// Places a run of printable bytes (0x20 .. 0x7E, each ORed with orMask) at
// the cursor, exactly as that many ncTcpInsertNVTChar calls would.
void insertPrintable(CommTcp& t, const unsigned char* chars, int count, unsigned char orMask);

}  // namespace nvt
