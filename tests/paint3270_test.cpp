// Painting the 3270 screen: characters and colours per cell, the extent of the
// drawing, the background, and the caret.
#include <memory>
#include <vector>

#include "harness.h"
#include "tn3270/paint.h"

namespace {

constexpr COLORREF kBackground = RGB(1, 2, 3);
constexpr COLORREF kProtectedNormal = RGB(10, 0, 0);
constexpr COLORREF kProtectedHigh = RGB(20, 0, 0);
constexpr COLORREF kInputNormal = RGB(30, 0, 0);
constexpr COLORREF kInputHigh = RGB(40, 0, 0);

// Records whether the caret was visible each time the window changed on screen.
class CaretRecordingDisplay : public posix::Display {
 public:
  explicit CaretRecordingDisplay(std::vector<bool>* seen) : seen_(seen) {}
  const char* name() const override { return "recording"; }
  RECT desktopRect() const override { return RECT{0, 0, 1024, 768}; }
  int messageBox(HWND, const char*, const char*, UINT) override { return IDOK; }
  void windowChanged(HWND) override { seen_->push_back(posix::caretState().visible); }

 private:
  std::vector<bool>* seen_;
};

class Paint3270Test : public TerminalWindowTest {
 protected:
  void SetUp() override {
    TerminalWindowTest::SetUp();
    createMainWindow();
    t_ = terminal();
    ASSERT_NE(t_, nullptr);
    ASSERT_GT(t_->cellWidth, 0);
    ASSERT_GT(t_->cellHeight, 0);
    // The colours as read with no settings file.
    defaultBackground_ = t_->backgroundColor;
    defaultProtected_ = t_->protectedNormalColor;
    defaultInput_ = t_->unprotectedNormalColor;
    t_->backgroundColor = kBackground;
    t_->protectedNormalColor = kProtectedNormal;
    t_->protectedHighLightColor = kProtectedHigh;
    t_->unprotectedNormalColor = kInputNormal;
    t_->unprotectedHighLightColor = kInputHigh;
  }
  void TearDown() override {
    posix::setDisplay(nullptr);  // back to a fresh headless display
    TerminalWindowTest::TearDown();
  }
  void paint() { t_->PaintScreen(window_, t_->cellWidth, t_->cellHeight); }
  const posix::Cell& cell(int column, int row) {
    const posix::Cell* c = posix::testing::grid(window_)->at(column, row);
    EXPECT_NE(c, nullptr) << column << "," << row;
    static const posix::Cell none;
    return c ? *c : none;
  }
  // A caret of the window with the given hide count (a new caret starts hidden once).
  void makeCaret(int hideCount) {
    ASSERT_TRUE(CreateCaret(window_, nullptr, 2, t_->cellHeight));
    if (hideCount == 0) ShowCaret(window_);
    for (int i = 1; i < hideCount; ++i) HideCaret(window_);
  }
  // The caret's hide count is exactly `hideCount`: that many ShowCaret calls succeed.
  void expectHideCount(int hideCount) {
    EXPECT_EQ(posix::caretState().visible, hideCount == 0);
    for (int i = 0; i < hideCount; ++i) EXPECT_TRUE(ShowCaret(window_));
    EXPECT_FALSE(ShowCaret(window_));
  }
  CommTcp* t_ = nullptr;
  COLORREF defaultBackground_ = 0, defaultProtected_ = 0, defaultInput_ = 0;
};

TEST_F(Paint3270Test, TextColourFollowsProtectionAndIntensity) {
  struct Case {
    uint8_t attribute;
    COLORREF color;  // 0 marks a hidden (non-display) position
  } cases[] = {
      {0xE8, kProtectedHigh}, {0x28, kProtectedHigh}, {0x60, kProtectedNormal}, {0x64, kProtectedNormal},
      {0xF0, kProtectedNormal}, {0x20, kProtectedNormal}, {0xC1, kInputNormal}, {0xC4, kInputNormal},
      {0xD1, kInputNormal}, {0x00, kInputNormal}, {0xC8, kInputHigh}, {0xD9, kInputHigh},
      {0x4C, 0}, {0x6C, 0}, {0x0D, 0}, {0xFD, 0},
  };
  const int n = sizeof cases / sizeof cases[0];
  // Each case on its own row, five positions wide, so neighbours cannot mask a wrong colour.
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 5; ++k) {
      t_->screenChars[i * 80 + 10 + k] = static_cast<uint8_t>('A' + k);
      t_->positionAttribute[i * 80 + 10 + k] = cases[i].attribute;
    }
  paint();
  for (int i = 0; i < n; ++i) {
    SCOPED_TRACE(::testing::Message() << "attribute 0x" << std::hex << int(cases[i].attribute));
    for (int k = 0; k < 5; ++k) {
      const posix::Cell& c = cell(10 + k, i);
      EXPECT_EQ(c.bg, kBackground);
      if (cases[i].color == 0) {
        EXPECT_EQ(c.ch, ' ');
      } else {
        EXPECT_EQ(c.ch, 'A' + k);
        EXPECT_EQ(c.fg, cases[i].color);
      }
    }
  }
}

