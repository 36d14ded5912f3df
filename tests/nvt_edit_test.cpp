// NVT screen operations: line feed, index and reverse index with the region
// and the history, insert and delete lines, erase ranges, delete characters,
// saved cursor, the scrolling region, and a sweep of hostile values.
#include <climits>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "nvt_fixture.h"
#include "vt100/nvt_cells.h"

namespace {

constexpr int L = NvtScreenTest::kLive;

struct RowCase {
  const char* name;
  int top, bottom;  // margin rows
  int row, column;  // cursor
  std::function<void(CommTcp*)> op;
  int expectedRow;
  std::vector<NvtScreenTest::RowChange> changes;
};

void lineFeed(CommTcp* t) { t->NvtLineFeed(); }
void indexDown(CommTcp* t) { t->NvtIndex(); }
void reverseIndex(CommTcp* t) { t->NvtReverseIndex(); }
std::function<void(CommTcp*)> insertLines(int n) {
  return [n](CommTcp* t) { t->NvtInsertLines(n); };
}
std::function<void(CommTcp*)> deleteLines(int n) {
  return [n](CommTcp* t) { t->NvtDeleteLines(n); };
}

const RowCase kRowCases[] = {
    // Line feed and index.
    {"LF at the bottom of the default region: top line enters the history", 0, 24, 24, 0, lineFeed, 24,
     {{0, L + 23, 1}, {L + 24, L + 24, -1}}},
    {"LF at the bottom of region 5..20", 5, 20, 20, 0, lineFeed, 20, {{L + 5, L + 19, L + 6}, {L + 20, L + 20, -1}}},
    {"LF on row 24 below region 0..23 scrolls the whole buffer", 0, 23, 24, 0, lineFeed, 24,
     {{0, L + 23, 1}, {L + 24, L + 24, -1}}},
    {"LF on row 22 with bottom margin 23 only moves", 0, 23, 22, 0, lineFeed, 23, {}},
    {"LF at bottom margin 23 keeps row 24", 0, 23, 23, 0, lineFeed, 23, {{0, L + 22, 1}, {L + 23, L + 23, -1}}},
    {"LF above the region only moves", 5, 20, 2, 0, lineFeed, 3, {}},
    {"LF below the region only moves", 5, 20, 22, 0, lineFeed, 23, {}},
    {"LF on the last row below region 5..20 scrolls the whole buffer", 5, 20, 24, 0, lineFeed, 24,
     {{0, L + 23, 1}, {L + 24, L + 24, -1}}},
    {"index at the bottom of region 5..20", 5, 20, 20, 0, indexDown, 20, {{L + 5, L + 19, L + 6}, {L + 20, L + 20, -1}}},
    // Reverse index.
    {"reverse index at top margin 5", 5, 20, 5, 0, reverseIndex, 5, {{L + 6, L + 20, L + 5}, {L + 5, L + 5, -1}}},
    {"reverse index at the top of the default region", 0, 24, 0, 0, reverseIndex, 0,
     {{L + 1, L + 24, L}, {L, L, -1}}},
    {"reverse index inside the region only moves", 5, 20, 12, 0, reverseIndex, 11, {}},
    {"reverse index on row 0 above the region stays", 5, 20, 0, 0, reverseIndex, 0, {}},
    // Insert and delete lines.
    {"insert 3 lines at row 10", 0, 23, 10, 0, insertLines(3), 10, {{L + 13, L + 23, L + 10}, {L + 10, L + 12, -1}}},
    {"inserted lines are blank over the whole width", 0, 23, 10, 7, insertLines(3), 10,
     {{L + 13, L + 23, L + 10}, {L + 10, L + 12, -1}}},
    {"insert 0 lines means 1", 0, 23, 10, 0, insertLines(0), 10, {{L + 11, L + 23, L + 10}, {L + 10, L + 10, -1}}},
    {"insert more lines than the region holds", 0, 23, 10, 0, insertLines(INT_MAX), 10, {{L + 10, L + 23, -1}}},
    {"insert lines near the bottom of region 5..20", 5, 20, 18, 0, insertLines(5), 18, {{L + 18, L + 20, -1}}},
    {"delete 3 lines at row 10", 0, 23, 10, 0, deleteLines(3), 10, {{L + 10, L + 20, L + 13}, {L + 21, L + 23, -1}}},
    {"delete 0 lines means 1", 0, 23, 10, 0, deleteLines(0), 10, {{L + 10, L + 22, L + 11}, {L + 23, L + 23, -1}}},
    {"delete more lines than the region holds", 0, 23, 10, 0, deleteLines(INT_MAX), 10, {{L + 10, L + 23, -1}}},
    {"delete lines below the region does nothing", 0, 23, 24, 0, deleteLines(2), 24, {}},
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

class NvtRowTest : public NvtScreenTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(NvtRowTest, MovesTheExpectedRows) {
  const RowCase& c = GetParam();
  labelRows();
  setRegionRows(c.top, c.bottom);
  t->cursorRow = c.row;
  t->cursorColumn = c.column;
  c.op(t);
  EXPECT_EQ(t->cursorRow, c.expectedRow);
  expectRows(c.changes);
  if (!c.changes.empty()) {
    EXPECT_EQ(t->repaintPending, 1) << "moved rows are shown by the repaint";
  }
}

INSTANTIATE_TEST_SUITE_P(NvtRowCases, NvtRowTest, ::testing::ValuesIn(kRowCases));

// What was drawn is read from the headless display's grid: those checks run on POSIX.
#ifndef _WIN32
TEST_F(NvtScreenTest, ReverseIndexDrawsTheOpenedLineBlank) {
  markWindow();
  setRegionRows(5, 20);
  t->cursorRow = 5;
  t->NvtReverseIndex();
  t->Present();
  for (int c = 0; c < 81; ++c) {
    EXPECT_EQ(gridCell(c, 5)->ch, ' ') << c;
    EXPECT_EQ(gridCell(c, 5)->bg, t->backgroundColor);
    EXPECT_EQ(gridCell(c, 6)->ch, '#') << "moved rows wait for the repaint";
  }
}
#endif

TEST_F(NvtScreenTest, LineFeedHonoursNewLineModeAndIndexDoesNot) {
  t->newLineMode = 1;
  t->cursorRow = 3;
  t->cursorColumn = 40;
  t->NvtIndex();
  EXPECT_EQ(t->cursorColumn, 40);
  t->NvtLineFeed();
  EXPECT_EQ(t->cursorColumn, 0);
  EXPECT_EQ(t->cursorRow, 5);
}

// Erase ranges with the cursor on row 5, column 10.
struct EraseCase {
  const char* name;
  int range;
  int column;
  std::function<bool(int row, int column)> cleared;
};

const EraseCase kEraseCases[] = {
    {"to end of line", kEraseToEndOfLine, 10, [](int r, int c) { return r == 5 && c >= 10; }},
    {"to end of line past the row", kEraseToEndOfLine, 82, [](int, int) { return false; }},
    {"to start of line", kEraseToStartOfLine, 10, [](int r, int c) { return r == 5 && c <= 10; }},
    {"to start of line past the row", kEraseToStartOfLine, 82, [](int r, int) { return r == 5; }},
    {"line", kEraseLine, 10, [](int r, int) { return r == 5; }},
    {"below", kEraseBelow, 10, [](int r, int c) { return (r == 5 && c >= 10) || r > 5; }},
    {"above", kEraseAbove, 10, [](int r, int) { return r < 5; }},
    {"screen", kEraseScreen, 10, [](int, int) { return true; }},
    {"rows from cursor", kEraseRowsFromCursor, 10, [](int r, int) { return r >= 5; }},
    {"unknown range", 99, 10, [](int, int) { return false; }},
};

void PrintTo(const EraseCase& c, std::ostream* os) { *os << c.name; }

class NvtEraseTest : public NvtScreenTest, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(NvtEraseTest, ClearsAndDrawsExactlyTheRange) {
  const EraseCase& e = GetParam();
  labelRows();
  markWindow();
  t->cursorRow = 5;
  t->cursorColumn = e.column;
  t->NvtErase(e.range);
  t->Present();
  for (int r = 0; r < 25; ++r) {
    for (int c = 0; c < 81; ++c) {
      const bool cleared = e.cleared(r, c);
      const bool erased = cellChar(L + r, c) == ' ' && cellAttr(L + r, c) == kErasedAttribute;
      ASSERT_EQ(erased, cleared) << e.name << " row " << r << " column " << c;
#ifndef _WIN32
      ASSERT_EQ(gridCell(c, r)->ch, cleared ? ' ' : '#') << e.name << " drawn row " << r << " column " << c;
      if (cleared) {
        ASSERT_EQ(gridCell(c, r)->bg, t->backgroundColor);
        ASSERT_EQ(gridCell(c, r)->fg, t->protectedNormalColor);
      }
#endif
    }
  }
  for (int b = 0; b < L; ++b) ASSERT_EQ(labelOf(b), b) << "history row " << b;
  EXPECT_EQ(t->cursorRow, 5);
  EXPECT_EQ(t->cursorColumn, e.column);
}

#ifndef _WIN32
TEST_P(NvtEraseTest, DrawsNothingWhileARepaintIsDue) {
  const EraseCase& e = GetParam();
  markWindow();
  t->repaintPending = 1;
  t->cursorRow = 5;
  t->cursorColumn = e.column;
  t->NvtErase(e.range);
  t->Present();
  for (int r = 0; r < 25; ++r)
    for (int c = 0; c < 81; ++c) ASSERT_EQ(gridCell(c, r)->ch, '#') << e.name;
}
#endif

INSTANTIATE_TEST_SUITE_P(NvtEraseRanges, NvtEraseTest, ::testing::ValuesIn(kEraseCases));

TEST_F(NvtScreenTest, EraseRowsFromCursorInvalidatesTheWindow) {
  ValidateRect(window_, nullptr);
  t->NvtErase(kEraseRowsFromCursor);
  EXPECT_TRUE(GetUpdateRect(window_, nullptr, FALSE));
}

TEST_F(NvtScreenTest, WhileScrolledBackOperationsChangeTheLiveScreenAndDrawNothing) {
  labelRows();
  markWindow();
  t->nvtViewTop = 40;
  t->cursorRow = 3;
  t->NvtErase(kEraseScreen);
  t->NvtReverseIndex();
  for (int b = 0; b < L; ++b) ASSERT_EQ(labelOf(b), b) << "history row " << b;
  for (int r = 0; r < 25; ++r) ASSERT_TRUE(rowIsErased(L + r)) << r;
#ifndef _WIN32
  for (int r = 0; r < 25; ++r) ASSERT_EQ(gridCell(0, r)->ch, '#') << "the window shows the history";
#endif
  EXPECT_EQ(t->nvtViewTop, 40);
}

TEST_F(NvtScreenTest, DeleteCharactersClampsToTheRightLimitAndSparesTheSpareColumn) {
  struct Case {
    int column, count, shift;  // shift: the effective count
  } cases[] = {{10, 3, 3}, {10, 0, 1}, {10, -7, 1}, {10, 1000, 70}, {0, INT_MAX, 80},
               {79, 5, 1}, {80, 1, 0},  {200, 1, 0}, {-4, 2, 2}};
  for (const Case& c : cases) {
    std::string row;
    for (int i = 0; i < 80; ++i) row += static_cast<char>('0' + i % 10);
    row += '*';
    for (int i = 0; i < 81; ++i) {
      cellChar(L + 4, i) = row[i];
      cellAttr(L + 4, i) = kAttrReverse;
    }
    const std::string row5 = screenRowText(5);
    t->cursorRow = 4;
    t->cursorColumn = c.column;
    t->NvtDeleteChars(c.count);

    const int x = c.column < 0 ? 0 : c.column;
    std::string expected = row;
    if (c.shift > 0) {
      for (int i = x; i < 80 - c.shift; ++i) expected[i] = row[i + c.shift];
      for (int i = 80 - c.shift; i < 80; ++i) expected[i] = ' ';
    }
    EXPECT_EQ(screenRowText(4), expected) << c.column << "," << c.count;
    EXPECT_EQ(cellAttr(L + 4, 80), kAttrReverse);
    if (c.shift > 0) {
      EXPECT_EQ(cellAttr(L + 4, 79), kErasedAttribute);
    }
    EXPECT_EQ(screenRowText(5), row5);
  }
}

TEST_F(NvtScreenTest, RestoreCursorBringsBackPositionAndAttribute) {
  t->cursorColumn = 7;
  t->cursorRow = 3;
  t->nvtCurrentAttribute = kAttrLineDrawing | kAttrReverse;
  t->NvtSaveCursor();
  t->cursorColumn = 50;
  t->cursorRow = 20;
  t->nvtCurrentAttribute = kAttrBold;
  t->NvtRestoreCursor();
  EXPECT_EQ(t->cursorColumn, 7);
  EXPECT_EQ(t->cursorRow, 3);
  EXPECT_EQ(t->nvtCurrentAttribute, kAttrLineDrawing | kAttrReverse);
}

TEST_F(NvtScreenTest, SetRegionAcceptsOnlyRegionsOfTwoOrMoreScreenLines) {
  struct Case {
    int top, bottom;
    bool accepted;
    int topRow, bottomRow;
  } cases[] = {
      {6, 21, true, 5, 20}, {0, 0, true, 0, 24},   {1, 25, true, 0, 24},  {0, 25, true, 0, 24},
      {24, 25, true, 23, 24}, {21, 6, false, 0, 0}, {5, 5, false, 0, 0},  {1, 26, false, 0, 0},
      {-1, 10, false, 0, 0}, {30, 40, false, 0, 0}, {25, 0, false, 0, 0}, {INT_MIN, INT_MAX, false, 0, 0},
  };
  for (const Case& c : cases) {
    setRegionRows(2, 10);
    t->cursorRow = 9;
    t->cursorColumn = 7;
    t->NvtSetRegion(c.top, c.bottom);
    const RECT expected = c.accepted ? RECT{0, c.topRow * ch, 80 * cw, c.bottomRow * ch} : RECT{0, 2 * ch, 80 * cw, 10 * ch};
    EXPECT_EQ(t->scrollRegion.top, expected.top) << c.top << ";" << c.bottom;
    EXPECT_EQ(t->scrollRegion.bottom, expected.bottom) << c.top << ";" << c.bottom;
    EXPECT_EQ(t->scrollRegion.left, 0);
    EXPECT_EQ(t->scrollRegion.right, 80 * cw);
    EXPECT_EQ(t->cursorRow, c.accepted ? 0 : 9) << c.top << ";" << c.bottom;
    EXPECT_EQ(t->cursorColumn, c.accepted ? 0 : 7) << c.top << ";" << c.bottom;
  }
}

TEST_F(NvtScreenTest, ResetRegionIsTheWholeScreen) {
  setRegionRows(5, 20);
  t->cursorRow = 9;
  t->cursorColumn = 7;
  t->NvtResetRegion();
  EXPECT_EQ(t->scrollRegion.left, 0);
  EXPECT_EQ(t->scrollRegion.top, 0);
  EXPECT_EQ(t->scrollRegion.right, 80 * cw);
  EXPECT_EQ(t->scrollRegion.bottom, 24 * ch);  // all 25 rows, as the host was told
  EXPECT_EQ(t->cursorRow, 0);
  EXPECT_EQ(t->cursorColumn, 0);
}

// Every operation with hostile cursor, region, geometry and count values. The
// buffers are allocated to exactly their cell count, so the sanitizers see any
// access outside them.
const int kHostile[] = {INT_MIN, -200, -5, -1, 0, 1, 5, 23, 24, 25, 26, 79, 80, 81, 82, 200, INT_MAX};

void expectCursorOnScreen(CommTcp* t, const char* after) {
  const int rows = t->nvtRows < 1 ? 1 : (t->nvtRows > 25 ? 25 : t->nvtRows);
  EXPECT_GE(t->cursorRow, 0) << after;
  EXPECT_LT(t->cursorRow, rows) << after;
}

void runEveryOperation(CommTcp* t, HWND window, int count) {
  t->NvtLineFeed();
  expectCursorOnScreen(t, "line feed");
  t->NvtIndex();
  expectCursorOnScreen(t, "index");
  t->NvtReverseIndex();
  expectCursorOnScreen(t, "reverse index");
  t->NvtScrollUp();
  for (int range = -1; range <= kEraseRowsFromCursor + 1; ++range) t->NvtErase(range);
  t->NvtInsertLines(count);
  t->NvtDeleteLines(count);
  t->NvtDeleteChars(count);
  t->NvtSaveCursor();
  t->NvtRestoreCursor();
  const unsigned char bytes[] = {'x', 'q', '\r', '\n', '\0', 0xFF};
  for (unsigned char c : bytes) ncTcpInsertNVTChar(window, c);
  t->replaceMode = !t->replaceMode;
  ncTcpInsertNVTChar(window, 'y');
}

TEST_F(NvtScreenTest, HostileCursorRegionAndCountsStayInsideTheBuffers) {
  const int counts[] = {INT_MIN, -5, 0, 1, 3, 200, INT_MAX};
  const std::pair<int, int> regions[] = {{0, 24}, {5, 20}, {0, 23}, {20, 5}, {-5, 200}, {24, 24}, {0, 0}};
  int n = 0;
  for (auto [top, bottom] : regions) {
    for (int row : kHostile) {
      for (int column : kHostile) {
        setRegionRows(top, bottom);
        t->cursorRow = row;
        t->cursorColumn = column;
        t->repaintPending = (n++ % 3 == 0) ? 0 : 1;
        runEveryOperation(t, window_, counts[n % 7]);
        ASSERT_GE(t->cursorRow, 0);
        ASSERT_LE(t->cursorRow, 24);
        ASSERT_LE(t->cursorColumn, kNvtCursorColumnLimit);
      }
    }
  }
  for (int top : kHostile)
    for (int bottom : kHostile) t->NvtSetRegion(top, bottom);
}

TEST_F(NvtScreenTest, HostileGeometryStaysInsideTheBuffers) {
  const int sizes[] = {INT_MIN, -3, 0, 1, 24, INT_MAX};
  const int views[] = {INT_MIN, -5, 0, 100, 500};
  for (int rows : kHostile) {
    for (int columns : kHostile) {
      for (int size : sizes) {
        t->nvtRows = rows;
        t->nvtColumns = columns;
        t->cellWidth = t->cellHeight = size;
        t->scrollRegion = RECT{INT_MIN, INT_MIN / 2, INT_MAX, INT_MAX / 3};
        t->nvtViewTop = views[(rows ^ columns ^ size) & 3];
        t->cursorRow = rows;
        t->cursorColumn = columns;
        t->repaintPending = 0;
        runEveryOperation(t, window_, rows);
        t->NvtSetRegion(1, 25);
        t->NvtResetRegion();
        runEveryOperation(t, window_, columns);
      }
    }
  }
}

}  // namespace
