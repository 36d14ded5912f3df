// Behaviours of the POSIX platform layer that the program relies on: the
// message order, re-entrant sends, timers, own device contexts, text into the
// cell grid, erasing, scrolling, the caret and stale handles.
#include <string>
#include <vector>

#include "harness.h"
#include "platform/posix/tty_screen.h"

namespace {

std::vector<UINT>* g_seen = nullptr;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_seen && msg != WM_NCCREATE && msg != WM_NCDESTROY) g_seen->push_back(msg);
  if (msg == WM_USER + 1) return SendMessageA(hwnd, WM_USER + 2, wParam + 1, 0) + 10;  // re-enters
  if (msg == WM_USER + 2) return static_cast<LRESULT>(wParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class PlatformTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    g_seen = &seen_;
    WNDCLASSA wc{};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = recordingProc;
    wc.hbrBackground = CreateSolidBrush(RGB(1, 2, 3));
    wc.lpszClassName = "probe";
    ASSERT_NE(RegisterClassA(&wc), 0);
    // 808 x 520 client: 101 x 26 cells of the 8 x 20 font used below.
    hwnd_ = CreateWindowExA(0, "probe", "probe", WS_POPUP, 0, 0, 808, 520, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    LOGFONTA lf{};
    lf.lfHeight = -20;
    lf.lfWidth = 8;
    lf.lfCharSet = OEM_CHARSET;
    font_ = CreateFontIndirectA(&lf);
  }
  void TearDown() override {
    g_seen = nullptr;
    ScratchTest::TearDown();
  }
  std::vector<UINT> seen_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace

TEST_F(PlatformTest, CreationSendsCreateSizeMoveAndShowingGivesFocus) {
  EXPECT_EQ(seen_, (std::vector<UINT>{WM_CREATE, WM_SIZE, WM_MOVE}));
  seen_.clear();
  ShowWindow(hwnd_, SW_SHOW);
  EXPECT_EQ(seen_, (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS}));
  EXPECT_EQ(GetFocus(), hwnd_);
}

TEST_F(PlatformTest, PostedMessagesComeBeforePaintAndTimers) {
  ShowWindow(hwnd_, SW_SHOW);  // invalidates the window
  SetTimer(hwnd_, 7, 10, nullptr);
  PostMessageA(hwnd_, WM_USER + 5, 0, 0);
  PostMessageA(hwnd_, WM_USER + 6, 0, 0);
  seen_.clear();
  posix::testing::pumpFor(40);
  ASSERT_GE(seen_.size(), 5u);
  EXPECT_EQ(seen_[0], WM_USER + 5u);
  EXPECT_EQ(seen_[1], WM_USER + 6u);
  EXPECT_EQ(seen_[2], static_cast<UINT>(WM_PAINT));
  EXPECT_EQ(seen_[3], static_cast<UINT>(WM_ERASEBKGND));
  EXPECT_EQ(seen_[4], static_cast<UINT>(WM_TIMER));
  EXPECT_TRUE(KillTimer(hwnd_, 7));
  EXPECT_FALSE(KillTimer(hwnd_, 7));
}

TEST_F(PlatformTest, SendMessageCallsTheProcedureAtOnceAndReEnters) {
  EXPECT_EQ(SendMessageA(hwnd_, WM_USER + 1, 5, 0), 16);
}

