// The terminal display's dealings with the windows: geometry, keys, the menu,
// mouse clicks, resizes, dialogs and message boxes, and the terminal going away.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "harness.h"
#include "platform/posix/dialog.h"
#include "platform/posix/tty_session.h"
#include "ui/resource.h"

using posix::tty::Key;
using posix::tty::KeyInput;
using posix::tty::MouseInput;
using posix::tty::Session;

namespace {

KeyInput ch(char32_t c) { return posix::tty::keyFromChar(c); }

KeyInput key(Key k) {
  KeyInput in;
  in.key = k;
  return in;
}

MouseInput click(MouseInput::Action action, int x, int y, unsigned mods = 0) {
  MouseInput in;
  in.action = action;
  in.x = x;
  in.y = y;
  in.mods = mods;
  return in;
}

// Input as the display hands it on: one at a time, each once the messages of
// the one before are handled (by `pump`).
void feedKey(Session& s, const KeyInput& in, const std::function<void()>& pump = posix::testing::pumpUntilIdle) {
  s.key(in);
  while (s.deliver()) pump();
}

void feedMouse(Session& s, const MouseInput& in, const std::function<void()>& pump = posix::testing::pumpUntilIdle) {
  s.mouse(in);
  while (s.deliver()) pump();
}

// The cell where `text` starts on row y, or -1.
int columnOf(const posix::tty::TtyScreen& s, int y, const std::string& text) {
  for (int x = 0; x < s.width(); ++x) {
    bool match = true;
    for (size_t i = 0; i < text.size() && match; ++i) {
      const posix::tty::TtyCell* c = s.at(x + static_cast<int>(i), y);
      match = c && c->ch == static_cast<unsigned char>(text[i]);
    }
    if (match) return x;
  }
  return -1;
}

// The row where `text` shows, or -1.
int rowOf(const posix::tty::TtyScreen& s, const std::string& text) {
  for (int y = 0; y < s.height(); ++y)
    if (columnOf(s, y, text) >= 0) return y;
  return -1;
}

struct Recorded {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Recorded>* g_recorded = nullptr;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_SIZE:
    case WM_VSCROLL:
    case WM_COMMAND:
    case WM_CHAR:
    case WM_USER:
      if (g_recorded) g_recorded->push_back(Recorded{msg, wParam, lParam});
      break;
    default: break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

// ---- the terminal window ------------------------------------------------------------------

using TtyWindowTest = TerminalWindowTest;

TEST_F(TtyWindowTest, ClientAreaIsWholeCellsOfTheWindowsSizeAndTheDesktopHoldsWhatTheTerminalShows) {
  posix::testing::setManualClock(true);
  HWND hwnd = createMainWindow();
  Session session;
  struct Step {
    int width, height;          // the terminal
    int askWidth, askHeight;    // the client area the program sets (0: none)
    int clientWidth, clientHeight;
    const char* note;           // the too-small note, "" when the layout fits
  };
  const Step steps[] = {
      {100, 32, 0, 0, 810, 520, ""},  // the window as created
      {100, 32, 1330, 580, 1330, 580, "Quillon needs a terminal of 134 x 31; this one is 100 x 32"},
      {134, 31, 0, 0, 1330, 580, ""},  // a larger terminal keeps the client area
      {134, 31, 1335, 590, 1330, 580, ""},
      {82, 47, 810, 900, 810, 900, ""},
      {82, 47, 400, 300, 810, 520, ""},
      {1024, 512, 20000, 20000, 10230, 10200, ""},
      {100, 32, 810, 520, 810, 520, ""},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(std::to_string(st.askWidth) + " x " + std::to_string(st.askHeight) + " on " + std::to_string(st.width));
    session.setSize(st.width, st.height);
    if (st.askWidth) {
      RECT r{0, 0, st.askWidth, st.askHeight};
      AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)), TRUE, 0);
      SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    }
    session.keepGeometry();
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, st.clientWidth);
    EXPECT_EQ(client.bottom, st.clientHeight);
    EXPECT_EQ(terminal()->clientWidth, st.clientWidth);  // the program has heard of it

    const posix::tty::TtyScreen s = session.render();
    const std::string note = st.note;
    EXPECT_EQ(s.rowText(st.height - 1).substr(0, note.size()), note);
    if (!note.empty()) continue;
    const int columns = st.clientWidth / 10, rows = st.clientHeight / 20;
    EXPECT_EQ(s.rowText(st.height - 1).find("Quillon needs"), std::string::npos);
    EXPECT_EQ(s.at(columns, 2)->ch, U'▲');
    EXPECT_EQ(s.at(columns, 1 + rows)->ch, U'▼');
    // The window fits on the desktop, which is never smaller than the terminal.
    const RECT desktop = session.desktopRect();
    RECT window;
    GetWindowRect(hwnd, &window);
    EXPECT_LE(window.right - window.left, desktop.right);
    EXPECT_LE(window.bottom - window.top, desktop.bottom);
    EXPECT_GE(desktop.right, std::max(1024, st.width * 10));
    EXPECT_GE(desktop.bottom, std::max(768, st.height * 20));
    if (columns == 81 && rows == 26) {
      posix::testing::advanceClock(200);  // the delayed layout: fonts of one terminal cell
      EXPECT_EQ(terminal()->cellWidth, 10);
      EXPECT_EQ(terminal()->cellHeight, 20);
    }
  }
}

