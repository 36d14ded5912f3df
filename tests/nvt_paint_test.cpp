// Painting the VT100 screen into the window's cell grid: colours and fonts per
// attribute, the spare column, the blanking below, the changed bit, tilde-brace
// rows, history views, and the highlight of a selection.
#include <climits>
#include <string>

#include "harness.h"
#include "vt100/nvt_screen.h"

namespace {

constexpr COLORREF kBackground = RGB(1, 0, 0);
constexpr COLORREF kNormal = RGB(2, 0, 0);
constexpr COLORREF kInputHigh = RGB(3, 0, 0);
constexpr COLORREF kProtectedHigh = RGB(4, 0, 0);

class NvtPaintTest : public NvtLayoutTest {
 protected:
  void SetUp() override {
    NvtLayoutTest::SetUp();
    if (HasFatalFailure()) return;
    t->backgroundColor = kBackground;
    t->protectedNormalColor = kNormal;
    t->unprotectedHighLightColor = kInputHigh;
    t->protectedHighLightColor = kProtectedHigh;
  }

  void paint() { t->PaintNVTScreen(window_, t->cellWidth, t->cellHeight); }
  char& bufChar(int bufferRow, int column) { return t->nvtChars[t->NvtCellIndex(bufferRow, column)]; }
  uint32_t& bufAttr(int bufferRow, int column) { return t->nvtAttributes[t->NvtCellIndex(bufferRow, column)]; }
  // Writes text into a buffer row from a column, every cell with the attribute.
  void put(int bufferRow, int column, const std::string& text, uint32_t attribute = 0) {
    for (size_t i = 0; i < text.size(); ++i) {
      bufChar(bufferRow, column + static_cast<int>(i)) = text[i];
      bufAttr(bufferRow, column + static_cast<int>(i)) = attribute;
    }
  }
  const posix::Cell& cell(int column, int row) {
    const posix::Cell* c = posix::testing::grid(window_)->at(column, row);
    EXPECT_NE(c, nullptr) << column << "," << row;
    static const posix::Cell none;
    return c ? *c : none;
  }
  std::string screenText(int row, int columns = 80) { return posix::testing::rowText(window_, row, columns); }
  void expectColours(int column, int row, COLORREF bg, COLORREF fg) {
    EXPECT_EQ(cell(column, row).bg, bg) << "column " << column << " row " << row;
    EXPECT_EQ(cell(column, row).fg, fg) << "column " << column << " row " << row;
  }

};

TEST_F(NvtPaintTest, ColoursFollowSelectedAndBlinkOrReverseOnly) {
  struct Case {
    uint32_t attribute;
    COLORREF bg, fg;
  } cases[] = {
      {0, kBackground, kNormal},
      {kAttrReverse, kInputHigh, kProtectedHigh},
      {kAttrBlink, kInputHigh, kProtectedHigh},
      {kAttrBlink | kAttrReverse, kInputHigh, kProtectedHigh},
      {kAttrSelected, kNormal, kBackground},
      {kAttrSelected | kAttrReverse, kProtectedHigh, kInputHigh},
      {kAttrSelected | kAttrBlink, kProtectedHigh, kInputHigh},
      // Bold, dim, underline, hidden and the colour bits do not change the drawing.
      {kAttrBold | kAttrDim | kAttrUnderline | kAttrHidden | 0x40 | 0x8000 | kAttrDefaultForeground |
           kAttrDefaultBackground,
       kBackground, kNormal},
      {kAttrChanged | kAttrReverse | 0x2000, kInputHigh, kProtectedHigh},
  };
  int column = 0;
  for (const Case& c : cases) put(kLive + 2, column++, "Q", c.attribute);
  paint();
  column = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "attribute 0x" << std::hex << c.attribute);
    EXPECT_EQ(cell(column, 2).ch, 'Q');
    EXPECT_EQ(cell(column, 2).charset, ANSI_CHARSET);
    expectColours(column++, 2, c.bg, c.fg);
  }
}

