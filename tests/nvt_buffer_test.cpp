// Character insertion on the NVT screen: replace and insert mode, the spare
// column, the line-drawing rule, direct drawing, and the view returning from
// the history.
#include <string>

#include "nvt_fixture.h"
#include "vt100/nvt_cells.h"

namespace {

class NvtInsertTest : public NvtScreenTest {
 protected:
  void insert(const std::string& text) {
    for (unsigned char c : text) ncTcpInsertNVTChar(window_, c);
  }
};

TEST_F(NvtInsertTest, SpareColumnTakesThe81stCharacterAndLaterOnesAreDiscarded) {
  labelRows();
  const std::string row4 = screenRowText(4);
  t->cursorRow = 3;
  t->cursorColumn = 0;
  t->repaintPending = 1;
  std::string line;
  for (int i = 0; i < 82; ++i) line += static_cast<char>('A' + i % 26);
  insert(line);

  EXPECT_EQ(screenRowText(3), line.substr(0, 81));
  EXPECT_EQ(t->cursorColumn, 82);
  EXPECT_EQ(t->cursorRow, 3);
  EXPECT_EQ(screenRowText(4), row4) << "no wrap into the next row";

  // The column stops counting at its bound; nothing is stored anywhere.
  insert(std::string(3000, 'z'));
  EXPECT_EQ(t->cursorColumn, kNvtCursorColumnLimit);
  EXPECT_EQ(screenRowText(3), line.substr(0, 81));
  EXPECT_EQ(screenRowText(4), row4);
}

TEST_F(NvtInsertTest, InsertModeShiftsTheRestOfTheLineIntoTheSpareColumn) {
  t->cursorRow = 6;
  for (int c = 10; c <= 80; ++c) {
    cellChar(kLive + 6, c) = static_cast<char>('0' + c % 10);
    cellAttr(kLive + 6, c) = kAttrBold;
  }
  const std::string before = screenRowText(6);
  t->replaceMode = 0;
  t->cursorColumn = 10;
  insert("X");

  const std::string after = screenRowText(6);
  EXPECT_EQ(after.substr(0, 10), before.substr(0, 10));
  EXPECT_EQ(after[10], 'X');
  EXPECT_EQ(after.substr(11, 70), before.substr(10, 70)) << "column 79 lands in the spare column, 80 is lost";
  for (int c = 11; c <= 80; ++c) EXPECT_EQ(cellAttr(kLive + 6, c), kAttrBold | kAttrChanged) << c;
  EXPECT_EQ(t->cursorColumn, 11);
  EXPECT_EQ(t->repaintPending, 1);
  EXPECT_NE(gridCell(10, 6) ? gridCell(10, 6)->ch : ' ', 'X') << "left to the repaint";
}

TEST_F(NvtInsertTest, InsertModeAtAndPastTheSpareColumn) {
  labelRows();
  const std::string row7 = screenRowText(7);
  const std::string row8 = screenRowText(8);
  t->replaceMode = 0;
  t->cursorRow = 7;
  t->cursorColumn = 80;
  insert("QR");
  EXPECT_EQ(cellChar(kLive + 7, 80), 'Q');
  EXPECT_EQ(screenRowText(7).substr(0, 80), row7.substr(0, 80)) << "nothing shifts";
  EXPECT_EQ(screenRowText(8), row8);
  EXPECT_EQ(t->cursorColumn, 82);
}

TEST_F(NvtInsertTest, LineDrawingBitStaysOnlyForLowerCaseLettersAndBackquote) {
  struct Case {
    unsigned char ch;
    bool keeps;
  } cases[] = {{'a', true}, {'q', true}, {'z', true}, {'`', true}, {'A', false}, {'0', false},
               {'~', false}, {' ', false}, {'{', false}, {0xE1, false}, {0x01, false}};
  for (const Case& c : cases) {
    t->cursorRow = 2;
    t->cursorColumn = 5;
    t->nvtCurrentAttribute = kAttrLineDrawing | kAttrUnderline;
    ncTcpInsertNVTChar(window_, c.ch);
    const uint32_t expected = kAttrUnderline | kAttrChanged | (c.keeps ? kAttrLineDrawing : 0);
    EXPECT_EQ(cellAttr(kLive + 2, 5), expected) << "char " << int(c.ch);
    EXPECT_EQ(static_cast<unsigned char>(cellChar(kLive + 2, 5)), c.ch);
    EXPECT_EQ(t->nvtCurrentAttribute, kAttrLineDrawing | kAttrUnderline) << "the current attribute keeps the bit";
  }
}

// A host's character is drawn alone, in its cell's look; the 3270 keyboard's
// echo (in 3270 mode) also wipes the two cells to its right.
TEST_F(NvtInsertTest, SingleCharacterIsDrawnAtOnceInTheCellsLook) {
  struct Case {
    const char* name;
    uint32_t attribute;
    unsigned char ch;
    bool highlight;
    BYTE charset;
  } cases[] = {
      {"plain", 0, 'Q', false, ANSI_CHARSET},
      {"reverse", kAttrReverse, 'Q', true, ANSI_CHARSET},
      {"blink", kAttrBlink, 'Q', true, ANSI_CHARSET},
      {"bold only", kAttrBold | kAttrUnderline, 'Q', false, ANSI_CHARSET},
      {"line-drawing letter", kAttrLineDrawing, 'q', false, OEM_CHARSET},
      {"capital under line drawing", kAttrLineDrawing, 'Q', false, ANSI_CHARSET},
  };
  for (const int mode : {0, 15}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << ", terminalMode " << mode);
      markWindow();
      t->terminalMode = mode;
      t->nvtCurrentAttribute = c.attribute;
      t->cursorRow = 9;
      t->cursorColumn = 20;
      ncTcpInsertNVTChar(window_, c.ch);
      const COLORREF bg = c.highlight ? t->unprotectedHighLightColor : t->backgroundColor;
      const COLORREF fg = c.highlight ? t->protectedHighLightColor : t->protectedNormalColor;
      const int drawn = mode == 15 ? 3 : 1;
      const char expected[] = {static_cast<char>(c.ch), ' ', ' '};
      for (int i = 0; i < drawn; ++i) {
        const posix::Cell* cell = gridCell(20 + i, 9);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->ch, expected[i]) << "cell " << i;
        EXPECT_EQ(cell->bg, bg);
        EXPECT_EQ(cell->fg, fg);
        EXPECT_EQ(cell->charset, c.charset);
      }
      EXPECT_EQ(gridCell(19, 9)->ch, '#');
      EXPECT_EQ(gridCell(20 + drawn, 9)->ch, '#');
    }
  }
  t->terminalMode = 0;
}

