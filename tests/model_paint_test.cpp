// Painting a model screen: the colours of field kinds, of extended colours and
// highlighting in the window's cells, the window taking the alternate size,
// and blinking.
#include <cstdio>
#include <string>

#include "harness.h"
#include "inbound_fixture.h"
#include "tn3270/model_engine.h"
#include "tn3270/paint.h"

namespace {

constexpr COLORREF kBackground = RGB(1, 2, 3);

class ModelPaintTest : public OpenTerminalTest {
 protected:
  void SetUp() override {
    OpenTerminalTest::SetUp();
    if (HasFatalFailure()) return;
    t->backgroundColor = kBackground;
    t->protectedNormalColor = RGB(10, 0, 0);
    t->protectedHighLightColor = RGB(20, 0, 0);
    t->unprotectedNormalColor = RGB(30, 0, 0);
    t->unprotectedHighLightColor = RGB(40, 0, 0);
    for (int i = 0; i < kModelColorCount; ++i) t->modelColors[i] = palette(0xF0 + i);
    t->terminalType = kTypeIbm3270;
    t->terminalMode = kMode3270;
    useModel("3279-5-E");
    SendMessageA(window_, WM_LAYOUT, 0, 0);  // as the layout timer leaves the window
  }
  static COLORREF palette(int code) { return RGB(0, code, 7); }
  void useModel(const char* name) {
    TerminalModel m;
    ASSERT_TRUE(ParseTerminalModel(name, &m));
    model3270::ResetScreen(t->modelScreen, m);
  }
  void write(const std::string& text) {
    const Bytes record = hex(text);
    model3270::ProcessRecord(*t, record.data(), static_cast<int>(record.size()));
    t->damage.screen3270 = true;
    t->Present();
  }
  const posix::Cell& cell(int column, int row) {
    const posix::Cell* c = posix::testing::grid(window_)->at(column, row);
    EXPECT_NE(c, nullptr) << column << "," << row;
    static const posix::Cell none;
    return c ? *c : none;
  }
};

// Each record writes a field at 0 whose first character (position 1) is checked,
// as LookModelCell gives it and as the window's cell shows it.
TEST_F(ModelPaintTest, CellsTakeTheirColoursFromCharacterFieldAndKind) {
  constexpr COLORREF kPn = RGB(10, 0, 0), kPh = RGB(20, 0, 0), kUn = RGB(30, 0, 0);
  const COLORREF green = palette(0xF4), red = palette(0xF2), blue = palette(0xF1), white = palette(0xF7);
  const struct {
    const char* what;
    const char* model;
    const char* orders;  // after "F5 C3"
    char ch;
    COLORREF fg, bg;
    bool underscore;
  } cases[] = {
      {"input field", "3279-2-E", "1D 40 C1", 'A', green, kBackground, false},
      {"intensified input field", "3279-2-E", "1D C8 C1", 'A', red, kBackground, false},
      {"protected field", "3279-2-E", "1D 60 C1", 'A', blue, kBackground, false},
      {"intensified protected field", "3279-2-E", "1D E8 C1", 'A', white, kBackground, false},
      {"the field's colour", "3279-2-E", "29 02 C0 60 42 F6 C1", 'A', palette(0xF6), kBackground, false},
      {"the character's colour over the field's", "3279-2-E", "29 02 C0 60 42 F6 28 42 F3 C1", 'A', palette(0xF3),
       kBackground, false},
      {"a background colour", "3279-2-E", "29 02 C0 60 45 F1 C1", 'A', blue, blue, false},
      {"neutral is the field kind's colour", "3279-2-E", "29 01 42 F0 C1", 'A', green, kBackground, false},
      {"reverse video", "3279-2-E", "29 02 C0 40 41 F2 C1", 'A', kBackground, green, false},
      {"reverse and underscore together", "3279-2-E", "29 02 C0 40 41 F6 C1", 'A', kBackground, green, true},
      {"underscore", "3279-2-E", "29 02 C0 40 41 F4 C1", 'A', green, kBackground, true},
      {"a hidden field keeps its underscore", "3279-2-E", "29 02 C0 4C 41 F4 C1", ' ', green, kBackground, true},
      {"a character intensified", "3279-2-E", "1D 60 28 41 F8 C1", 'A', white, kBackground, false},
      {"a 3278 shows the screen colours", "3278-2-E", "29 02 C0 60 42 F6 C1", 'A', kPn, kBackground, false},
      {"a 3278 intensified", "3278-2-E", "1D E8 C1", 'A', kPh, kBackground, false},
      {"a 3278 underscores", "3278-2-E", "29 01 41 F4 C1", 'A', kUn, kBackground, true},
      {"unformatted", "3279-2-E", "C1 C1", 'A', green, kBackground, false},
  };
  for (const auto& c : cases) {
    useModel(c.model);
    write(std::string("F5 C3 ") + c.orders);
    const ModelCellLook look = LookModelCell(*t, 1);
    EXPECT_EQ(look.ch, c.ch) << c.what;
    EXPECT_EQ(look.fg, c.fg) << c.what;
    EXPECT_EQ(look.bg, c.bg) << c.what;
    EXPECT_EQ(look.underscore, c.underscore) << c.what;
    const posix::Cell& shown = cell(1, 0);
    EXPECT_EQ(shown.ch, c.ch) << c.what;
    EXPECT_EQ(shown.fg, c.fg) << c.what;
    EXPECT_EQ(shown.bg, c.bg) << c.what;
    EXPECT_EQ(shown.underline, c.underscore) << c.what;
    // The field attribute's own position is a blank on the background.
    EXPECT_EQ(cell(0, 0).bg, c.orders[0] == 'C' ? c.bg : kBackground) << c.what;
  }
}

// Erase/Write Alternate gives the window the model's alternate shape (cells
// kept as far as the screen allows, 27 x 132 within 1024 pixels), and
// Erase/Write the default one.
TEST_F(ModelPaintTest, TheWindowTakesTheShapeOfTheScreen) {
  const struct {
    const char* model;
    int columns, rows;
  } cases[] = {{"3279-5-E", 133, 29}, {"3279-4-E", 81, 45}, {"3279-3-E", 81, 34}};
  for (const auto& c : cases) {
    useModel(c.model);
    write("7E C3 11 00 01 C1");  // 14-bit address 1
    EXPECT_EQ(t->layoutColumns, c.columns) << c.model;
    EXPECT_EQ(t->layoutRows, c.rows) << c.model;
    RECT r{};
    GetWindowRect(window_, &r);
    EXPECT_LE(r.right - r.left, GetSystemMetrics(SM_CXSCREEN)) << c.model;
    EXPECT_LE(r.bottom - r.top, GetSystemMetrics(SM_CYSCREEN)) << c.model;
    EXPECT_LE(c.columns * t->cellWidth, t->clientWidth) << c.model;
    EXPECT_LE(c.rows * t->cellHeight, t->clientHeight) << c.model;
    EXPECT_EQ(cell(1, 0).ch, 'A') << c.model;
    const int lastColumn = c.columns - 2, lastRow = c.rows - 3;
    const int last = t->modelScreen.positions() - 1;
    char address[16];
    std::snprintf(address, sizeof address, "%02X %02X", (last >> 8) & 0x3F, last & 0xFF);
    write(std::string("F1 C3 11 ") + address + " C2");  // B at the last position
    EXPECT_EQ(cell(lastColumn, lastRow).ch, 'B') << c.model;
    EXPECT_EQ(cell(lastColumn + 1, lastRow).ch, ' ') << c.model << ": the spare column";
    write("F5 C3 C1");
    EXPECT_EQ(t->layoutColumns, 81) << c.model;
    EXPECT_EQ(t->layoutRows, 26) << c.model;
  }
  // Back in the NVT the window has its own shape again.
  write("7E C3 C1");
  t->terminalMode = 0;
  t->damage.nvtView = true;
  t->Present();
  EXPECT_EQ(t->layoutColumns, 81);
}

TEST_F(ModelPaintTest, BlinkingCharactersGoDarkAndComeBack) {
  write("F5 C3 29 02 C0 60 41 F1 C1 1D 60 C2");
  EXPECT_TRUE(LookModelCell(*t, 1).blink);
  EXPECT_EQ(cell(1, 0).ch, 'A');
  SendMessageA(window_, WM_TIMER, kBlinkTimer, 0);
  EXPECT_EQ(cell(1, 0).ch, ' ');
  EXPECT_EQ(cell(3, 0).ch, 'B') << "a field that does not blink";
  SendMessageA(window_, WM_TIMER, kBlinkTimer, 0);
  EXPECT_EQ(cell(1, 0).ch, 'A');
  EXPECT_NE(t->blinkRunning, 0);
  write("F5 C3 C1");
  EXPECT_EQ(t->blinkRunning, 0) << "no blinking character left";
}

}  // namespace
