// The mouse: placing the 3270 cursor, selecting VT100 text, and the double-click
// that acts as the 3270 selector pen.
#include <algorithm>

#include "terminal/comm_tcp.h"
#include "tn3270/field_attribute.h"
#include "tn3270/model_engine.h"
#include "tn3270/screen_model.h"
#include "vt100/nvt_cells.h"

namespace {

struct Cell {
  int column;
  int row;
};

// The cell under the mouse. The coordinates are signed: with the button held
// the pointer may be left of or above the window. A window can also be larger
// than the screen; cells past any edge are brought onto the nearest screen
// cell of `columns` x `rows`.
Cell cellAt(const CommTcp& t, LPARAM lParam, int columns, int rows) {
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  const int column = t.cellWidth > 0 ? x / t.cellWidth : 0;
  const int row = t.cellHeight > 0 ? y / t.cellHeight : 0;
  return Cell{std::clamp(column, 0, columns - 1), std::clamp(row, 0, rows - 1)};
}

// The attribute of the first field whose positions, or the position just
// after it, include `address`; 0 when there is none.
uint8_t fieldAttributeAt(const CommTcp& t, uint32_t address) {
  const int count = std::clamp<int32_t>(t.fieldCount, 0, kMaxFields);
  for (int i = 0; i < count; ++i) {
    const FieldEntry& f = t.fieldTable[i];
    if (f.begin <= address && address <= static_cast<uint64_t>(f.begin) + f.length) return f.attribute;
  }
  return 0;
}

}  // namespace

void CommTcp::onMouse(HWND hwnd, UINT message, LPARAM lParam) {
  const bool mode3270 = terminalMode == kMode3270;
  if (mode3270) {
    if (message == WM_LBUTTONUP) return;
    if (modelEngine()) {
      // A model screen: the cursor goes to the cell clicked; a double-click is Enter.
      const Cell c = cellAt(*this, lParam, modelScreen.columns, modelScreen.rows);
      model3270::CursorTo(*this, c.row * modelScreen.columns + c.column);
      ShowScreenIcPos(hwnd, cellWidth, cellHeight, &cursorColumn, &cursorRow);
      PlaceCaret();
      if (message == WM_LBUTTONDBLCLK) SendMessageA(hwnd, WM_CHAR, 13, 1);
      return;
    }
    // A click puts the cursor on a screen position; the field the keyboard
    // works in stays as it was.
    const Cell c = cellAt(*this, lParam, kScreenColumns, kScreenRows);
    cursorColumn = c.column;
    cursorRow = c.row;
    cursorAddress = static_cast<uint32_t>(c.row * kScreenColumns + c.column);
    PlaceCaret();
    if (message != WM_LBUTTONDBLCLK) return;
    // A double-click on a protected field is the selector pen; elsewhere it is Enter.
    if (fieldIsProtected(fieldAttributeAt(*this, cursorAddress)))
      build_input2(cursorColumn, cursorRow);
    else
      SendMessageA(hwnd, WM_CHAR, 13, 1);
    return;
  }

  // VT100: the host owns the cursor; the mouse only selects text to copy.
  const Cell c = cellAt(*this, lParam, kNvtColumns, kNvtMaxRows);
  switch (message) {
    case WM_LBUTTONDOWN:
      selStartColumn = c.column;
      selStartRow = c.row;
      PaintNVTScreen(hwnd, cellWidth, cellHeight);  // clears the previous highlight
      SetCaretPos(nvt::pixel(c.column, cellWidth), nvt::pixel(c.row, cellHeight));
      selEndColumn = 0;
      selEndRow = 0;
      selecting = 1;
      break;
    case WM_LBUTTONUP:
      selEndColumn = c.column;
      selEndRow = c.row;
      SetCaretPos(nvt::pixel(c.column, cellWidth), nvt::pixel(c.row, cellHeight));
      selecting = 0;
      PaintNVTScreenClip(selStartColumn, selStartRow, selEndColumn, selEndRow);
      PlaceCaret();
      break;
    default:
      break;  // a double-click leaves the emulation's cursor where the host put it
  }
}