TEST_F(TtyWindowTest, ShowsTheCaptionAndEveryMenuBarItem) {
  createMainWindow();
  Session session;
  session.setSize(100, 32);
  const posix::tty::TtyScreen s = session.render();
  EXPECT_EQ(s.rowText(0).substr(0, 9), " Quillon ");
  EXPECT_EQ(s.rowText(1).substr(0, 82),
            " Main  Edit  Connect  Color  Font  Close  VMS  3270  Enter  NetCmd  Refresh  Help ");
}

TEST_F(TtyWindowTest, MenuKeyAndArrowsReachExitWhichEndsTheProgram) {
  HWND hwnd = createMainWindow();
  Session session;
  posix::testing::pumpUntilIdle();
  for (const KeyInput& in : {ch(0x1D), key(Key::kDown), key(Key::kDown)}) feedKey(session, in);
  const posix::tty::TtyScreen s = session.render();
  const int exitRow = rowOf(s, "Exit");
  ASSERT_GE(exitRow, 0);
  EXPECT_EQ(s.at(columnOf(s, exitRow, "Exit"), exitRow)->bg, RGB(0, 0, 128));  // highlighted
  feedKey(session, ch('\r'));
  EXPECT_FALSE(session.menu().isOpen());
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(posix::testing::quitCode(), 0);
}

TEST_F(TtyWindowTest, TimerEntryShowsItsCheckMark) {
  HWND hwnd = createMainWindow();
  Session session;
  auto timerRow = [&] {
    feedKey(session, ch(0x1D));
    feedKey(session, key(Key::kDown));
    const posix::tty::TtyScreen s = session.render();
    feedKey(session, ch(0x1B));
    feedKey(session, ch(0x1B));
    const int row = rowOf(s, "Timer");
    return row < 0 ? std::string() : s.rowText(row);
  };
  EXPECT_NE(timerRow().find("│ Timer"), std::string::npos);
  PostMessageA(hwnd, WM_COMMAND, IDM_TIMER, 0);
  posix::testing::pumpUntilIdle();
  EXPECT_NE(timerRow().find("│✓Timer"), std::string::npos);
  EXPECT_FALSE(session.menu().isOpen());
}

TEST_F(TtyWindowTest, TypedCharactersReachTheEmulation) {
  createMainWindow();
  Session session;
  posix::testing::pumpUntilIdle();
  feedKey(session, ch('a'));
  // Unconnected, the emulation answers a character with its message box.
  ASSERT_EQ(posix::testing::messageBoxes().size(), 1u);
  EXPECT_EQ(posix::testing::messageBoxes()[0].text, "Please Connect to a host First");
}