TEST_F(NvtPaintTest, RunsOfPlainReverseAndLineDrawingCellsEachInTheirOwnLook) {
  put(kLive + 5, 0, "ab", 0);
  put(kLive + 5, 2, "qx", kAttrLineDrawing);
  put(kLive + 5, 4, "cd", kAttrReverse);
  put(kLive + 5, 6, "lk", kAttrLineDrawing | kAttrReverse | kAttrSelected);
  put(kLive + 5, 8, "e", 0);
  paint();
  EXPECT_EQ(screenText(5, 10), "abqxcdlke ");
  struct Expect {
    int column;
    BYTE charset;
    COLORREF bg, fg;
  } expected[] = {
      {0, ANSI_CHARSET, kBackground, kNormal},     {1, ANSI_CHARSET, kBackground, kNormal},
      {2, OEM_CHARSET, kBackground, kNormal},      {3, OEM_CHARSET, kBackground, kNormal},
      {4, ANSI_CHARSET, kInputHigh, kProtectedHigh}, {5, ANSI_CHARSET, kInputHigh, kProtectedHigh},
      {6, OEM_CHARSET, kProtectedHigh, kInputHigh},  {7, OEM_CHARSET, kProtectedHigh, kInputHigh},
      {8, ANSI_CHARSET, kBackground, kNormal},
  };
  for (const Expect& e : expected) {
    EXPECT_EQ(cell(e.column, 5).charset, e.charset) << "column " << e.column;
    expectColours(e.column, 5, e.bg, e.fg);
  }
}

TEST_F(NvtPaintTest, EveryScreenRowIsDrawnAndTheSpareColumnNever) {
  for (int r = 0; r < 25; ++r) {
    put(kLive + r, 0, std::string(80, static_cast<char>('A' + r)));
    put(kLive + r, 80, "X", kAttrReverse);
  }
  paint();
  for (int r = 0; r < 25; ++r) {
    EXPECT_EQ(screenText(r), std::string(80, static_cast<char>('A' + r))) << "row " << r;
    // Column 80 is either not in the grid at all or not drawn from the buffer.
    if (const posix::Cell* spare = posix::testing::grid(window_)->at(80, r)) {
      EXPECT_NE(spare->ch, 'X') << "row " << r;
      EXPECT_NE(spare->bg, kInputHigh) << "row " << r;
    }
  }
}

TEST_F(NvtPaintTest, RowsBelowTheScreenAreBlankedInThePlainColours) {
  // The last screen row and the row after it end in highlighted runs.
  for (int b = 0; b < 125; ++b) put(b, 70, std::string(11, 'R'), kAttrReverse | kAttrSelected);
  // A window tall enough to show all of them (rows that start below the
  // window are not drawn: Windows would clip them).
  ASSERT_TRUE(MoveWindow(window_, 0, 0, 82 * cw, 53 * ch, FALSE));
  for (int viewTop : {kLive, 50}) {
    SCOPED_TRACE(viewTop);
    // Something already stands below the screen.
    HDC dc = GetDC(window_);
    SelectObject(dc, t->lineDrawFont);
    SetBkColor(dc, RGB(9, 9, 9));
    for (int r = 25; r <= 50; ++r) TextOutA(dc, 0, r * t->cellHeight, std::string(140, 'Z').c_str(), 140);
    ReleaseDC(window_, dc);

    t->nvtViewTop = viewTop;
    paint();
    for (int r = 25; r <= 50; ++r) {
      EXPECT_EQ(screenText(r, 140), std::string(140, ' ')) << "row " << r;
      for (int c : {0, 79, 80, 139}) {
        expectColours(c, r, kBackground, kNormal);
        EXPECT_EQ(cell(c, r).charset, ANSI_CHARSET);
      }
    }
  }
}