TEST_F(Paint3270Test, OnlyPrintableAsciiIsShown) {
  struct Case {
    uint8_t stored;
    char shown;
  } cases[] = {{0x00, ' '}, {0x01, ' '}, {0x09, ' '}, {0x0A, ' '}, {0x1F, ' '}, {0x20, ' '},
               {0x21, '!'}, {'z', 'z'}, {0x7E, '~'}, {0x7F, ' '}, {0x80, ' '}, {0x9B, ' '},
               {0xC1, ' '}, {0xFF, ' '}};
  int column = 0;
  for (const Case& c : cases) {
    t_->screenChars[160 + column] = c.stored;
    t_->positionAttribute[160 + column] = 0xC8;
    ++column;
  }
  paint();
  column = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "byte 0x" << std::hex << int(c.stored));
    EXPECT_EQ(cell(column, 2).ch, c.shown);
    EXPECT_EQ(cell(column, 2).fg, kInputHigh);
    ++column;
  }
}

TEST_F(Paint3270Test, DrawsAll1920CellsAndClearsThreeCellsRightOfTheScreen) {
  // Mark the cells around the screen so any stray drawing shows.
  HDC dc = GetDC(window_);
  SelectObject(dc, t_->screenFont);
  SetTextColor(dc, RGB(9, 9, 9));
  SetBkColor(dc, RGB(8, 8, 8));
  const std::string marks(90, 'X');
  for (int row = 0; row < 27; ++row) TextOutA(dc, 0, row * t_->cellHeight, marks.data(), 90);
  ReleaseDC(window_, dc);

  for (int p = 0; p < kScreenPositions; ++p) {
    t_->screenChars[p] = static_cast<uint8_t>('0' + p % 43);
    t_->positionAttribute[p] = (p / 80) % 2 ? 0xE0 : 0xC0;
  }
  // Past the screen the arrays hold bytes that must never appear.
  for (int p = kScreenPositions; p < kScreenArraySize; ++p) t_->screenChars[p] = '#';
  paint();

  for (int row = 0; row < 27; ++row)
    for (int column = 0; column < 90; ++column) {
      const posix::Cell& c = cell(column, row);
      if (row < 24 && column < 80) {
        const int p = row * 80 + column;
        ASSERT_EQ(c.ch, '0' + p % 43) << column << "," << row;
        ASSERT_EQ(c.fg, row % 2 ? kProtectedNormal : kInputNormal) << column << "," << row;
        ASSERT_EQ(c.bg, kBackground) << column << "," << row;
      } else if (row < 24 && column < 83) {
        // The trailing blanks of column 79 land here, in its colour, on the background.
        ASSERT_EQ(c.ch, ' ') << column << "," << row;
        ASSERT_EQ(c.bg, kBackground) << column << "," << row;
      } else {
        ASSERT_EQ(c.ch, 'X') << column << "," << row;
        ASSERT_EQ(c.bg, RGB(8, 8, 8)) << column << "," << row;
      }
    }
}

// A screen of every kind of cell, hidden ones among them: each cell shows its
// own look, a hidden cell the colour of the cell before it, also across a row
// end (the first cells the protected normal colour), and the three cells right of each row the colour of
// column 79 - whether the rows are drawn in runs or cell by cell, as they are
// when the cells are wider than the font.
TEST_F(Paint3270Test, EveryCellShowsItsLookAndHiddenCellsTheColourBeforeThem) {
  const uint8_t attributes[] = {0x40, 0x48, 0x4C, 0x60, 0x68, 0x6C, 0xC4, 0xE0};
  unsigned seed = 12345;
  for (int p = 0; p < kScreenPositions; ++p) {
    seed = seed * 1103515245u + 12345u;
    t_->screenChars[p] = static_cast<uint8_t>(0x20 + (seed >> 16) % 0x60);
    // Runs of a few cells with one attribute, as fields give them.
    t_->positionAttribute[p] = attributes[((seed >> 8) % 7 == 0 ? (seed >> 20) : p / 5) % 8];
  }
  const int fontWidth = t_->cellWidth;
  for (int widthFactor : {1, 2}) {
    SCOPED_TRACE(widthFactor);
    HDC dc = GetDC(window_);
    SelectObject(dc, t_->screenFont);
    const std::string marks(170, 'X');
    for (int row = 0; row < 25; ++row) TextOutA(dc, 0, row * t_->cellHeight, marks.data(), 170);
    ReleaseDC(window_, dc);
    t_->PaintScreen(window_, fontWidth * widthFactor, t_->cellHeight);
    COLORREF color = kProtectedNormal;  // carried from row to row
    for (int row = 0; row < kScreenRows; ++row) {
      for (int column = 0; column < kScreenColumns; ++column) {
        const CellLook look = Look3270Cell(*t_, row * kScreenColumns + column);
        if (look.setsColor) color = look.color;
        const posix::Cell& c = cell(column * widthFactor, row);
        ASSERT_EQ(c.ch, look.ch) << column << "," << row;
        ASSERT_EQ(c.fg, color) << column << "," << row;
        ASSERT_EQ(c.bg, kBackground) << column << "," << row;
      }
      for (int extra = 1; extra <= 3; ++extra) {
        const posix::Cell& c = cell(79 * widthFactor + extra, row);
        ASSERT_EQ(c.ch, ' ') << row;
        ASSERT_EQ(c.fg, color) << row;
      }
    }
  }
}

