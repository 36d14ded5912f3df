// A window's client area as a grid of character cells: what GDI text output
// draws into and what a display shows.
#pragma once

#include <vector>

#include "platform/posix/win32_posix.h"

namespace posix {

struct Cell {
  char ch = ' ';
  BYTE charset = ANSI_CHARSET;
  COLORREF fg = 0x000000;
  COLORREF bg = 0xFFFFFF;
  bool underline = false;  // drawn with a font whose lfUnderline is set
  bool operator==(const Cell& o) const {
    return ch == o.ch && charset == o.charset && fg == o.fg && bg == o.bg && underline == o.underline;
  }
};

class PLATFORM_API CellGrid {
 public:
  // Upper bounds keep a hostile font size or coordinate from growing the grid without limit.
  static constexpr int kMaxColumns = 1024;
  static constexpr int kMaxRows = 512;

  int columns() const { return columns_; }
  int rows() const { return rows_; }
  // Grows the grid (never shrinks) to at least columns x rows, within the bounds.
  void ensure(int columns, int rows, const Cell& fill);
  // The cell at (column, row), or nullptr outside the grid.
  Cell* at(int column, int row);
  const Cell* at(int column, int row) const;
  // Fills the cells of [left, right) x [top, bottom), clipped to the grid.
  void fill(int left, int top, int right, int bottom, const Cell& value);
  // Moves the cells of the rectangle by (dx, dy) cells; vacated cells keep their content.
  void scroll(int left, int top, int right, int bottom, int dx, int dy);

 private:
  int columns_ = 0;
  int rows_ = 0;
  std::vector<Cell> cells_;
};

}  // namespace posix
