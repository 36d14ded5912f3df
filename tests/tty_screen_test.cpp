// The terminal display's screen: colours, characters, what a frame shows and
// what a click lands on.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/tty_colors.h"
#include "platform/posix/tty_screen.h"

#include "menu_nodes.h"

using namespace posix::tty;

namespace {

const COLORREF kNavy = RGB(0, 0, 128);
const COLORREF kWhite = RGB(255, 255, 255);

std::vector<MenuNode> sampleMenu() {
  return {popup("Main", {entry("Escape", 1), entry("&Exit", 2), entry("&Timer", 4, MF_CHECKED)}),
          popup("&Edit", {entry("&Copy", 10)}), entry("Co&nnect", 20)};
}

std::string utf8Of(char32_t c) { return utf8(c); }

// A window frame on a terminal of the layout's size.
Frame windowFrame(posix::CellGrid* grid) {
  Frame f;
  f.hasWindow = true;
  f.title = "Quillon";
  f.menu = sampleMenu();
  f.client = grid;
  f.scrollBar = true;
  f.scrollMin = 0;
  f.scrollMax = 100;
  f.scrollPos = 100;
  return f;
}

}  // namespace

TEST(TtyColorsTest, NearestPaletteEntries) {
  struct Case {
    COLORREF color;
    int count;
    int index;
  };
  const Case cases[] = {
      {RGB(0, 0, 0), 256, 16},          {RGB(255, 255, 255), 256, 231}, {RGB(255, 0, 0), 256, 196},
      {RGB(0, 0, 255), 256, 21},        {RGB(0, 0, 128), 256, 18},      {RGB(192, 192, 192), 256, 250},
      {RGB(128, 128, 128), 256, 244},   {RGB(0, 255, 0), 8, 2},         {RGB(0, 0, 128), 8, 4},
      {RGB(192, 192, 192), 8, 7},       {RGB(255, 255, 0), 16, 11},     {RGB(250, 10, 10), 16, 9},
      {RGB(250, 10, 10), 8, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(nearestColor(c.color, c.count), c.index) << std::hex << c.color << " of " << std::dec << c.count;
}

TEST(TtyColorsTest, EveryCubeAndGreyEntryMapsToItself) {
  for (int i = 16; i < 256; ++i) EXPECT_EQ(nearestColor(xtermColor(i), 256), i) << i;
}

TEST(TtyColorsTest, DirectColoursAreRgbAndNeverNameTheFirstEight) {
  EXPECT_EQ(directColor(RGB(0x12, 0x34, 0x56)), 0x123456);
  EXPECT_EQ(directColor(RGB(0, 0, 0)), 0);
  EXPECT_EQ(directColor(RGB(0, 0, 5)), 8);
  EXPECT_EQ(directColor(RGB(255, 255, 255)), 0xFFFFFF);
}

TEST(TtyGlyphsTest, LineDrawingAndCodePages) {
  struct Case {
    unsigned char ch;
    BYTE charset;
    char32_t glyph;
  };
  const Case cases[] = {
      // VT100 special graphics in the line-drawing face.
      {'j', OEM_CHARSET, 0x2518}, {'k', OEM_CHARSET, 0x2510}, {'l', OEM_CHARSET, 0x250C},
      {'m', OEM_CHARSET, 0x2514}, {'n', OEM_CHARSET, 0x253C}, {'q', OEM_CHARSET, 0x2500},
      {'x', OEM_CHARSET, 0x2502}, {'t', OEM_CHARSET, 0x251C}, {'u', OEM_CHARSET, 0x2524},
      {'v', OEM_CHARSET, 0x2534}, {'w', OEM_CHARSET, 0x252C}, {'o', OEM_CHARSET, 0x23BA},
      {'s', OEM_CHARSET, 0x23BD}, {'`', OEM_CHARSET, 0x25C6}, {'a', OEM_CHARSET, 0x2592},
      {'y', OEM_CHARSET, 0x2264}, {'z', OEM_CHARSET, 0x2265}, {'{', OEM_CHARSET, 0x03C0},
      {'|', OEM_CHARSET, 0x2260}, {'}', OEM_CHARSET, 0x00A3}, {'~', OEM_CHARSET, 0x00B7},
      {'A', OEM_CHARSET, 'A'},    {' ', OEM_CHARSET, ' '},
      // The PC's own line drawing above 0x7F.
      {0xC4, OEM_CHARSET, 0x2500}, {0xB3, OEM_CHARSET, 0x2502}, {0xDA, OEM_CHARSET, 0x250C},
      {0xDB, OEM_CHARSET, 0x2588}, {0xCD, OEM_CHARSET, 0x2550},
      // Text cells: Windows-1252, control characters blank.
      {'q', ANSI_CHARSET, 'q'}, {0x80, ANSI_CHARSET, 0x20AC}, {0xE9, ANSI_CHARSET, 0xE9},
      {0xA3, ANSI_CHARSET, 0xA3}, {0x07, ANSI_CHARSET, ' '},   {0x00, ANSI_CHARSET, ' '},
  };
  for (const Case& c : cases) {
    posix::Cell cell;
    cell.ch = static_cast<char>(c.ch);
    cell.charset = c.charset;
    EXPECT_EQ(glyphOf(cell), c.glyph) << std::hex << int(c.ch) << " charset " << int(c.charset);
  }
}

TEST(TtyScreenTest, TitleMenuBarClientAndScrollBar) {
  posix::CellGrid grid;
  posix::Cell blank;
  blank.bg = RGB(0, 0, 0);
  grid.ensure(81, 26, blank);
  const char box[] = "lqk";
  for (int i = 0; i < 3; ++i) {
    grid.at(i, 0)->ch = box[i];
    grid.at(i, 0)->charset = OEM_CHARSET;
    grid.at(i, 0)->fg = RGB(0, 255, 0);
  }
  grid.at(80, 25)->ch = 'Z';
  Frame f = windowFrame(&grid);
  f.caretVisible = true;
  f.caretPos = POINT{30, 40};  // cell 3 of row 2
  const TtyScreen s = renderFrame(f);

  EXPECT_EQ(s.rowText(0).substr(0, 9), " Quillon ");
  EXPECT_EQ(s.at(0, 0)->bg, kNavy);
  EXPECT_EQ(s.at(81, 0)->bg, kNavy);  // the title bar spans the scroll bar too
  EXPECT_EQ(s.rowText(1).substr(0, 21), " Main  Edit  Connect ");
  EXPECT_TRUE(s.at(7, 1)->attrs & kUnderline);    // the E of Edit
  EXPECT_TRUE(s.at(15, 1)->attrs & kUnderline);   // the n of Connect
  EXPECT_FALSE(s.at(1, 1)->attrs & kUnderline);   // Main has no mnemonic
  EXPECT_EQ(s.rowText(2).substr(0, 9), "┌─┐");
  EXPECT_EQ(s.at(0, 2)->fg, RGB(0, 255, 0));
  EXPECT_EQ(s.at(80, 27)->ch, U'Z');
  EXPECT_EQ(s.at(81, 2)->ch, U'▲');
  EXPECT_EQ(s.at(81, 27)->ch, U'▼');
  EXPECT_EQ(s.at(81, 26)->ch, U'█');  // the view is at the end of its range
  EXPECT_TRUE(s.cursorVisible);
  EXPECT_EQ(s.cursorX, 3);
  EXPECT_EQ(s.cursorY, 4);

  f.scrollPos = 0;
  EXPECT_EQ(renderFrame(f).at(81, 3)->ch, U'█');
  f.scrollPos = 50;
  EXPECT_EQ(renderFrame(f).at(81, 14)->ch, U'█');
}

TEST(TtyScreenTest, OpenPopupShowsEntriesTheHighlightAndTheCheckMark) {
  Frame f = windowFrame(nullptr);
  f.nav.open(f.menu, 0, true);
  f.nav.key(f.menu, MenuKey::kDown);  // onto "&Exit"
  const TtyScreen s = renderFrame(f);
  EXPECT_EQ(s.at(0, 2)->ch, U'┌');  // the popup hangs below its bar item
  EXPECT_NE(s.rowText(3).find("│ Escape"), std::string::npos);
  EXPECT_NE(s.rowText(4).find("│ Exit"), std::string::npos);
  EXPECT_NE(s.rowText(5).find("│" + utf8Of(0x2713) + "Timer"), std::string::npos);
  EXPECT_EQ(s.at(2, 4)->bg, kNavy);  // the highlighted entry
  EXPECT_EQ(s.at(2, 4)->fg, kWhite);
  EXPECT_NE(s.at(2, 3)->bg, kNavy);
  EXPECT_TRUE(s.at(2, 4)->attrs & kUnderline);  // the E of Exit
  EXPECT_EQ(s.at(1, 1)->bg, kNavy);             // and its bar item
  EXPECT_FALSE(s.cursorVisible);                // no cursor while the menu is open
}

TEST(TtyScreenTest, LayoutFollowsTheClientAreaAndSaysHowLargeTheTerminalMustBe) {
  struct Case {
    int clientColumns, clientRows;  // as the frame gives them
    int width, height;              // the terminal
    int columns, rows;              // the client area shown
    const char* warning;
  };
  const Case cases[] = {
      {81, 26, 82, 28, 81, 26, ""},
      {81, 26, 80, 24, 81, 26, "Quillon needs a terminal of 82 x 28; this one is 80 x 24"},
      {81, 26, 81, 28, 81, 26, "Quillon needs a terminal of 82 x 28; this one is 81 x 28"},
      {133, 29, 134, 31, 133, 29, ""},
      {133, 29, 134, 30, 133, 29, "Quillon needs a terminal of 134 x 31; this one is 134 x 30"},
      {133, 29, 100, 32, 133, 29, "Quillon needs a terminal of 134 x 31; this one is 100 x 32"},
      {81, 45, 82, 47, 81, 45, ""},
      {40, 10, 82, 28, 81, 26, ""},  // never smaller than 81 x 26
      {5000, 5000, 1024, 512, 1023, 510, ""},  // nor larger than the screen can be
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.clientColumns) + " x " + std::to_string(c.clientRows) + " on " + std::to_string(c.width));
    Frame f = windowFrame(nullptr);
    f.clientArea = ClientCells{c.clientColumns, c.clientRows};
    f.width = c.width;
    f.height = c.height;
    const TtyScreen s = renderFrame(f);
    EXPECT_EQ(s.width(), c.width);
    EXPECT_EQ(s.height(), c.height);
    EXPECT_EQ(s.rowText(0).substr(0, 8), " Quillon");
    const std::string warning = c.warning;
    if (!warning.empty()) {
      EXPECT_EQ(s.rowText(c.height - 1).substr(0, warning.size()), warning);
      continue;
    }
    EXPECT_EQ(s.rowText(c.height - 1).find("Quillon needs"), std::string::npos);
    // The title line spans the layout, the scroll bar lies right of the client.
    const int last = kClientTop + c.rows - 1;
    EXPECT_EQ(s.at(c.columns, 0)->bg, kNavy);
    EXPECT_EQ(s.at(c.columns, kClientTop)->ch, U'▲');
    EXPECT_EQ(s.at(c.columns, last)->ch, U'▼');
    EXPECT_EQ(hitTest(f, c.columns, last).index, SB_LINEDOWN);
    const Hit corner = hitTest(f, c.columns - 1, last);
    EXPECT_EQ(corner.kind, Hit::kClient);
    EXPECT_EQ(corner.point.x, (c.columns - 1) * 10 + 5);
    EXPECT_EQ(corner.point.y, (c.rows - 1) * 20 + 10);
  }
  // However small the terminal, nothing is drawn outside it.
  Frame f = windowFrame(nullptr);
  for (int w : {1, 5, 30})
    for (int h : {1, 2, 5}) {
      f.width = w;
      f.height = h;
      f.nav.open(f.menu, 0, true);
      const TtyScreen tiny = renderFrame(f);
      EXPECT_EQ(tiny.width(), w);
      EXPECT_EQ(tiny.height(), h);
    }
}

