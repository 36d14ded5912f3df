// The terminal window's own messages: the delayed layout after resizing,
// painting, the caret, scrolling through the history, the mouse, the system
// menu key and the keep-alive timer, driven by real window messages.
#include <cstdio>
#include <string>

#include "field_layout.h"
#include "connected_fixture.h"
#include "ui/resource.h"

namespace {

int g_layouts = 0;
WNDPROC g_terminalProc = nullptr;

// Counts the layout messages on their way to the terminal's own procedure.
LRESULT CALLBACK countLayouts(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LAYOUT) ++g_layouts;
  return CallWindowProcA(g_terminalProc, hwnd, message, wParam, lParam);
}

class WindowTest : public OnLoopback<OpenTerminalTest> {
 protected:
  void SetUp() override {
    OnLoopback::SetUp();
    if (HasFatalFailure()) return;
    t->connected = 1;
  }
  // Gives the window a client area of the size and lets the layout run.
  void resizeClient(int width, int height) {
    RECT outer, client;
    GetWindowRect(window_, &outer);
    GetClientRect(window_, &client);
    MoveWindow(window_, outer.left, outer.top, width + (outer.right - outer.left) - client.right,
               height + (outer.bottom - outer.top) - client.bottom, TRUE);
  }
  void layOut(int width, int height) {
    resizeClient(width, height);
    posix::testing::advanceClock(100);
  }
  // Buffer row `row` of the VT100 screen holds `text` from column 0.
  void putRow(int row, const std::string& text) {
    std::memcpy(t->nvtChars + t->NvtCellIndex(row, 0), text.data(), text.size());
  }
  std::string screenRow(int row, int columns = 80) { return posix::testing::rowText(window_, row, columns); }
  const posix::Cell* cell(int column, int row) { return posix::testing::grid(window_)->at(column, row); }
  LPARAM pointAt(int column, int row) { return MAKELPARAM(column * t->cellWidth + 1, row * t->cellHeight + 1); }
  // The window's caret is a block of one cell that inverts whatever it covers,
  // whichever colours the window's own DC holds: its shape is a bitmap of the
  // display's colours, white all over. Without one (or with a monochrome one) a
  // caret may be drawn in the DC's background colour, which XORed with the
  // terminal's black background changes nothing: no caret to be seen.
  void expectInvertingCellCaret() {
    const posix::CaretState caret = posix::caretState();
    EXPECT_EQ(caret.owner, window_);
    EXPECT_EQ(caret.width, t->cellWidth);
    EXPECT_EQ(caret.height, t->cellHeight);
    BITMAP b{};
    ASSERT_EQ(GetObjectA(caret.shape, sizeof b, &b), static_cast<int>(sizeof b));
    EXPECT_GT(b.bmBitsPixel, 1);
    const HDC memory = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(memory, caret.shape);
    ASSERT_NE(previous, nullptr);
    int white = 0;
    for (int y = 0; y < b.bmHeight; ++y)
      for (int x = 0; x < b.bmWidth; ++x) white += GetPixel(memory, x, y) == RGB(255, 255, 255) ? 1 : 0;
    EXPECT_EQ(white, t->cellWidth * t->cellHeight);
    SelectObject(memory, previous);
    DeleteDC(memory);
  }
};

TEST_F(WindowTest, ABurstOfResizesLaysTheWindowOutOnceAfterTheLast) {
  g_layouts = 0;
  g_terminalProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(countLayouts)));
  for (int i = 0; i < 10; ++i) {
    resizeClient(600 + 10 * i, 400);
    posix::testing::advanceClock(20);
  }
  EXPECT_EQ(g_layouts, 0);
  EXPECT_EQ(t->resizePending, 1);
  posix::testing::advanceClock(79);  // 99 ms after the last resize
  EXPECT_EQ(g_layouts, 0);
  posix::testing::advanceClock(1);
  EXPECT_EQ(g_layouts, 1);
  EXPECT_EQ(t->resizePending, 0);
  EXPECT_EQ(t->clientWidth, 690);
  posix::testing::advanceClock(1000);  // the timer was one-shot
  EXPECT_EQ(g_layouts, 1);
}

