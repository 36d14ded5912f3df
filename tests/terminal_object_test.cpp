// The terminal object: start values, the colour settings, fonts, InitScreen,
// copying, and measuring the cell.
#include <cstring>

#include "harness.h"
#include "terminal/settings.h"

using TerminalObjectTest = TerminalWindowTest;

namespace {

// The GDI objects the process holds, where the platform can count them: Wine's
// GetGuiResources is a stub that always answers 0.
bool gdiCounted() { return !portable::underWine(); }

struct CellSize {
  int cx, cy;
};

// The cell of a font as the window's DC measures it.
CellSize cellOf(HWND hwnd, HFONT font) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return CellSize{static_cast<int>(tm.tmAveCharWidth), static_cast<int>(tm.tmHeight)};
}

}  // namespace

TEST_F(TerminalObjectTest, InitialiserGivesTheStartValues) {
  createMainWindow();
  const CommTcp& t = *terminal();
  EXPECT_EQ(t.socketHandle, INVALID_SOCKET);
  EXPECT_EQ(t.resizePending, 1);  // creation sends WM_SIZE; the layout is still to come
  EXPECT_EQ(t.fieldCount, 0);
  EXPECT_EQ(t.currentField, 0);
  EXPECT_EQ(t.traceFile, nullptr);
  EXPECT_EQ(t.nvtColumns, 81);
  EXPECT_EQ(t.nvtRows, 24);
  EXPECT_EQ(t.connected, 0);
  EXPECT_EQ(t.recordHandler, nullptr);
  EXPECT_EQ(t.terminalType, 2);
  EXPECT_EQ(t.replaceMode, 1);
  EXPECT_EQ(t.newLineMode, 0);
  EXPECT_EQ(t.repaintPending, 0);
  EXPECT_EQ(t.terminalMode, 0);
  EXPECT_EQ(t.aid, 0x7D);
  EXPECT_EQ(t.scrollRegion.left | t.scrollRegion.top | t.scrollRegion.right | t.scrollRegion.bottom, 0);
  ASSERT_NE(t.nvtChars, nullptr);
  ASSERT_NE(t.nvtAttributes, nullptr);
  for (int i = 0; i < kNvtBufferCells; ++i) {
    ASSERT_EQ(t.nvtChars[i], ' ') << i;
    ASSERT_EQ(t.nvtAttributes[i], 0u) << i;
  }
}

TEST_F(TerminalObjectTest, FontsAreMadeFromTheirLogicalFonts) {
  createMainWindow();
  const CommTcp& t = *terminal();
  struct Expected {
    const LOGFONTA* lf;
    HFONT font;
    BYTE charset, quality, pitch;
    const char* face;
  } fonts[] = {{&t.screenLogFont, t.screenFont, ANSI_CHARSET, PROOF_QUALITY, 0x31, "mera_ansi"},
               {&t.lineDrawLogFont, t.lineDrawFont, OEM_CHARSET, DEFAULT_QUALITY, 0x30, "mera_oem_linedraw"}};
  for (const Expected& e : fonts) {
    SCOPED_TRACE(e.face);
    EXPECT_EQ(e.lf->lfHeight, -24);
    EXPECT_EQ(e.lf->lfWidth, 0);
    EXPECT_EQ(e.lf->lfWeight, 400);
    EXPECT_EQ(e.lf->lfItalic | e.lf->lfUnderline | e.lf->lfStrikeOut, 0);
    EXPECT_EQ(e.lf->lfCharSet, e.charset);
    EXPECT_EQ(e.lf->lfQuality, e.quality);
    EXPECT_EQ(e.lf->lfPitchAndFamily, e.pitch);
    EXPECT_STREQ(e.lf->lfFaceName, e.face);
    LOGFONTA made{};  // Windows leaves the bytes after the face name's NUL as they were
    ASSERT_EQ(GetObjectA(e.font, sizeof made, &made), static_cast<int>(sizeof made));
    EXPECT_EQ(std::memcmp(&made, e.lf, sizeof made), 0);
  }
}

TEST_F(TerminalObjectTest, ColoursDefaultWithoutASettingsFile) {
  createMainWindow();
  const CommTcp& t = *terminal();
  EXPECT_EQ(t.backgroundColor, RGB(0, 0, 0));
  EXPECT_EQ(t.unprotectedHighLightColor, RGB(0, 128, 128));
  EXPECT_EQ(t.protectedHighLightColor, RGB(125, 255, 0));
  EXPECT_EQ(t.unprotectedNormalColor, RGB(0, 255, 255));
  EXPECT_EQ(t.protectedNormalColor, RGB(0, 255, 0));
}