TEST_F(TtyWindowTest, HostDialogIsDrawnOverTheScreenAndDrivenByKeysAndMouse) {
  HWND hwnd = createMainWindow();
  Session session;
  session.setSize(100, 32);
  posix::testing::pumpUntilIdle();
  bool seen = false;
  posix::testing::setDialogHandler([&](HWND dialog, const std::string& caption) {
    if (caption != "Destination Host") return;
    seen = true;
    posix::testing::pumpDialog(dialog);
    posix::tty::TtyScreen s = session.render();
    const int captionRow = rowOf(s, "Destination Host");
    ASSERT_GT(captionRow, 1);
    EXPECT_EQ(s.rowText(0).substr(0, 8), " Quillon");  // the window stays behind it
    EXPECT_GT(rowOf(s, "Host Name"), captionRow);
    EXPECT_GT(rowOf(s, "Term Type"), captionRow);
    EXPECT_GE(rowOf(s, "VT100"), 0);
    EXPECT_GE(rowOf(s, "Trace Check"), 0);
    const int buttons = rowOf(s, "Cancel");
    ASSERT_GE(buttons, 0);
    EXPECT_GE(columnOf(s, buttons, "OK"), 0);
    // The group box is framed, its label kept.
    const int group = rowOf(s, "Term Type");
    EXPECT_EQ(s.at(columnOf(s, group, "Term Type") - 1, group)->ch, U'┌');
    // The focused host field holds the caret: the cursor stands in it.
    EXPECT_TRUE(s.cursorVisible);
    EXPECT_EQ(s.cursorY, rowOf(s, "Host Name"));

    // Typing replaces the selected host name. Keys typed ahead go where the focus is
    // once the keys before them are handled: Tab moves to the terminal type, Up picks VT100.
    const auto pump = [dialog] { posix::testing::pumpDialog(dialog); };
    for (char c : std::string("myhost")) session.key(ch(static_cast<unsigned char>(c)));
    session.key(ch('\t'));
    session.key(key(Key::kUp));
    while (session.deliver()) pump();
    char text[64];
    GetDlgItemTextA(dialog, IDC_HOSTNAME, text, sizeof text);
    EXPECT_STREQ(text, "myhost");
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_VT100));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_VT100), static_cast<UINT>(BST_CHECKED));

    // A click on Cancel ends the dialog.
    s = session.render();
    const int cancelColumn = columnOf(s, buttons, "Cancel");
    feedMouse(session, click(MouseInput::kPress, cancelColumn + 1, buttons), pump);
    feedMouse(session, click(MouseInput::kRelease, cancelColumn + 1, buttons), pump);
  });
  PostMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  posix::testing::pumpUntilIdle();
  EXPECT_TRUE(seen);
  EXPECT_TRUE(posix::openDialogs().empty());
  // Cancelled: the program says so and closes.
  ASSERT_EQ(posix::testing::messageBoxes().size(), 1u);
  EXPECT_EQ(posix::testing::messageBoxes()[0].caption, "Cancel Adress Selection");
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(TtyWindowTest, TerminalGoingAwayClosesTheProgramAndAnswersBoxesAtOnce) {
  HWND hwnd = createMainWindow();
  Session session;
  session.hangUp();
  EXPECT_TRUE(session.hungUp());
  EXPECT_FALSE(session.dialogWaits());
  EXPECT_EQ(session.messageBox("text", "caption", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(session.messageBox("text", "caption", MB_OK), IDOK);
  posix::testing::pumpUntilIdle();
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(posix::testing::quitCode(), 0);
}

// ---- a window of the test's own ----------------------------------------------------------------

class TtyInputTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    posix::testing::setManualClock(true);
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "TtyRecorder";
    ASSERT_NE(RegisterClassA(&wc), 0);
    hwnd_ = CreateWindowExA(0, "TtyRecorder", "Recorder", WS_OVERLAPPEDWINDOW | WS_VSCROLL, 0, 0, 300, 200, nullptr,
                            nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    ShowWindow(hwnd_, SW_SHOW);
    session_.setSize(100, 32);
    posix::testing::pumpUntilIdle();
    g_recorded = &recorded_;
  }
  void TearDown() override {
    g_recorded = nullptr;
    ScratchTest::TearDown();
  }
  std::vector<Recorded> take() {
    posix::testing::pumpUntilIdle();
    std::vector<Recorded> out;
    out.swap(recorded_);
    return out;
  }
  HWND hwnd_ = nullptr;
  Session session_;
  std::vector<Recorded> recorded_;
};

TEST_F(TtyInputTest, ClicksArriveInClientPixelsWithDoubleClicksAsWin32MakesThem) {
  struct Step {
    MouseInput::Action action;
    int x, y;
    unsigned mods;
    int waitMs;  // before the step
    UINT message;
    WPARAM keys;
    int px, py;
  };
  const Step steps[] = {
      {MouseInput::kPress, 3, 5, 0, 0, WM_LBUTTONDOWN, MK_LBUTTON, 35, 70},
      {MouseInput::kRelease, 3, 5, 0, 50, WM_LBUTTONUP, 0, 35, 70},
      {MouseInput::kPress, 3, 5, 0, 100, WM_LBUTTONDBLCLK, MK_LBUTTON, 35, 70},
      {MouseInput::kRelease, 3, 5, 0, 50, WM_LBUTTONUP, 0, 35, 70},
      {MouseInput::kPress, 3, 5, 0, 100, WM_LBUTTONDOWN, MK_LBUTTON, 35, 70},  // a third press starts over
      {MouseInput::kRelease, 3, 5, 0, 0, WM_LBUTTONUP, 0, 35, 70},
      {MouseInput::kPress, 3, 5, 0, 600, WM_LBUTTONDOWN, MK_LBUTTON, 35, 70},  // too late for a double click
      {MouseInput::kRelease, 3, 5, 0, 0, WM_LBUTTONUP, 0, 35, 70},
      {MouseInput::kPress, 4, 5, posix::tty::kShift, 10, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 45, 70},  // elsewhere
      {MouseInput::kRelease, 4, 1, posix::tty::kShift, 0, WM_LBUTTONUP, MK_SHIFT, 45, -10},  // dragged off the client
      {MouseInput::kPress, 80, 27, posix::tty::kCtrl, 0, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 805, 510},
  };
  for (const Step& s : steps) {
    if (s.waitMs) posix::testing::advanceClock(s.waitMs);
    feedMouse(session_, click(s.action, s.x, s.y, s.mods));
    const std::vector<Recorded> got = take();
    ASSERT_EQ(got.size(), 1u) << s.x << "," << s.y;
    EXPECT_EQ(got[0].message, s.message) << s.x << "," << s.y;
    EXPECT_EQ(got[0].wParam, s.keys) << s.x << "," << s.y;
    EXPECT_EQ(static_cast<SHORT>(LOWORD(got[0].lParam)), s.px) << s.x << "," << s.y;
    EXPECT_EQ(static_cast<SHORT>(HIWORD(got[0].lParam)), s.py) << s.x << "," << s.y;
  }
}

TEST_F(TtyInputTest, ScrollBarClicksScrollAndResizesAreWmSize) {
  feedMouse(session_, click(MouseInput::kPress, 81, 2));
  feedMouse(session_, click(MouseInput::kRelease, 81, 2));
  std::vector<Recorded> got = take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, static_cast<UINT>(WM_VSCROLL));
  EXPECT_EQ(LOWORD(got[0].wParam), SB_LINEUP);
  EXPECT_EQ(LOWORD(got[1].wParam), SB_ENDSCROLL);

  session_.setSize(100, 32);  // unchanged
  EXPECT_TRUE(take().empty());
  session_.setSize(120, 40);
  got = take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, static_cast<UINT>(WM_SIZE));
  RECT client;
  GetClientRect(hwnd_, &client);
  EXPECT_EQ(got[0].lParam, MAKELPARAM(client.right, client.bottom));
}