TEST_F(WindowTest, LayoutSizesBothFontsAndTheGeometryToTheWindow) {
  struct Case {
    int width, height;
    int textHeight, textWidth, lineDrawHeight;
  } cases[] = {
      {810, 520, 20, 10, -20},
      {726, 476, 18, 8, -19},
      {40, 20, 0, 0, 0},  // smaller than one cell: the fonts' own default size
  };
  SetFocus(window_);  // the caret is re-made only in the window with the focus
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    t->scrollRegion = RECT{};
    t->cursorColumn = 3;
    t->cursorRow = 2;
    layOut(c.width, c.height);
    EXPECT_EQ(t->clientWidth, c.width);
    EXPECT_EQ(t->clientHeight, c.height);
    EXPECT_EQ(t->screenLogFont.lfHeight, c.textHeight);
    EXPECT_EQ(t->screenLogFont.lfWidth, c.textWidth);
    EXPECT_EQ(t->lineDrawLogFont.lfHeight, c.lineDrawHeight);
    EXPECT_EQ(t->lineDrawLogFont.lfWidth, 0);
    const int cw = c.textHeight ? c.textWidth : 8, ch = c.textHeight ? c.textHeight : 16;
    EXPECT_EQ(t->cellWidth, cw);
    EXPECT_EQ(t->cellHeight, ch);
    EXPECT_EQ(t->nvtColumns, 81);
    EXPECT_EQ(t->nvtRows, 25);
    EXPECT_EQ(t->scrollRegion.right, 80 * cw);
    EXPECT_EQ(t->scrollRegion.bottom, 24 * ch);
    int low = -1, high = -1;
    GetScrollRange(window_, SB_VERT, &low, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 100);
    EXPECT_EQ(GetScrollPos(window_, SB_VERT), 100);
    EXPECT_EQ(t->nvtViewTop, 100);
    const posix::CaretState caret = posix::caretState();
    EXPECT_EQ(caret.owner, window_);
    EXPECT_EQ(caret.width, cw);
    EXPECT_EQ(caret.height, ch);
    EXPECT_EQ(caret.pos.x, 3 * cw);
    EXPECT_EQ(caret.pos.y, 2 * ch);
  }
}

TEST_F(WindowTest, ChosenFacesStayWhileTheirSizeFollowsTheWindow) {
  std::snprintf(t->screenLogFont.lfFaceName, LF_FACESIZE, "%s", "Courier New");
  t->screenLogFont.lfHeight = -16;  // a 12-point font chosen by the user
  t->lineDrawLogFont.lfCharSet = 0;
  layOut(810, 520);
  EXPECT_STREQ(t->screenLogFont.lfFaceName, "Courier New");
  EXPECT_EQ(t->screenLogFont.lfHeight, 20);
  EXPECT_EQ(t->lineDrawLogFont.lfCharSet, 0);
  LOGFONTA made{};
  ASSERT_EQ(GetObjectA(t->screenFont, sizeof made, &made), static_cast<int>(sizeof made));
  EXPECT_STREQ(made.lfFaceName, "Courier New");
  EXPECT_EQ(made.lfHeight, 20);
}

TEST_F(WindowTest, LaterLayoutsRescaleTheRegionAndKeepTheirGdiObjectsFew) {
  layOut(810, 520);
  t->scrollRegion = RECT{0, 2 * 20, 800, 10 * 20};  // rows 2 .. 10
  const int objects = posix::testing::liveGdiObjects();
  layOut(405, 260);
  EXPECT_EQ(t->cellHeight, 10);
  EXPECT_EQ(t->scrollRegion.top, 2 * 10);
  EXPECT_EQ(t->scrollRegion.bottom, 10 * 10);
  for (int i = 0; i < 5; ++i) layOut(810 - i, 520);
  EXPECT_EQ(posix::testing::liveGdiObjects(), objects);
}

TEST_F(WindowTest, Vt100PaintWaitsForTheLayoutAfterAResize) {
  layOut(810, 520);
  putRow(100, "HELLO");
  resizeClient(820, 530);
  InvalidateRect(window_, nullptr, FALSE);
  posix::testing::pumpUntilIdle();
  EXPECT_EQ(screenRow(0).substr(0, 5), "     ");
  posix::testing::advanceClock(100);
  EXPECT_EQ(screenRow(0).substr(0, 5), "HELLO");
}

