// The clipboard text of a VT100 selection and the size the copy allocates for it.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "vt100/nvt_screen.h"

namespace {


class NvtClipboardTest : public NvtLayoutTest {
 protected:
  void SetUp() override {
    NvtLayoutTest::SetUp();
    if (HasFatalFailure()) return;
    // Every buffer row holds its own text: "<row>:" and then letters by column.
    for (int b = 0; b < 125; ++b) {
      std::string text = std::to_string(b) + ":";
      while (text.size() < 81) text += static_cast<char>('a' + text.size() % 26);
      std::memcpy(t->nvtChars + t->NvtCellIndex(b, 0), text.data(), 81);
    }
  }

  // The text of buffer row b, columns first..last.
  std::string cells(int bufferRow, int first, int last) {
    return std::string(t->nvtChars + t->NvtCellIndex(bufferRow, first), static_cast<size_t>(last - first + 1));
  }

  // Copies into a buffer of exactly the size the copy command would allocate.
  std::string copy(int startColumn, int startRow, int endColumn, int endRow) {
    const int length = t->GetPossibleClipboardLen(startColumn, startRow, endColumn, endRow);
    EXPECT_GT(length, 0);
    if (length <= 0) return "";
    std::vector<char> text(static_cast<size_t>(length), '\x7F');
    t->FromScreenCopyToClipboard(text.data(), startColumn, startRow, endColumn, endRow);
    const void* end = std::memchr(text.data(), '\0', text.size());
    EXPECT_NE(end, nullptr) << "the text is not terminated";
    return end ? std::string(text.data()) : "";
  }

};

TEST_F(NvtClipboardTest, SelectionsCopyTheCellsInReadingOrderWithLineEnds) {
  const int L = kLive;
  struct Case {
    const char* what;
    int startColumn, startRow, endColumn, endRow;
    std::string expected;
  } cases[] = {
      {"dragged up from row 3 column 10 to row 1 column 5", 10, 3, 5, 1,
       cells(L + 1, 5, 79) + "\r\n" + cells(L + 2, 0, 79) + "\r\n" + cells(L + 3, 0, 10)},
      {"the same corners the other way round", 5, 1, 10, 3,
       cells(L + 1, 5, 79) + "\r\n" + cells(L + 2, 0, 79) + "\r\n" + cells(L + 3, 0, 10)},
      {"within one row, right to left", 20, 2, 12, 2, cells(L + 2, 12, 20)},
      {"ending in the spare column", 70, 4, 80, 4, cells(L + 4, 70, 79) + "\r\n"},
      {"starting in the spare column", 80, 4, 2, 5, "\r\n" + cells(L + 5, 0, 2)},
      {"one cell", 7, 24, 7, 24, cells(L + 24, 7, 7)},
      {"one spare-column cell", 80, 0, 80, 0, "\r\n"},
      {"a mouse column beyond the window is the spare column", 200, 6, 75, 6, cells(L + 6, 75, 79) + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(copy(c.startColumn, c.startRow, c.endColumn, c.endRow), c.expected);
  }
}

TEST_F(NvtClipboardTest, BlanksAreCopiedAsTheyStand) {
  std::memset(t->nvtChars + t->NvtCellIndex(kLive + 8, 10), ' ', 70);
  std::memcpy(t->nvtChars + t->NvtCellIndex(kLive + 8, 12), "ls", 2);
  EXPECT_EQ(copy(10, 8, 20, 8), "  ls       ");
  EXPECT_EQ(copy(78, 7, 79, 8), cells(kLive + 7, 78, 79) + "\r\n" + cells(kLive + 8, 0, 79));
}

TEST_F(NvtClipboardTest, LengthBoundOfALongSelectionCoversItsText) {
  EXPECT_EQ(t->GetPossibleClipboardLen(80, 0, 0, 20), 1586);
  EXPECT_EQ(t->GetPossibleClipboardLen(0, 20, 80, 0), 1586);
  const std::string text = copy(80, 0, 0, 20);
  EXPECT_EQ(text.size() + 1, 1562u);
}

TEST_F(NvtClipboardTest, LengthBoundHoldsForEverySelectionOfTheScreen) {
  const int columns[] = {0, 1, 40, 78, 79, 80};
  for (int startRow = 0; startRow < 25; startRow += 3)
    for (int endRow = 0; endRow < 25; endRow += 4)
      for (int startColumn : columns)
        for (int endColumn : columns) {
          const int bound = t->GetPossibleClipboardLen(startColumn, startRow, endColumn, endRow);
          const std::string text = copy(startColumn, startRow, endColumn, endRow);
          ASSERT_LE(static_cast<int>(text.size()) + 1, bound)
              << startColumn << "," << startRow << " to " << endColumn << "," << endRow;
        }
}

TEST_F(NvtClipboardTest, ASelectionInTheHistoryCopiesTheRowsInView) {
  t->nvtViewTop = 30;
  EXPECT_EQ(copy(3, 0, 1, 1), cells(30, 3, 79) + "\r\n" + cells(31, 0, 1));
  // A view below the live screen is brought back to it.
  t->nvtViewTop = 500;
  EXPECT_EQ(copy(0, 24, 4, 24), cells(124, 0, 4));
  EXPECT_EQ(t->nvtViewTop, kLive);
}

TEST_F(NvtClipboardTest, ShiftedAndLineDrawingCellsCopyAsStored) {
  std::memcpy(t->nvtChars + t->NvtCellIndex(kLive + 9, 0), "x~{ab~}c", 8);
  for (int c = 0; c < 81; ++c) t->nvtAttributes[t->NvtCellIndex(kLive + 9, c)] = kAttrLineDrawing;
  t->PaintNVTScreen(window_, t->cellWidth, t->cellHeight);
  EXPECT_EQ(copy(0, 9, 7, 9), std::string("x~{") + '\xE1' + '\xE2' + "~}c");
  EXPECT_EQ(copy(0, 10, 4, 10), cells(kLive + 10, 0, 4));
}

TEST_F(NvtClipboardTest, HostileCornersAndGeometryStayInsideTheBuffers) {
  struct Case {
    int startColumn, startRow, endColumn, endRow;
    int rows, columns, viewTop;
  } cases[] = {
      {-5, -5, 1000, 1000, 25, 81, 100},
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 25, 81, 100},
      {INT_MAX, INT_MAX, INT_MIN, INT_MIN, 25, 81, INT_MAX},
      {0, 30, 0, 26, 25, 81, 100},
      {0, 0, 80, 24, 24, 81, 100},
      {0, 0, 80, 24, 1000, 1000, 1000},
      {3, 3, 9, 9, 0, 0, INT_MIN},
      {-1, -1, -1, -1, -1, -1, -1},
      {INT_MAX, 0, INT_MAX, 0, 25, 1, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.startColumn << "," << c.startRow << " to " << c.endColumn << ","
                                    << c.endRow << " with " << c.rows << " x " << c.columns << " from " << c.viewTop);
    t->nvtRows = c.rows;
    t->nvtColumns = c.columns;
    t->nvtViewTop = c.viewTop;
    const int bound = t->GetPossibleClipboardLen(c.startColumn, c.startRow, c.endColumn, c.endRow);
    const std::string text = copy(c.startColumn, c.startRow, c.endColumn, c.endRow);
    EXPECT_LE(static_cast<int>(text.size()) + 1, bound);
  }

  // Corners outside the window select the whole screen in view.
  t->nvtRows = 25;
  t->nvtColumns = 81;
  t->nvtViewTop = kLive;
  std::string screen;
  for (int r = 0; r < 25; ++r) screen += cells(kLive + r, 0, 79) + "\r\n";
  EXPECT_EQ(copy(-5, -5, 1000, 1000), screen);
  EXPECT_EQ(copy(INT_MAX, INT_MAX, INT_MIN, INT_MIN), screen);
}

}  // namespace