TEST_F(NvtPaintTest, ClearsTheChangedBitOfEveryCellDrawnAndKeepsTheOtherBits) {
  for (int r = kLive; r < kLive + 25; ++r)
    for (int c = 0; c < 81; ++c) bufAttr(r, c) = kAttrChanged | kAttrBold | (c % 2 ? kAttrReverse : 0);
  bufAttr(kLive - 1, 5) = kAttrChanged;  // a history row out of view
  paint();
  for (int r = kLive; r < kLive + 25; ++r)
    for (int c = 0; c < 80; ++c)
      ASSERT_EQ(bufAttr(r, c), kAttrBold | (c % 2 ? kAttrReverse : 0)) << "row " << r << " column " << c;
  EXPECT_EQ(bufAttr(kLive - 1, 5), kAttrChanged);
}

TEST_F(NvtPaintTest, CellsDifferingOnlyInTheChangedBitLookTheSame) {
  put(kLive, 0, "ab", kAttrReverse | kAttrChanged);
  put(kLive, 2, "cd", kAttrReverse);
  paint();
  EXPECT_EQ(screenText(0, 4), "abcd");
  for (int c = 0; c < 4; ++c) expectColours(c, 0, kInputHigh, kProtectedHigh);
}

TEST_F(NvtPaintTest, TildeBraceRowsAreShiftedIntoTheUpperHalfOnceAndForAll) {
  put(kLive + 3, 0, "x~{ab~}c");
  put(kLive + 4, 0, "de~{f");  // GB to the end of its row...
  put(kLive + 5, 0, "gh");      // ...but never into the next one
  paint();

  const std::string expected3 = std::string("x~{") + '\xE1' + '\xE2' + "~}c";
  EXPECT_EQ(std::string(&bufChar(kLive + 3, 0), 8), expected3);
  EXPECT_EQ(screenText(3, 8), expected3);
  EXPECT_EQ(std::string(&bufChar(kLive + 4, 0), 6), std::string("de~{") + '\xE6' + '\xA0');
  EXPECT_EQ(std::string(&bufChar(kLive + 5, 0), 2), "gh");

  // A second repaint finds the cells already shifted and leaves them so.
  paint();
  EXPECT_EQ(std::string(&bufChar(kLive + 3, 0), 8), expected3);
  EXPECT_EQ(screenText(3, 8), expected3);
}

TEST_F(NvtPaintTest, AViewScrolledIntoTheHistoryShowsThoseRows) {
  for (int b = 0; b < 125; ++b) put(b, 0, "row" + std::to_string(b));
  struct Case {
    int viewTop, expectedTop;
  } cases[] = {{40, 40}, {0, 0}, {100, 100}, {101, 100}, {INT_MAX, 100}, {-7, 0}, {INT_MIN, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.viewTop);
    t->nvtViewTop = c.viewTop;
    paint();
    EXPECT_EQ(t->nvtViewTop, c.expectedTop);
    EXPECT_EQ(screenText(0, 6), ("row" + std::to_string(c.expectedTop) + "   ").substr(0, 6));
    EXPECT_EQ(screenText(24, 6), ("row" + std::to_string(c.expectedTop + 24) + "   ").substr(0, 6));
  }
}