TEST_F(WindowTest, PaintDrawsThePageInViewWhateverTheDirtyCells) {
  layOut(810, 520);
  putRow(100, "LIVE");
  InvalidateRect(window_, nullptr, TRUE);
  posix::testing::pumpUntilIdle();
  EXPECT_EQ(screenRow(0).substr(0, 4), "LIVE");
  t->terminalMode = 15;  // the 3270 screen is drawn whole
  putText(*t, 0, "ABC");
  InvalidateRect(window_, nullptr, TRUE);
  posix::testing::pumpUntilIdle();
  EXPECT_EQ(screenRow(0).substr(0, 3), "ABC");
}

TEST_F(WindowTest, ScrollBarMovesTheViewThroughTheHistory) {
  layOut(810, 520);
  for (int row = 0; row < 125; ++row) {
    char text[8];
    std::snprintf(text, sizeof text, "R%03d", row);
    putRow(row, text);
  }
  struct Case {
    const char* name;
    int from;
    WPARAM request;
    int to;
  } cases[] = {
      {"page down near the end", 95, SB_PAGEDOWN, 100},
      {"page up", 100, SB_PAGEUP, 75},
      {"line up", 100, SB_LINEUP, 99},
      {"line down at the end", 100, SB_LINEDOWN, 100},
      {"line down", 40, SB_LINEDOWN, 41},
      {"thumb past the end", 10, MAKEWPARAM(SB_THUMBPOSITION, 150), 100},
      {"thumb", 100, MAKEWPARAM(SB_THUMBPOSITION, 7), 7},
      {"end of scroll", 30, SB_ENDSCROLL, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SendMessageA(window_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, c.from), 0);
    ASSERT_EQ(t->nvtViewTop, c.from);
    SendMessageA(window_, WM_VSCROLL, c.request, 0);
    EXPECT_EQ(t->nvtViewTop, c.to);
    EXPECT_EQ(GetScrollPos(window_, SB_VERT), c.to);
    char top[8], last[8];
    std::snprintf(top, sizeof top, "R%03d", c.to);
    std::snprintf(last, sizeof last, "R%03d", c.to + 24);
    EXPECT_EQ(screenRow(0).substr(0, 4), top);
    EXPECT_EQ(screenRow(24).substr(0, 4), last);
  }
}