TEST_F(NvtInsertTest, NothingIsDrawnWhileARepaintIsDueOrForADiscardedCharacter) {
  markWindow();
  t->cursorRow = 1;
  t->cursorColumn = 4;
  t->repaintPending = 1;
  insert("W");
  EXPECT_EQ(cellChar(kLive + 1, 4), 'W');
  EXPECT_EQ(gridCell(4, 1)->ch, '#');

  t->repaintPending = 0;
  t->cursorColumn = 81;
  insert("V");
  for (int c = 0; c < 81; ++c) EXPECT_EQ(gridCell(c, 1)->ch, '#') << c;
}

TEST_F(NvtInsertTest, CarriageReturnLineFeedAndNul) {
  t->cursorRow = 4;
  t->cursorColumn = 30;
  insert(std::string(1, '\0'));
  EXPECT_EQ(t->cursorColumn, 30);
  EXPECT_EQ(cellChar(kLive + 4, 30), ' ');
  insert("\r");
  EXPECT_EQ(t->cursorColumn, 0);
  t->cursorColumn = 30;
  insert("\n");
  EXPECT_EQ(t->cursorRow, 5);
  EXPECT_EQ(t->cursorColumn, 30);
  t->newLineMode = 1;
  insert("\n");
  EXPECT_EQ(t->cursorRow, 6);
  EXPECT_EQ(t->cursorColumn, 0);
}

TEST_F(NvtInsertTest, AnyInsertionReturnsTheViewAndScrollBarToTheLiveScreen) {
  for (unsigned char c : {'x', '\r', '\n', '\0'}) {
    t->nvtViewTop = 40;
    SetScrollPos(window_, SB_VERT, 40, TRUE);
    ValidateRect(window_, nullptr);
    ncTcpInsertNVTChar(window_, c);
    EXPECT_EQ(t->nvtViewTop, kLive) << int(c);
    EXPECT_EQ(GetScrollPos(window_, SB_VERT), kLive) << int(c);
    EXPECT_TRUE(GetUpdateRect(window_, nullptr, FALSE)) << "the window is repainted from the live screen";
  }
}

TEST_F(NvtInsertTest, BeforeTheLayoutTheLiveScreenHas24Rows) {
  t->nvtRows = 24;
  t->cursorRow = 23;
  t->cursorColumn = 0;
  insert("k");
  EXPECT_EQ(t->nvtViewTop, 96);
  EXPECT_EQ(t->nvtChars[t->NvtCellIndex(96 + 23, 0)], 'k');
}

}  // namespace
