#include "platform/posix/cell_grid.h"

#include <algorithm>

namespace posix {

void CellGrid::ensure(int columns, int rows, const Cell& fill) {
  columns = std::min(std::max(columns, columns_), kMaxColumns);
  rows = std::min(std::max(rows, rows_), kMaxRows);
  if (columns == columns_ && rows == rows_) return;
  std::vector<Cell> grown(static_cast<size_t>(columns) * rows, fill);
  for (int r = 0; r < rows_; ++r)
    std::copy_n(cells_.begin() + static_cast<size_t>(r) * columns_, columns_,
                grown.begin() + static_cast<size_t>(r) * columns);
  cells_.swap(grown);
  columns_ = columns;
  rows_ = rows;
}

Cell* CellGrid::at(int column, int row) {
  if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return nullptr;
  return &cells_[static_cast<size_t>(row) * columns_ + column];
}

const Cell* CellGrid::at(int column, int row) const {
  return const_cast<CellGrid*>(this)->at(column, row);
}

void CellGrid::fill(int left, int top, int right, int bottom, const Cell& value) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, columns_);
  bottom = std::min(bottom, rows_);
  for (int r = top; r < bottom; ++r)
    for (int c = left; c < right; ++c) cells_[static_cast<size_t>(r) * columns_ + c] = value;
}

void CellGrid::scroll(int left, int top, int right, int bottom, int dx, int dy) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, columns_);
  bottom = std::min(bottom, rows_);
  if (left >= right || top >= bottom || (dx == 0 && dy == 0)) return;
  const int width = right - left;
  const int height = bottom - top;
  std::vector<Cell> copy;
  copy.reserve(static_cast<size_t>(width) * height);
  for (int r = top; r < bottom; ++r)
    for (int c = left; c < right; ++c) copy.push_back(cells_[static_cast<size_t>(r) * columns_ + c]);
  // Each source cell lands dx, dy away when the target is still inside the rectangle.
  for (int r = 0; r < height; ++r) {
    const int tr = r + dy;
    if (tr < 0 || tr >= height) continue;
    for (int c = 0; c < width; ++c) {
      const int tc = c + dx;
      if (tc < 0 || tc >= width) continue;
      cells_[static_cast<size_t>(top + tr) * columns_ + left + tc] = copy[static_cast<size_t>(r) * width + c];
    }
  }
}

}  // namespace posix