TEST_F(WindowTest, LineUpAtTheTopDrawsNothing) {
  layOut(810, 520);
  SendMessageA(window_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
  putRow(0, "NEW");  // changed in the buffer, not yet drawn
  SendMessageA(window_, WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(t->nvtViewTop, 0);
  EXPECT_EQ(screenRow(0).substr(0, 3), "   ");
}

TEST_F(WindowTest, FocusGivesTheWindowACellSizedCaretAtTheCursor) {
  layOut(810, 520);
  SetFocus(nullptr);
  EXPECT_EQ(posix::caretState().owner, nullptr);
  t->cursorColumn = 5;
  t->cursorRow = 7;
  SetFocus(window_);
  posix::CaretState caret = posix::caretState();
  EXPECT_EQ(caret.owner, window_);
  EXPECT_EQ(caret.width, 10);
  EXPECT_EQ(caret.height, 20);
  EXPECT_EQ(caret.pos.x, 50);
  EXPECT_EQ(caret.pos.y, 140);
  EXPECT_TRUE(caret.visible);
  expectInvertingCellCaret();
  // Focus and layouts come and go; the shapes they made do not stay behind.
  const int objects = posix::testing::liveGdiObjects();
  for (int i = 0; i < 3; ++i) {
    SetFocus(nullptr);
    SetFocus(window_);
    layOut(726 + i, 476);
  }
  expectInvertingCellCaret();
  EXPECT_EQ(posix::testing::liveGdiObjects(), objects);
  SetFocus(nullptr);
  EXPECT_EQ(posix::caretState().owner, nullptr);
  EXPECT_EQ(posix::testing::liveGdiObjects(), objects - 1);  // the caret's shape is freed with it
}

// The caret belongs to the thread: a layout while a dialog's field has the focus
// must leave the field its caret where it is, and the window gets a caret of the
// new cell size back with the focus.
TEST_F(WindowTest, ALayoutWhileADialogHasTheFocusLeavesTheFieldItsCaret) {
  layOut(810, 520);
  SetFocus(window_);
  t->cursorColumn = 5;  // the window's caret would stand elsewhere than the field's
  t->cursorRow = 7;
  HWND field = nullptr;
  posix::CaretState before, during;
  posix::testing::setDialogHandler([&](HWND, const std::string&) {
    field = GetFocus();
    before = posix::caretState();
    resizeClient(726, 476);
    posix::testing::advanceClock(100);
    during = posix::caretState();
  });  // then cancelled
  SendMessageA(window_, WM_COMMAND, IDM_ESCAPE, 0);
  posix::testing::setDialogHandler(nullptr);
  ASSERT_NE(field, nullptr);
  EXPECT_NE(field, window_);
  EXPECT_EQ(t->cellHeight, 18);  // the layout did run
  EXPECT_EQ(during.owner, field);
  EXPECT_TRUE(during.visible);
  EXPECT_EQ(during.pos.x, before.pos.x);
  EXPECT_EQ(during.pos.y, before.pos.y);
  EXPECT_EQ(GetFocus(), window_);
  EXPECT_TRUE(posix::caretState().visible);
  EXPECT_EQ(posix::caretState().pos.x, 5 * t->cellWidth);
  EXPECT_EQ(posix::caretState().pos.y, 7 * t->cellHeight);
  expectInvertingCellCaret();
}

TEST_F(WindowTest, ClickMovesThe3270CursorWithinTheScreen) {
  layOut(810, 520);
  t->terminalMode = 15;
  layOutFields(*t, {{0, 0x60}, {6, 0x40}, {17, 0x60}});
  t->currentField = 2;
  struct Case {
    int column, row;
    int toColumn, toRow;
  } cases[] = {{12, 3, 12, 3}, {0, 0, 0, 0}, {79, 23, 79, 23}, {80, 24, 79, 23}, {200, 30, 79, 23}};
  for (const Case& c : cases) {
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, pointAt(c.column, c.row));
    EXPECT_EQ(t->cursorColumn, c.toColumn);
    EXPECT_EQ(t->cursorRow, c.toRow);
    EXPECT_EQ(t->cursorAddress, static_cast<uint32_t>(c.toRow * 80 + c.toColumn));
    EXPECT_EQ(posix::caretState().pos.x, c.toColumn * 10);
    SendMessageA(window_, WM_LBUTTONUP, 0, pointAt(1, 1));  // ignored in 3270 mode
    EXPECT_EQ(t->cursorColumn, c.toColumn);
  }
  EXPECT_EQ(t->currentField, 2);  // the keyboard's field stays
}

TEST_F(WindowTest, DoubleClickIsEnterOnInputAndTheSelectorPenOnProtectedFields) {
  layOut(810, 520);
  t->terminalMode = 15;
  layOutFields(*t, {{0, 0x60}, {6, 0x40}, {17, 0x60}});
  t->currentField = 2;
  t->cursorColumn = 9;
  t->cursorRow = 0;
  SendMessageA(window_, WM_CHAR, '\r', 1);
  const std::string enter = sent();
  EXPECT_EQ(enter.substr(0, 2), "7D");

  SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, pointAt(9, 0));
  EXPECT_EQ(sent(), enter);

  SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, pointAt(2, 0));  // protected field 0
  EXPECT_EQ(sent(), "7E 40 C2 FF EF");
  SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, pointAt(0, 1));  // position 80
  EXPECT_EQ(sent(), "7E C1 50 FF EF");
}