TEST_F(TtyInputTest, KeysGoToTheFocusAndCtrlBracketIsAKeyWithoutAMenuBar) {
  feedKey(session_, ch('x'));
  feedKey(session_, ch(0x1D));
  const std::vector<Recorded> got = take();
  std::string chars;
  for (const Recorded& r : got)
    if (r.message == WM_CHAR) chars += static_cast<char>(r.wParam);
  EXPECT_EQ(chars, "x\x1d");
  EXPECT_FALSE(session_.menu().isOpen());
}

// Message boxes: the keys a user presses, one at each wait of the box's loop.
struct BoxCase {
  const char* name;
  UINT type;
  std::vector<KeyInput> keys;
  int answer;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class TtyMessageBoxTest : public TtyInputTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(TtyMessageBoxTest, AnswersAsTheKeysSay) {
  // What was posted before keeps being delivered while the box waits.
  PostMessageA(hwnd_, WM_USER, 0, 0);
  size_t next = 0;
  bool delivered = false;
  posix::testing::setIdleHook([&] {
    if (next == 0) delivered = !recorded_.empty() && recorded_[0].message == WM_USER;
    if (next < GetParam().keys.size()) {
      session_.key(GetParam().keys[next++]);
      session_.deliver();
    }
    PostMessageA(nullptr, WM_NULL, 0, 0);  // the loop comes back here after a key that does nothing
  });
  EXPECT_EQ(session_.messageBox("Are you sure?", "Question", GetParam().type), GetParam().answer);
  EXPECT_EQ(next, GetParam().keys.size());
  EXPECT_TRUE(delivered);
  posix::testing::setIdleHook(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TtyMessageBoxTest,
    ::testing::Values(BoxCase{"EscapeOnOk", MB_OK, {ch(0x1B)}, IDOK},
                      BoxCase{"EscapeIsCancel", MB_OKCANCEL, {ch(0x1B)}, IDCANCEL},
                      BoxCase{"EscapeDoesNothingOnYesNo", MB_YESNO, {ch(0x1B), ch('n')}, IDNO},
                      BoxCase{"TabThenEnter", MB_YESNO, {ch('\t'), ch('\r')}, IDNO},
                      BoxCase{"ArrowsThenSpace", MB_YESNO, {key(Key::kRight), key(Key::kLeft), ch(' ')}, IDYES},
                      BoxCase{"DefaultButton", MB_YESNO | 0x100, {ch('\r')}, IDNO},
                      BoxCase{"ShiftTabWraps", MB_OKCANCEL, {key(Key::kBackTab), key(Key::kPadEnter)}, IDCANCEL},
                      BoxCase{"Mnemonic", 3 /* yes, no, cancel */, {ch('q'), ch('Y')}, IDYES}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST_F(TtyInputTest, MessageBoxButtonsTakeClicks) {
  int step = 0;
  posix::testing::setIdleHook([&] {
    const posix::tty::TtyScreen s = session_.render();
    const int row = rowOf(s, "[ Cancel ]");
    if (row < 0) return;
    const int ok = columnOf(s, row, "[ OK ]"), cancel = columnOf(s, row, "[ Cancel ]");
    switch (step++) {
      case 0: session_.mouse(click(MouseInput::kPress, ok + 2, row)); break;
      case 1: session_.mouse(click(MouseInput::kRelease, cancel + 2, row)); break;  // moved off: nothing
      case 2: session_.mouse(click(MouseInput::kPress, cancel + 2, row)); break;
      case 3: session_.mouse(click(MouseInput::kRelease, cancel + 2, row)); break;
      default: break;
    }
    session_.deliver();
    PostMessageA(nullptr, WM_NULL, 0, 0);  // the loop comes back here after a click that does nothing
  });
  EXPECT_EQ(session_.messageBox("Sure?", nullptr, MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(step, 4);
  posix::testing::setIdleHook(nullptr);
}

// The display places controls by their rectangles: a dialog centred after its
// controls were made must carry them along, grandchildren included.
TEST_F(TtyInputTest, ChildWindowsMoveWithTheirParent) {
  HWND child = CreateWindowExA(0, "TtyRecorder", "", WS_CHILD | WS_VISIBLE, 10, 20, 30, 40, hwnd_, nullptr, nullptr, nullptr);
  HWND grandchild = CreateWindowExA(0, "TtyRecorder", "", WS_CHILD | WS_VISIBLE, 1, 2, 3, 4, child, nullptr, nullptr, nullptr);
  HWND owned = CreateWindowExA(0, "TtyRecorder", "", WS_POPUP, 500, 500, 10, 10, hwnd_, nullptr, nullptr, nullptr);
  ASSERT_TRUE(child && grandchild && owned);
  RECT before, after, ownedBefore, ownedAfter;
  GetWindowRect(grandchild, &before);
  GetWindowRect(owned, &ownedBefore);
  ASSERT_TRUE(MoveWindow(hwnd_, 100, 50, 300, 200, TRUE));
  GetWindowRect(grandchild, &after);
  EXPECT_EQ(after.left - before.left, 100);
  EXPECT_EQ(after.top - before.top, 50);
  EXPECT_EQ(after.right - after.left, 3);
  POINT origin{0, 0};
  ClientToScreen(child, &origin);
  EXPECT_EQ(after.left, origin.x + 1);  // still at (1, 2) of its parent's client area
  EXPECT_EQ(after.top, origin.y + 2);
  GetWindowRect(owned, &ownedAfter);  // an owned popup is no child: it stays
  EXPECT_EQ(ownedAfter.left, ownedBefore.left);
  EXPECT_EQ(ownedAfter.top, ownedBefore.top);
}