TEST_F(PlatformTest, QuitIsSeenAfterPostedMessages) {
  PostQuitMessage(4);
  PostMessageA(hwnd_, WM_USER + 9, 0, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER + 9u);
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(PlatformTest, TranslateMessageTurnsCharacterKeysIntoCharacters) {
  struct KeyCase {
    UINT vk;
    bool shift;
    char expected;
  } cases[] = {{'A', false, 'a'}, {'A', true, 'A'}, {'1', true, '!'}, {VK_RETURN, false, '\r'},
               {VK_OEM_4, false, '['}, {VK_F1, false, 0}, {VK_LEFT, false, 0}};
  for (const KeyCase& c : cases) {
    if (c.shift) PostMessageA(hwnd_, WM_KEYDOWN, VK_SHIFT, 1);
    PostMessageA(hwnd_, WM_KEYDOWN, c.vk, 1);
    MSG msg;
    std::vector<MSG> out;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      if (msg.message == WM_CHAR) out.push_back(msg);
    }
    if (c.shift) PostMessageA(hwnd_, WM_KEYUP, VK_SHIFT, 1);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    SCOPED_TRACE(c.vk);
    if (c.expected) {
      ASSERT_EQ(out.size(), 1u);
      EXPECT_EQ(out[0].wParam, static_cast<WPARAM>(static_cast<unsigned char>(c.expected)));
      EXPECT_EQ(out[0].lParam, 1);
    } else {
      EXPECT_TRUE(out.empty());
    }
  }
  EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);
}

TEST_F(PlatformTest, OwnDeviceContextKeepsFontAndColours) {
  HDC dc = GetDC(hwnd_);
  SelectObject(dc, font_);
  SetTextColor(dc, RGB(9, 8, 7));
  SetBkColor(dc, RGB(6, 5, 4));
  ReleaseDC(hwnd_, dc);
  HDC again = GetDC(hwnd_);
  EXPECT_EQ(again, dc);
  EXPECT_EQ(GetTextColor(again), RGB(9, 8, 7));
  EXPECT_EQ(GetBkColor(again), RGB(6, 5, 4));
  TEXTMETRICA tm;
  ASSERT_TRUE(GetTextMetricsA(again, &tm));
  EXPECT_EQ(tm.tmHeight, 20);
  EXPECT_EQ(tm.tmAveCharWidth, 8);
  EXPECT_EQ(tm.tmCharSet, OEM_CHARSET);
}

TEST_F(PlatformTest, FontMetricsFollowTheLogicalFont) {
  struct MetricsCase {
    LONG height, width;
    int expectHeight, expectWidth;
  } cases[] = {{-24, 0, 24, 12}, {24, 0, 24, 12}, {0, 0, 16, 8}, {-16, 8, 16, 8}, {-1, 0, 1, 1}, {-20, -5, 20, 10}};
  HDC dc = GetDC(hwnd_);
  for (const MetricsCase& c : cases) {
    LOGFONTA lf{};
    lf.lfHeight = c.height;
    lf.lfWidth = c.width;
    HFONT f = CreateFontIndirectA(&lf);
    SelectObject(dc, f);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    EXPECT_EQ(tm.tmHeight, c.expectHeight) << c.height;
    EXPECT_EQ(tm.tmAveCharWidth, c.expectWidth) << c.height << "," << c.width;
    SelectObject(dc, font_);
    DeleteObject(f);
  }
  ReleaseDC(hwnd_, dc);
}

TEST_F(PlatformTest, TextOutWritesCellsWithColoursAndCharacterSet) {
  HDC dc = GetDC(hwnd_);
  SelectObject(dc, font_);
  SetTextColor(dc, RGB(0, 255, 0));
  SetBkColor(dc, RGB(0, 0, 64));
  ASSERT_TRUE(TextOutA(dc, 3 * 8, 2 * 20, "HELLO", 5));
  ASSERT_TRUE(TextOutA(dc, 99 * 8, 2 * 20, "xyz", 3));  // runs past the client area: kept, not lost
  EXPECT_EQ(posix::testing::rowText(hwnd_, 2, 8), "   HELLO");
  const posix::Cell* cell = posix::testing::grid(hwnd_)->at(4, 2);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->ch, 'E');
  EXPECT_EQ(cell->fg, RGB(0, 255, 0));
  EXPECT_EQ(cell->bg, RGB(0, 0, 64));
  EXPECT_EQ(cell->charset, OEM_CHARSET);
  EXPECT_EQ(posix::testing::grid(hwnd_)->at(101, 2)->ch, 'z');
  EXPECT_FALSE(TextOutA(dc, 0, 0, "x", -1));
  EXPECT_TRUE(TextOutA(dc, -8, 0, "ab", 2));  // the cell left of the window is dropped
  EXPECT_EQ(posix::testing::grid(hwnd_)->at(0, 0)->ch, 'b');
  ReleaseDC(hwnd_, dc);
}