TEST_F(NvtPaintTest, GeometryBeforeTheLayoutAndHostileValuesStayInsideTheBuffers) {
  struct Case {
    int rows, columns, viewTop;
  } cases[] = {
      {24, 81, 96},          {24, 81, 1000},        {25, 81, 100},  {0, 81, 0},         {-3, -3, -3},
      {1000, 81, 4000},      {25, 5000, 100},       {INT_MAX, INT_MAX, INT_MAX},   {INT_MIN, INT_MIN, INT_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << " x " << c.columns << " from " << c.viewTop);
    t->nvtRows = c.rows;
    t->nvtColumns = c.columns;
    t->nvtViewTop = c.viewTop;
    paint();
    t->PaintNVTScreenClip(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_GE(t->nvtViewTop, 0);
    EXPECT_LE(t->nvtViewTop, 4 * kNvtMaxRows);
  }
  // With 24 rows the live screen starts at buffer row 96.
  t->nvtRows = 24;
  t->nvtColumns = 81;
  t->nvtViewTop = 96;
  put(96, 0, "top");
  put(119, 0, "bottom");
  paint();
  EXPECT_EQ(screenText(0, 3), "top");
  EXPECT_EQ(screenText(23, 6), "bottom");
}

TEST_F(NvtPaintTest, HighlightedSelectionCellsTakeTheSelectedColours) {
  put(kLive + 1, 0, std::string(80, 'p'));
  put(kLive + 2, 0, std::string(80, 'q'));
  put(kLive + 3, 0, std::string(80, 'r'));
  put(kLive + 2, 20, "RV", kAttrReverse);
  put(kLive + 2, 30, "ld", kAttrLineDrawing);
  bufChar(kLive + 2, 40) = '\0';
  paint();

  // Dragged from row 3 column 10 up to row 1 column 5.
  t->PaintNVTScreenClip(10, 3, 5, 1);

  for (int r = 0; r < 25; ++r)
    for (int c = 0; c < 81; ++c) {
      const int index = r * 81 + c;
      const bool inside = index >= 1 * 81 + 5 && index <= 3 * 81 + 10;
      ASSERT_EQ((bufAttr(kLive + r, c) & kAttrSelected) != 0, inside) << "row " << r << " column " << c;
    }
  expectColours(4, 1, kBackground, kNormal);  // before the selection
  expectColours(5, 1, kNormal, kBackground);
  expectColours(0, 2, kNormal, kBackground);
  expectColours(20, 2, kProtectedHigh, kInputHigh);
  expectColours(21, 2, kProtectedHigh, kInputHigh);
  expectColours(10, 3, kNormal, kBackground);
  expectColours(11, 3, kBackground, kNormal);  // after it
  // Line-drawing cells are highlighted in the text font; a NUL shows as a blank.
  EXPECT_EQ(cell(30, 2).ch, 'l');
  EXPECT_EQ(cell(30, 2).charset, ANSI_CHARSET);
  EXPECT_EQ(cell(40, 2).ch, ' ');
  // The spare column of a crossed row shows the highlight of its line end.
  expectColours(80, 1, kNormal, kBackground);

  // A later repaint, for example after scrolling, keeps showing the highlight.
  t->nvtViewTop = 99;
  paint();
  t->nvtViewTop = kLive;
  paint();
  expectColours(5, 1, kNormal, kBackground);
  expectColours(20, 2, kProtectedHigh, kInputHigh);
  EXPECT_EQ(cell(30, 2).charset, OEM_CHARSET);
  expectColours(11, 3, kBackground, kNormal);
}

TEST_F(NvtPaintTest, HighlightAddressesTheRowsInViewAndOnlyThose) {
  t->nvtViewTop = 10;
  t->PaintNVTScreenClip(0, 0, 80, 0);
  for (int c = 0; c < 81; ++c) EXPECT_NE(bufAttr(10, c) & kAttrSelected, 0u);
  EXPECT_EQ(bufAttr(9, 80) & kAttrSelected, 0u);
  EXPECT_EQ(bufAttr(11, 0) & kAttrSelected, 0u);

  // Corners far outside the window cover the screen in view and nothing more.
  t->nvtViewTop = kLive;
  t->PaintNVTScreenClip(-5, -5, 1000, 1000);
  for (int b = 0; b < 125; ++b) {
    const bool inView = b >= kLive || b == 10;
    for (int c = 0; c < 81; ++c)
      ASSERT_EQ((bufAttr(b, c) & kAttrSelected) != 0, inView) << "buffer row " << b << " column " << c;
  }
}

}  // namespace
