// The window's geometry: resizing with the delayed layout, painting, the caret,
// the class background brush and scrolling through the VT100 history.
#include <algorithm>

#include "app/shell.h"
#include "terminal/comm_tcp.h"
#include "ui/cell_caret.h"
#include "vt100/nvt_cells.h"

namespace {

// The layout runs this long after the last WM_SIZE, so a drag that resizes the
// window many times lays it out once.
constexpr UINT kLayoutDelay = 100;

// The cells the client area is divided into for what the window shows now.
void layoutShape(const CommTcp& t, int32_t* columns, int32_t* rows) {
  const bool model = t.modelEngine() && t.terminalMode == kMode3270;
  *columns = model ? t.modelScreen.columns + 1 : kNvtColumns;
  *rows = model ? t.modelScreen.rows + 2 : 26;
}

}  // namespace

void CommTcp::FitWindowToScreen(HWND hwnd) {
  int32_t columns = 0, rows = 0;
  layoutShape(*this, &columns, &rows);
  // Before the first layout there is nothing to fit: that layout takes the shape.
  if (layoutColumns == 0 || (columns == layoutColumns && rows == layoutRows)) return;
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE));
  if (!(style & WS_CHILD) && cellWidth > 0 && cellHeight > 0) {
    const RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT frame{0, 0, columns * cellWidth, rows * cellHeight};
    AdjustWindowRectEx(&frame, style, GetMenu(hwnd) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)));
    const int width = std::min<int>(frame.right - frame.left, work.right - work.left);
    const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
    // Where the grown window would leave the work area it moves back into it.
    RECT now{};
    GetWindowRect(hwnd, &now);
    const int x = std::max<int>(work.left, std::min<int>(now.left, work.right - width));
    const int y = std::max<int>(work.top, std::min<int>(now.top, work.bottom - height));
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Laid out now rather than after the resize delay, so the screen is drawn in its new cells.
  KillTimer(hwnd, kLayoutTimer);
  onLayout(hwnd);
}

void CommTcp::ReplaceFont(HWND hwnd, HFONT* font, const LOGFONTA& description) {
  const HFONT created = CreateFontIndirectA(&description);
  if (created == nullptr) return;  // keep drawing with the old one
  // Selected into the window's own DC first, so the old font is no longer in use
  // when it is deleted.
  const HDC dc = GetDC(hwnd);
  SelectObject(dc, created);
  ReleaseDC(hwnd, dc);
  if (*font) DeleteObject(*font);
  *font = created;
}

int CommTcp::InstallBackgroundBrush(HWND hwnd, HWND boxOwner) {
  const HBRUSH brush = CreateSolidBrush(backgroundColor);
  const bool replaced = SetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush)) != 0;
  if (!replaced) MessageBoxA(boxOwner, " Error in Color Change", " Error", MB_OK);
  // A class that had no brush before also answers 0; what counts is whether it holds ours.
  if (!replaced && GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND) != reinterpret_cast<ULONG_PTR>(brush)) {
    DeleteObject(brush);
    return 0;
  }
  // The brush this window installed before is held by neither the class nor the
  // window's DC any more.
  SelectObject(deviceContext, brush);
  if (ownBrush_ && ownBrush_ != brush) DeleteObject(ownBrush_);
  ownBrush_ = brush;
  return replaced ? 1 : 0;
}

void CommTcp::ReleaseBackgroundBrush(HWND hwnd) {
  if (!ownBrush_) return;
  const HBRUSH registered = static_cast<HBRUSH>(GetStockObject(QUILLON_CLASS_BRUSH));
  if (GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND) == reinterpret_cast<ULONG_PTR>(ownBrush_))
    SetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(registered));
  // Out of the window's own DC before it is deleted.
  if (deviceContext) SelectObject(deviceContext, registered);
  DeleteObject(ownBrush_);
  ownBrush_ = nullptr;
}

void CommTcp::PlaceCaret() {
  SetCaretPos(nvt::pixel(cursorColumn, cellWidth), nvt::pixel(cursorRow, cellHeight));
}

void CommTcp::MarkNvtPageChanged() {
  if (!nvt::hasBuffers(*this)) return;
  const nvt::Geometry g = nvt::geometry(*this);
  nvtViewTop = std::clamp<int32_t>(nvtViewTop, 0, g.liveBase);
  for (int r = nvtViewTop; r < nvtViewTop + g.rows; ++r)
    for (int c = 0; c < g.columns; ++c) nvtAttributes[nvt::cellIndex(g, r, c)] |= kAttrChanged;
}