TEST_F(PlatformTest, UnderlinedFontsUnderlineTheCellsTheyDrawAndTheTerminalShowsThem) {
  LOGFONTA lf{};
  lf.lfHeight = -20;
  lf.lfWidth = 8;
  lf.lfUnderline = TRUE;
  const HFONT underlined = CreateFontIndirectA(&lf);
  HDC dc = GetDC(hwnd_);
  SelectObject(dc, font_);  // the window's cells are 8 x 20
  enum Op { kText, kTransparentText, kFill, kScrollDown };
  struct Step {
    Op op;
    bool underline;  // the font of the text
    int column;
    const char* text;  // kFill: the cells filled are as many as its characters
    int row;           // the row whose marks are checked
    const char* marks;
  };
  const Step steps[] = {
      {kText, true, 0, "ABCDEF", 0, "______  "},
      {kText, false, 2, "x", 0, "__ ___  "},
      {kTransparentText, true, 2, "y", 0, "______  "},
      {kTransparentText, false, 5, "z", 0, "_____   "},
      {kFill, false, 3, "..", 0, "___     "},
      {kScrollDown, false, 0, "", 1, "___     "},
      {kText, false, 0, "a", 1, " __     "},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.marks);
    SelectObject(dc, st.underline ? underlined : font_);
    SetBkMode(dc, st.op == kTransparentText ? TRANSPARENT : OPAQUE);
    const int length = static_cast<int>(std::string(st.text).size());
    if (st.op == kText || st.op == kTransparentText) TextOutA(dc, st.column * 8, st.row * 20, st.text, length);
    if (st.op == kFill) {
      const RECT r{st.column * 8, st.row * 20, (st.column + length) * 8, (st.row + 1) * 20};
      FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    if (st.op == kScrollDown) {
      const RECT area{0, 0, 8 * 8, 2 * 20};
      ScrollWindow(hwnd_, 0, 20, &area, nullptr);
    }
    EXPECT_EQ(posix::testing::underlineMarks(hwnd_, st.row, 8), st.marks);
    // The terminal display shows the same cells underlined.
    posix::tty::Frame f;
    f.hasWindow = true;
    f.client = posix::testing::grid(hwnd_);
    const posix::tty::TtyScreen screen = posix::tty::renderFrame(f);
    std::string shown;
    for (int c = 0; c < 8; ++c)
      shown += screen.at(c, posix::tty::kClientTop + st.row)->attrs & posix::tty::kUnderline ? '_' : ' ';
    EXPECT_EQ(shown, st.marks);
  }
  SelectObject(dc, font_);
  DeleteObject(underlined);
  ReleaseDC(hwnd_, dc);
}

TEST_F(PlatformTest, PaintingErasesWithTheClassBrushAndValidates) {
  HDC dc = GetDC(hwnd_);
  SelectObject(dc, font_);
  TextOutA(dc, 0, 0, "old", 3);
  ShowWindow(hwnd_, SW_SHOW);
  posix::testing::pumpUntilIdle();
  const posix::CellGrid* grid = posix::testing::grid(hwnd_);
  EXPECT_EQ(grid->columns(), 101);
  EXPECT_EQ(grid->rows(), 26);
  EXPECT_EQ(grid->at(0, 0)->ch, ' ');
  EXPECT_EQ(grid->at(100, 25)->bg, RGB(1, 2, 3));
  RECT update;
  EXPECT_FALSE(GetUpdateRect(hwnd_, &update, FALSE));
  ReleaseDC(hwnd_, dc);
}

