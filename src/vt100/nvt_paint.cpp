// Painting the NVT screen from its buffers, and showing a selection.
#include <algorithm>
#include <cstring>

#include "terminal/comm_tcp.h"
#include "vt100/nvt_cells.h"
#include "vt100/nvt_screen.h"

namespace {

constexpr uint32_t kBlinkOrReverse = kAttrBlink | kAttrReverse;
// Blanks drawn on each row below the text: wider than any screen row.
constexpr int kBlankRowLength = 140;
// Cell sizes come from font metrics; a bound keeps the pixel arithmetic from overflowing.
constexpr int kMaxCellSize = 0xFFFF;

// The geometry painting works with: the row length, the live-screen rows and
// the row in view, each brought within the buffers so that every cell index
// stays inside kNvtBufferCells whatever the members hold.
struct View {
  int columns;
  int rows;
  int top;
  int bufferRows() const { return 5 * rows; }
};

View boundedView(CommTcp& t) {
  View v;
  v.columns = std::clamp<int32_t>(t.nvtColumns, 1, kNvtColumns);
  v.rows = std::clamp<int32_t>(t.nvtRows, 1, kNvtMaxRows);
  // The view never goes below the live screen nor above the oldest history row.
  t.nvtViewTop = std::clamp<int32_t>(t.nvtViewTop, 0, 4 * v.rows);
  v.top = t.nvtViewTop;
  return v;
}

// Background and text colour of a cell with the given attribute word.
void cellColors(const CommTcp& t, uint32_t attribute, COLORREF* background, COLORREF* text) {
  const bool highlighted = (attribute & kBlinkOrReverse) != 0;
  if (attribute & kAttrSelected) {
    *background = highlighted ? t.protectedHighLightColor : t.protectedNormalColor;
    *text = highlighted ? t.unprotectedHighLightColor : t.backgroundColor;
  } else {
    *background = highlighted ? t.unprotectedHighLightColor : t.backgroundColor;
    *text = highlighted ? t.protectedHighLightColor : t.protectedNormalColor;
  }
}

void selectCellStyle(const CommTcp& t, HDC dc, uint32_t attribute) {
  COLORREF background = 0, text = 0;
  cellColors(t, attribute, &background, &text);
  SelectObject(dc, (attribute & kAttrLineDrawing) ? t.lineDrawFont : t.screenFont);
  SetBkColor(dc, background);
  SetTextColor(dc, text);
}

// Shifts the cells of one buffer row between "~{" and "~}" into the upper half
// (bit 7 set), as the host's tilde-brace encoding asks. The change is kept in
// the buffer, so a second pass finds those cells already shifted.
void shiftGbCells(char* row, int columns) {
  if (std::memchr(row, '~', static_cast<size_t>(columns)) == nullptr) return;
  bool gb = false;
  for (int c = 0; c < columns; ++c) {
    if (row[c] == '~' && c + 1 < columns && (row[c + 1] == '{' || row[c + 1] == '}')) {
      gb = row[c + 1] == '{';
      ++c;  // the brace is drawn as it stands
      continue;
    }
    if (gb) row[c] = static_cast<char>(static_cast<unsigned char>(row[c]) | 0x80);
  }
}

// The attribute bits that decide how a cell is drawn (font and colours); the
// others (bold, underline, colours, the changed bit) do not show.
constexpr uint32_t kDrawnBits = kBlinkOrReverse | kAttrSelected | kAttrLineDrawing;

// Draws one buffer row at window row y in runs of cells drawn alike, clearing
// each drawn cell's changed bit. The spare last column is not shown.
void paintRow(const CommTcp& t, HDC dc, char* chars, uint32_t* attributes, int columns, int y, int cellWidth) {
  const int shown = columns - 1;
  int c = 0;
  while (c < shown) {
    const uint32_t style = attributes[c] & kDrawnBits;
    const int first = c;
    while (c < shown && (attributes[c] & kDrawnBits) == style) {
      attributes[c] &= ~kAttrChanged;
      ++c;
    }
    selectCellStyle(t, dc, style);
    TextOutA(dc, first * cellWidth, y, chars + first, c - first);
  }
}

}  // namespace