TEST_F(WindowTest, Vt100SelectionIsHighlightedWhenTheButtonIsReleased) {
  layOut(810, 520);
  putRow(101, "select me please");
  t->cursorColumn = 1;
  t->cursorRow = 20;
  SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, pointAt(7, 1));
  EXPECT_EQ(t->selecting, 1);
  EXPECT_EQ(t->selStartColumn, 7);
  EXPECT_EQ(t->selStartRow, 1);
  EXPECT_EQ(t->selEndColumn, 0);
  EXPECT_EQ(posix::caretState().pos.x, 70);
  SendMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON, pointAt(9, 1));
  EXPECT_EQ(cell(8, 1)->bg, t->backgroundColor);  // nothing shown while moving
  SendMessageA(window_, WM_LBUTTONUP, 0, pointAt(8, 1));
  EXPECT_EQ(t->selecting, 0);
  EXPECT_EQ(t->selEndColumn, 8);
  EXPECT_EQ(t->selEndRow, 1);
  EXPECT_EQ(cell(7, 1)->bg, t->protectedNormalColor);
  EXPECT_EQ(cell(8, 1)->bg, t->protectedNormalColor);
  EXPECT_EQ(cell(9, 1)->bg, t->backgroundColor);
  EXPECT_EQ(posix::caretState().pos.x, 10);  // back on the cursor
  EXPECT_EQ(posix::caretState().pos.y, 400);

  // The highlight stays with the cells until the host rewrites them.
  SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, pointAt(0, 3));
  EXPECT_EQ(cell(7, 1)->bg, t->protectedNormalColor);

  // Past the right edge of a wide window the selection stops at the spare column;
  // a double-click leaves the host's cursor alone.
  SendMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(1500, 30 * 20));
  EXPECT_EQ(t->selEndColumn, 80);
  EXPECT_EQ(t->selEndRow, 24);
  SendMessageA(window_, WM_LBUTTONDBLCLK, MK_LBUTTON, pointAt(30, 10));
  EXPECT_EQ(t->cursorColumn, 1);
  EXPECT_EQ(t->cursorRow, 20);
  EXPECT_EQ(sent(), "");
}

TEST_F(WindowTest, AltAndF10GoToTheEmulationAsF10) {
  layOut(810, 520);
  t->terminalMode = 15;
  layOutFields(*t, {{0, 0x60}, {6, 0x40}, {17, 0x60}});
  t->currentField = 2;
  t->cursorColumn = 9;
  EXPECT_EQ(SendMessageA(window_, WM_SYSCOMMAND, SC_KEYMENU, 0), 0);
  EXPECT_EQ(sent().substr(0, 2), "7A");
  t->terminalMode = 0;
  SendMessageA(window_, WM_SYSCOMMAND, SC_KEYMENU, 'f');
  EXPECT_EQ(sent(), "1B 5B 32 31 7E");
}

TEST_F(WindowTest, KeepAliveTypesLsAndFourReturnsEveryTenSeconds) {
  layOut(810, 520);
  SendMessageA(window_, WM_COMMAND, IDM_TIMER, 0);
  posix::testing::advanceClock(9999);
  EXPECT_EQ(sent(), "");
  posix::testing::advanceClock(1);
  EXPECT_EQ(sent(), "6C 73 0D 0D 0D 0D");
  posix::testing::advanceClock(10000);
  EXPECT_EQ(sent(), "6C 73 0D 0D 0D 0D");
  SendMessageA(window_, WM_COMMAND, IDM_TIMER, 0);
  posix::testing::advanceClock(20000);
  EXPECT_EQ(sent(), "");
}

TEST_F(WindowTest, CharacterWithRepeatCountZeroDoesNothingInEitherMode) {
  layOut(810, 520);
  for (int mode : {0, 15}) {
    SCOPED_TRACE(mode);
    t->terminalMode = mode;
    layOutFields(*t, {{0, 0x40}});
    t->currentField = 1;
    t->cursorColumn = 1;
    SendMessageA(window_, WM_CHAR, 'x', 0);
    SendMessageA(window_, WM_CHAR, '\r', 0);
    EXPECT_EQ(sent(), "");
    EXPECT_EQ(t->typedCount, 0);
  }
}

}  // namespace

// A window made, laid out, painted and destroyed again and again leaves no GDI
// object behind: fonts, brushes and DCs go with the window.
TEST_F(WindowTest, WindowsMadeAndDestroyedLeaveNoGdiObjects) {
  layOut(810, 520);
  DestroyWindow(window_);
  posix::testing::pumpUntilIdle();
  const int objects = posix::testing::liveGdiObjects();
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(ncTcpCreateSocketObj(&window_, nullptr, "Quillon", QUILLON_WINDOW_STYLE, nullptr), 0);
    t = terminal();
    layOut(700 + i, 500);
    SendMessageA(window_, WM_PAINT, 0, 0);
    DestroyWindow(window_);
    posix::testing::pumpUntilIdle();
    EXPECT_EQ(posix::testing::liveGdiObjects(), objects);
  }
  window_ = nullptr;
  t = nullptr;
}