TEST(TtyScreenTest, MessageBoxIsDrawnOverTheWindowWithItsButtons) {
  Frame f = windowFrame(nullptr);
  MessageBoxState box("Connect First", "Please Connect to a host First", MB_OKCANCEL);
  f.boxes.push_back(&box);
  const TtyScreen s = renderFrame(f);
  const BoxLayout l = layoutBox(box, kMinLayoutWidth, kMinLayoutHeight);
  EXPECT_NE(s.rowText(l.y).find("Connect First"), std::string::npos);
  EXPECT_NE(s.rowText(l.textTop).find("Please Connect to a host First"), std::string::npos);
  EXPECT_NE(s.rowText(l.buttonRow).find("[ OK ]  [ Cancel ]"), std::string::npos);
  EXPECT_TRUE(s.at(l.buttonX[0], l.buttonRow)->attrs & kReverse);  // the focused button
  EXPECT_EQ(s.rowText(0).substr(0, 8), " Quillon");                 // the window stays around it

  const Hit onCancel = hitTest(f, l.buttonX[1] + 2, l.buttonRow);
  EXPECT_EQ(onCancel.kind, Hit::kBoxButton);
  EXPECT_EQ(onCancel.index, 1);
  EXPECT_EQ(hitTest(f, 3, 5).kind, Hit::kNothing);  // the window takes no clicks meanwhile
}

