// The clipboard text of an NVT selection.
#include <algorithm>

#include "terminal/comm_tcp.h"

namespace {

// A selection as a range of cell indices counted from the first cell in view,
// in reading order, inclusive at both ends.
struct Selection {
  int columns;  // cells per buffer row, the spare column included
  int top;      // buffer row of the first row in view
  int start;
  int end;
};

// Orders the corners and brings them, the row length, the screen rows and the
// row in view within the buffers: every cell start .. end counted from the row
// in view lies inside the buffers whatever the members and the mouse
// coordinates hold.
Selection boundedSelection(CommTcp& t, int startColumn, int startRow, int endColumn, int endRow) {
  const int columns = std::clamp<int32_t>(t.nvtColumns, 1, kNvtColumns);
  const int rows = std::clamp<int32_t>(t.nvtRows, 1, kNvtMaxRows);
  t.nvtViewTop = std::clamp<int32_t>(t.nvtViewTop, 0, 4 * rows);
  startColumn = std::clamp(startColumn, 0, columns - 1);
  endColumn = std::clamp(endColumn, 0, columns - 1);
  startRow = std::clamp(startRow, 0, rows - 1);
  endRow = std::clamp(endRow, 0, rows - 1);
  if (endRow < startRow || (endRow == startRow && endColumn < startColumn)) {
    std::swap(startColumn, endColumn);
    std::swap(startRow, endRow);
  }
  return Selection{columns, t.nvtViewTop, startRow * columns + startColumn, endRow * columns + endColumn};
}

}  // namespace

int CommTcp::GetPossibleClipboardLen(int startColumn, int startRow, int endColumn, int endRow) {
  const Selection s = boundedSelection(*this, startColumn, startRow, endColumn, endRow);
  // Every cell, one more byte for each spare-column cell (it becomes CR LF),
  // and the terminating 0, with room to spare.
  return (s.end - s.start) + (s.end / s.columns - s.start / s.columns) + 26;
}

void CommTcp::FromScreenCopyToClipboard(char* text, int startColumn, int startRow, int endColumn, int endRow) {
  if (!text) return;
  const Selection s = boundedSelection(*this, startColumn, startRow, endColumn, endRow);
  char* out = text;
  if (nvtChars) {
    for (int i = s.start; i <= s.end; ++i) {
      if (i % s.columns == s.columns - 1) {
        // The spare column ends the row's text.
        *out++ = '\r';
        *out++ = '\n';
      } else {
        *out++ = nvtChars[NvtCellIndex(s.top + i / s.columns, i % s.columns)];
      }
    }
  }
  *out = '\0';
}