TEST_F(TerminalObjectTest, ColoursAreReadFromEveryKey) {
  writeFile("quillon.ini",
            "[globals]\r\n"
            "backgroundcolor=1,2,3\r\n"
            "UnProtectedHighLightColor=4,5,6\r\n"
            "ProtectedHighLightColor = 7,8,9\r\n"
            "UnProtectedNormalColor=10,11,12\r\n"
            "ProtectedNormalColor=13,14,15\r\n"
            "[OTHER]\r\nBackGroundColor=200,200,200\r\n");
  createMainWindow();
  const CommTcp& t = *terminal();
  EXPECT_EQ(t.backgroundColor, RGB(1, 2, 3));
  EXPECT_EQ(t.unprotectedHighLightColor, RGB(4, 5, 6));
  EXPECT_EQ(t.protectedHighLightColor, RGB(7, 8, 9));
  EXPECT_EQ(t.unprotectedNormalColor, RGB(10, 11, 12));
  EXPECT_EQ(t.protectedNormalColor, RGB(13, 14, 15));
}

// How one stored value becomes a colour; the default here is "0,255,0".
struct ColourCase {
  const char* value;
  int red, green, blue;
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << '"' << c.value << '"'; }

class ColourValueTest : public ScratchTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ColourValueTest, ReadsLikeScanfKeepingTheLowEightBits) {
  writeFile("quillon.ini", std::string("[GLOBALS]\nProtectedNormalColor=") + GetParam().value + "\n");
  const COLORREF c = ReadColorSetting("ProtectedNormalColor", "0,255,0");
  EXPECT_EQ(GetRValue(c), GetParam().red);
  EXPECT_EQ(GetGValue(c), GetParam().green);
  EXPECT_EQ(GetBValue(c), GetParam().blue);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ColourValueTest,
    ::testing::Values(ColourCase{"300,-1,256", 44, 255, 0},             // low eight bits of each number
                      ColourCase{"10, 20, 30", 10, 20, 30},             // blanks before each number
                      ColourCase{"+1,\t2,3", 1, 2, 3},                  // sign and tab
                      ColourCase{"red", 0, 255, 0},                     // nothing converts: the default
                      ColourCase{"1,2", 1, 2, 0},                       // the missing component keeps its default
                      ColourCase{"7 ,8,9", 7, 255, 0},                  // a blank before a comma stops the scan
                      ColourCase{"5,x,9", 5, 255, 0},                   // stops at the first failure
                      ColourCase{"1,2,3,4", 1, 2, 3},                   // extra text is ignored
                      ColourCase{"99999999999999999999,-99999999999999999999,0", 255, 1, 0},  // wraps, no overflow
                      ColourCase{"", 0, 255, 0}));

TEST_F(ScratchTest, SettingsValuesLongerThanTheReadBufferAreCut) {
  // Only 119 characters are read: the third number lies beyond them.
  const std::string value = "1," + std::string(115, ' ') + "2," + "3";
  writeFile("quillon.ini", "[GLOBALS]\nBackGroundColor=" + value + "\n");
  const COLORREF c = ReadColorSetting("BackGroundColor", "0,0,0");
  EXPECT_EQ(c, RGB(1, 2, 0));
}