TEST(TtyScreenTest, ClicksLandInClientPixelsTheMenuAndTheScrollBar) {
  Frame f = windowFrame(nullptr);
  f.scrollPos = 50;
  struct Case {
    int x, y;
    Hit::Kind kind;
    int index;
    POINT point;
  };
  const Case cases[] = {
      {0, 2, Hit::kClient, 0, {5, 10}},
      {3, 5, Hit::kClient, 0, {35, 70}},
      {80, 27, Hit::kClient, 0, {805, 510}},
      {1, 1, Hit::kMenuBar, 0, {0, 0}},
      {6, 1, Hit::kMenuBar, 1, {0, 0}},
      {13, 1, Hit::kMenuBar, 2, {0, 0}},
      {60, 1, Hit::kNothing, 0, {0, 0}},
      {81, 2, Hit::kScrollBar, SB_LINEUP, {0, 0}},
      {81, 27, Hit::kScrollBar, SB_LINEDOWN, {0, 0}},
      {81, 4, Hit::kScrollBar, SB_PAGEUP, {0, 0}},
      {81, 20, Hit::kScrollBar, SB_PAGEDOWN, {0, 0}},
      {5, 0, Hit::kNothing, 0, {0, 0}},
      {90, 10, Hit::kNothing, 0, {0, 0}},
  };
  f.width = 100;
  f.height = 32;
  for (const Case& c : cases) {
    const Hit h = hitTest(f, c.x, c.y);
    EXPECT_EQ(h.kind, c.kind) << c.x << "," << c.y;
    if (c.kind == Hit::kClient) {
      EXPECT_EQ(h.point.x, c.point.x) << c.x << "," << c.y;
      EXPECT_EQ(h.point.y, c.point.y) << c.x << "," << c.y;
    } else if (c.kind != Hit::kNothing) {
      EXPECT_EQ(h.index, c.index) << c.x << "," << c.y;
    }
  }
  // With the menu open, its entries take the clicks and the rest closes it.
  f.nav.open(f.menu, 0, true);
  const Hit exitEntry = hitTest(f, 3, 4);
  EXPECT_EQ(exitEntry.kind, Hit::kMenuEntry);
  EXPECT_EQ(exitEntry.level, 0);
  EXPECT_EQ(exitEntry.index, 1);
  EXPECT_EQ(hitTest(f, 40, 15).kind, Hit::kMenuOutside);
}