TEST_F(Paint3270Test, DefaultColoursAreGreenAndCyanOnBlack) {
  t_->backgroundColor = defaultBackground_;
  t_->protectedNormalColor = defaultProtected_;
  t_->unprotectedNormalColor = defaultInput_;
  t_->screenChars[0] = 'P';
  t_->positionAttribute[0] = 0x60;
  t_->screenChars[1] = 'I';
  t_->positionAttribute[1] = 0x40;
  paint();
  EXPECT_EQ(cell(0, 0).fg, RGB(0, 255, 0));
  EXPECT_EQ(cell(1, 0).fg, RGB(0, 255, 255));
  EXPECT_EQ(cell(0, 0).bg, RGB(0, 0, 0));
  EXPECT_EQ(cell(1, 0).bg, RGB(0, 0, 0));
}

TEST_F(Paint3270Test, HiddenPositionsLeaveTheTextColourAlone) {
  t_->positionAttribute[5] = 0x4C;
  t_->screenChars[5] = 'S';
  const CellLook hidden = Look3270Cell(*t_, 5);
  EXPECT_EQ(hidden.ch, ' ');
  EXPECT_FALSE(hidden.setsColor);
  for (int outside : {-1, 1920, 1999, 1 << 30}) {
    const CellLook look = Look3270Cell(*t_, outside);
    EXPECT_EQ(look.ch, ' ') << outside;
    EXPECT_FALSE(look.setsColor) << outside;
  }
}

TEST_F(Paint3270Test, CaretIsHiddenWhileDrawingAndKeepsItsHideCount) {
  for (int hideCount : {0, 1, 2}) {
    SCOPED_TRACE(hideCount);
    makeCaret(hideCount);
    std::vector<bool> seen;
    posix::setDisplay(std::make_unique<CaretRecordingDisplay>(&seen));
    paint();
    posix::setDisplay(nullptr);
    ASSERT_GE(seen.size(), static_cast<size_t>(kScreenRows));  // every row drew something
    for (size_t i = 0; i + 1 < seen.size(); ++i) ASSERT_FALSE(seen[i]) << "change " << i;
    EXPECT_EQ(seen.back(), hideCount == 0);
    expectHideCount(hideCount);
  }
}

TEST_F(Paint3270Test, ShowScreenPaintsAndPutsTheCaretAtTheCursorCell) {
  // A protected field, a ten-position input field at 101, and a protected rest.
  const struct {
    uint8_t attribute;
    uint32_t begin, length;
  } fields[] = {{0x60, 0, 100}, {0xC1, 101, 10}, {0x60, 112, 1808}};
  t_->fieldCount = 3;
  for (int i = 0; i < 3; ++i) {
    t_->fieldTable[i] = FieldEntry{fields[i].attribute, fields[i].begin, fields[i].length,
                                   t_->screenChars + fields[i].begin, 0};
    for (uint32_t p = fields[i].begin; p < fields[i].begin + fields[i].length; ++p)
      t_->positionAttribute[p] = fields[i].attribute;
  }
  struct Case {
    uint32_t cursorAddress;
    int currentField;
    int column, row;
  } cases[] = {
      {105, 0, 21, 1},   // inside the input field: its first position
      {1500, 0, 21, 1},  // protected current field: on to the next input field
      {1500, 1, 60, 18}, // current field is an input field: the cursor stays
      {1920, 1, 0, 0},   // past the screen: the top left corner
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cursorAddress);
    makeCaret(0);
    t_->screenChars[150] = 'Q';
    t_->positionAttribute[150] = 0x60;
    t_->cursorAddress = c.cursorAddress;
    t_->currentField = c.currentField;
    t_->cursorColumn = t_->cursorRow = -1;
    t_->ShowScreen(window_, t_->cellWidth, t_->cellHeight, &t_->cursorColumn, &t_->cursorRow);
    EXPECT_EQ(t_->cursorColumn, c.column);
    EXPECT_EQ(t_->cursorRow, c.row);
    EXPECT_EQ(posix::caretState().pos.x, c.column * t_->cellWidth);
    EXPECT_EQ(posix::caretState().pos.y, c.row * t_->cellHeight);
    EXPECT_EQ(cell(70, 1).ch, 'Q');
    expectHideCount(0);
  }
}

}  // namespace
