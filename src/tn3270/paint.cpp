// Painting the 3270 screen into the main window, cell by cell, and placing the caret.
#include "tn3270/paint.h"

#include "tn3270/field_attribute.h"

namespace {

// Each cell is drawn as its character followed by blanks; the next cells overdraw
// the blanks, and after column 79 they clear the three cells right of the screen
// (a VT100 spare column or a caret remnant there).
constexpr int kCellStringLength = 4;

constexpr UINT kBlinkMilliseconds = 500;

bool printable(uint8_t ch) { return ch >= 0x20 && ch <= 0x7E; }

// Whether one string of several cells lands exactly where drawing the cells
// one by one would put them: the selected font is fixed pitch with an advance
// of one cell.
bool drawsCellsInRuns(HDC dc, int cellWidth) {
  TEXTMETRICA tm{};
  if (!GetTextMetricsA(dc, &tm)) return false;
  return cellWidth > 0 && tm.tmAveCharWidth == cellWidth && tm.tmMaxCharWidth == cellWidth;
}

}  // namespace

namespace {

// The same picture as drawing each cell with its blanks: every row in runs of
// cells of one text colour (a cell that sets none keeps the colour before it),
// the last run followed by the blanks the last cell would have drawn.
void paintRowsInRuns(const CommTcp& t, HDC dc, int cellWidth, int cellHeight) {
  COLORREF color = t.protectedNormalColor;  // what the DC holds now
  char text[kScreenColumns + kCellStringLength - 1];
  for (int row = 0; row < kScreenRows; ++row) {
    int column = 0;
    while (column < kScreenColumns) {
      const int first = column;
      int length = 0;
      for (; column < kScreenColumns; ++column) {
        const CellLook look = Look3270Cell(t, row * kScreenColumns + column);
        if (look.setsColor && look.color != color) {
          if (length > 0) break;  // this cell starts the next run
          color = look.color;
          SetTextColor(dc, color);
        }
        text[length++] = look.ch;
      }
      if (column == kScreenColumns)
        for (int i = 1; i < kCellStringLength; ++i) text[length++] = ' ';
      TextOutA(dc, first * cellWidth, row * cellHeight, text, length);
    }
  }
}

}  // namespace

CellLook Look3270Cell(const CommTcp& terminal, int position) {
  if (position < 0 || position >= kScreenPositions) return CellLook{' ', false, 0};
  const uint8_t ch = terminal.screenChars[position];
  const uint8_t attribute = terminal.positionAttribute[position];
  if (fieldIsNonDisplay(attribute)) return CellLook{' ', false, 0};
  const bool intensified = fieldIsIntensified(attribute);
  COLORREF color;
  if (fieldIsProtected(attribute))
    color = intensified ? terminal.protectedHighLightColor : terminal.protectedNormalColor;
  else
    color = intensified ? terminal.unprotectedHighLightColor : terminal.unprotectedNormalColor;
  return CellLook{printable(ch) ? static_cast<char>(ch) : ' ', true, color};
}

void CommTcp::PaintScreen(HWND hwnd, int cellWidth, int cellHeight) {
  HideCaret(hwnd);
  HDC dc = GetDC(hwnd);
  SelectObject(dc, screenFont);
  // Each string paints its cells' background; the window's DC is kept between
  // uses, so make sure no earlier drawing left it transparent.
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, backgroundColor);
  SetTextColor(dc, protectedNormalColor);
  if (modelEngine()) {
    PaintModelScreen(*this, dc, cellWidth, cellHeight, drawsCellsInRuns(dc, cellWidth));
    // Blinking characters turn dark and back each half second while there are any.
    const bool blinks = ModelScreenBlinks(*this);
    if (blinks && !blinkRunning) SetTimer(hwnd, kBlinkTimer, kBlinkMilliseconds, nullptr);
    if (!blinks && blinkRunning) KillTimer(hwnd, kBlinkTimer);
    if (!blinks) blinkHidden = 0;
    blinkRunning = blinks;
  } else if (drawsCellsInRuns(dc, cellWidth)) {
    paintRowsInRuns(*this, dc, cellWidth, cellHeight);
  } else {
    for (int row = 0; row < kScreenRows; ++row) {
      for (int column = 0; column < kScreenColumns; ++column) {
        const CellLook look = Look3270Cell(*this, row * kScreenColumns + column);
        char text[kCellStringLength] = {look.ch, ' ', ' ', ' '};
        if (look.setsColor) SetTextColor(dc, look.color);
        TextOutA(dc, column * cellWidth, row * cellHeight, text, kCellStringLength);
      }
    }
  }
  ReleaseDC(hwnd, dc);
  ShowCaret(hwnd);
}

void CommTcp::ShowScreen(HWND hwnd, int cellWidth, int cellHeight, int* column, int* row) {
  int localColumn = 0;
  int localRow = 0;
  if (!column) column = &localColumn;
  if (!row) row = &localRow;
  PaintScreen(hwnd, cellWidth, cellHeight);
  ShowScreenIcPos(hwnd, cellWidth, cellHeight, column, row);
  HideCaret(hwnd);
  SetCaretPos(*column * cellWidth, *row * cellHeight);
  ShowCaret(hwnd);
}