void nvt::settleView(CommTcp& t) {
  const View v = boundedView(t);
  if (!hasBuffers(t)) return;
  const Geometry g = cellLayout(t);
  for (int r = 0; r <= v.rows && v.top + r < v.bufferRows(); ++r) shiftGbCells(t.nvtChars + rowStart(g, v.top + r), v.columns);
}

void CommTcp::PaintNVTScreen(HWND hwnd, int cellWidth, int cellHeight) {
  cellWidth = std::clamp(cellWidth, 0, kMaxCellSize);
  cellHeight = std::clamp(cellHeight, 0, kMaxCellSize);
  HideCaret(hwnd);
  deviceContext = GetDC(hwnd);
  const HDC dc = deviceContext;
  SelectObject(dc, screenFont);

  nvt::settleView(*this);
  const View v = boundedView(*this);
  const nvt::Geometry g = nvt::cellLayout(*this);
  if (nvtChars && nvtAttributes) {
    // The row after the last screen row is taken as well (the blanking below
    // covers it again), unless it lies past the buffers.
    for (int r = 0; r <= v.rows; ++r) {
      const int bufferRow = v.top + r;
      if (bufferRow >= v.bufferRows()) break;
      const int start = nvt::rowStart(g, bufferRow);
      paintRow(*this, dc, nvtChars + start, nvtAttributes + start, v.columns, r * cellHeight, cellWidth);
    }
  }

  // Blank the area below the text in the plain screen colours and font, as
  // far down as the window reaches (rows starting below it show nothing).
  char blanks[kBlankRowLength];
  std::fill(blanks, blanks + kBlankRowLength, ' ');
  selectCellStyle(*this, dc, 0);
  RECT client{};
  GetClientRect(hwnd, &client);
  for (int i = 0; i <= v.rows; ++i) {
    const int y = (v.rows + i) * cellHeight;
    if (y >= client.bottom) break;
    TextOutA(dc, 0, y, blanks, kBlankRowLength);
  }

  ReleaseDC(hwnd, dc);
  ShowCaret(hwnd);
}

void CommTcp::PaintNVTScreenClip(int startColumn, int startRow, int endColumn, int endRow) {
  const HWND hwnd = windowHandle;
  deviceContext = GetDC(hwnd);
  const HDC dc = deviceContext;
  HideCaret(hwnd);
  SelectObject(dc, screenFont);

  const View v = boundedView(*this);
  // Mouse cells outside the screen are brought onto its nearest edge, so the
  // selection covers only cells in view.
  startColumn = std::clamp(startColumn, 0, v.columns - 1);
  endColumn = std::clamp(endColumn, 0, v.columns - 1);
  startRow = std::clamp(startRow, 0, v.rows - 1);
  endRow = std::clamp(endRow, 0, v.rows - 1);
  if (endRow < startRow || (endRow == startRow && endColumn < startColumn)) {
    std::swap(startColumn, endColumn);
    std::swap(startRow, endRow);
  }
  const int start = startRow * v.columns + startColumn;
  const int end = endRow * v.columns + endColumn;

  if (nvtChars && nvtAttributes) {
    const int width = std::clamp<int32_t>(cellWidth, 0, kMaxCellSize);
    const int height = std::clamp<int32_t>(cellHeight, 0, kMaxCellSize);
    const nvt::Geometry g = nvt::cellLayout(*this);
    for (int i = start; i <= end; ++i) {
      const int cell = nvt::cellIndex(g, v.top + i / v.columns, i % v.columns);
      char ch = nvtChars[cell];
      if (ch == '\0') ch = ' ';
      nvtAttributes[cell] |= kAttrSelected;
      COLORREF background = 0, text = 0;
      cellColors(*this, nvtAttributes[cell], &background, &text);
      SetBkColor(dc, background);
      SetTextColor(dc, text);
      TextOutA(dc, (i % v.columns) * width, (i / v.columns) * height, &ch, 1);
    }
  }

  ReleaseDC(hwnd, dc);
  ShowCaret(hwnd);
}
