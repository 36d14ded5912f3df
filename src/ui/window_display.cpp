// The window's Display: paints what a batch changed, then places the caret.
#include "ui/window_display.h"

#include "terminal/comm_tcp.h"
#include "vt100/nvt_cells.h"

namespace {

// The bell: a short fixed tone (the interpreter sounds it at most once per
// call, so a run of bells cannot hold up the window thread).
constexpr DWORD kBellFrequency = 1280;
constexpr DWORD kBellMilliseconds = 50;

// The 3270 keyboard's echo of a typed character wipes the two cells to its right.
constexpr int kEchoWipe = 2;

// Draws the changed cells of one screen row in runs of cells drawn alike.
void drawRowCells(const CommTcp& t, HDC dc, const nvt::Geometry& g, int row, int first, int last, bool echo) {
  if (first < 0) first = 0;
  if (last > g.columns - 1) last = g.columns - 1;
  const int start = nvt::rowStart(g, g.liveBase + row);
  const int y = nvt::pixel(row, t.cellHeight);
  constexpr uint32_t kStyleBits = kAttrBlink | kAttrReverse | kAttrLineDrawing;
  int c = first;
  while (c <= last) {
    const uint32_t style = t.nvtAttributes[start + c] & kStyleBits;
    char text[kNvtColumns + kEchoWipe];
    int n = 0;
    const int runStart = c;
    while (c <= last && (t.nvtAttributes[start + c] & kStyleBits) == style) text[n++] = t.nvtChars[start + c++];
    if (echo && c > last)
      for (int i = 0; i < kEchoWipe; ++i) text[n++] = ' ';
    SelectNvtCellStyle(t, dc, style);
    TextOutA(dc, nvt::pixel(runStart, t.cellWidth), y, text, n);
  }
}

// Cells noted without a whole repaint due are drawn where they are, when the
// window shows the live screen.
void drawChangedCells(CommTcp& t, const ScreenDamage& d) {
  if (!nvt::hasBuffers(t)) return;
  const nvt::Geometry g = nvt::cellLayout(t);
  if (t.nvtViewTop != g.liveBase) return;
  const bool echo = d.charPlaced && t.terminalMode == kMode3270;
  const HDC dc = GetDC(t.windowHandle);
  for (int row = 0; row < g.rows && row < ScreenDamage::kRows; ++row)
    if (d.RowChanged(row)) drawRowCells(t, dc, g, row, d.first[row], d.last[row], echo);
  ReleaseDC(t.windowHandle, dc);
}

class Painter : public Display {
 public:
  void Bell() override { Beep(kBellFrequency, kBellMilliseconds); }

  void Present(CommTcp& t) override {
    const HWND hwnd = t.windowHandle;
    ScreenDamage& d = t.damage;
    t.FitWindowToScreen(hwnd);
    HideCaret(hwnd);
    if (d.viewReturned && nvt::hasBuffers(t)) {
      SetScrollPos(hwnd, SB_VERT, nvt::cellLayout(t).liveBase, TRUE);
      // The window still shows history rows; let it repaint the live screen.
      // (In 3270 mode the NVT view is not what the window shows.)
      if (t.terminalMode != kMode3270) InvalidateRect(hwnd, nullptr, FALSE);
    }
    if (d.screen3270) t.PaintScreen(hwnd, t.cellWidth, t.cellHeight);
    if (d.nvtView)
      t.PaintNVTScreen(hwnd, t.cellWidth, t.cellHeight);
    else
      drawChangedCells(t, d);
    d.Clear();
    SetCaretPos(nvt::pixel(t.cursorColumn, t.cellWidth), nvt::pixel(t.cursorRow, t.cellHeight));
    ShowCaret(hwnd);
  }
};

}  // namespace

Display* WindowDisplay() {
  static Painter painter;
  return &painter;
}

void SelectNvtCellStyle(const CommTcp& t, HDC dc, uint32_t attribute) {
  SelectObject(dc, (attribute & kAttrLineDrawing) ? t.lineDrawFont : t.screenFont);
  if (attribute & (kAttrBlink | kAttrReverse)) {
    SetBkColor(dc, t.unprotectedHighLightColor);
    SetTextColor(dc, t.protectedHighLightColor);
  } else {
    SetBkColor(dc, t.backgroundColor);
    SetTextColor(dc, t.protectedNormalColor);
  }
}
