// The NVT buffer rows kept as a ring, and printable bytes placed in runs: what
// the screen, the history, the painted window and the cursor show must be what
// moving every row and placing every byte one by one would give.
#include <cstdio>
#include <string>
#include <vector>

#include "vt100/nvt_cells.h"
#include "vt100_fixture.h"

namespace {

class NvtRingTest : public Vt100Test {
 protected:
  // Lines "L0001" .. "L<n>", each ended by CR LF, in one parse.
  void feedLines(int first, int last) {
    std::string text;
    char line[16];
    for (int k = first; k <= last; ++k) {
      std::snprintf(line, sizeof line, "L%04d\r\n", k);
      text += line;
    }
    parse(text);
  }
  std::string bufferRowText(int bufferRow, int columns = 5) {
    return std::string(&t->nvtChars[t->NvtCellIndex(bufferRow, 0)], columns);
  }
  static std::string label(int k) {
    char line[16];
    std::snprintf(line, sizeof line, "L%04d", k);
    return line;
  }
};

// 300 lines scroll the 125 buffer rows round more than twice: every row, history
// included, holds the line it would hold had every row moved up each time.
TEST_F(NvtRingTest, HistoryAndScreenKeepTheirLinesInOrderAcrossManyTurns) {
  setRegionRows(0, 24);  // the whole screen scrolls
  setCursor(0, 0);
  feedLines(1, 300);
  ASSERT_EQ(t->cursorRow, 24);
  for (int b = 0; b < 124; ++b) EXPECT_EQ(bufferRowText(b), label(300 - 123 + b)) << "buffer row " << b;
  EXPECT_EQ(bufferRowText(124, 81), std::string(81, ' '));
}

// With the default region (rows 0 .. 23) the 25th row stays where it is while
// the rows above it scroll into the history.
TEST_F(NvtRingTest, RowBelowTheRegionStaysWhileTheRegionScrolls) {
  setRegionRows(0, 23);
  putRow(24, "STATUS");
  setCursor(0, 0);
  feedLines(1, 200);
  EXPECT_EQ(rowText(24, 6), "STATUS");
  EXPECT_EQ(cellAttr(24, 0), 0u);
  ASSERT_EQ(t->cursorRow, 23);
  // Screen row 22 has the last line, row 23 is the blank cursor row.
  for (int b = 0; b <= kLive + 22; ++b) EXPECT_EQ(bufferRowText(b), label(200 - (kLive + 22) + b)) << b;
  EXPECT_EQ(rowText(23, 81), std::string(81, ' '));
}

// Readers go through the ring: the history scrolled into view is painted from
// the right rows, and a new layout stores the rows in order again.
TEST_F(NvtRingTest, PaintingTheHistoryAndANewLayoutReadThroughTheRing) {
  setRegionRows(0, 24);
  setCursor(0, 0);
  feedLines(1, 161);  // an odd number of turns, so the ring does not start at 0
  ASSERT_NE(t->nvtRingTop, 0);
  // View the oldest history row at the top of the window.
  t->nvtViewTop = 0;
  t->PaintNVTScreen(window_, t->cellWidth, t->cellHeight);
#ifndef _WIN32
  for (int r = 0; r < 25; ++r) EXPECT_EQ(posix::testing::rowText(window_, r, 5), label(161 - 123 + r)) << r;
#endif

  SendMessageA(window_, WM_LAYOUT, 0, 0);
  EXPECT_EQ(t->nvtRingTop, 0);
  for (int b = 0; b < 124; ++b) {
    EXPECT_EQ(std::string(t->nvtChars + b * 81, 5), label(161 - 123 + b)) << "stored row " << b;
  }
}

// Printable bytes in one parse are placed in runs; the same bytes given to
// ncTcpInsertNVTChar one at a time must leave the same cells, attributes
// (changed bits included) and cursor, in replace and insert mode, with the
// line-drawing set, inside tilde-brace shifting and up to the column limit.
TEST_F(NvtRingTest, RunsPlaceBytesAsOneByOneInsertionDoes) {
  struct Case {
    const char* what;
    std::string bytes;
    int column;
    int replaceMode;
    uint32_t attribute;
    int hz;
  } cases[] = {
      {"replace mode", "hello, world", 3, 1, kAttrBold, 0},
      {"insert mode", "abc def", 10, 0, kAttrReverse, 0},
      {"line-drawing set keeps its bit on glyphs only", "lqqk x ABC`az{", 0, 1, kAttrLineDrawing | kAttrBlink, 0},
      {"past the spare column", "0123456789", 75, 1, 0, 0},
      {"insert mode past the spare column", "0123456789", 76, 0, kAttrUnderline, 0},
      {"at the column limit", "xyz", kNvtCursorColumnLimit - 1, 1, 0, 0},
      {"tilde-brace shifted", "ab~cd", 5, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto prepare = [&] {
      for (int r = 0; r < 25; ++r) putRow(r, std::string(81, static_cast<char>('A' + r)));
      for (int i = 0; i < kNvtBufferCells; ++i) t->nvtAttributes[i] = kAttrDim;
      setCursor(7, c.column);
      t->replaceMode = c.replaceMode;
      t->nvtCurrentAttribute = c.attribute;
      t->repaintPending = 1;
      hzState = c.hz;
    };
    prepare();
    // A "~" not followed by a brace goes through the tilde pass, not a run.
    parse(c.bytes);
    const std::string runChars(&t->nvtChars[t->NvtCellIndex(kLive + 7, 0)], 81);
    const std::vector<uint32_t> runAttributes(&t->nvtAttributes[t->NvtCellIndex(kLive + 7, 0)],
                                              &t->nvtAttributes[t->NvtCellIndex(kLive + 7, 0)] + 81);
    const int runColumn = t->cursorColumn, runRow = t->cursorRow;

    prepare();
    for (unsigned char b : c.bytes) ncTcpInsertNVTChar(window_, c.hz == 1 ? static_cast<unsigned char>(b | 0x80) : b);
    EXPECT_EQ(std::string(&t->nvtChars[t->NvtCellIndex(kLive + 7, 0)], 81), runChars);
    for (int col = 0; col < 81; ++col)
      EXPECT_EQ(t->nvtAttributes[t->NvtCellIndex(kLive + 7, col)], runAttributes[col]) << "column " << col;
    EXPECT_EQ(t->cursorColumn, runColumn);
    EXPECT_EQ(t->cursorRow, runRow);
    EXPECT_EQ(rowText(6, 81), std::string(81, 'G'));  // the rows around stay
    EXPECT_EQ(rowText(8, 81), std::string(81, 'I'));
  }
}

#ifndef _WIN32
// Drawn at once (no repaint due, as for a single typed echo): a run draws each
// byte where one-by-one insertion draws it, and the window shows the same.
TEST_F(NvtRingTest, RunsDrawnAtOnceShowWhatOneByOneInsertionShows) {
  for (uint32_t attribute : {0u, kAttrReverse, kAttrLineDrawing}) {
    SCOPED_TRACE(attribute);
    auto prepare = [&] {
      for (int r = 0; r < 25; ++r) putRow(r, std::string(81, '.'));
      t->PaintNVTScreen(window_, t->cellWidth, t->cellHeight);
      t->deviceContext = GetDC(window_);
      setCursor(3, 70);
      t->replaceMode = 1;
      t->nvtCurrentAttribute = attribute;
      t->repaintPending = 0;
    };
    const std::string bytes = "lqk abc xyz";
    prepare();
    parse(bytes);
    std::vector<std::string> runRows;
    for (int r = 0; r < 25; ++r) runRows.push_back(posix::testing::rowText(window_, r, 84));
    prepare();
    for (unsigned char b : bytes) ncTcpInsertNVTChar(window_, b);
    for (int r = 0; r < 25; ++r) EXPECT_EQ(posix::testing::rowText(window_, r, 84), runRows[r]) << "row " << r;
    // (The line-drawing font may be wider than a cell; then its glyphs land elsewhere.)
    if (attribute != kAttrLineDrawing) {
      EXPECT_EQ(runRows[3].substr(70, 13), "lqk abc xyz  ");
    }
  }
}
#endif

// Parameters of digits and ";" alone are read on the way to the final byte;
// the results must be those of the full parameter scan, at its limits too.
TEST_F(NvtRingTest, NumericParametersReadOnTheWayMatchTheFullScan) {
  std::string many = "\x1b[";
  for (int i = 0; i < 78; ++i) many += "0;";  // 79 numbers, then the 80th
  struct Case {
    std::string bytes;
    int row, column;
  } cases[] = {
      {"\x1b[5;7H", 4, 6},
      {"\x1b[;7H", 0, 6},
      {"\x1b[5;H", 4, 0},
      {"\x1b[99999999999999;3H", 24, 2},  // saturates, then clamps
      {"\x1b[2147483647;2147483648H", 24, 80},
      {many + "3;9H", 9, 9},                          // 80 numbers: not a two-number H
      {many + "9H", 9, 9},                            // 79 numbers
      {"\x1b[?5;7H", 9, 9},                           // a private marker: no H form
      {"\x1b[5;7;H", 9, 9},                           // three entries
      {"\x1b[3B", 12, 9},
      {"\x1b[0C", 9, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.substr(1, 40));
    setCursor(9, 9);
    parse(c.bytes);
    EXPECT_EQ(t->cursorRow, c.row);
    EXPECT_EQ(t->cursorColumn, c.column);
  }
  // SGR: the last of 80 numbers counts, of 81 nothing does.
  t->nvtCurrentAttribute = 0;
  parse(many + "0;1m");
  EXPECT_EQ(t->nvtCurrentAttribute, kAttrBold);
  t->nvtCurrentAttribute = 0;
  parse(many + "0;0;1m");
  EXPECT_EQ(t->nvtCurrentAttribute, 0u);
}

}  // namespace