void CommTcp::RepaintScreen(HWND hwnd) {
  deviceContext = GetDC(hwnd);
  if (terminalMode == kMode3270)
    PaintScreen(hwnd, cellWidth, cellHeight);
  else
    PaintNVTScreen(hwnd, cellWidth, cellHeight);
  ReleaseDC(hwnd, deviceContext);
}

void CommTcp::onSize(HWND hwnd, LPARAM lParam) {
  clientWidth = LOWORD(lParam);
  clientHeight = HIWORD(lParam);
  resizePending = 1;
  SetTimer(hwnd, kLayoutTimer, kLayoutDelay, nullptr);
}

void CommTcp::onLayout(HWND hwnd) {
  resizePending = 0;
  InstallBackgroundBrush(hwnd, hwnd);

  // Both fonts follow the window: 26 text rows high and 81 cells wide (a
  // model screen: its rows and two, its columns and one), the line-drawing
  // characters a 25th of the height. Faces chosen by the user stay.
  layoutShape(*this, &layoutColumns, &layoutRows);
  screenLogFont.lfHeight = clientHeight / layoutRows;
  screenLogFont.lfWidth = clientWidth / layoutColumns;
  ReplaceFont(hwnd, &screenFont, screenLogFont);
  lineDrawLogFont.lfHeight = clientHeight / -25;
  lineDrawLogFont.lfWidth = 0;
  ReplaceFont(hwnd, &lineDrawFont, lineDrawLogFont);
  WindowScreenSetting(hwnd, &cellWidth, &cellHeight);

  // The cells are laid out anew for the new counts: in buffer order.
  nvt::straightenRing(*this);
  nvtColumns = kNvtColumns;
  nvtRows = kNvtMaxRows;
  if (scrollRegion.left == 0 && scrollRegion.top == 0 && scrollRegion.right == 0 && scrollRegion.bottom == 0)
    scrollRegion = RECT{0, 0, nvt::pixel(80, cellWidth), nvt::pixel(24, cellHeight)};

  // A host that agreed to NAWS learns the new row count.
  SendWindowSize(hwnd);

  SetScrollRange(hwnd, SB_VERT, 0, 4 * nvtRows, FALSE);
  nvtViewTop = 4 * nvtRows;
  SetScrollPos(hwnd, SB_VERT, nvtViewTop, TRUE);

  // The caret takes the new cell size and goes to the cursor cell. Only the
  // window with the focus has one: the caret is the thread's, and making or
  // moving one here would take it from the window that has the focus (a
  // dialog's field, another window of an embedder).
  if (GetFocus() == hwnd) {
    HideCaret(hwnd);
    DestroyCellCaret(hwnd);
    CreateCellCaret(hwnd, cellWidth, cellHeight);
    PlaceCaret();
    ShowCaret(hwnd);
  }

  MarkNvtPageChanged();
  RepaintScreen(hwnd);
}

void CommTcp::onSetFocus(HWND hwnd) {
  CreateCellCaret(hwnd, cellWidth, cellHeight);
  PlaceCaret();
  ShowCaret(hwnd);
}

void CommTcp::onPaint(HWND hwnd) {
  PAINTSTRUCT ps{};
  if (terminalMode == kMode3270) {
    // The whole 3270 screen is drawn, whatever the update region.
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    RepaintScreen(hwnd);
    if (GetFocus() == hwnd) PlaceCaret();
    return;
  }
  deviceContext = BeginPaint(hwnd, &ps);
  MarkNvtPageChanged();
  // Until the layout has sized the fonts to the window there is nothing to draw.
  if (resizePending == 0) PaintNVTScreen(hwnd, cellWidth, cellHeight);
  EndPaint(hwnd, &ps);
}

void CommTcp::onVScroll(HWND hwnd, WPARAM wParam) {
  const int rows = std::clamp<int32_t>(nvtRows, 1, kNvtMaxRows);
  const int old = nvtViewTop;
  int position = old;
  switch (LOWORD(wParam)) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= rows; break;
    case SB_PAGEDOWN: position += rows; break;
    case SB_THUMBPOSITION: position = HIWORD(wParam); break;
    default: break;
  }
  position = std::clamp(position, 0, 4 * rows);
  if (GetScrollPos(hwnd, SB_VERT) == position) return;

  nvtViewTop = position;
  const RECT moved{0, 0, nvt::pixel(nvtColumns - 1, cellWidth), nvt::pixel(24, cellHeight)};
  ScrollWindow(hwnd, 0, nvt::pixel(old - position, cellHeight), &moved, nullptr);
  SetScrollPos(hwnd, SB_VERT, position, TRUE);
  UpdateWindow(hwnd);
  RepaintScreen(windowHandle);
}
