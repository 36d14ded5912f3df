// Cell addressing shared by the NVT screen operations. Every index into
// nvtChars / nvtAttributes is formed here from bounded geometry, so whatever
// the host, a caller or a stale layout leaves in the cursor, the row and
// column counts or the scrolling region, no cell outside the first
// kNvtBufferCells is ever touched.
#pragma once

#include <cstdint>
#include <cstring>

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
};

// A margin row from its pixel edge; no cell size means row 0.
inline int marginRow(long pixels, int cellSize) { return cellSize > 0 ? static_cast<int>(pixels / cellSize) : 0; }

inline Geometry geometry(const CommTcp& t) {
  Geometry g;
  g.rows = clampInt(t.nvtRows, 1, kNvtMaxRows);
  g.columns = clampInt(t.nvtColumns, 1, kNvtColumns);
  g.liveBase = 4 * g.rows;
  g.top = clampInt(marginRow(t.scrollRegion.top, t.cellHeight), 0, g.rows - 1);
  g.bottom = clampInt(marginRow(t.scrollRegion.bottom, t.cellHeight), g.top, g.rows - 1);
  return g;
}

// Buffer rows in use: history and live screen.
inline int bufferRows(const Geometry& g) { return 5 * g.rows; }

// The cursor row, bounded to the live screen.
inline int cursorRowOf(const CommTcp& t, const Geometry& g) { return clampInt(t.cursorRow, 0, g.rows - 1); }

inline int cellIndex(const Geometry& g, int bufferRow, int column) { return bufferRow * g.columns + column; }

// The pixel position of a cell edge, kept within int whatever the cell size.
inline int pixel(int cells, int cellSize) { return clampInt(static_cast<long long>(cells) * cellSize, INT32_MIN, INT32_MAX); }

// True when the terminal has its buffers.
inline bool hasBuffers(const CommTcp& t) { return t.nvtChars != nullptr && t.nvtAttributes != nullptr; }

// Makes cells first .. last (inclusive) of a buffer row erased cells. The
// range is clipped to the row.
inline void eraseCells(CommTcp& t, const Geometry& g, int bufferRow, int first, int last) {
  if (bufferRow < 0 || bufferRow >= bufferRows(g)) return;
  if (first < 0) first = 0;
  if (last > g.columns - 1) last = g.columns - 1;
  for (int c = first; c <= last; ++c) {
    const int i = cellIndex(g, bufferRow, c);
    t.nvtChars[i] = ' ';
    t.nvtAttributes[i] = kErasedAttribute;
  }
}

inline void eraseRows(CommTcp& t, const Geometry& g, int firstBufferRow, int lastBufferRow) {
  for (int r = firstBufferRow; r <= lastBufferRow; ++r) eraseCells(t, g, r, 0, g.columns - 1);
}

// Moves `count` whole buffer rows starting at `from` so that they start at
// `to`; the moved attribute words gain the changed bit. Ranges reaching
// outside the buffer rows in use are left alone.
inline void moveRows(CommTcp& t, const Geometry& g, int from, int to, int count) {
  if (count <= 0 || from < 0 || to < 0 || from + count > bufferRows(g) || to + count > bufferRows(g)) return;
  const size_t cells = static_cast<size_t>(count) * g.columns;
  std::memmove(t.nvtChars + cellIndex(g, to, 0), t.nvtChars + cellIndex(g, from, 0), cells);
  uint32_t* dest = t.nvtAttributes + cellIndex(g, to, 0);
  std::memmove(dest, t.nvtAttributes + cellIndex(g, from, 0), cells * sizeof *dest);
  for (size_t i = 0; i < cells; ++i) dest[i] |= kAttrChanged;
}

// Direct drawing goes to the window only while no whole repaint is due and
// the window shows the live screen.
inline bool mayDrawDirectly(const CommTcp& t, const Geometry& g) {
  return t.repaintPending == 0 && t.nvtViewTop == g.liveBase && t.deviceContext != nullptr;
}

// Shows cells first .. last of a screen row as erased cells: blanks in the
// normal colours and the text font, as the repaint would draw them.
inline void drawErasedCells(CommTcp& t, const Geometry& g, int screenRow, int first, int last) {
  if (first < 0) first = 0;
  if (last > g.columns - 1) last = g.columns - 1;
  if (first > last || screenRow < 0 || screenRow >= g.rows) return;
  SetBkColor(t.deviceContext, t.backgroundColor);
  SetTextColor(t.deviceContext, t.protectedNormalColor);
  if (!mayDrawDirectly(t, g)) return;
  char blanks[kNvtColumns];
  std::memset(blanks, ' ', sizeof blanks);
  SelectObject(t.deviceContext, t.screenFont);
  TextOutA(t.deviceContext, pixel(first, t.cellWidth), pixel(screenRow, t.cellHeight), blanks, last - first + 1);
}

}  // namespace nvt