TEST_F(TerminalObjectTest, InitScreenClearsTheScreenAndLeavesTheLastRowOfTheArrays) {
  createMainWindow();
  CommTcp& t = *terminal();
  std::memset(t.screenChars, 0xAA, sizeof t.screenChars);
  std::memset(t.attributePositions, 0xBB, sizeof t.attributePositions);
  std::memset(t.positionAttribute, 0xCC, sizeof t.positionAttribute);
  std::memset(static_cast<void*>(t.fieldTable), 0xDD, sizeof t.fieldTable);
  t.fieldCount = 7;

  t.InitScreen();

  EXPECT_EQ(t.fieldCount, 0);
  for (int i = 0; i < 2000; ++i) {
    const uint8_t expectChars = i < 1920 ? 0 : 0xAA;
    ASSERT_EQ(t.screenChars[i], expectChars) << i;
    ASSERT_EQ(t.attributePositions[i], i < 1920 ? 0 : 0xBB) << i;
    ASSERT_EQ(t.positionAttribute[i], i < 1920 ? 0 : 0xCC) << i;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(t.fieldTable);
  for (size_t i = 0; i < sizeof t.fieldTable; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST_F(ScratchTest, CopiesShareTheBuffersAndTheLastOneReleasesThem) {
  const bool counted = gdiCounted();
  const int before = portable::liveGdiObjects();
  auto* original = new CommTcp;
  ASSERT_EQ(original->ComTcpInit(), 1);
  if (counted) {
    EXPECT_EQ(portable::liveGdiObjects(), before + 2);
  }

  auto* copy = new CommTcp(*original);
  EXPECT_EQ(copy->nvtChars, original->nvtChars);
  EXPECT_EQ(copy->screenFont, original->screenFont);
  EXPECT_EQ(copy->backgroundColor, original->backgroundColor);

  CommTcp assigned;
  ASSERT_EQ(assigned.ComTcpInit(), 1);  // its own buffers are released by the assignment
  assigned = *original;
  EXPECT_EQ(assigned.nvtAttributes, original->nvtAttributes);
  if (counted) {
    EXPECT_EQ(portable::liveGdiObjects(), before + 2);
  }

  delete original;
  copy->nvtChars[0] = 'x';  // still usable after the original is gone
  EXPECT_EQ(assigned.nvtChars[0], 'x');
  delete copy;
  if (counted) {
    EXPECT_EQ(portable::liveGdiObjects(), before + 2);
  }
  CommTcp& same = assigned;
  assigned = same;  // self-assignment keeps everything
  EXPECT_EQ(assigned.nvtChars[0], 'x');
}

TEST_F(ScratchTest, TheDestructorReleasesBuffersAndFonts) {
  const bool counted = gdiCounted();
  const int before = portable::liveGdiObjects();
  {
    CommTcp t;
    ASSERT_EQ(t.ComTcpInit(), 1);
    if (counted) {
      EXPECT_EQ(portable::liveGdiObjects(), before + 2);
    }
  }
  if (counted) {
    EXPECT_EQ(portable::liveGdiObjects(), before);
  }
}

// Measuring the cell rescales the scrolling region from the old cell to the new.
TEST_F(TerminalObjectTest, WindowScreenSettingRescalesTheRegion) {
  HWND hwnd = createMainWindow();
  CommTcp& t = *terminal();
  LOGFONTA lf = t.screenLogFont;
  lf.lfHeight = -16;
  lf.lfWidth = 8;
  DeleteObject(t.screenFont);
  t.screenFont = CreateFontIndirectA(&lf);
  t.scrollRegion = RECT{30, 40, 800, 400};
  int width = 10, height = 20;
  const CellSize cell = cellOf(hwnd, t.screenFont);
#ifndef _WIN32
  EXPECT_EQ(cell.cx, 8);  // the character-cell GDI's metrics
  EXPECT_EQ(cell.cy, 16);
#endif

  WindowScreenSetting(hwnd, &width, &height);

  EXPECT_EQ(width, cell.cx);
  EXPECT_EQ(height, cell.cy);
  EXPECT_EQ(t.scrollRegion.bottom, 20 * cell.cy);
  EXPECT_EQ(t.scrollRegion.top, 2 * cell.cy);
  EXPECT_EQ(t.scrollRegion.left, 3 * cell.cx);
  EXPECT_EQ(t.scrollRegion.right, 80 * cell.cx);
  // The window's own DC keeps the font and colours for later drawing.
  HDC dc = GetDC(hwnd);
  EXPECT_EQ(GetBkColor(dc), t.backgroundColor);
  EXPECT_EQ(GetTextColor(dc), t.protectedNormalColor);
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  EXPECT_EQ(tm.tmHeight, cell.cy);
  ReleaseDC(hwnd, dc);
}

TEST_F(TerminalObjectTest, WindowScreenSettingFromAZeroCell) {
  HWND hwnd = createMainWindow();
  CommTcp& t = *terminal();
  t.scrollRegion = RECT{0, 0, 0, 0};
  int width = 0, height = 0;
  const CellSize cell = cellOf(hwnd, t.screenFont);
#ifndef _WIN32
  EXPECT_EQ(cell.cx, 12);
  EXPECT_EQ(cell.cy, 24);
#endif
  WindowScreenSetting(hwnd, &width, &height);
  EXPECT_EQ(width, cell.cx);
  EXPECT_EQ(height, cell.cy);
  EXPECT_EQ(t.scrollRegion.left | t.scrollRegion.top | t.scrollRegion.right | t.scrollRegion.bottom, 0);
}

TEST_F(TerminalObjectTest, WindowScreenSettingIgnoresAWindowWithoutATerminal) {
  int width = 3, height = 4;
  WindowScreenSetting(nullptr, &width, &height);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 4);
  HWND hwnd = createMainWindow();
  WindowScreenSetting(hwnd, nullptr, nullptr);
}