TEST_F(PlatformTest, ScrollWindowMovesCellsAndInvalidatesTheUncoveredStrip) {
  HDC dc = GetDC(hwnd_);
  SelectObject(dc, font_);
  for (int row = 0; row < 5; ++row) TextOutA(dc, 0, row * 20, std::string(1, static_cast<char>('a' + row)).c_str(), 1);
  RECT area{0, 0, 80, 100};
  ASSERT_TRUE(ScrollWindow(hwnd_, 0, 40, &area, nullptr));  // two rows down
  EXPECT_EQ(posix::testing::rowText(hwnd_, 2, 1), "a");
  EXPECT_EQ(posix::testing::rowText(hwnd_, 4, 1), "c");
  RECT update;
  ASSERT_TRUE(GetUpdateRect(hwnd_, &update, FALSE));
  EXPECT_EQ(update.top, 0);
  EXPECT_EQ(update.bottom, 40);
  ReleaseDC(hwnd_, dc);
}

// Win32's caret rules, step by step: one caret for the thread, owned by one
// window; a new caret replaces it and starts hidden; HideCaret counts up,
// ShowCaret counts down but never below zero, and only for the owner (or null);
// EndPaint undoes only the hide of its BeginPaint.
TEST_F(PlatformTest, CaretFollowsWin32sOwnershipAndHideCount) {
  const HWND other = CreateWindowExA(0, "probe", "other", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  enum Op { Create, Show, Hide, Destroy, BeginPaint_, EndPaint_ };
  enum Who { None, A, B };  // null, hwnd_, other
  struct Step {
    Op op;
    Who who;
    BOOL result;
    Who owner;  // after the step
    bool visible;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"a new caret is hidden once", {{Create, A, TRUE, A, false}, {Show, A, TRUE, A, true}}},
      {"hides add up and each show takes one back",
       {{Create, A, TRUE, A, false}, {Show, A, TRUE, A, true}, {Hide, A, TRUE, A, false}, {Hide, A, TRUE, A, false},
        {Show, A, TRUE, A, false}, {Show, A, TRUE, A, true}}},
      {"a show without a hide to undo changes nothing",
       {{Create, A, TRUE, A, false}, {Show, A, TRUE, A, true}, {Show, A, FALSE, A, true}, {Hide, A, TRUE, A, false}}},
      {"only the owner shows and hides it",
       {{Create, A, TRUE, A, false}, {Show, B, FALSE, A, false}, {Show, A, TRUE, A, true}, {Hide, B, FALSE, A, true}}},
      {"null stands for the owner", {{Create, A, TRUE, A, false}, {Show, None, TRUE, A, true}, {Hide, None, TRUE, A, false}}},
      {"a new caret takes it from the other window, hidden",
       {{Create, A, TRUE, A, false}, {Show, A, TRUE, A, true}, {Create, B, TRUE, B, false}, {Show, A, FALSE, B, false},
        {Show, B, TRUE, B, true}}},
      {"a new caret starts from one hide, whatever the old count",
       {{Create, A, TRUE, A, false}, {Hide, A, TRUE, A, false}, {Hide, A, TRUE, A, false}, {Create, A, TRUE, A, false},
        {Show, A, TRUE, A, true}}},
      {"DestroyCaret ends it whichever window owns it",
       {{Create, B, TRUE, B, false}, {Show, B, TRUE, B, true}, {Destroy, None, TRUE, None, false},
        {Show, B, FALSE, None, false}, {Hide, B, FALSE, None, false}, {Destroy, None, FALSE, None, false}}},
      {"painting hides the caret and shows it again",
       {{Create, A, TRUE, A, false}, {Show, A, TRUE, A, true}, {BeginPaint_, A, TRUE, A, false},
        {EndPaint_, A, TRUE, A, true}}},
      {"EndPaint shows only what its BeginPaint hid",
       {{BeginPaint_, A, TRUE, None, false}, {Create, A, TRUE, A, false}, {EndPaint_, A, TRUE, A, false},
        {Show, A, TRUE, A, true}}},
  };
  const HWND handles[] = {nullptr, hwnd_, other};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DestroyCaret();
    PAINTSTRUCT ps{};
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i));
      const Step& s = c.steps[i];
      const HWND w = handles[s.who];
      BOOL result = FALSE;
      switch (s.op) {
        case Create: result = CreateCaret(w, nullptr, 8, 20); break;
        case Show: result = ShowCaret(w); break;
        case Hide: result = HideCaret(w); break;
        case Destroy: result = DestroyCaret(); break;
        case BeginPaint_: result = BeginPaint(w, &ps) != nullptr; break;
        case EndPaint_: result = EndPaint(w, &ps); break;
      }
      EXPECT_EQ(result, s.result);
      EXPECT_EQ(posix::caretState().owner, handles[s.owner]);
      EXPECT_EQ(posix::caretState().visible, s.visible);
    }
  }
  // The caret goes with its window, and without one there is nothing to move.
  ASSERT_TRUE(CreateCaret(hwnd_, nullptr, 8, 20));
  EXPECT_TRUE(SetCaretPos(16, 40));
  POINT p;
  EXPECT_TRUE(GetCaretPos(&p));
  EXPECT_EQ(p.x, 16);
  EXPECT_EQ(p.y, 40);
  DestroyWindow(hwnd_);
  EXPECT_EQ(posix::caretState().owner, nullptr);
  EXPECT_FALSE(SetCaretPos(0, 0));
}

