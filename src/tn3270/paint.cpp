// Painting the 3270 screen into the main window, cell by cell, and placing the caret.
#include "tn3270/paint.h"

namespace {

constexpr uint8_t kProtected = 0x20;
constexpr uint8_t kDisplayBits = 0x0C;
constexpr uint8_t kNonDisplay = 0x0C;
constexpr uint8_t kIntensified = 0x08;

// Each cell is drawn as its character followed by blanks; the next cells overdraw
// the blanks, and after column 79 they clear the three cells right of the screen
// (a VT100 spare column or a caret remnant there).
constexpr int kCellStringLength = 4;

bool printable(uint8_t ch) { return ch >= 0x20 && ch <= 0x7E; }

}  // namespace

CellLook Look3270Cell(const CommTcp& terminal, int position) {
  if (position < 0 || position >= kScreenPositions) return CellLook{' ', false, 0};
  const uint8_t ch = terminal.screenChars[position];
  const uint8_t attribute = terminal.positionAttribute[position];
  if ((attribute & kDisplayBits) == kNonDisplay) return CellLook{' ', false, 0};
  const bool intensified = (attribute & kDisplayBits) == kIntensified;
  COLORREF color;
  if (attribute & kProtected)
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
  for (int row = 0; row < kScreenRows; ++row) {
    for (int column = 0; column < kScreenColumns; ++column) {
      const CellLook look = Look3270Cell(*this, row * kScreenColumns + column);
      char text[kCellStringLength] = {look.ch, ' ', ' ', ' '};
      if (look.setsColor) SetTextColor(dc, look.color);
      TextOutA(dc, column * cellWidth, row * cellHeight, text, kCellStringLength);
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