// Bitmaps drawn through memory DCs, and a caret shaped by one. A bitmap made for a
// window's DC has the display's colours; one made for a new memory DC is monochrome.
TEST_F(PlatformTest, MemoryDcsDrawIntoBitmapsThatCanShapeTheCaret) {
  const HDC window = GetDC(hwnd_);
  const HDC memory = CreateCompatibleDC(window);
  ASSERT_NE(memory, nullptr);
  const HBITMAP colour = CreateCompatibleBitmap(window, 8, 20);
  const HBITMAP mono = CreateCompatibleBitmap(memory, 8, 20);
  ASSERT_NE(colour, nullptr);
  ASSERT_NE(mono, nullptr);
  BITMAP b{};
  ASSERT_EQ(GetObjectA(colour, sizeof b, &b), static_cast<int>(sizeof b));
  EXPECT_EQ(b.bmWidth, 8);
  EXPECT_EQ(b.bmHeight, 20);
  EXPECT_EQ(b.bmBitsPixel, 32);
  ASSERT_EQ(GetObjectA(mono, sizeof b, &b), static_cast<int>(sizeof b));
  EXPECT_EQ(b.bmBitsPixel, 1);
  EXPECT_EQ(SelectObject(window, colour), nullptr);  // only memory DCs take bitmaps

  const HGDIOBJ initial = SelectObject(memory, colour);
  ASSERT_NE(initial, nullptr);
  SelectObject(memory, GetStockObject(GRAY_BRUSH));
  struct Fill {
    int x, y, width, height;
    DWORD rop;
    COLORREF inside, corner;  // pixel (2, 3) and pixel (7, 19) afterwards
  } fills[] = {
      {-5, -5, 100, 100, WHITENESS, 0xFFFFFF, 0xFFFFFF},  // clipped to the bitmap
      {0, 0, 4, 4, BLACKNESS, 0x000000, 0xFFFFFF},
      {4, 4, -4, -4, DSTINVERT, 0xFFFFFF, 0xFFFFFF},  // a negative size reaches back
      {0, 0, 8, 20, PATCOPY, 0x808080, 0x808080},
  };
  for (const Fill& f : fills) {
    EXPECT_TRUE(PatBlt(memory, f.x, f.y, f.width, f.height, f.rop));
    EXPECT_EQ(GetPixel(memory, 2, 3), f.inside);
    EXPECT_EQ(GetPixel(memory, 7, 19), f.corner);
  }
  EXPECT_EQ(GetPixel(memory, 8, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(memory, 0, -1), CLR_INVALID);
  EXPECT_FALSE(PatBlt(window, 0, 0, 8, 20, WHITENESS));  // a window's cells have no pixels

  EXPECT_FALSE(DeleteObject(colour));  // still selected
  EXPECT_EQ(SelectObject(memory, initial), colour);
  EXPECT_TRUE(DeleteDC(memory));
  EXPECT_FALSE(DeleteDC(window));  // a window's DC is released, not deleted

  // The bitmap's size is the caret's; the width and height passed are not used.
  ASSERT_TRUE(CreateCaret(hwnd_, colour, 1, 1));
  EXPECT_EQ(posix::caretState().shape, colour);
  EXPECT_EQ(posix::caretState().width, 8);
  EXPECT_EQ(posix::caretState().height, 20);
  EXPECT_FALSE(CreateCaret(hwnd_, reinterpret_cast<HBITMAP>(font_), 1, 1));  // not a bitmap
  EXPECT_EQ(posix::caretState().shape, colour);  // the caret is still the one made before
  DestroyCaret();
  EXPECT_TRUE(DeleteObject(colour));
  EXPECT_TRUE(DeleteObject(mono));
}

TEST_F(PlatformTest, ScrollPositionIsClampedToTheRange) {
  SetScrollRange(hwnd_, SB_VERT, 0, 100, FALSE);
  EXPECT_EQ(SetScrollPos(hwnd_, SB_VERT, 150, TRUE), 0);
  EXPECT_EQ(GetScrollPos(hwnd_, SB_VERT), 100);
  SetScrollPos(hwnd_, SB_VERT, -5, TRUE);
  EXPECT_EQ(GetScrollPos(hwnd_, SB_VERT), 0);
}

TEST_F(PlatformTest, WindowSlotsAreBoundedAndStaleHandlesFailSafely) {
  EXPECT_EQ(SetWindowLongPtrA(hwnd_, 0, 5), 0);  // the class has no extra bytes
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
  const HFONT dead = font_;
  DeleteObject(dead);
  HDC dc = GetDC(hwnd_);
  EXPECT_EQ(SelectObject(dc, dead), nullptr);
  EXPECT_TRUE(DestroyWindow(hwnd_));
  EXPECT_FALSE(DestroyWindow(hwnd_));
  EXPECT_FALSE(IsWindow(hwnd_));
  EXPECT_EQ(SendMessageA(hwnd_, WM_USER + 2, 1, 0), 0);
  EXPECT_FALSE(PostMessageA(hwnd_, WM_USER, 0, 0));
  EXPECT_FALSE(TextOutA(dc, 0, 0, "x", 1));  // the window's DC went with it
  EXPECT_EQ(GetWindowLongPtrA(hwnd_, GWL_STYLE), 0);
}

// A class registered and unregistered again and again gets an atom each time:
// atoms of unregistered classes are given out again (Windows has 16,384 of
// them), so a program that opens and closes its window class more often than
// that can still register it, and an atom still names its own class.
TEST_F(PlatformTest, ClassAtomsOfUnregisteredClassesAreGivenOutAgain) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = recordingProc;
  wc.lpszClassName = "again";
  for (int i = 0; i < 20000; ++i) {
    const ATOM atom = RegisterClassA(&wc);
    ASSERT_GE(atom, 0xC000) << "registration " << i;
    if (i % 4999 == 0) {
      // The atom stands for the class while it is registered.
      const HWND w = CreateWindowExA(0, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(atom)), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                     nullptr);
      ASSERT_NE(w, nullptr) << "registration " << i;
      char name[16] = "";
      GetClassNameA(w, name, sizeof name);
      EXPECT_STREQ(name, "again");
      DestroyWindow(w);
    }
    ASSERT_TRUE(UnregisterClassA("again", nullptr)) << "registration " << i;
  }
}
